#include "folders/access.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "folders/folder_admin.h"
#include "users/group_files.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/data_lock.h"
#include "temp_dir.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

constexpr const char* kGroupAcl = "b_g_acl.mst";
constexpr const char* kUserAcl = "b_u_acl.mst";
constexpr const char* kSettings = "b_title2.mst";
constexpr const char* kMembers = "g_user.mst";

// Each test has its own data directory and one logged-in user (by default
// Taro, level 30, primary group 3); requests are made one at a time.
class AccessTest : public ::testing::Test {
 protected:
  AccessTest() {
    user_.USER_ID = "Taro";
    user_.USER_LEVEL = 30;
    user_.P_GROUP = 3;
  }

  Request& fresh(LockMode mode = LockMode::kExclusive) {
    req_.reset();
    req_.emplace();
    req_->sys.DATA_FILE_PATH = dir_.prefix();
    req_->lock = DataLock::acquire(dir_.prefix(), mode);
    req_->user = user_;
    return *req_;
  }
  Request& req() { return req_ ? *req_ : fresh(); }

  // The right of the user on `folder_no` in a new request.
  int right_as(long level, long folder_no) {
    user_.USER_LEVEL = level;
    fresh();
    return chk_ACL(req(), folder_no);
  }
  int right(long folder_no) { return chk_ACL(req(), folder_no); }

  void block(const std::string& work_name) const {
    std::filesystem::create_directory(dir_.file(work_name));
  }

  TempDir dir_;
  MST_USER user_;
  std::optional<Request> req_;
};

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string g_bytes(std::uint32_t folder, std::uint32_t group, std::uint32_t mode) {
  return be32(folder) + be32(group) + be32(mode);
}

std::string u_bytes(std::uint32_t folder, const std::string& id, std::uint32_t mode) {
  std::string field(24, '\0');
  field.replace(0, id.size(), id);
  return be32(folder) + field + be32(mode);
}

// A settings record with the two level thresholds; the rest zero.
std::string levels_record(std::uint32_t folder, std::uint32_t read_level,
                          std::uint32_t write_level) {
  std::string r(8800, '\0');
  r.replace(0, 4, be32(folder));
  r.replace(8, 4, be32(read_level));
  r.replace(12, 4, be32(write_level));
  return r;
}

B_U_ACL user_entry(std::int32_t folder, const std::string& id, std::int32_t mode) {
  B_U_ACL e;
  e.FOLDER_NO = folder;
  e.USER_ID = id;
  e.ACL_MODE = mode;
  return e;
}

// --- Entry files ---

TEST_F(AccessTest, GroupEntriesAreTwelveBigEndianBytesOverwrittenInPlaceByKey) {
  EXPECT_FALSE(WriteB_G_ACL(req(), B_G_ACL{5, 0x01020304, 1}));
  EXPECT_FALSE(WriteB_G_ACL(req(), B_G_ACL{6, 7, 2}));
  EXPECT_FALSE(WriteB_G_ACL(req(), B_G_ACL{5, 7, 1}));
  EXPECT_EQ(dir_.read(kGroupAcl), g_bytes(5, 0x01020304, 1) + g_bytes(6, 7, 2) + g_bytes(5, 7, 1));
  EXPECT_TRUE(WriteB_G_ACL(req(), B_G_ACL{5, 7, 2}));
  EXPECT_EQ(dir_.read(kGroupAcl), g_bytes(5, 0x01020304, 1) + g_bytes(6, 7, 2) + g_bytes(5, 7, 2));
}

TEST_F(AccessTest, UserEntriesAreThirtyTwoBytesKeyedByTheExactId) {
  EXPECT_FALSE(WriteB_U_ACL(req(), user_entry(5, "Taro", 1)));
  EXPECT_FALSE(WriteB_U_ACL(req(), user_entry(5, "taro", 2)));
  EXPECT_FALSE(WriteB_U_ACL(req(), user_entry(6, "Taro", 3)));
  EXPECT_TRUE(WriteB_U_ACL(req(), user_entry(5, "Taro", 3)));
  EXPECT_EQ(dir_.read(kUserAcl),
            u_bytes(5, "Taro", 3) + u_bytes(5, "taro", 2) + u_bytes(6, "Taro", 3));
}

TEST_F(AccessTest, UserIdsLongerThanTheirFieldAreCut) {
  const std::string long_id(30, 'u');
  EXPECT_FALSE(WriteB_U_ACL(req(), user_entry(5, long_id, 2)));
  EXPECT_EQ(dir_.read(kUserAcl), u_bytes(5, std::string(23, 'u'), 2));
  EXPECT_TRUE(WriteB_U_ACL(req(), user_entry(5, long_id, 1)));
  EXPECT_EQ(dir_.read(kUserAcl), u_bytes(5, std::string(23, 'u'), 1));
  std::optional<B_U_ACL> e = ReadB_U_ACL(req(), 5, 0);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->USER_ID, std::string(23, 'u'));
}

TEST_F(AccessTest, ReadEnumeratesAFoldersEntriesInFileOrder) {
  dir_.write(kGroupAcl, g_bytes(5, 1, 1) + g_bytes(6, 2, 2) + g_bytes(5, 3, 2));
  dir_.write(kUserAcl, u_bytes(6, "Jiro", 1) + u_bytes(5, "Hana", 2) + u_bytes(5, "Taro", 3));

  std::optional<B_G_ACL> g = ReadB_G_ACL(req(), 5, 0);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->GROUP_NO, 1);
  EXPECT_EQ(g->ACL_MODE, 1);
  g = ReadB_G_ACL(req(), 5, 1);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->FOLDER_NO, 5);
  EXPECT_EQ(g->GROUP_NO, 3);
  EXPECT_EQ(g->ACL_MODE, 2);
  EXPECT_FALSE(ReadB_G_ACL(req(), 5, 2));
  EXPECT_FALSE(ReadB_G_ACL(req(), 7, 0));

  std::optional<B_U_ACL> u = ReadB_U_ACL(req(), 5, 0);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_ID, "Hana");
  EXPECT_EQ(u->ACL_MODE, 2);
  u = ReadB_U_ACL(req(), 5, 1);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_ID, "Taro");
  EXPECT_EQ(u->ACL_MODE, 3);
  EXPECT_FALSE(ReadB_U_ACL(req(), 5, 2));
  ASSERT_TRUE(ReadB_U_ACL(req(), 6, 0));
  EXPECT_EQ(ReadB_U_ACL(req(), 6, 0)->USER_ID, "Jiro");
}

TEST_F(AccessTest, MissingEntryFilesReadAsNoEntriesAndAreLeftBehindPrivate) {
  EXPECT_FALSE(ReadB_G_ACL(req(), 1, 0));
  EXPECT_FALSE(ReadB_U_ACL(req(), 1, 0));
  for (const char* name : {kGroupAcl, kUserAcl}) {
    struct stat st {};
    ASSERT_EQ(::stat(dir_.file(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_size, 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
}

TEST_F(AccessTest, TrailingPartialEntriesAreIgnoredAndDroppedByDeletion) {
  dir_.write(kGroupAcl, g_bytes(5, 1, 1) + g_bytes(5, 2, 2).substr(0, 8));
  dir_.write(kUserAcl, u_bytes(5, "Hana", 1) + u_bytes(5, "Taro", 3).substr(0, 20));
  ASSERT_TRUE(ReadB_G_ACL(req(), 5, 0));
  EXPECT_FALSE(ReadB_G_ACL(req(), 5, 1));
  ASSERT_TRUE(ReadB_U_ACL(req(), 5, 0));
  EXPECT_FALSE(ReadB_U_ACL(req(), 5, 1));

  EXPECT_TRUE(DeleteB_G_ACL(req(), 5, 1));
  EXPECT_EQ(dir_.read(kGroupAcl), "");
  EXPECT_FALSE(DeleteB_U_ACL(req(), 5, "Jiro"));
  EXPECT_EQ(dir_.read(kUserAcl), u_bytes(5, "Hana", 1));
}

TEST_F(AccessTest, DeleteGroupEntriesOnOneFolderOrWithFolderZeroOnEvery) {
  const std::string all = g_bytes(5, 7, 1) + g_bytes(6, 7, 2) + g_bytes(5, 8, 2) + g_bytes(6, 8, 1);
  dir_.write(kGroupAcl, all);
  EXPECT_FALSE(DeleteB_G_ACL(req(), 9, 7));
  EXPECT_FALSE(DeleteB_G_ACL(req(), 5, 9));
  EXPECT_EQ(dir_.read(kGroupAcl), all);
  EXPECT_TRUE(DeleteB_G_ACL(req(), 5, 8));
  EXPECT_EQ(dir_.read(kGroupAcl), g_bytes(5, 7, 1) + g_bytes(6, 7, 2) + g_bytes(6, 8, 1));
  EXPECT_TRUE(DeleteB_G_ACL(req(), 0, 7));
  EXPECT_EQ(dir_.read(kGroupAcl), g_bytes(6, 8, 1));
  EXPECT_FALSE(dir_.exists("b_g_acl.mst.tmp"));
}

TEST_F(AccessTest, DeleteUserEntryMatchesFolderAndExactIdWithoutWildcard) {
  const std::string all = u_bytes(5, "Taro", 1) + u_bytes(6, "Taro", 2) + u_bytes(5, "Hana", 2);
  dir_.write(kUserAcl, all);
  EXPECT_FALSE(DeleteB_U_ACL(req(), 0, "Taro"));
  EXPECT_FALSE(DeleteB_U_ACL(req(), 5, "taro"));
  EXPECT_EQ(dir_.read(kUserAcl), all);
  EXPECT_TRUE(DeleteB_U_ACL(req(), 5, "Taro"));
  EXPECT_EQ(dir_.read(kUserAcl), u_bytes(6, "Taro", 2) + u_bytes(5, "Hana", 2));
  EXPECT_FALSE(dir_.exists("b_u_acl.mst.tmp"));
}

TEST_F(AccessTest, DeletionThatCannotWriteItsWorkFileRemovesNothingAndSaysSo) {
  const std::string groups = g_bytes(5, 7, 1) + g_bytes(6, 8, 2);
  const std::string users = u_bytes(5, "Taro", 1) + u_bytes(6, "Hana", 2);
  dir_.write(kGroupAcl, groups);
  dir_.write(kUserAcl, users);
  block("b_g_acl.mst.tmp");
  block("b_u_acl.mst.tmp");
  EXPECT_FALSE(DeleteB_G_ACL(req(), 5, 7));
  EXPECT_FALSE(DeleteB_U_ACL(req(), 5, "Taro"));
  EXPECT_EQ(dir_.read(kGroupAcl), groups);
  EXPECT_EQ(dir_.read(kUserAcl), users);
  EXPECT_TRUE(ReadB_G_ACL(req(), 5, 0));
  EXPECT_TRUE(ReadB_U_ACL(req(), 5, 0));
}

TEST_F(AccessTest, EntryWritersRefuseASharedLock) {
  const std::string groups = g_bytes(5, 7, 1);
  const std::string users = u_bytes(5, "Taro", 1);
  dir_.write(kGroupAcl, groups);
  dir_.write(kUserAcl, users);
  fresh(LockMode::kShared);
  EXPECT_THROW((void)WriteB_G_ACL(req(), B_G_ACL{5, 7, 2}), LockViolation);
  EXPECT_THROW((void)WriteB_G_ACL(req(), B_G_ACL{5, 9, 2}), LockViolation);
  EXPECT_THROW((void)WriteB_U_ACL(req(), user_entry(5, "Taro", 2)), LockViolation);
  EXPECT_THROW((void)DeleteB_G_ACL(req(), 5, 7), LockViolation);
  EXPECT_THROW((void)DeleteB_G_ACL(req(), 5, 9), LockViolation);
  EXPECT_THROW((void)DeleteB_U_ACL(req(), 5, "Taro"), LockViolation);
  EXPECT_THROW((void)DeleteB_U_ACL(req(), 5, "Hana"), LockViolation);
  EXPECT_EQ(dir_.read(kGroupAcl), groups);
  EXPECT_EQ(dir_.read(kUserAcl), users);
}

// --- The right of a user ---

TEST_F(AccessTest, NobodyLoggedInHasNoRight) {
  dir_.write(kUserAcl, u_bytes(5, "", 3) + u_bytes(5, "Taro", 3));
  dir_.write(kSettings, levels_record(5, 0, 0));
  fresh();
  req().user.reset();
  EXPECT_EQ(right(5), kRightNone);
}

TEST_F(AccessTest, AdministratorManagesEveryFolderEvenWithoutARecord) {
  dir_.write(kSettings, levels_record(5, 200, 200));
  dir_.write(kUserAcl, u_bytes(5, "Taro", 1));
  EXPECT_EQ(right_as(100, 5), kRightManage);
  EXPECT_EQ(right_as(100, 6), kRightManage);
  EXPECT_EQ(right_as(99, 5), kRightRead);
}

TEST_F(AccessTest, NoRecordAndNoEntriesGiveNoRight) {
  EXPECT_EQ(right_as(0, 5), kRightNone);
  EXPECT_EQ(right_as(99, 5), kRightNone);
}

TEST_F(AccessTest, LevelThresholdsGiveReadAndWrite) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  EXPECT_EQ(right_as(9, 5), kRightNone);
  EXPECT_EQ(right_as(10, 5), kRightRead);
  EXPECT_EQ(right_as(30, 5), kRightRead);
  EXPECT_EQ(right_as(49, 5), kRightRead);
  EXPECT_EQ(right_as(50, 5), kRightWrite);
}

TEST_F(AccessTest, NewFolderRecordLetsEveryUserWrite) {
  dir_.write(kSettings, levels_record(5, 0, 0));
  EXPECT_EQ(right_as(0, 5), kRightWrite);
}

TEST_F(AccessTest, UserEntryOfTwoGivesWriteBelowTheWriteLevel) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kUserAcl, u_bytes(5, "Hana", 3) + u_bytes(5, "Taro", 2));
  EXPECT_EQ(right_as(30, 5), kRightWrite);
  EXPECT_EQ(right_as(0, 5), kRightWrite);
}

TEST_F(AccessTest, UserEntryOfThreeMakesABoardManagerAtAnyLevel) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kUserAcl, u_bytes(5, "Taro", 3) + u_bytes(6, "Taro", 3));
  EXPECT_EQ(right_as(0, 5), kRightManage);
  EXPECT_EQ(right_as(30, 5), kRightManage);
  EXPECT_EQ(right_as(60, 5), kRightManage);
  EXPECT_EQ(right_as(0, 6), kRightManage);  // no record
}

TEST_F(AccessTest, LaterOfTwoUserEntriesForTheSameUserCounts) {
  dir_.write(kSettings, levels_record(5, 10, 50) + levels_record(6, 10, 50));
  dir_.write(kUserAcl, u_bytes(5, "Taro", 3) + u_bytes(5, "Taro", 1) + u_bytes(6, "Taro", 1) +
                           u_bytes(6, "Hana", 1) + u_bytes(6, "Taro", 3));
  EXPECT_EQ(right_as(0, 5), kRightRead);
  EXPECT_EQ(right_as(0, 6), kRightManage);
}

TEST_F(AccessTest, UserEntryOfOneDoesNotTakeAwayTheLevelsWriteRight) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kUserAcl, u_bytes(5, "Taro", 1));
  EXPECT_EQ(right_as(60, 5), kRightWrite);
  EXPECT_EQ(right_as(0, 5), kRightRead);
}

TEST_F(AccessTest, UserIdsAreComparedWithTheirLetterCase) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kUserAcl, u_bytes(5, "taro", 3) + u_bytes(5, "TARO", 2) + u_bytes(5, "Tar", 3));
  EXPECT_EQ(right_as(30, 5), kRightRead);
}

TEST_F(AccessTest, GroupEntryForThePrimaryGroupGivesItsRight) {
  dir_.write(kSettings, levels_record(5, 10, 50) + levels_record(6, 10, 50));
  dir_.write(kGroupAcl, g_bytes(5, 3, 2) + g_bytes(6, 3, 1));
  EXPECT_EQ(right_as(30, 5), kRightWrite);
  EXPECT_EQ(right_as(0, 5), kRightWrite);
  EXPECT_EQ(right_as(0, 6), kRightRead);
  EXPECT_EQ(right_as(60, 6), kRightWrite);
}

TEST_F(AccessTest, GroupEntryForAMembershipGivesItsRight) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kMembers, "7,Hana,\n9,Taro,\n7,Taro,\n");
  dir_.write(kGroupAcl, g_bytes(5, 8, 2) + g_bytes(5, 7, 2));
  EXPECT_EQ(right_as(30, 5), kRightWrite);
  EXPECT_EQ(right_as(0, 5), kRightWrite);
}

TEST_F(AccessTest, GroupEntriesWorkWithoutASettingsRecord) {
  dir_.write(kMembers, "7,Taro,\n");
  dir_.write(kGroupAcl, g_bytes(5, 7, 1) + g_bytes(6, 3, 2));
  EXPECT_EQ(right_as(0, 5), kRightRead);
  EXPECT_EQ(right_as(0, 6), kRightWrite);
}

TEST_F(AccessTest, GroupEntriesOfOtherGroupsAndFoldersGiveNothing) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kMembers, "7,Hana,\n7,taro,\n");
  dir_.write(kGroupAcl, g_bytes(5, 7, 2) + g_bytes(5, 4, 2) + g_bytes(6, 3, 2));
  dir_.write(kUserAcl, u_bytes(6, "Taro", 3));
  EXPECT_EQ(right_as(30, 5), kRightRead);
  EXPECT_EQ(right_as(0, 5), kRightNone);
}

TEST_F(AccessTest, MembershipsEndAtGroupZero) {
  dir_.write(kMembers, "0,Taro,\n7,Taro,\n");
  dir_.write(kGroupAcl, g_bytes(5, 7, 2));
  EXPECT_EQ(right_as(30, 5), kRightNone);
}

TEST_F(AccessTest, RightsAreNotInheritedFromTheEnclosingDir) {
  dir_.write("b_title.mst", "A,1,Dir,\n A1,2,Board,\n");
  dir_.write(kSettings, levels_record(1, 0, 0) + levels_record(2, 10, 50));
  dir_.write(kUserAcl, u_bytes(1, "Taro", 3));
  dir_.write(kGroupAcl, g_bytes(1, 3, 2));
  EXPECT_EQ(right_as(0, 1), kRightManage);
  EXPECT_EQ(right_as(0, 2), kRightNone);
}

TEST_F(AccessTest, DeletingAGroupsEntriesTakesItsRightsOnEveryFolder) {
  dir_.write(kSettings, levels_record(5, 10, 50) + levels_record(6, 10, 50));
  dir_.write(kMembers, "7,Taro,\n");
  dir_.write(kGroupAcl, g_bytes(5, 7, 2) + g_bytes(6, 7, 1) + g_bytes(6, 8, 2));
  user_.USER_LEVEL = 0;
  fresh();
  EXPECT_EQ(right(5), kRightWrite);
  EXPECT_EQ(right(6), kRightRead);
  ASSERT_TRUE(DeleteB_G_ACL(req(), 0, 7));
  EXPECT_EQ(right(5), kRightNone);
  EXPECT_EQ(right(6), kRightNone);
  EXPECT_EQ(dir_.read(kGroupAcl), g_bytes(6, 8, 2));
}

TEST_F(AccessTest, FolderReusingANumberFindsItsEntriesInForce) {
  dir_.write("b_title.mst", "A,1,Dir,\nB,2,Board,\nOld,3,Board,\n");
  dir_.write(kSettings, levels_record(3, 10, 50));
  dir_.write(kUserAcl, u_bytes(3, "Taro", 3));
  user_.USER_LEVEL = 0;
  fresh();
  ASSERT_TRUE(DeleteB_TITLE(req(), 3));
  ASSERT_TRUE(DeleteB_TITLE2(req(), 3));
  long number = 0;
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "New", &number),
            kFolderCreated);
  ASSERT_EQ(number, 3);
  EXPECT_EQ(right(3), kRightManage);
  EXPECT_EQ(dir_.read(kUserAcl), u_bytes(3, "Taro", 3));
}

// --- One read per request ---

TEST_F(AccessTest, WritesInTheSameRequestAreSeenByTheNextCheck) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  user_.USER_LEVEL = 0;
  fresh();
  EXPECT_EQ(right(5), kRightNone);
  EXPECT_FALSE(WriteB_G_ACL(req(), B_G_ACL{5, 7, 1}));
  EXPECT_EQ(right(5), kRightNone);
  WriteGROUP_USER(req(), GROUP_USER{7, "Taro"});
  EXPECT_EQ(right(5), kRightRead);
  B_TITLE2 open;
  open.FOLDER_NO = 5;
  ASSERT_TRUE(ReWriteB_TITLE2(req(), open));
  EXPECT_EQ(right(5), kRightWrite);
  EXPECT_FALSE(WriteB_U_ACL(req(), user_entry(5, "Taro", 3)));
  EXPECT_EQ(right(5), kRightManage);
  EXPECT_TRUE(DeleteB_U_ACL(req(), 5, "Taro"));
  EXPECT_EQ(right(5), kRightWrite);
}

TEST_F(AccessTest, UserEntriesAreReadOncePerRequest) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  EXPECT_EQ(right(5), kRightRead);
  dir_.write(kUserAcl, u_bytes(5, "Taro", 3));
  EXPECT_EQ(right(5), kRightRead);
  fresh();
  EXPECT_EQ(right(5), kRightManage);
}

TEST_F(AccessTest, GroupEntriesAreReadOncePerRequest) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kGroupAcl, g_bytes(5, 9, 2));
  EXPECT_EQ(right(5), kRightRead);
  dir_.write(kGroupAcl, g_bytes(5, 3, 2));
  EXPECT_EQ(right(5), kRightRead);
  fresh();
  EXPECT_EQ(right(5), kRightWrite);
}

TEST_F(AccessTest, SettingsRecordIsReadOncePerRequest) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  EXPECT_EQ(right(5), kRightRead);
  dir_.write(kSettings, levels_record(5, 0, 0));
  EXPECT_EQ(right(5), kRightRead);
  fresh();
  EXPECT_EQ(right(5), kRightWrite);
}

TEST_F(AccessTest, MembershipsAreReadOncePerRequest) {
  dir_.write(kSettings, levels_record(5, 10, 50));
  dir_.write(kGroupAcl, g_bytes(5, 7, 2));
  dir_.write(kMembers, "7,Hana,\n");
  EXPECT_EQ(right(5), kRightRead);
  dir_.write(kMembers, "7,Hana,\n7,Taro,\n");
  EXPECT_EQ(right(5), kRightRead);
  fresh();
  EXPECT_EQ(right(5), kRightWrite);
}

TEST_F(AccessTest, CheckingUnderASharedLockWritesNothing) {
  const std::string users = u_bytes(5, "Taro", 2);
  dir_.write(kUserAcl, users);
  dir_.write(kSettings, levels_record(5, 10, 50));
  fresh(LockMode::kShared);
  EXPECT_EQ(right(5), kRightWrite);
  EXPECT_EQ(right(6), kRightNone);
  EXPECT_EQ(dir_.read(kUserAcl), users);
  EXPECT_EQ(dir_.read(kSettings), levels_record(5, 10, 50));
}

}  // namespace
}  // namespace plazet
