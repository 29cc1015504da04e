// Start-up, log-in, session keys and log-off, seen through the program as
// the web server runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

bool is_frame_set(const std::string& page) {
  return has(page, "<FRAMESET") && !has(page, "NAME=\"uid\"");
}
bool is_invalid_key(const std::string& page) { return page == golden("invalid_key.html"); }

// The frame set from "<FRAMESET" on, for `key` and the start page `start`.
std::string frame_set(const std::string& key, const std::string& start) {
  return "<FRAMESET COLS=\"20%,*\" >\n\t<FRAME SRC = \"plazet.cgi?SKEY=" + key +
         "&JOB=FRM21\" NAME=\"FRM21\">\n\t<FRAME SRC = \"/plazetpic/" + start +
         "\" NAME=\"FRM22\">\n</FRAMESET>\n</HTML>\n";
}
std::string from_frame_set(const std::string& page) {
  const std::size_t at = page.find("<FRAMESET");
  return at == std::string::npos ? "" : page.substr(at);
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("Taro");
    site_.add_user("Jiro");
    site_.add_user("Kyo", 1, 2);  // a shared account
  }
  std::string top(const std::string& key, const std::string& agent = kAgent) const {
    return site_.get("SKEY=" + key + "&JOB=TOP", agent);
  }
  std::string skeys() const { return site_.read_file(site_.data_dir() + "skey.mst"); }
  std::string log() const { return site_.read_file(site_.data_dir() + "system.log"); }
  CgiSite site_;
};

TEST_F(FrameTest, RequestsWithoutAValidSessionGetTheLogInOrTheInvalidKeyPage) {
  const std::string login = golden("login.html");
  const std::string invalid = golden("invalid_key.html");
  struct Case {
    const char* name;
    std::string page;
    const std::string& expected;
  } cases[] = {
      {"no variables at all", site_.run({}), login},
      {"a job without a key", site_.get("JOB=ROOM"), login},
      {"wrong password", site_.post_form("uid=Taro&upw=PW&JOB=TOP"), login},
      {"empty password", site_.post_form("uid=Taro&upw=&JOB=TOP"), login},
      {"unknown user", site_.post_form("uid=Nobody&upw=pw&JOB=TOP"), login},
      {"forged key", site_.get("SKEY=12345&JOB=TOP"), invalid},
      {"forged key with a password", site_.get("SKEY=12345&uid=Taro&upw=pw"), invalid},
      {"key that is no number", site_.get("SKEY=abc&JOB=TOP"), invalid},
  };
  for (const Case& c : cases) EXPECT_EQ(c.page, c.expected) << c.name;
  EXPECT_EQ(skeys(), "");
  EXPECT_EQ(log(), "");
}

TEST_F(FrameTest, JobsThatPrintNothingAndTheClosingPageThatNeedsNoLogIn) {
  const std::string key = site_.log_in("Taro");
  EXPECT_EQ(site_.get("SKEY=" + key + "&JOB=NOSUCHJOB"), "");
  EXPECT_EQ(site_.get("SKEY=" + key + "&JOB=top"), "");  // jobs are case-sensitive
  site_.setting("MYDATA", "1");
  EXPECT_EQ(site_.get("SKEY=" + key + "&JOB=MYDATA"), "");
  const std::string fin = site_.get("JOB=BORDWRITEFIN");
  EXPECT_EQ(fin, head() + "<SCRIPT Language=\"JavaScript\">\n<!--\nself.close()\n// -->\n</SCRIPT>\n" +
                     "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n" +
                     "<FONT SIZE=\"5\"><B>" + text(294) + "</B></FONT>\n<P>\n</BODY>\n</HTML>\n");
}

TEST_F(FrameTest, SettingsFileIsCreatedWhenMissingAndItsValuesAreEscaped) {
  ::unlink(site_.ini_file().c_str());
  EXPECT_EQ(site_.get(""), golden("login.html"));
  EXPECT_EQ(site_.read_file(site_.ini_file()).substr(0, 20), "LANGUAGE,japan.lng,\n");
  site_.setting("CG_FILE_WEB_PATH", "/p\"ic/");
  site_.setting("LOGIN_GIF", "<x>.jpg");
  EXPECT_TRUE(has(site_.get(""), "<IMG SRC=\"/p&quot;ic/&lt;x&gt;.jpg\" >"));
}

TEST_F(FrameTest, UploadFilesAreSweptAfterAnHourAndKeptUntilThen) {
  const std::string stale = site_.cgi_dir() + "/CGI5";
  site_.write_file(stale, "left behind");
  const struct timespec old[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, stale.c_str(), old, 0), 0);
  // A multipart post without a job: the log-in page, the upload kept.
  const std::string page = site_.post(Multipart().file("F", "a.txt", "hello"));
  EXPECT_TRUE(has(page, "NAME=\"uid\""));
  EXPECT_EQ(site_.read_file(site_.cgi_dir() + "/CGI0"), "hello");
  EXPECT_FALSE(CgiSite::exists(stale));
  EXPECT_TRUE(CgiSite::exists(site_.cgi_dir() + "/plazet.cgi"));
}

TEST_F(FrameTest, ALogInShowsTheFrameSetAndStoresTheKeyWhateverJobWasSent) {
  for (const char* job : {"&JOB=ROOM", "&JOB=LOGOFF", "&JOB=NOSUCHJOB", ""}) {
    const std::string page = site_.post_form(std::string("uid=tARO&upw=pw") + job);
    ASSERT_TRUE(is_frame_set(page)) << job << page;
    EXPECT_EQ(page.rfind(head(), 0), 0u);
    const std::string key = page.substr(page.find("SKEY=") + 5, page.find("&JOB") - page.find("SKEY=") - 5);
    EXPECT_EQ(from_frame_set(page), frame_set(key, "info.html"));
    // One record for the user, the key big-endian, the stored ID's case.
    const std::string file = skeys();
    ASSERT_EQ(file.size(), 532u);
    std::uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored = stored << 8 | static_cast<unsigned char>(file[i]);
    EXPECT_EQ(std::to_string(stored), key);
    EXPECT_EQ(file.substr(4, 5), std::string("Taro\0", 5));
    EXPECT_EQ(file.substr(278, 16), std::string(kAgent) + '\0');
    EXPECT_TRUE(is_frame_set(top(key)));
  }
  // With a valid key and no job the frame set comes again; ID and password are not looked at.
  const std::string key = site_.log_in("Taro");
  for (const char* rest : {"&JOB=", "", "&uid=Jiro&upw=wrong"}) {
    EXPECT_EQ(from_frame_set(site_.get("SKEY=" + key + rest)), frame_set(key, "info.html")) << rest;
  }
}

TEST_F(FrameTest, TheStartFrameFollowsTheAccountKind) {
  site_.add_user("Zero", 1, 0);
  const std::pair<const char*, const char*> cases[] = {
      {"Taro", "info.html"}, {"Kyo", "ginfo.html"}, {"Zero", "ginfo.html"}};
  for (const auto& [id, start] : cases) {
    const std::string key = site_.log_in(id);
    EXPECT_EQ(from_frame_set(top(key)), frame_set(key, start)) << id;
  }
}

TEST_F(FrameTest, AKeyThatCannotBeStoredStillShowsTheFrameSet) {
  ASSERT_EQ(::mkdir((site_.data_dir() + "skey.mst").c_str(), 0700), 0);
  const std::string page = site_.post_form("uid=Taro&upw=pw&JOB=TOP");
  EXPECT_TRUE(is_frame_set(page)) << page;
  const std::string key = site_.log_in("Taro");
  ASSERT_FALSE(key.empty());
  EXPECT_TRUE(is_invalid_key(top(key)));
}

TEST_F(FrameTest, APersonalKeyHoldsOnlyForTheBrowserThatLoggedIn) {
  const std::string x250(250, 'x');
  struct Case {
    const char* name;
    std::string login_agent, agent, addr;
    bool valid;
  } cases[] = {
      {"same browser", "A/1", "A/1", "127.0.0.1", true},
      {"same browser, other address", "A/1", "A/1", "203.0.113.9", true},
      {"other browser", "A/1", "B/1", "127.0.0.1", false},
      {"no agent", "A/1", "", "127.0.0.1", false},
      {"agents alike in their first 250 bytes", x250 + "aaa", x250 + "bbb", "127.0.0.1", true},
      {"agent cut to 250 bytes", x250 + "aaa", x250, "127.0.0.1", true},
      {"agents differing at byte 250", x250 + "aaa", x250.substr(1) + "yaaa", "127.0.0.1", false},
  };
  for (const Case& c : cases) {
    const std::string key = site_.log_in("Taro", "pw", c.login_agent);
    const std::string page = site_.run({{"REQUEST_METHOD", "GET"},
                                        {"QUERY_STRING", "SKEY=" + key + "&JOB=TOP"},
                                        {"REMOTE_ADDR", c.addr},
                                        {"HTTP_USER_AGENT", c.agent}});
    EXPECT_EQ(is_frame_set(page), c.valid) << c.name;
    EXPECT_EQ(is_invalid_key(page), !c.valid) << c.name;
  }
}

TEST_F(FrameTest, APersonalAccountsSecondLogInEndsTheFirstAndASharedOneKeepsOneKey) {
  const std::string first = site_.log_in("Taro");
  const std::string second = site_.log_in("Taro", "pw", "Other/2");
  EXPECT_NE(first, second);
  EXPECT_TRUE(is_invalid_key(top(first)));
  EXPECT_TRUE(is_invalid_key(top(first, "Other/2")));
  EXPECT_TRUE(is_frame_set(top(second, "Other/2")));
  EXPECT_EQ(skeys().size(), 532u);

  const std::string log_before = log();
  const std::string a = site_.log_in("Kyo", "pw", "First/1");
  const std::string b = site_.log_in("kyo", "pw", "Second/2");
  EXPECT_EQ(a, b);
  EXPECT_EQ(from_frame_set(top(a, "Third/3")), frame_set(a, "ginfo.html"));
  const std::string added = log().substr(log_before.size());
  ASSERT_EQ(added.size(), 16 + std::string(",Kyo,login,0,127.0.0.1,First/1\n").size()) << added;
  EXPECT_EQ(added.substr(16), ",Kyo,login,0,127.0.0.1,First/1\n");
}

TEST_F(FrameTest, ARecordWithKeyZeroServesKeysThatAreNoNumber) {
  std::string record(532, '\0');
  record.replace(4, 4, "Taro");
  record.replace(26, 9, "127.0.0.1");
  record.replace(278, 15, kAgent);
  site_.write_file(site_.data_dir() + "skey.mst", record);
  EXPECT_EQ(from_frame_set(top("abc")), frame_set("abc", "info.html"));
  EXPECT_TRUE(is_frame_set(top("0")));
  EXPECT_TRUE(is_invalid_key(top("1")));
}

TEST_F(FrameTest, LogOffEndsAPersonalSessionOnly) {
  const std::string taro = site_.log_in("Taro");
  const std::string jiro = site_.log_in("Jiro");
  EXPECT_EQ(site_.post_form("SKEY=" + taro + "&JOB=LOGOFF"), golden("login.html"));
  EXPECT_TRUE(is_invalid_key(top(taro)));
  EXPECT_TRUE(is_frame_set(top(jiro)));
  EXPECT_EQ(skeys().substr(4, 5), std::string("Jiro\0", 5));
  EXPECT_EQ(skeys().size(), 532u);

  const std::string kyo = site_.log_in("Kyo");
  EXPECT_EQ(site_.post_form("SKEY=" + kyo + "&JOB=LOGOFF"), "");
  EXPECT_TRUE(is_frame_set(top(kyo)));

  site_.setting("LOGOFF_URL", "http://example.com/bye.html");
  EXPECT_EQ(site_.post_form("SKEY=" + jiro + "&JOB=LOGOFF"),
            head() + "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=http://example.com/bye.html\"></HTML>\n");
  EXPECT_TRUE(is_invalid_key(top(jiro)));
}

TEST_F(FrameTest, AUsersOwnLanguageFileServesTheRequestsAfterTheLogIn) {
  const std::string sub = site_.cgi_dir() + "/sub";
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  for (const std::string& file : {site_.cgi_dir() + "/mine.lng", site_.cgi_dir() + "/\x95\x5C.lng",
                                  site_.data_dir() + "evil.lng", site_.cgi_dir() + "/evil.txt",
                                  sub + "/evil.lng", site_.cgi_dir() + "/sub\\evil.lng"}) {
    site_.write_file(file, "2,Own two,\n6,Own six,\n");
  }
  const std::string plain = "<!--" + text(2) + "-->\n<FRAMESET";
  struct Case {
    std::string language;
    bool used;
  } cases[] = {{"mine.lng", true},
               {"\x95\x5C.lng", true},  // the trail byte is a backslash's code
               {"../data/evil.lng", false}, {site_.data_dir() + "evil.lng", false},
               {"sub/evil.lng", false},     {"sub\\evil.lng", false},
               {"evil.txt", false},         {"missing.lng", false},
               {"/etc/passwd", false}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string id = "Lang" + std::to_string(n++);
    site_.add_user(id, 1, 1, 1, c.language);
    const std::string login = site_.post_form("uid=" + id + "&upw=pw&JOB=TOP");
    EXPECT_TRUE(has(login, plain)) << c.language;  // the log-in itself: the site's language
    const std::string page = top(site_.log_in(id));
    EXPECT_TRUE(has(page, c.used ? "<!--Own two-->\n<FRAMESET" : plain)) << c.language << page;
  }
  EXPECT_TRUE(has(top(site_.log_in("Taro")), plain));
}

}  // namespace
}  // namespace plazet::testing
