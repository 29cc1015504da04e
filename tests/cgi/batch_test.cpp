// The batch upload: blocks of one uploaded file posted through the posting
// service, each reported on the result page.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <tuple>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

// A block for `board` answering `answered`, with its flags.
std::string block(long board, long answered, const std::string& title, const std::string& body = "",
                  const std::string& flags = "RCK:1\nHTM:0\n") {
  return ";board" + std::to_string(board) + "\nRe:" + std::to_string(answered) + "\n" + title +
         "\nPr:0\n" + body + "..\n" + flags;
}

// Boards: 1 News, 2 Notices (writing needs level 5), 3 Lobby (chat),
// 4 Office (Dir), 5 Plans; News holds messages 1 and 2.
class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user("taro");
    site_.add_user("boss", 100);
    site_.new_board("News");
    site_.new_board("Notices", [](B_TITLE2& b) { b.WRITE_LEVEL = 5; });
    site_.new_board("Lobby", {}, B_TITLE::kChat);
    site_.new_board("Office", {}, B_TITLE::kDir);
    site_.new_board("Plans");
    (void)site_.post(1, {.writer = "boss"});
    (void)site_.post(1, {.writer = "boss"});
  }
  std::string upload(const std::string& user, const std::string& file) {
    return site_.post_as(user, "JOB=BATCH_UPLOAD_WR", Multipart().file("FILE1", "batch.txt", file));
  }
  // The result lines: "w<board>/<new number>" for a posted block,
  // "r<board>/<answered>" for a refused one, "f<board>/<answered>" for one
  // that could not be stored.
  static std::string results(const std::string& page) {
    std::string out;
    const std::string refused = " " + text(3) + "<P>", failed = " " + text(380) + "<P>";
    for (const std::string& line :
         all(page, "((?:write )?board\\[-?\\d+\\],res\\[\\d+\\] .*?<P>)")) {
      const std::string numbers = std::regex_replace(
          line, std::regex("(?:write )?board\\[(-?\\d+)\\],res\\[(\\d+)\\].*"), "$1/$2");
      const char kind = line.starts_with("write ") ? 'w'
                        : line.ends_with(refused)  ? 'r'
                        : line.ends_with(failed)   ? 'f'
                                                   : '?';
      out += (out.empty() ? "" : " ") + std::string(1, kind) + numbers;
    }
    return out;
  }
  std::string layout(long board) const {
    std::string out;
    for (const INDEX_DATA& r : site_.index(board)) {
      out += (out.empty() ? "" : " ") + std::to_string(r.SEL_NO) + "/" +
             std::to_string(r.THREAD_NO) + "/" + std::to_string(r.RES_LEVEL);
    }
    return out;
  }
  std::string log() const { return CgiSite::read_file(site_.data_dir() + "system.log"); }
  CgiSite site_;
};

// How the file is read block by block is the batch reader's (its case table).
TEST_F(BatchTest, NewThreadsAndRepliesArePostedAsThePostingPageWould) {
  const std::string file = block(1, 1, "Answer", "first\n", "RCK:2\nHTM:1\n") +
                           ";board1\nRe:0\nFresh\nPr:2\nx\n..\nRCK:1\nHTM:0\n";
  EXPECT_EQ(results(upload("taro", file)), "w1/3 w1/4");
  // The reply goes into 1's thread; the new thread gets the next number.
  EXPECT_EQ(layout(1), "1/1/0 3/1/1 2/2/0 4/4/0");
  const std::vector<INDEX_DATA> index = site_.index(1);
  const INDEX_DATA& a = index[1];
  EXPECT_EQ(std::tuple(a.WRITER, a.WRITE_TITLE, a.READ_CHK, a.HTML_MODE, a.ADD_COUNT),
            std::tuple(std::string("taro"), std::string("Answer"), 2, 1, 0));
  EXPECT_EQ(a.WRITE_DATE.size(), 16u);
  EXPECT_EQ(index[3].WRITE_PRIORITY, 2);
  EXPECT_EQ(CgiSite::read_file(site_.board_file(1, "x3.dat")), "first\r");
  // The writer has read what he posted; the upload is gone.
  EXPECT_EQ(site_.readers(1, 4), std::vector<std::string>{"taro"});
  for (const auto& entry : std::filesystem::directory_iterator(site_.cgi_dir())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("CGI")) << entry.path();
  }
}

TEST_F(BatchTest, BlocksWithoutTheRightOrBoardAreReportedAndSkipped) {
  const std::string file = block(2, 0, "a") + block(3, 0, "b") + block(4, 0, "c") +
                           block(42, 7, "d") + block(-1, 0, "e") + block(5, 0, "f");
  struct Row {
    const char* user;
    const char* results;
  };
  // An administrator may write everywhere, but only boards take messages.
  const Row rows[] = {
      {"taro", "r2/0 r3/0 r4/0 r42/7 r-1/0 w5/1"},
      {"boss", "w2/1 r3/0 r4/0 r42/7 r-1/0 w5/2"},
  };
  for (const Row& r : rows) EXPECT_EQ(results(upload(r.user, file)), r.results) << r.user;
  for (const char* dir : {"3", "4", "42", "-1"}) {
    EXPECT_FALSE(CgiSite::exists(site_.data_dir() + dir)) << dir;
  }
}

TEST_F(BatchTest, EachPostedBlockIsLoggedWhileLoggingIsOn) {
  const std::string file = block(5, 0, "a") + block(2, 0, "refused") + block(5, 1, "b");
  (void)site_.key("taro");  // logged in beforehand
  // LOG_DATE, the results, the write lines the upload adds to the log.
  const std::tuple<const char*, const char*, long> rows[] = {{"0", "w5/1 r2/0 w5/2", 0},
                                                             {"365", "w5/3 r2/0 w5/4", 2}};
  for (const auto& [days, posted, lines] : rows) {
    site_.setting("LOG_DATE", days);
    const std::string before = log();
    EXPECT_EQ(results(upload("taro", file)), posted);
    const std::string added = log().substr(before.size());
    EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), lines) << days;
    EXPECT_EQ(all(added, "(,taro,write,5,)").size(), static_cast<std::size_t>(lines)) << days;
  }
}

TEST_F(BatchTest, AStoreFailureIsReportedAndTakenBack) {
  // The body of News's next message cannot be written.
  std::filesystem::create_directories(site_.board_file(1, "x3.dat.tmp"));
  const std::string index = CgiSite::read_file(site_.board_file(1, "index.dat"));
  EXPECT_EQ(results(upload("taro", block(1, 0, "lost") + block(5, 0, "kept"))), "f1/0 w5/1");
  EXPECT_EQ(CgiSite::read_file(site_.board_file(1, "index.dat")), index);
  EXPECT_EQ(site_.readers(1, 3), std::vector<std::string>{});
}

TEST_F(BatchTest, OnlyTheUploadOfThisRequestIsReadAndRemoved) {
  // A file lying in the program's directory, named in a plain text field.
  const std::string planted = site_.cgi_dir() + "/CGI7";
  CgiSite::write_file(planted, block(5, 0, "planted"));
  const std::string page = site_.post_as("taro", "JOB=BATCH_UPLOAD_WR&FILE1=batch.txt,CGI7");
  EXPECT_EQ(results(page), "");
  EXPECT_TRUE(CgiSite::exists(planted));
  EXPECT_FALSE(CgiSite::exists(site_.data_dir() + "5"));
  // No file chosen: the page ends at once.
  const std::string empty =
      site_.post_as("taro", "JOB=BATCH_UPLOAD_WR", Multipart().file("FILE1", "", ""));
  EXPECT_TRUE(empty.ends_with("BGPROPERTIES=FIXED >\n</BODY>\n</HTML>\n")) << empty;
}

}  // namespace
}  // namespace plazet::testing
