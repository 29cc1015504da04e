// Posting and editing messages, seen through the program as the web server
// runs it: the form page, and multipart posts with real upload bodies whose
// results are read back from the data and attachment files.
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/folder_admin.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/settings.h"
#include "frame/strdef.h"
#include "store/data_lock.h"
#include "text/date.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using testing::CgiSite;
using testing::head;
using testing::hidden;
using testing::japanese;

constexpr const char* kAgent = "TestBrowser/1.0";
const std::string kBoundary = "----PlazetPost42";

std::string script(const STRDEF& t, bool focus) {
  return std::string(
             "<SCRIPT Language=\"JavaScript\">\n<!--\nfunction title_chk(){\n"
             "if ( document.INPUT.WRITE_TITLE.value==\"\" ) {\nwindow.alert( \"") +
         t.text(295) + "\" );\nreturn false }\n}\n" + (focus ? "window.focus();\n" : "") +
         "// -->\n</SCRIPT>\n";
}

std::string error_page(const STRDEF& t, int title, int message) {
  return head(t) +
         "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n<CENTER>\n<BR>\n"
         "<FONT SIZE=\"5\"><B>" +
         t.text(title) + "</B></FONT>\n<P><BR><HR><P><BR>\n<FONT COLOR=\"RED\"><B>" +
         t.text(message) +
         "</B></FONT>\n<FORM ACTION=\"plazet.cgi\" METHOD=POST ><INPUT TYPE=\"button\" "
         "VALUE=\" OK \" onClick=\"history.back()\"></FORM>\n</CENTER>\n</BODY>\n</HTML>\n";
}

std::string label(const STRDEF& t, int n) {
  return std::string("\t<TD NOWRAP BGCOLOR=\"#E0FFFF\" ALIGN=\"LEFT\">") + t.text(n) + "</TD>\n";
}

const std::string kValueCell = "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">";

bool has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

// The text between `from` and the next `to` after it; "" when absent.
std::string between(const std::string& page, const std::string& from, const std::string& to) {
  std::size_t at = page.find(from);
  if (at == std::string::npos) return "";
  at += from.size();
  std::size_t end = page.find(to, at);
  return end == std::string::npos ? "" : page.substr(at, end - at);
}

// What a browser makes of an escaped attribute value or text area.
std::string unescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (auto [entity, plain] : entities) {
    for (std::size_t at = 0; (at = text.find(entity, at)) != std::string::npos; ++at) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  return text;
}

// A multipart/form-data body, part by part, as a browser sends it.
class Multipart {
 public:
  Multipart& text(const std::string& name, const std::string& value) {
    body_ += "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
             "\"\r\n\r\n" + value + "\r\n";
    return *this;
  }
  Multipart& file(const std::string& name, const std::string& file_name, const std::string& data) {
    body_ += "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
             "\"; filename=\"" + file_name +
             "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
    return *this;
  }
  [[nodiscard]] std::string done() const { return body_ + "--" + kBoundary + "--\r\n"; }

 private:
  std::string body_;
};

// Bytes no text handling may touch: NUL, CR LF, a lone LF, high bytes and a
// line that starts like a delimiter.
const std::string kImage = std::string("GIF89a\0\x01\r\n\n\xFF\xFE\x80\r\n--", 17) +
                           "----PlazetPost4" + std::string(2500, '\x7F');

constexpr const char* kOldDate = "2001/02/03 04:05";

// A message as the store keeps it, before any page touches it.
struct Seed {
  std::string title;
  std::string body;
  long parent = 0;
  std::string writer = "hana";
  int html_mode = 0;

  Seed(std::string t, std::string b = "") : title(std::move(t)), body(std::move(b)) {}
  Seed& reply_to(long p) {
    parent = p;
    return *this;
  }
  Seed& by(std::string w) {
    writer = std::move(w);
    return *this;
  }
  Seed& mode(int m) {
    html_mode = m;
    return *this;
  }
};

class BordWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);  // the program runs with TZ=UTC as well
    ::tzset();
    // USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,
    // USER_DISP_DEF,MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
    site_.write_file(site_.data_dir() + "user.mst",
                     "taro,Taro <b>Yamada</b>,1,,pw,0,1,1,1,,,0,\n"
                     "hana,Hana,1,,pw,0,1,1,1,,,0,\n"
                     "jiro,Jiro,1,,pw,0,1,1,1,,,0,\n"
                     "mika,Mika,1,,pw,0,1,1,2,,,0,\n");
    // Widths that are not the built-in defaults.
    site_.write_file(site_.ini_file(),
                     site_.read_file(site_.ini_file()) + "IECOLS,77,\nNSCOLS,55,\nROWS,9,\n");
    board_ = make_board("Plans", [](B_TITLE2& s) {
      s.ADD_MAX = 2;
      s.REWRITE_FLG = 2;  // authors may edit
    });
    std::optional<std::string> key = site_.log_in("taro", "pw");
    ASSERT_TRUE(key);
    key_ = *key;
  }

  void with_request(const std::string& as, const std::function<void(Request&)>& work) {
    site_.with_request(as, work);
  }

  long make_board(const std::string& name, const std::function<void(B_TITLE2&)>& change,
                  int mode = B_TITLE::kBoard) {
    long number = 0;
    with_request("taro", [&](Request& req) {
      ASSERT_EQ(create_folder(req, 0, Placement::kAfter, mode, name, &number), kFolderCreated);
      B_TITLE2 s = ReadB_TITLE2(req, number).value_or(B_TITLE2{});
      s.FOLDER_NO = static_cast<std::int32_t>(number);
      change(s);
      ASSERT_TRUE(ReWriteB_TITLE2(req, s));
    });
    return number;
  }

  int seed(const Seed& p) {
    int number = 0;
    with_request(p.writer, [&](Request& req) {
      INDEX_DATA m;
      m.FOLDER_NO = static_cast<std::int32_t>(board_);
      m.SEL_NO = static_cast<std::int32_t>(p.parent);
      m.HTML_MODE = p.html_mode;
      m.WRITE_DATE = kOldDate;
      m.WRITER = p.writer;
      m.WRITE_TITLE = p.title;
      m.READ_CHK = 1;
      std::optional<INDEX_DATA> stored = WriteINDEX_DATA(req, m);
      ASSERT_TRUE(stored);
      number = stored->SEL_NO;
      ASSERT_TRUE(WriteContentsDATA(req, board_, number, p.body));
    });
    return number;
  }

  void mark_read(int sel_no, const std::string& user) {
    with_request(user, [&](Request& req) {
      READ_POINT mark;
      mark.SEL_NO = sel_no;
      mark.USER_ID = user;
      ASSERT_TRUE(WriteREAD_POINT(req, board_, mark));
    });
  }

  void attach(int sel_no, int slot, const std::string& name, const std::string& data) {
    with_request("taro", [&](Request& req) {
      ASSERT_TRUE(WriteADD_FILE(req, board_, ADD_FILE{sel_no, slot, name}));
    });
    std::filesystem::create_directories(slot_dir(sel_no, slot));
    site_.write_file(slot_dir(sel_no, slot) + name, data);
  }

  std::vector<INDEX_DATA> index() {
    std::vector<INDEX_DATA> records;
    with_request("taro", [&](Request& req) { records = index_records(req, board_); });
    return records;
  }

  std::vector<std::string> readers(int sel_no) {
    std::vector<std::string> ids;
    with_request("taro", [&](Request& req) {
      for (const READ_POINT& m : readers_of(req, board_, sel_no)) ids.push_back(m.USER_ID);
    });
    return ids;
  }

  std::vector<ADD_FILE> attachments(int sel_no) {
    std::vector<ADD_FILE> found;
    with_request("taro", [&](Request& req) { found = attachments_of(req, board_, sel_no); });
    return found;
  }

  [[nodiscard]] std::string board_dir() const {
    return site_.data_dir() + std::to_string(board_) + "/";
  }
  [[nodiscard]] std::string attachment_root() const {
    return site_.dir() + "/htdocs/plazetpic/" + std::to_string(board_) + "/";
  }
  [[nodiscard]] std::string slot_dir(int sel_no, int slot) const {
    return attachment_root() + "x" + std::to_string(sel_no) + "/" + std::to_string(slot) + "/";
  }
  [[nodiscard]] std::string body_of(int sel_no) const {
    return site_.read_file(board_dir() + "x" + std::to_string(sel_no) + ".dat");
  }
  [[nodiscard]] std::string log() const { return site_.read_file(site_.data_dir() + "system.log"); }

  std::string form(const std::string& query, const std::string& agent = kAgent) {
    return site_.get("SKEY=" + key_ + "&" + query, agent);
  }

  // The fields of the posting form with everything filled in.
  Multipart write_form(const std::string& fjob, long sel_no, const std::string& title,
                       const std::string& body, const std::string& key = "") {
    Multipart m;
    m.text("SKEY", key.empty() ? key_ : key)
        .text("JOB", "BORDWRITEWR")
        .text("FJOB", fjob)
        .text("FOLDER_NO", std::to_string(board_))
        .text("SEL_NO", std::to_string(sel_no))
        .text("USER_DISP_DEF", "1")
        .text("WRITE_TITLE", title)
        .text("WRITE_PRIORITY", "2")
        .text("WRITE_DATA", body);
    return m;
  }

  std::string post(Multipart m, const std::string& agent = kAgent) {
    m.text("READ_CHK", "2").text("HTML_MODE", "1").text("SUB", "Post");
    const std::string body = m.done();
    return site_.run({{"REQUEST_METHOD", "POST"},
                      {"CONTENT_TYPE", "multipart/form-data; boundary=" + kBoundary},
                      {"CONTENT_LENGTH", std::to_string(body.size())},
                      {"REMOTE_ADDR", "127.0.0.1"},
                      {"HTTP_USER_AGENT", agent}},
                     body);
  }

  // The board listing as the dispatcher prints it after a successful post.
  std::string listing() {
    return form("JOB=ROOM&FOLDER_NO=" + std::to_string(board_) + "&USER_DISP_DEF=1");
  }

  [[nodiscard]] bool exists(const std::string& path) const { return std::filesystem::exists(path); }

  CgiSite site_;
  const STRDEF t_ = japanese();
  long board_ = 0;
  std::string key_;
};

// ---------------------------------------------------------------- the form

TEST_F(BordWriteTest, NewThreadFormIsPrintedInFull) {
  board_ = make_board("Plans <2>", [](B_TITLE2& s) {
    s.ADD_MAX = 2;
    s.READ_CHK = 2;
    s.DEFO = "Agenda:\r<b>item</b> & \"more\"";
  });
  const std::string before = set_date();
  const std::string page =
      form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_) + "&USER_DISP_DEF=2");
  const std::string date = has(page, before) ? before : set_date();
  const std::string b = std::to_string(board_);
  EXPECT_EQ(
      page,
      head(t_) + script(t_, false) +
          "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
          "<FONT SIZE=\"5\"><B>Plans &lt;2> " +
          t_.text(270) + "</B></FONT>\n<HR>\n" +
          "<FORM NAME=\"INPUT\" ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" "
          "METHOD=POST TARGET=\"FRM22\" >\n" +
          hidden("SKEY", key_) + hidden("JOB", "BORDWRITEWR") + hidden("FJOB", "BORDWRITE") +
          hidden("FOLDER_NO", b) + hidden("SEL_NO", "0") + hidden("USER_DISP_DEF", "2") +
          "<TABLE BORDER>\n"
          "<TR>\n" +
          label(t_, 266) + kValueCell + "Taro <b>Yamada</b> [taro]</TD>\n</TR>\n" + "<TR>\n" +
          label(t_, 267) + kValueCell + date + "</TD>\n</TR>\n" + "<TR>\n" + label(t_, 265) +
          kValueCell +
          "<INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" "
          "VALUE=\"\"></TD>\n</TR>\n" +
          "<TR>\n" + label(t_, 264) + kValueCell +
          "<SELECT NAME=\"WRITE_PRIORITY\" >\n<OPTION VALUE=\"0\"> \n<OPTION VALUE=\"2\">" +
          t_.text(269) + "\n<OPTION VALUE=\"1\">" + t_.text(268) + "\n</SELECT>\n</TD>\n</TR>\n" +
          "<TR>\n" + label(t_, 272) + kValueCell +
          "<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"55\" ROWS=\"9\">Agenda:\r&lt;b&gt;item&lt;/b&gt; "
          "&amp; &quot;more&quot;</TEXTAREA></TD>\n</TR>\n" +
          "<TR>\n" + label(t_, 273) + kValueCell +
          " No.1 <INPUT TYPE=\"FILE\" NAME=\"FILE1\"><BR>\n"
          " No.2 <INPUT TYPE=\"FILE\" NAME=\"FILE2\"><BR>\n</TD>\n</TR>\n" +
          "<TR>\n" + label(t_, 274) + kValueCell + "<SELECT NAME=\"READ_CHK\">\n" +
          "<OPTION VALUE=\"2\">" + t_.text(276) + "\n<OPTION VALUE=\"1\">" + t_.text(275) +
          "\n</SELECT>\n</TD>\n</TR>\n" + "<TR>\n" + label(t_, 357) + kValueCell +
          "<SELECT NAME=\"HTML_MODE\">\n<OPTION VALUE=\"0\">" + t_.text(358) +
          "\n<OPTION VALUE=\"1\">" + t_.text(359) + "\n<OPTION VALUE=\"2\">" + t_.text(360) +
          "\n</SELECT>\n</TD>\n</TR>\n" +
          "</TABLE>\n<P>\n<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + t_.text(277) +
          "\" onClick=\"return title_chk()\"> \n"
          "<INPUT TYPE=\"button\" VALUE=\"" +
          t_.text(4) + "\" onClick=\"history.back()\">\n</FORM>\n</BODY>\n</HTML>\n");
}

TEST_F(BordWriteTest, OnlyMsieAgentsGetTheIeWidth) {
  // A session key belongs to the browser that logged in: each agent logs in.
  auto page_for = [&](const std::string& agent) {
    std::optional<std::string> key = site_.log_in("taro", "pw", agent);
    EXPECT_TRUE(key) << agent;
    return site_.get(
        "SKEY=" + key.value_or("") + "&JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_), agent);
  };
  const std::string ie = page_for("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
  EXPECT_TRUE(has(ie, "NAME=\"WRITE_TITLE\" SIZE=\"77\" MAXLENGTH=\"80\""));
  EXPECT_TRUE(has(ie, "<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"77\" ROWS=\"9\">"));
  for (const char* agent :
       {"Mozilla/5.0 (X11; Linux x86_64) Firefox/115.0", "Mozilla/4.0 (msie)"}) {
    const std::string other = page_for(agent);
    EXPECT_TRUE(has(other, "NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\"")) << agent;
    EXPECT_TRUE(has(other, "<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"55\" ROWS=\"9\">")) << agent;
  }
}

TEST_F(BordWriteTest, ReplyFormQuotesTheParentLineByLine) {
  const int parent = seed(Seed("Lunch \"today\"", "line one\r\rline <3>").mode(1));
  const int child = seed(Seed("child").reply_to(parent));
  const std::string page = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_) +
                                "&SEL_NO=" + std::to_string(parent) + "&USER_DISP_DEF=3");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>Plans " + std::string(t_.text(271)) + "</B></FONT>"));
  EXPECT_TRUE(has(page, hidden("FJOB", "BORDWRITE") + hidden("FOLDER_NO", std::to_string(board_)) +
                            hidden("SEL_NO", std::to_string(parent)) +
                            hidden("USER_DISP_DEF", "3")));
  EXPECT_TRUE(has(page, kValueCell + "Re:^1 <INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" "
                                     "MAXLENGTH=\"80\" VALUE=\"Lunch &quot;today&quot;\"></TD>\n"));
  // Every line quoted, the empty one as ">" alone, line ends CR.
  EXPECT_TRUE(has(page, "ROWS=\"9\">&gt;line one\r&gt;\r&gt;line &lt;3&gt;</TEXTAREA>"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"HTML_MODE\">\n<OPTION VALUE=\"1\">" +
                            std::string(t_.text(359)) + "\n<OPTION VALUE=\"0\">" + t_.text(358) +
                            "\n<OPTION VALUE=\"2\">" + t_.text(360) + "\n</SELECT>\n"));
  EXPECT_FALSE(has(page, "checkbox"));  // keep boxes belong to edits only

  const std::string deeper = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_) +
                                  "&SEL_NO=" + std::to_string(child));
  EXPECT_TRUE(has(deeper, "Re:^2 <INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\""));
  EXPECT_TRUE(has(deeper, "VALUE=\"child\"></TD>\n"));
  EXPECT_TRUE(has(deeper, "ROWS=\"9\"></TEXTAREA>"));  // an empty body quotes to nothing
}

TEST_F(BordWriteTest, ReplyToADeletedMessageOffersNothingToQuote) {
  const int parent = seed(Seed("Gone", "secret text").mode(2));
  with_request("taro", [&](Request& req) {
    INDEX_DATA r = *ReadINDEX_DATA(req, board_, parent, IndexKey::kSelNo);
    r.DEL_FLG = 1;
    ASSERT_TRUE(ReWriteINDEX_DATA(req, r));
  });
  const std::string page = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_) +
                                "&SEL_NO=" + std::to_string(parent));
  EXPECT_TRUE(has(page,
                  "Re:^1 <INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" "
                  "MAXLENGTH=\"80\" VALUE=\"\"></TD>\n"));
  EXPECT_TRUE(has(page, "<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"55\" ROWS=\"9\"></TEXTAREA>"));
  EXPECT_FALSE(has(page, "secret"));
  EXPECT_FALSE(has(page, "Gone"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"HTML_MODE\">\n<OPTION VALUE=\"2\">" +
                            std::string(t_.text(360)) + "\n<OPTION VALUE=\"0\">" + t_.text(358) +
                            "\n<OPTION VALUE=\"1\">" + t_.text(359) + "\n</SELECT>\n"));
}

TEST_F(BordWriteTest, EditFormPrefillsEscapedAndRoundTripsUnchanged) {
  const std::string title = "Say \"hi\" & <b>it's</b>";
  const std::string body = "a</TEXTAREA><script>alert(1)</script>\rline 2 &amp; \"q\"";
  const int n = seed(Seed(title, body).by("taro").mode(2));
  attach(n, 2, "plan <v2>.txt", "v2");

  const std::string page = form("JOB=EDITMSG&FOLDER_NO=" + std::to_string(board_) +
                                "&SEL_NO=" + std::to_string(n) + "&USER_DISP_DEF=1");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>Plans " + std::string(t_.text(330)) + "</B></FONT>"));
  EXPECT_TRUE(has(page, hidden("FJOB", "EDITMSG")));
  EXPECT_TRUE(has(
      page, kValueCell + "<INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" "
                         "VALUE=\"Say &quot;hi&quot; &amp; &lt;b&gt;it&#39;s&lt;/b&gt;\"></TD>\n"));
  EXPECT_TRUE(has(page,
                  "ROWS=\"9\">a&lt;/TEXTAREA&gt;&lt;script&gt;alert(1)&lt;/script&gt;\rline 2 "
                  "&amp;amp; &quot;q&quot;</TEXTAREA></TD>\n"));
  EXPECT_FALSE(has(page, "<script>"));
  // Slot 2 holds a file: its name and a ticked keep box before the upload field.
  EXPECT_TRUE(has(page, label(t_, 273) + kValueCell +
                            " No.1 <INPUT TYPE=\"FILE\" NAME=\"FILE1\"><BR>\n"
                            " No.2 plan &lt;v2>.txt\n"
                            "<INPUT TYPE=\"checkbox\" NAME=\"ADD_FILE2\" VALUE=\"ON\" checked >" +
                            t_.text(331) +
                            "<BR> No.2 <INPUT TYPE=\"FILE\" NAME=\"FILE2\"><BR>\n</TD>\n"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"HTML_MODE\">\n<OPTION VALUE=\"2\">"));

  // Sent back as the browser decodes it, the message comes out as it was.
  const std::string shown_title =
      unescape(between(page, "NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" VALUE=\"", "\">"));
  const std::string shown_body = unescape(between(page, "ROWS=\"9\">", "</TEXTAREA>"));
  EXPECT_EQ(shown_title, title);
  EXPECT_EQ(shown_body, body);
  (void)post(write_form("EDITMSG", n, shown_title, shown_body).text("ADD_FILE2", "ON"));
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].WRITE_TITLE, title);
  EXPECT_EQ(body_of(n), body);
}

TEST_F(BordWriteTest, ReadOnlyUserIsRefusedTheFormAndTheWrite) {
  board_ = make_board("Read only", [](B_TITLE2& s) {
    s.ADD_MAX = 2;
    s.WRITE_LEVEL = 50;
  });
  const std::string page = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_));
  EXPECT_EQ(page, head(t_) + script(t_, false) +
                      "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n" +
                      t_.text(3) + "\n<FORM>\n<INPUT TYPE=\"button\" VALUE=\"" + t_.text(4) +
                      "\" onClick=\"history.back()\">\n</FORM>\n</BODY>\n</HTML>\n");

  EXPECT_EQ(post(write_form("BORDWRITE", 0, "Hello", "body").file("FILE1", "a.txt", "data")),
            error_page(t_, 278, 3));
  EXPECT_FALSE(exists(board_dir() + "index.dat"));
  EXPECT_FALSE(exists(attachment_root()));
}

TEST_F(BordWriteTest, FoldersThatAreNoBoardTakeNoMessages) {
  board_ = make_board(
      "Lobby", [](B_TITLE2&) {}, B_TITLE::kChat);
  const std::string page = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_));
  EXPECT_TRUE(has(page, std::string(t_.text(3)) + "\n<FORM>\n"));
  EXPECT_FALSE(has(page, "WRITE_TITLE\" SIZE"));
  EXPECT_EQ(post(write_form("BORDWRITE", 0, "Hello", "body")), error_page(t_, 278, 3));
  EXPECT_FALSE(exists(board_dir() + "index.dat"));
  // A folder number nobody created is no board either.
  board_ = 99;
  EXPECT_EQ(post(write_form("BORDWRITE", 0, "Hello", "body")), error_page(t_, 278, 3));
  EXPECT_FALSE(exists(board_dir()));
}

TEST_F(BordWriteTest, SeparateWindowUserGetsFocusAndNoBackButton) {
  std::optional<std::string> key = site_.log_in("mika", "pw");
  ASSERT_TRUE(key);
  const std::string page =
      site_.get("SKEY=" + *key + "&JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_));
  EXPECT_TRUE(has(page, head(t_) + script(t_, true)));
  EXPECT_TRUE(has(page, "METHOD=POST TARGET=\"FRM22\" >\n"));
  EXPECT_TRUE(has(page, "onClick=\"return title_chk()\"> \n</FORM>\n</BODY>\n</HTML>\n"));
  EXPECT_FALSE(has(page, "history.back()"));
}

// ---------------------------------------------------------------- the write

TEST_F(BordWriteTest, NewMessageIsStoredWithMarkAndLogLine) {
  const std::string log_before = log();
  const std::string before = set_date();
  const std::string page = post(write_form("BORDWRITE", 0, "Hello", "one\r\ntwo\nthree\r\n"));
  const std::string after = set_date();

  const std::vector<INDEX_DATA> records = index();
  ASSERT_EQ(records.size(), 1u);
  const INDEX_DATA& r = records[0];
  EXPECT_EQ(r.FOLDER_NO, board_);
  EXPECT_EQ(r.SEL_NO, 1);
  EXPECT_EQ(r.THREAD_NO, 1);
  EXPECT_EQ(r.RES_LEVEL, 0);
  EXPECT_EQ(r.HTML_MODE, 1);
  EXPECT_EQ(r.WRITE_PRIORITY, 2);
  EXPECT_TRUE(r.WRITE_DATE == before || r.WRITE_DATE == after) << r.WRITE_DATE;
  EXPECT_EQ(r.WRITER, "taro");
  EXPECT_EQ(r.WRITE_TITLE, "Hello");
  EXPECT_EQ(r.ADD_COUNT, 0);
  EXPECT_EQ(r.DEL_FLG, 0);
  EXPECT_EQ(r.READ_CHK, 2);
  EXPECT_EQ(body_of(1), "one\rtwothree\r");  // every LF removed
  EXPECT_EQ(readers(1), std::vector<std::string>{"taro"});
  EXPECT_EQ(log(), log_before + r.WRITE_DATE + ",taro,write," + std::to_string(board_) + ",,\n");

  // The dispatcher follows with the board listing.
  EXPECT_FALSE(has(page, t_.text(278)));
  EXPECT_EQ(page, listing());
}

TEST_F(BordWriteTest, ReplyIsPlacedAfterItsParentsSubtree) {
  const int top = seed(Seed("top"));
  const int first = seed(Seed("first").reply_to(top));
  const int deep = seed(Seed("deep").reply_to(first));
  const int other = seed(Seed("other"));
  (void)post(write_form("BORDWRITE", top, "second", "re"));
  const std::vector<INDEX_DATA> records = index();
  ASSERT_EQ(records.size(), 5u);
  std::vector<int> order;
  for (const INDEX_DATA& r : records) order.push_back(r.SEL_NO);
  EXPECT_EQ(order, (std::vector<int>{top, first, deep, 5, other}));
  EXPECT_EQ(records[3].THREAD_NO, top);
  EXPECT_EQ(records[3].RES_LEVEL, 1);
  EXPECT_EQ(records[3].WRITE_TITLE, "second");  // no reply mark in the stored title
  EXPECT_EQ(body_of(5), "re");
}

TEST_F(BordWriteTest, EditReplacesWriterDateAndEveryOtherReadMark) {
  const int top = seed(Seed("top"));
  const int n = seed(Seed("old title", "old body").reply_to(top).by("taro"));
  const int after_it = seed(Seed("later"));
  mark_read(n, "jiro");
  ASSERT_EQ(readers(n), (std::vector<std::string>{"taro", "jiro"}));

  const std::string before = set_date();
  const std::string page = post(write_form("EDITMSG", n, "new title", "new\r\nbody"));
  const std::string after = set_date();
  EXPECT_EQ(page, listing());

  const std::vector<INDEX_DATA> records = index();
  ASSERT_EQ(records.size(), 3u);
  const INDEX_DATA& r = records[1];
  EXPECT_EQ(r.SEL_NO, n);
  EXPECT_EQ(r.THREAD_NO, top);
  EXPECT_EQ(r.RES_LEVEL, 1);
  EXPECT_EQ(r.WRITER, "taro");
  EXPECT_TRUE(r.WRITE_DATE == before || r.WRITE_DATE == after) << r.WRITE_DATE;
  EXPECT_EQ(r.WRITE_TITLE, "new title");
  EXPECT_EQ(r.WRITE_PRIORITY, 2);
  EXPECT_EQ(r.HTML_MODE, 1);
  EXPECT_EQ(r.READ_CHK, 2);
  EXPECT_EQ(body_of(n), "new\rbody");
  EXPECT_EQ(readers(n), std::vector<std::string>{"taro"});
  EXPECT_EQ(records[0].WRITE_TITLE, "top");
  EXPECT_EQ(records[2].SEL_NO, after_it);
  EXPECT_EQ(readers(top), std::vector<std::string>{"hana"});  // other messages untouched
}

// ---------------------------------------------------------------- uploads

TEST_F(BordWriteTest, UploadsLandInTheirSlotsWithTheirExactBytes) {
  const std::string page = post(write_form("BORDWRITE", 0, "Pictures", "see attached")
                                    .file("FILE1", "C:\\My Pictures\\photo.gif", kImage)
                                    .file("FILE2", "/home/taro/notes.txt", "notes\r\n"));
  EXPECT_EQ(page, listing());
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].ADD_COUNT, 2);
  EXPECT_EQ(site_.read_file(slot_dir(1, 1) + "photo.gif"), kImage);
  EXPECT_EQ(site_.read_file(slot_dir(1, 2) + "notes.txt"), "notes\r\n");
  const std::vector<ADD_FILE> files = attachments(1);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].FILE_NO, 1);
  EXPECT_EQ(files[0].FILE_NAME, "photo.gif");
  EXPECT_EQ(files[1].FILE_NO, 2);
  EXPECT_EQ(files[1].FILE_NAME, "notes.txt");
  // The uploads were moved, not copied.
  EXPECT_FALSE(exists(site_.cgi_dir() + "/CGI0"));
  EXPECT_FALSE(exists(site_.cgi_dir() + "/CGI1"));
  for (const std::string& dir : {attachment_root(), attachment_root() + "x1", slot_dir(1, 1)}) {
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
  }
}

TEST_F(BordWriteTest, KeepBoxWinsOverANewUploadAndClearedBoxesDropTheRecord) {
  board_ = make_board("Files", [](B_TITLE2& s) {
    s.ADD_MAX = 3;
    s.REWRITE_FLG = 2;
  });
  const int n = seed(Seed("files", "b").by("taro"));
  attach(n, 1, "kept.txt", "kept");
  attach(n, 2, "cleared.txt", "cleared");
  attach(n, 3, "old.txt", "old");

  (void)post(write_form("EDITMSG", n, "files", "b")
                 .file("FILE1", "dropped.txt", "dropped")
                 .text("ADD_FILE1", "ON")
                 .file("FILE2", "", "")
                 .file("FILE3", "new.txt", "new"));

  const std::vector<ADD_FILE> files = attachments(n);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].FILE_NO, 1);
  EXPECT_EQ(files[0].FILE_NAME, "kept.txt");
  EXPECT_EQ(files[1].FILE_NO, 3);
  EXPECT_EQ(files[1].FILE_NAME, "new.txt");
  EXPECT_EQ(index()[0].ADD_COUNT, 2);  // slot 1 counts once
  EXPECT_EQ(site_.read_file(slot_dir(n, 1) + "kept.txt"), "kept");
  EXPECT_FALSE(exists(slot_dir(n, 1) + "dropped.txt"));
  EXPECT_FALSE(exists(site_.cgi_dir() + "/CGI0"));  // the dropped upload is gone at once
  // A cleared slot loses its record; the file stays where it was.
  EXPECT_EQ(site_.read_file(slot_dir(n, 2) + "cleared.txt"), "cleared");
  // A replacement under another name leaves the older file behind.
  EXPECT_EQ(site_.read_file(slot_dir(n, 3) + "new.txt"), "new");
  EXPECT_EQ(site_.read_file(slot_dir(n, 3) + "old.txt"), "old");
}

TEST_F(BordWriteTest, BoardWithoutAttachmentsShowsNoSlotsAndStoresNone) {
  board_ = make_board("No files", [](B_TITLE2& s) { s.ADD_MAX = 0; });
  const std::string page = form("JOB=BORDWRITE&FOLDER_NO=" + std::to_string(board_));
  EXPECT_FALSE(has(page, label(t_, 273)));
  EXPECT_FALSE(has(page, "TYPE=\"FILE\""));
  EXPECT_TRUE(has(page, "</TEXTAREA></TD>\n</TR>\n<TR>\n" + label(t_, 274)));

  (void)post(write_form("BORDWRITE", 0, "Hello", "b").file("FILE1", "a.txt", "data"));
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].ADD_COUNT, 0);
  EXPECT_TRUE(attachments(1).empty());
  EXPECT_FALSE(exists(board_dir() + "add_file.dat"));
  EXPECT_FALSE(exists(attachment_root()));
}

TEST_F(BordWriteTest, TextFieldNamingAFileMovesNothing) {
  const std::string settings = site_.read_file(site_.ini_file());
  (void)post(write_form("BORDWRITE", 0, "Hello", "b").text("FILE1", "x.gif,plazet.ini"));
  EXPECT_EQ(site_.read_file(site_.ini_file()), settings);
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].ADD_COUNT, 0);
  EXPECT_TRUE(attachments(1).empty());
  EXPECT_FALSE(exists(attachment_root()));

  // Nor may a text field claim the upload of another field.
  (void)post(write_form("BORDWRITE", 0, "Two", "b")
                 .text("FILE1", "stolen.txt,CGI0")
                 .file("FILE2", "real.txt", "real"));
  ASSERT_EQ(index().size(), 2u);
  EXPECT_EQ(index()[1].ADD_COUNT, 1);
  const std::vector<ADD_FILE> files = attachments(2);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].FILE_NO, 2);
  EXPECT_EQ(files[0].FILE_NAME, "real.txt");
  EXPECT_EQ(site_.read_file(slot_dir(2, 2) + "real.txt"), "real");
  EXPECT_FALSE(exists(slot_dir(2, 1)));
}

TEST_F(BordWriteTest, UploadNamesThatAreNoFileAreSkipped) {
  board_ = make_board("Names", [](B_TITLE2& s) { s.ADD_MAX = 3; });
  (void)post(write_form("BORDWRITE", 0, "Hello", "b")
                 .file("FILE1", "..", "dotdot")
                 .file("FILE2", "C:\\dir\\.", "dot")
                 .file("FILE3", "", "nothing"));
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].ADD_COUNT, 0);
  EXPECT_TRUE(attachments(1).empty());
  EXPECT_FALSE(exists(attachment_root()));
  EXPECT_FALSE(exists(site_.cgi_dir() + "/CGI0"));
  EXPECT_FALSE(exists(site_.cgi_dir() + "/CGI1"));
}

// ---------------------------------------------------------------- refusals

TEST_F(BordWriteTest, EmptyTitleIsRefusedBeforeAnythingIsStored) {
  EXPECT_EQ(post(write_form("BORDWRITE", 0, "", "body").file("FILE1", "a.txt", "data")),
            error_page(t_, 278, 295));
  EXPECT_FALSE(exists(board_dir() + "index.dat"));
  EXPECT_FALSE(exists(attachment_root()));
}

TEST_F(BordWriteTest, BodyLimitCountsTheBytesAsReceived) {
  site_.write_file(site_.ini_file(), site_.read_file(site_.ini_file()) + "MAX_CONTENTS,10,\n");
  const std::string log_before = log();
  // Eleven bytes, CR LF counting two: refused, nothing written.
  EXPECT_EQ(post(write_form("BORDWRITE", 0, "Long", "123456789\r\n").file("FILE1", "a.txt", "x")),
            error_page(t_, 278, 377));
  EXPECT_FALSE(exists(board_dir() + "index.dat"));
  EXPECT_FALSE(exists(attachment_root()));
  EXPECT_EQ(log(), log_before);
  // Exactly ten bytes are accepted.
  const std::string page = post(write_form("BORDWRITE", 0, "Fits", "12345678\r\n"));
  EXPECT_EQ(page, listing());
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(body_of(1), "12345678\r");
}

TEST_F(BordWriteTest, LongTitleIsCutToItsFieldOnACharacterBoundary) {
  // 80 bytes and a two-byte character: the field holds 81, so the character goes.
  (void)post(write_form("BORDWRITE", 0, std::string(80, 'a') + "\x82\xA0" + "tail", "b"));
  ASSERT_EQ(index().size(), 1u);
  EXPECT_EQ(index()[0].WRITE_TITLE, std::string(80, 'a'));
}

// ---------------------------------------------------------------- failing stores

TEST_F(BordWriteTest, UnwritableIndexGivesTheErrorAndStoresNothing) {
  std::filesystem::create_directories(board_dir() + "index.dat");
  const std::string log_before = log();
  EXPECT_EQ(post(write_form("BORDWRITE", 0, "Hello", "body").file("FILE1", "a.txt", "data")),
            error_page(t_, 278, 380));
  EXPECT_FALSE(exists(board_dir() + "x1.dat"));
  EXPECT_FALSE(exists(board_dir() + "r1.dat"));
  EXPECT_FALSE(exists(board_dir() + "add_file.dat"));
  EXPECT_FALSE(exists(attachment_root()));
  EXPECT_EQ(log(), log_before);
}

TEST_F(BordWriteTest, UnwritableBodyTakesTheIndexRecordBack) {
  const int kept = seed(Seed("kept", "kept body"));
  const std::string index_before = site_.read_file(board_dir() + "index.dat");
  std::filesystem::create_directories(board_dir() + "x2.dat");
  const std::string log_before = log();
  EXPECT_EQ(post(write_form("BORDWRITE", kept, "Hello", "body").file("FILE1", "a.txt", "data")),
            error_page(t_, 278, 380));
  EXPECT_EQ(site_.read_file(board_dir() + "index.dat"), index_before);
  EXPECT_TRUE(readers(2).empty());
  EXPECT_FALSE(exists(board_dir() + "add_file.dat"));
  EXPECT_FALSE(exists(attachment_root()));
  EXPECT_EQ(log(), log_before);
}

TEST_F(BordWriteTest, UnwritableBodyOfAnEditRestoresTheRecord) {
  const int n = seed(Seed("original", "original body").by("taro"));
  mark_read(n, "jiro");
  const std::string index_before = site_.read_file(board_dir() + "index.dat");
  std::filesystem::remove(board_dir() + "x1.dat");
  std::filesystem::create_directories(board_dir() + "x1.dat");
  EXPECT_EQ(post(write_form("EDITMSG", n, "changed", "changed body")), error_page(t_, 278, 380));
  EXPECT_EQ(site_.read_file(board_dir() + "index.dat"), index_before);
  EXPECT_EQ(index()[0].WRITE_DATE, kOldDate);
  EXPECT_EQ(readers(n), (std::vector<std::string>{"taro", "jiro"}));
}

TEST_F(BordWriteTest, OnlyTheAuthorEditsAndOnlyWhereTheBoardAllowsIt) {
  const int others = seed(Seed("hana's", "hers"));
  const std::string index_before = site_.read_file(board_dir() + "index.dat");
  // Somebody else's message: neither the form nor a hand-made post.
  const std::string form_page = form("JOB=EDITMSG&FOLDER_NO=" + std::to_string(board_) +
                                     "&SEL_NO=" + std::to_string(others) + "&USER_DISP_DEF=1");
  EXPECT_TRUE(has(form_page, t_.text(3)));
  EXPECT_FALSE(has(form_page, "NAME=\"WRITE_TITLE\""));
  EXPECT_EQ(post(write_form("EDITMSG", others, "taken over", "x")), error_page(t_, 278, 3));
  EXPECT_EQ(site_.read_file(board_dir() + "index.dat"), index_before);
  EXPECT_EQ(body_of(others), "hers");
  // The author's own message, on a board that does not allow editing.
  board_ = make_board("Fixed", [](B_TITLE2& s) { s.REWRITE_FLG = 1; });
  const int fixed = seed(Seed("fixed", "body").by("taro"));
  EXPECT_EQ(post(write_form("EDITMSG", fixed, "changed", "x")), error_page(t_, 278, 3));
  EXPECT_EQ(body_of(fixed), "body");
}

TEST_F(BordWriteTest, EditOfAMissingMessageIsNotStored) {
  const int n = seed(Seed("only"));
  const std::string index_before = site_.read_file(board_dir() + "index.dat");
  EXPECT_EQ(post(write_form("EDITMSG", 7, "ghost", "boo").file("FILE1", "a.txt", "data")),
            error_page(t_, 278, 380));
  EXPECT_EQ(site_.read_file(board_dir() + "index.dat"), index_before);
  EXPECT_FALSE(exists(board_dir() + "x7.dat"));
  EXPECT_FALSE(exists(board_dir() + "r7.dat"));
  EXPECT_FALSE(exists(attachment_root()));
  EXPECT_EQ(readers(n), std::vector<std::string>{"hana"});
}

TEST_F(BordWriteTest, NoLogLineWhileLoggingIsOff) {
  site_.write_file(site_.ini_file(), site_.read_file(site_.ini_file()) + "LOG_DATE,0,\n");
  const std::string log_before = log();
  const std::string page = post(write_form("BORDWRITE", 0, "Quiet", "b"));
  EXPECT_EQ(page, listing());
  EXPECT_EQ(index().size(), 1u);
  EXPECT_EQ(log(), log_before);
}

}  // namespace
}  // namespace plazet
