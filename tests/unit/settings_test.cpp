#include <gtest/gtest.h>

#include <iterator>

#include "data_dir_test.h"
#include "frame/settings.h"
#include "frame/strdef.h"

namespace plazet {
namespace {

using testing::TempDir;

const std::string kData = std::string(PLAZET_SOURCE) + "/tests/unit/data/";
std::string data_file(const std::string& name) {
  std::ifstream in(kData + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SettingsTest, MissingFileIsCreatedWithTheInstallationValues) {
  TempDir dir;
  SYSINFO sys = read_settings(dir.file("plazet.ini"));
  EXPECT_EQ(dir.read("plazet.ini"), data_file("settings_new.ini"));
  EXPECT_EQ(sys.DATETIME, 1);
  EXPECT_EQ(sys.LOG_DATE, "365");
  EXPECT_EQ(sys.DATA_FILE_PATH, "/usr/local/www/cgi-bin/plazetdata/");
  EXPECT_EQ(read_settings(dir.file("plazet.ini")).LOGIN_GIF, "title.jpg");
}

// Odd lines: extra fields, a missing comma, a key in small letters, a
// setting twice, an empty or non-numeric number.
TEST(SettingsTest, ValuesAreReadAsTheLinesGiveThem) {
  EXPECT_EQ(format_settings(read_settings(kData + "settings_odd.ini")),
            "LANGUAGE,japan.lng,\nCG_FILE_PATH,/pic/,\nCG_FILE_WEB_PATH,,\nDATA_FILE_PATH, /x/,\n"
            "ADD_FILE_PATH,,\nADD_FILE_WEB_PATH,,\nLOGIN_GIF,,\nBACK_GIF,bg.gif\r,\nLOG_DATE,,\n"
            "DATETIME,1,\nIECOLS,80,\nNSCOLS,0,\nROWS,12,\nMYDATA,0,\nMAX_CONTENTS,200,\n"
            "LOGOFF_URL,http://example.org/,\nFRAME_DIVIDE,20,\n");
}

TEST(SettingsTest, LongValuesAreCutAndLongLinesContinue) {
  TempDir dir;
  std::string long_gif(300, 'g');
  // A line over 999 bytes: the rest is read as a line of its own.
  std::string long_line = "LOGIN_GIF," + long_gif + "," + std::string(688, 'x') + "ROWS,5,\n";
  dir.write("p.ini", long_line + "LOG_DATE,12345678901,\n");
  SYSINFO sys = read_settings(dir.file("p.ini"));
  EXPECT_EQ(sys.LOGIN_GIF, std::string(251, 'g'));
  EXPECT_EQ(sys.LOG_DATE, "123456789");
  EXPECT_EQ(sys.ROWS, 5);
}

TEST(SettingsTest, WritingRoundTripsAndLeavesEmptyValuesToTheirDefaults) {
  TempDir dir;
  DataLock lock = DataLock::acquire(dir.prefix(), LockMode::kExclusive);
  SYSINFO sys = SYSINFO::new_file_values();
  sys.LANGUAGE = "";
  sys.ROWS = 15;
  ASSERT_TRUE(SysFileWrite(lock.write_token(), dir.file("p.ini"), sys));
  std::string text = dir.read("p.ini");
  EXPECT_NE(text.find("LANGUAGE,,\n"), std::string::npos);
  EXPECT_EQ(text.find("LOGOFF_URL"), std::string::npos);
  SYSINFO back = read_settings(dir.file("p.ini"));
  EXPECT_EQ(back.LANGUAGE, "japan.lng");
  EXPECT_EQ(back.ROWS, 15);

  sys.LOGOFF_URL = "http://example.org/bye";
  ASSERT_TRUE(SysFileWrite(lock.write_token(), dir.file("p.ini"), sys));
  text = dir.read("p.ini");
  EXPECT_NE(text.find("MAX_CONTENTS,4000,\nLOGOFF_URL,http://example.org/bye,\nFRAME_DIVIDE,20,\n"),
            std::string::npos);
  EXPECT_FALSE(dir.exists("p.ini.tmp"));
}

TEST(StrdefTest, LoadsNumberedTexts) {
  STRDEF lang;
  ASSERT_TRUE(lang.StrdefFileOpen(kData + "texts.lng"));
  const std::pair<int, std::string> texts[] = {
      {5, "abc"}, {6, ""},  {8, "second"}, {9, "\x82\xa0\x82\xa2"}, {10, std::string(99, 'L')},
      {0, ""},    {400, ""}};
  for (const auto& [n, text] : texts) EXPECT_EQ(lang.text(n), text) << n;
}

TEST(StrdefTest, ASecondFileReplacesTheWholeTableAndAMissingOneNothing) {
  TempDir dir;
  dir.write("a.lng", "7,seven,\n8,eight,\n");
  dir.write("b.lng", "8,acht,\n");
  STRDEF lang;
  ASSERT_TRUE(lang.StrdefFileOpen(dir.file("a.lng")));
  EXPECT_FALSE(lang.StrdefFileOpen(dir.file("missing.lng")));
  EXPECT_STREQ(lang.text(7), "seven");
  ASSERT_TRUE(lang.StrdefFileOpen(dir.file("b.lng")));
  EXPECT_STREQ(lang.text(7), "");
  EXPECT_STREQ(lang.text(8), "acht");
}

TEST(StrdefTest, ShippedLanguageFilesLoadEveryTextWithinItsLimit) {
  for (const char* name : {"japan.lng", "english.lng"}) {
    STRDEF lang;
    ASSERT_TRUE(lang.StrdefFileOpen(std::string(PLAZET_SHARE) + "/lng/" + name)) << name;
    EXPECT_STREQ(lang.text(1),
                 "<meta charset=\"Shift_JIS\"><meta name=\"referrer\" content=\"no-referrer\">");
    for (int n : {3, 4, 6, 100, 101, 130, 131, 278, 294, 380}) {
      EXPECT_STRNE(lang.text(n), "") << name << " text " << n;
    }
  }
}

}  // namespace
}  // namespace plazet
