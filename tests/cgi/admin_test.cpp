// The administration pages: the golden pages, what non-administrators are
// refused, and what the settings, user and group forms store.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "cgi_site.h"
#include "frame/settings.h"

namespace plazet::testing {
namespace {

namespace fs = std::filesystem;

// boss (administrator), hana (level 5, shared account, primary group 9 that
// does not exist), taro (level 1, primary group Dev, member of Sales).
struct AdminSite {
  AdminSite() : ini(CgiSite::read_file(site.ini_file())) { reset(); }
  // The users, groups and settings as they were at first; sessions stay.
  void reset() const {
    site.users(
        "boss,Boss,100,,pw,0,1,1,1,,,0,\nhana,Hana,5,,pw,9,1,2,1,,,0,\n"
        "taro,Taro,1,taro&co@example.jp,pw,2,2,1,2,japan.lng,me.gif,0,\n");
    site.write_file(site.data_dir() + "group.mst", "1,Sales,\n2,Dev,\n");
    site.write_file(site.data_dir() + "g_user.mst", "1,taro,\n");
    site.write_file(site.ini_file(), ini);
  }
  std::string file(const std::string& name) const {
    return CgiSite::read_file(site.data_dir() + name);
  }
  CgiSite site;
  const std::string ini;
};

TEST(AdminGoldenTest, EachAdministrationPageIsPrintedExactly) {
  AdminSite a;
  for (const char* s :
       {"DATETIME,2", "MYDATA,1", "IECOLS,72", "LOGOFF_URL,http://example.org/?a=1&b=\"2\""})
    a.site.setting(std::string(s).substr(0, std::string(s).find(',')), std::strchr(s, ',') + 1);
  const std::string site_dir = fs::path(a.site.cgi_dir()).parent_path().string();
  const std::pair<const char*, const char*> cases[] = {
      {"admin.html", "boss:JOB=ADMIN"},
      {"admin_refused.html", "taro:JOB=ADMIN"},
      {"system.html", "boss:JOB=SYSTEM"},
      {"userlist.html", "boss:JOB=USERLIST&SJOB=ORDER_ID"},
      {"userment.html", "boss:JOB=USERMENT&USER_ID=TARO"},
      {"grouplist.html", "boss:JOB=GROUPLIST"},
      {"newgroup.html", "boss:JOB=NEWGROUP"},
      {"editgroup.html", "boss:JOB=EDITGROUP&T02_GROUP_ID=2"},
      {"delgroup.html", "boss:JOB=DELGROUP"},
  };
  for (const auto& [name, request] : cases) {
    const std::string user = std::string(request).substr(0, 4);
    std::string page = golden(name, a.site.key(user));
    for (std::size_t at; (at = page.find("{{SITE}}")) != std::string::npos;)
      page.replace(at, 8, site_dir);
    EXPECT_EQ(a.site.as(user, request + 5), page) << name;
  }
  // The own-data page needs MYDATA 0.
  a.site.setting("MYDATA", "0");
  EXPECT_EQ(a.site.as("taro", "JOB=MYDATA"), golden("mydata.html", a.site.key("taro")));
}

TEST(AdminRefusalTest, NothingIsShownOrStoredForOthers) {
  AdminSite a;
  a.site.write_file(a.site.data_dir() + "b_title.mst", "A,1,Dir,\n A1,2,Board,\nB,3,Dir,\n");
  (void)a.site.post_as("taro", "JOB=IDSINSEIWR&USER_ID=waiting&USER_NAME=W");
  ASSERT_TRUE(has(a.site.snapshot(), "waiting"));  // a pending application to decide on
  const Multipart tree = Multipart().file("FILE1", "C:\\edit\\b_title.mst", "X,9,Board,\n");
  for (const std::vector<std::string>& c : table("admin_refusals.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    if (!c[2].empty())
      a.site.setting(c[2].substr(0, c[2].find('=')), c[2].substr(c[2].find('=') + 1));
    const std::string key = a.site.key(c[1]);
    a.site.write_file(a.site.data_dir() + "system.log", "2000/01/01 00:00,taro,login,0,x,y\n");
    const std::string before = a.site.snapshot();
    const bool post = std::regex_search(c[3], std::regex("WR|UPDATE|UPLOAD|Delete"));
    const std::string page = post ? a.site.post_as(c[1], c[3], tree) : a.site.as(c[1], c[3]);
    EXPECT_EQ(page, expected_page(c[4], key));
    EXPECT_EQ(a.site.snapshot(), before);
  }
}

TEST(UserWriteTest, ChecksComeFirstAndTheStoredLineFollowsTheForm) {
  const std::string shown_id = "<INPUT TYPE=\"hidden\" name=\"USER_ID\" value=\"([^\"]*)\">";
  AdminSite a;
  for (const std::vector<std::string>& c : table("user_write.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    const std::string before = a.file("user.mst");
    const std::string page = a.site.post_as("boss", "JOB=" + c[1] + "&" + c[2]);
    if (c[3].starts_with("error:")) {
      EXPECT_EQ(page, expected_page(c[3]));
    } else if (c[3] == "list") {
      EXPECT_TRUE(has(page, "<B>" + text(109) + "</B>"));
      EXPECT_FALSE(has(page, "<TABLE BORDER>"));
    } else {
      EXPECT_TRUE(has(page, "<B>" + text(166) + "</B>"));
      EXPECT_EQ(joined(page, shown_id), c[3].substr(5));
    }
    std::string line = "-";
    for (const std::string& l : all(a.file("user.mst"), "([^\n]*)\n"))
      if (l.starts_with(c[4] + ",")) line = l;
    EXPECT_EQ(c[5] == "same" ? a.file("user.mst") : line, c[5] == "same" ? before : c[5]);
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

TEST(UserWriteTest, OwnDataKeepsLevelGroupAndModeAndTakesTheNewPassword) {
  AdminSite a;
  const std::string page = a.site.post_as(
      "taro",
      "JOB=MYDATAWR&USER_ID=boss&USER_PASS=secret&USER_NAME=Taro Y&E_MAIL_ADDR=t@x&USER_LEVEL=999&"
      "P_GROUP=1&MODE=2&USER_DISP_DEF=3&WRITE_MODE=1&LANGUAGE=english.lng&PICFILE=p.gif&"
      "NO_READ_MODE=1&SUB1=x");
  EXPECT_TRUE(has(a.file("user.mst"), "\ntaro,Taro Y,1,t@x,secret,2,3,1,1,english.lng,p.gif,1,\n"));
  EXPECT_TRUE(a.file("user.mst").starts_with("boss,Boss,100,,pw,0,1,1,1,,,0,\n"));
  // The page that follows is the user's own, already in the chosen language.
  EXPECT_TRUE(has(page, "<!--Plazet Ver2.13 english.lng-->") && has(page, "VALUE=\"Taro Y\">"));
  EXPECT_EQ(a.site.log_in("taro"), "");  // the old password is gone
  EXPECT_TRUE(has(a.site.post_form("uid=taro&upw=secret&JOB=TOP"), "<FRAMESET"));
}

TEST(UserWriteTest, APictureIsStoredOnlyWhenTheUserIsSaved) {
  for (const std::vector<std::string>& c : table("user_pictures.txt")) {
    SCOPED_TRACE(c[0]);
    AdminSite a;
    (void)a.site.post_as("boss", "JOB=USERWR&USER_ID=taro&" + c[1],
                         Multipart().file("FILE1", c[2], "GIF89a"));
    const bool stored = c[3] == "face.gif";
    EXPECT_EQ(CgiSite::read_file(a.site.pic_dir() + "userpic/taro/face.gif"),
              stored ? "GIF89a" : "");
    EXPECT_EQ(CgiSite::exists(a.site.pic_dir() + "userpic"), stored);
    EXPECT_TRUE(has(a.file("user.mst"), "," + c[3] + ",0,\n"));
    for (const auto& e : fs::directory_iterator(a.site.cgi_dir()))
      EXPECT_FALSE(e.path().filename().string().starts_with("CGI")) << e.path();
  }
}

TEST(UserWriteTest, ThreeGroupsChosenAreAddedInGroupOrderAndRemovedAgain) {
  AdminSite a;
  const std::string add = "JOB=NEWUSERWR&USER_ID=jiro&USER_NAME=Jiro&GROUP_IN=x&";
  const std::string page =
      a.site.post_as("boss", add + "GROUPLIST=3&GROUPLIST=0&GROUPLIST=1&GROUPLIST=2");
  // The memberships are kept under the typed ID before the user is saved.
  EXPECT_EQ(a.file("g_user.mst"), "1,taro,\n1,jiro,\n2,jiro,\n3,jiro,\n");
  EXPECT_FALSE(has(a.file("user.mst"), "jiro"));
  EXPECT_TRUE(has(
      page, "<OPTION VALUE=\"1\">Sales\n<OPTION VALUE=\"2\">Dev\n<OPTION VALUE=\"3\">\n</SELECT>"));
  // A group the user has adds no line; the sort after each choice runs all
  // the same and turns the lines of one group round.
  (void)a.site.post_as("boss", add + "GROUPLIST=1");
  EXPECT_EQ(a.file("g_user.mst"), "1,jiro,\n1,taro,\n2,jiro,\n3,jiro,\n");
  (void)a.site.post_as("boss",
                       "JOB=USERWR&USER_ID=jiro&USER_NAME=Jiro&GROUP_OUT=x&NOWGROUP=1&NOWGROUP=3");
  EXPECT_EQ(a.file("g_user.mst"), "1,taro,\n2,jiro,\n");
}

// What else goes with the user is the account service's; here the page runs it.
TEST(UserWriteTest, ADeletedUserIsGoneWithHisSession) {
  AdminSite a;
  const std::string key = a.site.key("taro");
  const std::string page = a.site.post_as("boss", "JOB=USERWR&USER_ID=taro&USER_NAME=Taro&SUB3=x");
  EXPECT_TRUE(has(page, "<B>" + text(109) + "</B>"));
  EXPECT_FALSE(has(a.file("user.mst"), "taro"));
  EXPECT_EQ(a.file("g_user.mst"), "");
  EXPECT_EQ(a.site.get("SKEY=" + key + "&JOB=TOP"), golden("invalid_key.html"));
}

TEST(SettingsUpdateTest, StoresTheFormOrRefusesAValueThatWouldBreakTheFile) {
  AdminSite a;
  for (const std::vector<std::string>& c : table("settings_update.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    // The form as the settings page shows the stored values, with the row's changes.
    std::map<std::string, std::string> form;
    for (const std::string& line : all(CgiSite::read_file(a.site.ini_file()), "([^\n]*),\n"))
      form[line.substr(0, line.find(','))] = line.substr(line.find(',') + 1);
    for (const std::string& change : all(c[1] + "; ", "([^;]*); ")) {
      const bool drop = change[0] == '-';
      form.erase(change.substr(drop, change.find('=') - drop));
      if (!drop) form[change.substr(0, change.find('='))] = change.substr(change.find('=') + 1);
    }
    Multipart post;
    post.texts("JOB=SYSTEMUPDATE");
    for (const auto& [name, value] : form) post.text(name, value);
    const std::string ini = CgiSite::read_file(a.site.ini_file());
    const std::string page = a.site.post_as("boss", "", post);
    const std::string after = CgiSite::read_file(a.site.ini_file());
    if (c[2] == "error") {
      EXPECT_EQ(page, error_page(108, 381));
      EXPECT_EQ(after, ini);
      continue;
    }
    for (const std::string& line : all(c[2] + "; ", "([^;]*); ")) {
      EXPECT_EQ(
          has("\n" + after, "\n" + line.substr(line[0] == '!') + (line[0] == '!' ? "," : "\n")),
          line[0] != '!')
          << line;
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

// What else goes with a deleted group is the account service's; here the page runs it
// (a deleted group is no one's primary group).
TEST(GroupWriteTest, NumbersAndNamesAreCheckedBeforeGroupMstChanges) {
  AdminSite a;
  for (const std::vector<std::string>& c : table("group_write.txt")) {
    SCOPED_TRACE(c[0]);
    a.reset();
    const std::string before = a.file("group.mst");
    const std::string page = a.site.post_as("boss", "JOB=" + c[1] + "&" + c[2]);
    if (c[3] == "list") {
      EXPECT_TRUE(has(page, "<B>" + text(111) + "</B>"));
    } else {
      EXPECT_EQ(page, expected_page(c[3]));
    }
    EXPECT_EQ(a.file("group.mst"), c[4] == "same" ? before : c[4]);
    EXPECT_TRUE(has(a.file("user.mst"), "\ntaro,Taro,1,taro&co@example.jp,pw," + c[5] + ","));
  }
}

TEST(SettingsUpdateTest, AnUploadedLogInPictureReplacesTheTypedName) {
  AdminSite a;
  a.site.setting("DATETIME", "5");
  EXPECT_TRUE(has(a.site.as("boss", "JOB=SYSTEM"), "<SELECT NAME=\"DATETIME\">\n</SELECT>"));
  const SYSINFO sys = read_settings(a.site.ini_file());
  const std::string paths = "&LANGUAGE=japan.lng&CG_FILE_PATH=" + sys.CG_FILE_PATH +
                            "&DATA_FILE_PATH=" + sys.DATA_FILE_PATH;
  const std::string page =
      a.site.post_as("boss", "JOB=SYSTEMUPDATE&LOGIN_GIF=typed.gif&BACK_GIF=back.gif" + paths,
                     Multipart().file("FILE1", "C:\\pics\\top.gif", "GIF89a top"));
  const std::string ini = CgiSite::read_file(a.site.ini_file());
  EXPECT_TRUE(has(ini, "\nLOGIN_GIF,top.gif,\n"));
  EXPECT_TRUE(has(ini, "\nDATETIME,0,\n"));  // the empty select sent nothing
  EXPECT_EQ(CgiSite::read_file(sys.CG_FILE_PATH + "/top.gif"), "GIF89a top");
  EXPECT_TRUE(has(page, "NAME=\"LOGIN_GIF\" SIZE=\"40\" VALUE=\"top.gif\">"));
  // A path that fills the settings line is cut to what the line holds.
  (void)a.site.post_as("boss",
                       "JOB=SYSTEMUPDATE" + paths + "&ADD_FILE_PATH=" + std::string(1100, 'p'));
  EXPECT_EQ(read_settings(a.site.ini_file()).ADD_FILE_PATH,
            std::string(999 - std::string("ADD_FILE_PATH,,\n").size(), 'p'));
}

}  // namespace
}  // namespace plazet::testing
