// b_title.mst, b_title2.mst, the access files and the rights they give.
#include <gtest/gtest.h>

#include "data_dir_test.h"
#include "folders/access.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"

namespace plazet {
namespace {

using testing::be32;
using testing::padded;

class FoldersTest : public testing::DataDirTest {};

std::string settings_bytes(std::uint32_t number, std::uint32_t read_level = 0, std::uint32_t write_level = 0,
                           std::uint32_t read_chk = 0, std::uint32_t rewrite = 0) {
  return be32(number) + be32(0) + be32(read_level) + be32(write_level) + be32(read_chk) + be32(rewrite) +
         std::string(8800 - 24, '\0');
}

TEST_F(FoldersTest, ACreatedFolderGetsAFreshSettingsRecordAndNoDirectory) {
  write("b_title.mst", "A,1,Dir,\n A1,2,Board,\nB,3,Dir,\n");
  write("b_title2.mst", settings_bytes(2, 0, 30));
  long number = 0;
  ASSERT_EQ(create_folder(fresh(), w(), 1, Placement::kAfter, 2, "N", &number), kFolderCreated);
  EXPECT_EQ(number, 4);
  EXPECT_EQ(read("b_title2.mst"), settings_bytes(2, 0, 30) + settings_bytes(4, 0, 0, 1, 1));
  EXPECT_FALSE(exists("4"));
}

TEST_F(FoldersTest, SettingsRecordsHoldEveryFieldBigEndianAtItsOffset) {
  B_TITLE2 s;
  s.FOLDER_NO = 0x01020304;
  s.ADD_MAX = 5;
  s.READ_LEVEL = 10;
  s.WRITE_LEVEL = 50;
  s.READ_CHK = 2;
  s.REWRITE_FLG = -2;
  s.TITLEPIC = std::string(300, 't');
  s.BACKPIC = "back.jpg";
  s.DIRPIC = "dir.gif";
  s.INFO = "About\rthis board \x95\x5C";
  s.DEFO = std::string(5000, 'd');
  s.FONTCOLOR = "123456789";
  s.RESFONTCOLOR = "0000FF";
  const std::string bytes = be32(0x01020304) + be32(5) + be32(10) + be32(50) + be32(2) + be32(0xFFFFFFFE) +
                            padded(std::string(251, 't'), 252) + padded("back.jpg", 252) + padded("dir.gif", 252) +
                            padded("About\rthis board \x95\x5C", 4002) + padded(std::string(4001, 'd'), 4002) +
                            padded("1234567", 8) + padded("0000FF", 8);
  ASSERT_EQ(bytes.size(), 8800u);
  write("b_title2.mst", settings_bytes(3));
  ASSERT_TRUE(InsertB_TITLE2(store(), w(), s));
  EXPECT_EQ(read("b_title2.mst"), settings_bytes(3) + bytes);
  std::optional<B_TITLE2> back = ReadB_TITLE2(fresh(), 0x01020304);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->REWRITE_FLG, -2);
  EXPECT_EQ(back->TITLEPIC, std::string(251, 't'));
  EXPECT_EQ(back->INFO, s.INFO);
  EXPECT_EQ(back->DEFO, std::string(4001, 'd'));
  EXPECT_EQ(back->FONTCOLOR, "1234567");
  EXPECT_EQ(back->RESFONTCOLOR, "0000FF");
  // A colour that fills its field to the last byte does not run into the next.
  std::string full = settings_bytes(4);
  full.replace(8784, 16, "1111111122222222");
  write("b_title2.mst", full);
  EXPECT_EQ(ReadB_TITLE2(fresh(), 4)->FONTCOLOR, "11111111");
}

TEST_F(FoldersTest, SettingsWritersKeepOtherRecords) {
  const std::string five1 = settings_bytes(5, 1), six2 = settings_bytes(6, 2), five3 = settings_bytes(5, 3);
  write("b_title2.mst", five1 + six2 + five3);
  EXPECT_EQ(ReadB_TITLE2(store(), 5)->READ_LEVEL, 1);  // the first record of the number
  B_TITLE2 s;
  s.FOLDER_NO = 5;
  s.READ_LEVEL = 9;
  ASSERT_TRUE(ReWriteB_TITLE2(store(), w(), s));
  EXPECT_EQ(read("b_title2.mst"), settings_bytes(5, 9) + six2 + settings_bytes(5, 9));
  s.FOLDER_NO = 7;
  ASSERT_TRUE(ReWriteB_TITLE2(store(), w(), s));  // a folder without a record gets one
  EXPECT_EQ(read("b_title2.mst"), settings_bytes(5, 9) + six2 + settings_bytes(5, 9) + settings_bytes(7, 9));
  ASSERT_TRUE(DeleteB_TITLE2(store(), w(), 5));
  EXPECT_EQ(read("b_title2.mst"), six2 + settings_bytes(7, 9));
  EXPECT_FALSE(DeleteB_TITLE2(store(), w(), 8));
  EXPECT_EQ(read("b_title2.mst"), six2 + settings_bytes(7, 9));
}

// --- Access files ---

std::string g_acl(std::uint32_t folder, std::uint32_t group, std::uint32_t mode) {
  return be32(folder) + be32(group) + be32(mode);
}
std::string u_acl(std::uint32_t folder, const std::string& id, std::uint32_t mode) {
  return be32(folder) + padded(id, 24) + be32(mode);
}

TEST_F(FoldersTest, AccessEntriesAreKeyedBigEndianRecords) {
  EXPECT_FALSE(WriteB_G_ACL(store(), w(), B_G_ACL{5, 0x01020304, 1}));
  EXPECT_FALSE(WriteB_G_ACL(store(), w(), B_G_ACL{5, 7, 1}));
  EXPECT_TRUE(WriteB_G_ACL(store(), w(), B_G_ACL{5, 7, 2}));  // replaced in place
  EXPECT_EQ(read("b_g_acl.mst"), g_acl(5, 0x01020304, 1) + g_acl(5, 7, 2));
  EXPECT_FALSE(WriteB_U_ACL(store(), w(), B_U_ACL{5, "Taro", 1}));
  EXPECT_FALSE(WriteB_U_ACL(store(), w(), B_U_ACL{5, "taro", 2}));  // IDs compare exactly
  EXPECT_FALSE(WriteB_U_ACL(store(), w(), B_U_ACL{6, std::string(30, 'u'), 2}));
  EXPECT_TRUE(WriteB_U_ACL(store(), w(), B_U_ACL{5, "Taro", 3}));
  EXPECT_EQ(read("b_u_acl.mst"), u_acl(5, "Taro", 3) + u_acl(5, "taro", 2) + u_acl(6, std::string(23, 'u'), 2));
  EXPECT_EQ(ReadB_U_ACL(store(), 5, 1)->USER_ID, "taro");
  EXPECT_EQ(ReadB_G_ACL(store(), 5, 1)->GROUP_NO, 7);
  EXPECT_FALSE(ReadB_G_ACL(store(), 5, 2));
  // Folder 0 deletes a group's entries on every folder; user entries match exactly.
  write("b_g_acl.mst", g_acl(5, 7, 1) + g_acl(6, 7, 2) + g_acl(5, 8, 2) + g_acl(6, 8, 1));
  EXPECT_FALSE(DeleteB_G_ACL(fresh(), w(), 5, 9));
  EXPECT_TRUE(DeleteB_G_ACL(store(), w(), 5, 8));
  EXPECT_TRUE(DeleteB_G_ACL(store(), w(), 0, 7));
  EXPECT_EQ(read("b_g_acl.mst"), g_acl(6, 8, 1));
  EXPECT_FALSE(DeleteB_U_ACL(store(), w(), 0, "Taro"));
  EXPECT_FALSE(DeleteB_U_ACL(store(), w(), 5, "TARO"));
  EXPECT_TRUE(DeleteB_U_ACL(store(), w(), 5, "Taro"));
  EXPECT_EQ(read("b_u_acl.mst"), u_acl(5, "taro", 2) + u_acl(6, std::string(23, 'u'), 2));
}

// The right of Taro (primary group 3) on folder 5, from the files as they lie.
struct RightCase {
  const char* name;
  long level;
  std::string settings;  // b_title2.mst
  std::string users;     // b_u_acl.mst
  std::string groups;    // b_g_acl.mst
  std::string members;   // g_user.mst
  int right;
};

class RightsTest : public testing::DataDirTest, public ::testing::WithParamInterface<RightCase> {};

TEST_P(RightsTest, RightFollowsLevelEntriesAndGroups) {
  const RightCase& c = GetParam();
  write("b_title.mst", "A,1,Dir,\n A5,5,Board,\n");
  write("b_title2.mst", c.settings);
  write("b_u_acl.mst", c.users);
  write("b_g_acl.mst", c.groups);
  write("g_user.mst", c.members);
  MST_USER taro;
  taro.USER_ID = "Taro";
  taro.USER_LEVEL = c.level;
  taro.P_GROUP = 3;
  EXPECT_EQ(chk_ACL(fresh(LockMode::kShared), taro, 5), c.right);
}

const std::string kLevels = settings_bytes(5, 10, 50);
const RightCase kRights[] = {
    {"AdministratorWithoutRecord", 100, "", "", "", "", kRightManage},
    {"AdministratorAboveLevels", 100, settings_bytes(5, 200, 200), u_acl(5, "Taro", 1), "", "", kRightManage},
    {"LevelNinetyNineIsNoAdministrator", 99, settings_bytes(5, 200, 200), u_acl(5, "Taro", 1), "", "", kRightRead},
    {"NoRecordNoEntries", 99, "", "", "", "", kRightNone},
    {"BelowReadLevel", 9, kLevels, "", "", "", kRightNone},
    {"AtReadLevel", 10, kLevels, "", "", "", kRightRead},
    {"BelowWriteLevel", 49, kLevels, "", "", "", kRightRead},
    {"AtWriteLevel", 50, kLevels, "", "", "", kRightWrite},
    {"NewFolderRecordLetsAllWrite", 0, settings_bytes(5), "", "", "", kRightWrite},
    {"UserEntryTwo", 0, kLevels, u_acl(5, "Hana", 3) + u_acl(5, "Taro", 2), "", "", kRightWrite},
    {"UserEntryThreeAtAnyLevel", 0, kLevels, u_acl(5, "Taro", 3), "", "", kRightManage},
    {"UserEntryThreeWithoutRecord", 0, "", u_acl(5, "Taro", 3), "", "", kRightManage},
    {"LaterUserEntryCounts", 0, kLevels, u_acl(5, "Taro", 3) + u_acl(5, "Taro", 1), "", "", kRightRead},
    {"UserEntryOneKeepsLevelWrite", 60, kLevels, u_acl(5, "Taro", 1), "", "", kRightWrite},
    {"UserIdsCompareExactly", 30, kLevels, u_acl(5, "taro", 3) + u_acl(5, "TARO", 2) + u_acl(5, "Tar", 3), "", "", kRightRead},
    {"PrimaryGroupEntry", 0, kLevels, "", g_acl(5, 3, 2), "", kRightWrite},
    {"GroupEntryOneKeepsLevelWrite", 60, kLevels, "", g_acl(5, 3, 1), "", kRightWrite},
    {"MembershipEntry", 0, kLevels, "", g_acl(5, 8, 2) + g_acl(5, 7, 2), "7,Hana,\n9,Taro,\n7,Taro,\n", kRightWrite},
    {"GroupEntryWithoutRecord", 0, "", "", g_acl(5, 7, 1), "7,Taro,\n", kRightRead},
    {"OtherGroupsAndFolders", 0, kLevels, u_acl(6, "Taro", 3), g_acl(5, 7, 2) + g_acl(5, 4, 2) + g_acl(6, 3, 2), "7,Hana,\n7,taro,\n", kRightNone},
    {"MembershipsEndAtGroupZero", 30, "", "", g_acl(5, 7, 2), "0,Taro,\n7,Taro,\n", kRightNone},
    {"NoInheritanceFromTheDir", 0, settings_bytes(1) + kLevels, u_acl(1, "Taro", 3), g_acl(1, 3, 2), "", kRightNone},
};
INSTANTIATE_TEST_SUITE_P(Files, RightsTest, ::testing::ValuesIn(kRights),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FoldersTest, RightsFollowChangesMadeInTheSameRequest) {
  write("b_title.mst", "A,1,Dir,\nB,2,Board,\nOld,3,Board,\n");
  write("b_title2.mst", settings_bytes(3, 10, 50));
  write("b_u_acl.mst", u_acl(3, "Taro", 3));
  MST_USER taro;
  taro.USER_ID = "Taro";
  EXPECT_EQ(chk_ACL(store(), taro, 3), kRightManage);
  ASSERT_TRUE(DeleteB_U_ACL(store(), w(), 3, "Taro"));
  EXPECT_EQ(chk_ACL(store(), taro, 3), kRightNone);
  EXPECT_FALSE(WriteB_G_ACL(store(), w(), B_G_ACL{3, 7, 1}));
  ASSERT_TRUE(WriteGROUP_USER(store(), w(), GROUP_USER{7, "Taro"}));
  EXPECT_EQ(chk_ACL(store(), taro, 3), kRightRead);
  B_TITLE2 open;
  open.FOLDER_NO = 3;
  ASSERT_TRUE(ReWriteB_TITLE2(store(), w(), open));
  EXPECT_EQ(chk_ACL(store(), taro, 3), kRightWrite);
  ASSERT_TRUE(DeleteB_G_ACL(store(), w(), 0, 7));
  // A folder that takes over a removed folder's number finds its entries in force.
  EXPECT_FALSE(WriteB_U_ACL(store(), w(), B_U_ACL{3, "Taro", 3}));
  ASSERT_TRUE(DeleteB_TITLE(store(), w(), 3));
  ASSERT_TRUE(DeleteB_TITLE2(store(), w(), 3));
  long number = 0;
  ASSERT_EQ(create_folder(store(), w(), 0, Placement::kAfter, B_TITLE::kBoard, "New", &number), kFolderCreated);
  ASSERT_EQ(number, 3);
  EXPECT_EQ(chk_ACL(store(), taro, 3), kRightManage);
}

}  // namespace
}  // namespace plazet
