// The access log pages: statistics per user, pruning only from the start
// page, the download and deleting users. What others are refused is in
// data/admin_refusals.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

// taro logged in three times and wrote once; hana's log-in lines are gone
// but her two writes are there; boss has no lines.
constexpr const char* kLog =
    "2024/05/01 09:00,taro,login,0,10.0.0.1,Agent/1\n"
    "2024/05/01 09:05,taro,write,1,,\n"
    "2024/05/02 09:00,taro,login,0,10.0.0.1,Agent/1\n"
    "2024/05/02 10:00,hana,write,1,,\n"
    "2099/01/01 10:00,hana,write,1,,\n"
    "2024/05/03 08:00,taro,login,0,10.0.0.1,Agent, with comma\n";

struct LogSite {
  LogSite() {
    site.users(
        "taro,Taro,1,,pw,0,1,1,1,,,0,\nboss,Boss,100,,pw,0,1,1,1,,,0,\n"
        "hana,Hana,1,,pw,0,1,1,1,,,0,\n");
    boss = site.key("boss");
    (void)site.key("taro");
    log(kLog);
  }
  void log(const std::string& text) const { site.write_file(site.data_dir() + "system.log", text); }
  [[nodiscard]] std::string log() const {
    return CgiSite::read_file(site.data_dir() + "system.log");
  }
  CgiSite site;
  std::string boss;
};

TEST(AccessLogGoldenTest, StartPageAndStatisticsArePrintedExactly) {
  LogSite l;
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogLastLogin"), golden("accesslog_stats.html", l.boss));
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDISP"), golden("accesslog.html", l.boss));
}

TEST(AccessLogPruneTest, OnlyTheStartPagePrunesAndByTheSetting) {
  // The job, LOG_DATE, and whether only the line of 2099 is left afterwards.
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"AccessLogDISP", "30", true},
      {"AccessLogDISP", "0", true},  // no days: today and before
      {"AccessLogLastLogin", "30", false},
      {"AccessLogDOWNLOAD", "30", false}};
  for (const auto& [job, days, pruned] : cases) {
    LogSite l;
    l.site.setting("LOG_DATE", days);
    l.log(kLog);
    (void)l.site.as("boss", std::string("JOB=") + job);
    EXPECT_EQ(l.log(), pruned ? std::string("2099/01/01 10:00,hana,write,1,,\n") : kLog)
        << job << " " << days;
  }
}

TEST(AccessLogDownloadTest, TheLogIsSentAsItIs) {
  LogSite l;
  const std::string head =
      "Content-Type: application/octet-stream\n"
      "Content-Disposition: attachment; filename=system.log\n\n";
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDOWNLOAD"), head + kLog);
  std::filesystem::remove(l.site.data_dir() + "system.log");
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDOWNLOAD"), head);
}

// What else goes with a deleted user is the account service's; here the page runs it.
TEST(AccessLogDeleteTest, TickedUsersGoAndTheStatisticsFollow) {
  LogSite l;
  l.site.write_file(l.site.data_dir() + "g_user.mst", "1,hana,\n1,taro,\n");
  const std::string page = l.site.post_as(
      "boss", "JOB=AccessLogDeleteUser&USER_ID=hana&USER_ID=nobody&USER_ID=&USER_ID=taro");
  EXPECT_EQ(joined(page, "NAME=\"USER_ID\" VALUE=\"([^\"]*)\""), "taro boss");
  EXPECT_EQ(CgiSite::read_file(l.site.data_dir() + "user.mst"),
            "taro,Taro,1,,pw,0,1,1,1,,,0,\nboss,Boss,100,,pw,0,1,1,1,,,0,\n");
  EXPECT_EQ(CgiSite::read_file(l.site.data_dir() + "g_user.mst"), "1,taro,\n");
  EXPECT_EQ(l.site.log_in("hana"), "");
}

}  // namespace
}  // namespace plazet::testing
