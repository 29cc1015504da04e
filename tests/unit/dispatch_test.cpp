#include <gtest/gtest.h>

#include <set>
#include <string>

#include "pages/bordwrite_page.h"
#include "pages/room_page.h"
#include "frame/dispatch.h"

namespace plazet {
namespace {

// Every job the program answers, as the pages and menus name them.
const std::set<std::string> kJobs = {"TOP",
                                     "LOGOFF",
                                     "FRM21",
                                     "MYDATA",
                                     "SETNOREAD",
                                     "SETNOREAD_WR",
                                     "ADMIN",
                                     "SYSTEM",
                                     "USERLIST",
                                     "GROUPLIST",
                                     "NEWGROUP",
                                     "NEWGROUPWR",
                                     "EDITGROUP",
                                     "DELGROUP",
                                     "DELGROUPWR",
                                     "SYSTEMUPDATE",
                                     "USERMENT",
                                     "USERWR",
                                     "NEWUSERWR",
                                     "MYDATAWR",
                                     "FOLDERLIST",
                                     "NEWFOLDER",
                                     "NEWFOLDERWR",
                                     "DELFOLDER",
                                     "DELFOLDERWR",
                                     "BORDCONFIG",
                                     "BORDCONFIGWR",
                                     "BORDACCESS",
                                     "BORDACCESSWR",
                                     "BORDMOVE",
                                     "BORDMOVEWR",
                                     "FOLDER_DOWNLOAD",
                                     "FOLDER_UPLOAD",
                                     "AccessLogDISP",
                                     "AccessLogDOWNLOAD",
                                     "AccessLogLastLogin",
                                     "AccessLogDeleteUser",
                                     "ROOM",
                                     "BORDWRITE",
                                     "EDITMSG",
                                     "BORDWRITEWR",
                                     "DETAILS",
                                     "DELMSG",
                                     "BORDALLFLG",
                                     "IDSINSEI",
                                     "IDSINSEIWR",
                                     "IDSINSEIlist",
                                     "IDSINSEIlist2",
                                     "IDSINSEIsysopWR",
                                     "NRDETAILS",
                                     "NRDETAILSWR",
                                     "SEARCH",
                                     "SEARCHDISP",
                                     "CHAT",
                                     "CHAT_UP",
                                     "CHAT_DOWN",
                                     "BATCH_UPLOAD",
                                     "BATCH_UPLOAD_WR",
                                     "BORDWRITEFIN"};

TEST(DispatchTableTest, EveryJobHasExactlyOneRow) {
  std::set<std::string> seen;
  for (const JobRow& row : job_table()) {
    EXPECT_TRUE(seen.insert(std::string(row.job)).second) << row.job << " twice";
  }
  EXPECT_EQ(seen, kJobs);
  EXPECT_EQ(find_job("NOSUCHJOB"), nullptr);
  EXPECT_EQ(find_job("room"), nullptr);  // jobs are compared exactly
}

TEST(DispatchTableTest, JobsThatStoreHoldTheExclusiveLock) {
  for (const JobRow& row : job_table()) {
    const std::string job(row.job);
    const bool stores = row.write != nullptr || job.ends_with("WR") || job.ends_with("_WR");
    if (stores) {
      EXPECT_EQ(row.lock, LockMode::kExclusive) << job;
    }
  }
  // Pages that store as a side effect: read marks, pruning, chat lines.
  for (const char* job : {"DETAILS", "AccessLogDISP", "CHAT_UP", "CHAT_DOWN", "LOGOFF",
                          "SYSTEMUPDATE", "DELMSG", "BORDALLFLG", "FOLDER_UPLOAD"}) {
    EXPECT_EQ(find_job(job)->lock, LockMode::kExclusive) << job;
  }
  // Pages that only read run side by side.
  for (const char* job : {"TOP", "FRM21", "ROOM", "BORDWRITE", "EDITMSG", "BORDWRITEFIN"}) {
    EXPECT_EQ(find_job(job)->lock, LockMode::kShared) << job;
  }
}

TEST(DispatchTableTest, StoringAMessageLeadsToTheListingOrAnErrorPage) {
  const JobRow* row = find_job("BORDWRITEWR");
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(row->write, &j_BORDWRITEWR);
  auto outcome = [&](int code) -> const Outcome* {
    for (const Outcome& o : row->outcomes) {
      if (o.code == code) return &o;
    }
    return nullptr;
  };
  ASSERT_NE(outcome(kPostStored), nullptr);
  EXPECT_EQ(outcome(kPostStored)->next, &j_ROOM);
  const std::pair<int, std::pair<int, int>> errors[] = {{kPostNotAllowed, {278, 3}},
                                                        {kPostTitleEmpty, {278, 295}},
                                                        {kPostTooLong, {278, 377}},
                                                        {kPostNotStored, {278, 380}}};
  for (const auto& [code, texts] : errors) {
    const Outcome* o = outcome(code);
    ASSERT_NE(o, nullptr) << code;
    EXPECT_EQ(o->next, nullptr) << code;
    EXPECT_EQ(std::make_pair(o->error_title, o->error_text), texts) << code;
  }
  EXPECT_EQ(find_job("DELMSG")->then, &j_ROOM);
  EXPECT_EQ(find_job("BORDALLFLG")->then, &j_ROOM);
}

}  // namespace
}  // namespace plazet
