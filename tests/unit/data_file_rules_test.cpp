// Rules every data file keeps: a request reads a file once and sees its own
// writes; a write whose work file cannot be made changes nothing and says so;
// a missing file reads as empty.
#include <gtest/gtest.h>

#include <functional>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "data_dir_test.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using testing::be32;
using testing::padded;

struct FileRule {
  const char* name;
  const char* file;
  std::string before;   // the file as the request finds it
  std::string changed;  // other contents, written behind the request's back
  std::function<std::string(Store&)> read;  // what the readers see
  std::function<bool(Store&, const WriteToken&)> write;  // a change that goes through `work`
  const char* work;
  bool created;  // whether reading a missing file leaves it behind, empty
  bool cached = true;  // marks and opt-out lists are read afresh at each look-up
};

std::string settings(std::uint32_t n, std::uint32_t level) { return be32(n) + be32(0) + be32(level) + std::string(8788, '\0'); }
std::string index_rec(std::uint32_t n, const std::string& title) {
  return be32(4) + be32(n) + be32(0) + be32(n) + be32(0) + be32(0) + padded("", 42) + padded(title, 82) + std::string(12, '\0');
}

const FileRule kRules[] = {
    {"UserMst", "user.mst", "Taro,A,1,,pw,0,1,1,1,,,0,\n", "Taro,B,1,,pw,0,1,1,1,,,0,\n",
     [](Store& s) { auto u = ReadMST_USERcount(s, 0); return u ? u->USER_NAME : "none"; },
     [](Store& s, const WriteToken& w) { MST_USER u; u.USER_ID = "Taro"; u.USER_NAME = "C"; return ReWriteMST_USER(s, w, u); },
     "user.mst.tmp", true},
    {"SkeyMst", "skey.mst", be32(5) + padded("Taro", 528), be32(6) + padded("Taro", 528),
     [](Store& s) { return std::to_string(ReadMST_SKEY2(s, "Taro").value_or(0)); },
     [](Store& s, const WriteToken& w) { return DeleteMST_SKEY(s, w, "Taro"); }, "skey.mst.TMP", true},
    {"SystemLog", "system.log", "2024/05/12 09:00,Taro,login,0,,\n", "2024/05/10 09:00,Taro,login,0,,\n",
     [](Store& s) { auto c = ReadSYSTEM_LOG(s, "Taro"); return c ? c->last_login : "none"; },
     [](Store& s, const WriteToken& w) { return DeleteSYSTEM_LOG(s, w, "2024/05/11"); }, "system.log.tmp", false},
    {"TreeDelete", "b_title.mst", "A,1,Dir,\n", "B,2,Board,\n",
     [](Store& s) { std::string o; for (const B_TITLE& t : *folder_tree(s)) o += t.NAME; return o; },
     [](Store& s, const WriteToken& w) { return DeleteB_TITLE(s, w, 1); }, "b_title.mst.tmp", false},
    {"TreeInsert", "b_title.mst", "A,1,Dir,\n", "B,2,Board,\n",
     [](Store& s) { std::string o; for (const B_TITLE& t : *folder_tree(s)) o += t.NAME; return o; },
     [](Store& s, const WriteToken& w) { B_TITLE t; t.FOLDER_NO = 3; t.MODE = 2; t.NAME = "C"; return InsertB_TITLE(s, w, 1, t); },
     "b_title.mst.TMP", false},
    {"SettingsDelete", "b_title2.mst", settings(5, 1), settings(5, 7),
     [](Store& s) { auto r = ReadB_TITLE2(s, 5); return r ? std::to_string(r->READ_LEVEL) : "none"; },
     [](Store& s, const WriteToken& w) { return DeleteB_TITLE2(s, w, 5); }, "b_title2.mst.tmp", true},
    {"SettingsRewrite", "b_title2.mst", settings(5, 1), settings(5, 7),
     [](Store& s) { auto r = ReadB_TITLE2(s, 5); return r ? std::to_string(r->READ_LEVEL) : "none"; },
     [](Store& s, const WriteToken& w) { B_TITLE2 r; r.FOLDER_NO = 5; r.READ_LEVEL = 2; return ReWriteB_TITLE2(s, w, r); },
     "b_title2.mst.TMP", true},
    {"GroupAcl", "b_g_acl.mst", be32(5) + be32(7) + be32(1), be32(5) + be32(7) + be32(2),
     [](Store& s) { auto e = group_entries(s, 5); return e.empty() ? "none" : std::to_string(e[0].ACL_MODE); },
     [](Store& s, const WriteToken& w) { return DeleteB_G_ACL(s, w, 5, 7); }, "b_g_acl.mst.tmp", true},
    {"UserAcl", "b_u_acl.mst", be32(5) + padded("Taro", 24) + be32(1), be32(5) + padded("Taro", 24) + be32(3),
     [](Store& s) { auto e = user_entries(s, 5); return e.empty() ? "none" : std::to_string(e[0].ACL_MODE); },
     [](Store& s, const WriteToken& w) { return DeleteB_U_ACL(s, w, 5, "Taro"); }, "b_u_acl.mst.tmp", true},
    {"GroupMstAdd", "group.mst", "3,a,\n", "3,b,\n",
     [](Store& s) { auto g = ReadGROUP_MST(s, 3); return g ? g->T02_GROUP_NAME : "none"; },
     [](Store& s, const WriteToken& w) { return ReWriteMST_GROUP(s, w, {3, "c"}); }, "F_GROUP_MST.tmp", false},
    {"GroupMstDelete", "group.mst", "3,a,\n", "3,b,\n",
     [](Store& s) { auto g = ReadGROUP_MST(s, 3); return g ? g->T02_GROUP_NAME : "none"; },
     [](Store& s, const WriteToken& w) { return DeleteMST_GROUP(s, w, 3); }, "TEMP", false},
    {"MembersRemove", "g_user.mst", "4,Taro,\n", "3,Taro,\n",
     [](Store& s) { auto g = ReadGROUP_USER1(s, "Taro"); return g.empty() ? "none" : std::to_string(g[0]); },
     [](Store& s, const WriteToken& w) { return DeleteGROUP_USER(s, w, GroupUserDelete::kMember, {3, "Taro"}); }, "g_user.mst.tmp", false},
    {"MembersRemoveUser", "g_user.mst", "3,Taro,\n", "4,Taro,\n",
     [](Store& s) { auto g = ReadGROUP_USER1(s, "Taro"); return g.empty() ? "none" : std::to_string(g[0]); },
     [](Store& s, const WriteToken& w) { return DeleteGROUP_USER2(s, w, "Taro"); }, "g_user.mst.TMP", false},
    {"Index", "4/index.dat", index_rec(1, "one"), index_rec(1, "one") + index_rec(2, "two"),
     [](Store& s) { return std::to_string(CountINDEX_DATA(s, 4)); },
     [](Store& s, const WriteToken& w) { return DeleteINDEX_DATA(s, w, 4, 1); }, "4/index.dat.tmp", false},
    {"Marks", "4/r1.dat", be32(1) + padded("Hana", 28), be32(1) + padded("Hana", 28) + be32(1) + padded("Jiro", 28),
     [](Store& s) { std::size_t k = 0; while (ReadREAD_POINT2(s, 4, 1, k)) ++k; return std::to_string(k); },
     [](Store& s, const WriteToken& w) { return DeleteREAD_POINT(s, w, 4, 1); }, "4/R1.TMP", false, false},
    {"OptOuts", "4/unread.dat", "Hana\nJiro\n", "Jiro\nHana\n",
     [](Store& s) { return std::to_string(ChkUNREAD(s, 4, "Hana").value_or(0)); },
     [](Store& s, const WriteToken& w) { return DeleteUNREAD(s, w, 4, "Hana"); }, "4/unread.dat.tmp", false, false},
    {"Attachments", "4/add_file.dat", be32(1) + be32(1) + padded("a", 252), be32(1) + be32(1) + padded("b", 252),
     [](Store& s) { auto a = ReadADD_FILE(s, 4, 1, 1); return a ? a->FILE_NAME : "none"; },
     [](Store& s, const WriteToken& w) { return DeleteADD_FILE(s, w, 4, 1); }, "4/add_file.dat.tmp", false},
};

class DataFileRulesTest : public testing::DataDirTest, public ::testing::WithParamInterface<FileRule> {};

TEST_P(DataFileRulesTest, ARequestReadsAFileOnceAndSeesItsOwnWrites) {
  const FileRule& r = GetParam();
  write(r.file, r.before);
  const std::string first = r.read(fresh());
  write(r.file, r.changed);
  if (r.cached) {
    EXPECT_EQ(r.read(store()), first) << "read again within the request";
  }
  const std::string changed = r.read(fresh());
  EXPECT_NE(changed, first) << "a new request reads the file";
  ASSERT_TRUE(r.write(store(), w()));
  EXPECT_NE(r.read(store()), changed) << "the request's own write is seen";
}

TEST_P(DataFileRulesTest, AWriteThatCannotMakeItsWorkFileChangesNothing) {
  const FileRule& r = GetParam();
  write(r.file, r.before);
  block(r.work);
  EXPECT_FALSE(r.write(fresh(), w()));
  EXPECT_EQ(read(r.file), r.before);
  EXPECT_EQ(r.read(store()), r.read(fresh()));
}

TEST_P(DataFileRulesTest, AMissingFileReadsEmpty) {
  const FileRule& r = GetParam();
  write(r.file, r.before);
  const std::string full = r.read(fresh());
  std::filesystem::remove(dir_.file(r.file));
  EXPECT_NE(r.read(fresh()), full);
  EXPECT_EQ(exists(r.file), r.created);
  if (r.created) {
    EXPECT_EQ(read(r.file), "");
  }
}

TEST_P(DataFileRulesTest, ATrailingPartialRecordOrLineIsNoRecord) {
  const FileRule& r = GetParam();
  write(r.file, r.before);
  const std::string whole = r.read(fresh());
  write(r.file, r.before + r.changed.substr(0, 3));
  EXPECT_EQ(r.read(fresh()), whole);
}

INSTANTIATE_TEST_SUITE_P(Files, DataFileRulesTest, ::testing::ValuesIn(kRules),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace plazet
