// A folder's settings and access pages: the golden pages, who may open and
// save them, and what each save stores.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "cgi_site.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"

namespace plazet::testing {
namespace {

// boss (administrator), hana (level 5, manager of Staff by a user entry),
// taro (level 1, primary group Dev). Folder 1 "Notices & news" is a board
// with settings; folder 2 "Staff" has level thresholds and rights entries.
struct BoardSite {
  BoardSite() {
    site.users(
        "boss,Boss,100,,pw,0,1,1,1,,,0,\nhana,Hana,5,,pw,0,1,1,1,,,0,\n"
        "taro,Taro,1,,pw,2,1,1,1,,,0,\n");
    site.write_file(site.data_dir() + "group.mst", "1,Sales,\n2,Dev,\n");
    site.new_board("Notices & news", [](B_TITLE2& b) {
      b.ADD_MAX = 3;
      b.READ_CHK = 0;
      b.REWRITE_FLG = 2;
      b.INFO = "Line1\rLine2 <b>";
      b.TITLEPIC = "t.gif";
      b.BACKPIC = "bg.gif";
      b.FONTCOLOR = "FF0000";
    });
    site.new_board("Staff", [](B_TITLE2& b) { b.READ_LEVEL = 10, b.WRITE_LEVEL = 50; });
    site.with_store([](Store& s, const WriteToken& w) {
      for (const B_G_ACL& e : {B_G_ACL{1, 1, 1}, B_G_ACL{2, 2, 2}, B_G_ACL{2, 7, 1}})
        (void)WriteB_G_ACL(s, w, e);
      for (const B_U_ACL& e : {B_U_ACL{1, "taro", 2}, B_U_ACL{2, "hana", 3}, B_U_ACL{2, "gone", 1}})
        (void)WriteB_U_ACL(s, w, e);
    });
  }
  B_TITLE2 settings(long folder) const {
    B_TITLE2 b;
    site.with_store([&](Store& s, const WriteToken&) { b = ReadB_TITLE2(s, folder).value_or(b); });
    return b;
  }
  CgiSite site;
};

// "x{n}" written out as n times x.
std::string expand(std::string s) {
  for (std::smatch m; std::regex_search(s, m, std::regex("(.)\\{(\\d+)\\}"));)
    s.replace(m.position(), m.length(), std::string(std::stoul(m[2]), m.str(1)[0]));
  return s;
}

TEST(BoardAdminGoldenTest, SettingsAndAccessPagesArePrintedExactly) {
  BoardSite b;
  const std::string boss = b.site.key("boss");
  EXPECT_EQ(b.site.as("boss", "JOB=BORDCONFIG&FOLDER_NO=1"), golden("bordconfig.html", boss));
  EXPECT_EQ(b.site.as("boss", "JOB=BORDACCESS&FOLDER_NO=2"), golden("bordaccess.html", boss));
}

TEST(BoardAdminRightsTest, ManagersOfTheFolderAloneGetIn) {
  BoardSite b;
  for (const char* user : {"boss", "hana", "taro"}) (void)b.site.key(user);
  for (const std::vector<std::string>& c : table("board_rights.txt")) {
    SCOPED_TRACE(c[0]);
    const std::string before = b.site.snapshot();
    const std::string page = has(c[2], "WR") ? b.site.post_as(c[1], c[2]) : b.site.as(c[1], c[2]);
    if (c[3] == "form") {
      EXPECT_TRUE(has(page, "name=\"JOB\" value=\"BORD") && has(page, "<INPUT TYPE=\"submit\""));
      continue;
    }
    std::string expected = golden("admin_refusal.html");
    if (c[3].starts_with("under ")) {
      const std::string plain = "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >";
      expected.replace(
          expected.find(plain), plain.size(),
          "\t\t<BODY BACKGROUND=\"/plazetpic/" + c[3].substr(6) + "\" BGPROPERTIES=FIXED >");
    } else {
      expected = expected_page(c[3]);
    }
    EXPECT_EQ(page, expected);
    EXPECT_EQ(b.site.snapshot(), before);
  }
  // His own folder he saves, and sees the form again.
  const std::string saved = b.site.post_as("hana", "JOB=BORDCONFIGWR&FOLDER_NO=2&NAME=Staff room");
  EXPECT_TRUE(has(saved, "<B>(Staff room) " + text(190) + "</B>"));
  EXPECT_EQ(b.settings(2).READ_LEVEL, 10);  // the levels stay
}

TEST(BoardSettingsWriteTest, EachFieldIsStoredAsTheFormSendsItOrABadNameIsRefused) {
  for (const std::vector<std::string>& c : table("board_settings.txt")) {
    SCOPED_TRACE(c[0]);
    BoardSite b;
    b.site.change_board(1, [](B_TITLE2& r) { r.READ_LEVEL = 10, r.WRITE_LEVEL = 50; });
    (void)b.site.key("boss");
    const std::string before = b.site.snapshot();
    const std::string page = b.site.post_as("boss", "JOB=BORDCONFIGWR&FOLDER_NO=1&" + expand(c[1]),
                                            Multipart().file("FILE3", "new.gif", "GIF89a"));
    if (c[2].starts_with("error:")) {
      EXPECT_EQ(page, expected_page(c[2]));
      EXPECT_EQ(b.site.snapshot(), before);
      continue;
    }
    EXPECT_TRUE(has(page, "<B>(Renamed) " + text(190) + "</B>"));
    const B_TITLE2 r = b.settings(1);
    const std::map<std::string, std::string> stored = {
        {"INFO", r.INFO},
        {"DEFO", r.DEFO},
        {"READ_CHK", std::to_string(r.READ_CHK)},
        {"REWRITE_FLG", std::to_string(r.REWRITE_FLG)},
        {"ADD_MAX", std::to_string(r.ADD_MAX)},
        {"READ_LEVEL", std::to_string(r.READ_LEVEL)},
        {"WRITE_LEVEL", std::to_string(r.WRITE_LEVEL)},
        {"FONTCOLOR", r.FONTCOLOR},
        {"RESFONTCOLOR", r.RESFONTCOLOR},
        {"TITLEPIC", r.TITLEPIC}};
    for (const std::string& f : all(expand(c[2]) + "; ", "([^;]*); "))
      EXPECT_EQ(f.substr(0, f.find('=')) + "=" + stored.at(f.substr(0, f.find('='))), f);
  }
}

TEST(BoardSettingsWriteTest, UploadedPicturesGoToTheFoldersPictureDirectory) {
  BoardSite b;
  const std::string fields = "JOB=BORDCONFIGWR&FOLDER_NO=2&NAME=Staff";
  (void)b.site.post_as(
      "hana", fields + "&TITLEPIC=typed.gif&DIRPIC=kept.gif",
      Multipart().file("FILE1", "C:\\pics\\title.gif", "T1").file("FILE2", "..", "B1"));
  const B_TITLE2 r = b.settings(2);
  EXPECT_EQ(r.TITLEPIC, "title.gif");
  EXPECT_EQ(r.BACKPIC, "");  // ".." is no file name
  EXPECT_EQ(r.DIRPIC, "kept.gif");
  EXPECT_EQ(CgiSite::read_file(b.site.pic_dir() + "2/title.gif"), "T1");
  // A second upload of the same name replaces the file.
  (void)b.site.post_as("hana", fields, Multipart().file("FILE3", "title.gif", "T2"));
  EXPECT_EQ(CgiSite::read_file(b.site.pic_dir() + "2/title.gif"), "T2");
  EXPECT_EQ(b.settings(2).DIRPIC, "title.gif");
}

TEST(BoardAccessWriteTest, OneActionChangesTheLevelsOrTheEntries) {
  for (const std::vector<std::string>& c : table("board_access.txt")) {
    SCOPED_TRACE(c[0]);
    BoardSite b;
    const std::string page =
        b.site.post_as("boss", "JOB=BORDACCESSWR&FOLDER_NO=2&" + c[1] + "&USERMODE=1&GROUPMODE=2");
    EXPECT_TRUE(has(page, "<B>(Staff) " + text(191) + "</B>"));
    std::string groups, users;
    b.site.with_store([&](Store& s, const WriteToken&) {
      for (const B_G_ACL& e : group_entries(s, 2))
        groups += " " + std::to_string(e.GROUP_NO) + ":" + std::to_string(e.ACL_MODE);
      for (const B_U_ACL& e : user_entries(s, 2))
        users += " " + e.USER_ID + ":" + std::to_string(e.ACL_MODE);
      EXPECT_EQ(group_entries(s, 1).size() + user_entries(s, 1).size(), 2u);
    });
    EXPECT_EQ(groups, " " + c[2]);
    EXPECT_EQ(users, c[3].empty() ? "" : " " + c[3]);
  }
}

TEST(BoardAccessWriteTest, SavingTheLevelsKeepsEveryOtherSettingAndMendsReadConfirmation) {
  BoardSite b;
  B_TITLE2 expected = b.settings(1);
  (void)b.site.post_as("boss", "JOB=BORDACCESSWR&FOLDER_NO=1&SUB1=x&READ_LEVEL=3&WRITE_LEVEL=4");
  expected.READ_LEVEL = 3;
  expected.WRITE_LEVEL = 4;
  expected.READ_CHK = 1;  // a stored 0 becomes 1
  const B_TITLE2 after = b.settings(1);
  EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title2.mst").size(), 2u * 8800);
  EXPECT_EQ(std::tie(after.READ_LEVEL, after.WRITE_LEVEL, after.READ_CHK, after.ADD_MAX,
                     after.REWRITE_FLG, after.INFO, after.TITLEPIC, after.BACKPIC, after.FONTCOLOR),
            std::tie(expected.READ_LEVEL, expected.WRITE_LEVEL, expected.READ_CHK, expected.ADD_MAX,
                     expected.REWRITE_FLG, expected.INFO, expected.TITLEPIC, expected.BACKPIC,
                     expected.FONTCOLOR));
}

TEST(BoardAdminPageTest, OpenedFromTheBoardThereIsNoButtonBackToTheFolderList) {
  BoardSite b;
  for (const std::string query : {"JOB=BORDCONFIG&FOLDER_NO=2", "JOB=BORDACCESS&FOLDER_NO=2"}) {
    EXPECT_TRUE(has(b.site.as("hana", query), "value=\"FOLDERLIST\"")) << query;
    EXPECT_FALSE(has(b.site.as("hana", query + "&FROM=ROOM"), "FOLDERLIST")) << query;
  }
}

}  // namespace
}  // namespace plazet::testing
