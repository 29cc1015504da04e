#include "folders/folder_tree.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "folders/folder_admin.h"
#include "data_dir_test.h"
#include "folders/folder_settings.h"
#include "store/data_lock.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

constexpr const char* kTree = "b_title.mst";
constexpr const char* kSettings = "b_title2.mst";

// Each test has its own data directory; requests are made one at a time, as
// the server runs them, so a new one never waits for the old one's lock.
class FolderTreeTest : public testing::DataDirTest {
 protected:
  void set_tree(const std::string& text) const { dir_.write(kTree, text); }
  std::string tree() const { return dir_.read(kTree); }
};

B_TITLE folder(long number, int mode, const std::string& name, int depth) {
  B_TITLE t;
  t.FOLDER_NO = number;
  t.MODE = mode;
  t.NAME = name;
  t.DEPTH = depth;
  return t;
}

// "depth:name,number,mode", or "none".
std::string show(const std::optional<B_TITLE>& t) {
  if (!t) return "none";
  return std::to_string(t->DEPTH) + ":" + t->NAME + "," + std::to_string(t->FOLDER_NO) + "," +
         std::to_string(t->MODE);
}

std::string by_number(Request& req, long number) {
  return show(ReadB_TITLE(req, number, TitleKey::kFolderNo));
}

std::string by_display(Request& req, long dispno) {
  return show(ReadB_TITLE(req, dispno, TitleKey::kDisplayNo));
}

void put_be32(std::string& record, std::size_t offset, std::uint32_t v) {
  record[offset] = static_cast<char>(v >> 24);
  record[offset + 1] = static_cast<char>(v >> 16);
  record[offset + 2] = static_cast<char>(v >> 8);
  record[offset + 3] = static_cast<char>(v);
}

// The settings record a new folder receives.
std::string new_folder_record(std::uint32_t number) {
  std::string r(8800, '\0');
  put_be32(r, 0, number);
  put_be32(r, 16, 1);  // READ_CHK
  put_be32(r, 20, 1);  // REWRITE_FLG
  return r;
}

// Office (Dir) holding News, then the top-level chat room Lobby.
constexpr const char* kOffice = "Office,1,Dir,\n News,2,Board,\nLobby,3,Chat,\n";

// A (Dir) holding A1, then B (Dir).
constexpr const char* kABTree = "A,1,Dir,\n A1,2,Board,\nB,3,Dir,\n";

// --- Reading lines ---

TEST_F(FolderTreeTest, ReadsALineByFolderNumberAndByDisplayNumber) {
  set_tree(kOffice);
  EXPECT_EQ(by_number(req(), 1), "0:Office,1,1");
  EXPECT_EQ(by_number(req(), 2), "1:News,2,2");
  EXPECT_EQ(by_number(req(), 3), "0:Lobby,3,3");
  EXPECT_EQ(by_number(req(), 4), "none");
  EXPECT_EQ(by_display(req(), 1), "0:Office,1,1");
  EXPECT_EQ(by_display(req(), 2), "1:News,2,2");
  EXPECT_EQ(by_display(req(), 3), "0:Lobby,3,3");
}

TEST_F(FolderTreeTest, DisplayNumberZeroNegativeOrPastTheLastLineFindsNothing) {
  set_tree(kOffice);
  EXPECT_EQ(by_display(req(), 0), "none");
  EXPECT_EQ(by_display(req(), -1), "none");
  EXPECT_EQ(by_display(req(), 4), "none");
}

TEST_F(FolderTreeTest, MissingTreeFileReadsAsNoFoldersAndIsNotCreated) {
  EXPECT_EQ(by_number(req(), 1), "none");
  EXPECT_EQ(by_display(req(), 1), "none");
  EXPECT_TRUE(folder_tree(req()).empty());
  EXPECT_FALSE(dir_.exists(kTree));
}

TEST_F(FolderTreeTest, LeadingBlanksOfANameReadBackAsDepth) {
  // A name given with blanks of its own cannot keep them.
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(5, B_TITLE::kBoard, "  Foo", 0)));
  EXPECT_EQ(tree(), "  Foo,5,Board,\n");
  EXPECT_EQ(by_number(req(), 5), "2:Foo,5,2");
}

TEST_F(FolderTreeTest, KindIsDecidedByTheFirstLetterInEitherCase) {
  set_tree(
      "  Foo,7,board,\n"
      "a,1,dir,\n"
      "b,2,CHAT,\n"
      "c,3,Dx,\n"
      "d,4,Zed,\n"
      "e,5, Board,\n"
      "f,6,,\n");
  EXPECT_EQ(by_number(req(), 7), "2:Foo,7,2");
  EXPECT_EQ(by_number(req(), 1), "0:a,1,1");
  EXPECT_EQ(by_number(req(), 2), "0:b,2,3");
  EXPECT_EQ(by_number(req(), 3), "0:c,3,1");
  EXPECT_EQ(by_number(req(), 4), "0:d,4,0");
  EXPECT_EQ(by_number(req(), 5), "0:e,5,0");
  EXPECT_EQ(by_number(req(), 6), "0:f,6,0");
}

TEST_F(FolderTreeTest, LinesWithoutThreeCommasAreSkippedAndNotNumbered) {
  set_tree(
      "Heading\n"
      "A,1,Dir,\n"
      "B,2\n"
      "\n"
      "C,3,Chat\n"
      "D,4,Board,\n");
  EXPECT_EQ(by_display(req(), 1), "0:A,1,1");
  EXPECT_EQ(by_display(req(), 2), "0:D,4,2");
  EXPECT_EQ(by_display(req(), 3), "none");
  EXPECT_EQ(by_number(req(), 2), "none");
  EXPECT_EQ(by_number(req(), 3), "none");
  EXPECT_EQ(folder_tree(req()).size(), 2u);
}

TEST_F(FolderTreeTest, EmptyColumnsLeaveTheirFieldsZeroOrEmpty) {
  set_tree(",,,\n   ,x,,\n");
  EXPECT_EQ(by_display(req(), 1), "0:,0,0");
  EXPECT_EQ(by_display(req(), 2), "3:,0,0");
}

TEST_F(FolderTreeTest, FirstLineWithTheNumberWins) {
  set_tree("First,5,Dir,\nSecond,5,Board,\n");
  EXPECT_EQ(by_number(req(), 5), "0:First,5,1");
  EXPECT_EQ(by_display(req(), 2), "0:Second,5,2");
}

TEST_F(FolderTreeTest, LastLineWithoutLineFeedIsRead) {
  set_tree("A,1,Dir,\n B,2,Chat,");
  EXPECT_EQ(by_display(req(), 2), "1:B,2,3");
}

TEST_F(FolderTreeTest, NameLongerThanItsFieldIsCutTo83Bytes) {
  set_tree(std::string(100, 'n') + ",9,Board,\n");
  std::optional<B_TITLE> t = ReadB_TITLE(req(), 9, TitleKey::kFolderNo);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->NAME, std::string(83, 'n'));
  EXPECT_EQ(t->MODE, B_TITLE::kBoard);
}

TEST_F(FolderTreeTest, TwoByteNamesAreReadWhole) {
  // "Kaigi" and "Hyouji": the second ends in a trail byte 0x5C.
  set_tree(
      "\x89\xEF\x8B\x63,4,Board,\n"
      " \x95\x5C\x8E\xA6,5,Dir,\n");
  EXPECT_EQ(by_number(req(), 4), "0:\x89\xEF\x8B\x63,4,2");
  EXPECT_EQ(by_number(req(), 5), "1:\x95\x5C\x8E\xA6,5,1");
}

TEST_F(FolderTreeTest, CommaAfterALeadByteBelongsToThatCharacter) {
  // 0x81 starts a two-byte character and takes the comma with it, so the
  // first column ends at the next comma.
  set_tree("X\x81,9,7,Board,\n");
  EXPECT_EQ(by_display(req(), 1), "0:X\x81,9,7,2");
  EXPECT_EQ(by_number(req(), 9), "none");
}

TEST_F(FolderTreeTest, DisplayNumberOfAFolder) {
  set_tree("Note\n" + std::string(kOffice));
  EXPECT_EQ(display_number(req(), 1), 1);
  EXPECT_EQ(display_number(req(), 3), 3);
  EXPECT_EQ(display_number(req(), 4), std::nullopt);
}

// --- Parent lookup ---

TEST_F(FolderTreeTest, UpperFolderIsTheNearestShallowerLineAbove) {
  set_tree(
      "A,1,Dir,\n"
      " A1,2,Dir,\n"
      "  A11,3,Board,\n"
      " A2,4,Board,\n"
      "B,5,Chat,\n");
  EXPECT_EQ(get_upper_folder(req(), 1), std::nullopt);
  EXPECT_EQ(get_upper_folder(req(), 2), 1);
  EXPECT_EQ(get_upper_folder(req(), 3), 2);
  EXPECT_EQ(get_upper_folder(req(), 4), 1);
  EXPECT_EQ(get_upper_folder(req(), 5), std::nullopt);
  EXPECT_EQ(get_upper_folder(req(), 6), std::nullopt);
  EXPECT_EQ(get_upper_folder(req(), 0), std::nullopt);
}

TEST_F(FolderTreeTest, UpperFolderSkipsLinesThatAreNoFolders) {
  set_tree("A,1,Dir,\nremark\n B,2,Board,\n");
  EXPECT_EQ(get_upper_folder(req(), 2), 1);
}

TEST_F(FolderTreeTest, UpperFolderOfAnIndentedFirstLineIsTheLineItself) {
  set_tree(" Orphan,1,Board,\nA,2,Dir,\n");
  EXPECT_EQ(get_upper_folder(req(), 1), 1);
}

// --- Inserting a line ---

TEST_F(FolderTreeTest, InsertIntoAMissingFileWritesTheSingleLine) {
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(1, B_TITLE::kBoard, "News", 0)));
  EXPECT_EQ(tree(), "News,1,Board,\n");
}

TEST_F(FolderTreeTest, InsertIntoAnEmptyFileWritesTheSingleLine) {
  set_tree("");
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(4, B_TITLE::kDir, "Office", 0)));
  EXPECT_EQ(tree(), "Office,4,Dir,\n");
}

TEST_F(FolderTreeTest, InsertPutsTheLineDirectlyAfterLineP) {
  set_tree(kABTree);
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(4, B_TITLE::kChat, "C", 1)));
  EXPECT_EQ(tree(), "A,1,Dir,\n C,4,Chat,\n A1,2,Board,\nB,3,Dir,\n");
  ASSERT_TRUE(InsertB_TITLE(req(), 4, folder(5, B_TITLE::kDir, "D", 3)));
  EXPECT_EQ(tree(), "A,1,Dir,\n C,4,Chat,\n A1,2,Board,\nB,3,Dir,\n   D,5,Dir,\n");
}

TEST_F(FolderTreeTest, InsertPastTheLastLineAppends) {
  set_tree(kABTree);
  ASSERT_TRUE(InsertB_TITLE(req(), 10, folder(4, B_TITLE::kBoard, "E", 0)));
  EXPECT_EQ(tree(), std::string(kABTree) + "E,4,Board,\n");
}

TEST_F(FolderTreeTest, InsertCountsEveryPhysicalLine) {
  set_tree("remark\nA,1,Dir,\n");
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(2, B_TITLE::kBoard, "B", 0)));
  EXPECT_EQ(tree(), "remark\nB,2,Board,\nA,1,Dir,\n");
}

TEST_F(FolderTreeTest, InsertEndsAnOpenLastLineBeforeAppending) {
  set_tree("A,1,Dir,");
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(2, B_TITLE::kBoard, "B", 1)));
  EXPECT_EQ(tree(), "A,1,Dir,\n B,2,Board,\n");

  set_tree("A,1,Dir,\nX,9,Chat,");
  fresh();
  ASSERT_TRUE(InsertB_TITLE(req(), 7, folder(3, B_TITLE::kChat, "C", 0)));
  EXPECT_EQ(tree(), "A,1,Dir,\nX,9,Chat,\nC,3,Chat,\n");
}

TEST_F(FolderTreeTest, InsertWritesTwoByteNamesAndCutsLongNames) {
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(1, B_TITLE::kBoard, "\x89\xEF\x8B\x63", 0)));
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(2, B_TITLE::kDir, std::string(100, 'n'), 1)));
  EXPECT_EQ(tree(), "\x89\xEF\x8B\x63,1,Board,\n " + std::string(83, 'n') + ",2,Dir,\n");
}

TEST_F(FolderTreeTest, InsertRejectsLineZeroAndLeavesTheFile) {
  set_tree(kABTree);
  EXPECT_FALSE(InsertB_TITLE(req(), 0, folder(4, B_TITLE::kBoard, "E", 0)));
  EXPECT_EQ(tree(), kABTree);
}

TEST_F(FolderTreeTest, InsertKeepsLinesLongerThanTheReadLimitWhole) {
  // A line past the 999-byte read limit is copied in pieces; the copy must
  // not end the first piece with a line feed of its own.
  const std::string long_line = std::string(1100, 'x') + ",1,Dir,\n";
  set_tree(long_line + "B,2,Board,\n");
  ASSERT_TRUE(InsertB_TITLE(req(), 100, folder(3, B_TITLE::kChat, "C", 0)));
  EXPECT_EQ(tree(), long_line + "B,2,Board,\nC,3,Chat,\n");
}

TEST_F(FolderTreeTest, InsertGoesThroughTheUpperCaseWorkFile) {
  set_tree(kABTree);
  block("b_title.mst.TMP");
  EXPECT_FALSE(InsertB_TITLE(req(), 1, folder(4, B_TITLE::kBoard, "E", 0)));
  EXPECT_EQ(tree(), kABTree);
  EXPECT_EQ(by_display(req(), 2), "1:A1,2,2");

  std::filesystem::remove(dir_.file("b_title.mst.TMP"));
  block("b_title.mst.tmp");
  dir_.write("b_title.mst.TMP", "left over\n");
  EXPECT_TRUE(InsertB_TITLE(req(), 1, folder(4, B_TITLE::kBoard, "E", 0)));
  EXPECT_EQ(tree(), "A,1,Dir,\nE,4,Board,\n A1,2,Board,\nB,3,Dir,\n");
  EXPECT_FALSE(dir_.exists("b_title.mst.TMP"));
}

// --- Deleting a line ---

TEST_F(FolderTreeTest, DeleteRemovesPhysicalLineP) {
  set_tree("remark\n" + std::string(kABTree));
  ASSERT_TRUE(DeleteB_TITLE(req(), 2));
  EXPECT_EQ(tree(), "remark\n A1,2,Board,\nB,3,Dir,\n");
  ASSERT_TRUE(DeleteB_TITLE(req(), 3));
  EXPECT_EQ(tree(), "remark\n A1,2,Board,\n");
  EXPECT_FALSE(dir_.exists("b_title.mst.tmp"));
}

TEST_F(FolderTreeTest, DeleteOfAnAbsentLineChangesNothing) {
  set_tree(kABTree);
  EXPECT_FALSE(DeleteB_TITLE(req(), 4));
  EXPECT_FALSE(DeleteB_TITLE(req(), 0));
  EXPECT_EQ(tree(), kABTree);
}

TEST_F(FolderTreeTest, DeleteOfTheLastLineWithoutLineFeed) {
  set_tree("A,1,Dir,\nB,2,Board,");
  ASSERT_TRUE(DeleteB_TITLE(req(), 2));
  EXPECT_EQ(tree(), "A,1,Dir,\n");
}

TEST_F(FolderTreeTest, DeleteOnAMissingFileCreatesItEmpty) {
  EXPECT_FALSE(DeleteB_TITLE(req(), 1));
  EXPECT_TRUE(dir_.exists(kTree));
  EXPECT_EQ(tree(), "");
}

TEST_F(FolderTreeTest, DeleteGoesThroughTheLowerCaseWorkFile) {
  set_tree(kABTree);
  block("b_title.mst.tmp");
  EXPECT_FALSE(DeleteB_TITLE(req(), 1));
  EXPECT_EQ(tree(), kABTree);

  std::filesystem::remove(dir_.file("b_title.mst.tmp"));
  block("b_title.mst.TMP");
  EXPECT_TRUE(DeleteB_TITLE(req(), 1));
  EXPECT_EQ(tree(), " A1,2,Board,\nB,3,Dir,\n");
}

// --- Replacing a line ---

TEST_F(FolderTreeTest, ReWriteReplacesTheLineOfTheNumberWithTheWholeRecord) {
  set_tree(kOffice);
  ASSERT_TRUE(ReWriteB_TITLE(req(), folder(2, B_TITLE::kChat, "Talk", 2)));
  EXPECT_EQ(tree(), "Office,1,Dir,\n  Talk,2,Chat,\nLobby,3,Chat,\n");
  EXPECT_FALSE(dir_.exists("b_title.mst.tmp"));
}

TEST_F(FolderTreeTest, ReWriteReplacesEveryLineOfTheNumber) {
  set_tree("A,5,Dir,\nB,6,Board,\nC,5,Chat,\n");
  ASSERT_TRUE(ReWriteB_TITLE(req(), folder(5, B_TITLE::kBoard, "E", 0)));
  EXPECT_EQ(tree(), "E,5,Board,\nB,6,Board,\nE,5,Board,\n");
}

TEST_F(FolderTreeTest, ReWriteDropsLinesWithFewerThanThreeCommas) {
  set_tree("remark\nA,1,Dir,\nB,2,\n\nC,3,Chat,\nD,4");
  ASSERT_TRUE(ReWriteB_TITLE(req(), folder(3, B_TITLE::kBoard, "C2", 1)));
  EXPECT_EQ(tree(), "A,1,Dir,\n C2,3,Board,\n");
}

TEST_F(FolderTreeTest, ReWriteOfAnAbsentNumberFailsAndAppendsNothing) {
  set_tree(kOffice);
  EXPECT_FALSE(ReWriteB_TITLE(req(), folder(9, B_TITLE::kBoard, "X", 0)));
  EXPECT_EQ(tree(), kOffice);
}

TEST_F(FolderTreeTest, ReWriteOnAMissingFileFailsAndLeavesItEmpty) {
  EXPECT_FALSE(ReWriteB_TITLE(req(), folder(1, B_TITLE::kBoard, "X", 0)));
  EXPECT_EQ(tree(), "");
  EXPECT_TRUE(dir_.exists(kTree));
}

TEST_F(FolderTreeTest, ReWriteGoesThroughTheLowerCaseWorkFile) {
  set_tree(kOffice);
  block("b_title.mst.tmp");
  EXPECT_FALSE(ReWriteB_TITLE(req(), folder(2, B_TITLE::kChat, "Talk", 1)));
  EXPECT_EQ(tree(), kOffice);
}

// --- One read per request ---

TEST_F(FolderTreeTest, ReadAfterAWriteInTheSameRequestSeesTheChange) {
  set_tree(kOffice);
  EXPECT_EQ(by_display(req(), 2), "1:News,2,2");
  ASSERT_TRUE(InsertB_TITLE(req(), 1, folder(4, B_TITLE::kBoard, "Memo", 1)));
  EXPECT_EQ(by_display(req(), 2), "1:Memo,4,2");
  ASSERT_TRUE(ReWriteB_TITLE(req(), folder(4, B_TITLE::kChat, "Memo2", 1)));
  EXPECT_EQ(by_number(req(), 4), "1:Memo2,4,3");
  ASSERT_TRUE(DeleteB_TITLE(req(), 2));
  EXPECT_EQ(by_number(req(), 4), "none");
  EXPECT_EQ(folder_tree(req()).size(), 3u);
}

TEST_F(FolderTreeTest, TreeFileIsReadOncePerRequest) {
  set_tree(kOffice);
  EXPECT_EQ(by_display(req(), 1), "0:Office,1,1");
  set_tree("Other,8,Chat,\n");
  EXPECT_EQ(by_display(req(), 1), "0:Office,1,1");
  EXPECT_EQ(by_number(req(), 8), "none");
  fresh();
  EXPECT_EQ(by_display(req(), 1), "0:Other,8,3");
}

// --- Writing needs the exclusive lock ---

TEST_F(FolderTreeTest, WritersRefuseASharedLock) {
  set_tree(kOffice);
  fresh(LockMode::kShared);
  EXPECT_THROW((void)InsertB_TITLE(req(), 1, folder(4, B_TITLE::kBoard, "X", 0)), LockViolation);
  EXPECT_THROW((void)DeleteB_TITLE(req(), 1), LockViolation);
  EXPECT_THROW((void)ReWriteB_TITLE(req(), folder(1, B_TITLE::kDir, "Y", 0)), LockViolation);
  EXPECT_THROW((void)ReWriteB_TITLE(req(), folder(9, B_TITLE::kDir, "Y", 0)), LockViolation);
  EXPECT_EQ(tree(), kOffice);
}

TEST_F(FolderTreeTest, DeleteRefusesASharedLockEvenWithNoSuchLine) {
  // A handler dispatched under the wrong lock must be caught whatever the
  // data holds.
  set_tree(kOffice);
  fresh(LockMode::kShared);
  EXPECT_THROW((void)DeleteB_TITLE(req(), 9), LockViolation);
  EXPECT_EQ(tree(), kOffice);
}

// --- Creating a folder ---

TEST_F(FolderTreeTest, CreateRefusesAnEmptyName) {
  set_tree(kABTree);
  EXPECT_EQ(create_folder(req(), 1, Placement::kAfter, B_TITLE::kBoard, ""), kFolderNameEmpty);
  EXPECT_EQ(tree(), kABTree);
  EXPECT_EQ(dir_.read(kSettings), "");
}

TEST_F(FolderTreeTest, CreateInsideAFolderThatIsNoDirIsRefused) {
  set_tree(kABTree + std::string("C,4,Chat,\n"));
  EXPECT_EQ(create_folder(req(), 2, Placement::kInside, B_TITLE::kBoard, "N"), kFolderNotInDir);
  EXPECT_EQ(create_folder(req(), 4, Placement::kInside, B_TITLE::kBoard, "N"), kFolderNotInDir);
  EXPECT_EQ(tree(), kABTree + std::string("C,4,Chat,\n"));
  EXPECT_EQ(dir_.read(kSettings), "");
}

TEST_F(FolderTreeTest, CreateAfterAFolderLandsAfterItsSubtreeAtItsDepth) {
  set_tree(kABTree);
  long number = 0;
  ASSERT_EQ(create_folder(req(), 1, Placement::kAfter, B_TITLE::kBoard, "N", &number),
            kFolderCreated);
  EXPECT_EQ(number, 4);
  EXPECT_EQ(tree(), "A,1,Dir,\n A1,2,Board,\nN,4,Board,\nB,3,Dir,\n");
}

TEST_F(FolderTreeTest, CreateAfterANestedFolderWalksItsDeeperSubtree) {
  set_tree(
      "A,1,Dir,\n"
      " A1,2,Dir,\n"
      "  A11,3,Board,\n"
      "   A111,4,Board,\n"
      " A2,5,Chat,\n"
      "B,6,Dir,\n");
  ASSERT_EQ(create_folder(req(), 2, Placement::kAfter, B_TITLE::kChat, "N"), kFolderCreated);
  EXPECT_EQ(tree(),
            "A,1,Dir,\n"
            " A1,2,Dir,\n"
            "  A11,3,Board,\n"
            "   A111,4,Board,\n"
            " N,7,Chat,\n"
            " A2,5,Chat,\n"
            "B,6,Dir,\n");
}

TEST_F(FolderTreeTest, CreateAfterTheLastFolderAppends) {
  set_tree(kABTree);
  ASSERT_EQ(create_folder(req(), 3, Placement::kAfter, B_TITLE::kDir, "N"), kFolderCreated);
  EXPECT_EQ(tree(), std::string(kABTree) + "N,4,Dir,\n");
}

TEST_F(FolderTreeTest, CreateInsideADirIsItsFirstChild) {
  set_tree(kABTree);
  ASSERT_EQ(create_folder(req(), 1, Placement::kInside, B_TITLE::kBoard, "N"), kFolderCreated);
  EXPECT_EQ(tree(), "A,1,Dir,\n N,4,Board,\n A1,2,Board,\nB,3,Dir,\n");
  // The new folder is a Board: nothing goes inside it.
  EXPECT_EQ(create_folder(req(), 2, Placement::kInside, B_TITLE::kChat, "M"), kFolderNotInDir);
  EXPECT_EQ(tree(), "A,1,Dir,\n N,4,Board,\n A1,2,Board,\nB,3,Dir,\n");
}

TEST_F(FolderTreeTest, CreateWithoutAChosenFolderAppendsAtDepthZero) {
  set_tree(kABTree);
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kChat, "N"), kFolderCreated);
  EXPECT_EQ(tree(), std::string(kABTree) + "N,4,Chat,\n");
  // Without a chosen folder "inside" means "after".
  ASSERT_EQ(create_folder(req(), 0, Placement::kInside, B_TITLE::kBoard, "M"), kFolderCreated);
  EXPECT_EQ(tree(), std::string(kABTree) + "N,4,Chat,\nM,5,Board,\n");
}

TEST_F(FolderTreeTest, CreateNumbersTheFolderOneAboveTheHighest) {
  set_tree("X,7,Dir,\n Y,3,Board,\n");
  long number = 0;
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "Z", &number),
            kFolderCreated);
  EXPECT_EQ(number, 8);
  EXPECT_EQ(tree(), "X,7,Dir,\n Y,3,Board,\nZ,8,Board,\n");
}

TEST_F(FolderTreeTest, CreateInAnEmptyOrMissingTreeTakesNumberOne) {
  long number = 0;
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kDir, "First", &number),
            kFolderCreated);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(tree(), "First,1,Dir,\n");

  set_tree("");
  fresh();
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "Again", &number),
            kFolderCreated);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(tree(), "Again,1,Board,\n");
}

TEST_F(FolderTreeTest, CreateAppendsASettingsRecordWithOnlyTheDefaults) {
  set_tree(kABTree);
  std::string old_record(8800, '\0');
  put_be32(old_record, 0, 2);
  put_be32(old_record, 8, 30);
  dir_.write(kSettings, old_record);
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "N"), kFolderCreated);
  EXPECT_EQ(dir_.read(kSettings), old_record + new_folder_record(4));

  std::optional<B_TITLE2> s = ReadB_TITLE2(req(), 4);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->READ_CHK, 1);
  EXPECT_EQ(s->REWRITE_FLG, 1);
  EXPECT_EQ(s->READ_LEVEL, 0);
  EXPECT_EQ(s->WRITE_LEVEL, 0);
}

TEST_F(FolderTreeTest, CreateCreatesNoFolderDirectory) {
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "N"), kFolderCreated);
  EXPECT_FALSE(dir_.exists("1"));
}

TEST_F(FolderTreeTest, CreateUnderASharedLockThrowsAndWritesNothing) {
  set_tree(kABTree);
  fresh(LockMode::kShared);
  EXPECT_THROW((void)create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "N"),
               LockViolation);
  EXPECT_EQ(tree(), kABTree);
  EXPECT_EQ(dir_.read(kSettings), "");
}

// A tree file may hold lines that are no folders (an uploaded, hand-edited
// file). Placement is by display number, so they must not shift it.

TEST_F(FolderTreeTest, CreateWithoutAChosenFolderGoesToTheEndPastRemarkLines) {
  set_tree("# folders\nA,1,Dir,\n A1,2,Board,\n");
  ASSERT_EQ(create_folder(req(), 0, Placement::kAfter, B_TITLE::kBoard, "N"), kFolderCreated);
  EXPECT_EQ(tree(), "# folders\nA,1,Dir,\n A1,2,Board,\nN,3,Board,\n");
  EXPECT_EQ(get_upper_folder(req(), 2), 1);
}

TEST_F(FolderTreeTest, CreateInsideADirPastRemarkLinesIsThatDirsChild) {
  set_tree("# folders\nA,1,Dir,\nB,2,Dir,\n");
  ASSERT_EQ(create_folder(req(), 2, Placement::kInside, B_TITLE::kBoard, "N"), kFolderCreated);
  EXPECT_EQ(tree(), "# folders\nA,1,Dir,\nB,2,Dir,\n N,3,Board,\n");
}

}  // namespace
}  // namespace plazet
