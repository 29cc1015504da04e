// The message page, who may delete a message, and marking a board read.
// What a deletion removes is the message service's (its unit test).
#include <gtest/gtest.h>

#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/acl_files.h"
#include "users/user_file.h"

namespace plazet::testing {
namespace {

using Ids = std::vector<std::string>;

class DetailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user_line("taro,Taro Yamada,1,,pw,0,1,1,1,,,0,");
    site_.add_user("hana");
    site_.add_user("guest", 0);
    ASSERT_EQ(site_.new_board("Notices"), 1);
  }
  std::string job(const std::string& user, const std::string& name, int sel_no) {
    return site_.as(user, "JOB=" + name + "&FOLDER_NO=1&SEL_NO=" + std::to_string(sel_no));
  }
  std::string details(const std::string& user, int sel_no) { return job(user, "DETAILS", sel_no); }
  CgiSite site_;
};

TEST_F(DetailsTest, ViewingMarksTheMessageReadOnceAndListsItsReaders) {
  site_.change_board(1, [](B_TITLE2& b) { b.READ_LEVEL = b.WRITE_LEVEL = 1; });
  const int n = site_.post(1, {.read_chk = 2});
  const int plain = site_.post(1, {.writer = "hana", .read_chk = 1});
  EXPECT_EQ(details("guest", n), refusal());  // no read right: no mark either
  const std::string page = details("hana", n);
  (void)details("hana", n);
  EXPECT_EQ(site_.readers(1, n), (Ids{"taro", "hana"}));
  EXPECT_TRUE(
      has(page, "<SELECT>\n<OPTION>2 " + text(283) +
                    "\n<OPTION VALUE=\"0\">Taro Yamada\n<OPTION VALUE=\"0\">Name of hana\n"));
  // A reader gone from user.mst is listed by ID; no list without read confirmation.
  site_.with_store(
      [](Store& s, const WriteToken& w) { ASSERT_TRUE(DeleteMST_USER(s, w, "hana")); });
  EXPECT_TRUE(has(details("taro", n), "Yamada\n<OPTION VALUE=\"0\">hana\n</SELECT>"));
  EXPECT_FALSE(has(details("taro", plain), "<SELECT>"));
  (void)details("taro", 9);  // a number without a message leaves no mark file
  EXPECT_FALSE(CgiSite::exists(site_.board_file(1, "r9.dat")));
}

TEST_F(DetailsTest, StepsFollowIndexOrderOrNumbersAndStopAtTheEnds) {
  for (int i = 0; i < 21; ++i) (void)site_.post(1, {});
  (void)site_.post(1, {.parent = 1});  // 22, second in the index
  // The SEL_NO of the "previous" and "next" forms, "-" where only a warning is left.
  auto steps = [&](const std::string& query) {
    const std::string page = site_.as("hana", "JOB=DETAILS&FOLDER_NO=1&SEL_NO=" + query);
    std::string out;
    for (int caption : {301, 303}) {
      const std::size_t at = page.find("VALUE=\"" + text(caption) + "\"");
      const std::size_t sel = page.find("name=\"SEL_NO\" value=\"", page.rfind("<FORM", at));
      out += sel < at ? page.substr(sel + 21, page.find('"', sel + 21) - sel - 21) + " " : "- ";
    }
    return out;
  };
  for (const std::vector<std::string>& c : table("details_steps.txt")) {
    EXPECT_EQ(steps(c[1]), c[2] + " " + c[3] + " ") << c[0];
  }
  // The way back names the listing page the message is on (20 a page).
  EXPECT_TRUE(has(details("hana", 19), "name=\"DISP_PAGE\" value=\"1\""));  // the 20th record
  EXPECT_TRUE(has(details("hana", 20), "name=\"DISP_PAGE\" value=\"2\""));
}

TEST(DetailsRightsTest, ButtonsAndDeletionFollowTheRightTheAccountAndTheAuthor) {
  for (const std::vector<std::string>& c : table("details_rights.txt")) {
    SCOPED_TRACE(c[0]);
    CgiSite site;
    for (const char* id : {"taro", "hana"}) site.add_user(id);
    site.add_user("desk", 1, 2);
    site.add_user("boss");
    site.new_board("B", [&](B_TITLE2& b) {
      b.REWRITE_FLG = std::stoi(c[3]);
      b.READ_LEVEL = std::stoi(c[4]);
      b.WRITE_LEVEL = std::stoi(c[5]);
    });
    site.with_store([](Store& s, const WriteToken& w) {
      (void)WriteB_U_ACL(s, w, {1, "boss", 3});
    });
    (void)site.post(1, {.writer = c[2]});
    (void)site.post(1, {});  // keeps the index from going empty
    const std::string page = site.as(c[1], "JOB=DETAILS&FOLDER_NO=1&SEL_NO=1");
    const std::string jobs =
        joined(page.substr(page.rfind("<TABLE>") + 1), "\"JOB\" value=\"(\\w*)");
    EXPECT_EQ(c[6].empty() ? page : jobs, c[6].empty() ? refusal() : c[6]);
    const std::string before = site.read_file(site.board_file(1, "index.dat"));
    const std::string after = site.as(c[1], "JOB=DELMSG&FOLDER_NO=1&SEL_NO=1");
    EXPECT_EQ(site.read_file(site.board_file(1, "index.dat")) != before, c[7] == "yes");
    // What follows is the listing, or its refusal where the board may not be read.
    const bool reads = c[4] == "0" || c[1] == "boss";
    EXPECT_TRUE(reads ? has(after, " Page[1/1]<BR>\n") : after == refusal());
  }
}

TEST_F(DetailsTest, MarkAllReadWritesMissingMarksOnReadableBoardsOnly) {
  ASSERT_EQ(site_.new_board("Closed", [](B_TITLE2& b) { b.READ_LEVEL = b.WRITE_LEVEL = 5; }), 2);
  const int a = site_.post(1, {});
  const int own = site_.post(1, {.writer = "hana"});
  (void)site_.post(2, {});
  EXPECT_EQ(site_.as("hana", "JOB=BORDALLFLG&FOLDER_NO=2"), refusal());
  EXPECT_EQ(site_.readers(2, 1), Ids{"taro"});
  (void)details("hana", a);
  EXPECT_TRUE(has(site_.as("hana", "JOB=BORDALLFLG&FOLDER_NO=1"), " Page[1/1]<BR>\n"));
  EXPECT_EQ(site_.readers(1, a), (Ids{"taro", "hana"}));
  EXPECT_EQ(site_.readers(1, own), Ids{"hana"});
}

}  // namespace
}  // namespace plazet::testing
