// Requests that end badly or carry more than they should: what is left on
// disk afterwards, and what a removed message leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

// The upload files ("CGI<n>") in the program's directory.
int uploads_left(const CgiSite& site) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(site.cgi_dir())) {
    n += entry.path().filename().string().starts_with("CGI");
  }
  return n;
}

class RobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("taro");
    site_.add_user("hana");
    ASSERT_EQ(site_.new_board("B", [](B_TITLE2& s) { s.ADD_MAX = 3; }), 1);
  }
  Multipart posting(const std::string& user, const std::string& title, const std::string& body) {
    return Multipart()
        .texts("SKEY=" + site_.key(user) + "&JOB=BORDWRITEWR&FJOB=BORDWRITE&FOLDER_NO=1&SEL_NO=0")
        .text("WRITE_TITLE", title)
        .text("WRITE_DATA", body);
  }
  CgiSite site_;
};

TEST_F(RobustnessTest, UploadsNoHandlerTookAreGoneWhenTheRequestEnds) {
  // No session at all; a key nobody was given; a slot the board lacks and a slot sent twice.
  for (const Multipart& form :
       {Multipart().text("JOB", "ROOM").file("FILE1", "a.txt", "x"),
        Multipart().texts("SKEY=12345&JOB=BORDWRITEWR&FOLDER_NO=1").file("FILE1", "a.txt", "x"),
        posting("taro", "t", "b")
            .file("FILE4", "four.txt", "4")
            .file("FILE1", "one.txt", "1")
            .file("FILE1", "again.txt", "1")}) {
    (void)site_.post(form);
    EXPECT_EQ(uploads_left(site_), 0) << form.done().substr(0, 200);
  }
  std::vector<INDEX_DATA> index = site_.index(1);
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].ADD_COUNT, 1);
}

TEST_F(RobustnessTest, ABodyCutShortStoresNothing) {
  std::string body = posting("taro", "cut", "a body that never arrives whole").done();
  body.resize(body.size() - 60);
  Env env = multipart_env();
  env["CONTENT_LENGTH"] = std::to_string(body.size() + 60);
  const std::string page = site_.run(env, body);
  EXPECT_TRUE(has(page, text(278)) && has(page, text(380)));
  EXPECT_TRUE(site_.index(1).empty());
}

TEST_F(RobustnessTest, ARequestOverTheLimitsIsRefusedWhole) {
  Multipart many = posting("taro", "many", "b");
  for (int i = 0; i < 101; ++i) many.file("FILE1", "f" + std::to_string(i), "x");
  const std::string big = site_.run(
      {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}, {"CONTENT_LENGTH", "67108865"}},
      "JOB=ROOM");
  for (const std::string& page : {site_.post(many), big}) {
    EXPECT_TRUE(
        page.starts_with("Status: 413 Request Entity Too Large\nContent-type: text/html\n"));
    EXPECT_TRUE(has(page, text(390)));
  }
  EXPECT_TRUE(site_.index(1).empty());
  EXPECT_EQ(uploads_left(site_), 0);
}

TEST_F(RobustnessTest, ARemovedMessageTakesItsBodyAndFilesAlong) {
  (void)site_.post(posting("hana", "secret", "hana's words").file("FILE1", "a.txt", "aaa"));
  (void)site_.post(posting("taro", "keep", "kept").file("FILE1", "keep.txt", "kkk"));
  ASSERT_TRUE(CgiSite::exists(site_.board_file(1, "x1.dat")));
  (void)site_.post_as("hana", "JOB=DELMSG&FOLDER_NO=1&SEL_NO=1");
  EXPECT_EQ(site_.index(1).size(), 1u);
  EXPECT_FALSE(CgiSite::exists(site_.board_file(1, "x1.dat")) ||
               CgiSite::exists(site_.pic_dir() + "1/x1"));
  // The other message keeps its attachment and its record.
  EXPECT_EQ(site_.read_file(site_.slot(1, 2, 1) + "keep.txt"), "kkk");
  EXPECT_EQ(site_.read_file(site_.board_file(1, "add_file.dat")).size(), 260u);
  // Once the board is empty the number comes again, with nothing of the removed text.
  (void)site_.post_as("taro", "JOB=DELMSG&FOLDER_NO=1&SEL_NO=2");
  (void)site_.post(posting("taro", "mine", "taro's words"));
  ASSERT_EQ(site_.index(1).size(), 1u);
  EXPECT_EQ(site_.read_file(site_.board_file(1, "x1.dat")), "taro's words");
}

TEST_F(RobustnessTest, ALineBreakInTheBrowsersValuesForgesNoLogLine) {
  site_.setting("LOG_DATE", "365");
  (void)site_.run({{"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                   {"HTTP_USER_AGENT", "Agent\n2024/01/01 00:00,boss,login,0,x,y"},
                   {"REMOTE_ADDR", "10.0.0.1\r\n"}},
                  "uid=taro&upw=pw&JOB=TOP");
  const std::string log = site_.read_file(site_.data_dir() + "system.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_TRUE(has(log, ",taro,login,0,10.0.0.1  ,Agent 2024/01/01 00:00,boss,login,0,x,y\n"));
}

}  // namespace
}  // namespace plazet::testing
