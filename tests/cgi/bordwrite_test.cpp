// Posting and editing: the form, and multipart posts whose results are read
// back from the data and attachment files.
#include <gtest/gtest.h>

#include <filesystem>

#include "boards/read_marks.h"
#include "cgi_site.h"

namespace plazet::testing {
namespace {

std::string between(const std::string& page, const std::string& from, const std::string& to) {
  const std::size_t at = page.find(from) + from.size();
  return page.substr(at, page.find(to, at) - at);
}

// Board 1 "Plans <2>" with two attachment slots, edits allowed; taro logged in.
struct WriteSite {
  void init() {
    site_.add_user_line("taro,Taro <b>Yamada</b>,1,,pw,0,1,1,1,,,0,");
    for (const char* id : {"hana", "jiro"}) site_.add_user(id);
    site_.setting("ROWS", "9");
    site_.new_board("Plans <2>", [](B_TITLE2& s) { s.ADD_MAX = 2, s.REWRITE_FLG = 2; });
    key_ = site_.key("taro");
  }
  std::string form(const std::string& query) {
    return site_.get("SKEY=" + key_ + "&FOLDER_NO=" + std::to_string(board_) + "&" + query);
  }
  Multipart write(const std::string& fjob, long sel_no, const std::string& title,
                  const std::string& body) {
    return Multipart()
        .texts("SKEY=" + key_ + "&JOB=BORDWRITEWR&FJOB=" + fjob +
               "&FOLDER_NO=" + std::to_string(board_) + "&SEL_NO=" + std::to_string(sel_no) +
               "&USER_DISP_DEF=1&WRITE_PRIORITY=2&READ_CHK=2&HTML_MODE=1")
        .text("WRITE_TITLE", title)
        .text("WRITE_DATA", body);
  }
  std::string dir() const { return site_.data_dir() + std::to_string(board_) + "/"; }
  std::string body(int sel_no) const {
    return site_.read_file(dir() + "x" + std::to_string(sel_no) + ".dat");
  }
  // The attachment records of a message: "1:a.txt 3:b.txt".
  std::string files(int sel_no) const {
    std::string out;
    site_.with_store([&](Store& s, const WriteToken&) {
      for (const ADD_FILE& f : attachments_of(s, board_, sel_no))
        out += (out.empty() ? "" : " ") + std::to_string(f.FILE_NO) + ":" + f.FILE_NAME;
    });
    return out;
  }
  std::string log() const { return site_.read_file(site_.data_dir() + "system.log"); }
  CgiSite site_;
  long board_ = 1;
  std::string key_;
};

class BordWriteTest : public ::testing::Test, protected WriteSite {
  void SetUp() override { init(); }
};

// An edit round-trips title and body and replaces the date, the mode and every other read mark.
TEST_F(BordWriteTest, TheEditFormPrefillsEscapedAndAnEditRoundTripsUnchanged) {
  const std::string title = "Say \"hi\" & <b>it's</b>";
  const std::string text_body = "a</TEXTAREA><script>alert(1)</script>\rline 2 &amp; \"q\"";
  const int n = site_.post(1, {.title = title, .body = text_body, .html_mode = 2, .date = "2001"});
  site_.with_store([&](Store& s, const WriteToken& w) {
    ASSERT_TRUE(WriteREAD_POINT(s, w, 1, {n, "jiro"}));
  });
  const std::string page = form("JOB=EDITMSG&SEL_NO=1&USER_DISP_DEF=1");
  EXPECT_TRUE(has(page, "VALUE=\"Say &quot;hi&quot; &amp; &lt;b&gt;it&#39;s&lt;/b&gt;\">"));
  EXPECT_EQ(
      between(page, "ROWS=\"9\">", "</TEXTAREA>"),
      "a&lt;/TEXTAREA&gt;&lt;script&gt;alert(1)&lt;/script&gt;\rline 2 &amp;amp; &quot;q&quot;");
  (void)site_.post(write("EDITMSG", n, title, text_body));
  const INDEX_DATA r = site_.index(1).at(0);
  EXPECT_EQ(std::tuple(r.WRITE_TITLE, r.HTML_MODE), std::tuple(title, 1));
  EXPECT_NE(r.WRITE_DATE, "2001");
  EXPECT_EQ(body(n), text_body);
  EXPECT_EQ(site_.readers(1, n), std::vector<std::string>{"taro"});
}

TEST_F(BordWriteTest, ANewMessageIsStoredWithItsMarkAndLogLine) {
  site_.setting("MAX_CONTENTS", "16");  // exactly the body's bytes
  const std::string log_before = log();
  const std::string page = site_.post(write("BORDWRITE", 0, "Hello", "one\r\ntwo\nthree\r\n"));
  EXPECT_TRUE(has(page, "&SEL_NO=1&USER_DISP_DEF=1\">Hello</A>"));  // the listing follows
  const INDEX_DATA r = site_.index(1).at(0);
  EXPECT_EQ(std::tuple(r.SEL_NO, r.THREAD_NO, r.HTML_MODE, r.WRITE_PRIORITY, r.WRITER, r.READ_CHK),
            std::tuple(1, 1, 1, 2, std::string("taro"), 2));
  EXPECT_EQ(body(1), "one\rtwothree\r");  // every LF removed
  EXPECT_EQ(site_.readers(1, 1), std::vector<std::string>{"taro"});
  EXPECT_EQ(log(), log_before + r.WRITE_DATE + ",taro,write,1,,\n");
  // A reply's title is stored without its mark and cut on a character boundary.
  (void)site_.post(write("BORDWRITE", 1, std::string(80, 'a') + "\x82\xA0" + "tail", "re"));
  EXPECT_EQ(site_.index(1).at(1).WRITE_TITLE, std::string(80, 'a'));
}

TEST(PostRefusedTest, LeavesNoHalfMessage) {
  for (const std::vector<std::string>& c : table("post_refused.txt")) {
    SCOPED_TRACE(c[0]);
    WriteSite t;
    t.init();
    for (std::string step : all(c[1] + ";", " *([^;]+);")) {
      if (step == "limit 10") t.site_.setting("MAX_CONTENTS", "10");
      if (step == "read-only board")
        t.board_ = t.site_.new_board("R", [](B_TITLE2& s) { s.WRITE_LEVEL = 50; });
      if (step == "chat") t.board_ = t.site_.new_board("C", {}, B_TITLE::kChat);
      if (step == "folder 99") t.board_ = 99;
      if (step == "board without edits") t.board_ = t.site_.new_board("F");
      if (step.ends_with("'s message"))
        (void)t.site_.post(t.board_, {.writer = step.substr(0, step.find('\''))});
      if (step.starts_with("blocked ")) {
        std::filesystem::remove(t.dir() + step.substr(8));
        std::filesystem::create_directories(t.dir() + step.substr(8));
      }
    }
    // Files a refused post may not change; the others a request may make (summaries) or not.
    auto files = [&] {
      return t.site_.read_file(t.dir() + "index.dat") + t.site_.read_file(t.dir() + "r1.dat") +
             t.log();
    };
    const std::string before = files();
    EXPECT_EQ(
        t.site_.post(t.write(c[2], std::stol(c[3]), c[4], c[5]).file("FILE1", "a.txt", "data")),
        error_page(278, std::stoi(c[6])));
    EXPECT_EQ(files(), before);
    for (const char* gone : {"x7.dat", "r7.dat", "add_file.dat"})
      EXPECT_FALSE(CgiSite::exists(t.dir() + gone)) << gone;
    EXPECT_TRUE(t.site_.readers(t.board_, 2).empty());
    EXPECT_FALSE(CgiSite::exists(t.site_.pic_dir() + std::to_string(t.board_)));
  }
}

TEST_F(BordWriteTest, UploadsLandInTheirSlotsAndNamesThatAreNoOwnFileAreSkipped) {
  const std::string ini = site_.read_file(site_.ini_file());
  for (const std::vector<std::string>& c : table("uploads.txt")) {
    board_ = site_.new_board(c[0], [](B_TITLE2& s) { s.ADD_MAX = 3; });
    Multipart post = write("BORDWRITE", 0, "t", "b");
    for (int n = 1; n <= 3; ++n) {
      const std::string field = "FILE" + std::to_string(n), part = c[n],
                        value = part.substr(part.find(':') + 1);
      if (part.starts_with("file:")) post.file(field, value, "data " + std::to_string(n));
      if (part.starts_with("text:")) post.text(field, value);
    }
    (void)site_.post(post);
    EXPECT_EQ(files(1), c[4]) << c[0];
    for (int n = 1; n <= 3; ++n)
      EXPECT_EQ(CgiSite::exists(site_.slot(board_, 1, n)), has(c[4], std::to_string(n) + ":")) << n;
    for (const std::string& f : all(c[4], "([0-9]:[^ ]+)"))
      EXPECT_EQ(site_.read_file(site_.slot(board_, 1, f[0] - '0') + f.substr(2)),
                "data " + f.substr(0, 1));
    EXPECT_EQ(site_.index(board_).at(0).ADD_COUNT, static_cast<int>(all(c[4], "(:)").size()));
  }
  EXPECT_EQ(site_.read_file(site_.ini_file()), ini);
  for (const char* gone : {"/CGI0", "/CGI1"}) EXPECT_FALSE(CgiSite::exists(site_.cgi_dir() + gone));
}

}  // namespace
}  // namespace plazet::testing
