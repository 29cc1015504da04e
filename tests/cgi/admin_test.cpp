// The administration pages: the golden pages, what non-administrators are
// refused, and what the settings, user and group forms store.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "cgi_site.h"
#include "folders/acl_files.h"
#include "frame/settings.h"
#include "users/group_files.h"

namespace plazet::testing {
namespace {

namespace fs = std::filesystem;

// boss (administrator), hana (level 5, shared account, primary group 9 that
// does not exist), taro (level 1, primary group Dev, member of Sales).
struct AdminSite {
  AdminSite() : ini(CgiSite::read_file(site.ini_file())) { reset(); }
  // The users, groups and settings as they were at first; sessions stay.
  void reset() const {
    site.write_file(site.data_dir() + "user.mst",
                    "boss,Boss,100,,pw,0,1,1,1,,,0,\nhana,Hana,5,,pw,9,1,2,1,,,0,\n"
                    "taro,Taro,1,taro&co@example.jp,pw,2,2,1,2,japan.lng,me.gif,0,\n");
    site.write_file(site.data_dir() + "group.mst", "1,Sales,\n2,Dev,\n");
    site.write_file(site.data_dir() + "g_user.mst", "1,taro,\n");
    site.write_file(site.ini_file(), ini);
  }
  // A multipart post of `user` with the fields "NAME=value&NAME=value".
  std::string post(const std::string& user, const std::string& fields, Multipart form = {}) {
    form.text("SKEY", site.key(user));
    return site.post(fields.empty() ? form : form.texts(fields));
  }
  std::string file(const std::string& name) const {
    return CgiSite::read_file(site.data_dir() + name);
  }
  // Every file of the site but the program, with its contents.
  std::string snapshot() const {
    std::string out;
    for (const char* part : {"/data", "/htdocs", "/cgi-bin"}) {
      std::vector<std::string> entries;
      for (const auto& e : fs::recursive_directory_iterator(
               fs::path(site.cgi_dir()).parent_path().string() + part)) {
        // The program, and upload files the parser made (swept after an hour).
        const std::string name = e.path().filename().string();
        if (name == "plazet.cgi" || name.starts_with("CGI")) continue;
        entries.push_back(e.path().string() + "\n" + CgiSite::read_file(e.path().string()));
      }
      std::sort(entries.begin(), entries.end());
      for (const std::string& e : entries) out += e + "\n";
    }
    return out;
  }
  CgiSite site;
  const std::string ini;
};

// The error page with language texts `title` and `message`.
std::string error_page(int title, int message) {
  std::string page = golden("error.html");
  page.replace(page.find(text(278)), text(278).size(), text(title));
  page.replace(page.find(text(295)), text(295).size(), text(message));
  return page;
}

std::string expected_page(const std::string& wanted, const std::string& key) {
  if (wanted == "none") return "";
  if (wanted.starts_with("error:")) {
    const std::size_t colon = wanted.find(':', 6);
    return error_page(std::stoi(wanted.substr(6, colon - 6)), std::stoi(wanted.substr(colon + 1)));
  }
  return golden(wanted, key);
}

TEST(AdminGoldenTest, EachAdministrationPageIsPrintedExactly) {
  AdminSite a;
  a.site.setting("DATETIME", "2");
  a.site.setting("MYDATA", "1");
  a.site.setting("IECOLS", "72");
  a.site.setting("LOGOFF_URL", "http://example.org/?a=1&b=\"2\"");
  const std::string boss = a.site.key("boss");
  const std::string taro = a.site.key("taro");
  const std::string site_dir = fs::path(a.site.cgi_dir()).parent_path().string();
  struct Case {
    const char* golden;
    std::string key;
    std::string query;
  };
  const Case cases[] = {
      {"admin.html", boss, "JOB=ADMIN"},
      {"admin_refused.html", taro, "JOB=ADMIN"},
      {"system.html", boss, "JOB=SYSTEM"},
      {"userlist.html", boss, "JOB=USERLIST&SJOB=ORDER_ID"},
      {"userment.html", boss, "JOB=USERMENT&USER_ID=TARO"},
      {"grouplist.html", boss, "JOB=GROUPLIST"},
      {"newgroup.html", boss, "JOB=NEWGROUP"},
      {"editgroup.html", boss, "JOB=EDITGROUP&T02_GROUP_ID=2"},
      {"delgroup.html", boss, "JOB=DELGROUP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    std::string page = golden(c.golden, c.key);
    for (std::size_t at; (at = page.find("{{SITE}}")) != std::string::npos;) {
      page.replace(at, 8, site_dir);
    }
    EXPECT_EQ(a.site.get("SKEY=" + c.key + "&" + c.query), page);
  }
  // The own-data page needs MYDATA 0.
  a.site.setting("MYDATA", "0");
  EXPECT_EQ(a.site.get("SKEY=" + taro + "&JOB=MYDATA"), golden("mydata.html", taro));
}

TEST(AdminRefusalTest, NothingIsShownOrStoredForOthers) {
  AdminSite a;
  for (const std::vector<std::string>& c : table("admin_refusals.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    if (!c[2].empty())
      a.site.setting(c[2].substr(0, c[2].find('=')), c[2].substr(c[2].find('=') + 1));
    const std::string key = a.site.key(c[1]);
    const std::string before = a.snapshot();
    const bool post =
        c[3].find("WR") != std::string::npos || c[3].find("UPDATE") != std::string::npos;
    const std::string page =
        post ? a.post(c[1], c[3], Multipart().file("FILE1", "C:\\pics\\me.gif", "GIF89a"))
             : a.site.get("SKEY=" + key + "&" + c[3]);
    EXPECT_EQ(page, expected_page(c[4], key));
    EXPECT_EQ(a.snapshot(), before);
  }
}

TEST(UserWriteTest, ChecksComeFirstAndTheStoredLineFollowsTheForm) {
  const std::string shown_id = "<INPUT TYPE=\"hidden\" name=\"USER_ID\" value=\"([^\"]*)\">";
  AdminSite a;
  for (const std::vector<std::string>& c : table("user_write.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    const std::string before = a.file("user.mst");
    const std::string page = a.post("boss", "JOB=" + c[1] + "&" + c[2]);
    if (c[3].starts_with("error:")) {
      EXPECT_EQ(page, expected_page(c[3], ""));
    } else if (c[3] == "list") {
      EXPECT_TRUE(has(page, "<B>" + text(109) + "</B>"));
      EXPECT_FALSE(has(page, "<TABLE BORDER>"));
    } else {
      EXPECT_TRUE(has(page, "<B>" + text(166) + "</B>"));
      EXPECT_EQ(joined(page, shown_id), c[3].substr(5));
    }
    if (c[5] == "same") {
      EXPECT_EQ(a.file("user.mst"), before);
      continue;
    }
    std::string line = "-";
    for (const std::string& l : all(a.file("user.mst"), "([^\n]*)\n"))
      if (l.starts_with(c[4] + ",")) line = l;
    EXPECT_EQ(line, c[5]);
  }
}

TEST(UserFormTest, ANewUserFormAsksForTheIdAndOffersTheInstallationsLanguageFirst) {
  AdminSite a;
  const std::string page = a.site.as("boss", "JOB=USERMENT");
  EXPECT_TRUE(has(page, "<B>" + text(165) + "</B>"));
  EXPECT_TRUE(has(page, "<INPUT TYPE=\"text\" NAME=\"USER_ID\" SIZE=\"20\" MAXLENGTH=\"20\">"));
  EXPECT_TRUE(has(page, "name=\"JOB\" value=\"NEWUSERWR\""));
  EXPECT_FALSE(has(page, "SUB3"));
  const std::size_t select = page.find("NAME=\"LANGUAGE\"");
  EXPECT_EQ(joined(page.substr(select, page.find("</SELECT>", select) - select),
                   "<OPTION VALUE=\"([^\"]*)\">"),
            "japan.lng english.lng japan.lng");
  // An ID nobody has is shown as given, with empty fields.
  const std::string unknown = a.site.as("boss", "JOB=USERMENT&USER_ID=Nobody");
  EXPECT_TRUE(has(unknown, "name=\"USER_ID\" value=\"Nobody\">Nobody"));
  EXPECT_TRUE(has(unknown, "NAME=\"USER_NAME\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"\">"));
}

TEST(UserWriteTest, AnIdWhoseSecondByteIsABackslashIsAllowed) {
  AdminSite a;
  const std::string id = "\x95\x5C";  // one two-byte character
  (void)a.post("boss", "JOB=NEWUSERWR&USER_NAME=J&SUB1=x", Multipart().text("USER_ID", id));
  EXPECT_TRUE(has(a.file("user.mst"), "\n" + id + ",J,"));
}

TEST(UserWriteTest, OwnDataKeepsLevelGroupAndModeAndTakesTheNewPassword) {
  AdminSite a;
  const std::string page = a.post(
      "taro",
      "JOB=MYDATAWR&USER_ID=boss&USER_PASS=secret&USER_NAME=Taro Y&E_MAIL_ADDR=t@x&USER_LEVEL=999&"
      "P_GROUP=1&MODE=2&USER_DISP_DEF=3&WRITE_MODE=1&LANGUAGE=english.lng&PICFILE=p.gif&"
      "NO_READ_MODE=1&SUB1=x");
  EXPECT_TRUE(has(a.file("user.mst"), "\ntaro,Taro Y,1,t@x,secret,2,3,1,1,english.lng,p.gif,1,\n"));
  EXPECT_TRUE(a.file("user.mst").starts_with("boss,Boss,100,,pw,0,1,1,1,,,0,\n"));
  // The page that follows is the user's own, already in the chosen language.
  EXPECT_TRUE(has(page, "<!--Plazet Ver2.13 english.lng-->"));
  EXPECT_TRUE(has(page, "VALUE=\"Taro Y\">"));
  EXPECT_EQ(a.site.log_in("taro"), "");  // the old password is gone
  EXPECT_TRUE(has(a.site.post_form("uid=taro&upw=secret&JOB=TOP"), "<FRAMESET"));
}

TEST(UserWriteTest, APictureIsStoredOnlyWhenTheUserIsSaved) {
  struct Case {
    const char* name;
    const char* fields;
    const char* file_name;
    const char* picfile;  // PICFILE of taro afterwards
  };
  const Case cases[] = {
      {"saved with a Windows path", "USER_NAME=Taro&SUB1=x", "C:\\pics\\face.gif", "face.gif"},
      {"back", "USER_NAME=Taro&SUB2=x", "face.gif", "me.gif"},
      {"membership", "USER_NAME=Taro&GROUP_IN=x&GROUPLIST=2", "face.gif", "me.gif"},
      {"refused", "USER_NAME=&SUB1=x", "face.gif", "me.gif"},
      {"a name of two dots", "USER_NAME=Taro&PICFILE=typed.gif&SUB1=x", "..", "typed.gif"},
      {"a name with a comma", "USER_NAME=Taro&PICFILE=typed.gif&SUB1=x", "a,b.gif", "typed.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AdminSite a;
    (void)a.post("boss", std::string("JOB=USERWR&USER_ID=taro&") + c.fields,
                 Multipart().file("FILE1", c.file_name, "GIF89a"));
    const std::string dir = a.site.pic_dir() + "userpic/taro/";
    const bool stored = std::string(c.picfile) == "face.gif";
    EXPECT_EQ(CgiSite::read_file(dir + "face.gif"), stored ? "GIF89a" : "");
    EXPECT_EQ(CgiSite::exists(a.site.pic_dir() + "userpic"), stored);
    EXPECT_TRUE(has(a.file("user.mst"), std::string(",") + c.picfile + ",0,\n"));
    for (const auto& e : fs::directory_iterator(a.site.cgi_dir()))
      EXPECT_FALSE(e.path().filename().string().starts_with("CGI")) << e.path();
  }
}

TEST(UserWriteTest, ThreeGroupsChosenAreAddedInGroupOrderAndRemovedAgain) {
  AdminSite a;
  const std::string add = "JOB=NEWUSERWR&USER_ID=jiro&USER_NAME=Jiro&GROUP_IN=x&";
  const std::string page = a.post("boss", add + "GROUPLIST=3&GROUPLIST=0&GROUPLIST=1&GROUPLIST=2");
  // The memberships are kept under the typed ID before the user is saved.
  EXPECT_EQ(a.file("g_user.mst"), "1,taro,\n1,jiro,\n2,jiro,\n3,jiro,\n");
  EXPECT_FALSE(has(a.file("user.mst"), "jiro"));
  EXPECT_TRUE(has(
      page, "<OPTION VALUE=\"1\">Sales\n<OPTION VALUE=\"2\">Dev\n<OPTION VALUE=\"3\">\n</SELECT>"));
  // A group the user has adds no line; the sort after each choice runs all
  // the same and turns the lines of one group round.
  (void)a.post("boss", add + "GROUPLIST=1");
  EXPECT_EQ(a.file("g_user.mst"), "1,jiro,\n1,taro,\n2,jiro,\n3,jiro,\n");
  (void)a.post("boss", "JOB=USERWR&USER_ID=jiro&USER_NAME=Jiro&GROUP_OUT=x&NOWGROUP=1&NOWGROUP=3");
  EXPECT_EQ(a.file("g_user.mst"), "1,taro,\n2,jiro,\n");
}

TEST(UserWriteTest, ADeletedUserLeavesNothingToALaterUserOfTheSameId) {
  AdminSite a;
  (void)a.site.key("taro");
  a.site.with_store([](Store& s, const WriteToken& w) {
    (void)WriteB_U_ACL(s, w, {4, "taro", 3});
    (void)WriteB_U_ACL(s, w, {4, "hana", 1});
  });
  const std::string page = a.post("boss", "JOB=USERWR&USER_ID=taro&USER_NAME=Taro&SUB3=x");
  EXPECT_TRUE(has(page, "<B>" + text(109) + "</B>"));
  EXPECT_FALSE(has(a.file("user.mst"), "taro"));
  EXPECT_EQ(a.file("g_user.mst"), "");
  EXPECT_EQ(a.site.get("SKEY=" + a.site.key("taro") + "&JOB=TOP"), golden("invalid_key.html"));
  (void)a.post("boss", "JOB=NEWUSERWR&USER_ID=taro&USER_NAME=New Taro&SUB1=x");
  a.site.with_store([](Store& s, const WriteToken&) {
    EXPECT_EQ(user_entries(s, 4).size(), 1u);
    EXPECT_EQ(user_entries(s, 4).at(0).USER_ID, "hana");
    EXPECT_TRUE(ReadGROUP_USER1(s, "taro").empty());
  });
}

TEST(SettingsUpdateTest, StoresTheFormOrRefusesAValueThatWouldBreakTheFile) {
  AdminSite a;
  for (const std::vector<std::string>& c : table("settings_update.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    const SYSINFO sys = read_settings(a.site.ini_file());
    std::vector<std::pair<std::string, std::string>> form = {
        {"LANGUAGE", sys.LANGUAGE},
        {"CG_FILE_PATH", sys.CG_FILE_PATH},
        {"CG_FILE_WEB_PATH", sys.CG_FILE_WEB_PATH},
        {"DATA_FILE_PATH", sys.DATA_FILE_PATH},
        {"ADD_FILE_PATH", sys.ADD_FILE_PATH},
        {"ADD_FILE_WEB_PATH", sys.ADD_FILE_WEB_PATH},
        {"LOGIN_GIF", sys.LOGIN_GIF},
        {"BACK_GIF", sys.BACK_GIF},
        {"LOG_DATE", sys.LOG_DATE},
        {"DATETIME", "1"},
        {"IECOLS", "80"},
        {"NSCOLS", "60"},
        {"ROWS", "8"},
        {"MYDATA", "0"},
        {"MAX_CONTENTS", "4000"},
        {"LOGOFF_URL", ""},
        {"FRAME_DIVIDE", "20"}};
    for (const std::string& change : all(c[1] + "; ", "([^;]*); ")) {
      const std::string name =
          change.substr(change[0] == '-', change.find('=') - (change[0] == '-'));
      std::erase_if(form, [&](const auto& f) { return f.first == name; });
      if (change[0] != '-') form.emplace_back(name, change.substr(change.find('=') + 1));
    }
    Multipart post;
    post.texts("JOB=SYSTEMUPDATE");
    for (const auto& [name, value] : form) post.text(name, value);
    const std::string ini = CgiSite::read_file(a.site.ini_file());
    const std::string page = a.post("boss", "", post);
    const std::string after = CgiSite::read_file(a.site.ini_file());
    if (c[2] == "error") {
      EXPECT_EQ(page, error_page(108, 381));
      EXPECT_EQ(after, ini);
      continue;
    }
    for (const std::string& line : all(c[2] + "; ", "([^;]*); ")) {
      if (line[0] == '!') {
        EXPECT_FALSE(has("\n" + after, "\n" + line.substr(1) + ",")) << line;
      } else {
        EXPECT_TRUE(has("\n" + after, "\n" + line + "\n")) << line;
      }
    }
    EXPECT_TRUE(has(page, "<B>" + text(108) + "</B>"));
    EXPECT_TRUE(has(page, c[3])) << c[3];
  }
}

TEST(UserListTest, EachOrderListsTheUsersAsTheSortedFilesHoldThem) {
  const std::regex row(
      "USER_ID=[^\"]*\">([^<]*)</A></TD>\n(?:<TD[^\n]*\n){2}<TD "
      "BGCOLOR=\"#FFFFFF\">([^<]*)<BR></TD>\n"
      "<TD BGCOLOR=\"#FFFFFF\">([^<]*)<BR>");
  for (const std::vector<std::string>& c : table("user_orders.txt")) {
    SCOPED_TRACE(c[0]);
    CgiSite site;
    site.add_user("boss", 100);
    for (const std::string& u : all(c[1] + "; ", "([^;]+); ")) {
      std::istringstream in(u);
      std::string id, level, group, mode;
      in >> id >> level >> group >> mode;
      site.add_user_line(id + "," + id + "," + level + ",,pw," + group + ",1," + mode + ",1,,,0,");
    }
    site.write_file(site.data_dir() + "group.mst", "1,Sales,\n");
    const std::string page = site.as("boss", "JOB=USERLIST&SJOB=" + c[2]);
    std::string rows;
    for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it) {
      const std::string mode = (*it)[3] == text(168) ? "shared" : std::string((*it)[3]);
      rows += (rows.empty() ? "" : " ") + std::string((*it)[1]) + "/" + std::string((*it)[2]) +
              "/" + mode;
    }
    EXPECT_EQ(rows, c.size() > 3 ? c[3] : "");
    EXPECT_EQ(has(page, "<TABLE BORDER>"), !c[2].empty());
  }
}

TEST(GroupWriteTest, NumbersAndNamesAreCheckedBeforeGroupMstChanges) {
  AdminSite a;
  for (const std::vector<std::string>& c : table("group_write.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    const std::string before = a.file("group.mst");
    const std::string page = a.post("boss", "JOB=" + c[1] + "&" + c[2]);
    if (c[3] == "list") {
      EXPECT_TRUE(has(page, "<B>" + text(111) + "</B>"));
    } else {
      EXPECT_EQ(page, expected_page(c[3], ""));
    }
    EXPECT_EQ(a.file("group.mst"), c[4] == "same" ? before : c[4]);
  }
}

TEST(GroupWriteTest, ADeletedGroupTakesItsRightsMembershipsAndPrimaryGroupsWithIt) {
  AdminSite a;
  a.site.add_user_line("jiro,Jiro,1,,pw,2,1,1,1,,,0,");
  a.site.write_file(a.site.data_dir() + "g_user.mst", "1,taro,\n2,jiro,\n2,hana,\n");
  a.site.with_store([](Store& s, const WriteToken& w) {
    (void)WriteB_G_ACL(s, w, {4, 2, 2});
    (void)WriteB_G_ACL(s, w, {4, 1, 1});
    (void)WriteB_G_ACL(s, w, {7, 2, 1});
  });
  const std::string page = a.post("boss", "JOB=DELGROUPWR&T02_GROUP_ID=2");
  EXPECT_TRUE(has(page, "<B>" + text(111) + "</B>"));
  EXPECT_EQ(a.file("group.mst"), "1,Sales,\n");
  EXPECT_EQ(a.file("g_user.mst"), "1,taro,\n");
  EXPECT_TRUE(
      has(a.file("user.mst"), "\ntaro,Taro,1,taro&co@example.jp,pw,0,2,1,2,japan.lng,me.gif,0,\n"));
  EXPECT_TRUE(has(a.file("user.mst"), "\njiro,Jiro,1,,pw,0,1,1,1,,,0,\n"));
  a.site.with_store([](Store& s, const WriteToken&) {
    EXPECT_EQ(group_entries(s, 4).size(), 1u);
    EXPECT_TRUE(group_entries(s, 7).empty());
  });
}

TEST(SettingsUpdateTest, AnUploadedLogInPictureReplacesTheTypedName) {
  AdminSite a;
  a.site.setting("DATETIME", "5");
  const std::string form = a.site.as("boss", "JOB=SYSTEM");
  EXPECT_TRUE(has(form, "<SELECT NAME=\"DATETIME\">\n</SELECT>"));
  const SYSINFO sys = read_settings(a.site.ini_file());
  Multipart post;
  post.texts("JOB=SYSTEMUPDATE&LOGIN_GIF=typed.gif&BACK_GIF=back.gif&LANGUAGE=japan.lng")
      .text("CG_FILE_PATH", sys.CG_FILE_PATH)
      .text("DATA_FILE_PATH", sys.DATA_FILE_PATH)
      .file("FILE1", "C:\\pics\\top.gif", "GIF89a top");
  const std::string page = a.post("boss", "", post);
  const std::string ini = CgiSite::read_file(a.site.ini_file());
  EXPECT_TRUE(has(ini, "\nLOGIN_GIF,top.gif,\n"));
  EXPECT_TRUE(has(ini, "\nDATETIME,0,\n"));  // the empty select sent nothing
  EXPECT_EQ(CgiSite::read_file(sys.CG_FILE_PATH + "/top.gif"), "GIF89a top");
  EXPECT_TRUE(has(page, "NAME=\"LOGIN_GIF\" SIZE=\"40\" VALUE=\"top.gif\">"));
  // A path that fills the settings line is cut to what the line holds.
  Multipart longer;
  longer.texts("JOB=SYSTEMUPDATE&LANGUAGE=japan.lng")
      .text("DATA_FILE_PATH", sys.DATA_FILE_PATH)
      .text("ADD_FILE_PATH", std::string(1100, 'p'));
  (void)a.post("boss", "", longer);
  EXPECT_EQ(read_settings(a.site.ini_file()).ADD_FILE_PATH,
            std::string(999 - std::string("ADD_FILE_PATH,,\n").size(), 'p'));
}

}  // namespace
}  // namespace plazet::testing
