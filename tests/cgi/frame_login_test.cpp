// Start-up, log-in, session keys and log-off, seen through the program as
// the web server runs it.
#include <gtest/gtest.h>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("Taro");
    site_.add_user("Jiro");
    site_.add_user("Kyo", 1, 2);  // a shared account
  }
  std::string top(const std::string& key) const { return site_.get("SKEY=" + key + "&JOB=TOP"); }
  CgiSite site_;
};

TEST_F(FrameTest, RequestsWithoutAValidSessionGetTheLogInOrTheInvalidKeyPage) {
  const std::pair<std::string, const char*> cases[] = {
      {site_.run({}), "login.html"},
      {site_.get("JOB=ROOM"), "login.html"},
      {site_.post_form("uid=Taro&upw=PW&JOB=TOP"), "login.html"},
      {site_.post_form("uid=Nobody&upw=pw&JOB=TOP"), "login.html"},
      {site_.get("SKEY=12345&JOB=TOP"), "invalid_key.html"},
      {site_.get("SKEY=12345&uid=Taro&upw=pw"), "invalid_key.html"},
  };
  for (const auto& [page, expected] : cases) EXPECT_EQ(page, golden(expected)) << expected;
  EXPECT_EQ(site_.read_file(site_.data_dir() + "skey.mst") +
                site_.read_file(site_.data_dir() + "system.log"),
            "");
}

TEST_F(FrameTest, ALogInShowsTheFrameSetWhateverJobWasSentAndTheStartFollowsTheAccount) {
  for (const char* job : {"&JOB=ROOM", "&JOB=LOGOFF", ""}) {
    const std::string page = site_.post_form(std::string("uid=tARO&upw=pw") + job);
    const std::size_t at = page.find("SKEY=") + 5;
    EXPECT_EQ(page, golden("frameset.html", page.substr(at, page.find('&', at) - at))) << job;
  }
  EXPECT_TRUE(has(top(site_.log_in("Kyo")), "/plazetpic/ginfo.html\" NAME=\"FRM22\""));
  // A valid key and no job: the frame set again; ID and password are not looked at.
  const std::string key = site_.log_in("Taro");
  EXPECT_EQ(site_.get("SKEY=" + key + "&uid=Jiro&upw=no"), golden("frameset.html", key));
  EXPECT_EQ(site_.get("SKEY=" + key + "&JOB=TOP", "Other/2"), golden("invalid_key.html"));
}

TEST_F(FrameTest, LogOffEndsAPersonalSessionOnly) {
  const std::string taro = site_.log_in("Taro");
  const std::string jiro = site_.log_in("Jiro");
  EXPECT_EQ(site_.post_form("SKEY=" + taro + "&JOB=LOGOFF"), golden("login.html"));
  EXPECT_EQ(top(taro), golden("invalid_key.html"));
  EXPECT_TRUE(has(top(jiro), "<FRAMESET"));
  const std::string kyo = site_.log_in("Kyo");
  EXPECT_EQ(site_.post_form("SKEY=" + kyo + "&JOB=LOGOFF"), "");
  EXPECT_TRUE(has(top(kyo), "<FRAMESET"));
}

}  // namespace
}  // namespace plazet::testing
