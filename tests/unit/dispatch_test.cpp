#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cases.h"
#include "data_dir_test.h"
#include "frame/dispatch.h"
#include "frame/settings.h"
#include "jobs.h"
#include "text/escape.h"

namespace plazet {
namespace {

TEST(JobTableTest, EveryJobHasExactlyOneRowWithAHandlerFoundByItsExactName) {
  std::set<std::string> seen, jobs;
  for (const testing::Case& c : testing::load_cases("jobs.cases")) jobs.insert(c.fields.at(0));
  ASSERT_EQ(jobs.size(), 59u);
  for (const JobRow& row : job_table()) {
    EXPECT_TRUE(seen.insert(std::string(row.job)).second) << row.job << " twice";
    EXPECT_EQ(find_job(job_table(), row.job), &row);
    EXPECT_NE(row.kind, Handler::kNone) << row.job << " prints nothing";
  }
  EXPECT_EQ(seen, jobs);
  EXPECT_EQ(find_job(job_table(), "NOSUCHJOB"), nullptr);
  EXPECT_EQ(find_job(job_table(), "room"), nullptr);
}

TEST(JobTableTest, EveryRowThatStoresHoldsTheExclusiveLock) {
  EXPECT_TRUE(writers_lock_exclusively(job_table()));
  for (const JobRow& row : job_table()) {
    const std::string job(row.job);
    const bool writes = row.kind == Handler::kWrite || row.kind == Handler::kWritingPage;
    if (writes || job.ends_with("WR")) {
      EXPECT_EQ(row.lock, LockMode::kExclusive) << job;
    }
  }
  // The check itself notices a writer under a shared lock.
  const JobRow bad[] = {{.job = "X", .lock = LockMode::kShared, .kind = Handler::kWrite}};
  EXPECT_FALSE(writers_lock_exclusively(bad));
}

// What each board job needs and which lock it holds: pages that store as a
// side effect (read marks, pruning, chat lines) write; listings only read.
struct JobNeed {
  const char* job;
  LockMode lock;
  Need need;
};

TEST(JobTableTest, BoardJobsNeedTheirRightAndLock) {
  constexpr auto R = LockMode::kShared;
  constexpr auto W = LockMode::kExclusive;
  const JobNeed rows[] = {
      {"ROOM", R, Need::kBoardRead},       {"BORDWRITE", R, Need::kBoardWrite},
      {"EDITMSG", R, Need::kBoardWrite},   {"BORDWRITEWR", W, Need::kBoardWrite},
      {"DETAILS", W, Need::kBoardRead},    {"DELMSG", W, Need::kPersonalBoardWrite},
      {"BORDALLFLG", W, Need::kBoardRead}, {"BORDWRITEFIN", R, Need::kNone},
      {"LOGOFF", W, Need::kPersonal},      {"TOP", R, Need::kLogin},
      {"FRM21", R, Need::kLogin},          {"AccessLogDISP", W, Need::kAdmin},
      {"CHAT", R, Need::kBoardRead},       {"CHAT_UP", W, Need::kBoardRead},
      {"CHAT_DOWN", W, Need::kBoardRead},  {"SYSTEMUPDATE", W, Need::kAdmin},
      {"FOLDER_UPLOAD", W, Need::kAdmin},
  };
  for (const JobNeed& r : rows) {
    const JobRow* row = find_job(job_table(), r.job);
    ASSERT_NE(row, nullptr) << r.job;
    EXPECT_EQ(row->lock, r.lock) << r.job;
    EXPECT_EQ(row->need, r.need) << r.job;
  }
}

// A job that saves the settings with another data directory: the page that
// follows it already works on the new directory.
int save_new_data_directory(Request& req, const WriteToken& w) {
  SYSINFO sys = req.sys;
  sys.DATA_FILE_PATH = req.form.cgi_getvalue("TO");
  return SysFileWrite(w, req.INI_FILE, sys) ? 0 : 1;
}
void show_data_directory(Request& req) {
  req.out.printf("%s|%s", html_attr(req.sys.DATA_FILE_PATH), html_attr(req.store.dir()));
}

TEST(JobRunnerTest, TheSettingsReloadMovesTheStoreToTheNewDataDirectory) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.file("old"));
  std::filesystem::create_directories(dir.file("new"));
  SYSINFO sys = SYSINFO::new_file_values();
  sys.DATA_FILE_PATH = dir.file("old/");
  dir.write("plazet.ini", format_settings(sys));
  // The closing page's job runs without a log-in, so it can stand in here.
  const JobRow jobs[] = {
      reloading_settings(
          storing_job("BORDWRITEFIN", Need::kNone, save_new_data_directory, {}, "SHOW", 1)),
      page_job("SHOW", Need::kNone, show_data_directory),
  };
  CgiEnv env;
  env.REQUEST_METHOD = "GET";
  env.QUERY_STRING = "JOB=BORDWRITEFIN&TO=" + dir.file("new/");
  EXPECT_EQ(serve_request(dir.file("plazet.cgi"), env, -1, dir.prefix(), jobs),
            dir.file("new/") + "|" + dir.file("new/"));
}

}  // namespace
}  // namespace plazet
