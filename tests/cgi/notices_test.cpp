// The unread notices (the page of unread messages, marking the ticked ones
// read, the notice settings), and the golden pages of the notice, search
// and batch upload families.
#include <gtest/gtest.h>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

// The small site of golden/README.md, and the pages of the notice, search
// and batch families in the order of its second table.
TEST(NoticePagesGoldenTest, EachPageIsPrintedExactly) {
  CgiSite site;
  lay_out_golden_site(site);
  site.add_user_line("desk,Desk,1,,pw,0,1,2,1,,,0,");
  const std::string key = site.key("taro");
  const std::string k = "SKEY=" + key;
  const std::string batch =
      ";board1\nRe:1\nBatch <script>x</script>\nPr:2\nLine one\n..\nRCK:1\nHTM:0\n"
      ";board9\nRe:0\nNowhere\nPr:0\n..\nRCK:1\nHTM:0\n";
  struct Case {
    const char* golden;
    std::string query;
  };
  const Case cases[] = {
      {"search.html", k + "&JOB=SEARCH"},
      {"searchdisp.html", k + "&JOB=SEARCHDISP&CONDITION=Hello&WRITER=&STAT=1&FOLDER_NO=0"},
      {"nrdetails.html", k + "&JOB=NRDETAILS"},
      {"setnoread.html", k + "&JOB=SETNOREAD_WR&BOARD_IN=1&BOARDLIST=1"},
      {"batch_upload.html", k + "&JOB=BATCH_UPLOAD"},
      {"batch_result.html", ""},
      {"nrdetails_shared.html", "SKEY=" + site.key("desk") + "&JOB=NRDETAILS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    const std::string page =
        c.query.empty()
            ? site.post(Multipart().texts(k + "&JOB=BATCH_UPLOAD_WR").file("FILE1", "b.txt", batch))
            : site.get(c.query);
    EXPECT_EQ(page, golden(c.golden, key));
  }
}

// The boards hana may read, opt-outs and hidden subtrees; hana reads
// nothing until a case says so.
class NoticesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("taro");
    site_.add_user("hana");
    site_.add_user("desk", 1, 2);  // a shared account
    const char* names[] = {"Office", "News", "Secret", "Inside", "Deeper", "General", "Quiet"};
    const int kinds[] = {B_TITLE::kDir,   B_TITLE::kBoard, B_TITLE::kDir,  B_TITLE::kBoard,
                         B_TITLE::kBoard, B_TITLE::kBoard, B_TITLE::kBoard};
    for (int i = 0; i < 7; ++i) {
      Change secret = [](B_TITLE2& b) { b.READ_LEVEL = b.WRITE_LEVEL = 5; };
      site_.new_board(names[i], i == 2 || i == 4 ? secret : Change(), kinds[i]);
    }
    // Secret (not readable) holds Inside (readable on its own) and Deeper
    // (not readable either).
    CgiSite::write_file(site_.data_dir() + "b_title.mst",
                        "Office,1,Dir,\n News,2,Board,\nSecret,3,Dir,\n Inside,4,Board,\n"
                        "  Deeper,5,Board,\nGeneral,6,Board,\nQuiet,7,Board,\n");
    for (long board : {2, 4, 5, 6, 7}) (void)site_.post(board, {});
    site_.with_store(
        [](Store& s, const WriteToken& w) { ASSERT_EQ(WriteUNREAD(s, w, 7, "hana"), 0); });
  }
  std::string page(const std::string& user, const std::string& query = "") {
    return site_.as(user, "JOB=NRDETAILS" + query);
  }
  static std::string headings(const std::string& page) {
    return joined(page, "<IMG SRC=\"[^\"]*\"><B>(\\[\\d+\\]\\w+)</B><BR>\n");
  }
  static std::string boxes(const std::string& page) {
    return joined(page, "<INPUT TYPE=\"checkbox\" NAME=\"FOLSEL\" VALUE=\"([\\d,]+)\"");
  }
  CgiSite site_;
};

TEST_F(NoticesTest, HeadingsFollowTheTreeTheRightsAndTheOptOuts) {
  // Secret hides Inside and Deeper; Quiet is left out of hana's notices.
  const std::string unread = page("hana");
  EXPECT_EQ(headings(unread), "[1]Office [2]News [6]General");
  EXPECT_EQ(boxes(unread), "2,1 6,1");
  // Having read everything: the headings and no message.
  for (long board : {2, 6})
    (void)site_.as("hana", "JOB=BORDALLFLG&FOLDER_NO=" + std::to_string(board));
  const std::string read = page("hana");
  EXPECT_EQ(headings(read), "[1]Office [2]News [6]General");
  EXPECT_EQ(boxes(read), "");
  EXPECT_FALSE(has(read, "<TABLE BORDER=0>"));
  // Taro wrote every message and left nothing out.
  EXPECT_EQ(headings(page("taro")), "[1]Office [2]News [6]General [7]Quiet");
  EXPECT_EQ(boxes(page("taro")), "");
  EXPECT_EQ(page("desk"), golden("nrdetails_shared.html"));
}

TEST(NoticesOrderTest, MessagesComeInTheReadersOwnListingOrder) {
  CgiSite site;
  site.add_user("taro");
  for (int order : {0, 1, 2, 3, 4}) {
    const std::string id = "u" + std::to_string(order);
    site.add_user_line(id + "," + id + ",1,,pw,0," + std::to_string(order) + ",1,1,,,0,");
  }
  site.new_board("News");
  for (long parent : {0, 0, 1}) (void)site.post(1, {.parent = parent});  // index: 1 3 2
  const std::pair<const char*, const char*> rows[] = {
      {"u1", "1 3 2"}, {"u2", "1 2 3"}, {"u3", "3 2 1"}, {"u0", ""}, {"u4", ""}};
  for (const auto& [user, numbers] : rows) {
    const std::string page = site.as(user, "JOB=NRDETAILS");
    EXPECT_EQ(joined(page, ">SEL:(\\d+)<BR>"), numbers) << user;
    EXPECT_TRUE(has(page, "<B>[1]News</B>")) << user;
  }
}

TEST_F(NoticesTest, TickAllReloadsTickedAndConfirmingMarksThemRead) {
  (void)site_.post(2, {.parent = 1});
  const std::string plain = page("hana");
  EXPECT_EQ(boxes(plain), "2,1 2,2 6,1");
  EXPECT_FALSE(has(plain, " checked >"));
  const std::string ticked = page("hana", "&CHK_ALL=1");
  EXPECT_EQ(joined(ticked, "VALUE=\"([\\d,]+)\" checked >SEL:"), "2,1 2,2 6,1");
  EXPECT_TRUE(has(site_.as("hana", "JOB=FRM21&DISP_NO=1"), "(2)News"));

  // The browser sends every ticked box; the page comes back with the headings alone.
  const std::string after = site_.post(Multipart()
                                           .texts("SKEY=" + site_.key("hana") + "&JOB=NRDETAILSWR")
                                           .text("FOLSEL", "2,1")
                                           .text("FOLSEL", "2,2")
                                           .text("FOLSEL", "6,1"));
  EXPECT_EQ(headings(after), "[1]Office [2]News [6]General");
  EXPECT_EQ(boxes(after), "");
  EXPECT_EQ(site_.readers(2, 2), (std::vector<std::string>{"taro", "hana"}));
  const std::string menu = site_.as("hana", "JOB=FRM21&DISP_NO=1");
  EXPECT_FALSE(has(menu, "(1)") || has(menu, "(2)")) << menu;
}

TEST_F(NoticesTest, OnlyExistingMessagesOnReadableBoardsAreMarked) {
  struct Row {
    const char* value;
    long board;
    long sel_no;
    bool marked;  // hana's mark is there afterwards
  };
  const Row rows[] = {
      {"2,1", 2, 1, true},    {"C:%5Cdir/6,1", 6, 1, true},  // the part after the last "\" or "/"
      {"5,1", 5, 1, false},                                  // Deeper: no right
      {"2,9", 2, 9, false},                                  // no such message
      {"42,1", 42, 1, false},                                // no such folder
      {"1,1", 1, 1, false},                                  // a Dir
      {"7", 7, 1, false},                                    // no message number
  };
  std::string query = "JOB=NRDETAILSWR";
  for (const Row& r : rows) query += std::string("&FOLSEL=") + r.value;
  // A shared account marks nothing at all.
  EXPECT_EQ(site_.as("desk", query), golden("nrdetails_shared.html"));
  EXPECT_TRUE(site_.readers(2, 1) == std::vector<std::string>{"taro"});
  (void)site_.as("hana", query);
  for (const Row& r : rows) {
    const std::vector<std::string> ids = site_.readers(r.board, r.sel_no);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "hana"), r.marked ? 1 : 0) << r.value;
  }
  // No file or directory for what does not exist.
  EXPECT_FALSE(CgiSite::exists(site_.board_file(2, "r9.dat")));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "42"));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "1"));
}

TEST_F(NoticesTest, SettingsListTheReadableBoardsAndChangeOnlyThose) {
  auto lists = [&] {
    const std::string page = site_.as("hana", "JOB=SETNOREAD");
    const std::size_t right = page.find("NAME=\"BOARDLIST\"");
    return joined(page.substr(0, right), "<OPTION VALUE=\"(\\d+)\">") + " / " +
           joined(page.substr(right), "<OPTION VALUE=\"(\\d+)\">");
  };
  const std::string unread7 = site_.board_file(7, "unread.dat");
  // Boards only, readable ones only, hidden subtrees included; Quiet in both.
  EXPECT_EQ(lists(), "7 / 2 4 6 7");
  struct Step {
    const char* query;
    const char* lists;
    const char* news_list;  // News's unread.dat afterwards
  };
  const Step steps[] = {
      {"BOARD_IN=x&BOARDLIST=2&BOARDLIST=5&BOARDLIST=3&BOARDLIST=1&BOARDLIST=42", "2 7 / 2 4 6 7",
       "hana\n"},
      {"BOARD_IN=x&BOARDLIST=2", "2 7 / 2 4 6 7", "hana\n"},  // already listed: no change
      {"BOARD_IN=x&BOARDLIST=0&BOARDLIST=6", "2 7 / 2 4 6 7", "hana\n"},  // stops at 0
      {"BOARDLIST=6&NOWNOREAD=2", "2 7 / 2 4 6 7", "hana\n"},             // no button pressed
      // Both buttons: the removal runs first, so News stays left out.
      {"BOARD_OUT=x&BOARD_IN=x&NOWNOREAD=2&BOARDLIST=2", "2 7 / 2 4 6 7", "hana\n"},
      {"BOARD_OUT=x&NOWNOREAD=7&NOWNOREAD=2", "/ 2 4 6 7", ""},
      {"BOARD_OUT=x&BOARD_IN=x&NOWNOREAD=6&BOARDLIST=6", "6 / 2 4 6 7", ""},
  };
  for (const Step& s : steps) {
    const std::string page = site_.as("hana", std::string("JOB=SETNOREAD_WR&") + s.query);
    EXPECT_TRUE(has(page, "NAME=\"NOWNOREAD\"")) << s.query;  // the settings page follows
    std::string shown = lists();
    if (shown.front() == ' ') shown.erase(0, 1);
    EXPECT_EQ(shown, s.lists) << s.query;
    EXPECT_EQ(CgiSite::read_file(site_.board_file(2, "unread.dat")), s.news_list) << s.query;
  }
  EXPECT_EQ(CgiSite::read_file(unread7), "");
  EXPECT_EQ(CgiSite::read_file(site_.board_file(6, "unread.dat")), "hana\n");
  // No opt-out list for a board hana may not read, a Dir or a missing folder.
  EXPECT_FALSE(CgiSite::exists(site_.board_file(5, "unread.dat")));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "3"));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "1"));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "42"));
}

}  // namespace
}  // namespace plazet::testing
