// The folder menu: which rows, how deep, which links and counts, which
// buttons.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

// Each row of the folder table as "depth name link (count)": the link is
// the A tag after "JOB=", "-" for none; "" for an empty row.
std::vector<std::string> rows(const std::string& page) {
  static const std::regex row(
      "<TR><TD NOWRAP>((?:&nbsp;&nbsp;)*)(?:<A HREF=\"plazet\\.cgi\\?SKEY=[0-9]+&JOB=([^>]*)>)?"
      "(?:<IMG SRC=\"[^\"]*\" ALT=\"[^\"]*\" BORDER=0>(?:\\(([0-9]+)\\))?(.*?)</A><BR>\n)?</TD></TR>\n");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), row); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (!m[2].matched && !m[4].matched) {
      out.push_back("");
      continue;
    }
    out.push_back(std::to_string(m[1].length() / 12) + " " + m[4].str() + " " +
                  (m[2].matched ? m[2].str() : "-") + (m[3].matched ? " (" + m[3].str() + ")" : ""));
  }
  return out;
}

// The JOB of each button form after the folder table.
std::vector<std::string> buttons(const std::string& page) {
  static const std::regex job("name=\"JOB\" value=\"([^\"]*)\"");
  const std::string tail = page.substr(page.rfind("</TABLE>"));
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(tail.begin(), tail.end(), job); it != std::sregex_iterator(); ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

std::string dir(int depth, const std::string& name, const std::string& disp_no, const std::string& count = "") {
  return std::to_string(depth) + " " + name + " FRM21" + disp_no + "\"" + (count.empty() ? "" : " (" + count + ")");
}
std::string board(int depth, const std::string& name, long n, const std::string& count = "",
                  const std::string& job = "ROOM") {
  return std::to_string(depth) + " " + name + " " + job + "&FOLDER_NO=" + std::to_string(n) +
         "&FAST_FLG=1\" TARGET=\"FRM22\"" + (count.empty() ? "" : " (" + count + ")");
}

class MenuTest : public ::testing::Test {
 protected:
  // Folders from a tree file; `level` gives the read and write level of each.
  void tree(const std::string& lines, const std::vector<int>& levels) {
    site_.write_file(site_.data_dir() + "b_title.mst", lines);
    site_.with_store([&](Store& s, const WriteToken& w) {
      for (std::size_t i = 0; i < levels.size(); ++i) {
        B_TITLE2 b;
        b.FOLDER_NO = static_cast<std::int32_t>(i + 1);
        b.READ_LEVEL = b.WRITE_LEVEL = levels[i];
        b.READ_CHK = b.REWRITE_FLG = 1;
        ASSERT_TRUE(ReWriteB_TITLE2(s, w, b));
      }
    });
  }
  void posts(long board, int count) {
    for (int i = 0; i < count; ++i) (void)site_.post(board, {.writer = "hana"});
  }
  std::string menu(const std::string& user, const std::string& disp_no = "") {
    if (!keys_.count(user)) keys_[user] = site_.log_in(user);
    return site_.get("SKEY=" + keys_[user] + "&JOB=FRM21" + disp_no);
  }
  CgiSite site_;
  std::map<std::string, std::string> keys_;
};

TEST_F(MenuTest, DispNoKeepsOnePathOpenAndEachFolderFollowsItsOwnParent) {
  tree("Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\nHome,4,Dir,\n Diary,5,Board,\n", {0, 0, 0, 0, 0});
  site_.add_user("taro", 10);
  using V = std::vector<std::string>;
  const std::pair<const char*, V> cases[] = {
      {"", {dir(0, "Office", "&DISP_NO=1"), dir(0, "Home", "&DISP_NO=4")}},
      {"&DISP_NO=1", {dir(0, "Office", ""), dir(1, "Projects", "&DISP_NO=2&DISP_NO=1"), dir(0, "Home", "&DISP_NO=4")}},
      {"&DISP_NO=2&DISP_NO=1", {dir(0, "Office", ""), dir(1, "Projects", "&DISP_NO=1"), board(2, "Plans", 3),
                                dir(0, "Home", "&DISP_NO=4")}},
      {"&DISP_NO=1&DISP_NO=2", {dir(0, "Office", ""), dir(1, "Projects", "&DISP_NO=1"), board(2, "Plans", 3),
                                dir(0, "Home", "&DISP_NO=4")}},
      // Projects's parent is closed: Projects is out, Plans is in.
      {"&DISP_NO=2", {dir(0, "Office", "&DISP_NO=1"), board(2, "Plans", 3), dir(0, "Home", "&DISP_NO=4")}},
      {"&DISP_NO=2&DISP_NO=&DISP_NO=1", {dir(0, "Office", "&DISP_NO=1"), board(2, "Plans", 3), dir(0, "Home", "&DISP_NO=4")}},
      // A top-level Dir closes every other branch.
      {"&DISP_NO=4", {dir(0, "Office", "&DISP_NO=1"), dir(0, "Home", ""), board(1, "Diary", 5)}},
  };
  for (const auto& [disp_no, expected] : cases) EXPECT_EQ(rows(menu("taro", disp_no)), expected) << disp_no;
}

TEST_F(MenuTest, KindsPicturesAndNamesOfTheRows) {
  tree("Office,1,Dir,\nGeneral,2,Board,\nLobby,3,Chat,\nOdd,4,Xyz,\nLost,5,Board,\n"
       "<script>alert(1)</script>,6,Board,\nBob's \"Board\",7,Board,\n", {0, 0, 0, 0, 0, 0, 0});
  site_.with_store([](Store& s, const WriteToken& w) {
    for (auto [n, pic] : {std::pair{1, "office.png"}, {2, "board.gif"}, {3, "talk.gif"}}) {
      B_TITLE2 b = *ReadB_TITLE2(s, n);
      b.DIRPIC = pic;
      ASSERT_TRUE(ReWriteB_TITLE2(s, w, b));
    }
    ASSERT_TRUE(DeleteB_TITLE2(s, w, 5));  // only an administrator sees it
  });
  site_.add_user("boss", 100);
  const std::string page = menu("boss");
  EXPECT_EQ(rows(page), (std::vector<std::string>{
                            dir(0, "Office", "&DISP_NO=1"), board(0, "General", 2), board(0, "Lobby", 3, "", "CHAT"), "",
                            board(0, "Lost", 5), board(0, "&lt;script>alert(1)&lt;/script>", 6),
                            board(0, "Bob's \"Board\"", 7)}));
  for (const char* img : {"1/office.png\" ALT=\"Office\"", "2/board.gif\" ALT=\"General\"",
                          "3/talk.gif\" ALT=\"Lobby\"", "folderbook.gif\" ALT=\"Lost\"",
                          "folderbook.gif\" ALT=\"&lt;script&gt;alert(1)&lt;/script&gt;\"",
                          "folderbook.gif\" ALT=\"Bob&#39;s &quot;Board&quot;\""}) {
    EXPECT_TRUE(has(page, std::string("<IMG SRC=\"/plazetpic/") + img + " BORDER=0>")) << img;
  }
  EXPECT_FALSE(has(page, "<script"));
}

TEST_F(MenuTest, AFolderWithoutReadRightIsLeftOutWithItsSubtree) {
  tree("Office,1,Dir,\n News,2,Board,\n Secret,3,Board,\nGeneral,4,Board,\nVault,5,Board,\n", {50, 0, 50, 0, 50});
  site_.add_user("taro", 10);
  site_.add_user("boss", 100);
  EXPECT_EQ(rows(menu("taro")), std::vector<std::string>{board(0, "General", 4)});
  // A hand-made link still lists the readable children of the hidden Dir.
  EXPECT_EQ(rows(menu("taro", "&DISP_NO=1")), (std::vector<std::string>{board(1, "News", 2), board(0, "General", 4)}));
  EXPECT_EQ(rows(menu("boss", "&DISP_NO=1")),
            (std::vector<std::string>{dir(0, "Office", ""), board(1, "News", 2), board(1, "Secret", 3),
                                      board(0, "General", 4), board(0, "Vault", 5)}));
}

TEST_F(MenuTest, UnreadCountsSumReadableBoardsOfTheSubtreeAndLeaveOutZero) {
  tree("Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\n  Secret,4,Board,\n  Deep,5,Dir,\n   Deeper,6,Board,\n"
       " News,7,Board,\n Done,8,Board,\n Quiet,9,Board,\nEmpty,10,Dir,\n Nothing,11,Board,\n",
       {0, 0, 0, 50, 0, 0, 0, 0, 0, 0, 0});
  const std::pair<int, int> counts[] = {{3, 1}, {4, 2}, {6, 4}, {7, 8}, {8, 2}, {9, 5}};
  for (auto [b, n] : counts) posts(b, n);
  site_.with_store([](Store& s, const WriteToken& w) {
    for (int n : {1, 2}) ASSERT_TRUE(WriteREAD_POINT(s, w, 8, READ_POINT{n, "taro"}));
    ASSERT_EQ(WriteUNREAD(s, w, 9, "taro"), 0);
  });
  std::filesystem::remove(site_.board_file(7, "r8.dat"));  // a missing mark file counts as unread
  site_.add_user("taro", 10);
  site_.add_user_line("quiet,Quiet,10,,pw,0,1,1,1,,,1,");  // counts switched off
  site_.add_user("desk", 10, 2);
  EXPECT_EQ(rows(menu("taro")), (std::vector<std::string>{dir(0, "Office", "&DISP_NO=1", "13"),
                                                          dir(0, "Empty", "&DISP_NO=10")}));
  EXPECT_EQ(rows(menu("taro", "&DISP_NO=5&DISP_NO=2&DISP_NO=1")),
            (std::vector<std::string>{dir(0, "Office", "", "13"), dir(1, "Projects", "&DISP_NO=1", "5"),
                                      board(2, "Plans", 3, "1"), dir(2, "Deep", "&DISP_NO=2&DISP_NO=1", "4"),
                                      board(3, "Deeper", 6, "4"), board(1, "News", 7, "8"), board(1, "Done", 8),
                                      board(1, "Quiet", 9), dir(0, "Empty", "&DISP_NO=10")}));
  for (const char* user : {"quiet", "desk"}) {
    EXPECT_EQ(rows(menu(user, "&DISP_NO=1"))[0], dir(0, "Office", "")) << user;
  }
  // Counting created no directory and no mark file.
  for (const char* folder : {"1", "2", "5", "10", "11"}) EXPECT_FALSE(CgiSite::exists(site_.data_dir() + folder));
  EXPECT_FALSE(CgiSite::exists(site_.board_file(7, "r8.dat")));
  EXPECT_EQ(site_.read_file(site_.board_file(9, "unread.dat")), "taro\n");
}

TEST_F(MenuTest, TheButtonColumnFollowsTheAccountAndTheMydataSetting) {
  site_.add_user("taro", 10);
  site_.add_user("boss", 100);
  site_.add_user("desk", 10, 2);
  site_.add_user("front", 100, 2);
  using V = std::vector<std::string>;
  const V personal = {"NRDETAILS", "BATCH_UPLOAD", "SEARCH", "MYDATA", "SETNOREAD", "IDSINSEI", "IDSINSEIlist", "LOGOFF"};
  const V admin = {"NRDETAILS", "BATCH_UPLOAD", "SEARCH", "ADMIN", "MYDATA", "SETNOREAD", "IDSINSEI", "IDSINSEIlist", "LOGOFF"};
  EXPECT_EQ(buttons(menu("taro")), personal);
  EXPECT_EQ(buttons(menu("boss")), admin);
  EXPECT_EQ(buttons(menu("desk")), (V{"BATCH_UPLOAD", "SEARCH", "IDSINSEI", "IDSINSEIlist"}));
  EXPECT_EQ(buttons(menu("front")), (V{"BATCH_UPLOAD", "SEARCH", "ADMIN", "IDSINSEI", "IDSINSEIlist"}));
  site_.setting("MYDATA", "1");
  EXPECT_EQ(buttons(menu("taro")), (V{"NRDETAILS", "BATCH_UPLOAD", "SEARCH", "SETNOREAD", "IDSINSEI", "IDSINSEIlist", "LOGOFF"}));
  // The log-off form posts to the whole window and asks first.
  EXPECT_TRUE(has(menu("taro"), "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST "
                                "TARGET=\"_parent\">\n" + hidden("SKEY", keys_["taro"]) + hidden("JOB", "LOGOFF") +
                                "<INPUT TYPE=\"submit\" VALUE=\"" + text(13) + "\" onClick=\"return confirm('" +
                                text(14) + "')\">\n</FORM>\n"));
}

TEST_F(MenuTest, TheSiteBlockIsCopiedAsItStandsOrLeftOut) {
  site_.add_user("taro", 10);
  const std::string block = "<P>line one</P>\n<P>\x93\xfa\x96\x7b line two</P>\r\nno line end at the end";
  site_.write_file(site_.pic_dir() + "link.html", block);
  const std::string body = "BGPROPERTIES=FIXED >\n";
  EXPECT_TRUE(has(menu("taro"), body + block + "<TABLE>\n</TABLE>\n<FORM"));
  std::filesystem::remove(site_.pic_dir() + "link.html");
  EXPECT_TRUE(has(menu("taro"), body + "<TABLE>\n</TABLE>\n<FORM"));
}

}  // namespace
}  // namespace plazet::testing
