// index.dat and the message bodies, read marks, attachments and uploads, and
// the posting and deleting services built on them.
#include <gtest/gtest.h>

#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "data_dir_test.h"

namespace plazet {
namespace {

// The records of a section of index.cases as one file.
std::string index_file(const std::string& section) {
  std::string out;
  for (const testing::Case& c : testing::load_cases("index.cases")) {
    if (c.section == section) out += c.fields.at(0);
  }
  return out;
}
std::string raw_mark(long sel_no, const std::string& id) {
  return testing::unescape("\\[" + std::to_string(sel_no) + "]\\{24:" + id + "}\\[0]");
}

class BoardsTest : public testing::DataDirTest {
 protected:
  // A new thread (parent 0) or a reply, by `writer`.
  std::optional<INDEX_DATA> post(long board, long parent, const std::string& writer = "Taro") {
    INDEX_DATA m;
    m.FOLDER_NO = static_cast<std::int32_t>(board);
    m.SEL_NO = static_cast<std::int32_t>(parent);
    m.WRITE_DATE = "2024/05/01 09:30";
    m.WRITER = writer;
    m.WRITE_TITLE = "t";
    return WriteINDEX_DATA(store(), w(), m);
  }
  // "SEL_NO/THREAD_NO/RES_LEVEL" of each record, in file order, as a new request reads them.
  std::string layout(long board) {
    std::string out;
    Store& s = fresh();
    for (long p = 1; auto r = ReadINDEX_DATA(s, board, p, IndexKey::kPosition); ++p) {
      out += std::to_string(r->SEL_NO) + "/" + std::to_string(r->THREAD_NO) + "/" +
             std::to_string(r->RES_LEVEL) + " ";
    }
    return out;
  }
};

TEST_F(BoardsTest, FirstMessageCreatesThePrivateBoardAndTheAuthorsMark) {
  INDEX_DATA m;
  m.FOLDER_NO = 3;
  m.HTML_MODE = 2;
  m.THREAD_NO = 99;  // set by the store
  m.RES_LEVEL = 5;
  m.WRITE_PRIORITY = -2;
  m.WRITE_DATE = "2024/05/01 09:30";
  m.WRITER = std::string(21, 'W');
  m.WRITE_TITLE = std::string(100, 'T');
  m.ADD_COUNT = 2;
  m.DEL_FLG = 1;  // a new message is never deleted
  m.READ_CHK = 0x7F000001;
  std::optional<INDEX_DATA> stored = WriteINDEX_DATA(store(), w(), m);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->SEL_NO, 1);
  EXPECT_EQ(dir_.read("3/index.dat"), index_file("first message"));
  EXPECT_EQ(dir_.read("3/r1.dat"), raw_mark(1, std::string(21, 'W')));
  EXPECT_EQ(dir_.mode("3"), 0700u);
  ASSERT_TRUE(post(3, 1));
  EXPECT_EQ(dir_.mode("3/index.dat"), 0600u);  // also after the index is replaced
  EXPECT_EQ(dir_.mode("3/r2.dat"), 0600u);
}

TEST_F(BoardsTest, RepliesGoAfterTheirParentsSubtreeInPostingOrder) {
  for (long parent : {0, 1, 2, 1, 2, 0, 4, 6}) ASSERT_TRUE(post(4, parent));
  EXPECT_EQ(layout(4), "1/1/0 2/1/1 3/1/2 5/1/2 4/1/1 7/1/2 6/6/0 8/6/1 ");
  for (int m = 1; m <= 8; ++m)
    EXPECT_EQ(dir_.read("4/r" + std::to_string(m) + ".dat"), raw_mark(m, "Taro")) << m;
  // A reply whose parent is gone starts a top entry of its parent's thread.
  ASSERT_TRUE(DeleteINDEX_DATA(store(), w(), 4, 8));
  std::optional<INDEX_DATA> orphan = post(4, 8);
  ASSERT_TRUE(orphan);
  EXPECT_EQ(orphan->SEL_NO, 8);     // the highest number came back
  EXPECT_EQ(orphan->THREAD_NO, 8);  // the parent's number
  EXPECT_EQ(orphan->RES_LEVEL, 0);
}

// A board's index as it may lie after damage or hand editing, and what the
// readers make of it.
TEST_F(BoardsTest, DamagedIndexesAreReadRecordByRecord) {
  dir_.write("6/index.dat", index_file("damaged"));
  Store& s = store();
  EXPECT_EQ(CountINDEX_DATA(s, 6), 7u);
  EXPECT_EQ(ReadINDEX_DATA(s, 6, 5, IndexKey::kSelNo)->WRITE_TITLE, "first five");
  EXPECT_EQ(ReadINDEX_DATA(s, 6, -1, IndexKey::kSelNo)->WRITE_TITLE, "minus");
  EXPECT_EQ(ReadINDEX_DATA(s, 6, 7, IndexKey::kPosition)->WRITE_TITLE, "last");
  EXPECT_FALSE(ReadINDEX_DATA(s, 6, 8, IndexKey::kPosition));
  EXPECT_FALSE(ReadINDEX_DATA(s, 6, 0, IndexKey::kPosition));
  EXPECT_EQ(ReadINDEX_DATA_MAX(s, 6, IndexMax::kHighestNumber)->WRITE_TITLE, "max");
  EXPECT_EQ(ReadINDEX_DATA_MAX(s, 6, IndexMax::kLastRecord)->WRITE_TITLE, "last");
  EXPECT_EQ(ReadINDEX_DATA_G(s, 6, 1, 4)->WRITE_TITLE, "last");
  EXPECT_EQ(ReadINDEX_DATA_G(s, 6, 1, 2)->WRITE_TITLE, "minus");
  EXPECT_FALSE(ReadINDEX_DATA_G(s, 6, 2, 2));
  // Equal highest numbers: the later record.
  dir_.write("7/index.dat", index_file("equal highest"));
  EXPECT_EQ(ReadINDEX_DATA_MAX(fresh(), 7, IndexMax::kHighestNumber)->WRITE_TITLE, "second five");
  // Numbers follow the highest present, not the count.
  EXPECT_EQ(post(7, 0)->SEL_NO, 6);
  // Rewriting and removing go by every record of the number; a partial tail is dropped.
  INDEX_DATA edit = *ReadINDEX_DATA(store(), 7, 5, IndexKey::kSelNo);
  edit.WRITE_TITLE = "new";
  ASSERT_TRUE(ReWriteINDEX_DATA(store(), w(), edit));
  EXPECT_EQ(ReadINDEX_DATA(store(), 7, 3, IndexKey::kPosition)->WRITE_TITLE, "new");
  ASSERT_TRUE(DeleteINDEX_DATA(store(), w(), 6, 5));
  EXPECT_EQ(dir_.read("6/index.dat").size(), 5 * 160u);
  EXPECT_FALSE(DeleteINDEX_DATA(store(), w(), 6, 5));
  edit.SEL_NO = 8;
  EXPECT_FALSE(ReWriteINDEX_DATA(store(), w(), edit));
}

// --- Read marks ---

TEST_F(BoardsTest, UnreadCountsFollowPostingsMarksAndEdits) {
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(post(3, 0));
  EXPECT_EQ(CountREAD_POINT(store(), 3, "Taro"), 0);  // the author read his own
  EXPECT_EQ(CountREAD_POINT(store(), 3, "Hana"), 4);
  ASSERT_TRUE(WriteREAD_POINT(store(), w(), 3, READ_POINT{1, "Hana"}));
  ASSERT_TRUE(WriteREAD_POINT(store(), w(), 3, READ_POINT{1, "Hana"}));  // once only
  EXPECT_EQ(dir_.read("3/r1.dat"), raw_mark(1, "Taro") + raw_mark(1, "Hana"));
  EXPECT_EQ(ReadREAD_POINT(store(), 3, 1, "Hana")->USER_ID, "Hana");
  EXPECT_FALSE(ReadREAD_POINT(store(), 3, 1, "hana"));
  EXPECT_EQ(CountREAD_POINT(store(), 3, "Hana"), 3);
  ASSERT_TRUE(post(3, 0, "Jiro"));  // written in this request: counted at once
  EXPECT_EQ(CountREAD_POINT(store(), 3, "Hana"), 4);
  ASSERT_TRUE(DeleteREAD_POINT(store(), w(), 3, 1));  // an edit: news to everybody
  EXPECT_EQ(dir_.read("3/r1.dat"), "");
  EXPECT_EQ(CountREAD_POINT(store(), 3, "Taro"), 2);
}

// --- Posting, deleting, marking all read ---

// (A posting whose body cannot be stored stores nothing: IndexTailTest, in
// notices_test.cpp.)
TEST_F(BoardsTest, APostingStoresItsBodyAndLogsTheWrite) {
  Posting p;
  p.record.FOLDER_NO = 4;
  p.record.WRITER = "Taro";
  p.body = "one\r";
  long number = 0;
  ASSERT_EQ(post_message(store(), w(), p, {dir_.prefix() + "att/", dir_.prefix()}, true, &number),
            PostResult::kStored);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(dir_.read("4/x1.dat"), "one\r");
  EXPECT_NE(dir_.read("system.log").find(",Taro,write,4,"), std::string::npos);
}

TEST_F(BoardsTest, DeletingRemovesALeafAndMarksAnAnsweredMessage) {
  for (long parent : {0, 1, 0}) ASSERT_TRUE(post(6, parent));  // 1, its reply 2, then 3
  dir_.write("att/6/x2/1/a.txt", "attached");
  ASSERT_TRUE(WriteADD_FILE(store(), w(), 6, ADD_FILE{2, 1, "a.txt"}));
  const std::string att = dir_.prefix() + "att/";
  EXPECT_EQ(delete_message(store(), w(), att, 6, 1), DeleteResult::kMarkedDeleted);
  EXPECT_EQ(ReadINDEX_DATA(store(), 6, 1, IndexKey::kSelNo)->DEL_FLG, 1);
  EXPECT_EQ(delete_message(store(), w(), att, 6, 2), DeleteResult::kRemoved);
  EXPECT_FALSE(dir_.exists("att/6/x2"));
  EXPECT_TRUE(attachments_of(store(), 6, 2).empty());
  EXPECT_EQ(dir_.read("6/r2.dat"), "");
  EXPECT_EQ(delete_message(store(), w(), att, 6, 2), DeleteResult::kNotFound);
  // Only the next record of the thread tells: 3 follows 1 but is no reply.
  EXPECT_EQ(delete_message(store(), w(), att, 6, 1), DeleteResult::kRemoved);
  EXPECT_EQ(layout(6), "3/3/0 ");
}

}  // namespace
}  // namespace plazet
