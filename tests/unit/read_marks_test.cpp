#include "boards/read_marks.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "boards/message_store.h"
#include "folders/folder_settings.h"
#include "store/data_lock.h"
#include "temp_dir.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

// A settings record that opens a folder from `level` up.
B_TITLE2 readable_by(long folder_no, std::int32_t level) {
  B_TITLE2 s;
  s.FOLDER_NO = static_cast<std::int32_t>(folder_no);
  s.READ_LEVEL = level;
  s.WRITE_LEVEL = level;
  s.READ_CHK = 1;
  s.REWRITE_FLG = 1;
  return s;
}

// Each test has its own data directory; requests are made one at a time, as
// the server runs them, each by one logged-in user of level 10.
class ReadMarksTest : public ::testing::Test {
 protected:
  Request& as(const std::string& user_id, long level = 10, LockMode mode = LockMode::kExclusive) {
    req_.reset();
    req_.emplace();
    req_->sys.DATA_FILE_PATH = dir_.prefix();
    req_->lock = DataLock::acquire(dir_.prefix(), mode);
    req_->user = user(user_id, level);
    return *req_;
  }
  Request& req() { return req_ ? *req_ : as("Taro"); }

  static MST_USER user(const std::string& id, long level = 10) {
    MST_USER u;
    u.USER_ID = id;
    u.USER_LEVEL = level;
    u.MODE = 1;
    return u;
  }

  // `count` new threads on `board`, posted by the current request's user.
  void post(long board, int count = 1) {
    for (int i = 0; i < count; ++i) {
      INDEX_DATA m;
      m.FOLDER_NO = static_cast<std::int32_t>(board);
      m.WRITE_DATE = "2024/05/01 09:30";
      m.WRITER = req().user->USER_ID;
      m.WRITE_TITLE = "t";
      m.READ_CHK = 1;
      ASSERT_TRUE(WriteINDEX_DATA(req(), m));
    }
  }

  // The current user's mark on message `sel_no`.
  void mark(long board, long sel_no) {
    READ_POINT r;
    r.SEL_NO = static_cast<std::int32_t>(sel_no);
    r.USER_ID = req().user->USER_ID;
    ASSERT_TRUE(WriteREAD_POINT(req(), board, r));
  }

  long unread(const std::string& user_id, long board) {
    as(user_id);
    return CountREAD_POINT(req(), board);
  }

  // Display numbers and folders of the tree the sums are tested on:
  //   1 Office (Dir 1)
  //   2   News (Board 2)              1 message
  //   3   Projects (Dir 3)
  //   4     Plans (Board 4)           2 messages
  //   5     Secret (Board 5)          4 messages, readable from level 50
  //   6     Quiet (Board 6)           8 messages, Hana has opted out
  //   7     Closed (Dir 7)            readable from level 50
  //   8       Deeper (Board 8)        16 messages
  //   9   Lobby (Chat 9)
  //  10 General (Board 10)            32 messages
  void lay_out_tree() {
    dir_.write("b_title.mst",
               "Office,1,Dir,\n"
               " News,2,Board,\n"
               " Projects,3,Dir,\n"
               "  Plans,4,Board,\n"
               "  Secret,5,Board,\n"
               "  Quiet,6,Board,\n"
               "  Closed,7,Dir,\n"
               "   Deeper,8,Board,\n"
               " Lobby,9,Chat,\n"
               "General,10,Board,\n");
    as("Taro");
    for (long n = 1; n <= 10; ++n) {
      ASSERT_TRUE(ReWriteB_TITLE2(req(), readable_by(n, n == 5 || n == 7 ? 50 : 0)));
    }
    post(2, 1);
    post(4, 2);
    post(5, 4);
    post(6, 8);
    post(8, 16);
    post(10, 32);
    as("Hana");
    ASSERT_EQ(WriteUNREAD(req(), 6, "Hana"), 0);
  }

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

std::string raw_mark(std::uint32_t sel_no, const std::string& id) {
  std::string field(24, '\0');
  field.replace(0, id.size(), id);
  return be32(sel_no) + field + be32(0);
}

// --- Read marks ---

TEST_F(ReadMarksTest, MarksAreThirtyTwoByteRecordsOnePerUser) {
  post(2);  // Taro's own mark
  as("Hana");
  mark(2, 1);
  EXPECT_EQ(dir_.read("2/r1.dat"), raw_mark(1, "Taro") + raw_mark(1, "Hana"));
  mark(2, 1);  // a second reading changes nothing
  EXPECT_EQ(dir_.read("2/r1.dat"), raw_mark(1, "Taro") + raw_mark(1, "Hana"));

  std::optional<READ_POINT> own = ReadREAD_POINT(req(), 2, 1);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->SEL_NO, 1);
  EXPECT_EQ(own->USER_ID, "Hana");
  EXPECT_EQ(ReadREAD_POINT2(req(), 2, 1, 0)->USER_ID, "Taro");
  EXPECT_EQ(ReadREAD_POINT2(req(), 2, 1, 1)->USER_ID, "Hana");
  EXPECT_FALSE(ReadREAD_POINT2(req(), 2, 1, 2));
  EXPECT_FALSE(ReadREAD_POINT(req(), 2, 2));

  as("hana");  // IDs are compared exactly
  EXPECT_FALSE(ReadREAD_POINT(req(), 2, 1));
  EXPECT_EQ(CountREAD_POINT(req(), 2), 1);
}

TEST_F(ReadMarksTest, AMarkThatCannotBeStoredIsReportedAsNotWritten) {
  READ_POINT r;
  r.SEL_NO = 1;
  r.USER_ID = "Taro";
  EXPECT_FALSE(WriteREAD_POINT(req(), 6, r));
  EXPECT_FALSE(dir_.exists("6"));

  // The board exists but its mark file cannot be opened.
  post(6);
  block("6/r2.dat");
  r.SEL_NO = 2;
  EXPECT_FALSE(WriteREAD_POINT(req(), 6, r));
}

TEST_F(ReadMarksTest, EmptyingMarksGoesThroughItsWorkFile) {
  post(2);
  as("Hana");
  mark(2, 1);
  DeleteREAD_POINT(req(), 2, 1);
  EXPECT_EQ(dir_.read("2/r1.dat"), "");
  EXPECT_FALSE(dir_.exists("2/R1.TMP"));

  as("Taro");
  mark(2, 1);
  block("2/R1.TMP");
  DeleteREAD_POINT(req(), 2, 1);
  EXPECT_EQ(dir_.read("2/r1.dat"), raw_mark(1, "Taro"));
}

// --- Unread counts ---

TEST_F(ReadMarksTest, ABoardWithoutMessagesHasNothingUnread) {
  EXPECT_EQ(unread("Hana", 3), 0);
  EXPECT_FALSE(dir_.exists("3"));
  std::filesystem::create_directory(dir_.file("3"));
  dir_.write("3/index.dat", "");
  EXPECT_EQ(unread("Hana", 3), 0);
}

TEST_F(ReadMarksTest, TheAuthorOfEveryMessageHasNothingUnread) {
  post(3, 4);
  EXPECT_EQ(unread("Taro", 3), 0);
  EXPECT_EQ(unread("Hana", 3), 4);
}

TEST_F(ReadMarksTest, AnEditMakesTheMessageUnreadForEverybodyButTheEditor) {
  post(3, 5);
  as("Hana");
  for (int m = 1; m <= 5; ++m) mark(3, m);
  EXPECT_EQ(CountREAD_POINT(req(), 3), 0);

  // Taro edits message 5.
  as("Taro");
  DeleteREAD_POINT(req(), 3, 5);
  mark(3, 5);
  EXPECT_EQ(dir_.read("3/r5.dat"), raw_mark(5, "Taro"));
  EXPECT_EQ(CountREAD_POINT(req(), 3), 0);
  EXPECT_EQ(unread("Hana", 3), 1);
  EXPECT_FALSE(ReadREAD_POINT(req(), 3, 5));
}

TEST_F(ReadMarksTest, CountingReadsMarksWithoutCreatingMarkFiles) {
  post(4, 3);
  std::filesystem::remove(dir_.file("4/r2.dat"));
  EXPECT_EQ(unread("Hana", 4), 3);
  EXPECT_EQ(unread("Taro", 4), 1);  // a missing mark file reads as empty
  EXPECT_FALSE(dir_.exists("4/r2.dat"));

  // A partial record at the end of a mark file is no mark.
  dir_.write("4/r3.dat", raw_mark(3, "Taro") + raw_mark(3, "Hana") + "Jiro");
  EXPECT_EQ(unread("Hana", 4), 2);
  EXPECT_EQ(unread("Jiro", 4), 3);
  // Two marks of one user, left by two requests at once, subtract both.
  dir_.write("4/r1.dat", raw_mark(1, "Hana") + raw_mark(1, "Hana"));
  EXPECT_EQ(unread("Hana", 4), 0);
}

TEST_F(ReadMarksTest, AMarkFileThatCannotBeOpenedGivesNoCount) {
  post(4, 3);
  std::filesystem::remove(dir_.file("4/r2.dat"));
  block("4/r2.dat");
  EXPECT_EQ(unread("Hana", 4), -1);
}

TEST_F(ReadMarksTest, EachIndexAndEachBoardsCountIsReadOncePerRequest) {
  post(4, 2);
  as("Hana");
  EXPECT_EQ(CountINDEX_DATA(req(), 4), 2u);
  EXPECT_EQ(CountREAD_POINT(req(), 4), 2);
  // Changes made behind the request's back are not read again ...
  std::string third = dir_.read("4/index.dat").substr(160, 160);
  third.replace(4, 4, be32(3));
  dir_.write("4/index.dat", dir_.read("4/index.dat") + third);
  dir_.write("4/r1.dat", raw_mark(1, "Hana"));
  EXPECT_EQ(CountINDEX_DATA(req(), 4), 2u);
  EXPECT_EQ(CountREAD_POINT(req(), 4), 2);
  // ... but the next request sees them.
  EXPECT_EQ(unread("Hana", 4), 2);  // three records, message 1 read
  EXPECT_EQ(CountINDEX_DATA(req(), 4), 3u);
}

TEST_F(ReadMarksTest, TheCountFollowsPostingsAndMarksMadeInTheSameRequest) {
  post(5, 2);
  as("Hana");
  EXPECT_EQ(CountREAD_POINT(req(), 5), 2);
  mark(5, 1);
  EXPECT_EQ(CountREAD_POINT(req(), 5), 1);

  // Hana's own postings are read; a posting made for someone else in the
  // same request (as the batch upload does) is not.
  post(5, 1);
  EXPECT_EQ(CountREAD_POINT(req(), 5), 1);
  req().user = user("Jiro");
  post(5, 1);
  INDEX_DATA reply;
  reply.FOLDER_NO = 5;
  reply.SEL_NO = 1;
  reply.WRITER = "Jiro";
  ASSERT_TRUE(WriteINDEX_DATA(req(), reply));
  req().user = user("Hana");
  EXPECT_EQ(CountREAD_POINT(req(), 5), 3);

  DeleteREAD_POINT(req(), 5, 3);
  EXPECT_EQ(CountREAD_POINT(req(), 5), 4);
  EXPECT_EQ(unread("Hana", 5), 4);
}

// --- The opt-out list ---

TEST_F(ReadMarksTest, AUserWhoOptedOutCountsNothingUntilHeOptsInAgain) {
  post(6, 3);
  as("Hana");
  EXPECT_EQ(CountREAD_POINT(req(), 6), 3);
  EXPECT_EQ(WriteUNREAD(req(), 6, "Hana"), 0);
  EXPECT_EQ(dir_.read("6/unread.dat"), "Hana\n");
  EXPECT_EQ(ChkUNREAD(req(), 6, "Hana"), 1);
  EXPECT_EQ(CountREAD_POINT(req(), 6), 0);
  EXPECT_EQ(unread("Hana", 6), 0);
  EXPECT_EQ(unread("Jiro", 6), 3);

  as("Hana");
  EXPECT_TRUE(DeleteUNREAD(req(), 6, "Hana"));
  EXPECT_EQ(dir_.read("6/unread.dat"), "");
  EXPECT_FALSE(ChkUNREAD(req(), 6, "Hana"));
  EXPECT_EQ(CountREAD_POINT(req(), 6), 3);
  EXPECT_EQ(unread("Hana", 6), 3);
}

TEST_F(ReadMarksTest, AddingAListedIdChangesNothingAndANewBoardGetsItsDirectory) {
  std::filesystem::create_directory(dir_.file("7"));
  dir_.write("7/unread.dat", "Jiro\nHana\n");
  EXPECT_EQ(WriteUNREAD(req(), 7, "Hana"), kAlreadyListed);
  EXPECT_EQ(dir_.read("7/unread.dat"), "Jiro\nHana\n");
  EXPECT_EQ(WriteUNREAD(req(), 7, "Taro"), 0);
  EXPECT_EQ(dir_.read("7/unread.dat"), "Jiro\nHana\nTaro\n");
  EXPECT_EQ(WriteUNREAD(req(), 7, "Taro"), kAlreadyListed);
  EXPECT_EQ(dir_.read("7/unread.dat"), "Jiro\nHana\nTaro\n");

  ASSERT_FALSE(dir_.exists("8"));
  EXPECT_EQ(WriteUNREAD(req(), 8, "Hana"), 0);
  struct stat st {};
  ASSERT_EQ(::stat(dir_.file("8").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(dir_.read("8/unread.dat"), "Hana\n");
  EXPECT_EQ(ChkUNREAD(req(), 8, "Hana"), 1);
}

TEST_F(ReadMarksTest, RemovingTheFirstOfThreeIdsLeavesTheOtherTwoOnTheirOwnLines) {
  std::filesystem::create_directory(dir_.file("7"));
  dir_.write("7/unread.dat", "Taro\nHana\nJiro\n");
  EXPECT_TRUE(DeleteUNREAD(req(), 7, "Taro"));
  EXPECT_EQ(dir_.read("7/unread.dat"), "Hana\nJiro\n");
  EXPECT_FALSE(dir_.exists("7/unread.dat.tmp"));
  EXPECT_FALSE(ChkUNREAD(req(), 7, "Taro"));
  EXPECT_EQ(ChkUNREAD(req(), 7, "Hana"), 1);
  EXPECT_EQ(ChkUNREAD(req(), 7, "Jiro"), 2);

  as("Hana");
  EXPECT_FALSE(ChkUNREAD(req(), 7, "Taro"));
  EXPECT_EQ(ChkUNREAD(req(), 7, "Hana"), 1);
  EXPECT_EQ(ChkUNREAD(req(), 7, "Jiro"), 2);
  EXPECT_FALSE(DeleteUNREAD(req(), 7, "Taro"));
  EXPECT_EQ(dir_.read("7/unread.dat"), "Hana\nJiro\n");
}

TEST_F(ReadMarksTest, OptOutsAreRemovedThroughTheListsWorkFile) {
  std::filesystem::create_directory(dir_.file("7"));
  dir_.write("7/unread.dat", "Taro\nHana\n");
  block("7/unread.dat.tmp");
  EXPECT_FALSE(DeleteUNREAD(req(), 7, "Taro"));  // nothing was removed
  EXPECT_EQ(dir_.read("7/unread.dat"), "Taro\nHana\n");
  EXPECT_EQ(ChkUNREAD(req(), 7, "Taro"), 1);
}

TEST_F(ReadMarksTest, LongLinesOfTheListAreReadInPieces) {
  std::filesystem::create_directory(dir_.file("7"));
  dir_.write("7/unread.dat", std::string(299, 'x') + "Hana\nJiro\n");
  EXPECT_EQ(ChkUNREAD(req(), 7, std::string(299, 'x')), 1);
  EXPECT_EQ(ChkUNREAD(req(), 7, "Hana"), 2);
  EXPECT_EQ(ChkUNREAD(req(), 7, "Jiro"), 3);
}

TEST_F(ReadMarksTest, AListWithoutItsFileOrWithCrLfLinesIsReadAsWell) {
  EXPECT_FALSE(ChkUNREAD(req(), 9, "Hana"));
  EXPECT_FALSE(DeleteUNREAD(req(), 9, "Hana"));
  EXPECT_FALSE(dir_.exists("9"));

  post(9, 2);
  dir_.write("9/unread.dat", "Jiro\r\nHana\r\n");
  as("Hana");
  EXPECT_EQ(ChkUNREAD(req(), 9, "Jiro"), 1);
  EXPECT_EQ(ChkUNREAD(req(), 9, "Hana"), 2);
  EXPECT_FALSE(ChkUNREAD(req(), 9, "hana"));
  EXPECT_FALSE(ChkUNREAD(req(), 9, "Hana\r"));
  EXPECT_EQ(CountREAD_POINT(req(), 9), 0);
  EXPECT_EQ(WriteUNREAD(req(), 9, "Hana"), kAlreadyListed);
  EXPECT_EQ(dir_.read("9/unread.dat"), "Jiro\r\nHana\r\n");
  EXPECT_EQ(unread("Taro", 9), 0);
  EXPECT_EQ(unread("Kyo", 9), 2);

  // Rewritten lines end in a single LF.
  EXPECT_TRUE(DeleteUNREAD(req(), 9, "Jiro"));
  EXPECT_EQ(dir_.read("9/unread.dat"), "Hana\n");
}

// --- Sums over a Dir ---

TEST_F(ReadMarksTest, ADirsSumCoversItsReadableBoardsAtAnyDepth) {
  lay_out_tree();
  // Hana may not read Secret, has opted out of Quiet, and may not read the
  // Dir Closed; each folder is judged by its own right, so Deeper counts.
  as("Hana");
  EXPECT_EQ(get_noread(req(), 1), 1 + 2 + 16);
  EXPECT_EQ(get_noread(req(), 3), 2 + 16);
  EXPECT_EQ(get_noread(req(), 7), 16);
  EXPECT_EQ(get_noread(req(), 10), 0);  // a board has no subtree
  EXPECT_EQ(get_noread(req(), 11), 0);
  EXPECT_EQ(get_noread(req(), 0), 0);

  as("Jiro");
  EXPECT_EQ(get_noread(req(), 1), 1 + 2 + 8 + 16);
  as("Boss", 50);
  EXPECT_EQ(get_noread(req(), 1), 1 + 2 + 4 + 8 + 16);
  as("Taro");
  EXPECT_EQ(get_noread(req(), 1), 0);
  EXPECT_EQ(get_noread(req(), 3), 0);
}

TEST_F(ReadMarksTest, SumsFollowNewPostingsInTheSameRequest) {
  lay_out_tree();
  as("Hana");
  EXPECT_EQ(CountREAD_POINT(req(), 4), 2);
  EXPECT_EQ(get_noread(req(), 3), 18);
  req().user = user("Taro");
  post(4, 1);
  post(8, 1);
  req().user = user("Hana");
  EXPECT_EQ(CountREAD_POINT(req(), 4), 3);
  EXPECT_EQ(get_noread(req(), 3), 20);
  EXPECT_EQ(get_noread(req(), 1), 21);
  mark(8, 17);
  EXPECT_EQ(get_noread(req(), 1), 20);
  EXPECT_EQ(WriteUNREAD(req(), 4, "Hana"), 0);
  EXPECT_EQ(get_noread(req(), 1), 17);
  EXPECT_TRUE(DeleteUNREAD(req(), 6, "Hana"));
  EXPECT_EQ(get_noread(req(), 1), 25);
}

// --- The data lock ---

TEST_F(ReadMarksTest, NothingIsWrittenUnderASharedLock) {
  post(2, 2);
  dir_.write("2/unread.dat", "Jiro\n");
  as("Hana", 10, LockMode::kShared);
  READ_POINT r;
  r.SEL_NO = 1;
  r.USER_ID = "Hana";
  EXPECT_THROW((void)WriteREAD_POINT(req(), 2, r), LockViolation);
  EXPECT_THROW(DeleteREAD_POINT(req(), 2, 1), LockViolation);
  EXPECT_THROW((void)WriteUNREAD(req(), 2, "Hana"), LockViolation);
  EXPECT_THROW((void)WriteUNREAD(req(), 3, "Hana"), LockViolation);
  EXPECT_THROW((void)DeleteUNREAD(req(), 2, "Jiro"), LockViolation);
  EXPECT_EQ(dir_.read("2/r1.dat"), raw_mark(1, "Taro"));
  EXPECT_EQ(dir_.read("2/unread.dat"), "Jiro\n");
  EXPECT_FALSE(dir_.exists("3"));
  // Counting only reads.
  EXPECT_EQ(CountREAD_POINT(req(), 2), 2);
}

}  // namespace
}  // namespace plazet
