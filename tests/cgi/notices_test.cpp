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
  const std::string batch =
      ";board1\nRe:1\nBatch <script>x</script>\nPr:2\nLine one\n..\nRCK:1\nHTM:0\n"
      ";board9\nRe:0\nNowhere\nPr:0\n..\nRCK:1\nHTM:0\n";
  const std::pair<const char*, const char*> cases[] = {
      {"search.html", "JOB=SEARCH"},
      {"searchdisp.html", "JOB=SEARCHDISP&CONDITION=Hello&WRITER=&STAT=1&FOLDER_NO=0"},
      {"nrdetails.html", "JOB=NRDETAILS"},
      {"setnoread.html", "JOB=SETNOREAD_WR&BOARD_IN=1&BOARDLIST=1"},
      {"batch_upload.html", "JOB=BATCH_UPLOAD"},
  };
  for (const auto& [name, query] : cases)
    EXPECT_EQ(site.as("taro", query), golden(name, key)) << name;
  EXPECT_EQ(site.post_as("taro", "JOB=BATCH_UPLOAD_WR", Multipart().file("FILE1", "b.txt", batch)),
            golden("batch_result.html", key));
  EXPECT_EQ(site.as("desk", "JOB=NRDETAILS"), golden("nrdetails_shared.html", key));
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
  const std::string after =
      site_.post_as("hana", "JOB=NRDETAILSWR&FOLSEL=2,1&FOLSEL=2,2&FOLSEL=6,1");
  EXPECT_EQ(headings(after), "[1]Office [2]News [6]General");
  EXPECT_EQ(boxes(after), "");
  EXPECT_EQ(site_.readers(2, 2), (std::vector<std::string>{"taro", "hana"}));
  const std::string menu = site_.as("hana", "JOB=FRM21&DISP_NO=1");
  EXPECT_FALSE(has(menu, "(1)") || has(menu, "(2)")) << menu;
}

TEST_F(NoticesTest, OnlyExistingMessagesOnReadableBoardsAreMarked) {
  std::string query = "JOB=NRDETAILSWR";
  for (const std::vector<std::string>& r : table("notice_marks.txt")) query += "&FOLSEL=" + r[0];
  // A shared account marks nothing at all.
  EXPECT_EQ(site_.as("desk", query), golden("nrdetails_shared.html"));
  EXPECT_TRUE(site_.readers(2, 1) == std::vector<std::string>{"taro"});
  (void)site_.as("hana", query);
  for (const std::vector<std::string>& r : table("notice_marks.txt")) {
    const std::vector<std::string> ids = site_.readers(std::stol(r[1]), std::stol(r[2]));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "hana"), r[3] == "yes" ? 1 : 0) << r[0];
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
  for (const std::vector<std::string>& s : table("notice_optouts.txt")) {
    SCOPED_TRACE(s[0]);
    const std::string page = site_.as("hana", "JOB=SETNOREAD_WR&" + s[0]);
    EXPECT_TRUE(has(page, "NAME=\"NOWNOREAD\""));  // the settings page follows
    std::string shown = lists();
    if (shown.front() == ' ') shown.erase(0, 1);
    EXPECT_EQ(shown, s[1]);
    EXPECT_EQ(CgiSite::read_file(site_.board_file(2, "unread.dat")), s[2]);
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
