// Every page family once, byte for byte, against the golden pages: the small
// site of golden/README.md, laid out through the store.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

TEST(GoldenPageTest, EachPageFamilyIsPrintedExactly) {
  CgiSite site;
  std::filesystem::remove(site.pic_dir() + "link.html");
  lay_out_golden_site(site);
  const std::string key = site.log_in("taro");
  ASSERT_FALSE(key.empty());
  const std::string k = "SKEY=" + key;
  struct Case {
    const char* golden;
    std::string query;
    bool post = false;
  };
  // In this order: the message page writes taro's read mark last.
  const Case cases[] = {
      {"login.html", ""},
      {"closing.html", "JOB=BORDWRITEFIN"},  // no key: the posting window closes itself
      {"frameset.html", k + "&JOB=TOP"},
      {"invalid_key.html", "SKEY=12345&JOB=ROOM&FOLDER_NO=1"},
      {"error.html", k + "&JOB=BORDWRITEWR&FOLDER_NO=1&WRITE_TITLE=&WRITE_DATA=x", true},
      {"refusal.html", k + "&JOB=DETAILS&FOLDER_NO=9&SEL_NO=1"},
      {"menu.html", k + "&JOB=FRM21"},
      {"room.html", k + "&JOB=ROOM&FOLDER_NO=1"},
      {"bordwrite.html", k + "&JOB=BORDWRITE&FOLDER_NO=1&DISP_PAGE=1&USER_DISP_DEF=1"},
      {"details.html", k + "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    const std::string before = now_minute();
    const std::string page = c.post ? site.post_form(c.query) : site.get(c.query);
    const std::string date = has(page, before) ? before : now_minute();
    EXPECT_EQ(page, golden(c.golden, key, date));
  }
}

}  // namespace
}  // namespace plazet::testing
