// Posting and editing: the form, and multipart posts whose results are read
// back from the data and attachment files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

const std::string kImage = std::string("GIF89a\0\x01\r\n\n\xFF\xFE\x80\r\n--", 17) + "----PlazetPost4" + std::string(2500, '\x7F');

std::string error_page(int text_no) {
  std::string page = golden("error.html");
  const std::string usual = "<B>" + text(295) + "</B>";
  return page.replace(page.find(usual), usual.size(), "<B>" + text(text_no) + "</B>");
}
// What a browser makes of an escaped attribute value or text area.
std::string unescape(std::string s) {
  for (auto [entity, plain] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    for (std::size_t at = 0; (at = s.find(entity, at)) != std::string::npos; ++at) s.replace(at, std::string(entity).size(), plain);
  }
  return s;
}
std::string between(const std::string& page, const std::string& from, const std::string& to) {
  const std::size_t at = page.find(from);
  return at == std::string::npos ? "" : page.substr(at + from.size(), page.find(to, at + from.size()) - at - from.size());
}

class BordWriteTest : public ::testing::Test {
 public:
  void SetUp() override {
    site_.add_user_line("taro,Taro <b>Yamada</b>,1,,pw,0,1,1,1,,,0,");
    for (const char* id : {"hana", "jiro"}) site_.add_user(id);
    site_.setting("IECOLS", "77");
    site_.setting("NSCOLS", "55");
    site_.setting("ROWS", "9");
    ASSERT_EQ(site_.new_board("Plans <2>", [](B_TITLE2& s) { s.ADD_MAX = 2; s.REWRITE_FLG = 2; s.READ_CHK = 2;
                                                             s.DEFO = "Agenda:\r<b>item</b> & \"more\""; }), 1);
    key_ = site_.log_in("taro");
  }
  std::string form(const std::string& query, const std::string& agent = kAgent) {
    return site_.get("SKEY=" + key_ + "&FOLDER_NO=" + std::to_string(board_) + "&" + query, agent);
  }
  Multipart write(const std::string& fjob, long sel_no, const std::string& title, const std::string& body) {
    Multipart m;
    m.text("SKEY", key_).text("JOB", "BORDWRITEWR").text("FJOB", fjob).text("FOLDER_NO", std::to_string(board_))
        .text("SEL_NO", std::to_string(sel_no)).text("USER_DISP_DEF", "1").text("WRITE_TITLE", title)
        .text("WRITE_PRIORITY", "2").text("WRITE_DATA", body).text("READ_CHK", "2").text("HTML_MODE", "1");
    return m;
  }
  std::string dir() const { return site_.data_dir() + std::to_string(board_) + "/"; }
  std::string slot(int sel_no, int n) const {
    return site_.pic_dir() + std::to_string(board_) + "/x" + std::to_string(sel_no) + "/" + std::to_string(n) + "/";
  }
  std::string body(int sel_no) const { return site_.read_file(dir() + "x" + std::to_string(sel_no) + ".dat"); }
  std::vector<ADD_FILE> files(int sel_no) const {
    std::vector<ADD_FILE> out;
    site_.with_store([&](Store& s, const WriteToken&) { out = attachments_of(s, board_, sel_no); });
    return out;
  }
  std::string log() const { return site_.read_file(site_.data_dir() + "system.log"); }
  CgiSite site_;
  long board_ = 1;
  std::string key_;
};

TEST_F(BordWriteTest, TheFormsForANewThreadAReplyAndAnEdit) {
  std::string page = form("JOB=BORDWRITE&USER_DISP_DEF=2");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>Plans &lt;2> " + text(270) + "</B></FONT>\n"));
  EXPECT_TRUE(has(page, "Taro <b>Yamada</b> [taro]</TD>"));
  EXPECT_TRUE(has(page, "NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" VALUE=\"\">"));
  EXPECT_TRUE(has(page, "COLS=\"55\" ROWS=\"9\">Agenda:\r&lt;b&gt;item&lt;/b&gt; &amp; &quot;more&quot;</TEXTAREA>"));
  EXPECT_TRUE(has(page, " No.1 <INPUT TYPE=\"FILE\" NAME=\"FILE1\"><BR>\n No.2 <INPUT TYPE=\"FILE\" NAME=\"FILE2\"><BR>\n</TD>"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"READ_CHK\">\n<OPTION VALUE=\"2\">" + text(276) + "\n<OPTION VALUE=\"1\">"));
  EXPECT_TRUE(has(page, hidden("SEL_NO", "0") + hidden("USER_DISP_DEF", "2")));
  // A reply quotes its parent line by line; a deleted parent offers nothing.
  const int parent = site_.post(1, {.writer = "hana", .title = "Lunch \"today\"", .body = "line one\r\rline <3>", .html_mode = 1});
  const int child = site_.post(1, {.writer = "hana", .parent = parent, .title = "child"});
  page = form("JOB=BORDWRITE&SEL_NO=1&USER_DISP_DEF=3");
  EXPECT_TRUE(has(page, "<B>Plans &lt;2> " + text(271) + "</B>"));
  EXPECT_TRUE(has(page, "Re:^1 <INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" VALUE=\"Lunch &quot;today&quot;\">"));
  EXPECT_TRUE(has(page, "ROWS=\"9\">&gt;line one\r&gt;\r&gt;line &lt;3&gt;</TEXTAREA>"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"HTML_MODE\">\n<OPTION VALUE=\"1\">" + text(359) + "\n<OPTION VALUE=\"0\">"));
  EXPECT_FALSE(has(page, "checkbox"));
  page = form("JOB=BORDWRITE&SEL_NO=" + std::to_string(child));
  EXPECT_TRUE(has(page, "Re:^2 <INPUT") && has(page, "VALUE=\"child\">") && has(page, "ROWS=\"9\"></TEXTAREA>"));
  site_.with_store([](Store& s, const WriteToken& w) {
    INDEX_DATA m = *ReadINDEX_DATA(s, 1, 1, IndexKey::kSelNo);
    m.DEL_FLG = 1;
    ASSERT_TRUE(ReWriteINDEX_DATA(s, w, m));
  });
  page = form("JOB=BORDWRITE&SEL_NO=1");
  EXPECT_TRUE(has(page, "Re:^1 <INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"55\" MAXLENGTH=\"80\" VALUE=\"\">"));
  EXPECT_FALSE(has(page, "line one") || has(page, "Lunch"));
}

TEST_F(BordWriteTest, OnlyMsieAgentsGetTheIeWidthAndOwnWindowsGetFocus) {
  const std::pair<const char*, const char*> cases[] = {
      {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "77"},
      {"Mozilla/5.0 (X11; Linux x86_64) Firefox/115.0", "55"},
      {"Mozilla/4.0 (msie)", "55"}};
  for (const auto& [agent, width] : cases) {
    key_ = site_.log_in("taro", "pw", agent);
    const std::string page = form("JOB=BORDWRITE", agent);
    EXPECT_TRUE(has(page, std::string("NAME=\"WRITE_TITLE\" SIZE=\"") + width + "\"")) << agent;
    EXPECT_TRUE(has(page, std::string("<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"") + width + "\" ROWS=\"9\">")) << agent;
  }
  site_.add_user("mika", 1, 1, 2);
  key_ = site_.log_in("mika");
  const std::string page = form("JOB=BORDWRITE");
  EXPECT_TRUE(has(page, "return false }\n}\nwindow.focus();\n// -->\n"));
  EXPECT_TRUE(has(page, "onClick=\"return title_chk()\"> \n</FORM>\n</BODY>\n</HTML>\n"));
}

TEST_F(BordWriteTest, TheEditFormPrefillsEscapedAndRoundTripsUnchanged) {
  const std::string title = "Say \"hi\" & <b>it's</b>";
  const std::string text_body = "a</TEXTAREA><script>alert(1)</script>\rline 2 &amp; \"q\"";
  const int n = site_.post(1, {.title = title, .body = text_body, .html_mode = 2});
  site_.with_store([&](Store& s, const WriteToken& w) { ASSERT_TRUE(WriteADD_FILE(s, w, 1, {n, 2, "plan <v2>.txt"})); });
  const std::string page = form("JOB=EDITMSG&SEL_NO=1&USER_DISP_DEF=1");
  EXPECT_TRUE(has(page, "<B>Plans &lt;2> " + text(330) + "</B>"));
  EXPECT_TRUE(has(page, "VALUE=\"Say &quot;hi&quot; &amp; &lt;b&gt;it&#39;s&lt;/b&gt;\">"));
  EXPECT_TRUE(has(page, "ROWS=\"9\">a&lt;/TEXTAREA&gt;&lt;script&gt;alert(1)&lt;/script&gt;\rline 2 &amp;amp; &quot;q&quot;</TEXTAREA>"));
  EXPECT_TRUE(has(page, " No.2 plan &lt;v2>.txt\n<INPUT TYPE=\"checkbox\" NAME=\"ADD_FILE2\" VALUE=\"ON\" checked >" + text(331) +
                            "<BR> No.2 <INPUT TYPE=\"FILE\" NAME=\"FILE2\"><BR>\n"));
  const std::string shown_title = unescape(between(page, "MAXLENGTH=\"80\" VALUE=\"", "\">"));
  const std::string shown_body = unescape(between(page, "ROWS=\"9\">", "</TEXTAREA>"));
  EXPECT_EQ(shown_title, title);
  EXPECT_EQ(shown_body, text_body);
  (void)site_.post(write("EDITMSG", n, shown_title, shown_body).text("ADD_FILE2", "ON"));
  EXPECT_EQ(site_.index(1).at(0).WRITE_TITLE, title);
  EXPECT_EQ(body(n), text_body);
}

TEST_F(BordWriteTest, FormsRefusedForWantOfRightOrOfABoard) {
  const long read_only = site_.new_board("Read only", [](B_TITLE2& s) { s.WRITE_LEVEL = 50; });
  const long chat = site_.new_board("Lobby", {}, B_TITLE::kChat);
  const int others = site_.post(1, {.writer = "hana"});
  const std::string script = between(form("JOB=BORDWRITE"), "-->\n", "\t\t<BODY");
  const std::pair<long, std::string> cases[] = {
      {read_only, "JOB=BORDWRITE"}, {chat, "JOB=BORDWRITE"}, {1, "JOB=EDITMSG&SEL_NO=" + std::to_string(others)}};
  for (const auto& [board, query] : cases) {
    board_ = board;
    EXPECT_EQ(form(query), refusal(script)) << board << query;
  }
}

TEST_F(BordWriteTest, ANewMessageIsStoredWithItsMarkAndLogLine) {
  const std::string log_before = log();
  const std::string page = site_.post(write("BORDWRITE", 0, "Hello", "one\r\ntwo\nthree\r\n"));
  EXPECT_TRUE(has(page, " Page[1/1]<BR>\n") && has(page, "&SEL_NO=1&USER_DISP_DEF=1\">Hello</A>"));
  const std::vector<INDEX_DATA> r = site_.index(1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(std::tuple(r[0].SEL_NO, r[0].THREAD_NO, r[0].RES_LEVEL, r[0].HTML_MODE, r[0].WRITE_PRIORITY, r[0].WRITER,
                       r[0].WRITE_TITLE, r[0].ADD_COUNT, r[0].DEL_FLG, r[0].READ_CHK),
            std::tuple(1, 1, 0, 1, 2, std::string("taro"), std::string("Hello"), 0, 0, 2));
  EXPECT_EQ(body(1), "one\rtwothree\r");  // every LF removed
  EXPECT_EQ(site_.readers(1, 1), std::vector<std::string>{"taro"});
  EXPECT_EQ(log(), log_before + r[0].WRITE_DATE + ",taro,write,1,,\n");
  // A reply goes after its parent's subtree; the title is stored without its mark.
  const int first = site_.post(1, {.parent = 1});
  (void)site_.post(1, {.parent = first});
  (void)site_.post(1, {});
  (void)site_.post(write("BORDWRITE", 1, std::string(80, 'a') + "\x82\xA0" + "tail", "re"));
  std::vector<int> order;
  for (const INDEX_DATA& m : site_.index(1)) order.push_back(m.SEL_NO);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 5, 4}));
  EXPECT_EQ(site_.index(1)[3].WRITE_TITLE, std::string(80, 'a'));  // cut on a character boundary
  // No log line while logging is off.
  site_.setting("LOG_DATE", "0");
  const std::string quiet = log();
  (void)site_.post(write("BORDWRITE", 0, "Quiet", "b"));
  EXPECT_EQ(site_.index(1).size(), 6u);
  EXPECT_EQ(log(), quiet);
}

TEST_F(BordWriteTest, AnEditReplacesWriterDateAndEveryOtherReadMark) {
  const int top = site_.post(1, {.writer = "hana"});
  const int n = site_.post(1, {.parent = top, .body = "old", .date = "2001/02/03 04:05"});
  site_.with_store([&](Store& s, const WriteToken& w) { ASSERT_TRUE(WriteREAD_POINT(s, w, 1, {n, "jiro"})); });
  (void)site_.post(write("EDITMSG", n, "new title", "new\r\nbody"));
  const INDEX_DATA r = site_.index(1).at(1);
  EXPECT_EQ(std::tuple(r.SEL_NO, r.THREAD_NO, r.RES_LEVEL, r.WRITER, r.WRITE_TITLE), std::tuple(n, top, 1, std::string("taro"), std::string("new title")));
  EXPECT_NE(r.WRITE_DATE, "2001/02/03 04:05");
  EXPECT_EQ(body(n), "new\rbody");
  EXPECT_EQ(site_.readers(1, n), std::vector<std::string>{"taro"});
  EXPECT_EQ(site_.readers(1, top), std::vector<std::string>{"hana"});
}

struct Refused {
  const char* name;
  std::function<long(BordWriteTest&)> prepare;  // the board
  std::function<Multipart(BordWriteTest&)> send;
  int error;  // the text on the error page
};
void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class PostRefusedTest : public BordWriteTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(PostRefusedTest, LeavesNoHalfMessage) {
  const Refused& c = GetParam();
  board_ = c.prepare ? c.prepare(*this) : 1;
  const std::string files_before = site_.read_file(dir() + "index.dat") + site_.read_file(dir() + "r1.dat") + log();
  EXPECT_EQ(site_.post(c.send(*this).file("FILE1", "a.txt", "data")), error_page(c.error));
  EXPECT_EQ(site_.read_file(dir() + "index.dat") + site_.read_file(dir() + "r1.dat") + log(), files_before);
  for (const char* gone : {"x7.dat", "r7.dat", "add_file.dat"}) EXPECT_FALSE(CgiSite::exists(dir() + gone)) << gone;
  EXPECT_TRUE(site_.readers(board_, 2).empty());
  EXPECT_FALSE(CgiSite::exists(site_.pic_dir() + std::to_string(board_)));
}

INSTANTIATE_TEST_SUITE_P(Cases, PostRefusedTest, ::testing::ValuesIn(std::vector<Refused>{
      {"empty title", nullptr, [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "", "body"); }, 295},
      {"body over the limit (CR LF counts two)", [](BordWriteTest& t) { t.site_.setting("MAX_CONTENTS", "10"); return 1L; },
       [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "Long", "123456789\r\n"); }, 377},
      {"read right only", [](BordWriteTest& t) { return t.site_.new_board("R", [](B_TITLE2& s) { s.WRITE_LEVEL = 50; }); },
       [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "Hello", "b"); }, 3},
      {"a chat", [](BordWriteTest& t) { return t.site_.new_board("C", {}, B_TITLE::kChat); },
       [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "Hello", "b"); }, 3},
      {"no such folder", [](BordWriteTest&) { return 99L; }, [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "Hello", "b"); }, 3},
      {"index cannot be written", [](BordWriteTest& t) { std::filesystem::create_directories(t.dir() + "index.dat"); return 1L; },
       [](BordWriteTest& t) { return t.write("BORDWRITE", 0, "Hello", "b"); }, 380},
      {"body cannot be written", [](BordWriteTest& t) { (void)t.site_.post(1, {.writer = "hana", .body = "kept"});
                                                        std::filesystem::create_directories(t.dir() + "x2.dat"); return 1L; },
       [](BordWriteTest& t) { return t.write("BORDWRITE", 1, "Hello", "b"); }, 380},
      {"edited body cannot be written", [](BordWriteTest& t) { (void)t.site_.post(1, {.body = "orig", .date = "2001/02/03 04:05"});
                                                               std::filesystem::remove(t.dir() + "x1.dat");
                                                               std::filesystem::create_directories(t.dir() + "x1.dat"); return 1L; },
       [](BordWriteTest& t) { return t.write("EDITMSG", 1, "changed", "changed"); }, 380},
      {"edit of somebody else's", [](BordWriteTest& t) { (void)t.site_.post(1, {.writer = "hana", .body = "hers"}); return 1L; },
       [](BordWriteTest& t) { return t.write("EDITMSG", 1, "taken over", "x"); }, 3},
      {"edit where the board forbids it", [](BordWriteTest& t) { long b = t.site_.new_board("F"); (void)t.site_.post(b, {.body = "b"}); return b; },
       [](BordWriteTest& t) { return t.write("EDITMSG", 1, "changed", "x"); }, 3},
      {"edit of a missing message", [](BordWriteTest& t) { (void)t.site_.post(1, {.writer = "hana"}); return 1L; },
       [](BordWriteTest& t) { return t.write("EDITMSG", 7, "ghost", "boo"); }, 380},
}), [](const auto& info) {
  std::string name = info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

TEST_F(BordWriteTest, ABodyExactlyAtTheLimitIsStored) {
  site_.setting("MAX_CONTENTS", "10");
  // Exactly at the limit is accepted.
  (void)site_.post(write("BORDWRITE", 0, "Fits", "12345678\r\n"));
  EXPECT_EQ(body(1), "12345678\r");
}

TEST_F(BordWriteTest, UploadsLandInTheirSlotsAndNamesThatAreNoOwnFileAreSkipped) {
  const std::string ini = site_.read_file(site_.ini_file());
  (void)site_.post(write("BORDWRITE", 0, "Pictures", "b").file("FILE1", "C:\\My Pictures\\photo.gif", kImage)
                       .file("FILE2", "/home/taro/notes.txt", "notes\r\n"));
  EXPECT_EQ(site_.read_file(slot(1, 1) + "photo.gif"), kImage);
  EXPECT_EQ(site_.read_file(slot(1, 2) + "notes.txt"), "notes\r\n");
  EXPECT_EQ(site_.index(1).at(0).ADD_COUNT, 2);
  ASSERT_EQ(files(1).size(), 2u);
  EXPECT_EQ(files(1)[1].FILE_NAME, "notes.txt");
  EXPECT_FALSE(CgiSite::exists(site_.cgi_dir() + "/CGI0") || CgiSite::exists(site_.cgi_dir() + "/CGI1"));
  for (const std::string& d : {site_.pic_dir() + "1", site_.pic_dir() + "1/x1", slot(1, 1)}) {
    struct stat st {};
    ASSERT_EQ(::stat(d.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << d;
  }
  // A text field naming a file, a text field claiming another field's upload, "..", "." and "".
  site_.new_board("Names", [](B_TITLE2& s) { s.ADD_MAX = 3; });
  board_ = 2;
  (void)site_.post(write("BORDWRITE", 0, "One", "b").text("FILE1", "x.gif,plazet.ini").text("FILE2", "stolen.txt,CGI0")
                       .file("FILE3", "real.txt", "real"));
  (void)site_.post(write("BORDWRITE", 0, "Two", "b").file("FILE1", "..", "dotdot").file("FILE2", "C:\\dir\\.", "dot").file("FILE3", "", "x"));
  EXPECT_EQ(site_.read_file(site_.ini_file()), ini);
  ASSERT_EQ(files(1).size(), 1u);
  EXPECT_EQ(files(1)[0].FILE_NO, 3);
  EXPECT_EQ(site_.read_file(slot(1, 3) + "real.txt"), "real");
  EXPECT_FALSE(CgiSite::exists(slot(1, 1)) || CgiSite::exists(slot(1, 2)));
  EXPECT_TRUE(files(2).empty());
  EXPECT_EQ(site_.index(2).at(1).ADD_COUNT, 0);
  EXPECT_FALSE(CgiSite::exists(site_.pic_dir() + "2/x2"));
  EXPECT_FALSE(CgiSite::exists(site_.cgi_dir() + "/CGI0") || CgiSite::exists(site_.cgi_dir() + "/CGI1"));
  // A board without attachments shows no slots and stores none.
  board_ = site_.new_board("No files");
  EXPECT_FALSE(has(form("JOB=BORDWRITE"), "TYPE=\"FILE\""));
  (void)site_.post(write("BORDWRITE", 0, "Hello", "b").file("FILE1", "a.txt", "data"));
  EXPECT_TRUE(files(1).empty());
  EXPECT_FALSE(CgiSite::exists(site_.pic_dir() + std::to_string(board_)));
}

TEST_F(BordWriteTest, AKeepBoxWinsOverANewUploadAndAClearedBoxDropsTheRecord) {
  board_ = site_.new_board("Files", [](B_TITLE2& s) { s.ADD_MAX = 3; s.REWRITE_FLG = 2; });
  const int n = site_.post(board_, {.add_count = 3});
  for (auto [i, name] : {std::pair{1, "kept.txt"}, {2, "cleared.txt"}, {3, "old.txt"}}) {
    site_.with_store([&](Store& s, const WriteToken& w) { ASSERT_TRUE(WriteADD_FILE(s, w, board_, {n, i, name})); });
    std::filesystem::create_directories(slot(n, i));
    site_.write_file(slot(n, i) + name, name);
  }
  (void)site_.post(write("EDITMSG", n, "files", "b").file("FILE1", "dropped.txt", "dropped").text("ADD_FILE1", "ON")
                       .file("FILE2", "", "").file("FILE3", "new.txt", "new"));
  const std::vector<ADD_FILE> f = files(n);
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(std::pair(f[0].FILE_NO, f[0].FILE_NAME), std::pair(1, std::string("kept.txt")));
  EXPECT_EQ(std::pair(f[1].FILE_NO, f[1].FILE_NAME), std::pair(3, std::string("new.txt")));
  EXPECT_EQ(site_.index(board_).at(0).ADD_COUNT, 2);
  EXPECT_FALSE(CgiSite::exists(slot(n, 1) + "dropped.txt") || CgiSite::exists(site_.cgi_dir() + "/CGI0"));
  EXPECT_EQ(site_.read_file(slot(n, 2) + "cleared.txt"), "cleared.txt");  // the file stays
  EXPECT_EQ(site_.read_file(slot(n, 3) + "old.txt"), "old.txt");
}

}  // namespace
}  // namespace plazet::testing
