// b_title.mst, b_title2.mst, the access files and the rights they give.
#include <gtest/gtest.h>

#include "cases.h"
#include "data_dir_test.h"
#include "folders/access.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"

namespace plazet {
namespace {

using testing::unescape;

class FoldersTest : public testing::DataDirTest {};

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
  const std::string bytes = unescape(
      "\\[16909060]\\[5]\\[10]\\[50]\\[2]\\[-2]\\{252:\\{251*t}}\\{252:back.jpg}\\{252:dir.gif}"
      "\\{4002:About\\rthis board \\x95\\x5C}\\{4002:\\{4001*d}}\\{8:1234567}\\{8:0000FF}");
  ASSERT_EQ(bytes.size(), 8800u);
  dir_.write("b_title2.mst", unescape("\\{8800:\\[3]}"));
  ASSERT_TRUE(InsertB_TITLE2(store(), w(), s));
  EXPECT_EQ(dir_.read("b_title2.mst"), unescape("\\{8800:\\[3]}") + bytes);
  std::optional<B_TITLE2> back = ReadB_TITLE2(fresh(), 0x01020304);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->INFO, s.INFO);
  EXPECT_EQ(back->FONTCOLOR, "1234567");
  EXPECT_EQ(back->RESFONTCOLOR, "0000FF");
  // A colour that fills its field to the last byte does not run into the next.
  dir_.write("b_title2.mst", unescape("\\{8784:\\[4]}1111111122222222"));
  EXPECT_EQ(ReadB_TITLE2(fresh(), 4)->FONTCOLOR, "11111111");
}

// A page about one folder reads the heads of the records up to the folder's
// and then its record: the first record of a folder listed twice, nothing
// for a folder whose record is cut short, the heads without the texts.
TEST_F(FoldersTest, SettingsAreFoundRecordByRecord) {
  auto record = [](int folder, int level, const std::string& dirpic, const std::string& info) {
    return unescape("\\{8800:\\[" + std::to_string(folder) + "]\\[0]\\[" + std::to_string(level) +
                    "]\\[0]\\[0]\\[0]\\{504:}\\{252:" + dirpic + "}\\{4002:" + info + "}}");
  };
  dir_.write("b_title2.mst", record(4, 10, "four.gif", "first") + record(9, 20, "", "nine") +
                                 record(4, 30, "again.gif", "second") +
                                 record(7, 40, "cut.gif", "short").substr(0, 8000));
  const struct {
    long folder;
    bool head;
    std::string want;  // READ_LEVEL DIRPIC INFO, or "-" for none
  } cases[] = {
      {4, false, "10 four.gif first"},
      {9, false, "20  nine"},
      {4, true, "10 four.gif "},
      {9, true, "20  "},
      {7, false, "-"},
      {7, true, "-"},
      {5, false, "-"},
  };
  for (bool one_request : {false, true}) {  // each in a request of its own, then all in one
    if (one_request) fresh(LockMode::kShared);
    for (const auto& c : cases) {
      Store& s = one_request ? store() : fresh(LockMode::kShared);
      std::optional<B_TITLE2> r =
          c.head ? ReadB_TITLE2_head(s, c.folder) : ReadB_TITLE2(s, c.folder);
      EXPECT_EQ(r ? std::to_string(r->READ_LEVEL) + " " + r->DIRPIC + " " + r->INFO : "-", c.want)
          << c.folder << (c.head ? " head" : "") << (one_request ? " in one request" : "");
    }
  }
}

// The rights a user gets from the files as they lie, from data/rights.cases.
TEST_F(FoldersTest, RightFollowsLevelEntriesAndGroups) {
  const std::vector<testing::Case> cases = testing::load_cases("rights.cases");
  ASSERT_GE(cases.size(), 20u);
  for (const testing::Case& c : cases) {
    dir_.write("b_title.mst", "A,1,Dir,\n A5,5,Board,\n");
    dir_.write("b_title2.mst", c.fields.at(2));
    dir_.write("b_u_acl.mst", c.fields.at(3));
    dir_.write("b_g_acl.mst", c.fields.at(4));
    dir_.write("g_user.mst", c.fields.at(5));
    MST_USER taro;
    taro.USER_ID = "Taro";
    taro.USER_LEVEL = std::stol(c.fields[1]);
    taro.P_GROUP = 3;
    EXPECT_EQ(chk_ACL(fresh(LockMode::kShared), taro, 5), std::stoi(c.fields.at(6))) << c.fields[0];
  }
}

}  // namespace
}  // namespace plazet
