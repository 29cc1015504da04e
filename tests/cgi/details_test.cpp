// The message page, message deletion and marking a board read, seen through
// the program as the web server runs it. Boards and messages are laid out
// through the store beforehand, one request context at a time.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "folders/folder_admin.h"
#include "pages/details_page.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/settings.h"
#include "frame/strdef.h"
#include "store/data_lock.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using testing::CgiSite;
using testing::head;
using testing::hidden;
using testing::japanese;

constexpr std::size_t kMarkRecord = 32;
constexpr std::size_t kIndexRecord = 160;

std::string form_open(bool own_window = false) {
  return std::string("<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST ") +
         (own_window ? "TARGET=\"WBORDWRITE\"" : "") + ">\n";
}

bool has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

struct Post {
  std::string writer;
  long parent = 0;
  std::string title = "t";
  std::string body = "";
  int read_chk = 1;
  int html_mode = 0;
  int add_count = 0;
  std::string date = "2024/05/06 07:08";
};

class DetailsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,
    // USER_DISP_DEF,MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
    site_.write_file(site_.data_dir() + "user.mst",
                     "taro,Taro Yamada,1,taro@example.com,pw,0,1,1,1,,t.gif,0,\n"
                     "hanako,Hanako,1,,pw,0,1,1,1,,,0,\n"
                     "desk,Front Desk,1,,pw,0,1,2,1,,,0,\n"
                     "boss,Boss,1,,pw,0,1,1,2,,,0,\n"
                     "guest,Guest,0,,pw,0,2,1,1,,,0,\n");
    board_ = make_board("Notices");
  }

  // Runs `work` in a request context acting as `as`, holding the data lock.
  void with_request(const std::string& as, const std::function<void(Request&)>& work) {
    site_.with_request(as, work);
  }

  long make_board(const std::string& name) {
    long number = 0;
    with_request("taro", [&](Request& req) {
      ASSERT_EQ(create_folder(req, 0, Placement::kAfter, B_TITLE::kBoard, name, &number),
                kFolderCreated);
    });
    return number;
  }

  void change_settings(long board, const std::function<void(B_TITLE2&)>& change) {
    with_request("taro", [&](Request& req) {
      B_TITLE2 s = ReadB_TITLE2(req, board).value_or(B_TITLE2{});
      s.FOLDER_NO = static_cast<std::int32_t>(board);
      change(s);
      ASSERT_TRUE(ReWriteB_TITLE2(req, s));
    });
  }

  void grant(long board, const std::string& user, int right) {
    with_request("taro", [&](Request& req) {
      (void)WriteB_U_ACL(req, {static_cast<std::int32_t>(board), user, right});
    });
  }

  // Stores a message as its writer would (who gets a read mark); its number.
  int post(long board, const Post& p) {
    int number = 0;
    with_request(p.writer, [&](Request& req) {
      INDEX_DATA m;
      m.FOLDER_NO = static_cast<std::int32_t>(board);
      m.SEL_NO = static_cast<std::int32_t>(p.parent);
      m.HTML_MODE = p.html_mode;
      m.WRITE_DATE = p.date;
      m.WRITER = p.writer;
      m.WRITE_TITLE = p.title;
      m.ADD_COUNT = p.add_count;
      m.READ_CHK = p.read_chk;
      std::optional<INDEX_DATA> stored = WriteINDEX_DATA(req, m);
      ASSERT_TRUE(stored);
      number = stored->SEL_NO;
      ASSERT_TRUE(WriteContentsDATA(req, board, number, p.body));
    });
    return number;
  }

  void attach(long board, int sel_no, int slot, const std::string& name,
              const std::string& contents) {
    with_request("taro", [&](Request& req) {
      ASSERT_TRUE(WriteADD_FILE(req, board, {sel_no, slot, name}));
    });
    const std::string dir = attachments_dir(board, sel_no);
    std::filesystem::create_directories(dir + "/" + std::to_string(slot));
    site_.write_file(dir + "/" + std::to_string(slot) + "/" + name, contents);
  }

  void mark_deleted(long board, int sel_no) {
    with_request("taro", [&](Request& req) {
      std::optional<INDEX_DATA> m = ReadINDEX_DATA(req, board, sel_no, IndexKey::kSelNo);
      ASSERT_TRUE(m);
      m->DEL_FLG = 1;
      ASSERT_TRUE(ReWriteINDEX_DATA(req, *m));
    });
  }

  std::string attachments_dir(long board, int sel_no) const {
    return site_.dir() + "/htdocs/plazetpic/" + std::to_string(board) + "/x" +
           std::to_string(sel_no);
  }
  std::string board_file(long board, const std::string& name) const {
    return site_.data_dir() + std::to_string(board) + "/" + name;
  }
  std::string marks(long board, int sel_no) const {
    return site_.read_file(board_file(board, "r" + std::to_string(sel_no) + ".dat"));
  }
  // Whether `user` has a mark on the message (IDs are NUL-padded to 24 bytes).
  bool has_mark(long board, int sel_no, const std::string& user) const {
    const std::string file = marks(board, sel_no);
    for (std::size_t at = 0; at + kMarkRecord <= file.size(); at += kMarkRecord) {
      if (file.compare(at + 4, user.size() + 1, user + '\0', 0, user.size() + 1) == 0) return true;
    }
    return false;
  }
  std::string index_bytes(long board) const {
    return site_.read_file(board_file(board, "index.dat"));
  }

  std::string key_of(const std::string& user) {
    std::optional<std::string> key = site_.log_in(user, "pw");
    EXPECT_TRUE(key) << user;
    return key.value_or("");
  }
  std::string details(const std::string& key, long board, int sel_no,
                      const std::string& extra = "") {
    return site_.get("SKEY=" + key + "&JOB=DETAILS&FOLDER_NO=" + std::to_string(board) +
                     "&SEL_NO=" + std::to_string(sel_no) + extra);
  }
  void run_job(const std::string& key, const std::string& job, long board, int sel_no) {
    (void)site_.get("SKEY=" + key + "&JOB=" + job + "&FOLDER_NO=" + std::to_string(board) +
                    "&SEL_NO=" + std::to_string(sel_no));
  }

  // The "back to the listing" cell and the two step cells of the page.
  std::string navigation(const std::string& key, long board, long page, long mode,
                         std::optional<int> previous, std::optional<int> next) const {
    auto step = [&](std::optional<int> target, int caption, int alert) {
      std::string cell = "<TD>\n" + form_open() + hidden("SKEY", key) + hidden("JOB", "DETAILS") +
                         hidden("FOLDER_NO", std::to_string(board)) +
                         hidden("USER_DISP_DEF", std::to_string(mode));
      if (target) {
        cell += hidden("SEL_NO", std::to_string(*target)) +
                "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + t_.text(caption) + "\">\n";
      } else {
        cell += std::string("<INPUT TYPE=\"button\" VALUE=\"") + t_.text(caption) +
                "\" onClick=\"alert('" + t_.text(alert) + "')\">\n";
      }
      return cell + "</FORM>\n</TD>\n";
    };
    return "<TABLE>\n<TR>\n<TD>\n" + form_open() + hidden("SKEY", key) + hidden("JOB", "ROOM") +
           hidden("FOLDER_NO", std::to_string(board)) + hidden("DISP_PAGE", std::to_string(page)) +
           hidden("USER_DISP_DEF", std::to_string(mode)) + "<INPUT TYPE=\"submit\" VALUE=\"" +
           t_.text(4) + "\">\n</FORM>\n</TD>\n" + step(previous, 301, 302) + step(next, 303, 304) +
           "</TR>\n</TABLE>\n";
  }

  CgiSite site_;
  STRDEF t_ = japanese();
  long board_ = 0;
};

std::string cell(const std::string& align, const std::string& content,
                 const std::string& color = "#FFFFFF") {
  return "\t<TD NOWRAP BGCOLOR=\"" + color + "\" ALIGN=\"" + align + "\">" + content + "</TD>\n";
}

TEST_F(DetailsPageTest, OneSmallMessageGivesExactlyThisPage) {
  change_settings(board_, [](B_TITLE2& s) { s.ADD_MAX = 2; });
  const int n = post(board_, {.writer = "taro",
                              .title = "Plan",
                              .body = "Hello\rhttp://example.com/a",
                              .read_chk = 2,
                              .add_count = 1});
  attach(board_, n, 1, "notes.txt", std::string(1234, 'x'));
  const std::string key = key_of("hanako");

  const std::string expected =
      head(t_) +
      "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
      "<TABLE>\n"
      "<TR><TD NOWRAP BGCOLOR=\"#FFFFFF\">\n"
      "<FONT SIZE=\"5\"><B>[1]Notices</B></FONT>\n"
      "</TD></TR>\n"
      "</TABLE>\n"
      "<HR>\n"
      "<TABLE BORDER=0>\n"
      "<TR>\n" +
      cell("LEFT", "SEL:") + cell("LEFT", "1") +
      "</TR>\n"
      "<TR>\n" +
      cell("LEFT", t_.text(279)) + cell("LEFT", "Plan") +
      "\t<TD NOWRAP BGCOLOR=\"#E0FFFF\" ALIGN=\"CENTER\" ROWSPAN=3 >" + t_.text(282) +
      "\n"
      "<FORM>\n"
      "<SELECT>\n"
      "<OPTION>2 " +
      t_.text(283) +
      "\n"
      "<OPTION VALUE=\"0\">Taro Yamada\n"
      "<OPTION VALUE=\"0\">Hanako\n"
      "</SELECT>\n"
      "</FORM>\n"
      "\t</TD>\n"
      "\t<TD NOWRAP ALIGN=\"CENTER\" ROWSPAN=3 >\n"
      "<IMG SRC=\"/plazetpic/userpic/taro/t.gif\">\n"
      "\t</TD>\n"
      "</TR>\n"
      "<TR>\n" +
      cell("LEFT", t_.text(280)) +
      "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">"
      "<A HREF=\"mailto:taro@example.com?subject=Re:Plan\">Taro Yamada  [taro]</A>\n"
      "</TD>\n"
      "</TR>\n"
      "<TR>\n" +
      cell("LEFT", t_.text(281)) + cell("LEFT", "2024/05/06 07:08") +
      "</TR>\n"
      "</TABLE>\n"
      "<HR>\n"
      "Hello<BR>\n"
      "<A HREF=\"http://example.com/a\">http://example.com/a</A><HR>\n"
      "<P>\n" +
      t_.text(273) + " 1:<A HREF=\"/plazetpic/1/x1/1/notes.txt\">notes.txt (1,234 byte)</A><P>\n" +
      navigation(key, board_, 1, 1, std::nullopt, std::nullopt) +
      "<TABLE>\n"
      "<TR>\n"
      "<TD>\n" +
      form_open() + hidden("SKEY", key) + hidden("JOB", "BORDWRITE") + hidden("FOLDER_NO", "1") +
      hidden("USER_DISP_DEF", "1") + "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + t_.text(270) +
      "\">\n"
      "</FORM>\n"
      "</TD>\n"
      "<TD>\n" +
      form_open() + hidden("SKEY", key) + hidden("JOB", "BORDWRITE") + hidden("SEL_NO", "1") +
      hidden("FOLDER_NO", "1") + hidden("USER_DISP_DEF", "1") +
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + t_.text(271) +
      "\">\n"
      "</FORM>\n"
      "</TD>\n"
      "</TR>\n"
      "</TABLE>\n"
      "</BODY>\n"
      "</HTML>\n";
  EXPECT_EQ(details(key, board_, n), expected);
}

TEST_F(DetailsPageTest, ViewingWritesTheReadMarkOnce) {
  const int n = post(board_, {.writer = "taro"});
  const std::string key = key_of("hanako");
  ASSERT_EQ(marks(board_, n).size(), kMarkRecord);  // the writer's own
  ASSERT_FALSE(has_mark(board_, n, "hanako"));

  (void)details(key, board_, n);
  EXPECT_EQ(marks(board_, n).size(), 2 * kMarkRecord);
  EXPECT_TRUE(has_mark(board_, n, "hanako"));
  (void)details(key, board_, n);
  EXPECT_EQ(marks(board_, n).size(), 2 * kMarkRecord);

  // A number without a message: a short notice and no mark file.
  const std::string page = details(key, board_, 9);
  EXPECT_TRUE(has(page, "<HR>\n" + std::string(t_.text(285)) + "<P>\n<TABLE>\n"));
  struct stat st {};
  EXPECT_NE(::stat(board_file(board_, "r9.dat").c_str(), &st), 0);
}

TEST_F(DetailsPageTest, ReaderListCountsTheViewerOnlyWhenConfirmationIsOn) {
  const int with_list = post(board_, {.writer = "hanako", .read_chk = 2});
  const int without = post(board_, {.writer = "hanako", .read_chk = 1});
  const std::string key = key_of("hanako");

  // The writer alone has read it: he counts, as the list's only reader.
  std::string page = details(key, board_, with_list);
  EXPECT_TRUE(has(page, std::string("<SELECT>\n<OPTION>1 ") + t_.text(283) +
                            "\n<OPTION VALUE=\"0\">Hanako\n</SELECT>\n"));

  // A viewer who had not read it is marked before the list is printed.
  page = details(key_of("boss"), board_, with_list);
  EXPECT_TRUE(has(page, std::string("<OPTION>2 ") + t_.text(283) +
                            "\n<OPTION VALUE=\"0\">Hanako\n<OPTION VALUE=\"0\">Boss\n"));

  // A reader no longer in user.mst is shown by ID.
  with_request("taro", [&](Request& req) { DeleteMST_USER(req, "boss"); });
  page = details(key, board_, with_list);
  EXPECT_TRUE(has(page, "<OPTION VALUE=\"0\">Hanako\n<OPTION VALUE=\"0\">boss\n</SELECT>"));

  page = details(key, board_, without);
  EXPECT_FALSE(has(page, "<SELECT>"));
  EXPECT_FALSE(has(page, t_.text(282)));
}

TEST_F(DetailsPageTest, EmptyReaderListSaysNobodyHasReadIt) {
  // Marks can be emptied (a message edited): the list then has one option.
  const int n = post(board_, {.writer = "taro", .read_chk = 2});
  with_request("taro", [&](Request& req) { DeleteREAD_POINT(req, board_, n); });
  with_request("taro", [&](Request& req) {
    j_DETAILS_sub1(req, board_, n, 0);
    EXPECT_TRUE(has(req.out.str(), std::string("<SELECT>\n<OPTION VALUE=\"0\">") + t_.text(284) +
                                       "\n</SELECT>\n\t</TD>\n"));
  });
}

TEST_F(DetailsPageTest, NoReadRightGetsTheRefusalAndNoMark) {
  change_settings(board_, [](B_TITLE2& s) {
    s.READ_LEVEL = 1;
    s.WRITE_LEVEL = 1;
  });
  const int n = post(board_, {.writer = "taro", .title = "Secret"});
  const std::string before = marks(board_, n);
  EXPECT_EQ(details(key_of("guest"), board_, n),
            head(t_) + "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n" +
                t_.text(3) + "\n<FORM>\n<INPUT TYPE=\"button\" VALUE=\"" + t_.text(4) +
                "\" onClick=\"history.back()\">\n</FORM>\n</BODY>\n</HTML>\n");
  EXPECT_EQ(marks(board_, n), before);
}

TEST_F(DetailsPageTest, FirstAndLastMessagesHaveNoStepBeyond) {
  for (int i = 0; i < 21; ++i) (void)post(board_, {.writer = "taro"});
  const std::string key = key_of("hanako");
  EXPECT_TRUE(has(details(key, board_, 1), navigation(key, board_, 1, 1, std::nullopt, 2)));
  EXPECT_TRUE(has(details(key, board_, 2), navigation(key, board_, 1, 1, 1, 3)));
  // In index order the 20th is on listing page 1, the 21st on page 2.
  EXPECT_TRUE(has(details(key, board_, 20), navigation(key, board_, 1, 1, 19, 21)));
  EXPECT_TRUE(has(details(key, board_, 21), navigation(key, board_, 2, 1, 20, std::nullopt)));
}

TEST_F(DetailsPageTest, StepsFollowIndexOrderInMode1AndNumbersInModes2And3) {
  const int first = post(board_, {.writer = "taro"});
  const int second = post(board_, {.writer = "taro"});
  const int reply = post(board_, {.writer = "taro", .parent = first});  // index: 1, 3, 2
  ASSERT_EQ(reply, 3);
  const std::string key = key_of("hanako");

  EXPECT_TRUE(has(details(key, board_, reply, "&USER_DISP_DEF=1"),
                  navigation(key, board_, 1, 1, first, second)));
  EXPECT_TRUE(has(details(key, board_, second, "&USER_DISP_DEF=1"),
                  navigation(key, board_, 1, 1, reply, std::nullopt)));
  EXPECT_TRUE(has(details(key, board_, reply, "&USER_DISP_DEF=2"),
                  navigation(key, board_, 1, 2, second, std::nullopt)));
  EXPECT_TRUE(has(details(key, board_, second, "&USER_DISP_DEF=3"),
                  navigation(key, board_, 1, 3, first, reply)));
  // A number that is gone: the last message is the previous one.
  EXPECT_TRUE(has(details(key, board_, 7, "&USER_DISP_DEF=2"),
                  navigation(key, board_, 1, 2, reply, std::nullopt)));
}

TEST_F(DetailsPageTest, ThreadListShowsEveryMessageAndDeletedOnesAsDelete) {
  const int top = post(board_, {.writer = "taro", .title = "Top"});
  const int reply = post(
      board_, {.writer = "hanako", .parent = top, .title = "Answer", .date = "2024/06/01 10:00"});
  const int lone = post(board_, {.writer = "taro", .title = "Alone"});
  mark_deleted(board_, top);
  const std::string key = key_of("hanako");

  auto link = [&](int sel_no) {
    return "<A HREF=\"plazet.cgi?SKEY=" + key +
           "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=" + std::to_string(sel_no) + "&USER_DISP_DEF=1\">";
  };
  const std::string thread =
      "<TABLE BORDER>\n<TR>\n"
      "\t<TD NOWRAP BGCOLOR=\"#E0FFFF\" ALIGN=\"CENTER\"><B>" +
      std::string(t_.text(297)) + "</B></TD>\n" + cell("CENTER", t_.text(298), "#E0FFFF") +
      cell("CENTER", t_.text(299), "#E0FFFF") + cell("CENTER", t_.text(300), "#E0FFFF") +
      "</TR>\n<TR>\n" + cell("CENTER", "<BR>") +
      "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">" + link(top) + "--Delete--</A></TD>\n" +
      cell("LEFT", "<BR>") + cell("CENTER", "2024/05/06 07:08") + "</TR>\n<TR>\n" +
      cell("CENTER", "NowDisp", "#FFB6C1") + "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">" +
      "&nbsp;&nbsp;" + link(reply) + "Re:^1:Answer</A></TD>\n" + cell("LEFT", "Hanako") +
      cell("CENTER", "2024/06/01 10:00") + "</TR>\n</TABLE>\n";
  const std::string page = details(key, board_, reply);
  EXPECT_TRUE(has(page, cell("LEFT", "Re:^1:Answer")));
  EXPECT_TRUE(has(page, "<P>\n" + thread + "<TABLE>\n"));

  // The deleted message's own page: the four notices instead of its view.
  const std::string deleted = details(key, board_, top);
  EXPECT_TRUE(has(deleted, "<HR>\n" + std::string(t_.text(285)) + "<BR>\n" + t_.text(286) +
                               "<BR>\n" + t_.text(287) + "<BR>\n" + t_.text(288) + "<P>\n" +
                               "<TABLE BORDER>\n"));
  EXPECT_FALSE(has(deleted, "SEL:"));

  // A thread of one message has no thread list.
  EXPECT_FALSE(has(details(key, board_, lone), "<TABLE BORDER>"));
}

TEST_F(DetailsPageTest, DatesShowTheDayAloneWithDatetime2) {
  site_.write_file(site_.ini_file(), site_.read_file(site_.ini_file()) + "DATETIME,2,\n");
  const int top = post(board_, {.writer = "taro"});
  const int reply = post(board_, {.writer = "taro", .parent = top, .date = "2024/06/01 10:00"});
  const std::string page = details(key_of("hanako"), board_, reply);
  EXPECT_TRUE(has(page, cell("LEFT", t_.text(281)) + cell("LEFT", "2024/06/01")));
  EXPECT_TRUE(has(page, cell("LEFT", "Taro Yamada") + cell("CENTER", "2024/05/06") + "</TR>"));
  EXPECT_FALSE(has(page, "10:00"));
  EXPECT_FALSE(has(page, "07:08"));
}

TEST_F(DetailsPageTest, ButtonsFollowTheUsersRightAndTheBoardsRewriteFlag) {
  const int n = post(board_, {.writer = "taro"});
  const std::string edit =
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + std::string(t_.text(330)) + "\" >\n";
  const std::string remove = "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" +
                             std::string(t_.text(289)) + "\" onClick=\"return confirm('" +
                             t_.text(290) + "')\">\n";
  const std::string reply =
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + std::string(t_.text(271)) + "\">\n";

  // REWRITE_FLG 1 (the default): the author may delete but not edit.
  std::string taro = key_of("taro");
  std::string page = details(taro, board_, n);
  EXPECT_FALSE(has(page, edit));
  EXPECT_TRUE(has(page, "<TD>\n" + form_open() + hidden("SKEY", taro) + hidden("JOB", "DELMSG") +
                            hidden("SEL_NO", "1") + hidden("FOLDER_NO", "1") +
                            hidden("USER_DISP_DEF", "1") + remove + "</FORM>\n</TD>\n"));

  change_settings(board_, [](B_TITLE2& s) { s.REWRITE_FLG = 2; });
  page = details(taro, board_, n);
  EXPECT_TRUE(has(page, "<TD>\n" + form_open() + hidden("SKEY", taro) + hidden("JOB", "EDITMSG") +
                            hidden("SEL_NO", "1") + hidden("FOLDER_NO", "1") +
                            hidden("USER_DISP_DEF", "1") + edit + "</FORM>\n</TD>\n"));

  // Another writer: reply only.
  page = details(key_of("hanako"), board_, n);
  EXPECT_TRUE(has(page, reply));
  EXPECT_FALSE(has(page, edit));
  EXPECT_FALSE(has(page, remove));

  // A board manager may delete what others wrote, but not edit it. His
  // WRITE_MODE 2 sends the writing forms to their own window; delete stays.
  grant(board_, "boss", 3);
  const std::string boss = key_of("boss");
  page = details(boss, board_, n);
  EXPECT_TRUE(page.ends_with(
      "<TABLE>\n<TR>\n<TD>\n" + form_open(true) + hidden("SKEY", boss) +
      hidden("JOB", "BORDWRITE") + hidden("FOLDER_NO", "1") + hidden("USER_DISP_DEF", "1") +
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" + t_.text(270) + "\">\n</FORM>\n</TD>\n" +
      "<TD>\n" + form_open(true) + hidden("SKEY", boss) + hidden("JOB", "BORDWRITE") +
      hidden("SEL_NO", "1") + hidden("FOLDER_NO", "1") + hidden("USER_DISP_DEF", "1") + reply +
      "</FORM>\n</TD>\n" + "<TD>\n" + form_open(false) + hidden("SKEY", boss) +
      hidden("JOB", "DELMSG") + hidden("SEL_NO", "1") + hidden("FOLDER_NO", "1") +
      hidden("USER_DISP_DEF", "1") + remove +
      "</FORM>\n</TD>\n</TR>\n</TABLE>\n</BODY>\n</HTML>\n"));

  // A shared account is never offered edit or delete, even for his own.
  const int own = post(board_, {.writer = "desk"});
  page = details(key_of("desk"), board_, own);
  EXPECT_TRUE(has(page, reply));
  EXPECT_FALSE(has(page, edit));
  EXPECT_FALSE(has(page, remove));

  // Read right only: the page ends after the navigation.
  change_settings(board_, [](B_TITLE2& s) {
    s.READ_LEVEL = 0;
    s.WRITE_LEVEL = 5;
  });
  page = details(key_of("hanako"), board_, own);
  EXPECT_TRUE(page.ends_with(std::string("alert('") + t_.text(304) +
                             "')\">\n</FORM>\n</TD>\n</TR>\n</TABLE>\n</BODY>\n</HTML>\n"));
  EXPECT_FALSE(has(page, "BORDWRITE"));
}

TEST_F(DetailsPageTest, BoardColoursAndBackgroundWrapTheBody) {
  change_settings(board_, [](B_TITLE2& s) {
    s.FONTCOLOR = "800000";
    s.RESFONTCOLOR = "FF0000";
    s.BACKPIC = "bg.gif";
  });
  const int n = post(board_, {.writer = "taro", .body = ">quoted\rplain", .html_mode = 1});
  const int gone = post(board_, {.writer = "taro"});
  mark_deleted(board_, gone);
  const std::string key = key_of("hanako");

  std::string page = details(key, board_, n);
  EXPECT_TRUE(has(page,
                  "-->\n\t\t<BODY BACKGROUND=\"/plazetpic/1/bg.gif\" BGPROPERTIES=FIXED >\n"
                  "<TABLE>\n"));
  EXPECT_TRUE(has(page,
                  "</TABLE>\n<HR>\n<FONT COLOR=\"#800000\"><PRE><FONT COLOR=\"#FF0000\">>quoted\r"
                  "</FONT>plain</PRE><HR>\n<P>\n</FONT><TABLE>\n"));

  // The closing tag follows the deleted-message notice as well.
  page = details(key, board_, gone);
  EXPECT_TRUE(has(page, std::string(t_.text(288)) + "<P>\n</FONT><TABLE>\n"));
}

TEST_F(DetailsPageTest, ScriptInTitleAndBodyIsNotActive) {
  const int n = post(board_, {.writer = "taro",
                              .title = "<script>alert(1)</script>",
                              .body = "<script>alert(2)</script>\r"
                                      "<a href=\"javascript:alert(3)\">click</a>\r"
                                      "<b onmouseover=\"alert(4)\">bold</b>",
                              .html_mode = 2});
  const std::string page = details(key_of("hanako"), board_, n);
  std::string lower = page;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_FALSE(has(lower, "<script"));
  EXPECT_FALSE(has(lower, "javascript:"));
  EXPECT_FALSE(has(lower, "onmouseover"));
  // The words themselves stay readable, and harmless markup stays.
  EXPECT_TRUE(has(page, "&lt;script>alert(1)&lt;/script>"));
  EXPECT_TRUE(has(page, "click</a>"));
  EXPECT_TRUE(has(page, "bold</b>"));
}

TEST_F(DetailsPageTest, DeletingALeafRemovesItAndItsFiles) {
  change_settings(board_, [](B_TITLE2& s) { s.ADD_MAX = 2; });
  const int top = post(board_, {.writer = "taro", .title = "Top"});
  const int leaf = post(board_, {.writer = "hanako", .parent = top, .body = "bye", .add_count = 1});
  attach(board_, leaf, 1, "a.txt", "aaa");
  attach(board_, top, 1, "keep.txt", "kkk");
  (void)details(key_of("taro"), board_, leaf);  // a second reader's mark

  run_job(key_of("hanako"), "DELMSG", board_, leaf);

  const std::string index = index_bytes(board_);
  ASSERT_EQ(index.size(), kIndexRecord);  // only the top message is left
  EXPECT_EQ(index[7], static_cast<char>(top));
  EXPECT_EQ(marks(board_, leaf), "");
  EXPECT_EQ(site_.read_file(board_file(board_, "add_file.dat")).size(), 260u);  // keep.txt
  struct stat st {};
  EXPECT_NE(::stat(attachments_dir(board_, leaf).c_str(), &st), 0);
  EXPECT_EQ(site_.read_file(attachments_dir(board_, top) + "/1/keep.txt"), "kkk");
  EXPECT_EQ(site_.read_file(board_file(board_, "x2.dat")), "bye");  // the body stays
}

TEST_F(DetailsPageTest, DeletingAnAnsweredMessageKeepsItAsDeleted) {
  const int top = post(board_, {.writer = "taro"});
  const int reply = post(board_, {.writer = "hanako", .parent = top});
  const std::string before = index_bytes(board_);

  run_job(key_of("taro"), "DELMSG", board_, top);

  const std::string after = index_bytes(board_);
  ASSERT_EQ(after.size(), 2 * kIndexRecord);
  std::string expected = before;
  expected[155] = 1;  // DEL_FLG of the first record, the rest untouched
  EXPECT_EQ(after, expected);
  EXPECT_EQ(marks(board_, top).size(), kMarkRecord);
  EXPECT_TRUE(has(details(key_of("hanako"), board_, reply), "--Delete--</A></TD>\n"));
}

TEST_F(DetailsPageTest, OnlyTheNextRecordOfTheThreadTellsWhetherAMessageIsAnswered) {
  // 1 Top; 2 reply to 1; 3 reply to 1; 4 reply to 3. Message 2 has no
  // reply of its own although a deeper record follows later in the thread.
  const int top = post(board_, {.writer = "taro"});
  const int first = post(board_, {.writer = "taro", .parent = top});
  const int second = post(board_, {.writer = "taro", .parent = top});
  (void)post(board_, {.writer = "taro", .parent = second});

  run_job(key_of("taro"), "DELMSG", board_, first);
  EXPECT_EQ(index_bytes(board_).size(), 3 * kIndexRecord);

  run_job(key_of("taro"), "DELMSG", board_, second);  // answered by 4
  const std::string index = index_bytes(board_);
  ASSERT_EQ(index.size(), 3 * kIndexRecord);
  EXPECT_EQ(index[kIndexRecord + 7], static_cast<char>(second));
  EXPECT_EQ(index[kIndexRecord + 155], 1);
}

TEST_F(DetailsPageTest, DeletionByAnyoneButTheAuthorOrAManagerChangesNothing) {
  const int n = post(board_, {.writer = "taro", .add_count = 1});
  change_settings(board_, [](B_TITLE2& s) { s.ADD_MAX = 1; });
  attach(board_, n, 1, "a.txt", "aaa");
  const int shared_own = post(board_, {.writer = "desk"});
  const std::string index = index_bytes(board_);
  const std::string mark = marks(board_, n);
  const std::string files = site_.read_file(board_file(board_, "add_file.dat"));

  run_job(key_of("hanako"), "DELMSG", board_, n);         // right 2, not the author
  run_job(key_of("desk"), "DELMSG", board_, shared_own);  // a shared account

  EXPECT_EQ(index_bytes(board_), index);
  EXPECT_EQ(marks(board_, n), mark);
  EXPECT_EQ(site_.read_file(board_file(board_, "add_file.dat")), files);
  EXPECT_EQ(site_.read_file(attachments_dir(board_, n) + "/1/a.txt"), "aaa");

  // A board manager may.
  grant(board_, "boss", 3);
  run_job(key_of("boss"), "DELMSG", board_, n);
  EXPECT_EQ(index_bytes(board_).size(), kIndexRecord);
}

TEST_F(DetailsPageTest, MarkAllReadWritesMissingMarksOnReadableBoardsOnly) {
  const long closed = make_board("Closed");
  change_settings(closed, [](B_TITLE2& s) {
    s.READ_LEVEL = 5;
    s.WRITE_LEVEL = 5;
  });
  const int a = post(board_, {.writer = "taro"});
  const int b = post(board_, {.writer = "taro"});
  const int own = post(board_, {.writer = "hanako"});
  const int hidden_msg = post(closed, {.writer = "taro"});
  const std::string key = key_of("hanako");
  (void)details(key, board_, a);  // already read

  const std::string closed_before = marks(closed, hidden_msg);
  (void)site_.get("SKEY=" + key + "&JOB=BORDALLFLG&FOLDER_NO=" + std::to_string(closed));
  EXPECT_EQ(marks(closed, hidden_msg), closed_before);
  EXPECT_FALSE(has_mark(closed, hidden_msg, "hanako"));

  (void)site_.get("SKEY=" + key + "&JOB=BORDALLFLG&FOLDER_NO=" + std::to_string(board_));
  EXPECT_EQ(marks(board_, a).size(), 2 * kMarkRecord);  // not a second one
  EXPECT_EQ(marks(board_, b).size(), 2 * kMarkRecord);
  EXPECT_TRUE(has_mark(board_, b, "hanako"));
  EXPECT_EQ(marks(board_, own).size(), kMarkRecord);
}

TEST_F(DetailsPageTest, EmbeddedViewHasCheckboxAndLinksWithTheUsersOwnOrder) {
  const int top = post(board_, {.writer = "taro", .title = "Top", .body = "Hi"});
  const int reply = post(board_, {.writer = "taro", .parent = top, .date = "2024/06/01 10:00"});
  mark_deleted(board_, reply);
  auto link = [](int sel_no) {
    return "<A HREF=\"plazet.cgi?SKEY=77&JOB=DETAILS&FOLDER_NO=1&SEL_NO=" + std::to_string(sel_no) +
           "&USER_DISP_DEF=1\">";
  };
  auto thread = [&](int shown) {
    auto marker = [&](int sel_no) {
      return sel_no == shown ? cell("CENTER", "NowDisp", "#FFB6C1") : cell("CENTER", "<BR>");
    };
    return "<TABLE BORDER>\n<TR>\n"
           "\t<TD NOWRAP BGCOLOR=\"#E0FFFF\" ALIGN=\"CENTER\"><B>" +
           std::string(t_.text(297)) + "</B></TD>\n" + cell("CENTER", t_.text(298), "#E0FFFF") +
           cell("CENTER", t_.text(299), "#E0FFFF") + cell("CENTER", t_.text(300), "#E0FFFF") +
           "</TR>\n<TR>\n" + marker(top) + "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">" +
           link(top) + "Top</A></TD>\n" + cell("LEFT", "Taro Yamada") +
           cell("CENTER", "2024/05/06 07:08") + "</TR>\n<TR>\n" + marker(reply) +
           "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">&nbsp;&nbsp;" + link(reply) +
           "Re:^1:--Delete--</A></TD>\n" + cell("LEFT", "<BR>") +
           cell("CENTER", "2024/06/01 10:00") + "</TR>\n</TABLE>\n";
  };

  with_request("hanako", [&](Request& req) {
    req.SKEY = "77";
    req.form.add("USER_DISP_DEF", "3");  // a page's order; the view links with the user's own
    j_DETAILS_sub1(req, board_, top, 1);
    EXPECT_EQ(req.out.str(),
              "<INPUT TYPE=\"checkbox\" NAME=\"FOLSEL\" VALUE=\"1,1\">SEL:1<BR>\n"
              "<TABLE BORDER=0>\n<TR>\n" +
                  cell("LEFT", t_.text(279)) + "<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">" +
                  link(top) +
                  "Top</A></TD>\n"
                  "\t<TD NOWRAP ALIGN=\"CENTER\" ROWSPAN=3 >\n"
                  "<IMG SRC=\"/plazetpic/userpic/taro/t.gif\">\n"
                  "\t</TD>\n"
                  "</TR>\n<TR>\n" +
                  cell("LEFT", t_.text(280)) +
                  "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">"
                  "<A HREF=\"mailto:taro@example.com?subject=Re:Top\">Taro Yamada  [taro]</A>\n"
                  "</TD>\n</TR>\n<TR>\n" +
                  cell("LEFT", t_.text(281)) + cell("LEFT", "2024/05/06 07:08") +
                  "</TR>\n</TABLE>\nHi<P>\n" + thread(top) + "<HR>\n");
  });
  EXPECT_EQ(marks(board_, top).size(), kMarkRecord);  // the view marks nothing

  with_request("hanako", [&](Request& req) {
    req.SKEY = "77";
    req.form.add("CHK_ALL", "1");
    j_DETAILS_sub1(req, board_, reply, 1);
    EXPECT_EQ(req.out.str(),
              "<INPUT TYPE=\"checkbox\" NAME=\"FOLSEL\" VALUE=\"1,2\" checked >SEL:2<BR>\n"
              "<BR>" +
                  std::string(t_.text(285)) + "<BR>\n" + t_.text(286) + "<BR>\n" + t_.text(287) +
                  "<BR>\n" + t_.text(288) + "<P>\n" + thread(reply) + "<HR>\n");
  });
}

}  // namespace
}  // namespace plazet
