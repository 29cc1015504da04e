// Log-in, session keys and log-off, seen through the program as the web
// server runs it.
#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "cgi_site.h"

namespace plazet {
namespace {

using testing::CgiSite;

constexpr const char* kAgent = "TestBrowser/1.0";

bool is_login_page(const std::string& page) {
  return page.find("NAME=\"uid\"") != std::string::npos &&
         page.find("<FRAMESET") == std::string::npos;
}

bool is_frame_set(const std::string& page) {
  return page.find("<FRAMESET") != std::string::npos &&
         page.find("NAME=\"uid\"") == std::string::npos;
}

bool is_invalid_key_page(const std::string& page) {
  return page.find("TARGET=\"_parent\"") != std::string::npos &&
         page.find("<FRAMESET") == std::string::npos;
}

// The frame set from "<FRAMESET" to the end, as the program prints it for
// the key `key` and the start page `start` of the right-hand frame.
std::string frame_set(const std::string& key, const std::string& start) {
  return "<FRAMESET COLS=\"20%,*\" >\n"
         "\t<FRAME SRC = \"plazet.cgi?SKEY=" +
         key +
         "&JOB=FRM21\" NAME=\"FRM21\">\n"
         "\t<FRAME SRC = \"/plazetpic/" +
         start +
         "\" NAME=\"FRM22\">\n"
         "</FRAMESET>\n"
         "</HTML>\n";
}

std::string from_frame_set(const std::string& page) {
  std::size_t at = page.find("<FRAMESET");
  return at == std::string::npos ? "" : page.substr(at);
}

// The key in the frame set's menu link.
std::optional<std::string> key_of(const std::string& page) {
  static const std::regex link("\\?SKEY=([0-9]+)&JOB=FRM21\"");
  std::smatch m;
  if (!std::regex_search(page, m, link)) return std::nullopt;
  return m[1].str();
}

// Text `n` of a language file, as the file holds it.
std::string language_text(const std::string& file, int n) {
  const std::string start = std::to_string(n) + ",";
  std::size_t at = file.rfind("\n" + start);
  at = at == std::string::npos ? (file.rfind(start, 0) == 0 ? 0 : std::string::npos) : at + 1;
  if (at == std::string::npos) return "";
  at += start.size();
  return file.substr(at, file.find_first_of(",\n", at) - at);
}

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("Taro", "pw", 1, 1);
    site_.add_user("Jiro", "jpw", 1, 1);
    site_.add_user("Kyo", "desk", 1, 2);
  }

  std::string get_as(const std::string& query, const std::string& agent,
                     const std::string& addr = "127.0.0.1") const {
    return site_.run({{"REQUEST_METHOD", "GET"},
                      {"QUERY_STRING", query},
                      {"REMOTE_ADDR", addr},
                      {"HTTP_USER_AGENT", agent}});
  }

  std::string top(const std::string& key, const std::string& agent = kAgent) const {
    return site_.get("SKEY=" + key + "&JOB=TOP", agent);
  }

  std::string skeys() const { return site_.read_file(site_.data_dir() + "skey.mst"); }

  // Text 2 of the site's default language: the HEAD comment of every page.
  std::string default_comment() const {
    return "<!--" + language_text(site_.read_file(site_.cgi_dir() + "/japan.lng"), 2) + "-->\n";
  }

  CgiSite site_;
};

// --- Log-in ---

TEST_F(LoginTest, WithoutInputOrWithAWrongPasswordTheLogInPageIsShown) {
  EXPECT_TRUE(is_login_page(site_.get("")));
  EXPECT_TRUE(is_login_page(site_.post_form("uid=Taro&upw=PW&JOB=TOP")));
  EXPECT_TRUE(is_login_page(site_.post_form("uid=Taro&upw=&JOB=TOP")));
  EXPECT_TRUE(is_login_page(site_.post_form("uid=Nobody&upw=pw&JOB=TOP")));
  EXPECT_EQ(skeys(), "");
  EXPECT_EQ(site_.read_file(site_.data_dir() + "system.log"), "");
}

TEST_F(LoginTest, ALogInShowsTheFrameSetWhateverJobWasSent) {
  for (const char* job : {"&JOB=ROOM", "&JOB=LOGOFF", "&JOB=NOSUCHJOB", ""}) {
    const std::string page = site_.post_form(std::string("uid=Taro&upw=pw") + job);
    ASSERT_TRUE(is_frame_set(page)) << job << "\n" << page;
    std::optional<std::string> key = key_of(page);
    ASSERT_TRUE(key) << page;
    EXPECT_EQ(page.rfind("Content-type: text/html\n\n<HTML>\n<HEAD>\n", 0), 0u);
    EXPECT_EQ(from_frame_set(page), frame_set(*key, "info.html"));

    // The key is stored big-endian in the user's one record.
    const std::string file = skeys();
    ASSERT_EQ(file.size(), 532u);
    const std::uint32_t stored = (std::uint32_t{static_cast<unsigned char>(file[0])} << 24) |
                                 (std::uint32_t{static_cast<unsigned char>(file[1])} << 16) |
                                 (std::uint32_t{static_cast<unsigned char>(file[2])} << 8) |
                                 std::uint32_t{static_cast<unsigned char>(file[3])};
    EXPECT_EQ(std::to_string(stored), *key);
    EXPECT_EQ(file.substr(4, 5), std::string("Taro\0", 5));
    EXPECT_EQ(file.substr(278, 16), std::string(kAgent) + '\0');
  }
}

TEST_F(LoginTest, AnIdTypedInAnotherCaseLogsInAsTheStoredId) {
  const std::string page = site_.post_form("uid=tARO&upw=pw&JOB=TOP");
  ASSERT_TRUE(is_frame_set(page)) << page;
  ASSERT_TRUE(key_of(page));
  EXPECT_EQ(skeys().substr(4, 5), std::string("Taro\0", 5));
  EXPECT_TRUE(is_frame_set(top(*key_of(page))));
}

TEST_F(LoginTest, TheStartFrameFollowsTheAccountKind) {
  site_.add_user("Zero", "zpw", 1, 0);
  const std::string personal = site_.post_form("uid=Taro&upw=pw&JOB=TOP");
  const std::string shared = site_.post_form("uid=Kyo&upw=desk&JOB=TOP");
  const std::string unset = site_.post_form("uid=Zero&upw=zpw&JOB=TOP");
  ASSERT_TRUE(key_of(personal) && key_of(shared) && key_of(unset));
  EXPECT_EQ(from_frame_set(personal), frame_set(*key_of(personal), "info.html"));
  EXPECT_EQ(from_frame_set(shared), frame_set(*key_of(shared), "ginfo.html"));
  EXPECT_EQ(from_frame_set(unset), frame_set(*key_of(unset), "ginfo.html"));
}

TEST_F(LoginTest, ALogInWhoseKeyCannotBeStoredStillShowsTheFrameSet) {
  // A directory in the way: skey.mst can be neither opened nor created.
  ASSERT_EQ(::mkdir((site_.data_dir() + "skey.mst").c_str(), 0700), 0);
  const std::string page = site_.post_form("uid=Taro&upw=pw&JOB=TOP");
  EXPECT_TRUE(is_frame_set(page)) << page;
  std::optional<std::string> key = key_of(page);
  ASSERT_TRUE(key);
  EXPECT_TRUE(is_invalid_key_page(top(*key)));  // the menu's link then fails
}

// --- Session keys ---

TEST_F(LoginTest, AValidKeyWithoutJobShowsTheFrameSetAgain) {
  std::optional<std::string> key = site_.log_in("Taro", "pw");
  ASSERT_TRUE(key);
  EXPECT_EQ(from_frame_set(site_.get("SKEY=" + *key + "&JOB=")), frame_set(*key, "info.html"));
  EXPECT_EQ(from_frame_set(site_.get("SKEY=" + *key)), frame_set(*key, "info.html"));
  // With a key, ID and password are not looked at.
  EXPECT_EQ(from_frame_set(site_.get("SKEY=" + *key + "&uid=Jiro&upw=wrong")),
            frame_set(*key, "info.html"));
}

TEST_F(LoginTest, APersonalAccountsSecondLogInEndsTheFirstSession) {
  std::optional<std::string> first = site_.log_in("Taro", "pw");
  ASSERT_TRUE(first);
  EXPECT_TRUE(is_frame_set(top(*first)));
  std::optional<std::string> second = site_.log_in("Taro", "pw", "OtherBrowser/2.0");
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);

  const std::string stale = top(*first);
  EXPECT_TRUE(is_invalid_key_page(stale)) << stale;
  EXPECT_TRUE(is_invalid_key_page(top(*first, "OtherBrowser/2.0")));
  EXPECT_TRUE(is_frame_set(top(*second, "OtherBrowser/2.0")));
  EXPECT_EQ(skeys().size(), 532u);
}

TEST_F(LoginTest, APersonalKeyHoldsOnlyInTheBrowserThatLoggedIn) {
  std::optional<std::string> key = site_.log_in("Taro", "pw", "BrowserA/1.0");
  ASSERT_TRUE(key);
  EXPECT_TRUE(is_invalid_key_page(get_as("SKEY=" + *key + "&JOB=TOP", "BrowserB/1.0")));
  EXPECT_TRUE(is_invalid_key_page(get_as("SKEY=" + *key + "&JOB=TOP", "")));
  // The address may change freely.
  EXPECT_TRUE(is_frame_set(get_as("SKEY=" + *key + "&JOB=TOP", "BrowserA/1.0", "203.0.113.9")));
}

TEST_F(LoginTest, LongUserAgentsCompareOnTheirFirst250Bytes) {
  const std::string head(250, 'x');
  std::optional<std::string> key = site_.log_in("Taro", "pw", head + std::string(50, 'a'));
  ASSERT_TRUE(key);
  EXPECT_TRUE(is_frame_set(top(*key, head + std::string(50, 'b'))));
  EXPECT_TRUE(is_frame_set(top(*key, head)));
  EXPECT_TRUE(is_invalid_key_page(top(*key, std::string(249, 'x') + "y" + std::string(50, 'a'))));
}

TEST_F(LoginTest, KeyTextThatIsNoNumberIsKeyZero) {
  EXPECT_TRUE(is_invalid_key_page(site_.get("SKEY=abc&JOB=TOP")));

  // A session record with key 0 for Taro and the test browser.
  std::string record(532, '\0');
  record.replace(4, 4, "Taro");
  record.replace(26, 9, "127.0.0.1");
  record.replace(278, 15, kAgent);
  site_.write_file(site_.data_dir() + "skey.mst", record);
  EXPECT_EQ(from_frame_set(site_.get("SKEY=abc&JOB=TOP")), frame_set("abc", "info.html"));
  EXPECT_TRUE(is_frame_set(site_.get("SKEY=0&JOB=TOP")));
  EXPECT_TRUE(is_invalid_key_page(site_.get("SKEY=1&JOB=TOP")));
}

TEST_F(LoginTest, ASharedAccountKeepsOneKeyAndIsLoggedOnce) {
  std::optional<std::string> first = site_.log_in("Kyo", "desk", "First/1");
  std::optional<std::string> second = site_.log_in("kyo", "desk", "Second/2");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(*first, *second);
  EXPECT_EQ(from_frame_set(top(*first, "Third/3")), frame_set(*first, "ginfo.html"));

  const std::string log = site_.read_file(site_.data_dir() + "system.log");
  ASSERT_EQ(log.size(), 16 + std::string(",Kyo,login,0,127.0.0.1,First/1\n").size()) << log;
  EXPECT_EQ(log.substr(16), ",Kyo,login,0,127.0.0.1,First/1\n");
}

// --- Log-off ---

TEST_F(LoginTest, LogOffEndsThePersonalSessionAndShowsTheLogInPage) {
  std::optional<std::string> taro = site_.log_in("Taro", "pw");
  std::optional<std::string> jiro = site_.log_in("Jiro", "jpw");
  ASSERT_TRUE(taro && jiro);
  EXPECT_TRUE(is_login_page(site_.post_form("SKEY=" + *taro + "&JOB=LOGOFF")));
  EXPECT_TRUE(is_invalid_key_page(top(*taro)));
  EXPECT_TRUE(is_frame_set(top(*jiro)));
  EXPECT_EQ(skeys().size(), 532u);
  EXPECT_EQ(skeys().substr(4, 5), std::string("Jiro\0", 5));
}

TEST_F(LoginTest, LogOffGoesToTheLogOffUrlWhenOneIsSet) {
  site_.write_file(site_.ini_file(),
                   site_.read_file(site_.ini_file()) + "LOGOFF_URL,http://example.com/bye.html,\n");
  std::optional<std::string> key = site_.log_in("Taro", "pw");
  ASSERT_TRUE(key);
  const std::string page = site_.post_form("SKEY=" + *key + "&JOB=LOGOFF");
  const std::string comment = default_comment();
  ASSERT_NE(page.find(comment), std::string::npos) << page;
  EXPECT_EQ(page.substr(page.find(comment) + comment.size()),
            "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=http://example.com/bye.html\">"
            "</HTML>\n");
  EXPECT_TRUE(is_invalid_key_page(top(*key)));
}

TEST_F(LoginTest, ASharedAccountCannotLogOff) {
  std::optional<std::string> key = site_.log_in("Kyo", "desk");
  ASSERT_TRUE(key);
  EXPECT_EQ(site_.post_form("SKEY=" + *key + "&JOB=LOGOFF"), "");
  EXPECT_TRUE(is_frame_set(top(*key)));
}

// --- The user's own language ---

TEST_F(LoginTest, TheUsersLanguageFileServesTheLaterRequests) {
  site_.write_file(site_.cgi_dir() + "/mine.lng", "2,Mine two,\n6,Mine six,\n");
  site_.add_user("Hana", "hpw", 1, 1, "mine.lng");
  std::optional<std::string> key = site_.log_in("Hana", "hpw");
  ASSERT_TRUE(key);
  const std::string page = top(*key);
  EXPECT_NE(page.find("<!--Mine two-->\n<FRAMESET"), std::string::npos) << page;
  // Other users keep the default language.
  std::optional<std::string> taro = site_.log_in("Taro", "pw");
  ASSERT_TRUE(taro);
  EXPECT_NE(top(*taro).find(default_comment() + "<FRAMESET"), std::string::npos);
}

TEST_F(LoginTest, TheLogInRequestItselfIsAnsweredInTheDefaultLanguage) {
  site_.write_file(site_.cgi_dir() + "/mine.lng", "2,Mine two,\n6,Mine six,\n");
  site_.add_user("Hana", "hpw", 1, 1, "mine.lng");
  const std::string page = site_.post_form("uid=Hana&upw=hpw&JOB=TOP");
  ASSERT_TRUE(is_frame_set(page)) << page;
  EXPECT_NE(page.find(default_comment() + "<FRAMESET"), std::string::npos) << page;
}

TEST_F(LoginTest, LanguageNamesThatAreNoPlainLngFileAreIgnored) {
  const std::string evil = "2,Evil two,\n";
  site_.write_file(site_.data_dir() + "evil.lng", evil);
  site_.write_file(site_.cgi_dir() + "/evil.txt", evil);
  ASSERT_EQ(::mkdir((site_.cgi_dir() + "/sub").c_str(), 0755), 0);
  site_.write_file(site_.cgi_dir() + "/sub/evil.lng", evil);
  site_.write_file(site_.cgi_dir() + "/sub\\evil.lng", evil);  // one name, backslash inside
  const std::string names[] = {"../data/evil.lng", site_.data_dir() + "evil.lng",
                               "sub/evil.lng",     "sub\\evil.lng",
                               "evil.txt",         "missing.lng",
                               "../data/user.mst", "/etc/passwd"};
  int n = 0;
  for (const std::string& name : names) {
    const std::string id = "Lang" + std::to_string(n++);
    site_.add_user(id, "pw", 1, 1, name);
    std::optional<std::string> key = site_.log_in(id, "pw");
    ASSERT_TRUE(key) << name;
    const std::string page = top(*key);
    EXPECT_NE(page.find(default_comment() + "<FRAMESET"), std::string::npos) << name << "\n"
                                                                             << page;
  }
}

TEST_F(LoginTest, ALanguageFileNameWithTwoByteCharactersIsUsed) {
  // "\x95\x5C" is one two-byte character whose trail byte is the code of a
  // backslash: the name is a plain file name all the same.
  const std::string name = "\x95\x5C.lng";
  site_.write_file(site_.cgi_dir() + "/" + name, "2,Two-byte two,\n");
  site_.add_user("Hana", "hpw", 1, 1, name);
  std::optional<std::string> key = site_.log_in("Hana", "hpw");
  ASSERT_TRUE(key);
  const std::string page = top(*key);
  EXPECT_NE(page.find("<!--Two-byte two-->\n<FRAMESET"), std::string::npos) << page;
}

}  // namespace
}  // namespace plazet
