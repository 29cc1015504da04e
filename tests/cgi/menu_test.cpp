// The folder menu: which rows, how deep, which links and counts, which
// buttons.
#include <gtest/gtest.h>

#include <filesystem>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

// Each row of the folder table as "depth name link (count)": the link is
// what follows "JOB=" with its quotes dropped, "-" for none; "" for an empty row.
std::vector<std::string> rows(const std::string& page) {
  std::vector<std::string> out;
  for (std::string row : all(page, "<TR><TD NOWRAP>([^\n]*\n?)</TD></TR>\n")) {
    std::size_t depth = 0;
    for (; row.compare(depth * 12, 12, "&nbsp;&nbsp;") == 0; ++depth) {
    }
    if (!has(row, "<IMG")) {
      out.push_back("");
      continue;
    }
    std::string link = "-";
    if (const std::size_t at = row.find("&JOB="); at != std::string::npos) {
      link = row.substr(at + 5, row.find('>', at) - at - 5);
      std::erase(link, '"');
    }
    const std::size_t img_end = row.find('>', row.find("<IMG")) + 1;
    std::string name = row.substr(img_end, row.find("</A>") - img_end), count;
    if (name[0] == '(') {
      count = " " + name.substr(0, name.find(')') + 1);
      name.erase(0, name.find(')') + 1);
    }
    out.push_back(std::to_string(depth) + " " + name + " " + link + count);
  }
  return out;
}
std::string board(int depth, const std::string& name, long n, const std::string& count = "") {
  return std::to_string(depth) + " " + name + " ROOM&FOLDER_NO=" + std::to_string(n) +
         "&FAST_FLG=1 TARGET=FRM22" + count;
}
using Rows = std::vector<std::string>;

class MenuTest : public ::testing::Test {
 protected:
  // Folders from a tree file; `levels` gives the read and write level of each.
  void tree(const std::string& lines, const std::vector<int>& levels) {
    site_.write_file(site_.data_dir() + "b_title.mst", lines);
    for (std::size_t i = 0; i < levels.size(); ++i) {
      site_.change_board(i + 1, [&](B_TITLE2& b) {
        b.FOLDER_NO = static_cast<std::int32_t>(i + 1);
        b.READ_LEVEL = b.WRITE_LEVEL = levels[i];
        b.READ_CHK = b.REWRITE_FLG = 1;
      });
    }
  }
  std::string menu(const std::string& user, const std::string& disp_no = "") {
    return site_.as(user, "JOB=FRM21" + disp_no);
  }
  CgiSite site_;
};

TEST_F(MenuTest, DispNoKeepsOnePathOpenAndEachFolderFollowsItsOwnParent) {
  tree("Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\nHome,4,Dir,\n Diary,5,Board,\n",
       {0, 0, 0, 0, 0});
  site_.add_user("taro", 10);
  for (const std::vector<std::string>& c : table("menu_paths.txt")) {
    EXPECT_EQ(rows(menu("taro", c[0])), Rows(c.begin() + 1, c.end())) << c[0];
  }
}

TEST_F(MenuTest, KindsPicturesAndNamesOfTheRows) {
  tree(
      "Office,1,Dir,\nLobby,2,Chat,\nOdd,3,Xyz,\nLost,4,Board,\n<script>alert(1)</script>,5,Board,"
      "\nBob's \"Board\",6,Board,\n",
      {0, 0, 0, 0, 0, 0});
  site_.change_board(1, [](B_TITLE2& b) { b.DIRPIC = "office.png"; });
  site_.with_store([](Store& s, const WriteToken& w) { ASSERT_TRUE(DeleteB_TITLE2(s, w, 4)); });
  site_.add_user("boss", 100);  // only an administrator sees Lost, which has no settings
  const std::string page = menu("boss");
  EXPECT_EQ(rows(page),
            (Rows{"0 Office FRM21&DISP_NO=1", "0 Lobby CHAT&FOLDER_NO=2&FAST_FLG=1 TARGET=FRM22",
                  "", board(0, "Lost", 4), board(0, "&lt;script>alert(1)&lt;/script>", 5),
                  board(0, "Bob's \"Board\"", 6)}));
  for (const char* img : {"1/office.png\" ALT=\"Office\"", "folderbook.gif\" ALT=\"Lost\"",
                          "folderbook.gif\" ALT=\"&lt;script&gt;alert(1)&lt;/script&gt;\"",
                          "folderbook.gif\" ALT=\"Bob&#39;s &quot;Board&quot;\""}) {
    EXPECT_TRUE(has(page, std::string("<IMG SRC=\"/plazetpic/") + img + " BORDER=0>")) << img;
  }
  EXPECT_FALSE(has(page, "<script"));
}

TEST_F(MenuTest, AFolderWithoutReadRightIsLeftOutWithItsSubtree) {
  tree("Office,1,Dir,\n News,2,Board,\n Secret,3,Board,\nGeneral,4,Board,\n", {50, 0, 50, 0});
  site_.add_user("taro", 10);
  site_.add_user("boss", 100);
  EXPECT_EQ(rows(menu("taro")), Rows{board(0, "General", 4)});
  // A hand-made link still lists the readable children of the hidden Dir.
  EXPECT_EQ(rows(menu("taro", "&DISP_NO=1")), (Rows{board(1, "News", 2), board(0, "General", 4)}));
  EXPECT_EQ(
      rows(menu("boss", "&DISP_NO=1")),
      (Rows{"0 Office FRM21", board(1, "News", 2), board(1, "Secret", 3), board(0, "General", 4)}));
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
  site_.add_user("taro", 10);
  site_.add_user_line("quiet,Quiet,10,,pw,0,1,1,1,,,1,");  // counts switched off
  site_.add_user("desk", 10, 2);
  EXPECT_EQ(rows(menu("taro")),
            (Rows{"0 Office FRM21&DISP_NO=1 (13)", "0 Empty FRM21&DISP_NO=10"}));
  EXPECT_EQ(rows(menu("taro", "&DISP_NO=5&DISP_NO=2&DISP_NO=1")),
            (Rows{"0 Office FRM21 (13)", "1 Projects FRM21&DISP_NO=1 (5)",
                  board(2, "Plans", 3, " (1)"), "2 Deep FRM21&DISP_NO=2&DISP_NO=1 (4)",
                  board(3, "Deeper", 6, " (4)"), board(1, "News", 7, " (8)"), board(1, "Done", 8),
                  board(1, "Quiet", 9), "0 Empty FRM21&DISP_NO=10"}));
  for (const char* user : {"quiet", "desk"}) {
    EXPECT_EQ(rows(menu(user, "&DISP_NO=1"))[0], "0 Office FRM21") << user;
  }
  // Counting created no directory and no mark file.
  for (const char* folder : {"1", "2", "5", "10"}) {
    EXPECT_FALSE(CgiSite::exists(site_.data_dir() + folder));
  }
  EXPECT_FALSE(CgiSite::exists(site_.board_file(7, "r8.dat")));
}

TEST_F(MenuTest, TheButtonColumnFollowsTheAccountAndTheMydataSetting) {
  site_.add_user("taro", 10);
  site_.add_user("boss", 100);
  site_.add_user("desk", 10, 2);
  site_.add_user("front", 100, 2);
  auto buttons = [&](const std::string& user) {
    const std::string page = menu(user);
    std::string out;
    for (const std::string& job :
         all(page.substr(page.rfind("</TABLE>")), "name=\"JOB\" value=\"(\\w*)")) {
      out += job + " ";
    }
    return out;
  };
  const std::string all_of =
      "NRDETAILS BATCH_UPLOAD SEARCH ADMIN MYDATA SETNOREAD IDSINSEI IDSINSEIlist LOGOFF ";
  EXPECT_EQ(buttons("taro"),
            "NRDETAILS BATCH_UPLOAD SEARCH MYDATA SETNOREAD IDSINSEI IDSINSEIlist LOGOFF ");
  EXPECT_EQ(buttons("boss"), all_of);
  EXPECT_EQ(buttons("desk"), "BATCH_UPLOAD SEARCH IDSINSEI IDSINSEIlist ");
  EXPECT_EQ(buttons("front"), "BATCH_UPLOAD SEARCH ADMIN IDSINSEI IDSINSEIlist ");
  site_.setting("MYDATA", "1");
  EXPECT_EQ(buttons("boss"),
            "NRDETAILS BATCH_UPLOAD SEARCH ADMIN SETNOREAD IDSINSEI IDSINSEIlist LOGOFF ");
  // The log-off form posts to the whole window and asks first.
  EXPECT_TRUE(has(menu("taro"), "METHOD=POST TARGET=\"_parent\">\n" +
                                    hidden("SKEY", site_.key("taro")) + hidden("JOB", "LOGOFF") +
                                    "<INPUT TYPE=\"submit\" VALUE=\"" + text(13) +
                                    "\" onClick=\"return confirm('" + text(14) + "')\">\n"));
}

TEST_F(MenuTest, TheSiteBlockIsCopiedAsItStands) {
  site_.add_user("taro", 10);
  const std::string block = "<P>\x93\xfa\x96\x7b line</P>\r\nno line end at the end";
  site_.write_file(site_.pic_dir() + "link.html", block);
  EXPECT_TRUE(has(menu("taro"), "BGPROPERTIES=FIXED >\n" + block + "<TABLE>\n</TABLE>\n<FORM"));
}

}  // namespace
}  // namespace plazet::testing
