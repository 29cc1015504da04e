// The board listing: which rows on which page, in which order, with which
// marks and buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/acl_files.h"
#include "store/record_file.h"

namespace plazet::testing {
namespace {

// The message numbers of the listing's rows, top to bottom: "1 3 2".
std::string rows(const std::string& page) {
  return joined(page, "ALIGN=\"CENTER\">(-?[0-9]+)</TD>\t<TD NOWRAP");
}

class RoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("taro");
    site_.add_user("desk", 1, 2);
    ASSERT_EQ(site_.new_board("B"), 1);
  }
  std::string room(const std::string& user, const std::string& query) {
    return site_.as(user, "JOB=ROOM&FOLDER_NO=1&" + query);
  }
  CgiSite site_;
};

TEST(RoomPagingTest, TwentyRowsAPage) {
  for (const std::vector<std::string>& c : table("room_paging.txt")) {
    SCOPED_TRACE(c[0]);
    CgiSite site;
    site.add_user("taro");
    site.new_board("B");
    for (int i = std::stoi(c[1]); i > 0; --i) (void)site.post(1, {});
    site.with_store([&](Store& s, const WriteToken& w) {
      for (const std::string& n : all(c[2], "([0-9]+)")) {
        ASSERT_TRUE(DeleteINDEX_DATA(s, w, 1, std::stoi(n)));
      }
    });
    const std::string page = site.as("taro", "JOB=ROOM&FOLDER_NO=1&" + c[3]);
    EXPECT_EQ(rows(page), c[4]);
    EXPECT_TRUE(has(page, " Page" + c[5] + "<BR>\n"));
    for (auto [field, move] : {std::pair{c[6], "MOVE_REW"}, {c[7], "MOVE_FF"}}) {
      const std::string kind = field == "1" ? "submit" : "button";
      EXPECT_TRUE(field == "-" || has(page, "TYPE=\"" + kind + "\" name=\"" + move)) << move;
    }
  }
}

TEST_F(RoomTest, TheOrderAndPageTravelInEveryFormAndLink) {
  site_.add_user_line("newest,Newest,1,,pw,0,3,1,1,,,0,");
  for (int i = 0; i < 45; ++i) (void)site_.post(1, {});
  const std::string page = room("taro", "USER_DISP_DEF=3&DISP_PAGE=3&MOVE_REW=x");
  EXPECT_TRUE(has(page, hidden("DISP_PAGE", "2") + hidden("USER_DISP_DEF", "3")));
  EXPECT_TRUE(has(page, "&SEL_NO=25&USER_DISP_DEF=3\">"));
  // The jump list: the current page, then every page from the last down.
  EXPECT_EQ(all(page, "&DISP_PAGE=([0-9]&USER_DISP_DEF=[0-9]\">[0-9]) Page\n"),
            (std::vector<std::string>{"2&USER_DISP_DEF=3\">2", "3&USER_DISP_DEF=3\">3",
                                      "2&USER_DISP_DEF=3\">2", "1&USER_DISP_DEF=3\">1"}));
  // Without an order the user's own.
  for (const char* order : {"", "&USER_DISP_DEF=0"}) {
    EXPECT_EQ(rows(room("newest", std::string("DISP_PAGE=1") + order)).substr(0, 5), "20 19");
  }
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1&USER_DISP_DEF=1")).substr(0, 4), "1 2 ");
}

TEST_F(RoomTest, ThreadsIndentRepliesAndNumberOrdersFollowNumbers) {
  (void)site_.post(1, {});
  (void)site_.post(1, {});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .title = "reply"});
  (void)site_.post(1, {.writer = "hana", .parent = 3, .title = "deeper"});
  const std::string link = "<A HREF=\"plazet.cgi?SKEY=" + site_.key("taro") +
                           "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4&USER_DISP_DEF=";
  const std::string thread = room("taro", "USER_DISP_DEF=1");
  EXPECT_EQ(rows(thread), "1 3 4 2");
  EXPECT_TRUE(has(thread, "&nbsp;&nbsp;&nbsp;&nbsp;" + link + "1\">Re:^2:deeper"));
  const std::string ascending = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(ascending), "1 2 3 4");
  EXPECT_TRUE(has(ascending, cell("LEFT", link + "2\">Re:^2:deeper</A>")));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), "4 3 2 1");
}

// An index written by hand: numbers held twice, numbers below one, one far beyond the rest.
TEST_F(RoomTest, NumberOrdersTakeTheFirstRecordOfANumberAndSkipNumbersBelowOne) {
  std::string index;
  for (const int n : {3, 1, 3, 0, 2, -4, 2000000000, 7}) {
    INDEX_DATA r;
    r.FOLDER_NO = 1;
    r.SEL_NO = r.THREAD_NO = n;
    r.WRITE_TITLE = n == 3 && !index.empty() ? "three again" : "title";
    index += RecordFile<IndexDataCodec>::encode(r);
  }
  ASSERT_EQ(::mkdir((site_.data_dir() + "1").c_str(), 0700), 0);
  site_.write_file(site_.board_file(1, "index.dat"), index);
  const std::string page = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(page), "1 2 3 7 2000000000");
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), "2000000000 7 3 2 1");
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=1")), "3 1 3 0 2 -4 2000000000 7");
}

TEST_F(RoomTest, RowsShowDeleteMarkUnreadMarkWriterAndDate) {
  (void)site_.post(1, {.title = "Going away"});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .priority = 1, .date = "2024/12/31 23:59"});
  (void)site_.post(1, {.writer = "Ghost"});
  site_.mark_deleted(1, 1);
  const std::string unread = "<IMG SRC=\"/plazetpic/new.gif\" ALT=\"\x96\xA2\x93\xC7\"><BR>";
  for (const char* order : {"1", "2", "3"}) {
    const std::string page = room("taro", std::string("USER_DISP_DEF=") + order);
    EXPECT_TRUE(has(page, "SEL_NO=1&USER_DISP_DEF=" + std::string(order) + "\">--Delete--</A>"));
    EXPECT_FALSE(has(page, "Going away"));
  }
  const std::string page = room("taro", "");
  // His own message has no mark; the Ghost is no longer in user.mst.
  expect_parts(
      page, {"<TR>\n" + cell("CENTER", "<BR>") + cell("CENTER", "<BR>") +
                 cell("CENTER", "1").substr(0, 51),
             cell("CENTER", unread) + cell("CENTER", text(268)) + cell("CENTER", "2").substr(0, 51),
             cell("LEFT", "Ghost")});
  site_.with_store([](Store& s, const WriteToken& w) {
    ASSERT_TRUE(WriteREAD_POINT(s, w, 1, {2, "taro"}));
  });
  EXPECT_EQ(all(room("taro", ""), "(new.gif)").size(), 1u);  // the Ghost's message alone
  // A shared account: no marks and no mark-all button.
  const std::string shared = room("desk", "");
  EXPECT_EQ(rows(shared), "1 2 3");
  EXPECT_FALSE(has(shared, "new.gif"));
  EXPECT_TRUE(has(shared, "<TABLE>\n<TR>\n</TR>\n</TABLE>\n<HR>\n"));
  site_.setting("DATETIME", "2");
  EXPECT_TRUE(has(room("taro", ""), cell("CENTER", "2024/12/31") + "</TR>\n"));
}

TEST(RoomRightsTest, RightsDecideRefusalAndButtons) {
  for (const std::vector<std::string>& c : table("room_rights.txt")) {
    CgiSite site;
    site.add_user("u", std::stoi(c[3]), std::stoi(c[3].substr(c[3].find(' '))));
    site.new_board("B", [&](B_TITLE2& s) {
      s.READ_LEVEL = std::stoi(c[1]);
      s.WRITE_LEVEL = std::stoi(c[2]);
    });
    (void)site.post(1, {});
    site.with_store([&](Store& s, const WriteToken& w) {
      if (c[4] != "0") (void)WriteB_U_ACL(s, w, {1, "u", std::stoi(c[4])});
    });
    const std::string page = site.as("u", "JOB=ROOM&FOLDER_NO=1");
    std::string jobs;
    for (const std::string& job : all(page, "name=\"JOB\" value=\"(\\w*)")) {
      if (!has(jobs, job)) jobs += (jobs.empty() ? "" : " ") + job;
    }
    EXPECT_EQ(c[5].empty() ? page : jobs, c[5].empty() ? refusal() : c[5]) << c[0];
  }
}

TEST_F(RoomTest, AnUnknownBoardIsRefusedExceptToTheAdministrator) {
  site_.add_user("boss", 100);
  EXPECT_EQ(site_.as("taro", "JOB=ROOM&FOLDER_NO=9"), refusal());
  const std::string page = site_.as("boss", "JOB=ROOM&FOLDER_NO=9");
  EXPECT_TRUE(has(page, "<FONT SIZE=\"5\"><B>[0]</B></FONT>\n") && has(page, " Page[1/1]<BR>\n"));
}

TEST_F(RoomTest, TitlesNamesAndTheDescriptionAreSanitised) {
  site_.add_user_line("mal,<img src=x onerror=alert(1)>Mal,1,,pw,0,1,1,1,,,0,");
  site_.change_board(1, [](B_TITLE2& s) {
    s.TITLEPIC = "title.gif";
    s.INFO = "Line one\r<script>Line two";
    s.FONTCOLOR = "FF0000";
  });
  site_.write_file(site_.data_dir() + "b_title.mst", "<i>B</i><script>x</script>,1,Board,\n");
  (void)site_.post(1, {.writer = "mal", .title = "<script>a</script><B onclick=\"x()\">b</B>"});
  const std::string page = room("taro", "FAST_FLG=1");
  expect_parts(page, {"<FONT SIZE=\"5\"><B>[1]<i>B</i>&lt;script>x&lt;/script></B></FONT>\n",
                      "&USER_DISP_DEF=1\">&lt;script>a&lt;/script><B>b</B></A></TD>\n",
                      cell("LEFT", "<img src=x>Mal"),
                      "<IMG SRC=\"/plazetpic/1/title.gif\"><BR>\n<FONT COLOR=\"#FF0000\">Line one"
                      "<BR>\n&lt;script>Line two</FONT>\n<HR>\n"});
  EXPECT_FALSE(has(page, "<script") || has(page, "onerror") || has(page, "onclick"));
  EXPECT_FALSE(has(room("taro", ""), "title.gif"));  // the description only on the first visit
}

TEST_F(RoomTest, PostingInItsOwnWindowTargetsItAndClosesItAfterwards) {
  site_.add_user("win", 1, 1, 2);
  EXPECT_TRUE(has(room("win", ""), "TARGET=\"WBORDWRITE\">\n" + hidden("SKEY", site_.key("win")) +
                                       hidden("JOB", "BORDWRITE")));
  EXPECT_FALSE(has(room("taro", ""), "TARGET="));
  for (const char* user : {"win", "taro"}) {
    const std::string page = site_.post(Multipart().texts(
        "SKEY=" + site_.key(user) + "&JOB=BORDWRITEWR&FOLDER_NO=1&WRITE_TITLE=t&WRITE_DATA=b"));
    EXPECT_EQ(has(page, "}\nwindow.open(\"plazet.cgi?JOB=BORDWRITEFIN\",\"WBORDWRITE\")\n// -->"),
              user[0] == 'w')
        << user;
  }
}

}  // namespace
}  // namespace plazet::testing
