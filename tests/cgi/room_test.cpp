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

// The message numbers of the listing's rows, top to bottom.
std::vector<int> rows(const std::string& page) {
  std::vector<int> out;
  for (const std::string& n : all(page, "ALIGN=\"CENTER\">(-?[0-9]+)</TD>\t<TD NOWRAP")) {
    out.push_back(std::stoi(n));
  }
  return out;
}
// "1-3,7,9-8" as 1 2 3 7 9 8.
std::vector<int> numbers(const std::string& list) {
  std::vector<int> out;
  for (const std::string& part : all(list, "([0-9]+(-[0-9]+)?)")) {
    const int from = std::stoi(part),
              to = has(part, "-") ? std::stoi(part.substr(part.find('-') + 1)) : from;
    for (int n = from;; n += from <= to ? 1 : -1) {
      out.push_back(n);
      if (n == to) break;
    }
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
      for (int n : numbers(c[2])) ASSERT_TRUE(DeleteINDEX_DATA(s, w, 1, n));
    });
    const std::string page = site.as("taro", "JOB=ROOM&FOLDER_NO=1&" + c[3]);
    EXPECT_EQ(rows(page), numbers(c[4]));
    EXPECT_TRUE(has(page, " Page" + c[5] + "<BR>\n"));
    const char* kind[] = {"button", "submit"};
    for (auto [field, move] : {std::pair{c[6], "MOVE_REW"}, {c[7], "MOVE_FF"}}) {
      if (field == "-") continue;
      EXPECT_TRUE(has(page, std::string("TYPE=\"") + kind[field == "1"] + "\" name=\"" + move))
          << move;
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
  EXPECT_EQ(
      all(page, "<OPTION VALUE=\"plazet.cgi\\?SKEY=[0-9]+&JOB=ROOM&FOLDER_NO=1&DISP_PAGE=([^\n]*)"),
      (std::vector<std::string>{"2&USER_DISP_DEF=3\">2 Page", "3&USER_DISP_DEF=3\">3 Page",
                                "2&USER_DISP_DEF=3\">2 Page", "1&USER_DISP_DEF=3\">1 Page"}));
  // Without an order the user's own.
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1")), numbers("20-1"));
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1&USER_DISP_DEF=0")), numbers("20-1"));
  EXPECT_EQ(rows(room("newest", "DISP_PAGE=1&USER_DISP_DEF=1")), numbers("1-20"));
}

TEST_F(RoomTest, ThreadsIndentRepliesAndNumberOrdersFollowNumbers) {
  (void)site_.post(1, {.title = "one"});
  (void)site_.post(1, {.title = "two"});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .title = "reply"});
  (void)site_.post(1, {.writer = "hana", .parent = 3, .title = "deeper"});
  const std::string link =
      "<A HREF=\"plazet.cgi?SKEY=" + site_.key("taro") + "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=4";
  const std::string thread = room("taro", "USER_DISP_DEF=1");
  EXPECT_EQ(rows(thread), numbers("1,3,4,2"));
  EXPECT_TRUE(has(thread, "&nbsp;&nbsp;&nbsp;&nbsp;" + link + "&USER_DISP_DEF=1\">Re:^2:deeper"));
  const std::string ascending = room("taro", "USER_DISP_DEF=2");
  EXPECT_EQ(rows(ascending), numbers("1-4"));
  EXPECT_TRUE(has(ascending, cell("LEFT", link + "&USER_DISP_DEF=2\">Re:^2:deeper</A></TD>\n")));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), numbers("4-1"));
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
  EXPECT_EQ(rows(page), numbers("1-3,7,2000000000"));
  EXPECT_FALSE(has(page, "three again"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), numbers("2000000000,7,3-1"));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=1")).size(), 8u);
}

TEST_F(RoomTest, RowsShowDeleteMarkUnreadMarkWriterAndDate) {
  (void)site_.post(1, {.title = "Going away"});
  (void)site_.post(1, {.writer = "hana",
                       .parent = 1,
                       .title = "An answer",
                       .priority = 1,
                       .date = "2024/12/31 23:59"});
  (void)site_.post(1, {.writer = "Ghost", .title = "left"});
  site_.mark_deleted(1, 1);
  const std::string unread =
      cell("CENTER", "<IMG SRC=\"/plazetpic/new.gif\" ALT=\"\x96\xA2\x93\xC7\"><BR></TD>\n");
  const std::string read = "<TR>\n" + cell("CENTER", "<BR></TD>\n");
  for (const char* order : {"1", "2", "3"}) {
    const std::string page = room("taro", std::string("USER_DISP_DEF=") + order);
    EXPECT_TRUE(
        has(page, "SEL_NO=1&USER_DISP_DEF=" + std::string(order) + "\">--Delete--</A></TD>\n"));
    EXPECT_FALSE(has(page, "Going away"));
  }
  const std::string page = room("taro", "");
  EXPECT_TRUE(
      has(page, read + cell("CENTER", "<BR></TD>\n") + cell("CENTER", "1</TD>")));  // his own
  EXPECT_TRUE(has(page, unread + cell("CENTER", text(268) + "</TD>\n") + cell("CENTER", "2</TD>")));
  EXPECT_TRUE(has(page, cell("LEFT", "Ghost</TD>\n")));  // a writer no longer in user.mst
  EXPECT_TRUE(has(page, cell("CENTER", "2024/12/31 23:59</TD>\n</TR>\n")));
  site_.with_store([](Store& s, const WriteToken& w) {
    ASSERT_TRUE(WriteREAD_POINT(s, w, 1, {2, "taro"}));
  });
  EXPECT_EQ(all(room("taro", ""), "(new.gif)").size(), 1u);  // the Ghost's message alone
  // A shared account: no marks and no mark-all button.
  const std::string shared = room("desk", "");
  EXPECT_EQ(rows(shared), numbers("1-3"));
  EXPECT_FALSE(has(shared, "new.gif"));
  EXPECT_TRUE(has(shared, "<TABLE>\n<TR>\n</TR>\n</TABLE>\n<HR>\n"));
  site_.setting("DATETIME", "2");
  EXPECT_TRUE(has(room("taro", ""), cell("CENTER", "2024/12/31</TD>\n</TR>\n")));
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
  site_.write_file(site_.data_dir() + "b_title.mst", "<i>Board</i><script>x</script>,1,Board,\n");
  (void)site_.post(
      1, {.writer = "mal", .title = "<script>alert(1)</script><B onclick=\"x()\">bold</B>"});
  const std::string page = room("taro", "FAST_FLG=1");
  EXPECT_TRUE(
      has(page, "<FONT SIZE=\"5\"><B>[1]<i>Board</i>&lt;script>x&lt;/script></B></FONT>\n"));
  EXPECT_TRUE(
      has(page, "&USER_DISP_DEF=1\">&lt;script>alert(1)&lt;/script><B>bold</B></A></TD>\n"));
  EXPECT_TRUE(has(page, cell("LEFT", "<img src=x>Mal</TD>\n")));
  EXPECT_TRUE(has(page,
                  "<IMG SRC=\"/plazetpic/1/title.gif\"><BR>\n<FONT COLOR=\"#FF0000\">Line one"
                  "<BR>\n&lt;script>Line two</FONT>\n<HR>\n"));
  EXPECT_FALSE(has(page, "<script") || has(page, "onerror") || has(page, "onclick"));
  EXPECT_FALSE(has(room("taro", ""), "title.gif"));  // the description only on the first visit
}

TEST_F(RoomTest, PostingInItsOwnWindowTargetsItAndClosesItAfterwards) {
  site_.add_user("win", 1, 1, 2);
  const std::string page = room("win", "");
  EXPECT_TRUE(has(page, "METHOD=POST TARGET=\"WBORDWRITE\">\n" + hidden("SKEY", site_.key("win")) +
                            hidden("JOB", "BORDWRITE")));
  EXPECT_FALSE(has(room("taro", ""), "TARGET="));
  auto posted = [&](const std::string& user) {
    return site_.post(Multipart()
                          .text("SKEY", site_.key(user))
                          .text("JOB", "BORDWRITEWR")
                          .text("FOLDER_NO", "1")
                          .text("WRITE_TITLE", "t")
                          .text("WRITE_DATA", "b"));
  };
  EXPECT_TRUE(has(posted("win"),
                  "location.href=jloc;\n}\nwindow.open(\"plazet.cgi?JOB=BORDWRITEFIN\","
                  "\"WBORDWRITE\")\n// -->\n"));
  EXPECT_TRUE(has(posted("taro"), "location.href=jloc;\n}\n// -->\n"));
}

}  // namespace
}  // namespace plazet::testing
