// The board listing: which rows on which page, in which order, with which
// marks and buttons.
#include <gtest/gtest.h>

#include "cgi_site.h"
#include "folders/acl_files.h"

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

TEST_F(RoomTest, ThreadsIndentRepliesAndNumberOrdersFollowNumbers) {
  (void)site_.post(1, {});
  (void)site_.post(1, {});
  (void)site_.post(1, {.writer = "hana", .parent = 1, .title = "reply"});
  (void)site_.post(1, {.writer = "hana", .parent = 3, .title = "deeper"});
  const std::string thread = room("taro", "USER_DISP_DEF=1");
  EXPECT_EQ(rows(thread), "1 3 4 2");
  EXPECT_TRUE(has(thread, "&nbsp;&nbsp;&nbsp;&nbsp;<A HREF="));
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=2")), "1 2 3 4");
  EXPECT_EQ(rows(room("taro", "USER_DISP_DEF=3")), "4 3 2 1");
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
  site_.change_board(1, [](B_TITLE2& s) { s.INFO = "Line one\r<script>Line two"; });
  site_.write_file(site_.data_dir() + "b_title.mst", "<i>B</i><script>x</script>,1,Board,\n");
  (void)site_.post(1, {.writer = "mal", .title = "<script>a</script><B onclick=\"x()\">b</B>"});
  const std::string page = room("taro", "FAST_FLG=1");
  for (const char* part : {"<B>[1]<i>B</i>&lt;script>x&lt;/script></B>",
                           "\">&lt;script>a&lt;/script><B>b</B></A></TD>\n",
                           "Line one<BR>\n&lt;script>Line two", "<img src=x>Mal"})
    EXPECT_TRUE(has(page, part)) << part;
  EXPECT_FALSE(has(page, "<script") || has(page, "onerror") || has(page, "onclick"));
}

}  // namespace
}  // namespace plazet::testing
