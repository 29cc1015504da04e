// The data the administration pages work on: the sorted user files, the
// language file listing, and deleting users and groups with everything that
// hangs on them.
#include <gtest/gtest.h>

#include <filesystem>

#include "cases.h"
#include "data_dir_test.h"
#include "folders/account_admin.h"
#include "folders/acl_files.h"
#include "store/file_find.h"
#include "users/sorted_users.h"

namespace plazet {
namespace {

using testing::unescape;

// The order of each sorted copy: files.cases.
class SortedUsersTest : public testing::DataDirTest {};

std::string user(const std::string& id, int level, int group) {
  return id + ",N" + id + "," + std::to_string(level) + ",,pw," + std::to_string(group) +
         ",1,1,1,,,0,\n";
}

TEST_F(SortedUsersTest, LinesCarryTenFieldsAndTheListReadsEightOfThem) {
  dir_.write("user.mst",
             "Taro,Taro Yamada,100,taro@example.jp,secret,3,2,2,2,english.lng,t.gif,1,\n");
  ASSERT_TRUE(MakeOderID(store(), w()) && MakeOderLevel(store(), w()) &&
              MakeOderPgroup(store(), w()));
  EXPECT_EQ(dir_.read("user4.mst"),
            "Taro,Taro Yamada,100,taro@example.jp,secret,3,2,2,english.lng,1,\n");
  dir_.write("user4.mst", "stale");
  const std::vector<UserListRow> rows = user_list(fresh(), w(), UserOrder::kGroup);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(std::tuple(rows[0].USER_ID, rows[0].USER_NAME, rows[0].USER_LEVEL, rows[0].P_GROUP,
                       rows[0].MODE),
            std::tuple(std::string("Taro"), std::string("Taro Yamada"), 100L, 3L, 2L));
  // The file order reads user.mst itself: seven commas are no row.
  dir_.write("user.mst", "a,A,1,,pw,0,1,\nb,B,2,,pw,0,1,1,\n");
  const std::vector<UserListRow> file_order = user_list(fresh(), w(), UserOrder::kFile);
  ASSERT_EQ(file_order.size(), 1u);
  EXPECT_EQ(file_order[0].USER_ID, "b");
}

// --- the language file listing -----------------------------------------

TEST(FileFindTest, ListsRegularFilesWhoseNamesMatchInAnyCase) {
  testing::TempDir dir;
  for (const char* name :
       {"japan.lng", "ENGLISH.LNG", "Mixed.Lng", ".lng", "notes.txt", "lng", "a.lngx"}) {
    dir.write(name, "1,x,\n");
  }
  std::filesystem::create_directory(dir.file("folder.lng"));
  std::string found;
  for (const std::string& name : filefind(dir.prefix(), "*.lng")) found += name + " ";
  EXPECT_EQ(found, "ENGLISH.LNG Mixed.Lng japan.lng ");
  EXPECT_TRUE(filefind(dir.file("missing"), "*.lng").empty());
}

// --- deleting users and groups -------------------------------------------

std::string skey(long key, const std::string& id) {
  return unescape("\\[" + std::to_string(key) + "]\\{22:" + id + "}\\{506:}");
}
std::string user_acl(long folder, const std::string& id, long mode) {
  return unescape("\\[" + std::to_string(folder) + "]\\{24:" + id + "}\\[" + std::to_string(mode) +
                  "]");
}
std::string group_acl(long folder, long group, long mode) {
  return unescape("\\[" + std::to_string(folder) + "]\\[" + std::to_string(group) + "]\\[" +
                  std::to_string(mode) + "]");
}

class AccountAdminTest : public testing::DataDirTest {
 protected:
  void SetUp() override {
    dir_.write("user.mst", user("Taro", 1, 2) + user("hana", 1, 2) + user("jiro", 1, 1));
    dir_.write("skey.mst", skey(11, "Taro") + skey(12, "hana"));
    dir_.write("g_user.mst", "1,Taro,\n2,hana,\n2,Taro,\n1,taro,\n");
    dir_.write("group.mst", "1,Sales,\n2,Dev,\n");
    dir_.write("b_u_acl.mst",
               user_acl(3, "Taro", 3) + user_acl(4, "hana", 2) + user_acl(5, "Taro", 1));
    dir_.write("b_g_acl.mst", group_acl(3, 2, 2) + group_acl(4, 1, 1) + group_acl(5, 2, 1));
  }
};

TEST_F(AccountAdminTest, ADeletedUserLeavesNoKeyMembershipOrRight) {
  EXPECT_EQ(remove_user(store(), w(), "Taro"), RemoveResult::kRemoved);
  EXPECT_EQ(dir_.read("user.mst"), user("hana", 1, 2) + user("jiro", 1, 1));
  EXPECT_EQ(dir_.read("skey.mst"), skey(12, "hana"));
  EXPECT_EQ(dir_.read("g_user.mst"), "2,hana,\n1,taro,\n");  // IDs compare exactly
  EXPECT_EQ(dir_.read("b_u_acl.mst"), user_acl(4, "hana", 2));
}

TEST_F(AccountAdminTest, ADeletedGroupLeavesNoRightMembershipOrPrimaryGroup) {
  EXPECT_EQ(remove_group(store(), w(), 2), RemoveResult::kRemoved);
  EXPECT_EQ(dir_.read("group.mst"), "1,Sales,\n");
  EXPECT_EQ(dir_.read("b_g_acl.mst"), group_acl(4, 1, 1));
  EXPECT_EQ(dir_.read("g_user.mst"), "1,Taro,\n1,taro,\n");
  EXPECT_EQ(dir_.read("user.mst"), user("Taro", 1, 0) + user("hana", 1, 0) + user("jiro", 1, 1));
}

// A step that cannot write stops the service before the master line goes,
// so the user or group is still there to be deleted again.
TEST_F(AccountAdminTest, AFailedStepLeavesTheMasterLine) {
  const struct {
    const char* blocked;
    bool group;
    const char* master;
  } cases[] = {
      {"skey.mst.TMP", false, "user.mst"},    {"g_user.mst.TMP", false, "user.mst"},
      {"b_u_acl.mst.tmp", false, "user.mst"}, {"b_g_acl.mst.tmp", true, "group.mst"},
      {"g_user.mst.tmp", true, "group.mst"},  {"user.mst.tmp", true, "group.mst"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    SetUp();
    const std::string before = dir_.read(c.master);
    block(c.blocked);
    Store& s = fresh();
    EXPECT_EQ(c.group ? remove_group(s, w(), 2) : remove_user(s, w(), "Taro"),
              RemoveResult::kNotStored);
    EXPECT_EQ(dir_.read(c.master), before);
    unblock(c.blocked);
  }
}

}  // namespace
}  // namespace plazet
