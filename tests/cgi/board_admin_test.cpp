// A folder's settings and access pages: the golden pages, who may open and
// save them, and what each save stores.
#include <gtest/gtest.h>

#include <string>

#include "cgi_site.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"

namespace plazet::testing {
namespace {

// boss (administrator), hana (level 5, manager of Staff by a user entry),
// taro (level 1, primary group Dev). Folder 1 "Notices & news" is a board
// with settings; folder 2 "Staff" has level thresholds and rights entries.
struct BoardSite {
  BoardSite() {
    site.write_file(site.data_dir() + "user.mst",
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
    site.new_board("Staff", [](B_TITLE2& b) {
      b.READ_LEVEL = 10;
      b.WRITE_LEVEL = 50;
    });
    site.with_store([](Store& s, const WriteToken& w) {
      for (const B_G_ACL& e : {B_G_ACL{1, 1, 1}, B_G_ACL{2, 2, 2}, B_G_ACL{2, 7, 1}}) {
        (void)WriteB_G_ACL(s, w, e);
      }
      for (const B_U_ACL& e :
           {B_U_ACL{1, "taro", 2}, B_U_ACL{2, "hana", 3}, B_U_ACL{2, "gone", 1}}) {
        (void)WriteB_U_ACL(s, w, e);
      }
    });
  }
  std::string post(const std::string& user, const std::string& fields, Multipart form = {}) {
    form.text("SKEY", site.key(user));
    return site.post(fields.empty() ? form : form.texts(fields));
  }
  B_TITLE2 settings(long folder) const {
    B_TITLE2 b;
    site.with_store([&](Store& s, const WriteToken&) { b = ReadB_TITLE2(s, folder).value_or(b); });
    return b;
  }
  std::string acl(const char* name) const { return CgiSite::read_file(site.data_dir() + name); }
  CgiSite site;
};

std::string error_page(int title, int message) {
  std::string page = golden("error.html");
  page.replace(page.find(text(278)), text(278).size(), text(title));
  page.replace(page.find(text(295)), text(295).size(), text(message));
  return page;
}

// The refusal of both pages, under the folder's own background.
std::string refusal_under(const std::string& body_line) {
  std::string page = golden("admin_refusal.html");
  const std::string plain = "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >";
  page.replace(page.find(plain), plain.size(), body_line);
  return page;
}

TEST(BoardAdminGoldenTest, SettingsAndAccessPagesArePrintedExactly) {
  BoardSite b;
  const std::string boss = b.site.key("boss");
  EXPECT_EQ(b.site.as("boss", "JOB=BORDCONFIG&FOLDER_NO=1"), golden("bordconfig.html", boss));
  EXPECT_EQ(b.site.as("boss", "JOB=BORDACCESS&FOLDER_NO=2"), golden("bordaccess.html", boss));
}

TEST(BoardAdminRightsTest, ManagersOfTheFolderAloneGetIn) {
  BoardSite b;
  const std::string own_back = "\t\t<BODY BACKGROUND=\"/plazetpic/1/bg.gif\" BGPROPERTIES=FIXED >";
  const std::string plain_back =
      "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >";
  struct Case {
    const char* name;
    const char* user;
    const char* query;
    std::string expected;  // "page": the form; otherwise the whole page
  };
  const Case cases[] = {
      {"manager, settings of his folder", "hana", "JOB=BORDCONFIG&FOLDER_NO=2", "page"},
      {"manager, access of his folder", "hana", "JOB=BORDACCESS&FOLDER_NO=2", "page"},
      {"manager, settings of another", "hana", "JOB=BORDCONFIG&FOLDER_NO=1",
       refusal_under(own_back)},
      {"manager, access of another", "hana", "JOB=BORDACCESS&FOLDER_NO=1", refusal_under(own_back)},
      {"writer by entry", "taro", "JOB=BORDCONFIG&FOLDER_NO=1", refusal_under(own_back)},
      {"member of a writing group", "taro", "JOB=BORDACCESS&FOLDER_NO=2",
       refusal_under(plain_back)},
      {"administrator, folder without a line", "boss", "JOB=BORDACCESS&FOLDER_NO=9", "page"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string page = b.site.as(c.user, c.query);
    if (c.expected == "page") {
      EXPECT_TRUE(has(page, "name=\"JOB\" value=\"BORD"));
      EXPECT_TRUE(has(page, "<INPUT TYPE=\"submit\""));
    } else {
      EXPECT_EQ(page, c.expected);
    }
  }
  // Saving another folder's settings or rights is refused and stores nothing.
  const std::string settings = CgiSite::read_file(b.site.data_dir() + "b_title2.mst");
  const std::string tree = CgiSite::read_file(b.site.data_dir() + "b_title.mst");
  const std::string groups = b.acl("b_g_acl.mst"), users = b.acl("b_u_acl.mst");
  for (const char* fields : {"JOB=BORDCONFIGWR&FOLDER_NO=1&NAME=Mine&ADD_MAX=9",
                             "JOB=BORDACCESSWR&FOLDER_NO=1&SUB1=x&READ_LEVEL=0&WRITE_LEVEL=0",
                             "JOB=BORDACCESSWR&FOLDER_NO=1&USER_ADD=x&USERLIST=hana&USERMODE=3",
                             "JOB=BORDACCESSWR&FOLDER_NO=1&GROUP_DEL=x&NOWGROUP=1"}) {
    SCOPED_TRACE(fields);
    EXPECT_EQ(b.post("hana", fields), error_page(109, 3));
  }
  EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title2.mst"), settings);
  EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title.mst"), tree);
  EXPECT_EQ(b.acl("b_g_acl.mst"), groups);
  EXPECT_EQ(b.acl("b_u_acl.mst"), users);
  // His own folder he saves, and sees the form again.
  const std::string saved = b.post("hana", "JOB=BORDCONFIGWR&FOLDER_NO=2&NAME=Staff room");
  EXPECT_TRUE(has(saved, "<B>(Staff room) " + text(190) + "</B>"));
  EXPECT_EQ(b.settings(2).READ_LEVEL, 10);  // the levels stay
}

TEST(BoardSettingsWriteTest, EachFieldIsStoredAsTheFormSendsIt) {
  const std::string long_info = std::string(2499, 'a') + "\r\n" + std::string(2499, 'b');
  struct Case {
    const char* name;
    std::string fields;
    std::function<void(const B_TITLE2&)> check;
  };
  const Case cases[] = {
      {"description cut at 4000 bytes, line ends CR", "&INFO=" + long_info,
       [&](const B_TITLE2& r) {
         EXPECT_EQ(r.INFO, std::string(2499, 'a') + "\r" + std::string(1499, 'b'));
       }},
      {"default text CR LF stored as CR", "&DEFO=one\r\ntwo\nthree",
       [](const B_TITLE2& r) { EXPECT_EQ(r.DEFO, "one\rtwothree"); }},
      {"choices below 1 saved as 1", "&READ_CHK=0&REWRITE_FLG=-4",
       [](const B_TITLE2& r) {
         EXPECT_EQ(r.READ_CHK, 1);
         EXPECT_EQ(r.REWRITE_FLG, 1);
       }},
      {"choices of 2 kept", "&READ_CHK=2&REWRITE_FLG=2&ADD_MAX=4",
       [](const B_TITLE2& r) {
         EXPECT_EQ(r.READ_CHK, 2);
         EXPECT_EQ(r.REWRITE_FLG, 2);
         EXPECT_EQ(r.ADD_MAX, 4);
       }},
      {"hexadecimal and word colours stored", "&FONTCOLOR=00ff7F&RESFONTCOLOR=Navy",
       [](const B_TITLE2& r) {
         EXPECT_EQ(r.FONTCOLOR, "00ff7F");
         EXPECT_EQ(r.RESFONTCOLOR, "Navy");
       }},
      {"other colours keep the stored one", "&FONTCOLOR=\"><x>&RESFONTCOLOR=12345G",
       [](const B_TITLE2& r) {
         EXPECT_EQ(r.FONTCOLOR, "FF0000");
         EXPECT_EQ(r.RESFONTCOLOR, "");
       }},
      {"an empty colour clears it",
       "&FONTCOLOR=", [](const B_TITLE2& r) { EXPECT_EQ(r.FONTCOLOR, ""); }},
      {"picture names cut at their field", "&TITLEPIC=" + std::string(300, 'p'),
       [](const B_TITLE2& r) { EXPECT_EQ(r.TITLEPIC, std::string(251, 'p')); }},
      {"levels unchanged by the settings", "&ADD_MAX=1",
       [](const B_TITLE2& r) {
         EXPECT_EQ(r.READ_LEVEL, 10);
         EXPECT_EQ(r.WRITE_LEVEL, 50);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoardSite b;
    b.site.change_board(1, [](B_TITLE2& r) {
      r.READ_LEVEL = 10;
      r.WRITE_LEVEL = 50;
    });
    Multipart form;
    form.text("JOB", "BORDCONFIGWR").text("FOLDER_NO", "1").text("NAME", "Renamed");
    for (std::size_t at = 1, end = 0; end != std::string::npos; at = end + 1) {
      end = c.fields.find("&", at);
      // Values here hold no "&" of their own but may hold "=" and line ends.
      const std::string field = c.fields.substr(at, end - at);
      form.text(field.substr(0, field.find('=')), field.substr(field.find('=') + 1));
    }
    const std::string page = b.post("boss", "", form);
    EXPECT_TRUE(has(page, "<B>(Renamed) " + text(190) + "</B>"));
    c.check(b.settings(1));
  }
}

TEST(BoardSettingsWriteTest, NamesThatCannotBeStoredAreRefusedBeforeAnything) {
  struct Case {
    const char* name;
    std::string value;
    std::string page;
  };
  const Case cases[] = {
      {"empty", "", error_page(190, 206)},
      {"blanks only", "   ", error_page(190, 206)},
      {"comma", "a,b", error_page(190, 382)},
      {"line feed", "a\nb", error_page(190, 382)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoardSite b;
    const std::string settings = CgiSite::read_file(b.site.data_dir() + "b_title2.mst");
    const std::string tree = CgiSite::read_file(b.site.data_dir() + "b_title.mst");
    Multipart form;
    form.text("JOB", "BORDCONFIGWR").text("FOLDER_NO", "1").text("NAME", c.value);
    form.text("ADD_MAX", "7").file("FILE1", "new.gif", "GIF89a");
    EXPECT_EQ(b.post("boss", "", form), c.page);
    EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title2.mst"), settings);
    EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title.mst"), tree);
    EXPECT_FALSE(CgiSite::exists(b.site.pic_dir() + "1/new.gif"));
  }
}

TEST(BoardSettingsWriteTest, UploadedPicturesGoToTheFoldersPictureDirectory) {
  BoardSite b;
  Multipart form;
  form.text("JOB", "BORDCONFIGWR").text("FOLDER_NO", "2").text("NAME", "Staff");
  form.text("TITLEPIC", "typed.gif").text("DIRPIC", "kept.gif");
  form.file("FILE1", "C:\\pics\\title.gif", "T1").file("FILE2", "..", "B1");
  (void)b.post("hana", "", form);
  const B_TITLE2 r = b.settings(2);
  EXPECT_EQ(r.TITLEPIC, "title.gif");
  EXPECT_EQ(r.BACKPIC, "");  // ".." is no file name
  EXPECT_EQ(r.DIRPIC, "kept.gif");
  EXPECT_EQ(CgiSite::read_file(b.site.pic_dir() + "2/title.gif"), "T1");
  // A second upload of the same name replaces the file.
  form = Multipart();
  form.text("JOB", "BORDCONFIGWR").text("FOLDER_NO", "2").text("NAME", "Staff");
  form.file("FILE3", "title.gif", "T2");
  (void)b.post("hana", "", form);
  EXPECT_EQ(CgiSite::read_file(b.site.pic_dir() + "2/title.gif"), "T2");
  EXPECT_EQ(b.settings(2).DIRPIC, "title.gif");
}

TEST(BoardAccessWriteTest, OneActionChangesTheLevelsOrTheEntries) {
  struct Case {
    const char* name;
    const char* fields;
    // Folder 2's group entries "group:mode ..." and user entries afterwards.
    const char* groups;
    const char* users;
  };
  const Case cases[] = {
      {"levels", "SUB1=x&READ_LEVEL=20&WRITE_LEVEL=30&GROUP_DEL=x&NOWGROUP=2", "2:2 7:1",
       "hana:3 gone:1"},
      {"group added replaces its right", "GROUP_ADD=x&GROUPLIST=2&GROUPLIST=1&GROUPMODE=1",
       "2:1 7:1 1:1", "hana:3 gone:1"},
      {"group add stops at a number below 1", "GROUP_ADD=x&GROUPLIST=1&GROUPLIST=0&GROUPLIST=2",
       "2:2 7:1 1:2", "hana:3 gone:1"},
      {"group mode 3 is not a group right", "GROUP_ADD=x&GROUPLIST=1&GROUPMODE=3", "2:2 7:1",
       "hana:3 gone:1"},
      {"groups removed up to a number below 1", "GROUP_DEL=x&NOWGROUP=7&NOWGROUP=-1&NOWGROUP=2",
       "2:2", "hana:3 gone:1"},
      {"users added", "USER_ADD=x&USERLIST=taro&USERLIST=hana&USERMODE=2", "2:2 7:1",
       "hana:2 gone:1 taro:2"},
      {"user add stops at an empty value", "USER_ADD=x&USERLIST=&USERLIST=taro&USERMODE=3",
       "2:2 7:1", "hana:3 gone:1"},
      {"users removed", "USER_DEL=x&NOWUSER=gone&NOWUSER=hana", "2:2 7:1", ""},
      {"no button, no change", "NOWUSER=gone&NOWGROUP=2", "2:2 7:1", "hana:3 gone:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoardSite b;
    const std::string page = b.post("boss", std::string("JOB=BORDACCESSWR&FOLDER_NO=2&") +
                                                c.fields + "&USERMODE=1&GROUPMODE=2");
    EXPECT_TRUE(has(page, "<B>(Staff) " + text(191) + "</B>"));
    std::string groups, users;
    b.site.with_store([&](Store& s, const WriteToken&) {
      for (const B_G_ACL& e : group_entries(s, 2))
        groups += (groups.empty() ? "" : " ") + std::to_string(e.GROUP_NO) + ":" +
                  std::to_string(e.ACL_MODE);
      for (const B_U_ACL& e : user_entries(s, 2))
        users += (users.empty() ? "" : " ") + e.USER_ID + ":" + std::to_string(e.ACL_MODE);
      // Folder 1's entries are never touched.
      EXPECT_EQ(group_entries(s, 1).size(), 1u);
      EXPECT_EQ(user_entries(s, 1).size(), 1u);
    });
    EXPECT_EQ(groups, c.groups);
    EXPECT_EQ(users, c.users);
  }
}

TEST(BoardAccessWriteTest, SavingTheLevelsKeepsEveryOtherSettingAndMendsReadConfirmation) {
  BoardSite b;
  B_TITLE2 before = b.settings(1);
  (void)b.post("boss", "JOB=BORDACCESSWR&FOLDER_NO=1&SUB1=x&READ_LEVEL=3&WRITE_LEVEL=4");
  B_TITLE2 after = b.settings(1);
  EXPECT_EQ(after.READ_LEVEL, 3);
  EXPECT_EQ(after.WRITE_LEVEL, 4);
  EXPECT_EQ(after.READ_CHK, 1);  // a stored 0 becomes 1
  before.READ_LEVEL = 3;
  before.WRITE_LEVEL = 4;
  before.READ_CHK = 1;
  EXPECT_EQ(CgiSite::read_file(b.site.data_dir() + "b_title2.mst").size(), 2u * 8800);
  EXPECT_EQ(std::tie(after.ADD_MAX, after.REWRITE_FLG, after.INFO, after.TITLEPIC, after.BACKPIC,
                     after.FONTCOLOR),
            std::tie(before.ADD_MAX, before.REWRITE_FLG, before.INFO, before.TITLEPIC,
                     before.BACKPIC, before.FONTCOLOR));
}

TEST(BoardAdminPageTest, OpenedFromTheBoardThereIsNoButtonBackToTheFolderList) {
  BoardSite b;
  for (const char* job : {"BORDCONFIG", "BORDACCESS"}) {
    SCOPED_TRACE(job);
    const std::string query = std::string("JOB=") + job + "&FOLDER_NO=2";
    EXPECT_TRUE(has(b.site.as("hana", query), "value=\"FOLDERLIST\""));
    EXPECT_FALSE(has(b.site.as("hana", query + "&FROM=ROOM"), "FOLDERLIST"));
  }
}

}  // namespace
}  // namespace plazet::testing
