// user.mst, skey.mst, system.log and logging in.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "cases.h"
#include "data_dir_test.h"
#include "text/date.h"
#include "users/session.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

class UsersTest : public testing::DataDirTest {};

// --- skey.mst ---

std::string skey(long key, const std::string& id, const std::string& addr,
                 const std::string& agent) {
  return testing::unescape("\\[" + std::to_string(key) + "]\\{22:" + id + "}\\{252:" + addr +
                           "}\\{254:" + agent + "}");
}
const Client kBrowser{"192.0.2.7", "Browser/1.0"};

TEST_F(UsersTest, APersonalKeyHoldsOnlyForTheBrowserThatLoggedInASharedOneForAny) {
  dir_.write("user.mst", "Taro,T,1,,pw,0,1,1,1,,,0,\nKyo,Desk,1,,desk,0,1,2,1,,,0,\n");
  const std::string head(250, 'x');
  dir_.write("skey.mst", skey(6, "Taro", "192.0.2.7", "Browser/1.0") + skey(7, "Ghost", "", "B") +
                             skey(7, "Taro", "", "B") + skey(8, "Taro", "", head) +
                             skey(77, "Kyo", "", "B"));
  const std::tuple<long, Client, const char*> cases[] = {
      // key, browser, owner
      {6, {"203.0.113.9", "Browser/1.0"}, "Taro"},  // the address may change
      {6, {"192.0.2.7", "Browser/1.1"}, "none"},
      {6, {"192.0.2.7", ""}, "none"},
      {7, {"", "B"}, "none"},  // only the first record of a key counts; its user must exist
      {8, {"", head + "tail"}, "Taro"},  // agents compare on their first 250 bytes
      {8, {"", std::string(249, 'x') + "y"}, "none"},
      {77, {"", "Entirely/Different"}, "Kyo"},
      {9, kBrowser, "none"},
  };
  for (const auto& [key, client, owner] : cases) {
    EXPECT_EQ(ReadMST_SKEY(store(), key, client).value_or("none"), owner)
        << key << " " << client.HTTP_USER_AGENT.substr(0, 20);
  }
  // The key is read from the leading digits of its text.
  EXPECT_EQ(key_check(store(), "77abc", kBrowser)->USER_ID, "Kyo");
  EXPECT_FALSE(key_check(store(), "abc", kBrowser));
}

// --- Logging in ---

class LoginTest : public UsersTest {
 protected:
  void SetUp() override {
    dir_.write("user.mst",
               "Taro,Taro Yamada,1,,secret,0,1,1,1,,,0,\n"
               "Kyo,Front Desk,1,,desk,0,1,2,1,,,0,\n"
               "Open,No Password,1,,,0,1,1,1,,,0,\n");
  }
  std::optional<Login> log_in(std::string uid, const std::string& pw, const Client& c = kBrowser,
                              bool log = true) {
    std::optional<Login> l = login_check(store(), w(), uid, pw, c, log);
    EXPECT_EQ(l ? l->user.USER_ID : uid, uid) << "the typed ID becomes the stored one";
    return l;
  }
};

TEST_F(LoginTest, WrongPasswordsAndUnknownIdsAreRefusedAndWriteNothing) {
  EXPECT_FALSE(log_in("Taro", "Secret"));
  EXPECT_FALSE(log_in("Taro", "secret "));
  EXPECT_FALSE(log_in("nobody", ""));
  EXPECT_FALSE(dir_.exists("skey.mst") && !dir_.read("skey.mst").empty());
  EXPECT_FALSE(dir_.exists("system.log"));
  EXPECT_TRUE(log_in("open", ""));
}

TEST_F(LoginTest, APersonalLogInStoresAKeyAndEndsTheEarlierSession) {
  const std::string before = set_date();
  std::optional<Login> first = log_in("tARO", "secret");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->user.USER_NAME, "Taro Yamada");
  EXPECT_EQ(dir_.read("skey.mst"), skey(first->key, "Taro", "192.0.2.7", "Browser/1.0"));
  EXPECT_EQ(dir_.mode("skey.mst"), 0600u);
  const std::string line = dir_.read("system.log");
  ASSERT_GE(line.size(), 16u);
  EXPECT_TRUE(line.substr(0, 16) == before || line.substr(0, 16) == set_date()) << line;
  EXPECT_EQ(line.substr(16), ",Taro,login,0,192.0.2.7,Browser/1.0\n");
  const Client other{"192.0.2.8", "Browser/2.0"};
  std::optional<Login> second = log_in("Taro", "secret", other, false);
  ASSERT_TRUE(second);
  EXPECT_NE(first->key, second->key);
  EXPECT_EQ(dir_.read("skey.mst"), skey(second->key, "Taro", "192.0.2.8", "Browser/2.0"));
  EXPECT_EQ(ReadMST_SKEY(store(), first->key, kBrowser), std::nullopt);
  EXPECT_EQ(dir_.read("system.log"), line);  // logging off: no line
}

}  // namespace
}  // namespace plazet
