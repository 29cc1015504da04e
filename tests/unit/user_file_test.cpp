#include "users/user_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "store/data_lock.h"

namespace plazet {
namespace {

// A record with every field set, as the user pages write it.
constexpr const char* kTaroLine =
    "Taro,Taro Yamada,100,taro@example.jp,secret,3,2,1,2,english.lng,taro.gif,1,\n";
constexpr const char* kJiroLine = "Jiro,Jiro Sato,10,,jpw,0,1,2,1,,,0,\n";
constexpr const char* kHanaLine = "Hana,Hana Ito,5,hana@example.jp,hpw,1,1,1,1,,,0,\n";

// Each test works on its own data directory with the exclusive data lock,
// as a writing request does.
class UserFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plazet-userfile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
    req_.sys.DATA_FILE_PATH = dir_;
    req_.lock = DataLock::acquire(dir_, LockMode::kExclusive);
  }
  void TearDown() override {
    req_.lock.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string path() const { return dir_ + "user.mst"; }

  void write_users(const std::string& text) const {
    std::ofstream out(path(), std::ios::binary | std::ios::trunc);
    out << text;
  }

  std::string read_users() const {
    std::ifstream in(path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Swaps the request's lock for a shared one, as a reading job holds.
  void hold_shared_lock() {
    req_.lock.reset();
    req_.lock = DataLock::acquire(dir_, LockMode::kShared);
  }

  std::string dir_;
  Request req_;
};

// --- Reading a line ---

TEST_F(UserFileTest, ReadsEveryFieldOfALine) {
  write_users(kTaroLine);
  std::string id = "Taro";
  std::optional<MST_USER> u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_ID, "Taro");
  EXPECT_EQ(u->USER_NAME, "Taro Yamada");
  EXPECT_EQ(u->USER_LEVEL, 100);
  EXPECT_EQ(u->E_MAIL_ADDR, "taro@example.jp");
  EXPECT_EQ(u->USER_PASS, "secret");
  EXPECT_EQ(u->P_GROUP, 3);
  EXPECT_EQ(u->USER_DISP_DEF, 2);
  EXPECT_EQ(u->MODE, 1);
  EXPECT_EQ(u->WRITE_MODE, 2);
  EXPECT_EQ(u->LANGUAGE, "english.lng");
  EXPECT_EQ(u->PICFILE, "taro.gif");
  EXPECT_EQ(u->NO_READ_MODE, 1);
}

TEST_F(UserFileTest, EmptyFieldsAreEmptyOrZeroAndNumbersReadTheirLeadingDigits) {
  write_users("Kyo,,,,,,,,,,,,\nMin, Name ,12abc,,,-3, 2,x,,,,7x,\n");
  std::optional<MST_USER> kyo = ReadMST_USERcount(req_, 0);
  ASSERT_TRUE(kyo);
  EXPECT_EQ(kyo->USER_ID, "Kyo");
  EXPECT_EQ(kyo->USER_NAME, "");
  EXPECT_EQ(kyo->USER_LEVEL, 0);
  EXPECT_EQ(kyo->USER_PASS, "");
  EXPECT_EQ(kyo->MODE, 0);
  EXPECT_EQ(kyo->LANGUAGE, "");
  EXPECT_EQ(kyo->NO_READ_MODE, 0);

  std::optional<MST_USER> min = ReadMST_USERcount(req_, 1);
  ASSERT_TRUE(min);
  EXPECT_EQ(min->USER_NAME, " Name ");  // text is kept as it stands
  EXPECT_EQ(min->USER_LEVEL, 12);
  EXPECT_EQ(min->P_GROUP, -3);
  EXPECT_EQ(min->USER_DISP_DEF, 2);
  EXPECT_EQ(min->MODE, 0);
  EXPECT_EQ(min->NO_READ_MODE, 7);
}

TEST_F(UserFileTest, ElevenFieldsWithoutTheirLastCommaAreNoRecord) {
  write_users(
      "Bad,Bad Line,1,,pw,0,1,1,1,,pic\n"      // eleven fields, ten commas
      "Good,Good Line,1,,pw,0,1,1,1,,pic,1\n"  // twelve fields, no final comma
      "Full,Full Line,1,,pw,0,1,1,1,,pic,1,\n");
  std::string bad = "Bad";
  EXPECT_FALSE(ReadMST_USER(req_, bad));

  std::optional<MST_USER> first = ReadMST_USERcount(req_, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->USER_ID, "Good");
  EXPECT_EQ(first->PICFILE, "pic");
  EXPECT_EQ(first->NO_READ_MODE, 0);  // no twelfth comma: the field is not read

  std::optional<MST_USER> second = ReadMST_USERcount(req_, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->USER_ID, "Full");
  EXPECT_EQ(second->NO_READ_MODE, 1);
  EXPECT_FALSE(ReadMST_USERcount(req_, 2));
}

TEST_F(UserFileTest, TextLongerThanItsFieldIsCut) {
  const std::string id(30, 'i');
  const std::string name(100, 'n');
  // Together still below the 999 bytes a line is read with.
  const std::string mail(260, 'm');
  const std::string pass(30, 'p');
  const std::string language(260, 'l');
  const std::string picture(260, 'c');
  write_users(id + "," + name + ",1," + mail + "," + pass + ",0,1,1,1," + language + "," + picture +
              ",0,\n");
  std::optional<MST_USER> u = ReadMST_USERcount(req_, 0);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_ID, std::string(21, 'i'));
  EXPECT_EQ(u->USER_NAME, std::string(81, 'n'));
  EXPECT_EQ(u->E_MAIL_ADDR, std::string(251, 'm'));
  EXPECT_EQ(u->USER_PASS, std::string(21, 'p'));
  EXPECT_EQ(u->LANGUAGE, std::string(255, 'l'));
  EXPECT_EQ(u->PICFILE, std::string(255, 'c'));
}

// --- ReadMST_USER ---

TEST_F(UserFileTest, FindsAnIdInAnyLetterCaseAndHandsBackTheStoredCase) {
  write_users(std::string(kJiroLine) + kTaroLine);
  for (const char* typed : {"TARO", "taro", "Taro", "tArO"}) {
    std::string id = typed;
    std::optional<MST_USER> u = ReadMST_USER(req_, id);
    ASSERT_TRUE(u) << typed;
    EXPECT_EQ(u->USER_ID, "Taro") << typed;
    EXPECT_EQ(u->USER_NAME, "Taro Yamada") << typed;
    EXPECT_EQ(id, "Taro") << typed;
  }
}

TEST_F(UserFileTest, FailedLookupLeavesTheArgumentUpperCased) {
  write_users(kTaroLine);
  std::string id = "taro2";
  EXPECT_FALSE(ReadMST_USER(req_, id));
  EXPECT_EQ(id, "TARO2");

  // The trail byte of a two-byte character is not a letter.
  id = "\x83\x61"
       "b";
  EXPECT_FALSE(ReadMST_USER(req_, id));
  EXPECT_EQ(id,
            "\x83\x61"
            "B");
}

TEST_F(UserFileTest, TwoByteIdsMatchOnlyTheirOwnBytes) {
  // 0x83 starts a two-byte character: the 'a' (0x61) after it is its trail
  // byte and must not be folded to 'A' (0x41) on either side.
  write_users(
      "\x83\x41z,Upper Trail,1,,pw,0,1,1,1,,,0,\n"
      "\x83\x61y,Lower Trail,1,,pw,0,1,1,1,,,0,\n");
  std::string id = "\x83\x61z";
  EXPECT_FALSE(ReadMST_USER(req_, id));

  id = "\x83\x41Y";
  EXPECT_FALSE(ReadMST_USER(req_, id));

  id = "\x83\x61Y";
  std::optional<MST_USER> u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_NAME, "Lower Trail");
  EXPECT_EQ(id, "\x83\x61y");

  id = "\x83\x41Z";
  u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_NAME, "Upper Trail");
  EXPECT_EQ(id, "\x83\x41z");
}

TEST_F(UserFileTest, TheFirstOfTwoLinesThatFoldAlikeWins) {
  write_users("taro,Lower,1,,pw,0,1,1,1,,,0,\n" + std::string(kTaroLine));
  std::string id = "Taro";
  std::optional<MST_USER> u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_NAME, "Lower");
  EXPECT_EQ(id, "taro");
}

// --- ReadMST_USERcount ---

TEST_F(UserFileTest, CountWalksTheRecordsInFileOrder) {
  write_users(std::string(kTaroLine) + "no record here\n" + kJiroLine + "\n" + kHanaLine);
  const char* expected[] = {"Taro", "Jiro", "Hana"};
  for (std::size_t n = 0; n < 3; ++n) {
    std::optional<MST_USER> u = ReadMST_USERcount(req_, n);
    ASSERT_TRUE(u) << n;
    EXPECT_EQ(u->USER_ID, expected[n]);
  }
  EXPECT_FALSE(ReadMST_USERcount(req_, 3));
}

TEST_F(UserFileTest, AnEmptyOrMissingFileHasNoRecords) {
  EXPECT_FALSE(ReadMST_USERcount(req_, 0));
  // The first operation leaves the missing file behind, empty.
  EXPECT_TRUE(std::filesystem::exists(path()));
  EXPECT_EQ(read_users(), "");

  std::string id = "Taro";
  EXPECT_FALSE(ReadMST_USER(req_, id));
}

// --- ReWriteMST_USER ---

TEST_F(UserFileTest, ReWriteReplacesTheLineInItsPlace) {
  write_users(std::string(kJiroLine) + kTaroLine + kHanaLine);
  MST_USER taro;
  taro.USER_ID = "Taro";
  taro.USER_NAME = "Taro Suzuki";
  taro.USER_LEVEL = 999;
  taro.E_MAIL_ADDR = "suzuki@example.jp";
  taro.USER_PASS = "newpw";
  taro.P_GROUP = 4;
  taro.USER_DISP_DEF = 3;
  taro.MODE = 2;
  taro.WRITE_MODE = 1;
  taro.LANGUAGE = "japan.lng";
  taro.PICFILE = "t.jpg";
  taro.NO_READ_MODE = 0;
  EXPECT_TRUE(ReWriteMST_USER(req_, taro));
  EXPECT_EQ(read_users(),
            std::string(kJiroLine) +
                "Taro,Taro Suzuki,999,suzuki@example.jp,newpw,4,3,2,1,japan.lng,t.jpg,0,\n" +
                kHanaLine);
}

TEST_F(UserFileTest, ReWriteReplacesEveryLineOfTheIdAndComparesExactly) {
  write_users(std::string(kTaroLine) + "TARO,Capitals,1,,pw,0,1,1,1,,,0,\n" + kTaroLine);
  MST_USER taro;
  taro.USER_ID = "Taro";
  taro.USER_NAME = "New";
  EXPECT_TRUE(ReWriteMST_USER(req_, taro));
  const std::string new_line = "Taro,New,0,,,0,0,0,0,,,0,\n";
  EXPECT_EQ(read_users(), new_line + "TARO,Capitals,1,,pw,0,1,1,1,,,0,\n" + new_line);
}

TEST_F(UserFileTest, ReWriteOfAnAbsentIdFailsAndDropsOnlyLinesWithoutComma) {
  const std::string before = std::string("no comma at all\n") + kTaroLine + "\n" +
                             "Bad,Only Two Commas,\n" + kJiroLine + "trailing";
  write_users(before);
  MST_USER stranger;
  stranger.USER_ID = "taro";  // only "Taro" is stored
  stranger.USER_NAME = "Stranger";
  EXPECT_FALSE(ReWriteMST_USER(req_, stranger));
  EXPECT_EQ(read_users(), std::string(kTaroLine) + "Bad,Only Two Commas,\n" + kJiroLine);
}

TEST_F(UserFileTest, WrittenFieldsAreCutToTheirWidth) {
  write_users(std::string(21, 'i') + ",Old,1,,pw,0,1,1,1,,,0,\n");
  MST_USER u;
  u.USER_ID = std::string(30, 'i');
  u.USER_NAME = std::string(100, 'n');
  u.E_MAIL_ADDR = std::string(300, 'm');
  u.USER_PASS = std::string(30, 'p');
  u.LANGUAGE = std::string(300, 'l');
  u.PICFILE = std::string(300, 'c');
  EXPECT_TRUE(ReWriteMST_USER(req_, u));
  EXPECT_EQ(read_users(), std::string(21, 'i') + "," + std::string(81, 'n') + ",0," +
                              std::string(251, 'm') + "," + std::string(21, 'p') + ",0,0,0,0," +
                              std::string(255, 'l') + "," + std::string(255, 'c') + ",0,\n");
}

TEST_F(UserFileTest, AReadAfterReWriteInTheSameRequestSeesTheNewRecord) {
  write_users(std::string(kTaroLine) + kJiroLine);
  std::string id = "taro";
  std::optional<MST_USER> taro = ReadMST_USER(req_, id);
  ASSERT_TRUE(taro);
  taro->USER_NAME = "Renamed";
  taro->USER_LEVEL = 7;
  ASSERT_TRUE(ReWriteMST_USER(req_, *taro));

  id = "TARO";
  std::optional<MST_USER> again = ReadMST_USER(req_, id);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->USER_NAME, "Renamed");
  EXPECT_EQ(again->USER_LEVEL, 7);
  std::optional<MST_USER> first = ReadMST_USERcount(req_, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->USER_NAME, "Renamed");
}

TEST_F(UserFileTest, ReWriteReplacesTheFileAsAWhole) {
  write_users(std::string(kTaroLine) + kJiroLine);
  // A reader that opened the file before the rewrite keeps reading the old
  // contents: the new file is renamed into place, never written over.
  int old_fd = ::open(path().c_str(), O_RDONLY);
  ASSERT_GE(old_fd, 0);
  MST_USER jiro;
  jiro.USER_ID = "Jiro";
  jiro.USER_NAME = "Changed";
  ASSERT_TRUE(ReWriteMST_USER(req_, jiro));
  char buf[512] = {};
  ssize_t n = ::pread(old_fd, buf, sizeof buf, 0);
  ::close(old_fd);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), std::string(kTaroLine) + kJiroLine);
  EXPECT_EQ(read_users(), std::string(kTaroLine) + "Jiro,Changed,0,,,0,0,0,0,,,0,\n");
  EXPECT_FALSE(std::filesystem::exists(path() + ".tmp"));
}

// --- DeleteMST_USER ---

TEST_F(UserFileTest, DeleteRemovesEveryLineOfExactlyThatId) {
  write_users(std::string(kTaroLine) + "TARO,Capitals,1,,pw,0,1,1,1,,,0,\n" + kJiroLine +
              kTaroLine + "junk\n");
  DeleteMST_USER(req_, "taro");  // no line has this exact ID
  EXPECT_EQ(read_users(),
            std::string(kTaroLine) + "TARO,Capitals,1,,pw,0,1,1,1,,,0,\n" + kJiroLine + kTaroLine);
  DeleteMST_USER(req_, "Taro");
  EXPECT_EQ(read_users(), std::string("TARO,Capitals,1,,pw,0,1,1,1,,,0,\n") + kJiroLine);
  std::string id = "Taro";
  std::optional<MST_USER> u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->USER_NAME, "Capitals");
}

TEST_F(UserFileTest, RewritesKeepTheLinesOfAVeryShortFile) {
  // The smallest record a line can hold: an ID and eleven commas.
  write_users("a,,,,,,,,,,,\n");
  DeleteMST_USER(req_, "c");
  EXPECT_EQ(read_users(), "a,,,,,,,,,,,\n");

  write_users("b,\nc,\n");
  DeleteMST_USER(req_, "b");
  EXPECT_EQ(read_users(), "c,\n");

  write_users("b,\n");
  MST_USER b;
  b.USER_ID = "b";
  b.USER_NAME = "B";
  EXPECT_TRUE(ReWriteMST_USER(req_, b));
  EXPECT_EQ(read_users(), "b,B,0,,,0,0,0,0,,,0,\n");
}

// --- InsertMST_USER ---

TEST_F(UserFileTest, InsertAppendsALine) {
  write_users(kTaroLine);
  MST_USER jiro;
  jiro.USER_ID = "Jiro";
  jiro.USER_NAME = "Jiro Sato";
  jiro.USER_LEVEL = 10;
  jiro.USER_PASS = "jpw";
  jiro.USER_DISP_DEF = 1;
  jiro.MODE = 2;
  jiro.WRITE_MODE = 1;
  EXPECT_TRUE(InsertMST_USER(req_, jiro));
  EXPECT_EQ(read_users(), std::string(kTaroLine) + kJiroLine);

  std::string id = "JIRO";
  std::optional<MST_USER> u = ReadMST_USER(req_, id);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->MODE, 2);
  EXPECT_EQ(id, "Jiro");
}

TEST_F(UserFileTest, InsertEndsAnUnterminatedLastLineFirst) {
  std::string taro = kTaroLine;
  taro.pop_back();
  write_users(taro);
  MST_USER hana;
  hana.USER_ID = "Hana";
  hana.USER_NAME = "Hana Ito";
  hana.USER_LEVEL = 5;
  hana.E_MAIL_ADDR = "hana@example.jp";
  hana.USER_PASS = "hpw";
  hana.P_GROUP = 1;
  hana.USER_DISP_DEF = 1;
  hana.MODE = 1;
  hana.WRITE_MODE = 1;
  EXPECT_TRUE(InsertMST_USER(req_, hana));
  EXPECT_EQ(read_users(), std::string(kTaroLine) + kHanaLine);
  std::optional<MST_USER> first = ReadMST_USERcount(req_, 0);
  std::optional<MST_USER> second = ReadMST_USERcount(req_, 1);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->NO_READ_MODE, 1);
  EXPECT_EQ(second->USER_ID, "Hana");
}

TEST_F(UserFileTest, InsertIntoAMissingFileCreatesItWithDefaultPermissions) {
  const mode_t old_mask = ::umask(022);
  MST_USER kyo;
  kyo.USER_ID = "Kyo";
  kyo.USER_NAME = "Kyo";
  const bool inserted = InsertMST_USER(req_, kyo);
  struct stat st {};
  const int stat_result = ::stat(path().c_str(), &st);
  ::umask(old_mask);
  EXPECT_TRUE(inserted);
  ASSERT_EQ(stat_result, 0);
  EXPECT_EQ(read_users(), "Kyo,Kyo,0,,,0,0,0,0,,,0,\n");
  // user.mst is a text file: the process's own permissions, not 0600.
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// --- Locking ---

TEST_F(UserFileTest, ChangesUnderASharedLockAreRefused) {
  write_users(std::string(kTaroLine) + kJiroLine);
  hold_shared_lock();
  std::string id = "jiro";
  std::optional<MST_USER> jiro = ReadMST_USER(req_, id);  // reading is allowed
  ASSERT_TRUE(jiro);
  EXPECT_THROW(ReWriteMST_USER(req_, *jiro), LockViolation);
  EXPECT_THROW(DeleteMST_USER(req_, "Jiro"), LockViolation);
  EXPECT_THROW(InsertMST_USER(req_, *jiro), LockViolation);
  EXPECT_EQ(read_users(), std::string(kTaroLine) + kJiroLine);
  EXPECT_FALSE(std::filesystem::exists(path() + ".tmp"));
}

}  // namespace
}  // namespace plazet
