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
#include "data_dir_test.h"
#include "folders/folder_tree.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr long kBoards[] = {1, 2, 3};
// The last ID is as long as a mark's field holds.
const std::vector<std::string> kUsers = {"taro", "hana", "jiro", "abcdefghijklmnopqrstuvw"};

class MarkSummaryTest : public testing::DataDirTest {
 public:
  void SetUp() override {
    std::string tree;
    for (long b : kBoards) tree += format_title_line({b, B_TITLE::kBoard, "b", 0});
    dir_.write("b_title.mst", tree);
  }
  // A site of three empty boards again.
  void start_over() {
    store_.reset();
    lock_.reset();
    for (const auto& e : std::filesystem::directory_iterator(dir_.prefix())) {
      std::filesystem::remove_all(e.path());
    }
    SetUp();
  }
  testing::TempDir& dir() { return dir_; }

  // The end of a request that held the exclusive lock.
  void end_request() { keep_mark_summaries(store(), w()); }

  // The count as the menu makes it, and the one made from the files alone.
  long menu_count(Store& s, long board, const std::string& user) {
    return CountREAD_POINT(s, board, user);
  }
  long literal(Store& s, long board, const std::string& user) {
    return ChkUNREAD(s, board, user) ? 0 : literal_unread(s, board, user);
  }

  // Every user's count on every board, in a new request under the shared
  // lock; with `summaries`, every board with messages must answer from its
  // summary (and not from the files).
  void expect_exact(const std::string& step, bool summaries) {
    Store& s = fresh(LockMode::kShared);
    for (long b : kBoards) {
      const bool has_index = dir_.exists(std::to_string(b) + "/index.dat");
      for (const std::string& u : kUsers) {
        const long want = literal(s, b, u);
        ASSERT_EQ(menu_count(s, b, u), want) << step << ", board " << b << ", " << u;
        if (summaries && has_index) {
          ASSERT_EQ(summary_unread(s, b, u), literal_unread(s, b, u))
              << step << ", board " << b << ", " << u << ": no summary";
        }
      }
    }
  }

  std::vector<std::int32_t> numbers(long board) {
    std::vector<std::int32_t> out;
    for (const IndexEntry& e : *board_index(store(), board)) out.push_back(e.SEL_NO);
    return out;
  }

  bool post(long board, long parent, const std::string& writer) {
    Posting p;
    p.record.FOLDER_NO = static_cast<std::int32_t>(board);
    p.record.SEL_NO = static_cast<std::int32_t>(parent);
    p.record.WRITE_DATE = "2024/05/01 09:30";
    p.record.WRITER = writer;
    p.record.WRITE_TITLE = "t";
    p.body = "b";
    long n = 0;
    return post_message(store(), w(), p, {dir_.prefix() + "att/", dir_.prefix()}, false, &n) ==
           PostResult::kStored;
  }
  bool edit(long board, std::int32_t sel_no) {
    std::optional<INDEX_DATA> old = ReadINDEX_DATA(store(), board, sel_no, IndexKey::kSelNo);
    if (!old) return false;
    Posting p;
    p.record = *old;
    p.edited = old;
    p.record.WRITE_TITLE = "edited";
    p.body = "e";
    long n = 0;
    return post_message(store(), w(), p, {dir_.prefix() + "att/", dir_.prefix()}, false, &n) ==
           PostResult::kStored;
  }
  // Raw records and marks, as another program or an older version left them.
  void append_raw(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.file(name), std::ios::binary | std::ios::app) << bytes;
  }
  std::string raw_index(long board, std::int32_t sel_no) {
    INDEX_DATA r;
    r.FOLDER_NO = static_cast<std::int32_t>(board);
    r.SEL_NO = sel_no;
    r.THREAD_NO = sel_no;
    r.WRITER = "taro";
    return RecordFile<IndexDataCodec>::encode(r);
  }
  std::string raw_mark(std::int32_t sel_no, const std::string& id) {
    return RecordFile<ReadPointCodec>::encode({sel_no, id});
  }
};

enum Event {
  kThread,
  kReply,
  kEdit,
  kRead,
  kMarkAll,
  kConfirmUnread,
  kRemove,
  kOptOut,
  kOptBackIn,
  kEventCount
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
    // in the index and a user marked twice in one file.
    fresh();
    ASSERT_TRUE(post(3, 0, "taro"));
    append_raw("3/index.dat", raw_index(3, 1));
    append_raw("3/r1.dat", raw_mark(1, "hana") + raw_mark(1, "hana"));
    // And marks an earlier message 2 left: they count once 2 is posted again.
    append_raw("3/r2.dat", raw_mark(2, "jiro"));
    end_request();
    expect_exact("start", true);

    for (int step = 0; step < 100; ++step) {
      fresh();
      const int events = 1 + static_cast<int>(pick(3));
      std::string what;
      for (int e = 0; e < events; ++e) {
        const long board = kBoards[pick(3)];
        const std::string& user = kUsers[pick(kUsers.size())];
        const std::vector<std::int32_t> have = numbers(board);
        const std::int32_t some = have.empty() ? 1 : have[pick(have.size())];
        const auto event = static_cast<Event>(pick(kEventCount));
        what += " " + std::to_string(event) + "@" + std::to_string(board) + ":" + user;
        switch (event) {
          case kThread:
            ASSERT_TRUE(post(board, 0, user));
            break;
          case kReply:
            ASSERT_TRUE(post(board, some, user));
            break;
          case kEdit:
            (void)edit(board, some);
            break;
          case kRead:
            if (!have.empty()) (void)WriteREAD_POINT(store(), w(), board, {some, user});
            break;
          case kMarkAll:
            (void)mark_board_read(store(), w(), board, user);
            break;
          case kConfirmUnread:  // the unread notices mark messages of every board
            for (long b : kBoards) {
              for (std::int32_t n : numbers(b)) {
                if (pick(2) == 0) (void)WriteREAD_POINT(store(), w(), b, {n, user});
              }
            }
            break;
          case kRemove:
            if (!have.empty())
              (void)delete_message(store(), w(), dir_.prefix() + "att/", board, some);
            break;
          case kOptOut:
            (void)WriteUNREAD(store(), w(), board, user);
            break;
          case kOptBackIn:
            (void)DeleteUNREAD(store(), w(), board, user);
            break;
          case kEventCount:
            break;
        }
        for (long b : kBoards) {
          for (const std::string& u : kUsers) {
            ASSERT_EQ(menu_count(store(), b, u), literal(store(), b, u))
                << "within step " << step << what << ", board " << b << ", " << u;
          }
        }
      }
      // One request in ten dies before its end: its boards have no summary
      // until the next request that holds the exclusive lock.
      const bool died = pick(10) == 0;
      if (!died) end_request();
      expect_exact("step " + std::to_string(step) + what, !died);
    }
  }
}

struct StaleCase {
  const char* name;
  void (*spoil)(MarkSummaryTest&);
  // The counts the files give afterwards, for taro and hana.
  long taro, hana;
};

// Board 1 holds messages 1 and 2 by taro; hana has read message 1.
TEST_F(MarkSummaryTest, AStaleSummaryIsNeverUsedAndIsMadeAgain) {
  const StaleCase cases[] = {
      {"summary deleted",
       [](MarkSummaryTest& t) { std::filesystem::remove(t.dir().file("1/marks.idx")); }, 0, 1},
      {"summary cut inside its header",
       [](MarkSummaryTest& t) { std::filesystem::resize_file(t.dir().file("1/marks.idx"), 40); }, 0,
       1},
      {"summary cut inside a user record",
       [](MarkSummaryTest& t) {
         std::filesystem::resize_file(t.dir().file("1/marks.idx"), 64 + 40);
       },
       0, 1},
      {"summary of another board",
       [](MarkSummaryTest& t) {
         std::filesystem::copy_file(t.dir().file("2/marks.idx"), t.dir().file("1/marks.idx"),
                                    std::filesystem::copy_options::overwrite_existing);
       },
       0, 1},
      {"message appended to index.dat by another program",
       [](MarkSummaryTest& t) { t.append_raw("1/index.dat", t.raw_index(1, 3)); }, 1, 2},
      {"index.dat replaced by another program, same size",
       [](MarkSummaryTest& t) {
         const std::string bytes = t.dir().read("1/index.dat");
         t.dir().write("1/index.new", bytes.substr(0, 160) + t.raw_index(1, 7));
         std::filesystem::rename(t.dir().file("1/index.new"), t.dir().file("1/index.dat"));
       },
       1, 1},
  };
  for (const StaleCase& c : cases) {
    SCOPED_TRACE(c.name);
    start_over();
    fresh();
    ASSERT_TRUE(post(1, 0, "taro"));
    ASSERT_TRUE(post(1, 0, "taro"));
    ASSERT_TRUE(post(2, 0, "hana"));
    ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, "hana"}));
    end_request();
    ASSERT_TRUE(dir_.exists("1/marks.idx"));

    c.spoil(*this);
    Store& s = fresh(LockMode::kShared);
    EXPECT_EQ(summary_unread(s, 1, "taro"), std::nullopt);
    EXPECT_EQ(CountREAD_POINT(s, 1, "taro"), c.taro);
    EXPECT_EQ(CountREAD_POINT(s, 1, "hana"), c.hana);
    EXPECT_FALSE(dir_.exists("1/marks.idx.tmp"));  // the shared request wrote nothing

    fresh();  // any request under the exclusive lock makes it again
    end_request();
    Store& again = fresh(LockMode::kShared);
    EXPECT_EQ(summary_unread(again, 1, "taro"), c.taro);
    EXPECT_EQ(summary_unread(again, 1, "hana"), c.hana);
  }
}

// A mark file that cannot be read leaves the board without a count, by
// either path, and without a summary.
TEST_F(MarkSummaryTest, AnUnreadableMarkFileLeavesNoSummary) {
  fresh();
  ASSERT_TRUE(post(1, 0, "taro"));
  end_request();
  std::filesystem::remove(dir_.file("1/r1.dat"));
  std::filesystem::create_directory(dir_.file("1/r1.dat"));  // opens, but reads fail
  fresh();
  end_request();
  EXPECT_FALSE(dir_.exists("1/marks.idx"));
  Store& s = fresh(LockMode::kShared);
  EXPECT_EQ(CountREAD_POINT(s, 1, "hana"), -1);
}

// More users than the first read of a summary takes: the sorted records are
// searched in the file.
TEST_F(MarkSummaryTest, ASummaryOfManyUsersIsSearchedInTheFile) {
  fresh();
  ASSERT_TRUE(post(1, 0, "u000"));
  ASSERT_TRUE(post(1, 0, "u000"));
  for (int i = 1; i < 300; ++i) {
    char id[8];
    std::snprintf(id, sizeof id, "u%03d", i);
    ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, id}));
    if (i % 3 == 0) {
      ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {2, id}));
    }
  }
  end_request();
  ASSERT_GT(dir_.read("1/marks.idx").size(), 8192u);
  Store& s = fresh(LockMode::kShared);
  const struct {
    const char* id;
    long unread;
  } cases[] = {{"u000", 0}, {"u001", 1}, {"u003", 0}, {"u150", 0}, {"u298", 1},
               {"u299", 1}, {"u300", 2}, {"a", 2},    {"zzz", 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(literal_unread(s, 1, c.id), c.unread) << c.id;
    EXPECT_EQ(summary_unread(s, 1, c.id), c.unread) << c.id;
  }
}

// The file's bytes, written from the format above mark_summary.h.
TEST_F(MarkSummaryTest, FileLayout) {
  fresh();
  ASSERT_TRUE(post(1, 0, "taro"));
  ASSERT_TRUE(WriteREAD_POINT(store(), w(), 1, {1, "hana"}));
  end_request();
  const std::string f = dir_.read("1/marks.idx");
  ASSERT_EQ(f.size(), 64u + 2 * 32);
  EXPECT_EQ(f.substr(0, 8), "MARKSUM1");
  EXPECT_EQ(f.substr(8, 8), std::string("\0\0\0\2\0\0\0\0", 8));
  EXPECT_EQ(f.substr(16, 8), std::string("\0\0\0\0\0\0\0\xa0", 8));  // one index record
  EXPECT_EQ(f.substr(64, 32), "hana" + std::string(20, '\0') + std::string("\0\0\0\0\0\0\0\1", 8));
  EXPECT_EQ(f.substr(96, 32), "taro" + std::string(20, '\0') + std::string("\0\0\0\0\0\0\0\1", 8));
}

}  // namespace
}  // namespace plazet
