// group.mst and g_user.mst.
#include <gtest/gtest.h>

#include "data_dir_test.h"
#include "users/group_files.h"

namespace plazet {
namespace {

class GroupsTest : public testing::DataDirTest {};

std::string numbers(const std::vector<MST_GROUP>& groups) {
  std::string out;
  for (const MST_GROUP& g : groups) out += std::to_string(g.T02_GROUP_ID) + ":" + g.T02_GROUP_NAME + " ";
  return out;
}

TEST_F(GroupsTest, GroupLinesAreReadByNumberAndListed) {
  write("group.mst", "3,Sales,\n7,Dev,\n7,Other,\n9\n\n,,,\n,,5,,Five,\n 6x,Six\n2," + std::string(100, 'n') + ",\n");
  EXPECT_EQ(ReadGROUP_MST(store(), 7)->T02_GROUP_NAME, "Dev");
  EXPECT_EQ(ReadGROUP_MST(store(), 9)->T02_GROUP_NAME, "");
  EXPECT_FALSE(ReadGROUP_MST(store(), 4));
  EXPECT_EQ(numbers(ReadGROUP_MSTall(store())), "3:Sales 7:Dev 7:Other 9: 5:Five 6:Six 2:" + std::string(83, 'n') + " ");
  EXPECT_EQ(numbers(ReadGROUP_MSTall(store(), GroupListing::kCommaTerminated)), "3:Sales 7:Dev 7:Other 5:Five 2:" + std::string(83, 'n') + " ");
}

// One change: the file before, the call, its result, the file after.
struct FileWrite {
  const char* name;
  const char* file;
  std::string before;  // "-" for no file
  bool (*change)(Store&, const WriteToken&);
  bool result;
  std::string after;  // "-" for no file
};

TEST_F(GroupsTest, WritersChangeExactlyTheirLines) {
  using S = Store&;
  using W = const WriteToken&;
  const FileWrite cases[] = {
      {"group between smaller and greater", "group.mst", "3,Sales,\n7,Dev,\n", [](S s, W w) { return ReWriteMST_GROUP(s, w, {5, "Admin"}); }, true, "3,Sales,\n5,Admin,\n7,Dev,\n"},
      {"group replaces the first line of its number", "group.mst", "3,a,\n3,b,\n", [](S s, W w) { return ReWriteMST_GROUP(s, w, {3, "c"}); }, true, "3,c,\n3,b,\n"},
      {"groups at both ends", "group.mst", "3,Sales,\n", [](S s, W w) { return ReWriteMST_GROUP(s, w, {12, "L"}) && ReWriteMST_GROUP(s, w, {1, "F"}); }, true, "1,F,\n3,Sales,\n12,L,\n"},
      {"group into a missing file", "group.mst", "-", [](S s, W w) { return ReWriteMST_GROUP(s, w, {4, "Only"}); }, true, "4,Only,\n"},
      {"other lines copied, tokenless dropped", "group.mst", " 3 , Sales ,extra\n,,\n\n7,Dev\n", [](S s, W w) { return ReWriteMST_GROUP(s, w, {5, "X"}); }, true, " 3 , Sales ,extra\n5,X,\n7,Dev\n"},
      {"group after an open last line", "group.mst", "3,a,", [](S s, W w) { return ReWriteMST_GROUP(s, w, {5, "b"}); }, true, "3,a,\n5,b,\n"},
      {"group name cut to 83 bytes", "group.mst", "", [](S s, W w) { return ReWriteMST_GROUP(s, w, {2, std::string(83, 'a') + "bcdef"}); }, true, "2," + std::string(83, 'a') + ",\n"},
      {"group name cut at a line feed", "group.mst", "", [](S s, W w) { return ReWriteMST_GROUP(s, w, {2, "Two\n9,Forged"}); }, true, "2,Two,\n"},
      {"group name with a comma", "group.mst", "", [](S s, W w) { return ReWriteMST_GROUP(s, w, {5, "Sales,East"}) && ReadGROUP_MST(s, 5)->T02_GROUP_NAME == "Sales"; }, true, "5,Sales,East,\n"},
      {"group delete takes every line of the number", "group.mst", "3,a,\n5,b,\n,\n5,c,\n7,d\n", [](S s, W w) { return DeleteMST_GROUP(s, w, 5); }, true, "3,a,\n7,d\n"},
      {"group delete of an absent number", "group.mst", "3,a,\n\n7,d,", [](S s, W w) { return DeleteMST_GROUP(s, w, 4); }, true, "3,a,\n7,d,"},
      {"group delete on a missing file", "group.mst", "-", [](S s, W w) { return DeleteMST_GROUP(s, w, 4); }, true, ""},
      {"member appended", "g_user.mst", "5,taro,\n", [](S s, W w) { return WriteGROUP_USER(s, w, {2, "hana"}); }, true, "5,taro,\n2,hana,\n"},
      {"member pair already there", "g_user.mst", "5,taro,\n", [](S s, W w) { return WriteGROUP_USER(s, w, {5, "taro"}) && WriteGROUP_USER(s, w, {5, "Taro"}); }, true, "5,taro,\n5,Taro,\n"},
      {"member into a missing file", "g_user.mst", "-", [](S s, W w) { return WriteGROUP_USER(s, w, {3, "taro"}); }, true, "3,taro,\n"},
      {"member after an open last line", "g_user.mst", "5,taro,", [](S s, W w) { return WriteGROUP_USER(s, w, {6, "hana"}); }, true, "5,taro,\n6,hana,\n"},
      {"member id cut", "g_user.mst", "", [](S s, W w) { return WriteGROUP_USER(s, w, {4, std::string(23, 'u') + "vw"}) && ReadGROUP_USER1(s, std::string(23, 'u')).size() == 1; }, true, "4," + std::string(23, 'u') + ",\n"},
      {"one membership removed", "g_user.mst", "5,taro,\n5,hana,\nbad\n6,taro,\n5,Taro,\n 5x,taro,extra,\n 7x,hana,extra,\n", [](S s, W w) { return DeleteGROUP_USER(s, w, GroupUserDelete::kMember, {5, "taro"}); }, true, "5,hana,\n6,taro,\n5,Taro,\n7,hana,\n"},
      {"whole group removed", "g_user.mst", "5,taro,\n6,hana,\n5,hana,\n7,taro,\n", [](S s, W w) { return DeleteGROUP_USER(s, w, GroupUserDelete::kWholeGroup, {5, "x"}); }, true, "6,hana,\n7,taro,\n"},
      {"removing from a missing file", "g_user.mst", "-", [](S s, W w) { return DeleteGROUP_USER(s, w, GroupUserDelete::kMember, {5, "taro"}); }, true, ""},
      {"user removed in exact case", "g_user.mst", "5,taro,\n6,hana,\nx\n7,taro,\n8,Taro,\n", [](S s, W w) { return DeleteGROUP_USER2(s, w, "taro"); }, true, "6,hana,\n8,Taro,\n"},
      {"user removed from a missing file", "g_user.mst", "-", [](S s, W w) { return DeleteGROUP_USER2(s, w, "taro"); }, true, "-"},
      {"sort by group number", "g_user.mst", "3,c,\n1,a,\n2,b,\n", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "1,a,\n2,b,\n3,c,\n"},
      {"sort drops lines that do not count", "g_user.mst", "junk\n 3x,c,extra\n10,a,\n-2,b,\n,z,", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "-2,b,\n0,z,\n3,c,\n10,a,\n"},
      {"sort: equal numbers, two", "g_user.mst", "1,a,\n1,b,\n", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "1,b,\n1,a,\n"},
      {"sort: equal numbers, three", "g_user.mst", "1,a,\n1,b,\n1,c,\n", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "1,c,\n1,b,\n1,a,\n"},
      {"sort: equal numbers mixed", "g_user.mst", "3,p,\n1,q,\n3,r,\n2,s,\n1,t,\n", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "1,t,\n1,q,\n2,s,\n3,r,\n3,p,\n"},
      {"sort of one counting line", "g_user.mst", "junk\n 5x,taro,extra\nno comma", [](S s, W w) { return SortGROUP_USER(s, w); }, true, "junk\n 5x,taro,extra\nno comma"},
  };
  for (const FileWrite& c : cases) {
    std::filesystem::remove(dir_.file(c.file));
    if (c.before != "-") write(c.file, c.before);
    Store& s = fresh();
    EXPECT_EQ(c.change(s, w()), c.result) << c.name;
    EXPECT_EQ(exists(c.file) ? read(c.file) : "-", c.after) << c.name;
  }
}

TEST_F(GroupsTest, MembershipsAreListedInFileOrderUpToGroupZeroOr9999) {
  write("g_user.mst", "5,taro,\n2,hana,\n1,taro,\n9,Taro,\n 7x,taro,extra,\n5,taro\n,taro,\n3,taro,\n");
  EXPECT_EQ(ReadGROUP_USER1(store(), "taro"), (std::vector<long>{5, 1, 7}));
  EXPECT_EQ(ReadGROUP_USER1(store(), "Taro"), (std::vector<long>{9}));
  EXPECT_EQ(ReadGROUP_USER1(store(), "TARO"), (std::vector<long>{}));
  EXPECT_EQ(ReadGROUP_USERall(store()).size(), 7u);
  std::string file;
  for (int g = 1; g <= 10005; ++g) file += std::to_string(g) + ",taro,\n";
  write("g_user.mst", file);
  std::vector<long> groups = ReadGROUP_USER1(fresh(), "taro");
  ASSERT_EQ(groups.size(), 9999u);
  EXPECT_EQ(groups.back(), 9999);
}

}  // namespace
}  // namespace plazet
