// user.mst, skey.mst, system.log and logging in.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "data_dir_test.h"
#include "text/date.h"
#include "users/session.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using testing::be32;
using testing::padded;

constexpr const char* kTaro =
    "Taro,Taro Yamada,100,taro@example.jp,secret,3,2,1,2,english.lng,taro.gif,1,\n";
constexpr const char* kJiro = "Jiro,Jiro Sato,10,,jpw,0,1,2,1,,,0,\n";

class UsersTest : public testing::DataDirTest {};

MST_USER user(const std::string& id, const std::string& name) {
  MST_USER u;
  u.USER_ID = id;
  u.USER_NAME = name;
  return u;
}

TEST_F(UsersTest, WrittenFieldsAreCutToTheirWidths) {
  write("user.mst", std::string(21, 'i') + ",Old,1,,pw,0,1,1,1,,,0,\n");
  MST_USER u = user(std::string(30, 'i'), std::string(100, 'n'));
  u.E_MAIL_ADDR = std::string(300, 'm');
  u.USER_PASS = std::string(30, 'p');
  u.LANGUAGE = std::string(300, 'l');
  u.PICFILE = std::string(300, 'c');
  ASSERT_TRUE(ReWriteMST_USER(store(), w(), u));
  EXPECT_EQ(read("user.mst"), std::string(21, 'i') + "," + std::string(81, 'n') + ",0," +
                                  std::string(251, 'm') + "," + std::string(21, 'p') + ",0,0,0,0," +
                                  std::string(255, 'l') + "," + std::string(255, 'c') + ",0,\n");
}

TEST_F(UsersTest, RewriteRenamesANewFileIntoPlaceAndInsertCreatesAPublicTextFile) {
  write("user.mst", std::string(kTaro) + kJiro);
  const int old_fd = ::open(dir_.file("user.mst").c_str(), O_RDONLY);
  ASSERT_GE(old_fd, 0);
  ASSERT_TRUE(ReWriteMST_USER(store(), w(), user("Jiro", "Changed")));
  char buf[512] = {};
  const ssize_t n = ::pread(old_fd, buf, sizeof buf, 0);
  ::close(old_fd);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), std::string(kTaro) + kJiro);
  std::filesystem::remove(dir_.file("user.mst"));
  const mode_t old_mask = ::umask(022);
  const bool inserted = InsertMST_USER(fresh(), w(), user("Kyo", "Kyo"));
  ::umask(old_mask);
  EXPECT_TRUE(inserted);
  EXPECT_EQ(read("user.mst"), "Kyo,Kyo,0,,,0,0,0,0,,,0,\n");
  EXPECT_EQ(dir_.mode("user.mst"), 0644u);
}

// --- skey.mst ---

std::string skey(std::uint32_t key, const std::string& id, const std::string& addr,
                 const std::string& agent) {
  return be32(key) + padded(id, 22) + padded(addr, 252) + padded(agent, 254);
}
const Client kBrowser{"192.0.2.7", "Browser/1.0"};

TEST_F(UsersTest, APersonalKeyHoldsOnlyForTheBrowserThatLoggedInASharedOneForAny) {
  write("user.mst", "Taro,T,1,,pw,0,1,1,1,,,0,\nKyo,Desk,1,,desk,0,1,2,1,,,0,\n");
  const std::string head(250, 'x');
  write("skey.mst", skey(6, "Taro", "192.0.2.7", "Browser/1.0") + skey(7, "Ghost", "", "B") +
                        skey(7, "Taro", "", "B") + skey(8, "Taro", "", head) +
                        skey(77, "Kyo", "", "B"));
  struct KeyCase {
    long key;
    Client client;
    const char* owner;
  };
  const KeyCase cases[] = {
      {6, {"203.0.113.9", "Browser/1.0"}, "Taro"},  // the address may change
      {6, {"192.0.2.7", "Browser/1.1"}, "none"},
      {6, {"192.0.2.7", ""}, "none"},
      {7, {"", "B"}, "none"},  // only the first record of a key counts; its user must exist
      {8, {"", head + "tail"}, "Taro"},  // agents compare on their first 250 bytes
      {8, {"", std::string(249, 'x') + "y"}, "none"},
      {77, {"", "Entirely/Different"}, "Kyo"},
      {9, kBrowser, "none"},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(ReadMST_SKEY(store(), c.key, c.client).value_or("none"), c.owner)
        << c.key << " " << c.client.HTTP_USER_AGENT.substr(0, 20);
  }
  EXPECT_EQ(ReadMST_SKEY2(store(), "Taro"), 6);
  EXPECT_EQ(ReadMST_SKEY2(store(), "TARO"), std::nullopt);
  EXPECT_TRUE(skey_in_use(store(), 77));
  EXPECT_FALSE(skey_in_use(store(), 78));
  // The key is read from the leading digits of its text.
  EXPECT_EQ(key_check(store(), "77abc", kBrowser)->USER_ID, "Kyo");
  EXPECT_FALSE(key_check(store(), "abc", kBrowser));
}

TEST_F(UsersTest, NewKeysArePositiveDistinctAndSpreadOverTheRange) {
  std::set<long> keys;
  bool high = false;
  for (int i = 0; i < 200; ++i) {
    const long key = draw_session_key(store());
    ASSERT_GE(key, 1);
    ASSERT_LE(key, 0x7FFFFFFFL);
    keys.insert(key);
    high = high || key >= (1L << 30);
  }
  EXPECT_EQ(keys.size(), 200u);
  EXPECT_TRUE(high);
}

// --- Logging in ---

class LoginTest : public UsersTest {
 protected:
  void SetUp() override {
    write("user.mst",
          "Taro,Taro Yamada,1,,secret,0,1,1,1,,,0,\n"
          "Kyo,Front Desk,1,,desk,0,1,2,1,,,0,\n"
          "Open,No Password,1,,,0,1,1,1,,,0,\n");
  }
  std::optional<Login> log_in(std::string uid, const std::string& pw, const Client& c = kBrowser,
                              bool log = true) {
    std::optional<Login> l = login_check(store(), w(), uid, pw, c, log);
    if (l) {
      EXPECT_EQ(uid, l->user.USER_ID);
    }
    return l;
  }
};

TEST_F(LoginTest, WrongPasswordsAndUnknownIdsAreRefusedAndWriteNothing) {
  EXPECT_FALSE(log_in("Taro", "Secret"));
  EXPECT_FALSE(log_in("Taro", "secret "));
  EXPECT_FALSE(log_in("nobody", ""));
  EXPECT_FALSE(exists("skey.mst") && !read("skey.mst").empty());
  EXPECT_FALSE(exists("system.log"));
  EXPECT_TRUE(log_in("open", ""));
}

TEST_F(LoginTest, APersonalLogInStoresAKeyAndEndsTheEarlierSession) {
  const std::string before = set_date();
  std::optional<Login> first = log_in("tARO", "secret");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->user.USER_NAME, "Taro Yamada");
  EXPECT_EQ(read("skey.mst"),
            skey(static_cast<std::uint32_t>(first->key), "Taro", "192.0.2.7", "Browser/1.0"));
  EXPECT_EQ(dir_.mode("skey.mst"), 0600u);
  const std::string line = read("system.log");
  ASSERT_GE(line.size(), 16u);
  EXPECT_TRUE(line.substr(0, 16) == before || line.substr(0, 16) == set_date()) << line;
  EXPECT_EQ(line.substr(16), ",Taro,login,0,192.0.2.7,Browser/1.0\n");
  const Client other{"192.0.2.8", "Browser/2.0"};
  std::optional<Login> second = log_in("Taro", "secret", other, false);
  ASSERT_TRUE(second);
  EXPECT_NE(first->key, second->key);
  EXPECT_EQ(read("skey.mst"),
            skey(static_cast<std::uint32_t>(second->key), "Taro", "192.0.2.8", "Browser/2.0"));
  EXPECT_EQ(ReadMST_SKEY(store(), first->key, kBrowser), std::nullopt);
  EXPECT_EQ(read("system.log"), line);  // logging off: no line
}

TEST_F(LoginTest, ASharedAccountGetsItsKeyBackAndIsLoggedOnce) {
  std::optional<Login> first = log_in("kyo", "desk");
  ASSERT_TRUE(first);
  const std::string stored = read("skey.mst");
  const std::string log = read("system.log");
  EXPECT_EQ(log_in("KYO", "desk", Client{"203.0.113.9", "Other/9"})->key, first->key);
  EXPECT_EQ(read("skey.mst"), stored);
  EXPECT_EQ(read("system.log"), log);
  EXPECT_EQ(ReadSYSTEM_LOG(store(), "Kyo")->logins, 1);
}

TEST(SystemLogSwitchTest, LogDateAboveZeroTurnsLoggingOn) {
  for (const char* off : {"", "0", "-5", "none"}) EXPECT_FALSE(logging_on(off)) << off;
  for (const char* on : {"1", "365", "7days"}) EXPECT_TRUE(logging_on(on)) << on;
}

}  // namespace
}  // namespace plazet
