// The board listing: which rows on which page, in which order, with which
// marks and buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/acl_files.h"
#include "store/record_file.h"

namespace plazet::testing {
namespace {

// The message numbers of the listing's rows, top to bottom.
std::vector<int> rows(const std::string& page) {
  static const std::regex sel("ALIGN=\"CENTER\">(-?[0-9]+)</TD>\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\">");
  std::vector<int> out;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), sel); it != std::sregex_iterator(); ++it) {
    out.push_back(std::stoi((*it)[1].str()));
  }
  return out;
}
std::vector<int> range(int from, int to) {
  std::vector<int> out;
  for (int n = from;; n += from <= to ? 1 : -1) {
    out.push_back(n);
    if (n == to) return out;
  }
}
// The jobs of the page's forms.
std::string jobs(const std::string& page) {
  static const std::regex job("name=\"JOB\" value=\"([^\"]*)\"");
  std::string out;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), job); it != std::sregex_iterator(); ++it) {
    if (!has(out, (*it)[1].str())) out += (*it)[1].str() + " ";
  }
  return out;
}
std::string cell(const std::string& align, const std::string& content) {
  return "\t<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"" + align + "\">" + content;
}

class RoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* id : {"taro", "hana"}) site_.add_user(id);
    site_.add_user("boss", 100);
    site_.add_user("desk", 1, 2);
  }
  void posts(long board, int count) {
    for (int i = 0; i < count; ++i) (void)site_.post(board, {});
  }
  void remove(long board, std::vector<int> gone) {
    site_.with_store([&](Store& s, const WriteToken& w) {
      for (int n : gone) ASSERT_TRUE(DeleteINDEX_DATA(s, w, board, n));
    });
  }
  std::string room(const std::string& user, const std::string& query) {
    if (!keys_.count(user)) keys_[user] = site_.log_in(user);
    return site_.get("SKEY=" + keys_[user] + "&JOB=ROOM&FOLDER_NO=1&" + query);
  }
  CgiSite site_;
  std::map<std::string, std::string> keys_;
};

struct Paging {
  const char* name;
  int messages;
  std::vector<int> removed;
  std::string query;
  std::vector<int> rows;
  std::string label;  // " Page[p/n]"
  int back = 1, forward = 1;  // 1 a real button, 0 a warning, -1 not looked at
};
void PrintTo(const Paging& p, std::ostream* os) { *os << p.name; }

class RoomPagingTest : public RoomTest, public ::testing::WithParamInterface<Paging> {};

TEST_P(RoomPagingTest, TwentyRowsAPage) {
  const Paging& p = GetParam();
  ASSERT_EQ(site_.new_board("B"), 1);
  posts(1, p.messages);
  remove(1, p.removed);
  const std::string page = room("taro", p.query);
  EXPECT_EQ(rows(page), p.rows);
  EXPECT_TRUE(has(page, p.label + "<BR>\n")) << p.label;
  const std::string kind[] = {"button", "submit"};
  if (p.back >= 0) {
    EXPECT_TRUE(has(page, "TYPE=\"" + kind[p.back] + "\" name=\"MOVE_REW\""));
  }
  if (p.forward >= 0) {
    EXPECT_TRUE(has(page, "TYPE=\"" + kind[p.forward] + "\" name=\"MOVE_FF\""));
  }
}

const std::vector<int> kGaps = {3, 7, 12};
const std::vector<int> kFirst = {1, 2, 4, 5, 6, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
INSTANTIATE_TEST_SUITE_P(
    Rows, RoomPagingTest,
    ::testing::Values(
        Paging{"FirstVisitShowsTheLastPage", 45, {}, "USER_DISP_DEF=1", range(41, 45), " Page[3/3]", 1, 0},
        Paging{"PageZeroIsTheLast", 45, {}, "DISP_PAGE=0", range(41, 45), " Page[3/3]", 1, 0},
        Paging{"NegativePageIsTheLast", 45, {}, "DISP_PAGE=-4", range(41, 45), " Page[3/3]", 1, 0},
        Paging{"FirstPage", 45, {}, "DISP_PAGE=1", range(1, 20), " Page[1/3]", 0, 1},
        Paging{"BackOnePage", 45, {}, "DISP_PAGE=3&MOVE_REW=x", range(21, 40), " Page[2/3]"},
        Paging{"ForwardOnePage", 45, {}, "DISP_PAGE=1&MOVE_FF=x", range(21, 40), " Page[2/3]"},
        Paging{"BackStopsAtTheFirst", 45, {}, "DISP_PAGE=1&MOVE_REW=x", range(1, 20), " Page[1/3]", 0, 1},
        Paging{"ForwardStopsAtTheLast", 45, {}, "MOVE_FF=x", range(41, 45), " Page[3/3]", 1, 0},
        Paging{"EmptyMoveDoesNotMove", 45, {}, "DISP_PAGE=2&MOVE_REW=", range(21, 40), " Page[2/3]"},
        Paging{"TwentyFitOnePage", 20, {}, "", range(1, 20), " Page[1/1]", 0, 0},
        Paging{"TwentyFirstStartsPageTwo", 21, {}, "", {21}, " Page[2/2]", 1, 0},
        Paging{"TwentyFirstLeavesTwentyOnPageOne", 21, {}, "DISP_PAGE=1", range(1, 20), " Page[1/2]", 0, 1},
        Paging{"DescendingFirstPage", 25, {}, "USER_DISP_DEF=3&DISP_PAGE=1", range(20, 1), " Page[1/2]", 0, 1},
        Paging{"DescendingLastPage", 25, {}, "USER_DISP_DEF=3", range(25, 21), " Page[2/2]", 1, 0},
        Paging{"AscendingFirstPage", 25, {}, "USER_DISP_DEF=2&DISP_PAGE=1", range(1, 20), " Page[1/2]", 0, 1},
        Paging{"AscendingLastPage", 25, {}, "USER_DISP_DEF=2", range(21, 25), " Page[2/2]", 1, 0},
        Paging{"AscendingStepsOverRemovedNumbers", 30, kGaps, "USER_DISP_DEF=2&DISP_PAGE=1", kFirst, " Page[1/2]", 0, 1},
        Paging{"AscendingSecondPageAfterGaps", 30, kGaps, "USER_DISP_DEF=2", range(24, 30), " Page[2/2]", 1, 0},
        Paging{"DescendingStepsOverRemovedNumbers", 30, kGaps, "USER_DISP_DEF=3&DISP_PAGE=1",
               std::vector<int>(kFirst.rbegin(), kFirst.rend()), " Page[1/2]", 0, 1},
        Paging{"DescendingSecondPageAfterGaps", 30, kGaps, "USER_DISP_DEF=3&DISP_PAGE=2", range(30, 24), " Page[2/2]", 1, 0},
        Paging{"PageBeyondTheEndIsNotCorrected", 30, kGaps, "USER_DISP_DEF=1&DISP_PAGE=5", {}, " Page[5/2]", 1, -1},
        Paging{"DescendingBeyondTheEndIsEmpty", 30, kGaps, "USER_DISP_DEF=3&DISP_PAGE=5", {}, " Page[5/2]", 1, -1},
        // Ascending starts at the number that equals the count (27).
        Paging{"AscendingBeyondTheEndStartsAtTheCount", 30, kGaps, "USER_DISP_DEF=2&DISP_PAGE=5", range(27, 30), " Page[5/2]", 1, -1},
        Paging{"ForwardBeyondTheEndStays", 30, kGaps, "DISP_PAGE=5&MOVE_FF=x", {}, " Page[5/2]", 1, -1},
        Paging{"BackBeyondTheEndStepsDown", 30, kGaps, "DISP_PAGE=5&MOVE_REW=x", {}, " Page[4/2]", 1, -1},
        Paging{"EmptyBoardThreads", 0, {}, "USER_DISP_DEF=1", {}, " Page[1/1]", 0, 0},
        Paging{"EmptyBoardAscending", 0, {}, "USER_DISP_DEF=2", {}, " Page[1/1]", 0, 0},
        Paging{"EmptyBoardDescending", 0, {}, "USER_DISP_DEF=3", {}, " Page[1/1]", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoomTest, TheOrderAndPageTravelInEveryFormAndLink) {
  site_.add_user_line("newest,Newest,1,,pw,0,3,1,1,,,0,");
  site_.add_user_line("none,None,1,,pw,0,0,1,1,,,0,");
  ASSERT_EQ(site_.new_board("B"), 1);
  posts(1, 45);
  std::string page = room("taro", "USER_DISP_DEF=3&DISP_PAGE=3&MOVE_REW=x");
  const std::string option = "<OPTION VALUE=\"plazet.cgi?SKEY=" + keys_["taro"] + "&JOB=ROOM&FOLDER_NO=1&DISP_PAGE=";
  EXPECT_TRUE(has(page, hidden("DISP_PAGE", "2") + hidden("USER_DISP_DEF", "3")));
  EXPECT_FALSE(has(page, hidden("USER_DISP_DEF", "1") + "<INPUT TYPE=\"submit\" name"));
  EXPECT_TRUE(has(page, "&SEL_NO=25&USER_DISP_DEF=3\">"));
  // The jump list: the current page, then every page from the last down.
  EXPECT_TRUE(has(page, "onChange=\"f_Pjamp()\">\n" + option + "2&USER_DISP_DEF=3\">2 Page\n" + option +
                            "3&USER_DISP_DEF=3\">3 Page\n" + option + "2&USER_DISP_DEF=3\">2 Page\n" + option +
                            "1&USER_DISP_DEF=3\">1 Page\n</SELECT>\n"));
  // Without an order the user's own; without that, threads.
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1")), range(20, 1));
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1&USER_DISP_DEF=0")), range(20, 1));
  EXPECT_TRUE(has(room("newest", ""), hidden("USER_DISP_DEF", "3")));
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1&USER_DISP_DEF=1")), range(1, 20));
  page = room("none", "DISP_PAGE=1");
  EXPECT_EQ(rows(page), range(1, 20));
  EXPECT_TRUE(has(page, hidden("DISP_PAGE", "1") + hidden("USER_DISP_DEF", "1")));
}

TEST_F(RoomTest, ThreadsIndentRepliesAndNumberOrdersFollowNumbers) {
  ASSERT_EQ(site_.new_board("B"), 1);
  (void)site_.post(1, {.title = "one"});
  (void)site_.post(1, {.title = "two"});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .title = "reply"});
  (void)site_.post(1, {.writer = "hana", .parent = 3, .title = "deeper"});
  const std::string thread = room("taro", "USER_DISP_DEF=1");
  EXPECT_EQ(rows(thread), (std::vector<int>{1, 3, 4, 2}));
  EXPECT_TRUE(has(thread, "&nbsp;&nbsp;&nbsp;&nbsp;<A HREF=\"plazet.cgi?SKEY=" + keys_["taro"] +
                              "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4&USER_DISP_DEF=1\">Re:^2:deeper"));
  const std::string ascending = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(ascending), range(1, 4));
  EXPECT_TRUE(has(ascending, cell("LEFT", "<A HREF=\"plazet.cgi?SKEY=" + keys_["taro"] +
                                              "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4&USER_DISP_DEF=2\">Re:^2:deeper</A></TD>\n")));
  EXPECT_FALSE(has(ascending, "&nbsp;"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), range(4, 1));
}

// An index written by hand: numbers held twice, numbers below one, one far beyond the rest.
TEST_F(RoomTest, NumberOrdersTakeTheFirstRecordOfANumberAndSkipNumbersBelowOne) {
  ASSERT_EQ(site_.new_board("B"), 1);
  auto record = [](std::int32_t sel_no, const std::string& title) {
    INDEX_DATA r{.FOLDER_NO = 1, .SEL_NO = sel_no, .THREAD_NO = sel_no, .WRITE_DATE = "2024/05/01 09:30",
                 .WRITER = "taro", .WRITE_TITLE = title};
    return RecordFile<IndexDataCodec>::encode(r);
  };
  ASSERT_EQ(::mkdir((site_.data_dir() + "1").c_str(), 0700), 0);
  const std::string dense = record(3, "three") + record(1, "one") + record(3, "three again") + record(0, "zero") +
                            record(2, "two") + record(-4, "minus");
  site_.write_file(site_.board_file(1, "index.dat"), dense);
  std::string page = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(page), range(1, 3));
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), range(3, 1));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=1")), (std::vector<int>{3, 1, 3, 0, 2, -4}));
  site_.write_file(site_.board_file(1, "index.dat"), dense + record(2000000000, "far") + record(7, "seven"));
  page = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(page), (std::vector<int>{1, 2, 3, 7, 2000000000}));
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), (std::vector<int>{2000000000, 7, 3, 2, 1}));
}

TEST_F(RoomTest, RowsShowDeleteMarkUnreadMarkWriterAndDate) {
  ASSERT_EQ(site_.new_board("B"), 1);
  (void)site_.post(1, {.title = "Going away"});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .title = "An answer", .priority = 1, .date = "2024/12/31 23:59"});
  (void)site_.post(1, {.writer = "Ghost", .title = "left"});
  site_.with_store([](Store& s, const WriteToken& w) {
    INDEX_DATA m = *ReadINDEX_DATA(s, 1, 1, IndexKey::kSelNo);
    m.DEL_FLG = 1;
    ASSERT_TRUE(ReWriteINDEX_DATA(s, w, m));
  });
  const std::string unread = "<TR>\n" + cell("CENTER", "<IMG SRC=\"/plazetpic/new.gif\" ALT=\"\x96\xA2\x93\xC7\"><BR></TD>\n");
  const std::string read = "<TR>\n" + cell("CENTER", "<BR></TD>\n");
  for (int order = 1; order <= 3; ++order) {
    const std::string page = room("taro", "USER_DISP_DEF=" + std::to_string(order));
    EXPECT_TRUE(has(page, "SEL_NO=1&USER_DISP_DEF=" + std::to_string(order) + "\">--Delete--</A></TD>\n"));
    EXPECT_FALSE(has(page, "Going away"));
    EXPECT_TRUE(has(page, "Re:^1:An answer</A></TD>\n"));
  }
  const std::string page = room("taro", "");
  EXPECT_TRUE(has(page, read + cell("CENTER", "<BR></TD>\n") + cell("CENTER", "1</TD>")));  // his own
  EXPECT_TRUE(has(page, unread + cell("CENTER", text(268) + "</TD>\n") + cell("CENTER", "2</TD>")));
  EXPECT_TRUE(has(page, cell("LEFT", "Ghost</TD>\n")));  // a writer no longer in user.mst
  EXPECT_TRUE(has(page, cell("CENTER", "2024/12/31 23:59</TD>\n</TR>\n")));
  site_.with_store([](Store& s, const WriteToken& w) { ASSERT_TRUE(WriteREAD_POINT(s, w, 1, {2, "taro"})); });
  const std::string after = room("taro", "");
  EXPECT_EQ(after.find("new.gif"), after.rfind("new.gif"));  // the Ghost's message alone
  EXPECT_TRUE(has(after, read + cell("CENTER", text(268) + "</TD>\n") + cell("CENTER", "2</TD>")));
  // A shared account: no marks and no mark-all button.
  const std::string shared = room("desk", "");
  EXPECT_EQ(rows(shared), range(1, 3));
  EXPECT_FALSE(has(shared, "new.gif"));
  EXPECT_TRUE(has(shared, "<TABLE>\n<TR>\n</TR>\n</TABLE>\n<HR>\n"));
  site_.setting("DATETIME", "2");
  EXPECT_TRUE(has(room("taro", ""), cell("CENTER", "2024/12/31</TD>\n</TR>\n")));
  EXPECT_FALSE(has(room("taro", ""), "23:59"));
}

TEST_F(RoomTest, RightsDecideRefusalAndButtons) {
  struct Case {
    const char* name;
    int read_level, write_level;
    std::string user;
    int user_right;  // an entry in the user list; 0 for none
    std::string jobs;  // "" for the refusal page
  } cases[] = {
      {"no right", 5, 5, "taro", 0, ""},
      {"read only", 0, 5, "taro", 0, "BORDALLFLG ROOM "},
      {"write", 0, 0, "taro", 0, "BORDALLFLG BORDWRITE ROOM "},
      {"manager by entry", 5, 5, "taro", 3, "BORDCONFIG BORDACCESS BORDALLFLG BORDWRITE ROOM "},
      {"administrator", 5, 5, "boss", 0, "BORDCONFIG BORDACCESS BORDALLFLG BORDWRITE ROOM "},
      {"shared account", 0, 0, "desk", 0, "BORDWRITE ROOM "},
  };
  for (const Case& c : cases) {
    CgiSite site;
    site.add_user(c.user, c.user == "boss" ? 100 : 1, c.user == "desk" ? 2 : 1);
    site.new_board("B", [&](B_TITLE2& s) {
      s.READ_LEVEL = c.read_level;
      s.WRITE_LEVEL = c.write_level;
    });
    (void)site.post(1, {});
    if (c.user_right) site.with_store([&](Store& s, const WriteToken& w) { (void)WriteB_U_ACL(s, w, {1, c.user, c.user_right}); });
    const std::string page = site.get("SKEY=" + site.log_in(c.user) + "&JOB=ROOM&FOLDER_NO=1");
    if (c.jobs.empty()) {
      EXPECT_EQ(page, refusal()) << c.name;
    } else {
      EXPECT_EQ(jobs(page), c.jobs) << c.name;
      EXPECT_EQ(rows(page), std::vector<int>{1}) << c.name;
    }
  }
}

TEST_F(RoomTest, AnUnknownBoardIsRefusedExceptToTheAdministrator) {
  EXPECT_EQ(room("taro", "FOLDER_NO=9"), refusal());
  const std::string page = room("boss", "FOLDER_NO=9");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>[0]</B></FONT>\n"));
  EXPECT_TRUE(has(page, " Page[1/1]<BR>\n"));
  EXPECT_TRUE(rows(page).empty());
}

TEST_F(RoomTest, TitlesNamesAndTheDescriptionAreSanitised) {
  site_.add_user_line("mal,<img src=x onerror=alert(1)>Mal,1,,pw,0,1,1,1,,,0,");
  ASSERT_EQ(site_.new_board("<i>Board</i><script>x</script>", [](B_TITLE2& s) {
    s.TITLEPIC = "title.gif";
    s.INFO = "Line one\r<script>Line two";
    s.FONTCOLOR = "FF0000";
  }), 1);
  (void)site_.post(1, {.writer = "mal", .title = "<script>alert(1)</script><B onclick=\"x()\">bold</B>"});
  const std::string page = room("taro", "FAST_FLG=1");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>[1]<i>Board</i>&lt;script>x&lt;/script></B></FONT>\n"));
  EXPECT_TRUE(has(page, "&USER_DISP_DEF=1\">&lt;script>alert(1)&lt;/script><B>bold</B></A></TD>\n"));
  EXPECT_TRUE(has(page, cell("LEFT", "<img src=x>Mal</TD>\n")));
  EXPECT_TRUE(has(page, "<HR>\n") && has(page, "<IMG SRC=\"/plazetpic/1/title.gif\"><BR>\n"
                                              "<FONT COLOR=\"#FF0000\">Line one<BR>\n&lt;script>Line two</FONT>\n<HR>\n"));
  EXPECT_TRUE(has(page, "<FONT COLOR=\"#FF0000\"> Page[1/1]<BR>\n</FONT>"));
  EXPECT_FALSE(has(page, "<script"));
  EXPECT_FALSE(has(page, "onerror"));
  EXPECT_FALSE(has(page, "onclick"));
  EXPECT_FALSE(has(room("taro", ""), "title.gif"));  // the description only on the first visit
}

TEST_F(RoomTest, PostingInItsOwnWindowTargetsItAndClosesItAfterwards) {
  site_.add_user("win", 1, 1, 2);
  ASSERT_EQ(site_.new_board("B"), 1);
  (void)site_.post(1, {});
  const std::string page = room("win", "");
  const std::string write_form = "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST "
                                 "TARGET=\"WBORDWRITE\">\n" + hidden("SKEY", keys_["win"]) + hidden("JOB", "BORDWRITE");
  EXPECT_TRUE(has(page, "<TABLE>\n<TR>\n" + write_form));
  EXPECT_TRUE(has(page, "<TR><TD>" + write_form));
  EXPECT_FALSE(has(page, "window.open"));
  EXPECT_FALSE(has(room("taro", ""), "TARGET="));
  auto posted = [&](const std::string& user) {
    return site_.post(Multipart().text("SKEY", site_.log_in(user)).text("JOB", "BORDWRITEWR").text("FOLDER_NO", "1")
                          .text("WRITE_TITLE", "t").text("WRITE_DATA", "b"));
  };
  EXPECT_TRUE(has(posted("win"), "location.href=jloc;\n}\nwindow.open(\"plazet.cgi?JOB=BORDWRITEFIN\",\"WBORDWRITE\")\n// -->\n"));
  EXPECT_TRUE(has(posted("taro"), "location.href=jloc;\n}\n// -->\n"));
}

}  // namespace
}  // namespace plazet::testing
