// The read-mark summary against the literal count over the mark files:
// random runs of everything that changes marks or messages, and summaries
// that no longer match the files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "boards/mark_summary.h"
#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "data_dir_test.h"
#include "folders/folder_tree.h"

namespace plazet {
namespace {

namespace fs = std::filesystem;
using testing::unescape;

constexpr long kBoards[] = {1, 2, 3};
// The last ID is as long as a mark's field holds.
const std::vector<std::string> kUsers = {"taro", "hana", "jiro", "abcdefghijklmnopqrstuvw"};

std::string raw_mark(std::int32_t sel_no, const std::string& id) {
  return unescape("\\[" + std::to_string(sel_no) + "]\\{24:" + id + "}\\[0]");
}

class MarkSummaryTest : public testing::DataDirTest {
 protected:
  // A site of three empty boards, and nothing else.
  void start_over() {
    store_.reset();
    lock_.reset();
    for (const auto& e : fs::directory_iterator(dir_.prefix())) fs::remove_all(e.path());
    std::string tree;
    for (long b : kBoards) tree += format_title_line({b, B_TITLE::kBoard, "b", 0});
    dir_.write("b_title.mst", tree);
    fresh();
  }
  // The end of a request that held the exclusive lock.
  void end_request() { keep_mark_summaries(store(), w()); }
  // The count made from the files alone.
  long literal(Store& s, long board, const std::string& user) {
    return ChkUNREAD(s, board, user) ? 0 : literal_unread(s, board, user);
  }
  // Every user's count on every board as the menu makes it; with
  // `summaries`, every board with messages must answer from its summary.
  void expect_exact(Store& s, const std::string& step, bool summaries) {
    for (long b : kBoards) {
      for (const std::string& u : kUsers) {
        const std::string where = step + ", board " + std::to_string(b) + ", " + u;
        ASSERT_EQ(CountREAD_POINT(s, b, u), literal(s, b, u)) << where;
        if (summaries && dir_.exists(std::to_string(b) + "/index.dat")) {
          ASSERT_EQ(summary_unread(s, b, u), literal_unread(s, b, u)) << where << ": no summary";
        }
      }
    }
  }
  std::vector<std::int32_t> numbers(long board) {
    std::vector<std::int32_t> out;
    for (const IndexEntry& e : *board_index(store(), board)) out.push_back(e.SEL_NO);
    return out;
  }
  // A new message (a reply when `parent`), or an edit of message `edit`.
  bool post(long board, long parent, const std::string& writer, std::int32_t edit = 0) {
    Posting p;
    p.record.FOLDER_NO = static_cast<std::int32_t>(board);
    p.record.SEL_NO = static_cast<std::int32_t>(parent);
    p.record.WRITE_DATE = "2024/05/01 09:30";
    p.record.WRITER = writer;
    p.record.WRITE_TITLE = "t";
    p.body = "b";
    if (edit) {
      p.edited = ReadINDEX_DATA(store(), board, edit, IndexKey::kSelNo);
      if (!p.edited) return false;
      p.record = *p.edited;
    }
    long n = 0;
    return post_message(store(), w(), p, {dir_.prefix() + "att/", dir_.prefix()}, false, &n) ==
           PostResult::kStored;
  }
  // Raw records and marks, as another program or an older version left them.
  void append_raw(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.file(name), std::ios::binary | std::ios::app) << bytes;
  }
  // An index record by taro: board, number, HTML mode, thread, level, priority, date, writer.
  std::string raw_index(long board, std::int32_t n) {
    const std::string b = std::to_string(board), m = std::to_string(n);
    return unescape("\\{160:\\[" + b + "]\\[" + m + "]\\[0]\\[" + m + "]\\[0]\\[0]\\{20:}taro}");
  }
};

// One random run per seed: every step is a request doing one to three
// events (now and then one that dies before it ends), after which every
// user's count on every board is compared with the literal count, and
// within the request too, while its changes are not yet written.
TEST_F(MarkSummaryTest, RandomRunsKeepEveryCountExact) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    start_over();
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    // Board 3 starts with what only another program writes: a number twice
    // in the index and a user marked twice in one file; and marks an earlier
    // message 2 left, which count once 2 is posted again.
    ASSERT_TRUE(post(3, 0, "taro"));
    append_raw("3/index.dat", raw_index(3, 1));
    append_raw("3/r1.dat", raw_mark(1, "hana") + raw_mark(1, "hana"));
    append_raw("3/r2.dat", raw_mark(2, "jiro"));
    end_request();
    expect_exact(fresh(LockMode::kShared), "start", true);

    for (int step = 0; step < 100; ++step) {
      fresh();
      std::string what = "step " + std::to_string(step);
      for (int e = 1 + static_cast<int>(pick(3)); e > 0; --e) {
        const long board = kBoards[pick(3)];
        const std::string& user = kUsers[pick(kUsers.size())];
        const std::vector<std::int32_t> have = numbers(board);
        const std::int32_t some = have.empty() ? 1 : have[pick(have.size())];
        const std::size_t event = pick(9);
        what += " " + std::to_string(event) + "@" + std::to_string(board) + ":" + user;
        ASSERT_TRUE(event != 0 || post(board, 0, user));      // a thread
        ASSERT_TRUE(event != 1 || post(board, some, user));   // a reply
        if (event == 2) (void)post(board, some, user, some);  // an edit
        if (event == 3 && !have.empty()) (void)WriteREAD_POINT(store(), w(), board, {some, user});
        if (event == 4) (void)mark_board_read(store(), w(), board, user);
        if (event == 5) {  // the unread notices mark messages of every board
          for (long b : kBoards) {
            for (std::int32_t n : numbers(b)) {
              if (pick(2) == 0) (void)WriteREAD_POINT(store(), w(), b, {n, user});
            }
          }
        }
        if (event == 6 && !have.empty())
          (void)delete_message(store(), w(), dir_.prefix() + "att/", board, some);
        if (event == 7) (void)WriteUNREAD(store(), w(), board, user);   // opting out
        if (event == 8) (void)DeleteUNREAD(store(), w(), board, user);  // and back in
        expect_exact(store(), "within " + what, false);
      }
      // One request in ten dies before its end: its boards have no summary
      // until the next request that holds the exclusive lock.
      const bool died = pick(10) == 0;
      if (!died) end_request();
      expect_exact(fresh(LockMode::kShared), what, !died);
    }
  }
}

// Board 1 holds messages 1 and 2 by taro; hana has read message 1.
TEST_F(MarkSummaryTest, AStaleSummaryIsNeverUsedAndIsMadeAgain) {
  const struct {
    const char* name;
    long taro, hana;  // the counts the files give afterwards
  } cases[] = {
      {"summary deleted", 0, 1},
      {"summary cut inside its header", 0, 1},
      {"summary cut inside a user record", 0, 1},
      {"summary of another board", 0, 1},
      {"message appended to index.dat by another program", 1, 2},
      {"index.dat replaced by another program, same size", 1, 1},
  };
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(cases[k].name);
    start_over();
    ASSERT_TRUE(post(1, 0, "taro"));
    ASSERT_TRUE(post(1, 0, "taro"));
    ASSERT_TRUE(post(2, 0, "hana"));
    ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, "hana"}));
    end_request();
    const std::string summary = dir_.file("1/marks.idx");
    ASSERT_TRUE(fs::exists(summary));
    if (k == 0) fs::remove(summary);
    if (k == 1 || k == 2) fs::resize_file(summary, k == 1 ? 40 : 64 + 40);
    if (k == 3) {
      fs::copy_file(dir_.file("2/marks.idx"), summary, fs::copy_options::overwrite_existing);
    }
    if (k == 4) append_raw("1/index.dat", raw_index(1, 3));
    if (k == 5) {
      dir_.write("1/index.new", dir_.read("1/index.dat").substr(0, 160) + raw_index(1, 7));
      fs::rename(dir_.file("1/index.new"), dir_.file("1/index.dat"));
    }
    Store& s = fresh(LockMode::kShared);
    EXPECT_EQ(summary_unread(s, 1, "taro"), std::nullopt);
    EXPECT_EQ(CountREAD_POINT(s, 1, "taro"), cases[k].taro);
    EXPECT_EQ(CountREAD_POINT(s, 1, "hana"), cases[k].hana);
    EXPECT_FALSE(dir_.exists("1/marks.idx.tmp"));  // the shared request wrote nothing

    fresh();  // any request under the exclusive lock makes it again
    end_request();
    Store& again = fresh(LockMode::kShared);
    EXPECT_EQ(summary_unread(again, 1, "taro"), cases[k].taro);
    EXPECT_EQ(summary_unread(again, 1, "hana"), cases[k].hana);
  }
}

// A mark file that cannot be read leaves the board without a count, by
// either path, and without a summary.
TEST_F(MarkSummaryTest, AnUnreadableMarkFileLeavesNoSummary) {
  start_over();
  ASSERT_TRUE(post(1, 0, "taro"));
  end_request();
  fs::remove(dir_.file("1/r1.dat"));
  fs::create_directory(dir_.file("1/r1.dat"));  // opens, but reads fail
  fresh();
  end_request();
  EXPECT_FALSE(dir_.exists("1/marks.idx"));
  EXPECT_EQ(CountREAD_POINT(fresh(LockMode::kShared), 1, "hana"), -1);
}

// More users than the first read of a summary takes: the sorted records are
// searched in the file. And the file's bytes, written from the format above
// mark_summary.h, for two messages read by u000 and u001.
TEST_F(MarkSummaryTest, ASummaryOfManyUsersIsSearchedInTheFile) {
  start_over();
  ASSERT_TRUE(post(1, 0, "u000"));
  ASSERT_TRUE(post(1, 0, "u000"));
  ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, "u001"}));
  end_request();
  EXPECT_EQ(dir_.read("1/marks.idx").substr(0, 24), unescape("MARKSUM1\\[2]\\[0]\\[0]\\[320]"));
  EXPECT_EQ(dir_.read("1/marks.idx").substr(64),
            unescape("\\{24:u000}\\[0]\\[2]\\{24:u001}\\[0]\\[1]"));
  fresh();
  for (int i = 2; i < 300; ++i) {
    char id[8];
    std::snprintf(id, sizeof id, "u%03d", i);
    ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, id}));
    ASSERT_TRUE(i % 3 != 0 || WriteREAD_POINT(store(), w(), 1, {2, id}));
  }
  end_request();
  ASSERT_GT(dir_.read("1/marks.idx").size(), 8192u);
  Store& s = fresh(LockMode::kShared);
  const std::pair<const char*, long> cases[] = {{"u000", 0}, {"u001", 1}, {"u003", 0},
                                                {"u150", 0}, {"u298", 1}, {"u299", 1},
                                                {"u300", 2}, {"a", 2},    {"zzz", 2}};
  for (const auto& [id, unread] : cases) {
    EXPECT_EQ(literal_unread(s, 1, id), unread) << id;
    EXPECT_EQ(summary_unread(s, 1, id), unread) << id;
  }
}

}  // namespace
}  // namespace plazet
