#include "folders/folder_settings.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "data_dir_test.h"
#include "store/data_lock.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

constexpr const char* kFile = "b_title2.mst";
constexpr std::size_t kRecord = 8800;

class FolderSettingsTest : public testing::DataDirTest {
 protected:
  void set_file(const std::string& bytes) const { dir_.write(kFile, bytes); }
  std::string file() const { return dir_.read(kFile); }
};

void put_be32(std::string& r, std::size_t offset, std::uint32_t v) {
  r[offset] = static_cast<char>(v >> 24);
  r[offset + 1] = static_cast<char>(v >> 16);
  r[offset + 2] = static_cast<char>(v >> 8);
  r[offset + 3] = static_cast<char>(v);
}

void put_text(std::string& r, std::size_t offset, const std::string& text) {
  r.replace(offset, text.size(), text);
}

// A record built byte by byte: only the number and READ_LEVEL set.
std::string raw_record(std::uint32_t number, std::uint32_t read_level = 0) {
  std::string r(kRecord, '\0');
  put_be32(r, 0, number);
  put_be32(r, 8, read_level);
  return r;
}

B_TITLE2 settings(std::int32_t number, std::int32_t read_level = 0) {
  B_TITLE2 s;
  s.FOLDER_NO = number;
  s.READ_LEVEL = read_level;
  return s;
}

// Every field set, with its expected bytes.
B_TITLE2 full_record() {
  B_TITLE2 s;
  s.FOLDER_NO = 0x01020304;
  s.ADD_MAX = 5;
  s.READ_LEVEL = 10;
  s.WRITE_LEVEL = 50;
  s.READ_CHK = 2;
  s.REWRITE_FLG = -2;
  s.TITLEPIC = "title.gif";
  s.BACKPIC = "back.jpg";
  s.DIRPIC = "dir.gif";
  s.INFO = "About\rthis board \x95\x5C";
  s.DEFO = "Dear all,\r";
  s.FONTCOLOR = "FF0000";
  s.RESFONTCOLOR = "0000FF";
  return s;
}

std::string full_record_bytes() {
  std::string r(kRecord, '\0');
  put_be32(r, 0, 0x01020304);
  put_be32(r, 4, 5);
  put_be32(r, 8, 10);
  put_be32(r, 12, 50);
  put_be32(r, 16, 2);
  put_be32(r, 20, 0xFFFFFFFE);
  put_text(r, 24, "title.gif");
  put_text(r, 276, "back.jpg");
  put_text(r, 528, "dir.gif");
  put_text(r, 780, "About\rthis board \x95\x5C");
  put_text(r, 4782, "Dear all,\r");
  put_text(r, 8784, "FF0000");
  put_text(r, 8792, "0000FF");
  return r;
}

void expect_full_record(const B_TITLE2& s) {
  EXPECT_EQ(s.FOLDER_NO, 0x01020304);
  EXPECT_EQ(s.ADD_MAX, 5);
  EXPECT_EQ(s.READ_LEVEL, 10);
  EXPECT_EQ(s.WRITE_LEVEL, 50);
  EXPECT_EQ(s.READ_CHK, 2);
  EXPECT_EQ(s.REWRITE_FLG, -2);
  EXPECT_EQ(s.TITLEPIC, "title.gif");
  EXPECT_EQ(s.BACKPIC, "back.jpg");
  EXPECT_EQ(s.DIRPIC, "dir.gif");
  EXPECT_EQ(s.INFO, "About\rthis board \x95\x5C");
  EXPECT_EQ(s.DEFO, "Dear all,\r");
  EXPECT_EQ(s.FONTCOLOR, "FF0000");
  EXPECT_EQ(s.RESFONTCOLOR, "0000FF");
}

// --- Record layout ---

TEST_F(FolderSettingsTest, InsertWritesEveryFieldBigEndianAtItsOffset) {
  ASSERT_TRUE(InsertB_TITLE2(req(), full_record()));
  EXPECT_EQ(file(), full_record_bytes());
}

TEST_F(FolderSettingsTest, ReadDecodesEveryFieldFromItsOffset) {
  set_file(raw_record(3) + full_record_bytes());
  std::optional<B_TITLE2> s = ReadB_TITLE2(req(), 0x01020304);
  ASSERT_TRUE(s);
  expect_full_record(*s);
}

TEST_F(FolderSettingsTest, TextsAreCutToTheirFieldsAndKeepATerminatingZero) {
  B_TITLE2 s = settings(7);
  s.TITLEPIC = std::string(300, 't');
  s.INFO = std::string(5000, 'i');
  s.FONTCOLOR = "123456789";
  s.RESFONTCOLOR = "ABCDEFGH";
  ASSERT_TRUE(InsertB_TITLE2(req(), s));

  std::string expected = raw_record(7);
  put_text(expected, 24, std::string(251, 't'));
  put_text(expected, 780, std::string(4001, 'i'));
  put_text(expected, 8784, "1234567");
  put_text(expected, 8792, "ABCDEFG");
  EXPECT_EQ(file(), expected);

  std::optional<B_TITLE2> back = ReadB_TITLE2(req(), 7);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->TITLEPIC, std::string(251, 't'));
  EXPECT_EQ(back->INFO, std::string(4001, 'i'));
  EXPECT_EQ(back->FONTCOLOR, "1234567");
  EXPECT_EQ(back->DEFO, "");
}

TEST_F(FolderSettingsTest, FieldsFilledToTheLastByteDoNotRunIntoTheNext) {
  // A hand-made record whose colour fills all 8 bytes up to the next field.
  std::string r = raw_record(4);
  put_text(r, 8784, "11111111");
  put_text(r, 8792, "22222222");
  set_file(r);
  std::optional<B_TITLE2> s = ReadB_TITLE2(req(), 4);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->FONTCOLOR, "11111111");
  EXPECT_EQ(s->RESFONTCOLOR, "22222222");
}

// --- Reading ---

TEST_F(FolderSettingsTest, ReadFindsTheFirstRecordOfTheNumber) {
  set_file(raw_record(5, 1) + raw_record(6, 2) + raw_record(5, 3));
  std::optional<B_TITLE2> s = ReadB_TITLE2(req(), 5);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->READ_LEVEL, 1);
  s = ReadB_TITLE2(req(), 6);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->READ_LEVEL, 2);
  EXPECT_FALSE(ReadB_TITLE2(req(), 7));
  EXPECT_FALSE(ReadB_TITLE2(req(), 0));
}

TEST_F(FolderSettingsTest, MissingFileReadsAsNoRecordAndIsLeftBehindEmpty) {
  EXPECT_FALSE(ReadB_TITLE2(req(), 1));
  ASSERT_TRUE(dir_.exists(kFile));
  EXPECT_EQ(file(), "");
  struct stat st {};
  ASSERT_EQ(::stat(dir_.file(kFile).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FolderSettingsTest, TrailingPartialRecordIsIgnored) {
  // The partial tail starts like a record of folder 9.
  set_file(raw_record(5) + raw_record(9).substr(0, 100));
  EXPECT_TRUE(ReadB_TITLE2(req(), 5));
  EXPECT_FALSE(ReadB_TITLE2(req(), 9));
}

// --- Appending ---

TEST_F(FolderSettingsTest, InsertAppendsAfterTheLastRecord) {
  set_file(raw_record(5, 1));
  ASSERT_TRUE(InsertB_TITLE2(req(), settings(6, 2)));
  EXPECT_EQ(file(), raw_record(5, 1) + raw_record(6, 2));
}

TEST_F(FolderSettingsTest, InsertAfterAPartialTailKeepsTheRecordsWhole) {
  set_file(raw_record(5, 1) + std::string(100, 'z'));
  ASSERT_TRUE(InsertB_TITLE2(req(), settings(6, 2)));
  EXPECT_EQ(file().size() % kRecord, 0u);
  std::optional<B_TITLE2> s = ReadB_TITLE2(req(), 6);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->READ_LEVEL, 2);
}

TEST_F(FolderSettingsTest, InsertIntoAMissingFileCreatesItPrivate) {
  ASSERT_TRUE(InsertB_TITLE2(req(), settings(1)));
  EXPECT_EQ(file(), raw_record(1));
  struct stat st {};
  ASSERT_EQ(::stat(dir_.file(kFile).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// --- Deleting ---

TEST_F(FolderSettingsTest, DeleteRemovesEveryRecordOfTheNumber) {
  set_file(raw_record(5, 1) + raw_record(6, 2) + raw_record(5, 3) + raw_record(7, 4));
  ASSERT_TRUE(DeleteB_TITLE2(req(), 5));
  EXPECT_EQ(file(), raw_record(6, 2) + raw_record(7, 4));
  EXPECT_FALSE(ReadB_TITLE2(req(), 5));
  EXPECT_FALSE(dir_.exists("b_title2.mst.tmp"));
}

TEST_F(FolderSettingsTest, DeleteOfAnAbsentNumberFailsAndKeepsTheRecords) {
  set_file(raw_record(5, 1) + raw_record(6, 2));
  EXPECT_FALSE(DeleteB_TITLE2(req(), 8));
  EXPECT_EQ(file(), raw_record(5, 1) + raw_record(6, 2));
}

TEST_F(FolderSettingsTest, DeleteDropsATrailingPartialRecord) {
  set_file(raw_record(5) + raw_record(6) + raw_record(7).substr(0, 50));
  ASSERT_TRUE(DeleteB_TITLE2(req(), 5));
  EXPECT_EQ(file(), raw_record(6));
}

TEST_F(FolderSettingsTest, DeleteGoesThroughTheLowerCaseWorkFile) {
  set_file(raw_record(5) + raw_record(6));
  block("b_title2.mst.tmp");
  EXPECT_FALSE(DeleteB_TITLE2(req(), 5));
  EXPECT_EQ(file(), raw_record(5) + raw_record(6));
  EXPECT_TRUE(ReadB_TITLE2(req(), 5));

  std::filesystem::remove(dir_.file("b_title2.mst.tmp"));
  block("b_title2.mst.TMP");
  EXPECT_TRUE(DeleteB_TITLE2(req(), 5));
  EXPECT_EQ(file(), raw_record(6));
}

// --- Replacing ---

TEST_F(FolderSettingsTest, ReWriteReplacesEveryRecordOfTheNumberInPlace) {
  set_file(raw_record(5, 1) + raw_record(6, 2) + raw_record(5, 3));
  ASSERT_TRUE(ReWriteB_TITLE2(req(), full_record()));  // another number: appended
  ASSERT_TRUE(ReWriteB_TITLE2(req(), settings(5, 9)));
  EXPECT_EQ(file(), raw_record(5, 9) + raw_record(6, 2) + raw_record(5, 9) + full_record_bytes());
  EXPECT_FALSE(dir_.exists("b_title2.mst.TMP"));
}

TEST_F(FolderSettingsTest, ReWriteAppendsARecordForAFolderWithoutOne) {
  set_file(raw_record(5, 1));
  ASSERT_TRUE(ReWriteB_TITLE2(req(), settings(6, 4)));
  EXPECT_EQ(file(), raw_record(5, 1) + raw_record(6, 4));
  ASSERT_TRUE(ReWriteB_TITLE2(req(), settings(6, 8)));
  EXPECT_EQ(file(), raw_record(5, 1) + raw_record(6, 8));
}

TEST_F(FolderSettingsTest, ReWriteDropsATrailingPartialRecord) {
  set_file(raw_record(5, 1) + raw_record(6, 2) + std::string(10, 'z'));
  ASSERT_TRUE(ReWriteB_TITLE2(req(), settings(6, 3)));
  EXPECT_EQ(file(), raw_record(5, 1) + raw_record(6, 3));
}

TEST_F(FolderSettingsTest, ReWriteGoesThroughTheUpperCaseWorkFile) {
  set_file(raw_record(5, 1));
  block("b_title2.mst.TMP");
  EXPECT_FALSE(ReWriteB_TITLE2(req(), settings(5, 2)));
  EXPECT_EQ(file(), raw_record(5, 1));

  std::filesystem::remove(dir_.file("b_title2.mst.TMP"));
  block("b_title2.mst.tmp");
  EXPECT_TRUE(ReWriteB_TITLE2(req(), settings(5, 2)));
  EXPECT_EQ(file(), raw_record(5, 2));
}

// --- One read per request ---

TEST_F(FolderSettingsTest, ReadAfterAWriteInTheSameRequestSeesTheChange) {
  set_file(raw_record(5, 1));
  ASSERT_EQ(ReadB_TITLE2(req(), 5)->READ_LEVEL, 1);
  ASSERT_TRUE(ReWriteB_TITLE2(req(), settings(5, 2)));
  EXPECT_EQ(ReadB_TITLE2(req(), 5)->READ_LEVEL, 2);
  ASSERT_TRUE(InsertB_TITLE2(req(), settings(6, 3)));
  ASSERT_TRUE(ReadB_TITLE2(req(), 6));
  EXPECT_EQ(ReadB_TITLE2(req(), 6)->READ_LEVEL, 3);
  ASSERT_TRUE(DeleteB_TITLE2(req(), 5));
  EXPECT_FALSE(ReadB_TITLE2(req(), 5));
}

TEST_F(FolderSettingsTest, SettingsFileIsReadOncePerRequest) {
  set_file(raw_record(5, 1));
  ASSERT_TRUE(ReadB_TITLE2(req(), 5));
  set_file(raw_record(5, 7) + raw_record(6));
  EXPECT_EQ(ReadB_TITLE2(req(), 5)->READ_LEVEL, 1);
  EXPECT_FALSE(ReadB_TITLE2(req(), 6));
  fresh();
  EXPECT_EQ(ReadB_TITLE2(req(), 5)->READ_LEVEL, 7);
  EXPECT_TRUE(ReadB_TITLE2(req(), 6));
}

// --- Writing needs the exclusive lock ---

TEST_F(FolderSettingsTest, WritersRefuseASharedLock) {
  set_file(raw_record(5, 1));
  fresh(LockMode::kShared);
  EXPECT_TRUE(ReadB_TITLE2(req(), 5));
  EXPECT_THROW((void)InsertB_TITLE2(req(), settings(6)), LockViolation);
  EXPECT_THROW((void)DeleteB_TITLE2(req(), 5), LockViolation);
  EXPECT_THROW((void)DeleteB_TITLE2(req(), 9), LockViolation);
  EXPECT_THROW((void)ReWriteB_TITLE2(req(), settings(5, 2)), LockViolation);
  EXPECT_THROW((void)ReWriteB_TITLE2(req(), settings(9, 2)), LockViolation);
  EXPECT_EQ(file(), raw_record(5, 1));
}

}  // namespace
}  // namespace plazet
