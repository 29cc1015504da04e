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

// In the order of Need.
const char* const kNeeds[] = {"none",       "login",       "personal",     "admin",
                              "board read", "board write", "board manage", "personal board write"};

TEST(JobTableTest, EveryJobHasExactlyOneRowWithAHandlerFoundByItsExactName) {
  std::set<std::string> seen, jobs;
  for (const testing::Case& c : testing::load_cases("jobs.cases")) {
    jobs.insert(c.fields.at(0));
    if (c.fields.size() == 1) continue;
    const JobRow* row = find_job(job_table(), c.fields[0]);
    ASSERT_NE(row, nullptr) << c.fields[0];
    EXPECT_EQ(row->lock == LockMode::kShared ? "shared" : "exclusive", c.fields.at(1))
        << c.fields[0];
    EXPECT_EQ(kNeeds[static_cast<int>(row->need)], c.fields.at(2)) << c.fields[0];
  }
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

// The job table itself passes this check when it compiles.
TEST(JobTableTest, TheLockCheckNoticesAWriterUnderASharedLock) {
  const JobRow bad[] = {{.job = "X", .lock = LockMode::kShared, .kind = Handler::kWrite}};
  EXPECT_FALSE(writers_lock_exclusively(bad));
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
