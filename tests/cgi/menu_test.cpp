// The folder menu: which rows, how deep, which links and counts, which
// buttons.
#include <gtest/gtest.h>

#include <regex>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

using Rows = std::vector<std::string>;

// Each row of the folder table: a dot per level, the link after "JOB="
// with every quote dropped, the unread count "(n)" and the name; "" for an empty row.
Rows rows(const std::string& page) {
  Rows out = all(page, "<TR><TD NOWRAP>([^\n]*\n?)</TD></TR>\n");
  for (std::string& row : out) {
    for (auto [from, to] : {std::pair{"<A HREF=\"plazet\\.cgi\\?SKEY=[0-9]+&JOB=([^>]*)>", "$1 "},
                            {"<IMG [^>]*>|\"|</A><BR>\n", ""},
                            {"&nbsp;&nbsp;", "."}}) {
      row = std::regex_replace(row, std::regex(from), to);
    }
  }
  return out;
}
std::string board(const std::string& dots, long n, const std::string& name) {
  return dots + "ROOM&FOLDER_NO=" + std::to_string(n) + "&FAST_FLG=1 TARGET=FRM22 " + name;
}

class MenuTest : public ::testing::Test {
 protected:
  // Folders from a tree file; `levels` gives the read and write level of each.
  void tree(const std::string& lines, const std::vector<int>& levels) {
    site_.write_file(site_.data_dir() + "b_title.mst", lines);
    for (std::size_t i = 0; i < levels.size(); ++i) {
      site_.change_board(i + 1, [&](B_TITLE2& b) {
        b.READ_LEVEL = b.WRITE_LEVEL = levels[i];
        b.READ_CHK = b.REWRITE_FLG = 1;
      });
    }
    site_.add_user("taro", 10);
    site_.add_user("boss", 100);
  }
  Rows menu(const std::string& user, const std::string& disp_no = "") {
    return rows(site_.as(user, "JOB=FRM21" + disp_no));
  }
  CgiSite site_;
};

TEST_F(MenuTest, DispNoKeepsOnePathOpenAndEachFolderFollowsItsOwnParent) {
  tree("Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\nHome,4,Dir,\n Diary,5,Board,\n",
       {0, 0, 0, 0, 0});
  for (const std::vector<std::string>& c : table("menu_paths.txt")) {
    EXPECT_EQ(menu("taro", c[0]), Rows(c.begin() + 1, c.end())) << c[0];
  }
}

TEST_F(MenuTest, KindsPicturesAndNamesOfTheRows) {
  tree(
      "Office,1,Dir,\nLobby,2,Chat,\nOdd,3,Xyz,\nLost,4,Board,\n<script>x</script>,5,Board,\n"
      "Bob's \"B\",6,Board,\n",
      {0, 0, 0, 0, 0, 0});
  site_.change_board(1, [](B_TITLE2& b) { b.DIRPIC = "office.png"; });
  site_.with_store([](Store& s, const WriteToken& w) { ASSERT_TRUE(DeleteB_TITLE2(s, w, 4)); });
  // Only an administrator sees Lost, which has no settings.
  EXPECT_EQ(menu("boss"),
            (Rows{"FRM21&DISP_NO=1 Office", "CHAT&FOLDER_NO=2&FAST_FLG=1 TARGET=FRM22 Lobby", "",
                  board("", 4, "Lost"), board("", 5, "&lt;script>x&lt;/script>"),
                  board("", 6, "Bob's B")}));
  const std::string page = site_.as("boss", "JOB=FRM21");
  for (const char* img : {"1/office.png\" ALT=\"Office\"", "folderbook.gif\" ALT=\"Lost\"",
                          "folderbook.gif\" ALT=\"&lt;script&gt;x&lt;/script&gt;\"",
                          "folderbook.gif\" ALT=\"Bob&#39;s &quot;B&quot;\""}) {
    EXPECT_TRUE(has(page, std::string("<IMG SRC=\"/plazetpic/") + img + " BORDER=0>")) << img;
  }
}

TEST_F(MenuTest, AFolderWithoutReadRightIsLeftOutWithItsSubtree) {
  tree("Office,1,Dir,\n News,2,Board,\n Secret,3,Board,\nGeneral,4,Board,\n", {50, 0, 50, 0});
  EXPECT_EQ(menu("taro"), Rows{board("", 4, "General")});
  // A hand-made link still lists the readable children of the hidden Dir.
  EXPECT_EQ(menu("taro", "&DISP_NO=1"), (Rows{board(".", 2, "News"), board("", 4, "General")}));
  EXPECT_EQ(menu("boss", "&DISP_NO=1"), (Rows{"FRM21 Office", board(".", 2, "News"),
                                              board(".", 3, "Secret"), board("", 4, "General")}));
}

TEST_F(MenuTest, UnreadCountsSumReadableBoardsOfTheSubtreeAndLeaveOutZero) {
  tree(
      "Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\n  Secret,4,Board,\n  Deep,5,Dir,\n"
      "   Deeper,6,Board,\n News,7,Board,\n Done,8,Board,\n Quiet,9,Board,\nEmpty,10,Dir,\n",
      {0, 0, 0, 50, 0, 0, 0, 0, 0, 0});
  for (auto [b, n] : {std::pair{3, 1}, {4, 2}, {6, 4}, {7, 8}, {8, 2}, {9, 5}}) {
    for (int i = 0; i < n; ++i) (void)site_.post(b, {.writer = "hana"});
  }
  site_.with_store([](Store& s, const WriteToken& w) {
    for (int n : {1, 2}) ASSERT_TRUE(WriteREAD_POINT(s, w, 8, READ_POINT{n, "taro"}));
    ASSERT_EQ(WriteUNREAD(s, w, 9, "taro"), 0);
  });
  std::filesystem::remove(site_.board_file(7, "r8.dat"));  // a missing mark file counts as unread
  site_.add_user_line("quiet,Quiet,10,,pw,0,1,1,1,,,1,");  // counts switched off
  site_.add_user("desk", 10, 2);
  EXPECT_EQ(menu("taro"), (Rows{"FRM21&DISP_NO=1 (13)Office", "FRM21&DISP_NO=10 Empty"}));
  EXPECT_EQ(menu("taro", "&DISP_NO=5&DISP_NO=2&DISP_NO=1"),
            (Rows{"FRM21 (13)Office", ".FRM21&DISP_NO=1 (5)Projects", board("..", 3, "(1)Plans"),
                  "..FRM21&DISP_NO=2&DISP_NO=1 (4)Deep", board("...", 6, "(4)Deeper"),
                  board(".", 7, "(8)News"), board(".", 8, "Done"), board(".", 9, "Quiet"),
                  "FRM21&DISP_NO=10 Empty"}));
  for (const char* user : {"quiet", "desk"}) EXPECT_EQ(menu(user, "&DISP_NO=1")[0], "FRM21 Office");
  // Counting created no directory and no mark file.
  for (const char* file : {"1", "2", "5", "10", "7/r8.dat"}) {
    EXPECT_FALSE(CgiSite::exists(site_.data_dir() + file)) << file;
  }
}

TEST_F(MenuTest, TheButtonColumnFollowsTheAccountAndTheMydataSetting) {
  tree("", {});
  site_.add_user("desk", 10, 2);
  auto buttons = [&](const std::string& user) {
    const std::string page = site_.as(user, "JOB=FRM21");
    return joined(page.substr(page.rfind("</TABLE>")), "\"JOB\" value=\"(\\w*)");
  };
  EXPECT_EQ(buttons("desk"), "BATCH_UPLOAD SEARCH IDSINSEI IDSINSEIlist");
  site_.setting("MYDATA", "1");
  EXPECT_EQ(buttons("boss"),
            "NRDETAILS BATCH_UPLOAD SEARCH ADMIN SETNOREAD IDSINSEI IDSINSEIlist LOGOFF");
}

TEST_F(MenuTest, TheSiteBlockIsCopiedAsItStands) {
  tree("", {});
  const std::string block = "<P>\x93\xfa\x96\x7b line</P>\r\nno line end at the end";
  site_.write_file(site_.pic_dir() + "link.html", block);
  EXPECT_TRUE(has(site_.as("taro", "JOB=FRM21"), "FIXED >\n" + block + "<TABLE>\n</TABLE>\n<FORM"));
}

}  // namespace
}  // namespace plazet::testing
