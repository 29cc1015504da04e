#include "users/system_log.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "store/data_lock.h"
#include "text/date.h"
#include "users/session.h"

namespace plazet {
namespace {

class SystemLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plazet-syslog-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
    req_.sys.DATA_FILE_PATH = dir_;
    req_.lock = DataLock::acquire(dir_, LockMode::kExclusive);
  }
  void TearDown() override {
    req_.lock.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string path() const { return dir_ + "system.log"; }

  void write_log(const std::string& text) const {
    std::ofstream out(path(), std::ios::binary | std::ios::trunc);
    out << text;
  }

  std::string read_log() const {
    std::ifstream in(path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static SYSTEM_LOG entry(const std::string& time, const std::string& id, int kind, long folder,
                          const std::string& addr = "", const std::string& agent = "") {
    SYSTEM_LOG e;
    e.LOG_TIME = time;
    e.USER_ID = id;
    e.LOG_KIND = kind;
    e.FOLDER_NO = folder;
    e.REMOTE_ADDR = addr;
    e.HTTP_USER_AGENT = agent;
    return e;
  }

  // A personal and a shared account, and the client of the request.
  void add_users() {
    std::ofstream users(dir_ + "user.mst", std::ios::binary);
    users << "Taro,Taro Yamada,1,,secret,0,1,1,1,,,0,\n"
             "Kyo,Front Desk,1,,desk,0,1,2,1,,,0,\n";
    req_.env.REMOTE_ADDR = "192.0.2.7";
    req_.env.HTTP_USER_AGENT = "Browser/1.0 (X11, Linux)";
  }

  std::optional<long> log_in(std::string uid, const std::string& upw) {
    return G_LoginChk(req_, uid, upw);
  }

  std::string dir_;
  Request req_;
};

void expect_counts(const std::optional<LogCounts>& c, long logins, long writes,
                   const std::string& last_login) {
  ASSERT_TRUE(c);
  EXPECT_EQ(c->logins, logins);
  EXPECT_EQ(c->writes, writes);
  EXPECT_EQ(c->last_login, last_login);
}

// --- WriteSYSTEM_LOG ---

TEST_F(SystemLogTest, WriteAppendsOneLinePerEvent) {
  EXPECT_TRUE(WriteSYSTEM_LOG(req_, entry("2024/05/10 09:15", "Taro", SYSTEM_LOG::kLogin, 0,
                                          "192.0.2.7", "Mozilla/4.0 (compatible, MSIE 5.5)")));
  EXPECT_TRUE(WriteSYSTEM_LOG(req_, entry("2024/05/10 09:20", "Taro", SYSTEM_LOG::kWrite, 12)));
  EXPECT_EQ(read_log(),
            "2024/05/10 09:15,Taro,login,0,192.0.2.7,Mozilla/4.0 (compatible, MSIE 5.5)\n"
            "2024/05/10 09:20,Taro,write,12,,\n");
}

TEST_F(SystemLogTest, WriteKeepsWhatIsThereAndCutsClientValues) {
  write_log("2024/05/01 08:00,Jiro,write,3,,\n");
  EXPECT_TRUE(WriteSYSTEM_LOG(req_, entry("2024/05/02 08:00", "Jiro", SYSTEM_LOG::kLogin, 0,
                                          std::string(300, 'a'), std::string(300, 'u'))));
  EXPECT_EQ(read_log(), "2024/05/01 08:00,Jiro,write,3,,\n2024/05/02 08:00,Jiro,login,0," +
                            std::string(250, 'a') + "," + std::string(250, 'u') + "\n");
}

// --- ReadSYSTEM_LOG ---

TEST_F(SystemLogTest, ReadCountsTheLogInsAndWritesOfEachIdApart) {
  write_log(
      "2024/05/01 08:00,Taro,login,0,192.0.2.1,UA\n"
      "2024/05/01 08:05,Taro,write,3,,\n"
      "2024/05/02 09:00,TARO,login,0,192.0.2.2,UA\n"
      "2024/05/02 09:30,Taro,login,0,192.0.2.3,UA (with, commas)\n"
      "2024/05/03 10:00,Jiro,login,0,192.0.2.4,UA\n"
      "2024/05/03 10:10,Taro,write,5,,\n"
      "2024/05/04 11:00,Taro,login,0,192.0.2.5,UA\n"
      "2024/05/04 11:30,Jiro,write,5,,\n");
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 3, 2, "2024/05/04 11:00");
  expect_counts(ReadSYSTEM_LOG(req_, "TARO"), 1, 0, "2024/05/02 09:00");
  expect_counts(ReadSYSTEM_LOG(req_, "taro"), 0, 0, "");
  expect_counts(ReadSYSTEM_LOG(req_, "Jiro"), 1, 1, "2024/05/03 10:00");
}

TEST_F(SystemLogTest, TheLastLogInLineInFileOrderGivesTheTime) {
  write_log(
      "2024/05/04 11:00,Taro,login,0,,\n"
      "2024/05/01 08:00,Taro,login,0,,\n");
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 2, 0, "2024/05/01 08:00");
}

TEST_F(SystemLogTest, LinesWithoutTheirFirstThreeFieldsOrWithAnotherWordAreNotCounted) {
  write_log(
      "2024/05/01 08:00,Taro,login\n"      // no comma after the kind
      "2024/05/01 08:01,Taro,Login,0,,\n"  // words compare exactly
      "2024/05/01 08:02,Taro,login ,0,,\n"
      "2024/05/01 08:03,Taro,writes,4,,\n"
      "no commas at all\n"
      "\n"
      "2024/05/01 08:04,Taro,login,\n"  // nothing after the kind is needed
      // 0x81 starts a two-byte character that takes the comma after it.
      "2024/05/01 08:05,A\x81,login,0,,\n");
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 1, 0, "2024/05/01 08:04");
  expect_counts(ReadSYSTEM_LOG(req_, "A\x81"), 0, 0, "");
  expect_counts(ReadSYSTEM_LOG(req_, "A\x81,login"), 0, 0, "");
}

TEST_F(SystemLogTest, WithoutALogFileThereAreNoCounts) {
  EXPECT_EQ(ReadSYSTEM_LOG(req_, "Taro"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(path()));  // a reader never creates it
}

TEST_F(SystemLogTest, AReadAfterAWriteInTheSameRequestCountsTheNewLine) {
  write_log("2024/05/01 08:00,Taro,login,0,,\n");
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 1, 0, "2024/05/01 08:00");
  expect_counts(ReadSYSTEM_LOG(req_, "Jiro"), 0, 0, "");
  ASSERT_TRUE(WriteSYSTEM_LOG(req_, entry("2024/05/02 08:00", "Taro", SYSTEM_LOG::kLogin, 0)));
  ASSERT_TRUE(WriteSYSTEM_LOG(req_, entry("2024/05/02 08:10", "Jiro", SYSTEM_LOG::kWrite, 7)));
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 2, 0, "2024/05/02 08:00");
  expect_counts(ReadSYSTEM_LOG(req_, "Jiro"), 0, 1, "");
}

// --- DeleteSYSTEM_LOG ---

TEST_F(SystemLogTest, DeleteKeepsOnlyTheDaysAfterTheCutoffsDate) {
  write_log(
      "2024/05/09 23:59,Taro,login,0,,\n"
      "2024/05/10 00:00,Taro,login,0,,\n"
      "2024/05/10 10:00,Jiro,write,1,,\n"
      "2024/05/10 23:59,Taro,write,1,,\n"
      "2024/05/11 00:00,Taro,login,0,,\n"
      "2023/12/31 12:00,Old,login,0,,\n"
      "2024/05/12 08:00,Jiro,login,0,,\n"
      "zz\n"  // judged by its first ten bytes alone
      "\n");
  DeleteSYSTEM_LOG(req_, "2024/05/10 10:00");
  EXPECT_EQ(read_log(),
            "2024/05/11 00:00,Taro,login,0,,\n"
            "2024/05/12 08:00,Jiro,login,0,,\n"
            "zz\n");
  EXPECT_FALSE(std::filesystem::exists(path() + ".tmp"));
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 1, 0, "2024/05/11 00:00");

  DeleteSYSTEM_LOG(req_, "2024/05/11");
  EXPECT_EQ(read_log(), "2024/05/12 08:00,Jiro,login,0,,\nzz\n");
}

TEST_F(SystemLogTest, DeleteWithoutALogFileLeavesNone) {
  DeleteSYSTEM_LOG(req_, "2024/05/10 10:00");
  EXPECT_FALSE(std::filesystem::exists(path()));
}

// --- Locking ---

TEST_F(SystemLogTest, ChangesUnderASharedLockAreRefused) {
  const std::string before = "2024/05/01 08:00,Taro,login,0,,\n";
  write_log(before);
  req_.lock.reset();
  req_.lock = DataLock::acquire(dir_, LockMode::kShared);
  expect_counts(ReadSYSTEM_LOG(req_, "Taro"), 1, 0, "2024/05/01 08:00");
  EXPECT_THROW(WriteSYSTEM_LOG(req_, entry("2024/05/02 08:00", "Taro", SYSTEM_LOG::kLogin, 0)),
               LockViolation);
  EXPECT_THROW(DeleteSYSTEM_LOG(req_, "2024/05/10 10:00"), LockViolation);
  EXPECT_EQ(read_log(), before);
}

// --- Log-in lines ---

TEST_F(SystemLogTest, LogDateZeroOrEmptyWritesNoLine) {
  add_users();
  for (const char* off : {"", "0", "-5", "none"}) {
    req_.sys.LOG_DATE = off;
    ASSERT_TRUE(log_in("Taro", "secret")) << off;
    EXPECT_FALSE(std::filesystem::exists(path())) << off;
  }
}

TEST_F(SystemLogTest, LogInLinesCarryTheStoredIdAndTheClient) {
  add_users();
  req_.sys.LOG_DATE = "365";
  const std::string before = set_date();
  ASSERT_TRUE(log_in("taro", "secret"));
  const std::string after = set_date();
  const std::string log = read_log();
  ASSERT_GE(log.size(), 16u);
  const std::string time = log.substr(0, 16);
  EXPECT_TRUE(time == before || time == after) << time;
  EXPECT_EQ(log.substr(16), ",Taro,login,0,192.0.2.7,Browser/1.0 (X11, Linux)\n");

  req_.env.HTTP_USER_AGENT = std::string(300, 'u');
  ASSERT_TRUE(log_in("Taro", "secret"));
  const std::string second = read_log().substr(log.size());
  ASSERT_GE(second.size(), 16u);
  EXPECT_EQ(second.substr(16), ",Taro,login,0,192.0.2.7," + std::string(250, 'u') + "\n");
  EXPECT_EQ(ReadSYSTEM_LOG(req_, "Taro")->logins, 2);
}

TEST_F(SystemLogTest, ASharedAccountIsLoggedAtItsFirstLogInOnly) {
  add_users();
  req_.sys.LOG_DATE = "7";
  std::optional<long> first = log_in("Kyo", "desk");
  ASSERT_TRUE(first);
  EXPECT_EQ(log_in("KYO", "desk"), first);
  EXPECT_EQ(log_in("kyo", "desk"), first);
  expect_counts(ReadSYSTEM_LOG(req_, "Kyo"), 1, 0, read_log().substr(0, 16));
  EXPECT_EQ(log_in("Kyo", "wrong"), std::nullopt);
  EXPECT_EQ(ReadSYSTEM_LOG(req_, "Kyo")->logins, 1);
}

}  // namespace
}  // namespace plazet
