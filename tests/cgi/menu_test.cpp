// The folder menu: which rows, how deep, which links and counts, which
// buttons.
#include <gtest/gtest.h>

#include <regex>

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
  EXPECT_EQ(joined(site_.as("boss", "JOB=FRM21"), "<IMG [^>]* ALT=\"([^\"]*)\""),
            "Office Lobby Lost &lt;script&gt;x&lt;/script&gt; Bob&#39;s &quot;B&quot;");
}

TEST_F(MenuTest, AFolderWithoutReadRightIsLeftOutWithItsSubtree) {
  tree("Office,1,Dir,\n News,2,Board,\n Secret,3,Board,\nGeneral,4,Board,\n", {50, 0, 50, 0});
  EXPECT_EQ(menu("taro"), Rows{board("", 4, "General")});
  // A hand-made link still lists the readable children of the hidden Dir.
  EXPECT_EQ(menu("taro", "&DISP_NO=1"), (Rows{board(".", 2, "News"), board("", 4, "General")}));
  EXPECT_EQ(menu("boss", "&DISP_NO=1"), (Rows{"FRM21 Office", board(".", 2, "News"),
                                              board(".", 3, "Secret"), board("", 4, "General")}));
}

// The program keeps each board's read-mark summary: made by the first
// request under the exclusive lock (the log-in), written again by each
// request that changes marks, never used once the index changed behind the
// program's back, and made again by the next exclusive request.
TEST_F(MenuTest, TheCountsFollowEveryChangeAndTheSummariesAreKeptByTheProgram) {
  tree("B1,1,Board,\nB2,2,Board,\n", {0, 0});
  for (int i = 0; i < 3; ++i) site_.post(1, Msg{.writer = "boss"});
  for (int i = 0; i < 2; ++i) site_.post(2, Msg{.writer = "boss"});
  const std::string index2 = site_.board_file(2, "index.dat");
  // The index size a summary was made for (its bytes 16 to 23), -1 for none.
  auto summarised = [&](long b) {
    const std::string f = site_.read_file(site_.board_file(b, "marks.idx"));
    long size = 0;
    for (std::size_t i = 16; i < 24 && f.size() >= 64; ++i)
      size = size * 256 + static_cast<unsigned char>(f[i]);
    return f.size() < 64 ? -1 : size;
  };
  auto expect = [&](const char* step, const char* count1, const char* count2, long size1,
                    long size2) {
    SCOPED_TRACE(step);
    EXPECT_EQ(menu("taro"), (Rows{board("", 1, count1 + std::string("B1")),
                                  board("", 2, count2 + std::string("B2"))}));
    EXPECT_EQ(std::pair(summarised(1), summarised(2)), std::pair(size1, size2));
  };
  expect("log-in", "(3)", "(2)", 480, 320);
  (void)site_.as("taro", "JOB=DETAILS&FOLDER_NO=1&SEL_NO=2");
  expect("message read", "(2)", "(2)", 480, 320);
  std::string record = site_.read_file(index2).substr(0, 160);
  record[7] = 9;  // SEL_NO 9
  site_.write_file(index2, site_.read_file(index2) + record);
  expect("message appended to an index by another program", "(2)", "(3)", 480, 320);
  (void)site_.as("taro", "JOB=DETAILS&FOLDER_NO=1&SEL_NO=3");
  expect("the next exclusive request", "(1)", "(3)", 480, 480);
}

}  // namespace
}  // namespace plazet::testing
