#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cgi_site.h"
#include "folders/folder_settings.h"
#include "frame/request.h"
#include "frame/strdef.h"
#include "store/data_lock.h"

namespace plazet {
namespace {

using testing::CgiSite;
using testing::japanese;

constexpr const char* kLinkBlock =
    "<TABLE><TR><TD><B>Our links</B></TD></TR>\n"
    "<TR><TD><A HREF=\"http://example.jp/\" TARGET=\"_top\">Example</A></TD></TR></TABLE>\n";

// Direct work on the site's data files, as a writing request does it. The
// data lock is held while the object lives: destroy it before running the
// program.
class SiteStore {
 public:
  SiteStore(const CgiSite& site, const std::string& user_id) {
    req_.sys.DATA_FILE_PATH = site.data_dir();
    req_.lock = DataLock::acquire(site.data_dir(), LockMode::kExclusive);
    MST_USER user;
    user.USER_ID = user_id;
    user.USER_LEVEL = 10;
    user.MODE = 1;
    req_.user = user;
  }

  // A settings record: readable and writable from `level`, with an icon.
  void settings(long folder_no, std::int32_t level = 0, const std::string& dirpic = "") {
    B_TITLE2 s;
    s.FOLDER_NO = static_cast<std::int32_t>(folder_no);
    s.READ_LEVEL = level;
    s.WRITE_LEVEL = level;
    s.READ_CHK = 1;
    s.REWRITE_FLG = 1;
    s.DIRPIC = dirpic;
    ASSERT_TRUE(ReWriteB_TITLE2(req_, s));
  }

  // `count` new threads on a board.
  void post(long board, int count) {
    for (int i = 0; i < count; ++i) {
      INDEX_DATA m;
      m.FOLDER_NO = static_cast<std::int32_t>(board);
      m.WRITE_DATE = "2024/05/01 09:30";
      m.WRITER = req_.user->USER_ID;
      m.WRITE_TITLE = "t";
      m.READ_CHK = 1;
      ASSERT_TRUE(WriteINDEX_DATA(req_, m));
    }
  }

  void mark(long board, long sel_no) {
    READ_POINT r;
    r.SEL_NO = static_cast<std::int32_t>(sel_no);
    r.USER_ID = req_.user->USER_ID;
    ASSERT_TRUE(WriteREAD_POINT(req_, board, r));
  }

  void opt_out(long board) { ASSERT_EQ(WriteUNREAD(req_, board, req_.user->USER_ID), 0); }

 private:
  Request req_;
};

// Which buttons an account gets.
struct Account {
  bool personal = true;
  bool admin = false;
  bool mydata = true;  // the MYDATA setting is 0
};

class MenuTest : public ::testing::Test {
 protected:
  MenuTest() : t_(japanese()) { site_.write_file(pictures() + "link.html", kLinkBlock); }

  std::string pictures() const { return site_.dir() + "/htdocs/plazetpic/"; }
  void set_tree(const std::string& text) const {
    site_.write_file(site_.data_dir() + "b_title.mst", text);
  }
  // Adds a user line with every field given.
  void add_user(const std::string& id, int level, int mode, int no_read_mode) const {
    site_.write_file(site_.data_dir() + "user.mst",
                     site_.read_file(site_.data_dir() + "user.mst") + id + ",Name of " + id + "," +
                         std::to_string(level) + ",," + "pw,0,1," + std::to_string(mode) + ",1,,," +
                         std::to_string(no_read_mode) + ",\n");
  }
  std::string log_in(const std::string& id) {
    std::optional<std::string> key = site_.log_in(id, "pw");
    EXPECT_TRUE(key);
    return key.value_or("");
  }
  std::string menu(const std::string& key, const std::string& disp_no = "") const {
    return site_.get("SKEY=" + key + "&JOB=FRM21" + disp_no);
  }

  std::string head() const {
    return std::string("Content-type: text/html\n\n<HTML>\n<HEAD>\n") + t_.text(1) +
           "</HEAD>\n<!--" + t_.text(2) +
           "-->\n"
           "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n";
  }

  std::string form(const std::string& key, const std::string& job,
                   const std::string& submit) const {
    return "<FORM ACTION=\"plazet.cgi\" METHOD=GET TARGET=\"FRM22\">\n"
           "<INPUT TYPE=\"hidden\" name=\"SKEY\" value=\"" +
           key +
           "\">\n"
           "<INPUT TYPE=\"hidden\" name=\"JOB\" value=\"" +
           job + "\">\n" + submit + "</FORM>\n";
  }
  std::string named(int text) const {
    return std::string("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"") + t_.text(text) + "\">\n";
  }

  std::string buttons(const std::string& key, Account a = {}) const {
    std::string out;
    if (a.personal) out += form(key, "NRDETAILS", named(102));
    out += form(key, "BATCH_UPLOAD",
                std::string("<INPUT TYPE=\"submit\" VALUE=\"") + t_.text(365) + "\">\n");
    out += form(key, "SEARCH", named(103));
    if (a.admin) out += form(key, "ADMIN", named(104));
    if (a.personal && a.mydata) out += form(key, "MYDATA", named(105));
    if (a.personal) out += form(key, "SETNOREAD", named(373));
    out += form(key, "IDSINSEI", named(106));
    out += form(key, "IDSINSEIlist", named(107));
    if (a.personal) {
      out +=
          "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST "
          "TARGET=\"_parent\">\n"
          "<INPUT TYPE=\"hidden\" name=\"SKEY\" value=\"" +
          key +
          "\">\n"
          "<INPUT TYPE=\"hidden\" name=\"JOB\" value=\"LOGOFF\">\n"
          "<INPUT TYPE=\"submit\" VALUE=\"" +
          t_.text(13) + "\" onClick=\"return confirm('" + t_.text(14) + "')\">\n</FORM>\n";
    }
    return out;
  }

  std::string page(const std::string& key, const std::string& rows, Account a = {},
                   const std::string& block = kLinkBlock) const {
    return head() + block + "<TABLE>\n" + rows + "</TABLE>\n" + buttons(key, a) +
           "</BODY>\n</HTML>\n";
  }

  // One row of the tree. `link` is the whole opening A tag.
  static std::string row(int depth, const std::string& link, const std::string& icon,
                         const std::string& name, long count = 0) {
    std::string out = "<TR><TD NOWRAP>";
    for (int i = 0; i < depth; ++i) out += "&nbsp;&nbsp;";
    out += link + "<IMG SRC=\"/plazetpic/" + icon + "\" ALT=\"" + name + "\" BORDER=0>";
    if (count > 0) out += "(" + std::to_string(count) + ")";
    return out + name + "</A><BR>\n</TD></TR>\n";
  }
  static std::string dir_row(const std::string& key, int depth, const std::string& name,
                             const std::string& disp_no, long count = 0) {
    return row(depth, "<A HREF=\"plazet.cgi?SKEY=" + key + "&JOB=FRM21" + disp_no + "\">",
               "folderclose.gif", name, count);
  }
  static std::string board_row(const std::string& key, int depth, long folder_no,
                               const std::string& name, long count = 0) {
    return row(depth,
               "<A HREF=\"plazet.cgi?SKEY=" + key + "&JOB=ROOM&FOLDER_NO=" +
                   std::to_string(folder_no) + "&FAST_FLG=1\" TARGET=\"FRM22\">",
               "folderbook.gif", name, count);
  }

  CgiSite site_;
  STRDEF t_;
};

// --- Opening and closing Dirs ---

TEST_F(MenuTest, DispNoLinksKeepExactlyOnePathOpen) {
  set_tree("Office,1,Dir,\n Projects,2,Dir,\n  Plans,3,Board,\n");
  {
    SiteStore store(site_, "hana");
    for (long n = 1; n <= 3; ++n) store.settings(n);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");

  EXPECT_EQ(menu(key),
            page(key, "<TR><TD NOWRAP><A HREF=\"plazet.cgi?SKEY=" + key +
                          "&JOB=FRM21&DISP_NO=1\"><IMG SRC=\"/plazetpic/folderclose.gif\" "
                          "ALT=\"Office\" BORDER=0>Office</A><BR>\n</TD></TR>\n"));

  EXPECT_EQ(menu(key, "&DISP_NO=1"),
            page(key, dir_row(key, 0, "Office", "") +
                          "<TR><TD NOWRAP>&nbsp;&nbsp;<A HREF=\"plazet.cgi?SKEY=" + key +
                          "&JOB=FRM21&DISP_NO=2&DISP_NO=1\"><IMG "
                          "SRC=\"/plazetpic/folderclose.gif\" ALT=\"Projects\" "
                          "BORDER=0>Projects</A><BR>\n</TD></TR>\n"));

  const std::string all_open =
      page(key, dir_row(key, 0, "Office", "") + dir_row(key, 1, "Projects", "&DISP_NO=1") +
                    "<TR><TD NOWRAP>&nbsp;&nbsp;&nbsp;&nbsp;<A HREF=\"plazet.cgi?SKEY=" + key +
                    "&JOB=ROOM&FOLDER_NO=3&FAST_FLG=1\" TARGET=\"FRM22\"><IMG "
                    "SRC=\"/plazetpic/folderbook.gif\" ALT=\"Plans\" BORDER=0>Plans</A><BR>\n"
                    "</TD></TR>\n");
  EXPECT_EQ(menu(key, "&DISP_NO=2&DISP_NO=1"), all_open);
  EXPECT_EQ(menu(key, "&DISP_NO=1&DISP_NO=2"), all_open);

  // Each folder is judged by its own parent alone: with only Projects open,
  // Plans is listed and Projects, whose parent is closed, is not.
  const std::string plans_only =
      page(key, dir_row(key, 0, "Office", "&DISP_NO=1") + board_row(key, 2, 3, "Plans"));
  EXPECT_EQ(menu(key, "&DISP_NO=2"), plans_only);
  // The values are read up to the first empty one.
  EXPECT_EQ(menu(key, "&DISP_NO=2&DISP_NO=&DISP_NO=1"), plans_only);
}

TEST_F(MenuTest, ATopLevelDirClosesEveryOtherBranch) {
  set_tree("Office,1,Dir,\n News,2,Board,\nHome,3,Dir,\n Diary,4,Board,\n");
  {
    SiteStore store(site_, "hana");
    for (long n = 1; n <= 4; ++n) store.settings(n);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  EXPECT_EQ(menu(key, "&DISP_NO=3"),
            page(key, dir_row(key, 0, "Office", "&DISP_NO=1") + dir_row(key, 0, "Home", "") +
                          board_row(key, 1, 4, "Diary")));
}

// --- The lines of each kind ---

TEST_F(MenuTest, DirBoardAndChatLinesAreWrittenExactly) {
  // A line whose kind word is unknown keeps its row, empty.
  set_tree("Office,1,Dir,\n News,2,Board,\nGeneral,3,Board,\nLobby,4,Chat,\nOdd,5,Xyz,\n");
  {
    SiteStore store(site_, "hana");
    for (long n = 1; n <= 5; ++n) store.settings(n);
    store.post(2, 2);
    store.post(3, 3);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  EXPECT_EQ(
      menu(key, "&DISP_NO=1"),
      page(key, "<TR><TD NOWRAP><A HREF=\"plazet.cgi?SKEY=" + key +
                    "&JOB=FRM21\"><IMG SRC=\"/plazetpic/folderclose.gif\" ALT=\"Office\" "
                    "BORDER=0>(2)Office</A><BR>\n</TD></TR>\n"
                    "<TR><TD NOWRAP>&nbsp;&nbsp;<A HREF=\"plazet.cgi?SKEY=" +
                    key +
                    "&JOB=ROOM&FOLDER_NO=2&FAST_FLG=1\" TARGET=\"FRM22\"><IMG "
                    "SRC=\"/plazetpic/folderbook.gif\" ALT=\"News\" BORDER=0>(2)News</A><BR>\n"
                    "</TD></TR>\n"
                    "<TR><TD NOWRAP><A HREF=\"plazet.cgi?SKEY=" +
                    key +
                    "&JOB=ROOM&FOLDER_NO=3&FAST_FLG=1\" TARGET=\"FRM22\"><IMG "
                    "SRC=\"/plazetpic/folderbook.gif\" ALT=\"General\" "
                    "BORDER=0>(3)General</A><BR>\n</TD></TR>\n"
                    "<TR><TD NOWRAP><A HREF=\"plazet.cgi?SKEY=" +
                    key +
                    "&JOB=CHAT&FOLDER_NO=4&FAST_FLG=1\" TARGET=\"FRM22\"><IMG "
                    "SRC=\"/plazetpic/folderchat.gif\" ALT=\"Lobby\" BORDER=0>Lobby</A><BR>\n"
                    "</TD></TR>\n"
                    "<TR><TD NOWRAP></TD></TR>\n"));
}

TEST_F(MenuTest, AFolderPictureReplacesTheKindIcon) {
  set_tree("Office,1,Dir,\nGeneral,2,Board,\nLobby,3,Chat,\nLost,4,Board,\n");
  {
    SiteStore store(site_, "hana");
    store.settings(1, 0, "office.png");
    store.settings(2, 0, "board.gif");
    store.settings(3, 0, "talk.gif");
    // Folder 4 has no settings record.
  }
  site_.add_user("boss", "pw", 100, 1);
  const std::string key = log_in("boss");
  EXPECT_EQ(menu(key), page(key,
                            row(0, "<A HREF=\"plazet.cgi?SKEY=" + key + "&JOB=FRM21&DISP_NO=1\">",
                                "1/office.png", "Office") +
                                row(0,
                                    "<A HREF=\"plazet.cgi?SKEY=" + key +
                                        "&JOB=ROOM&FOLDER_NO=2&FAST_FLG=1\" TARGET=\"FRM22\">",
                                    "2/board.gif", "General") +
                                row(0,
                                    "<A HREF=\"plazet.cgi?SKEY=" + key +
                                        "&JOB=CHAT&FOLDER_NO=3&FAST_FLG=1\" TARGET=\"FRM22\">",
                                    "3/talk.gif", "Lobby") +
                                board_row(key, 0, 4, "Lost"),
                            Account{true, true, true}));
}

// --- Rights ---

TEST_F(MenuTest, AHiddenDirHasNoLinkAndItsSubtreeStaysOut) {
  set_tree("Office,1,Dir,\n News,2,Board,\n Secret,3,Board,\nGeneral,4,Board,\nVault,5,Board,\n");
  {
    SiteStore store(site_, "hana");
    store.settings(1, 50);
    store.settings(2);
    store.settings(3, 50);
    store.settings(4);
    store.settings(5, 50);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  EXPECT_EQ(menu(key), page(key, board_row(key, 0, 4, "General")));
  // A hand-made link still lists the readable children of the hidden Dir.
  EXPECT_EQ(menu(key, "&DISP_NO=1"),
            page(key, board_row(key, 1, 2, "News") + board_row(key, 0, 4, "General")));

  site_.add_user("boss", "pw", 100, 1);
  const std::string boss = log_in("boss");
  EXPECT_EQ(menu(boss, "&DISP_NO=1"),
            page(boss,
                 dir_row(boss, 0, "Office", "") + board_row(boss, 1, 2, "News") +
                     board_row(boss, 1, 3, "Secret") + board_row(boss, 0, 4, "General") +
                     board_row(boss, 0, 5, "Vault"),
                 Account{true, true, true}));
}

// --- Unread counts ---

TEST_F(MenuTest, ADirCountsEveryReadableBoardOfItsSubtreeAndZeroIsNotShown) {
  set_tree(
      "Office,1,Dir,\n"
      " Projects,2,Dir,\n"
      "  Plans,3,Board,\n"
      "  Secret,4,Board,\n"
      "  Deep,5,Dir,\n"
      "   Deeper,6,Board,\n"
      " News,7,Board,\n"
      " Done,8,Board,\n"
      "Empty,9,Dir,\n"
      " Nothing,10,Board,\n");
  {
    SiteStore store(site_, "hana");
    for (long n = 1; n <= 10; ++n) store.settings(n, n == 4 ? 50 : 0);
    store.post(3, 1);
    store.post(4, 2);
    store.post(6, 4);
    store.post(7, 8);
    store.post(8, 2);
  }
  {
    SiteStore store(site_, "taro");
    store.mark(8, 1);
    store.mark(8, 2);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  EXPECT_EQ(menu(key), page(key, dir_row(key, 0, "Office", "&DISP_NO=1", 1 + 4 + 8) +
                                     dir_row(key, 0, "Empty", "&DISP_NO=9")));
  EXPECT_EQ(
      menu(key, "&DISP_NO=5&DISP_NO=2&DISP_NO=1"),
      page(key, dir_row(key, 0, "Office", "", 13) + dir_row(key, 1, "Projects", "&DISP_NO=1", 5) +
                    board_row(key, 2, 3, "Plans", 1) +
                    dir_row(key, 2, "Deep", "&DISP_NO=2&DISP_NO=1", 4) +
                    board_row(key, 3, 6, "Deeper", 4) + board_row(key, 1, 7, "News", 8) +
                    board_row(key, 1, 8, "Done") + dir_row(key, 0, "Empty", "&DISP_NO=9")));
  // Counting gave no folder a data directory it did not have.
  for (const char* folder : {"1", "2", "5", "9", "10"}) {
    EXPECT_FALSE(std::filesystem::exists(site_.data_dir() + folder)) << folder;
  }
}

TEST_F(MenuTest, AnOptedOutBoardShowsNoCountAndAddsNothing) {
  set_tree("Office,1,Dir,\n News,2,Board,\n Quiet,3,Board,\n");
  {
    SiteStore store(site_, "hana");
    for (long n = 1; n <= 3; ++n) store.settings(n);
    store.post(2, 1);
    store.post(3, 5);
  }
  {
    SiteStore store(site_, "taro");
    store.opt_out(3);
  }
  std::filesystem::remove(site_.data_dir() + "2/r1.dat");
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  EXPECT_EQ(menu(key, "&DISP_NO=1"),
            page(key, dir_row(key, 0, "Office", "", 1) + board_row(key, 1, 2, "News", 1) +
                          board_row(key, 1, 3, "Quiet")));
  // Counting read the missing mark file as empty and did not create it.
  EXPECT_FALSE(std::filesystem::exists(site_.data_dir() + "2/r1.dat"));
  EXPECT_EQ(site_.read_file(site_.data_dir() + "3/unread.dat"), "taro\n");
}

// --- Accounts ---

TEST_F(MenuTest, ASharedAccountSeesNoCountsAndOnlyTheCommonButtons) {
  set_tree("Office,1,Dir,\n News,2,Board,\n");
  {
    SiteStore store(site_, "hana");
    store.settings(1);
    store.settings(2);
    store.post(2, 3);
  }
  site_.add_user("desk", "pw", 10, 2);
  const std::string key = log_in("desk");
  EXPECT_EQ(menu(key, "&DISP_NO=1"),
            page(key, dir_row(key, 0, "Office", "") + board_row(key, 1, 2, "News"),
                 Account{false, false, true}));

  site_.add_user("front", "pw", 100, 2);
  const std::string admin = log_in("front");
  EXPECT_EQ(menu(admin),
            page(admin, dir_row(admin, 0, "Office", "&DISP_NO=1"), Account{false, true, true}));
}

TEST_F(MenuTest, CountsSwitchedOffShowNone) {
  set_tree("Office,1,Dir,\n News,2,Board,\n");
  {
    SiteStore store(site_, "hana");
    store.settings(1);
    store.settings(2);
    store.post(2, 3);
  }
  add_user("quiet", 10, 1, 1);
  add_user("busy", 10, 1, 0);
  const std::string key = log_in("quiet");
  EXPECT_EQ(menu(key, "&DISP_NO=1"),
            page(key, dir_row(key, 0, "Office", "") + board_row(key, 1, 2, "News")));
  const std::string busy = log_in("busy");
  EXPECT_EQ(menu(busy, "&DISP_NO=1"),
            page(busy, dir_row(busy, 0, "Office", "", 3) + board_row(busy, 1, 2, "News", 3)));
}

TEST_F(MenuTest, TheButtonColumnFollowsTheAccountAndTheMydataSetting) {
  site_.add_user("taro", "pw", 10, 1);
  site_.add_user("boss", "pw", 100, 1);
  const std::string taro = log_in("taro");
  const std::string boss = log_in("boss");
  // No folder tree at all: an empty table, the buttons still there.
  EXPECT_EQ(menu(taro), page(taro, ""));
  EXPECT_EQ(menu(boss), page(boss, "", Account{true, true, true}));

  site_.write_file(site_.ini_file(), site_.read_file(site_.ini_file()) + "MYDATA,1,\n");
  EXPECT_EQ(menu(taro), page(taro, "", Account{true, false, false}));
  EXPECT_EQ(menu(boss), page(boss, "", Account{true, true, false}));
}

// --- The site block and names ---

TEST_F(MenuTest, TheSiteBlockIsCopiedAsItStandsOrLeftOut) {
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  const std::string block =
      "<P>line one</P>\n<P>\x93\xfa\x96\x7b line two</P>\r\nno line end at the end";
  site_.write_file(pictures() + "link.html", block);
  EXPECT_EQ(menu(key), page(key, "", Account{}, block));
  std::filesystem::remove(pictures() + "link.html");
  EXPECT_EQ(menu(key), page(key, "", Account{}, ""));
}

TEST_F(MenuTest, MarkupInAFolderNameIsNeitherRunNorBreaksTheAltText) {
  set_tree("<script>alert(1)</script>,1,Board,\nBob's \"Board\",2,Board,\n");
  {
    SiteStore store(site_, "hana");
    store.settings(1);
    store.settings(2);
  }
  site_.add_user("taro", "pw", 10, 1);
  const std::string key = log_in("taro");
  const std::string link = "<A HREF=\"plazet.cgi?SKEY=" + key + "&JOB=ROOM&FOLDER_NO=";
  EXPECT_EQ(menu(key),
            page(key, "<TR><TD NOWRAP>" + link +
                          "1&FAST_FLG=1\" TARGET=\"FRM22\"><IMG SRC=\"/plazetpic/folderbook.gif\" "
                          "ALT=\"&lt;script&gt;alert(1)&lt;/script&gt;\" "
                          "BORDER=0>&lt;script>alert(1)&lt;/script></A><BR>\n</TD></TR>\n"
                          "<TR><TD NOWRAP>" +
                          link +
                          "2&FAST_FLG=1\" TARGET=\"FRM22\"><IMG SRC=\"/plazetpic/folderbook.gif\" "
                          "ALT=\"Bob&#39;s &quot;Board&quot;\" BORDER=0>Bob's \"Board\"</A><BR>\n"
                          "</TD></TR>\n"));
}

}  // namespace
}  // namespace plazet
