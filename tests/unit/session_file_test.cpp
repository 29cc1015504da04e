#include "users/session_file.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "store/data_lock.h"
#include "users/session.h"

namespace plazet {
namespace {

constexpr std::size_t kRecord = 532;

// One session record as it lies on disk, built field by field.
std::string skey_record(std::uint32_t key, std::string_view id, std::string_view addr,
                        std::string_view agent) {
  std::string r(kRecord, '\0');
  r[0] = static_cast<char>(key >> 24);
  r[1] = static_cast<char>(key >> 16);
  r[2] = static_cast<char>(key >> 8);
  r[3] = static_cast<char>(key);
  r.replace(4, id.size(), id);
  r.replace(26, addr.size(), addr);
  r.replace(278, agent.size(), agent);
  return r;
}

constexpr const char* kUsers =
    "Taro,Taro Yamada,1,,secret,0,1,1,1,,,0,\n"  // personal account
    "Jiro,Jiro Sato,1,,jpw,0,1,1,1,,,0,\n"       // personal account
    "Kyo,Front Desk,1,,desk,0,1,2,1,,,0,\n"      // shared account
    "Open,No Password,1,,,0,1,1,1,,,0,\n";

class SessionFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plazet-skey-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
    req_.sys.DATA_FILE_PATH = dir_;
    req_.lock = DataLock::acquire(dir_, LockMode::kExclusive);
    write_file("user.mst", kUsers);
    browse("192.0.2.7", "Browser/1.0");
  }
  void TearDown() override {
    req_.lock.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void browse(const std::string& addr, const std::string& agent) {
    req_.env.REMOTE_ADDR = addr;
    req_.env.HTTP_USER_AGENT = agent;
  }

  void write_file(const std::string& name, const std::string& text) const {
    std::ofstream out(dir_ + name, std::ios::binary | std::ios::trunc);
    out << text;
  }

  std::string read_file(const std::string& name) const {
    std::ifstream in(dir_ + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string skeys() const { return read_file("skey.mst"); }

  // Ends the request and starts the next one: files read so far are read
  // again, as by a new process.
  void next_request() {
    const CgiEnv env = req_.env;
    req_.lock.reset();
    req_ = Request();
    req_.sys.DATA_FILE_PATH = dir_;
    req_.env = env;
    req_.lock = DataLock::acquire(dir_, LockMode::kExclusive);
  }

  static MST_SKEY session(std::int32_t key, const std::string& id) {
    MST_SKEY r;
    r.SKEY = key;
    r.USER_ID = id;
    return r;
  }

  std::string dir_;
  Request req_;
};

// --- WriteMST_SKEY ---

TEST_F(SessionFileTest, WriteAppendsBigEndianRecords) {
  WriteMST_SKEY(req_, session(0x12345678, "Taro"));
  std::string file = skeys();
  ASSERT_EQ(file.size(), kRecord);
  EXPECT_EQ(file.substr(0, 4), "\x12\x34\x56\x78");
  EXPECT_EQ(file, skey_record(0x12345678, "Taro", "192.0.2.7", "Browser/1.0"));
  struct stat st {};
  ASSERT_EQ(::stat((dir_ + "skey.mst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  browse("198.51.100.3", "Other/2.0");
  WriteMST_SKEY(req_, session(0x7FFFFFFF, "Jiro"));
  EXPECT_EQ(skeys(), skey_record(0x12345678, "Taro", "192.0.2.7", "Browser/1.0") +
                         skey_record(0x7FFFFFFF, "Jiro", "198.51.100.3", "Other/2.0"));
}

TEST_F(SessionFileTest, WriteOverwritesTheUsersRecordInPlace) {
  const std::string jiro = skey_record(5, "Jiro", "10.0.0.5", "J/1");
  const std::string hana = skey_record(7, "Hana", "10.0.0.7", "H/1");
  write_file("skey.mst",
             jiro + skey_record(6, "Taro", "10.0.0.66", "An older and longer browser name") + hana);
  browse("10.1.1.1", "B/2");
  WriteMST_SKEY(req_, session(9, "Taro"));
  EXPECT_EQ(skeys(), jiro + skey_record(9, "Taro", "10.1.1.1", "B/2") + hana);

  // IDs compare exactly: another letter case is another user's record.
  WriteMST_SKEY(req_, session(10, "TARO"));
  EXPECT_EQ(skeys(), jiro + skey_record(9, "Taro", "10.1.1.1", "B/2") + hana +
                         skey_record(10, "TARO", "10.1.1.1", "B/2"));
}

TEST_F(SessionFileTest, ClientValuesAreKeptTo250Bytes) {
  browse(std::string(300, 'a'), std::string(300, 'u'));
  WriteMST_SKEY(req_, session(1, "Taro"));
  EXPECT_EQ(skeys(), skey_record(1, "Taro", std::string(250, 'a'), std::string(250, 'u')));

  browse("", "");  // variables the web server did not set
  WriteMST_SKEY(req_, session(2, "Taro"));
  EXPECT_EQ(skeys(), skey_record(2, "Taro", "", ""));
}

// --- ReadMST_SKEY ---

TEST_F(SessionFileTest, APersonalKeyHoldsOnlyForTheBrowserThatLoggedIn) {
  write_file("skey.mst", skey_record(6, "Taro", "192.0.2.7", "Browser/1.0"));
  browse("203.0.113.9", "Browser/1.0");  // the address may change
  EXPECT_EQ(ReadMST_SKEY(req_, 6), "Taro");

  browse("192.0.2.7", "Browser/1.1");
  EXPECT_EQ(ReadMST_SKEY(req_, 6), std::nullopt);
  browse("192.0.2.7", "");
  EXPECT_EQ(ReadMST_SKEY(req_, 6), std::nullopt);
  browse("192.0.2.7", "Browser/1.0");
  EXPECT_EQ(ReadMST_SKEY(req_, 7), std::nullopt);
}

TEST_F(SessionFileTest, LongUserAgentsCompareOnTheirFirst250Bytes) {
  const std::string head(250, 'x');
  browse("192.0.2.7", head + std::string(50, 'a'));
  WriteMST_SKEY(req_, session(42, "Taro"));

  browse("192.0.2.7", head + std::string(50, 'b'));
  EXPECT_EQ(ReadMST_SKEY(req_, 42), "Taro");
  browse("192.0.2.7", head);
  EXPECT_EQ(ReadMST_SKEY(req_, 42), "Taro");
  browse("192.0.2.7", std::string(249, 'x') + "y" + std::string(50, 'a'));
  EXPECT_EQ(ReadMST_SKEY(req_, 42), std::nullopt);
  browse("192.0.2.7", std::string(249, 'x'));
  EXPECT_EQ(ReadMST_SKEY(req_, 42), std::nullopt);
}

TEST_F(SessionFileTest, ASharedKeyHoldsForAnyBrowser) {
  write_file("skey.mst", skey_record(77, "Kyo", "192.0.2.7", "Browser/1.0"));
  browse("203.0.113.9", "Entirely/Different");
  EXPECT_EQ(ReadMST_SKEY(req_, 77), "Kyo");
  browse("", "");
  EXPECT_EQ(ReadMST_SKEY(req_, 77), "Kyo");
}

TEST_F(SessionFileTest, OnlyTheFirstRecordOfAKeyCountsAndItsUserMustExist) {
  write_file("skey.mst", skey_record(8, "Ghost", "", "Browser/1.0") +
                             skey_record(8, "Kyo", "", "Browser/1.0") +
                             skey_record(11, "Kyo", "", "Browser/1.0"));
  EXPECT_EQ(ReadMST_SKEY(req_, 8), std::nullopt);
  EXPECT_EQ(ReadMST_SKEY(req_, 11), "Kyo");
}

// --- ReadMST_SKEY2 and skey_in_use ---

TEST_F(SessionFileTest, ReadSkey2FindsTheFirstKeyOfTheExactId) {
  write_file("skey.mst", skey_record(3, "Jiro", "", "") + skey_record(4, "Kyo", "", "") +
                             skey_record(5, "Kyo", "", ""));
  EXPECT_EQ(ReadMST_SKEY2(req_, "Kyo"), 4);
  EXPECT_EQ(ReadMST_SKEY2(req_, "Jiro"), 3);
  EXPECT_EQ(ReadMST_SKEY2(req_, "KYO"), std::nullopt);
  EXPECT_EQ(ReadMST_SKEY2(req_, "Taro"), std::nullopt);
  EXPECT_TRUE(skey_in_use(req_, 5));
  EXPECT_FALSE(skey_in_use(req_, 6));
}

// --- DeleteMST_SKEY ---

TEST_F(SessionFileTest, DeleteRemovesEveryRecordOfExactlyThatId) {
  const std::string jiro = skey_record(2, "Jiro", "10.0.0.2", "J/1");
  const std::string hana = skey_record(4, "Hana", "10.0.0.4", "H/1");
  const std::string before = skey_record(1, "Taro", "10.0.0.1", "T/1") + jiro +
                             skey_record(3, "Taro", "10.0.0.3", "T/2") + hana;
  write_file("skey.mst", before);

  EXPECT_TRUE(DeleteMST_SKEY(req_, "TARO"));
  EXPECT_EQ(skeys(), before);
  EXPECT_TRUE(DeleteMST_SKEY(req_, "Taro"));
  EXPECT_EQ(skeys(), jiro + hana);
  EXPECT_EQ(ReadMST_SKEY2(req_, "Taro"), std::nullopt);
  EXPECT_EQ(ReadMST_SKEY2(req_, "Hana"), 4);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "skey.mst.TMP"));
}

// --- Damaged files ---

TEST_F(SessionFileTest, ATrailingPartialRecordIsIgnored) {
  const std::string taro = skey_record(1, "Taro", "", "Browser/1.0");
  write_file("skey.mst", taro + skey_record(2, "Jiro", "", "Browser/1.0").substr(0, 300));
  EXPECT_EQ(ReadMST_SKEY(req_, 1), "Taro");
  EXPECT_EQ(ReadMST_SKEY(req_, 2), std::nullopt);
  EXPECT_EQ(ReadMST_SKEY2(req_, "Jiro"), std::nullopt);
  EXPECT_FALSE(skey_in_use(req_, 2));

  // A record added to such a file can be read back whole.
  WriteMST_SKEY(req_, session(3, "Jiro"));
  EXPECT_EQ(ReadMST_SKEY2(req_, "Jiro"), 3);
  EXPECT_EQ(ReadMST_SKEY(req_, 3), "Jiro");
  EXPECT_EQ(skeys().substr(0, kRecord), taro);
}

// --- Locking ---

TEST_F(SessionFileTest, ChangesUnderASharedLockAreRefused) {
  const std::string before = skey_record(1, "Taro", "", "Browser/1.0");
  write_file("skey.mst", before);
  req_.lock.reset();
  req_.lock = DataLock::acquire(dir_, LockMode::kShared);
  EXPECT_EQ(ReadMST_SKEY(req_, 1), "Taro");
  EXPECT_THROW(WriteMST_SKEY(req_, session(5, "Jiro")), LockViolation);
  EXPECT_THROW(WriteMST_SKEY(req_, session(5, "Taro")), LockViolation);
  EXPECT_THROW((void)DeleteMST_SKEY(req_, "Taro"), LockViolation);
  EXPECT_EQ(skeys(), before);
}

// --- Keys ---

TEST_F(SessionFileTest, NewKeysSpreadOverThePositive32BitRange) {
  std::set<long> keys;
  bool high = false;
  bool low = false;
  for (int i = 0; i < 200; ++i) {
    long key = draw_session_key(req_);
    ASSERT_GE(key, 1);
    ASSERT_LE(key, 0x7FFFFFFFL);
    keys.insert(key);
    high = high || key >= (1L << 30);
    low = low || key < (1L << 30);
  }
  // Drawn within the same second, yet all different.
  EXPECT_EQ(keys.size(), 200u);
  EXPECT_TRUE(high);
  EXPECT_TRUE(low);
}

// --- G_LoginChk ---

TEST_F(SessionFileTest, LogInRefusesUnknownIdsAndWrongPasswords) {
  std::string uid = "Taro";
  EXPECT_EQ(G_LoginChk(req_, uid, "Secret"), std::nullopt);  // case matters
  uid = "Taro";
  EXPECT_EQ(G_LoginChk(req_, uid, "secret "), std::nullopt);
  uid = "nobody";
  EXPECT_EQ(G_LoginChk(req_, uid, ""), std::nullopt);
  EXPECT_EQ(uid, "NOBODY");
  EXPECT_EQ(skeys(), "");
  EXPECT_FALSE(req_.user);

  uid = "open";
  EXPECT_TRUE(G_LoginChk(req_, uid, ""));  // an empty password matches an empty one
  EXPECT_EQ(uid, "Open");
}

TEST_F(SessionFileTest, LogInStoresANewKeyUnderTheStoredId) {
  std::string uid = "tARO";
  std::optional<long> key = G_LoginChk(req_, uid, "secret");
  ASSERT_TRUE(key);
  EXPECT_GE(*key, 1);
  EXPECT_LE(*key, 0x7FFFFFFFL);
  EXPECT_EQ(uid, "Taro");
  ASSERT_TRUE(req_.user);
  EXPECT_EQ(req_.user->USER_NAME, "Taro Yamada");
  EXPECT_EQ(skeys(),
            skey_record(static_cast<std::uint32_t>(*key), "Taro", "192.0.2.7", "Browser/1.0"));
}

TEST_F(SessionFileTest, APersonalAccountsSecondLogInEndsTheFirstSession) {
  std::string uid = "Taro";
  std::optional<long> first = G_LoginChk(req_, uid, "secret");
  ASSERT_TRUE(first);
  browse("192.0.2.8", "Browser/2.0");
  std::optional<long> second = G_LoginChk(req_, uid, "secret");
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(skeys(),
            skey_record(static_cast<std::uint32_t>(*second), "Taro", "192.0.2.8", "Browser/2.0"));
  EXPECT_EQ(ReadMST_SKEY(req_, *first), std::nullopt);
  EXPECT_EQ(ReadMST_SKEY(req_, *second), "Taro");
}

TEST_F(SessionFileTest, ASharedAccountGetsItsKeyBack) {
  std::string uid = "kyo";
  std::optional<long> first = G_LoginChk(req_, uid, "desk");
  ASSERT_TRUE(first);
  const std::string stored = skeys();
  browse("203.0.113.9", "Other/9");
  uid = "KYO";
  std::optional<long> second = G_LoginChk(req_, uid, "desk");
  EXPECT_EQ(second, first);
  EXPECT_EQ(uid, "Kyo");
  EXPECT_EQ(skeys(), stored);  // nothing is written for the second log-in
}

// --- G_SkeyChk ---

TEST_F(SessionFileTest, KeyTextIsReadForItsLeadingDigits) {
  write_file("skey.mst", skey_record(12, "Jiro", "", "Browser/1.0"));
  EXPECT_FALSE(G_SkeyChk(req_, "abc"));
  next_request();
  write_file("skey.mst", skey_record(0, "Taro", "", "Browser/1.0") +
                             skey_record(12, "Jiro", "", "Browser/1.0"));
  EXPECT_TRUE(G_SkeyChk(req_, "abc"));  // not a number: key 0
  ASSERT_TRUE(req_.user);
  EXPECT_EQ(req_.user->USER_ID, "Taro");
  EXPECT_TRUE(G_SkeyChk(req_, "12abc"));
  EXPECT_EQ(req_.user->USER_ID, "Jiro");
  browse("192.0.2.7", "Browser/2.0");
  EXPECT_FALSE(G_SkeyChk(req_, "12"));
}

}  // namespace
}  // namespace plazet
