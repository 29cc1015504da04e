// group.mst and g_user.mst.
#include <gtest/gtest.h>

#include "data_dir_test.h"
#include "users/group_files.h"

namespace plazet {
namespace {

class GroupsTest : public testing::DataDirTest {};

TEST_F(GroupsTest, MembershipsAreListedInFileOrderUpToGroupZeroOr9999) {
  write("g_user.mst",
        "5,taro,\n2,hana,\n1,taro,\n9,Taro,\n 7x,taro,extra,\n5,taro\n,taro,\n3,taro,\n");
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
