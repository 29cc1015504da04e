// The access log pages: statistics per user, pruning only from the start
// page, the download, deleting users, and what others are refused.
#include <gtest/gtest.h>

#include <string>

#include "cgi_site.h"
#include "folders/acl_files.h"

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
    site.write_file(site.data_dir() + "user.mst",
                    "taro,Taro,1,,pw,0,1,1,1,,,0,\nboss,Boss,100,,pw,0,1,1,1,,,0,\n"
                    "hana,Hana,1,,pw,0,1,1,1,,,0,\n");
    boss = site.key("boss");
    taro = site.key("taro");
    log(kLog);
  }
  void log(const std::string& text) const { site.write_file(site.data_dir() + "system.log", text); }
  [[nodiscard]] std::string log() const {
    return CgiSite::read_file(site.data_dir() + "system.log");
  }
  CgiSite site;
  std::string boss, taro;
};

std::string with_heading(const std::string& heading) {
  std::string page = golden("admin_refusal.html");
  const std::string body = "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n";
  page.insert(page.find(body) + body.size(), "<FONT SIZE=\"5\"><B>" + heading + "</B></FONT>\n");
  return page;
}

TEST(AccessLogGoldenTest, StartPageAndStatisticsArePrintedExactly) {
  LogSite l;
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogLastLogin"), golden("accesslog_stats.html", l.boss));
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDISP"), golden("accesslog.html", l.boss));
}

TEST(AccessLogPruneTest, OnlyTheStartPagePrunesAndByTheSetting) {
  struct Case {
    const char* name;
    const char* user;
    const char* job;
    const char* log_date;
    bool pruned;  // only the line of 2099 is left
  };
  const Case cases[] = {
      {"start page", "boss", "AccessLogDISP", "30", true},
      {"start page, no days: today and before", "boss", "AccessLogDISP", "0", true},
      {"statistics", "boss", "AccessLogLastLogin", "30", false},
      {"download", "boss", "AccessLogDOWNLOAD", "30", false},
      {"start page refused", "taro", "AccessLogDISP", "30", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogSite l;
    l.site.setting("LOG_DATE", c.log_date);
    l.log(kLog);
    (void)l.site.as(c.user, std::string("JOB=") + c.job);
    EXPECT_EQ(l.log(), c.pruned ? std::string("2099/01/01 10:00,hana,write,1,,\n") : kLog);
  }
}

TEST(AccessLogRefusalTest, OthersSeeNothingAndChangeNothing) {
  LogSite l;
  const std::string users = CgiSite::read_file(l.site.data_dir() + "user.mst");
  EXPECT_EQ(l.site.as("taro", "JOB=AccessLogDISP"), with_heading(text(112)));
  EXPECT_EQ(l.site.as("taro", "JOB=AccessLogLastLogin"), with_heading(text(112) + " " + text(247)));
  EXPECT_EQ(l.site.as("taro", "JOB=AccessLogDOWNLOAD"), "");
  Multipart form;
  form.texts("SKEY=" + l.taro + "&JOB=AccessLogDeleteUser&USER_ID=boss");
  EXPECT_EQ(l.site.post(form), with_heading(text(112) + " " + text(247)));
  EXPECT_EQ(CgiSite::read_file(l.site.data_dir() + "user.mst"), users);
  EXPECT_EQ(l.log(), kLog);
}

TEST(AccessLogDownloadTest, TheLogIsSentAsItIs) {
  LogSite l;
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDOWNLOAD"),
            std::string("Content-Type: application/octet-stream\n"
                        "Content-Disposition: attachment; filename=system.log\n\n") +
                kLog);
  std::filesystem::remove(l.site.data_dir() + "system.log");
  EXPECT_EQ(l.site.as("boss", "JOB=AccessLogDOWNLOAD"),
            "Content-Type: application/octet-stream\n"
            "Content-Disposition: attachment; filename=system.log\n\n");
}

TEST(AccessLogDeleteTest, TickedUsersGoWithTheirRightsAndTheStatisticsFollow) {
  LogSite l;
  l.site.write_file(l.site.data_dir() + "g_user.mst", "1,hana,\n1,taro,\n");
  l.site.with_store([](Store& s, const WriteToken& w) {
    (void)WriteB_U_ACL(s, w, B_U_ACL{4, "hana", 3});
    (void)WriteB_U_ACL(s, w, B_U_ACL{4, "taro", 2});
  });
  Multipart form;
  form.texts("SKEY=" + l.boss +
             "&JOB=AccessLogDeleteUser&USER_ID=hana&USER_ID=nobody&USER_ID=&USER_ID=taro");
  const std::string page = l.site.post(form);
  EXPECT_EQ(joined(page, "NAME=\"USER_ID\" VALUE=\"([^\"]*)\""), "taro boss");
  EXPECT_EQ(CgiSite::read_file(l.site.data_dir() + "user.mst"),
            "taro,Taro,1,,pw,0,1,1,1,,,0,\nboss,Boss,100,,pw,0,1,1,1,,,0,\n");
  EXPECT_EQ(CgiSite::read_file(l.site.data_dir() + "g_user.mst"), "1,taro,\n");
  l.site.with_store([](Store& s, const WriteToken&) {
    const std::vector<B_U_ACL> left = user_entries(s, 4);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].USER_ID, "taro");
  });
  EXPECT_EQ(l.site.log_in("hana"), "");
}

}  // namespace
}  // namespace plazet::testing
