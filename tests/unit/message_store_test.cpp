#include "boards/message_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boards/read_marks.h"
#include "store/data_lock.h"
#include "temp_dir.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

constexpr std::size_t kIndexRecord = 160;
constexpr std::size_t kAttachmentRecord = 260;
constexpr std::size_t kMarkRecord = 32;

// Each test has its own data directory; requests are made one at a time, as
// the server runs them, each by one logged-in user (Taro unless told).
class MessageStoreTest : public ::testing::Test {
 protected:
  Request& fresh(const std::string& user_id = "Taro", LockMode mode = LockMode::kExclusive) {
    req_.reset();
    req_.emplace();
    req_->sys.DATA_FILE_PATH = dir_.prefix();
    req_->lock = DataLock::acquire(dir_.prefix(), mode);
    MST_USER user;
    user.USER_ID = user_id;
    user.USER_LEVEL = 10;
    user.MODE = 1;
    req_->user = user;
    return *req_;
  }
  Request& req() { return req_ ? *req_ : fresh(); }

  // Posts a message on `board`: a new thread (parent 0) or a reply.
  std::optional<INDEX_DATA> post(long board, long parent, const std::string& title = "t") {
    INDEX_DATA m;
    m.FOLDER_NO = static_cast<std::int32_t>(board);
    m.SEL_NO = static_cast<std::int32_t>(parent);
    m.WRITE_DATE = "2024/05/01 09:30";
    m.WRITER = req().user->USER_ID;
    m.WRITE_TITLE = title;
    m.READ_CHK = 1;
    return WriteINDEX_DATA(req(), m);
  }

  // Places a directory where a work file must go, so that the operation
  // using that name cannot write and must leave its file alone.
  void block(const std::string& work_name) const {
    std::filesystem::create_directory(dir_.file(work_name));
  }

  TempDir dir_;
  std::optional<Request> req_;
};

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string padded(const std::string& text, std::size_t width) {
  std::string field(width, '\0');
  field.replace(0, std::min(text.size(), width), text.substr(0, width));
  return field;
}

// An index record built byte by byte; the fields not named are zero.
std::string raw_index(std::uint32_t board, std::uint32_t sel_no, std::uint32_t thread,
                      std::uint32_t level, const std::string& title = "") {
  std::string r = be32(board) + be32(sel_no) + be32(0) + be32(thread) + be32(level) + be32(0) +
                  padded("", 20) + padded("", 22) + padded(title, 82) + be32(0) + be32(0) + be32(0);
  return r;
}

std::string raw_attachment(std::uint32_t sel_no, std::uint32_t slot, const std::string& name) {
  return be32(sel_no) + be32(slot) + padded(name, 252);
}

std::string raw_mark(std::uint32_t sel_no, const std::string& id) {
  return be32(sel_no) + padded(id, 24) + be32(0);
}

std::uint32_t field_at(const std::string& bytes, std::size_t offset) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(bytes[offset + i] & 0xFF); };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

// The thread layout of an index file as stored: "SEL_NO/THREAD_NO/RES_LEVEL"
// per whole record, in file order.
std::string layout(const std::string& bytes) {
  std::string out;
  for (std::size_t at = 0; at + kIndexRecord <= bytes.size(); at += kIndexRecord) {
    if (!out.empty()) out += " ";
    out += std::to_string(field_at(bytes, at + 4)) + "/" +
           std::to_string(field_at(bytes, at + 12)) + "/" +
           std::to_string(field_at(bytes, at + 16));
  }
  return out;
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// --- Posting ---

TEST_F(MessageStoreTest, FirstMessageOfANewBoardCreatesTheDirectoryTheIndexAndTheAuthorsMark) {
  ASSERT_FALSE(dir_.exists("7"));
  std::optional<INDEX_DATA> stored = post(7, 0, "Hello");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->SEL_NO, 1);
  EXPECT_EQ(stored->THREAD_NO, 1);
  EXPECT_EQ(stored->RES_LEVEL, 0);
  EXPECT_EQ(stored->WRITE_TITLE, "Hello");

  EXPECT_EQ(mode_of(dir_.file("7")), 0700u);
  const std::string index = dir_.read("7/index.dat");
  ASSERT_EQ(index.size(), kIndexRecord);
  EXPECT_EQ(layout(index), "1/1/0");
  ASSERT_EQ(dir_.read("7/r1.dat").size(), kMarkRecord);
  EXPECT_EQ(dir_.read("7/r1.dat"), raw_mark(1, "Taro"));
  EXPECT_EQ(CountINDEX_DATA(req(), 7), 1u);

  // Binary files are the owner's alone, also after the index is replaced.
  EXPECT_EQ(mode_of(dir_.file("7/index.dat")), 0600u);
  EXPECT_EQ(mode_of(dir_.file("7/r1.dat")), 0600u);
  ASSERT_TRUE(post(7, 1));
  EXPECT_EQ(mode_of(dir_.file("7/index.dat")), 0600u);
}

TEST_F(MessageStoreTest, OneIndexRecordIsStoredByteForByteBigEndian) {
  INDEX_DATA m;
  m.FOLDER_NO = 3;
  m.SEL_NO = 0;
  m.HTML_MODE = 2;
  m.THREAD_NO = 99;  // set by the store
  m.RES_LEVEL = 5;   // set by the store
  m.WRITE_PRIORITY = 1;
  m.WRITE_DATE = "2024/05/01 09:30";
  m.WRITER = "Taro";
  m.WRITE_TITLE = "Hello";
  m.ADD_COUNT = 2;
  m.DEL_FLG = 1;  // a new message is never deleted
  m.READ_CHK = 2;
  ASSERT_TRUE(WriteINDEX_DATA(req(), m));
  const std::string expected = be32(3) + be32(1) + be32(2) + be32(1) + be32(0) + be32(1) +
                               padded("2024/05/01 09:30", 20) + padded("Taro", 22) +
                               padded("Hello", 82) + be32(2) + be32(0) + be32(2);
  ASSERT_EQ(expected.size(), kIndexRecord);
  EXPECT_EQ(dir_.read("3/index.dat"), expected);

  // Every integer is four bytes, most significant first; texts longer than
  // their field are cut so that a NUL still ends them inside it.
  INDEX_DATA edit = *ReadINDEX_DATA(req(), 3, 1, IndexKey::kSelNo);
  edit.HTML_MODE = 0x01020304;
  edit.WRITE_PRIORITY = -2;
  edit.WRITER = std::string(30, 'W');
  edit.WRITE_TITLE = std::string(100, 'T');
  edit.READ_CHK = 0x7F000001;
  ASSERT_TRUE(ReWriteINDEX_DATA(req(), edit));
  const std::string rewritten =
      be32(3) + be32(1) + be32(0x01020304) + be32(1) + be32(0) + be32(0xFFFFFFFE) +
      padded("2024/05/01 09:30", 20) + padded(std::string(21, 'W'), 22) +
      padded(std::string(81, 'T'), 82) + be32(2) + be32(0) + be32(0x7F000001);
  EXPECT_EQ(dir_.read("3/index.dat"), rewritten);

  fresh();
  std::optional<INDEX_DATA> back = ReadINDEX_DATA(req(), 3, 1, IndexKey::kPosition);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->FOLDER_NO, 3);
  EXPECT_EQ(back->HTML_MODE, 0x01020304);
  EXPECT_EQ(back->WRITE_PRIORITY, -2);
  EXPECT_EQ(back->WRITE_DATE, "2024/05/01 09:30");
  EXPECT_EQ(back->WRITER, std::string(21, 'W'));
  EXPECT_EQ(back->WRITE_TITLE, std::string(81, 'T'));
  EXPECT_EQ(back->ADD_COUNT, 2);
  EXPECT_EQ(back->DEL_FLG, 0);
  EXPECT_EQ(back->READ_CHK, 0x7F000001);
}

TEST_F(MessageStoreTest, RepliesGoAfterTheParentsSubtreeInPostingOrder) {
  ASSERT_TRUE(post(4, 0));  // 1
  ASSERT_TRUE(post(4, 1));  // 2, reply to 1
  ASSERT_TRUE(post(4, 2));  // 3, reply to 2
  EXPECT_EQ(layout(dir_.read("4/index.dat")), "1/1/0 2/1/1 3/1/2");

  std::optional<INDEX_DATA> second = post(4, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->SEL_NO, 4);
  EXPECT_EQ(second->THREAD_NO, 1);
  EXPECT_EQ(second->RES_LEVEL, 1);
  EXPECT_EQ(layout(dir_.read("4/index.dat")), "1/1/0 2/1/1 3/1/2 4/1/1");

  std::optional<INDEX_DATA> under_two = post(4, 2);
  ASSERT_TRUE(under_two);
  EXPECT_EQ(under_two->SEL_NO, 5);
  EXPECT_EQ(under_two->RES_LEVEL, 2);
  EXPECT_EQ(layout(dir_.read("4/index.dat")), "1/1/0 2/1/1 3/1/2 5/1/2 4/1/1");

  // A second thread is appended; a later reply into the first thread still
  // lands inside it, before the second thread's top message.
  ASSERT_TRUE(post(4, 0));  // 6
  std::optional<INDEX_DATA> under_four = post(4, 4);
  ASSERT_TRUE(under_four);
  EXPECT_EQ(under_four->SEL_NO, 7);
  EXPECT_EQ(under_four->THREAD_NO, 1);
  EXPECT_EQ(under_four->RES_LEVEL, 2);
  std::optional<INDEX_DATA> in_second = post(4, 6);
  ASSERT_TRUE(in_second);
  EXPECT_EQ(in_second->THREAD_NO, 6);
  EXPECT_EQ(layout(dir_.read("4/index.dat")), "1/1/0 2/1/1 3/1/2 5/1/2 4/1/1 7/1/2 6/6/0 8/6/1");
  EXPECT_FALSE(dir_.exists("4/index.dat.tmp"));

  // Every author got his mark on his new message.
  for (int m = 1; m <= 8; ++m) {
    EXPECT_EQ(dir_.read("4/r" + std::to_string(m) + ".dat"), raw_mark(m, "Taro")) << m;
  }

  // The same index, read afresh by another request, in the same order.
  fresh("Hana");
  EXPECT_EQ(CountINDEX_DATA(req(), 4), 8u);
  std::vector<int> order;
  for (long p = 1; std::optional<INDEX_DATA> r = ReadINDEX_DATA(req(), 4, p, IndexKey::kPosition);
       ++p) {
    order.push_back(r->SEL_NO);
  }
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 5, 4, 7, 6, 8}));
}

TEST_F(MessageStoreTest, AReplyWhoseParentIsGoneIsAppendedAsATopEntryOfTheOldThread) {
  ASSERT_TRUE(post(5, 0));  // 1
  ASSERT_TRUE(post(5, 1));  // 2
  ASSERT_TRUE(post(5, 0));  // 3
  ASSERT_TRUE(DeleteINDEX_DATA(req(), 5, 2));
  std::optional<INDEX_DATA> orphan = post(5, 2);
  ASSERT_TRUE(orphan);
  EXPECT_EQ(orphan->SEL_NO, 4);
  EXPECT_EQ(orphan->THREAD_NO, 2);
  EXPECT_EQ(orphan->RES_LEVEL, 0);
  EXPECT_EQ(layout(dir_.read("5/index.dat")), "1/1/0 3/3/0 4/2/0");
}

TEST_F(MessageStoreTest, TheHighestNumberComesBackAfterItsMessageIsRemovedWithItsMarksEmptied) {
  ASSERT_TRUE(post(6, 0));  // 1
  ASSERT_TRUE(post(6, 1));  // 2
  fresh("Hana");
  READ_POINT hana;
  hana.SEL_NO = 2;
  hana.USER_ID = "Hana";
  ASSERT_TRUE(WriteREAD_POINT(req(), 6, hana));
  EXPECT_EQ(dir_.read("6/r2.dat"), raw_mark(2, "Taro") + raw_mark(2, "Hana"));

  // Removal as the message page does it.
  ASSERT_TRUE(DeleteINDEX_DATA(req(), 6, 2));
  DeleteREAD_POINT(req(), 6, 2);
  EXPECT_EQ(dir_.read("6/r2.dat"), "");
  EXPECT_FALSE(dir_.exists("6/R2.TMP"));

  fresh("Jiro");
  std::optional<INDEX_DATA> again = post(6, 0);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->SEL_NO, 2);
  EXPECT_EQ(layout(dir_.read("6/index.dat")), "1/1/0 2/2/0");
  EXPECT_EQ(dir_.read("6/r2.dat"), raw_mark(2, "Jiro"));
}

TEST_F(MessageStoreTest, NumbersFollowTheHighestPresentNotTheCount) {
  std::filesystem::create_directory(dir_.file("8"));
  dir_.write("8/index.dat", raw_index(8, 9, 9, 0) + raw_index(8, 4, 4, 0));
  std::optional<INDEX_DATA> next = post(8, 0);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->SEL_NO, 10);
  EXPECT_EQ(layout(dir_.read("8/index.dat")), "9/9/0 4/4/0 10/10/0");
}

TEST_F(MessageStoreTest, OneRequestSeesItsOwnPostingsRewritesAndRemovals) {
  ASSERT_TRUE(post(9, 0, "one"));  // 1
  ASSERT_TRUE(post(9, 0, "two"));  // 2
  EXPECT_EQ(CountINDEX_DATA(req(), 9), 2u);
  ASSERT_TRUE(post(9, 1, "re"));  // 3, between 1 and 2
  EXPECT_EQ(CountINDEX_DATA(req(), 9), 3u);
  EXPECT_EQ(ReadINDEX_DATA(req(), 9, 2, IndexKey::kPosition)->SEL_NO, 3);
  EXPECT_EQ(ReadINDEX_DATA_MAX(req(), 9, IndexMax::kLastRecord)->SEL_NO, 2);

  INDEX_DATA edit = *ReadINDEX_DATA(req(), 9, 1, IndexKey::kSelNo);
  edit.WRITE_TITLE = "one, edited";
  ASSERT_TRUE(ReWriteINDEX_DATA(req(), edit));
  EXPECT_EQ(ReadINDEX_DATA(req(), 9, 1, IndexKey::kSelNo)->WRITE_TITLE, "one, edited");

  ASSERT_TRUE(DeleteINDEX_DATA(req(), 9, 3));
  EXPECT_EQ(CountINDEX_DATA(req(), 9), 2u);
  EXPECT_EQ(ReadINDEX_DATA(req(), 9, 2, IndexKey::kPosition)->SEL_NO, 2);
  ASSERT_TRUE(post(9, 0, "three"));
  EXPECT_EQ(ReadINDEX_DATA_MAX(req(), 9, IndexMax::kHighestNumber)->WRITE_TITLE, "three");
  EXPECT_EQ(ReadINDEX_DATA_MAX(req(), 9, IndexMax::kHighestNumber)->SEL_NO, 3);
  EXPECT_EQ(layout(dir_.read("9/index.dat")), "1/1/0 2/2/0 3/3/0");
}

TEST_F(MessageStoreTest, AReplyThatCannotReplaceTheIndexStoresNothing) {
  ASSERT_TRUE(post(2, 0));
  const std::string before = dir_.read("2/index.dat");
  block("2/index.dat.tmp");
  EXPECT_FALSE(post(2, 1));
  EXPECT_EQ(dir_.read("2/index.dat"), before);
  EXPECT_FALSE(dir_.exists("2/r2.dat"));
  EXPECT_EQ(CountINDEX_DATA(req(), 2), 1u);
}

// --- Bodies ---

TEST_F(MessageStoreTest, BodiesAreStoredAsGivenAndReadBackAtMost99999Bytes) {
  ASSERT_TRUE(post(3, 0));
  ASSERT_TRUE(WriteContentsDATA(req(), 3, 1, "line one\rline two\r"));
  EXPECT_EQ(dir_.read("3/x1.dat"), "line one\rline two\r");
  EXPECT_EQ(ReadContentsDATA(req(), 3, 1), "line one\rline two\r");

  std::string big;
  for (int i = 0; big.size() < 150000; ++i) big += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(WriteContentsDATA(req(), 3, 1, big));
  EXPECT_EQ(dir_.read("3/x1.dat").size(), 150000u);
  EXPECT_EQ(ReadContentsDATA(req(), 3, 1), big.substr(0, 99999));

  // A new body replaces the old one entirely.
  ASSERT_TRUE(WriteContentsDATA(req(), 3, 1, "short"));
  EXPECT_EQ(dir_.read("3/x1.dat"), "short");
  EXPECT_EQ(ReadContentsDATA(req(), 3, 1), "short");

  EXPECT_EQ(ReadContentsDATA(req(), 3, 2), "");
  EXPECT_EQ(ReadContentsDATA(req(), 44, 1), "");
  EXPECT_FALSE(dir_.exists("44"));
}

// --- Readers ---

TEST_F(MessageStoreTest, ReadingByNumberAndByPosition) {
  std::filesystem::create_directory(dir_.file("5"));
  dir_.write("5/index.dat", raw_index(5, 3, 3, 0, "three") + raw_index(5, 7, 3, 1, "seven") +
                                raw_index(5, 7, 7, 0, "later seven") + "partial");
  EXPECT_EQ(CountINDEX_DATA(req(), 5), 3u);
  EXPECT_EQ(ReadINDEX_DATA(req(), 5, 7, IndexKey::kSelNo)->WRITE_TITLE, "seven");
  EXPECT_EQ(ReadINDEX_DATA(req(), 5, 3, IndexKey::kSelNo)->WRITE_TITLE, "three");
  EXPECT_FALSE(ReadINDEX_DATA(req(), 5, 4, IndexKey::kSelNo));

  EXPECT_EQ(ReadINDEX_DATA(req(), 5, 1, IndexKey::kPosition)->WRITE_TITLE, "three");
  EXPECT_EQ(ReadINDEX_DATA(req(), 5, 3, IndexKey::kPosition)->WRITE_TITLE, "later seven");
  EXPECT_FALSE(ReadINDEX_DATA(req(), 5, 4, IndexKey::kPosition));  // the partial record
  EXPECT_FALSE(ReadINDEX_DATA(req(), 5, 40, IndexKey::kPosition));
  EXPECT_FALSE(ReadINDEX_DATA(req(), 5, 0, IndexKey::kPosition));
}

TEST_F(MessageStoreTest, ReadersOfABoardNobodyWroteToCreateNothing) {
  EXPECT_EQ(CountINDEX_DATA(req(), 42), 0u);
  EXPECT_FALSE(ReadINDEX_DATA(req(), 42, 1, IndexKey::kPosition));
  EXPECT_FALSE(ReadINDEX_DATA(req(), 42, 1, IndexKey::kSelNo));
  EXPECT_FALSE(ReadINDEX_DATA_MAX(req(), 42, IndexMax::kHighestNumber));
  EXPECT_FALSE(ReadINDEX_DATA_MAX(req(), 42, IndexMax::kLastRecord));
  EXPECT_FALSE(ReadINDEX_DATA_G(req(), 42, 0, 1));
  EXPECT_FALSE(ReadADD_FILE(req(), 42, 1, 1));
  EXPECT_TRUE(attachments_of(req(), 42, 1).empty());
  EXPECT_FALSE(dir_.exists("42"));

  // An existing but empty board directory stays empty.
  std::filesystem::create_directory(dir_.file("43"));
  fresh();
  EXPECT_EQ(CountINDEX_DATA(req(), 43), 0u);
  EXPECT_FALSE(ReadINDEX_DATA_MAX(req(), 43, IndexMax::kLastRecord));
  EXPECT_FALSE(ReadADD_FILE(req(), 43, 1, 1));
  EXPECT_EQ(ReadContentsDATA(req(), 43, 1), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.file("43")));
}

TEST_F(MessageStoreTest, HighestNumberTakesTheLaterOfEqualNumbersAndLastRecordTheFilesEnd) {
  std::filesystem::create_directory(dir_.file("6"));
  dir_.write("6/index.dat", raw_index(6, 3, 3, 0, "a") + raw_index(6, 5, 5, 0, "first five") +
                                raw_index(6, 2, 2, 0, "b") + raw_index(6, 5, 5, 0, "second five") +
                                raw_index(6, 4, 4, 0, "last"));
  std::optional<INDEX_DATA> highest = ReadINDEX_DATA_MAX(req(), 6, IndexMax::kHighestNumber);
  ASSERT_TRUE(highest);
  EXPECT_EQ(highest->SEL_NO, 5);
  EXPECT_EQ(highest->WRITE_TITLE, "second five");
  std::optional<INDEX_DATA> last = ReadINDEX_DATA_MAX(req(), 6, IndexMax::kLastRecord);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->SEL_NO, 4);
  EXPECT_EQ(last->WRITE_TITLE, "last");

  dir_.write("6/index.dat", "");
  fresh();
  EXPECT_FALSE(ReadINDEX_DATA_MAX(req(), 6, IndexMax::kHighestNumber));
  EXPECT_FALSE(ReadINDEX_DATA_MAX(req(), 6, IndexMax::kLastRecord));
}

TEST_F(MessageStoreTest, ThreadRecordsAreCountedInFileOrder) {
  std::filesystem::create_directory(dir_.file("2"));
  dir_.write("2/index.dat", raw_index(2, 1, 1, 0) + raw_index(2, 2, 1, 1) + raw_index(2, 3, 3, 0) +
                                raw_index(2, 4, 1, 1) + raw_index(2, 5, 3, 1));
  auto nth = [&](std::size_t k, long thread) {
    std::optional<INDEX_DATA> r = ReadINDEX_DATA_G(req(), 2, k, thread);
    return r ? r->SEL_NO : -1;
  };
  EXPECT_EQ(nth(0, 1), 1);
  EXPECT_EQ(nth(1, 1), 2);
  EXPECT_EQ(nth(2, 1), 4);
  EXPECT_EQ(nth(3, 1), -1);
  EXPECT_EQ(nth(0, 3), 3);
  EXPECT_EQ(nth(1, 3), 5);
  EXPECT_EQ(nth(2, 3), -1);
  EXPECT_EQ(nth(0, 2), -1);
}

// --- Rewriting and removing index records ---

TEST_F(MessageStoreTest, RewritingOverwritesEveryRecordOfTheNumberInPlace) {
  std::filesystem::create_directory(dir_.file("3"));
  const std::string one = raw_index(3, 1, 1, 0, "one");
  const std::string three = raw_index(3, 3, 3, 0, "three");
  dir_.write("3/index.dat", one + raw_index(3, 2, 1, 1, "old") + three +
                                raw_index(3, 2, 3, 1, "old again") + "tail");
  INDEX_DATA edit;
  edit.FOLDER_NO = 3;
  edit.SEL_NO = 2;
  edit.THREAD_NO = 1;
  edit.RES_LEVEL = 1;
  edit.WRITE_TITLE = "new";
  ASSERT_TRUE(ReWriteINDEX_DATA(req(), edit));
  const std::string replaced = raw_index(3, 2, 1, 1, "new");
  EXPECT_EQ(dir_.read("3/index.dat"), one + replaced + three + replaced + "tail");

  edit.SEL_NO = 8;
  EXPECT_FALSE(ReWriteINDEX_DATA(req(), edit));
  EXPECT_EQ(dir_.read("3/index.dat"), one + replaced + three + replaced + "tail");
  edit.FOLDER_NO = 31;  // the board is the buffer's own FOLDER_NO
  edit.SEL_NO = 2;
  EXPECT_FALSE(ReWriteINDEX_DATA(req(), edit));
  EXPECT_FALSE(dir_.exists("31"));
}

TEST_F(MessageStoreTest, RemovingDropsEveryRecordOfTheNumberAndATrailingPartialRecord) {
  std::filesystem::create_directory(dir_.file("4"));
  const std::string one = raw_index(4, 1, 1, 0, "one");
  const std::string three = raw_index(4, 3, 3, 0, "three");
  dir_.write("4/index.dat",
             one + raw_index(4, 2, 1, 1) + three + raw_index(4, 2, 3, 1) + std::string(50, 'x'));
  EXPECT_TRUE(DeleteINDEX_DATA(req(), 4, 2));
  EXPECT_EQ(dir_.read("4/index.dat"), one + three);
  EXPECT_FALSE(dir_.exists("4/index.dat.tmp"));
  EXPECT_EQ(CountINDEX_DATA(req(), 4), 2u);

  EXPECT_FALSE(DeleteINDEX_DATA(req(), 4, 2));
  EXPECT_EQ(dir_.read("4/index.dat"), one + three);
  EXPECT_FALSE(DeleteINDEX_DATA(req(), 40, 1));
  EXPECT_FALSE(dir_.exists("40"));
}

TEST_F(MessageStoreTest, RemovalGoesThroughTheIndexWorkFile) {
  std::filesystem::create_directory(dir_.file("4"));
  const std::string before = raw_index(4, 1, 1, 0) + raw_index(4, 2, 2, 0);
  dir_.write("4/index.dat", before);
  block("4/index.dat.tmp");
  EXPECT_FALSE(DeleteINDEX_DATA(req(), 4, 2));
  EXPECT_EQ(dir_.read("4/index.dat"), before);
}

// --- Attachment records ---

TEST_F(MessageStoreTest, AttachmentRecordsAreReplacedByKeyOrAppended) {
  ASSERT_TRUE(post(4, 0));
  ASSERT_TRUE(WriteADD_FILE(req(), 4, ADD_FILE{1, 1, "a.txt"}));
  ASSERT_TRUE(WriteADD_FILE(req(), 4, ADD_FILE{1, 2, "b.txt"}));
  ASSERT_TRUE(WriteADD_FILE(req(), 4, ADD_FILE{2, 1, "c.txt"}));
  EXPECT_EQ(dir_.read("4/add_file.dat"), raw_attachment(1, 1, "a.txt") +
                                             raw_attachment(1, 2, "b.txt") +
                                             raw_attachment(2, 1, "c.txt"));
  ASSERT_TRUE(WriteADD_FILE(req(), 4, ADD_FILE{1, 2, "d.txt"}));
  EXPECT_EQ(dir_.read("4/add_file.dat"), raw_attachment(1, 1, "a.txt") +
                                             raw_attachment(1, 2, "d.txt") +
                                             raw_attachment(2, 1, "c.txt"));
  ASSERT_EQ(dir_.read("4/add_file.dat").size(), 3 * kAttachmentRecord);

  std::optional<ADD_FILE> slot = ReadADD_FILE(req(), 4, 1, 2);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->FILE_NAME, "d.txt");
  EXPECT_FALSE(ReadADD_FILE(req(), 4, 2, 2));
  std::vector<ADD_FILE> of_one = attachments_of(req(), 4, 1);
  ASSERT_EQ(of_one.size(), 2u);
  EXPECT_EQ(of_one[0].FILE_NAME, "a.txt");
  EXPECT_EQ(of_one[1].FILE_NAME, "d.txt");

  fresh();
  EXPECT_EQ(ReadADD_FILE(req(), 4, 2, 1)->FILE_NAME, "c.txt");
}

TEST_F(MessageStoreTest, AttachmentRecordsAreRemovedPerMessageOrPerSlot) {
  std::filesystem::create_directory(dir_.file("4"));
  dir_.write("4/add_file.dat", raw_attachment(1, 1, "a.txt") + raw_attachment(2, 1, "c.txt") +
                                   raw_attachment(1, 2, "b.txt") + raw_attachment(2, 2, "e.txt") +
                                   "partial");
  EXPECT_TRUE(DeleteADD_FILE(req(), 4, 1));
  EXPECT_EQ(dir_.read("4/add_file.dat"),
            raw_attachment(2, 1, "c.txt") + raw_attachment(2, 2, "e.txt"));
  EXPECT_FALSE(DeleteADD_FILE(req(), 4, 1));
  EXPECT_TRUE(attachments_of(req(), 4, 1).empty());

  EXPECT_FALSE(DeleteADD_FILE2(req(), 4, 2, 3));
  EXPECT_TRUE(DeleteADD_FILE2(req(), 4, 2, 1));
  EXPECT_EQ(dir_.read("4/add_file.dat"), raw_attachment(2, 2, "e.txt"));
  EXPECT_FALSE(ReadADD_FILE(req(), 4, 2, 1));
  EXPECT_EQ(ReadADD_FILE(req(), 4, 2, 2)->FILE_NAME, "e.txt");
  EXPECT_FALSE(dir_.exists("4/add_file.dat.tmp"));

  EXPECT_FALSE(DeleteADD_FILE(req(), 45, 1));
  EXPECT_FALSE(DeleteADD_FILE2(req(), 45, 1, 1));
  EXPECT_FALSE(dir_.exists("45"));

  const std::string before = dir_.read("4/add_file.dat");
  block("4/add_file.dat.tmp");
  EXPECT_FALSE(DeleteADD_FILE2(req(), 4, 2, 2));
  EXPECT_EQ(dir_.read("4/add_file.dat"), before);
}

// --- The data lock ---

TEST_F(MessageStoreTest, NothingIsWrittenUnderASharedLock) {
  ASSERT_TRUE(post(3, 0));
  ASSERT_TRUE(WriteContentsDATA(req(), 3, 1, "body"));
  ASSERT_TRUE(WriteADD_FILE(req(), 3, ADD_FILE{1, 1, "a.txt"}));
  const std::string index = dir_.read("3/index.dat");
  const std::string attachments = dir_.read("3/add_file.dat");

  fresh("Taro", LockMode::kShared);
  INDEX_DATA reply = *ReadINDEX_DATA(req(), 3, 1, IndexKey::kSelNo);
  INDEX_DATA top = reply;
  top.SEL_NO = 0;
  EXPECT_THROW((void)WriteINDEX_DATA(req(), top), LockViolation);
  reply.SEL_NO = 1;
  EXPECT_THROW((void)WriteINDEX_DATA(req(), reply), LockViolation);
  INDEX_DATA edit = *ReadINDEX_DATA(req(), 3, 1, IndexKey::kSelNo);
  edit.WRITE_TITLE = "changed";
  EXPECT_THROW((void)ReWriteINDEX_DATA(req(), edit), LockViolation);
  EXPECT_THROW((void)DeleteINDEX_DATA(req(), 3, 1), LockViolation);
  EXPECT_THROW((void)WriteContentsDATA(req(), 3, 1, "other"), LockViolation);
  EXPECT_THROW((void)WriteADD_FILE(req(), 3, ADD_FILE{1, 2, "b.txt"}), LockViolation);
  EXPECT_THROW((void)DeleteADD_FILE(req(), 3, 1), LockViolation);
  EXPECT_THROW((void)DeleteADD_FILE2(req(), 3, 1, 1), LockViolation);
  top.FOLDER_NO = 12;
  EXPECT_THROW((void)WriteINDEX_DATA(req(), top), LockViolation);

  EXPECT_EQ(dir_.read("3/index.dat"), index);
  EXPECT_EQ(dir_.read("3/add_file.dat"), attachments);
  EXPECT_EQ(dir_.read("3/x1.dat"), "body");
  EXPECT_FALSE(dir_.exists("3/r2.dat"));
  EXPECT_FALSE(dir_.exists("12"));
  // Reading is what a shared lock is for.
  EXPECT_EQ(CountINDEX_DATA(req(), 3), 1u);
  EXPECT_EQ(ReadContentsDATA(req(), 3, 1), "body");
}

TEST_F(MessageStoreTest, FileLengthIsTheSizeInBytesAndZeroForNoFile) {
  dir_.write("len.dat", std::string(321, 'x'));
  EXPECT_EQ(get_filelength(dir_.file("len.dat")), 321);
  EXPECT_EQ(get_filelength(dir_.file("missing.dat")), 0);
}

}  // namespace
}  // namespace plazet
