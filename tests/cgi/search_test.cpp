// The search form and its results: which messages are hits (data/search_hits.txt),
// which folders are offered and searched.
#include <gtest/gtest.h>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user_line("taro,Taro Yamada,1,,pw,0,1,1,1,,,0,");
    site_.add_user_line("hana,Hana Ito,1,,pw,0,1,1,1,,,0,");
    site_.new_board("News");
    site_.new_board(
        "Secret", [](B_TITLE2& b) { b.READ_LEVEL = b.WRITE_LEVEL = 5; }, B_TITLE::kDir);
    site_.new_board("Inside");
    site_.new_board("Open");
    site_.new_board("Lobby", {}, B_TITLE::kChat);
    CgiSite::write_file(site_.data_dir() + "b_title.mst",
                        "News,1,Board,\nSecret,2,Dir,\n Inside,3,Board,\nOpen,4,Board,\n"
                        "Lobby,5,Chat,\n");
    (void)site_.post(1, {.title = "Lunch plans", .body = "Meet at noon"});
    (void)site_.post(1,
                     {.writer = "hana", .parent = 1, .title = "Re lunch", .body = "I bring tea"});
    // "Meeting" and two kanji, the body three kanji (Shift-JIS).
    (void)site_.post(1, {.title = "Meeting \x89\xEF\x8B\x63", .body = "\x8B\x63\x8E\x96\x98\x5E"});
    (void)site_.post(1, {.writer = "ghost", .title = "Gone writer", .body = "ghost text"});
    const int deleted = site_.post(1, {.title = "Deleted noon", .body = "noon"});
    site_.with_store([&](Store& s, const WriteToken& w) {
      INDEX_DATA r = ReadINDEX_DATA(s, 1, deleted, IndexKey::kSelNo).value();
      r.DEL_FLG = 1;
      ASSERT_TRUE(ReWriteINDEX_DATA(s, w, r));
    });
    (void)site_.post(3, {.title = "noon secret", .body = "noon"});
    (void)site_.post(4, {.writer = "hana", .title = "Evening", .body = "noon again"});
  }
  std::string search(const std::string& fields) {
    return site_.as("hana", "JOB=SEARCHDISP&" + fields);
  }
  CgiSite site_;
};

// "board:message" of every message shown in full, in page order (the
// title line of each view; thread lists are left aside).
std::string hits(const std::string& page) {
  std::string out = joined(page,
                           "\n<TD NOWRAP BGCOLOR=\"#FFFFFF\" ALIGN=\"LEFT\"><A HREF=\"[^\"]*"
                           "FOLDER_NO=(\\d+&SEL_NO=\\d+)&");
  for (std::size_t at; (at = out.find("&SEL_NO=")) != std::string::npos;) out.replace(at, 8, ":");
  return out;
}

TEST_F(SearchTest, HitsFollowTheWordsTheWriterAndTheFolder) {
  const std::vector<std::vector<std::string>> cases = table("search_hits.txt");
  ASSERT_EQ(cases.size(), 20u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c.at(0));
    const std::string page = search("CONDITION=" + c.at(1) + "&WRITER=" + c.at(2) +
                                    "&STAT=" + c.at(3) + "&FOLDER_NO=" + c.at(4));
    EXPECT_EQ(hits(page), c.at(5));
    EXPECT_FALSE(has(page, "<BR>" + text(285) + "<BR>\n"));  // a deleted message is never a hit
    // Every folder searched has its heading, hits or not.
    EXPECT_EQ(joined(page, "\"><B>(\\w+)</B><BR>\n"), c.at(4) == "0"   ? "News Open Lobby"
                                                      : c.at(4) == "4" ? "Open"
                                                                       : "");
  }
}

TEST_F(SearchTest, TheFormOffersReadableFoldersAndResultsMarkNothingRead) {
  const std::string form = site_.as("hana", "JOB=SEARCH");
  // Directories, boards and chat rooms alike, but nothing under Secret.
  EXPECT_EQ(joined(form, "<OPTION VALUE=\"(\\d+)\">"), "0 1 4 5");
  const std::string page = search("CONDITION=noon&STAT=1&FOLDER_NO=0");
  EXPECT_EQ(hits(page), "1:1 4:1");
  EXPECT_EQ(site_.readers(1, 1), std::vector<std::string>{"taro"});
  EXPECT_EQ(site_.readers(4, 1), std::vector<std::string>{"hana"});
  // The views carry no tick box; they sit in a form without a button.
  EXPECT_FALSE(has(page, "FOLSEL"));
  EXPECT_FALSE(has(page, "type=\"submit\"") || has(page, "TYPE=\"submit\""));
}

}  // namespace
}  // namespace plazet::testing
