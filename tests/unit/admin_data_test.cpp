// The data the administration pages work on: the sorted user files, the
// language file listing, and deleting users and groups with everything that
// hangs on them.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cases.h"
#include "data_dir_test.h"
#include "folders/account_admin.h"
#include "folders/acl_files.h"
#include "store/file_find.h"
#include "users/sorted_users.h"

namespace plazet {
namespace {

using testing::unescape;

class SortedUsersTest : public testing::DataDirTest {
 protected:
  // The IDs of a file's lines, joined by spaces.
  std::string ids(const std::string& name) const {
    std::string out, line;
    std::istringstream in(dir_.read(name));
    while (std::getline(in, line)) out += (out.empty() ? "" : " ") + line.substr(0, line.find(','));
    return out;
  }
  void make_all() {
    ASSERT_TRUE(MakeOderID(store(), w()));
    ASSERT_TRUE(MakeOderLevel(store(), w()));
    ASSERT_TRUE(MakeOderPgroup(store(), w()));
  }
};

std::string user(const std::string& id, int level, int group, int mode = 1) {
  return id + ",N" + id + "," + std::to_string(level) + ",,pw," + std::to_string(group) + ",1," +
         std::to_string(mode) + ",1,,,0,\n";
}

TEST_F(SortedUsersTest, EachCopyOrdersByItsKey) {
  struct Case {
    const char* name;
    std::string users;
    const char *by_id, *by_level, *by_group;
  };
  const Case cases[] = {
      {"IDs ignore letter case", user("b", 1, 0) + user("A", 1, 0) + user("c", 1, 0), "A b c",
       "A b c", "A b c"},
      {"highest level first", user("x", 100, 0) + user("y", 5, 0) + user("z", 50, 0), "x y z",
       "x z y", "x z y"},
      {"group 0 before group 1 before group 10",
       user("p", 1, 1) + user("q", 1, 0) + user("r", 1, 10), "p q r", "p q r", "q p r"},
      {"an empty file gives empty copies", "", "", "", ""},
      // Lines that are no record: an empty first field has no slot, an ID no
      // record holds writes nothing, a line without a comma has no ID.
      {"lines that are no record", ",N,5,,pw,0,1,1,1,,,0,\nghost,\nno comma\n" + user("m", 5, 0),
       "m", "m", "m"},
      // Both slots find the first record whose ID upper-cases alike.
      {"IDs alike but for case", user("TARO", 5, 2) + user("Taro", 9, 1), "TARO TARO", "TARO TARO",
       "TARO TARO"},
      {"a trail byte is no letter", user("\x83\x61", 1, 0) + user("\x83\x41", 1, 0),
       "\x83\x41 \x83\x61", "\x83\x41 \x83\x61", "\x83\x41 \x83\x61"},
      // IDs compare upper-cased, as they are looked up.
      {"letters before the underscore", user("_x", 1, 0) + user("ax", 1, 0), "ax _x", "ax _x",
       "ax _x"},
      // Equal keys stay where the exchange sort leaves them, which is not
      // where a stable sort would (c a b).
      {"equal levels", user("a", 5, 0) + user("b", 5, 0) + user("c", 9, 0), "a b c", "c b a",
       "c b a"},
      {"equal groups", user("a", 1, 2) + user("b", 1, 2) + user("c", 1, 1), "a b c", "a b c",
       "c b a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.write("user.mst", c.users);
    fresh();
    make_all();
    EXPECT_EQ(ids("user2.mst"), c.by_id);
    EXPECT_EQ(ids("user3.mst"), c.by_level);
    EXPECT_EQ(ids("user4.mst"), c.by_group);
  }
}

TEST_F(SortedUsersTest, LinesCarryTenFieldsAndTheListReadsEightOfThem) {
  dir_.write("user.mst",
             "Taro,Taro Yamada,100,taro@example.jp,secret,3,2,2,2,english.lng,t.gif,1,\n");
  make_all();
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
