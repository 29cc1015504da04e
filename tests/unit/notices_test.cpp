// The data side of the unread notices, the search and the batch upload:
// reading a batch file (data/batch.cases), matching a message against a
// search (data/search.cases), listing a user's unread messages and marking
// one of them read.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "boards/batch_file.h"
#include "boards/message_search.h"
#include "boards/message_service.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "data_dir_test.h"

namespace plazet {
namespace {

std::string show(const BatchBlock& b) {
  const INDEX_DATA& r = b.record;
  return std::to_string(r.FOLDER_NO) + "/" + std::to_string(r.SEL_NO) + "/" +
         std::to_string(r.WRITE_PRIORITY) + "/" + std::to_string(r.READ_CHK) + "/" +
         std::to_string(r.HTML_MODE) + ":" + r.WRITE_TITLE + ":" + b.body;
}

TEST(BatchFileTest, BlocksAreReadAsTheCaseTableSays) {
  const std::vector<testing::Case> cases = testing::load_cases("batch.cases");
  ASSERT_GT(cases.size(), 20u);
  for (const testing::Case& c : cases) {
    BatchFile batch(c.fields.at(1));
    std::string blocks;
    while (std::optional<BatchBlock> block = batch.batch_upload_get()) {
      blocks += (blocks.empty() ? "" : " | ") + show(*block);
    }
    EXPECT_FALSE(batch.batch_upload_get()) << c.fields[0];  // the run stays ended
    EXPECT_EQ(blocks, c.fields.at(2)) << c.fields[0] << " (line " << c.line << ")";
  }
}

TEST(MessageSearchTest, WordsAndVerdictsFollowTheCaseTable) {
  const std::vector<testing::Case> cases = testing::load_cases("search.cases");
  ASSERT_GT(cases.size(), 40u);
  for (const testing::Case& c : cases) {
    SCOPED_TRACE(c.fields.at(0) + " (line " + std::to_string(c.line) + ")");
    if (c.section == "words") {
      const MessageSearch search(c.fields.at(1), "", 1);
      std::string slots;
      for (std::size_t i = 0; i < search.words().size(); ++i)
        slots += (i ? "|" : "") + search.words()[i];
      EXPECT_EQ(slots, c.fields.at(2));
      continue;
    }
    const std::vector<std::string>& f = c.fields;
    const MessageSearch search(f.at(1), f.at(2), std::stol(f.at(3)));
    bool body_read = false, writer_asked = false;
    const bool hit = search.matches(
        f.at(4),
        [&]() -> std::string_view {
          EXPECT_FALSE(body_read) << "the body is read twice";
          body_read = true;
          return f.at(5);
        },
        [&]() -> std::optional<std::string> {
          writer_asked = true;
          if (f.at(6) == "-") return std::nullopt;
          return f.at(6);
        });
    std::string verdict = hit ? "hit" : "miss";
    if (body_read) verdict += " +body";
    if (writer_asked) verdict += " +writer";
    EXPECT_EQ(verdict, f.at(7));
  }
}

class UnreadListTest : public testing::DataDirTest {
 protected:
  void SetUp() override {
    // Board 5: 1, its replies 3 and 4 (4 answers 3), then 2; by jiro.
    for (long parent : {0, 0, 1, 3}) {
      INDEX_DATA m;
      m.FOLDER_NO = 5;
      m.SEL_NO = static_cast<std::int32_t>(parent);
      m.WRITER = "jiro";
      m.WRITE_TITLE = "t";
      ASSERT_TRUE(WriteINDEX_DATA(store(), w(), m));
    }
  }
  // The numbers of the listed messages, as a new request lists them.
  std::string listed(const std::string& user, long order) {
    Store& s = fresh();
    const auto index = board_index(s, 5);
    std::string out;
    for (std::size_t at : unread_messages(s, 5, user, order)) {
      out += (out.empty() ? "" : " ") + std::to_string((*index)[at].SEL_NO);
    }
    return out;
  }
  void mark(std::int32_t sel_no, const std::string& user) {
    ASSERT_TRUE(WriteREAD_POINT(fresh(), w(), 5, {sel_no, user}));
  }
};

TEST_F(UnreadListTest, UnreadMessagesComeInTheUsersListingOrderAndMarkingOneNeedsIt) {
  mark(2, "hana");
  mark(3, "taro");                                 // somebody else's mark counts for nothing
  std::filesystem::remove(dir_.file("5/r4.dat"));  // no mark file: unread
  // The index order is 1 3 4 2; jiro wrote them all, but the mark file of 4 is gone.
  const std::tuple<const char*, long, const char*> rows[] = {
      {"hana", 1, "1 3 4"}, {"hana", 2, "1 3 4"}, {"hana", 3, "4 3 1"}, {"hana", 0, ""},
      {"hana", 4, ""},      {"jiro", 1, "4"},     {"taro", 2, "1 2 4"}, {"nobody", 3, "4 3 2 1"}};
  for (const auto& [user, order, numbers] : rows) {
    EXPECT_EQ(listed(user, order), numbers) << user << " order " << order;
  }
  // A board nobody wrote to lists nothing and is not created.
  EXPECT_TRUE(unread_messages(fresh(), 6, "hana", 1).empty());
  EXPECT_FALSE(dir_.exists("6"));

  const std::tuple<long, long, const char*, MarkResult> marks[] = {
      {5, 3, "hana", MarkResult::kMarked},
      {5, 3, "hana", MarkResult::kAlreadyRead},
      {5, 1, "jiro", MarkResult::kAlreadyRead},
      {5, 9, "hana", MarkResult::kNoSuchMessage},
      {7, 1, "hana", MarkResult::kNoSuchMessage}};
  for (const auto& [board, sel_no, user, result] : marks) {
    EXPECT_EQ(mark_message_read(fresh(), w(), board, sel_no, user), result)
        << board << "," << sel_no;
  }
  EXPECT_EQ(listed("hana", 1), "1 4");
  EXPECT_EQ(dir_.read("5/r3.dat"),
            testing::unescape("\\[3]\\{24:jiro}\\[0]\\[3]\\{24:taro}\\[0]\\[3]\\{24:hana}\\[0]"));
  EXPECT_FALSE(dir_.exists("5/r9.dat"));  // no file for a number without a message
  EXPECT_FALSE(dir_.exists("7"));         // nor a directory for a board without messages
}

TEST_F(UnreadListTest, TheSearchReadsBodiesAsTheMessagePageDoes) {
  dir_.write("5/x1.dat", std::string(150000, 'b'));  // longer than a body is read
  dir_.write("5/x2.dat", "line\r");
  const BoardBodies bodies(fresh(), 5);
  const BoardBodies none(store(), 8);  // no such board
  for (long n : {1, 2, 3}) {
    EXPECT_EQ(bodies.read(n), ReadContentsDATA(store(), 5, n)) << n;
    EXPECT_EQ(none.read(n), "") << n;
  }
  EXPECT_EQ(bodies.read(1).size(), 99999u);
}

// A batch answers its own newest messages: a reply whose place is the end
// of the index is appended without the work file; a reply inside still goes
// through it, and a body that cannot be written stores nothing.
class IndexTailTest : public UnreadListTest {
 protected:
  PostResult reply(long parent) {
    Posting p;
    p.record.FOLDER_NO = 5;
    p.record.SEL_NO = static_cast<std::int32_t>(parent);
    p.record.WRITER = "hana";
    p.body = "b\r";
    return post_message(fresh(), w(), p, {dir_.prefix() + "att/", dir_.prefix()}, false, nullptr);
  }
  std::string layout() {
    std::string out;
    for (const IndexEntry& e : *board_index(fresh(), 5)) out += std::to_string(e.SEL_NO) + " ";
    return out;
  }
};

TEST_F(IndexTailTest, RepliesAtTheEndNeedNoWorkFile) {
  block("5/index.dat.tmp");
  EXPECT_EQ(reply(2), PostResult::kStored);     // 2 ends the index: 5 goes after it
  EXPECT_EQ(reply(1), PostResult::kNotStored);  // 1's replies end before 2
  EXPECT_EQ(layout(), "1 3 4 2 5 ");
  block("5/x6.dat.tmp");
  EXPECT_EQ(reply(5), PostResult::kNotStored);  // the body first: nothing appended
  EXPECT_EQ(layout(), "1 3 4 2 5 ");
  EXPECT_EQ(dir_.read("5/r6.dat"), "");
}

}  // namespace
}  // namespace plazet
