// The board listing, seen through the program as the web server runs it:
// boards and messages are laid out through the store, then the page is
// asked for with JOB=ROOM and read back byte by byte.
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/folder_admin.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "pages/room_page.h"
#include "cgi_site.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/settings.h"
#include "frame/strdef.h"
#include "store/data_lock.h"
#include "store/record_file.h"

namespace plazet {
namespace {

using testing::CgiSite;
using testing::head;
using testing::hidden;
using testing::japanese;

const std::string kAltUnread = "\x96\xA2\x93\xC7";  // the Shift-JIS word for "unread"

// SKEY, JOB, FOLDER_NO, DISP_PAGE, USER_DISP_DEF as the page's forms carry them.
std::string place(const std::string& key, const std::string& job, int folder, int page, int order) {
  return hidden("SKEY", key) + hidden("JOB", job) + hidden("FOLDER_NO", std::to_string(folder)) +
         hidden("DISP_PAGE", std::to_string(page)) + hidden("USER_DISP_DEF", std::to_string(order));
}

const std::string kForm =
    "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST >\n";

std::string cell(const std::string& align, const std::string& content) {
  return "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"" + align + "\">" + content;
}

class RoomPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("boss", "pw", 100, 1);
    site_.add_user("taro", "pw", 1, 1);
    site_.add_user("hana", "pw", 1, 1);
    site_.add_user("desk", "pw", 1, 2);
  }

  long new_board(const std::string& name) {
    long number = 0;
    site_.with_request("boss", [&](Request& req) {
      ASSERT_EQ(create_folder(req, 0, Placement::kAfter, B_TITLE::kBoard, name, &number),
                kFolderCreated);
    });
    return number;
  }

  void change_settings(long board, void (*edit)(B_TITLE2&)) {
    site_.with_request("boss", [&](Request& req) {
      std::optional<B_TITLE2> settings = ReadB_TITLE2(req, board);
      ASSERT_TRUE(settings);
      edit(*settings);
      ASSERT_TRUE(ReWriteB_TITLE2(req, *settings));
    });
  }

  // Posts a message as `writer` (a new thread when `parent` is 0); returns
  // its number.
  int post(long board, const std::string& writer, const std::string& title, int parent = 0,
           int priority = 0, const std::string& date = "2024/05/01 09:30") {
    int number = 0;
    site_.with_request(writer, [&](Request& req) {
      INDEX_DATA m;
      m.FOLDER_NO = static_cast<std::int32_t>(board);
      m.SEL_NO = parent;
      m.WRITE_PRIORITY = priority;
      m.WRITE_DATE = date;
      m.WRITER = writer;
      m.WRITE_TITLE = title;
      m.READ_CHK = 1;
      std::optional<INDEX_DATA> stored = WriteINDEX_DATA(req, m);
      ASSERT_TRUE(stored);
      number = stored->SEL_NO;
    });
    return number;
  }

  void post_many(long board, int count) {
    site_.with_request("taro", [&](Request& req) {
      for (int i = 0; i < count; ++i) {
        INDEX_DATA m;
        m.FOLDER_NO = static_cast<std::int32_t>(board);
        m.WRITE_DATE = "2024/05/01 09:30";
        m.WRITER = "taro";
        m.WRITE_TITLE = "Message";
        m.READ_CHK = 1;
        ASSERT_TRUE(WriteINDEX_DATA(req, m));
      }
    });
  }

  std::string key_of(const std::string& user) {
    auto it = keys_.find(user);
    if (it != keys_.end()) return it->second;
    std::optional<std::string> key = site_.log_in(user, "pw");
    EXPECT_TRUE(key) << user;
    return keys_[user] = key.value_or("");
  }

  std::string room(const std::string& user, const std::string& query) {
    return site_.get("SKEY=" + key_of(user) + "&JOB=ROOM&" + query);
  }

  // The message numbers of the page's rows, top to bottom.
  static std::vector<int> rows(const std::string& page) {
    static const std::regex sel(
        "ALIGN=\"CENTER\">(-?[0-9]+)</TD>\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">");
    std::vector<int> numbers;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), sel);
         it != std::sregex_iterator(); ++it) {
      numbers.push_back(std::stoi((*it)[1].str()));
    }
    return numbers;
  }

  static std::vector<int> range(int from, int to) {
    std::vector<int> numbers;
    for (int n = from; from <= to ? n <= to : n >= to; from <= to ? ++n : --n) numbers.push_back(n);
    return numbers;
  }

  static bool has(const std::string& page, const std::string& part) {
    return page.find(part) != std::string::npos;
  }

  CgiSite site_;
  const STRDEF t_ = japanese();
  std::map<std::string, std::string> keys_;
};

TEST_F(RoomPageTest, SmallBoardPageIsPrintedExactly) {
  const long board = new_board("Notices");
  ASSERT_EQ(board, 1);
  change_settings(board, [](B_TITLE2& s) {
    s.TITLEPIC = "title.gif";
    s.INFO = "Line one\rLine two";
    s.FONTCOLOR = "FF0000";
  });
  ASSERT_EQ(post(board, "taro", "Hello"), 1);
  ASSERT_EQ(post(board, "boss", "Re hi", 1, 1, "2024/05/02 10:00"), 2);
  ASSERT_EQ(post(board, "taro", "Urgent", 0, 2, "2024/05/03 11:15"), 3);
  const std::string key = key_of("taro");

  const std::string write_form = place(key, "BORDWRITE", 1, 1, 1);
  const std::string write_button =
      std::string("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"") + t_.text(258) + "\">\n";
  const std::string back = std::string("<TD>\n<INPUT TYPE=\"button\" name=\"MOVE_REW\" VALUE=\"") +
                           t_.text(259) + "\" onClick=\"alert('" + t_.text(260) + "')\">\n</TD>\n";
  const std::string forward =
      std::string("<TD>\n<INPUT TYPE=\"button\" name=\"MOVE_FF\" VALUE=\"") + t_.text(261) +
      "\" onClick=\"alert('" + t_.text(262) + "')\">\n</TD>\n";
  const std::string option = "<OPTION VALUE=\"plazet.cgi?SKEY=" + key +
                             "&JOB=ROOM&FOLDER_NO=1&DISP_PAGE=1&USER_DISP_DEF=1\">1 Page\n";
  auto link = [&](int sel_no) {
    return "<A HREF=\"plazet.cgi?SKEY=" + key +
           "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=" + std::to_string(sel_no) + "&USER_DISP_DEF=1\">";
  };
  auto head_cell = [](const std::string& caption) {
    return "\t<TD NOWRAP BGCOLOR=\"#E0FFFF\" ALIGN=\"CENTER\">" + caption + "</TD>\n";
  };
  auto order_form = [&](int order, int caption) {
    return "<TD>\n" + kForm + place(key, "ROOM", 1, 1, order) + "<INPUT TYPE=\"submit\" VALUE=\"" +
           t_.text(caption) + "\">\n</FORM>\n</TD>\n";
  };

  const std::string expected =
      head(t_) +
      "<SCRIPT Language=\"JavaScript\">\n<!--\nfunction f_Pjamp(){\n"
      "jidx=document.Pjamp.PPage.selectedIndex;\n"
      "jloc=document.Pjamp.PPage.options[jidx].value;\n"
      "location.href=jloc;\n}\n// -->\n</SCRIPT>\n"
      "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
      "<TABLE>\n<TR><TD NOWRAP BGCOLOR=\"#FFFFFF\">\n"
      "<FONT SIZE=\"5\"><B>[1]Notices</B></FONT>\n</TD></TR>\n</TABLE>\n"
      // button row: a personal account without manager rights
      "<TABLE>\n<TR>\n<TD>\n" +
      kForm + place(key, "BORDALLFLG", 1, 1, 1) + "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" +
      t_.text(256) + "\" onClick=\"return confirm('" + t_.text(257) +
      "')\">\n</FORM>\n</TD>\n</TR>\n</TABLE>\n"
      // picture and description
      "<IMG SRC=\"/plazetpic/1/title.gif\"><BR>\n"
      "<FONT COLOR=\"#FF0000\">Line one<BR>\nLine two</FONT>\n"
      "<HR>\n"
      // upper navigation
      "<TABLE>\n<TR>\n" +
      kForm + write_form + "<TD>\n" + write_button + "</TD>\n</FORM>\n" +
      "<FORM NAME=\"Pjamp\" ACTION=\"plazet.cgi\" METHOD=POST >\n" + place(key, "ROOM", 1, 1, 1) +
      back + forward + "<TD>\n" + "<SELECT NAME=\"PPage\" onChange=\"f_Pjamp()\">\n" + option +
      option + "</SELECT>\n</TD>\n</FORM>\n</TR>\n</TABLE>\n<P>\n" +
      "<FONT COLOR=\"#FF0000\"> Page[1/1]<BR>\n</FONT>" +
      // table
      "<TABLE BORDER>\n<TR>\n" + head_cell(t_.text(263)) + head_cell(t_.text(264)) +
      head_cell("SEL") + head_cell(t_.text(265)) + head_cell(t_.text(266)) +
      head_cell(t_.text(267)) + "</TR>\n" +
      // 1: taro's own, read
      "<TR>\n" + cell("CENTER", "<BR></TD>\n") + cell("CENTER", "<BR></TD>\n") +
      cell("CENTER", "1</TD>") + cell("LEFT", link(1) + "Hello</A></TD>\n") +
      cell("LEFT", "Name of taro</TD>\n") + cell("CENTER", "2024/05/01 09:30</TD>\n") + "</TR>\n" +
      // 2: the administrator's reply, unread for taro
      "<TR>\n" +
      cell("CENTER", "<IMG SRC=\"/plazetpic/new.gif\" ALT=\"" + kAltUnread + "\"><BR></TD>\n") +
      cell("CENTER", std::string(t_.text(268)) + "</TD>\n") + cell("CENTER", "2</TD>") +
      cell("LEFT", "&nbsp;&nbsp;" + link(2) + "Re:^1:Re hi</A></TD>\n") +
      cell("LEFT", "Name of boss</TD>\n") + cell("CENTER", "2024/05/02 10:00</TD>\n") + "</TR>\n" +
      // 3
      "<TR>\n" + cell("CENTER", "<BR></TD>\n") +
      cell("CENTER", std::string(t_.text(269)) + "</TD>\n") + cell("CENTER", "3</TD>") +
      cell("LEFT", link(3) + "Urgent</A></TD>\n") + cell("LEFT", "Name of taro</TD>\n") +
      cell("CENTER", "2024/05/03 11:15</TD>\n") + "</TR>\n" +
      // lower navigation
      "</TABLE>\n<P>\n<TABLE>\n<TR><TD>" + kForm + write_form + write_button + "</TD>\n</FORM>\n" +
      kForm + place(key, "ROOM", 1, 1, 1) + back + forward + "</TR>\n</TABLE>\n</FORM>\n" +
      // orders
      "<TABLE>\n<TR>\n" + order_form(1, 175) + order_form(2, 176) + order_form(3, 177) +
      "</TR>\n</TABLE>\n</BODY>\n</HTML>\n";

  EXPECT_EQ(room("taro", "FOLDER_NO=1&FAST_FLG=1"), expected);
}

TEST_F(RoomPageTest, FirstVisitShowsTheLastPage) {
  const long board = new_board("B");
  post_many(board, 45);
  const std::string q = "FOLDER_NO=" + std::to_string(board) + "&USER_DISP_DEF=1";

  std::string last = room("taro", q);
  EXPECT_EQ(rows(last), range(41, 45));
  EXPECT_TRUE(has(last, " Page[3/3]<BR>\n"));
  EXPECT_EQ(last, room("taro", q + "&DISP_PAGE=0"));
  EXPECT_EQ(last, room("taro", q + "&DISP_PAGE=-4"));
  // On the last page forward only warns; back is a real button.
  EXPECT_TRUE(has(last, std::string("<INPUT TYPE=\"button\" name=\"MOVE_FF\" VALUE=\"") +
                            t_.text(261) + "\" onClick=\"alert('" + t_.text(262) + "')\">\n"));
  EXPECT_TRUE(has(last, std::string("<INPUT TYPE=\"submit\" name=\"MOVE_REW\" VALUE=\"") +
                            t_.text(259) + "\">\n"));
  // The jump list: the current page first, then every page from the last down.
  const std::string option =
      "<OPTION VALUE=\"plazet.cgi?SKEY=" + key_of("taro") + "&JOB=ROOM&FOLDER_NO=1&DISP_PAGE=";
  EXPECT_TRUE(has(last, "<SELECT NAME=\"PPage\" onChange=\"f_Pjamp()\">\n" + option +
                            "3&USER_DISP_DEF=1\">3 Page\n" + option +
                            "3&USER_DISP_DEF=1\">3 Page\n" + option +
                            "2&USER_DISP_DEF=1\">2 Page\n" + option +
                            "1&USER_DISP_DEF=1\">1 Page\n</SELECT>\n"));

  std::string first = room("taro", q + "&DISP_PAGE=1");
  EXPECT_EQ(rows(first), range(1, 20));
  EXPECT_TRUE(has(first, " Page[1/3]<BR>\n"));
  EXPECT_TRUE(has(first, std::string("<INPUT TYPE=\"button\" name=\"MOVE_REW\" VALUE=\"") +
                             t_.text(259) + "\" onClick=\"alert('" + t_.text(260) + "')\">\n"));
  EXPECT_TRUE(has(first, std::string("<INPUT TYPE=\"submit\" name=\"MOVE_FF\" VALUE=\"") +
                             t_.text(261) + "\">\n"));
  EXPECT_TRUE(has(
      first, option + "1&USER_DISP_DEF=1\">1 Page\n" + option + "3&USER_DISP_DEF=1\">3 Page\n"));

  // Back and forward move one page and stop at the ends.
  EXPECT_EQ(rows(room("taro", q + "&DISP_PAGE=3&MOVE_REW=x")), range(21, 40));
  EXPECT_EQ(rows(room("taro", q + "&DISP_PAGE=1&MOVE_FF=x")), range(21, 40));
  EXPECT_EQ(rows(room("taro", q + "&DISP_PAGE=1&MOVE_REW=x")), range(1, 20));
  EXPECT_EQ(rows(room("taro", q + "&MOVE_FF=x")), range(41, 45));
  EXPECT_EQ(rows(room("taro", q + "&DISP_PAGE=2&MOVE_REW=")), range(21, 40));  // empty: no move
  // The page moved to is the one the forms pass on.
  EXPECT_TRUE(has(room("taro", q + "&DISP_PAGE=3&MOVE_REW=x"), hidden("DISP_PAGE", "2")));
}

TEST_F(RoomPageTest, TwentyFirstMessageStartsPageTwo) {
  const long board = new_board("B");
  post_many(board, 20);
  const std::string q = "FOLDER_NO=" + std::to_string(board);
  std::string page = room("taro", q);
  EXPECT_EQ(rows(page), range(1, 20));
  EXPECT_TRUE(has(page, " Page[1/1]<BR>\n"));

  post_many(board, 1);
  page = room("taro", q);
  EXPECT_EQ(rows(page), std::vector<int>{21});
  EXPECT_TRUE(has(page, " Page[2/2]<BR>\n"));
  EXPECT_EQ(rows(room("taro", q + "&DISP_PAGE=1")), range(1, 20));
}

TEST_F(RoomPageTest, NumberOrdersPageThroughTwentyAtATime) {
  const long board = new_board("B");
  post_many(board, 25);
  const std::string q = "FOLDER_NO=" + std::to_string(board);

  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3&DISP_PAGE=1")), range(20, 1));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3&DISP_PAGE=2")), range(25, 21));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3")), range(25, 21));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=2&DISP_PAGE=1")), range(1, 20));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=2")), range(21, 25));

  // The chosen order travels in every form and link of the page.
  std::string page = room("taro", q + "&USER_DISP_DEF=3&DISP_PAGE=2");
  EXPECT_TRUE(has(page, hidden("USER_DISP_DEF", "3")));
  EXPECT_FALSE(has(page, hidden("USER_DISP_DEF", "1") + "<INPUT TYPE=\"submit\" name"));
  EXPECT_TRUE(has(page, "&SEL_NO=25&USER_DISP_DEF=3\">"));
  EXPECT_TRUE(has(page, "&DISP_PAGE=2&USER_DISP_DEF=3\">2 Page\n"));
}

TEST_F(RoomPageTest, MissingOrderTakesTheUsersOwn) {
  site_.write_file(site_.data_dir() + "user.mst", site_.read_file(site_.data_dir() + "user.mst") +
                                                      "newest,Newest First,1,,pw,0,3,1,1,,,0,\n"
                                                      "none,No Order,1,,pw,0,0,1,1,,,0,\n");
  const long board = new_board("B");
  post_many(board, 3);
  const std::string q = "FOLDER_NO=" + std::to_string(board);
  EXPECT_EQ(rows(room("newest", q)), range(3, 1));
  EXPECT_EQ(rows(room("newest", q + "&USER_DISP_DEF=0")), range(3, 1));
  EXPECT_EQ(rows(room("newest", q + "&USER_DISP_DEF=1")), range(1, 3));
  EXPECT_TRUE(has(room("newest", q), hidden("USER_DISP_DEF", "3")));
  // No order anywhere: thread order, and the forms say so.
  std::string page = room("none", q);
  EXPECT_EQ(rows(page), range(1, 3));
  EXPECT_TRUE(has(page, place(key_of("none"), "ROOM", static_cast<int>(board), 1, 1)));
}

TEST_F(RoomPageTest, AscendingOrderStepsOverRemovedNumbers) {
  const long board = new_board("B");
  post_many(board, 30);
  site_.with_request("boss", [&](Request& req) {
    for (int gone : {3, 7, 12}) ASSERT_TRUE(DeleteINDEX_DATA(req, board, gone));
  });
  const std::string q = "FOLDER_NO=" + std::to_string(board);
  const std::vector<int> first = {1,  2,  4,  5,  6,  8,  9,  10, 11, 13,
                                  14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=2&DISP_PAGE=1")), first);
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=2&DISP_PAGE=2")), range(24, 30));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3&DISP_PAGE=1")),
            std::vector<int>(first.rbegin(), first.rend()));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3&DISP_PAGE=2")), range(30, 24));
  EXPECT_TRUE(has(room("taro", q + "&USER_DISP_DEF=2"), " Page[2/2]<BR>\n"));
}

TEST_F(RoomPageTest, NumberOrdersFollowNumbersNotFilePositions) {
  const long board = new_board("B");
  post(board, "taro", "one");        // 1
  post(board, "taro", "two");        // 2
  post(board, "hana", "reply", 1);   // 3, stored right after 1
  post(board, "hana", "deeper", 3);  // 4, after 3
  const std::string q = "FOLDER_NO=" + std::to_string(board);
  std::string thread = room("taro", q + "&USER_DISP_DEF=1");
  EXPECT_EQ(rows(thread), (std::vector<int>{1, 3, 4, 2}));
  EXPECT_TRUE(has(thread, "&nbsp;&nbsp;&nbsp;&nbsp;<A HREF=\"plazet.cgi?SKEY=" + key_of("taro") +
                              "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4&USER_DISP_DEF=1\">Re:^2:deeper"));
  std::string ascending = room("taro", q + "&USER_DISP_DEF=2");
  EXPECT_EQ(rows(ascending), range(1, 4));
  // Replies keep their mark in every order but are indented only in threads.
  EXPECT_TRUE(has(ascending, cell("LEFT", "<A HREF=\"plazet.cgi?SKEY=" + key_of("taro") +
                                              "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4&USER_DISP_DEF=2\">"
                                              "Re:^2:deeper</A></TD>\n")));
  EXPECT_FALSE(has(ascending, "&nbsp;"));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3")), range(4, 1));
}

// An index written by hand (or by two postings at the same moment): numbers
// held twice, numbers that are not positive, and one far beyond the rest.
TEST_F(RoomPageTest, NumberOrdersTakeTheFirstRecordOfANumberAndSkipOthersBelowOne) {
  const long board = new_board("B");
  auto record = [&](std::int32_t sel_no, const std::string& title) {
    INDEX_DATA r;
    r.FOLDER_NO = static_cast<std::int32_t>(board);
    r.SEL_NO = sel_no;
    r.THREAD_NO = sel_no;
    r.WRITE_DATE = "2024/05/01 09:30";
    r.WRITER = "taro";
    r.WRITE_TITLE = title;
    return RecordFile<IndexDataCodec>::encode(r);
  };
  const std::string dir = site_.data_dir() + std::to_string(board);
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string dense = record(3, "three") + record(1, "one") + record(3, "three again") +
                            record(0, "zero") + record(2, "two") + record(-4, "minus");
  site_.write_file(dir + "/index.dat", dense);
  const std::string q = "FOLDER_NO=" + std::to_string(board);
  std::string page = room("taro", q + "&USER_DISP_DEF=2");
  EXPECT_EQ(rows(page), range(1, 3));
  EXPECT_TRUE(has(page, "three</A>"));
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3")), range(3, 1));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=1")), (std::vector<int>{3, 1, 3, 0, 2, -4}));

  site_.write_file(dir + "/index.dat", dense + record(2000000000, "far") + record(7, "seven"));
  page = room("taro", q + "&USER_DISP_DEF=2");
  EXPECT_EQ(rows(page), (std::vector<int>{1, 2, 3, 7, 2000000000}));
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=3")), (std::vector<int>{2000000000, 7, 3, 2, 1}));
}

TEST_F(RoomPageTest, PageBeyondTheEndIsNotCorrected) {
  const long board = new_board("B");
  post_many(board, 30);
  site_.with_request("boss", [&](Request& req) {
    for (int gone : {3, 7, 12}) ASSERT_TRUE(DeleteINDEX_DATA(req, board, gone));
  });
  const std::string q = "FOLDER_NO=" + std::to_string(board) + "&DISP_PAGE=5";
  std::string page = room("taro", q + "&USER_DISP_DEF=1");
  EXPECT_TRUE(has(page, " Page[5/2]<BR>\n"));
  EXPECT_TRUE(rows(page).empty());
  EXPECT_TRUE(rows(room("taro", q + "&USER_DISP_DEF=3")).empty());
  // Ascending starts at the number that equals the count of messages (27).
  EXPECT_EQ(rows(room("taro", q + "&USER_DISP_DEF=2")), range(27, 30));
  // Forward cannot go further; back steps down from the requested page.
  EXPECT_TRUE(has(room("taro", q + "&USER_DISP_DEF=1&MOVE_FF=x"), " Page[5/2]<BR>\n"));
  EXPECT_TRUE(has(room("taro", q + "&USER_DISP_DEF=1&MOVE_REW=x"), " Page[4/2]<BR>\n"));
}

TEST_F(RoomPageTest, DeletedButKeptMessageShowsTheDeleteMark) {
  const long board = new_board("B");
  post(board, "taro", "Going away");
  post(board, "hana", "An answer", 1);
  site_.with_request("boss", [&](Request& req) {
    std::optional<INDEX_DATA> m = ReadINDEX_DATA(req, board, 1, IndexKey::kSelNo);
    ASSERT_TRUE(m);
    m->DEL_FLG = 1;
    ASSERT_TRUE(ReWriteINDEX_DATA(req, *m));
  });
  for (int order = 1; order <= 3; ++order) {
    std::string page = room("taro", "FOLDER_NO=1&USER_DISP_DEF=" + std::to_string(order));
    EXPECT_TRUE(has(page, "<A HREF=\"plazet.cgi?SKEY=" + key_of("taro") +
                              "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=1&USER_DISP_DEF=" +
                              std::to_string(order) + "\">--Delete--</A></TD>\n"))
        << order;
    EXPECT_FALSE(has(page, "Going away"));
    EXPECT_TRUE(has(page, "Re:^1:An answer</A></TD>\n"));
  }
}

TEST_F(RoomPageTest, UnreadMarkOnlyOnOthersMessagesForPersonalAccounts) {
  const long board = new_board("B");
  post(board, "taro", "mine");
  post(board, "hana", "hers");
  const std::string mark = "<IMG SRC=\"/plazetpic/new.gif\" ALT=\"" + kAltUnread + "\"><BR></TD>\n";
  const std::string none = "<TR>\n" + cell("CENTER", "<BR></TD>\n") + cell("CENTER", "<BR></TD>\n");

  std::string page = room("taro", "FOLDER_NO=1");
  EXPECT_TRUE(has(page, none + cell("CENTER", "1</TD>")));
  EXPECT_TRUE(has(page, "<TR>\n" + cell("CENTER", mark) + cell("CENTER", "<BR></TD>\n") +
                            cell("CENTER", "2</TD>")));
  // Once taro has read hana's message the mark is gone.
  site_.with_request("taro", [&](Request& req) {
    READ_POINT read;
    read.SEL_NO = 2;
    read.USER_ID = "taro";
    ASSERT_TRUE(WriteREAD_POINT(req, board, read));
  });
  EXPECT_FALSE(has(room("taro", "FOLDER_NO=1"), "new.gif"));
  // A shared account: no marks at all, and no mark-all button.
  page = room("desk", "FOLDER_NO=1");
  EXPECT_EQ(rows(page), range(1, 2));
  EXPECT_FALSE(has(page, "new.gif"));
  EXPECT_FALSE(has(page, "BORDALLFLG"));
  EXPECT_FALSE(has(page, t_.text(256)));
  EXPECT_TRUE(has(page, "<TABLE>\n<TR>\n</TR>\n</TABLE>\n<HR>\n"));
  // A personal account has it.
  EXPECT_TRUE(has(room("hana", "FOLDER_NO=1"), hidden("JOB", "BORDALLFLG")));
}

TEST_F(RoomPageTest, DatetimeTwoShowsTheDateOnly) {
  const long board = new_board("B");
  post(board, "taro", "dated", 0, 0, "2024/12/31 23:59");
  EXPECT_TRUE(has(room("taro", "FOLDER_NO=1"), cell("CENTER", "2024/12/31 23:59</TD>\n</TR>\n")));
  site_.write_file(site_.ini_file(), site_.read_file(site_.ini_file()) + "DATETIME,2,\n");
  std::string page = room("taro", "FOLDER_NO=1");
  EXPECT_TRUE(has(page, cell("CENTER", "2024/12/31</TD>\n</TR>\n")));
  EXPECT_FALSE(has(page, "23:59"));
}

TEST_F(RoomPageTest, RightsDecideRefusalWriteAndManagerButtons) {
  const long board = new_board("B");
  post(board, "taro", "t");
  // Readers need level 5: taro (level 1) has no right at all.
  change_settings(board, [](B_TITLE2& s) {
    s.READ_LEVEL = 5;
    s.WRITE_LEVEL = 5;
  });
  EXPECT_EQ(room("taro", "FOLDER_NO=1"),
            head(t_) + "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n" +
                t_.text(3) + "\n<FORM>\n<INPUT TYPE=\"button\" VALUE=\"" + t_.text(4) +
                "\" onClick=\"history.back()\">\n</FORM>\n</BODY>\n</HTML>\n");

  // Everyone reads, writing needs level 5: no write button, rows still shown.
  change_settings(board, [](B_TITLE2& s) {
    s.READ_LEVEL = 0;
    s.WRITE_LEVEL = 5;
  });
  std::string page = room("taro", "FOLDER_NO=1");
  EXPECT_EQ(rows(page), std::vector<int>{1});
  EXPECT_FALSE(has(page, "BORDWRITE"));
  EXPECT_FALSE(has(page, t_.text(258)));
  EXPECT_FALSE(has(page, "BORDCONFIG"));
  EXPECT_TRUE(has(page, "</TABLE>\n<P>\n<TABLE>\n<TR>" + kForm));  // lower row starts with paging

  // The administrator manages every board: settings and access buttons.
  const std::string key = key_of("boss");
  page = room("boss", "FOLDER_NO=1");
  EXPECT_TRUE(
      has(page, "<TABLE>\n<TR>\n<TD>\n" + kForm + hidden("SKEY", key) +
                    hidden("JOB", "BORDCONFIG") + hidden("FROM", "ROOM") +
                    hidden("FOLDER_NO", "1") + "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" +
                    t_.text(190) + "\">\n</FORM>\n</TD>\n<TD>\n" + kForm + hidden("SKEY", key) +
                    hidden("JOB", "BORDACCESS") + hidden("FROM", "ROOM") +
                    hidden("FOLDER_NO", "1") + "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"" +
                    t_.text(191) + "\">\n</FORM>\n</TD>\n<TD>\n" + kForm));
  EXPECT_TRUE(has(page, hidden("JOB", "BORDWRITE")));
  EXPECT_FALSE(has(room("taro", "FOLDER_NO=1"), "BORDCONFIG"));
}

TEST_F(RoomPageTest, UnknownBoardIsRefusedExceptToTheAdministrator) {
  EXPECT_TRUE(has(room("taro", "FOLDER_NO=9"), "onClick=\"history.back()\""));
  std::string page = room("boss", "FOLDER_NO=9");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>[0]</B></FONT>\n"));
  EXPECT_TRUE(has(page, " Page[1/1]<BR>\n"));
  EXPECT_TRUE(rows(page).empty());
}

TEST_F(RoomPageTest, TitlesAndNamesAreSanitised) {
  site_.write_file(site_.data_dir() + "user.mst",
                   site_.read_file(site_.data_dir() + "user.mst") +
                       "mal,<img src=x onerror=alert(1)>Mal,1,,pw,0,1,1,1,,,0,\n");
  const long board = new_board("<i>Board</i><script>x</script>");
  post(board, "mal", "<script>alert(1)</script><B onclick=\"x()\">bold</B>");
  std::string page = room("taro", "FOLDER_NO=1");
  EXPECT_TRUE(
      has(page, "<FONT SIZE=\"5\"><B>[1]<i>Board</i>&lt;script>x&lt;/script></B></FONT>\n"));
  EXPECT_TRUE(
      has(page, "&USER_DISP_DEF=1\">&lt;script>alert(1)&lt;/script><B>bold</B></A></TD>\n"));
  EXPECT_TRUE(has(page, cell("LEFT", "<img src=x>Mal</TD>\n")));
  EXPECT_FALSE(has(page, "<script"));
  EXPECT_FALSE(has(page, "onerror"));
  EXPECT_FALSE(has(page, "onclick"));
}

TEST_F(RoomPageTest, WriterWhoIsGoneShowsTheStoredId) {
  const long board = new_board("B");
  post(board, "Ghost", "left");
  EXPECT_TRUE(
      has(room("taro", "FOLDER_NO=" + std::to_string(board)), cell("LEFT", "Ghost</TD>\n")));
}

TEST_F(RoomPageTest, SeparateWindowPostingTargetsAndClosesTheWindow) {
  site_.write_file(site_.data_dir() + "user.mst", site_.read_file(site_.data_dir() + "user.mst") +
                                                      "win,Window User,1,,pw,0,1,1,2,,,0,\n");
  const long board = new_board("B");
  post(board, "taro", "t");
  const std::string write_form =
      "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST "
      "TARGET=\"WBORDWRITE\">\n" +
      hidden("SKEY", key_of("win")) + hidden("JOB", "BORDWRITE");
  std::string page = room("win", "FOLDER_NO=1");
  EXPECT_TRUE(has(page, "<TABLE>\n<TR>\n" + write_form));
  EXPECT_TRUE(has(page, "<TR><TD>" + write_form));
  EXPECT_FALSE(has(page, "window.open"));
  EXPECT_FALSE(has(room("taro", "FOLDER_NO=1"), "TARGET="));

  // Shown after a posting (the dispatcher runs this page once the message
  // is stored, JOB still BORDWRITEWR): the posting window is replaced by
  // the page that closes itself.
  auto after_posting = [&](long write_mode) {
    Request req;
    req.sys = read_settings(site_.ini_file());
    req.lang.StrdefFileOpen(std::string(PLAZET_SHARE) + "/lng/japan.lng");
    req.lock = DataLock::acquire(req.sys.DATA_FILE_PATH, LockMode::kExclusive);
    req.JOB_EXE = "plazet.cgi";
    req.JOB = "BORDWRITEWR";
    req.SKEY = "77";
    req.form.add("FOLDER_NO", "1");
    MST_USER user;
    user.USER_ID = "win";
    user.MODE = 1;
    user.USER_DISP_DEF = 1;
    user.WRITE_MODE = write_mode;
    req.user = user;
    j_ROOM(req);
    return req.out.str();
  };
  EXPECT_TRUE(has(after_posting(2),
                  "location.href=jloc;\n}\n"
                  "window.open(\"plazet.cgi?JOB=BORDWRITEFIN\",\"WBORDWRITE\")\n// -->\n"));
  EXPECT_TRUE(has(after_posting(1), "location.href=jloc;\n}\n// -->\n"));
  EXPECT_FALSE(has(after_posting(1), "window.open"));
}

TEST_F(RoomPageTest, EmptyBoardIsOnePageWithoutRows) {
  const long board = new_board("Empty");
  for (int order = 1; order <= 3; ++order) {
    std::string page = room(
        "taro", "FOLDER_NO=" + std::to_string(board) + "&USER_DISP_DEF=" + std::to_string(order));
    EXPECT_TRUE(has(page, " Page[1/1]<BR>\n"));
    EXPECT_TRUE(rows(page).empty());
    EXPECT_TRUE(has(page, "</TR>\n</TABLE>\n<P>\n<TABLE>\n<TR><TD>"));
  }
}

}  // namespace
}  // namespace plazet
