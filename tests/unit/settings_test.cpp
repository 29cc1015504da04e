#include <gtest/gtest.h>

#include <iterator>

#include "frame/settings.h"
#include "frame/strdef.h"
#include "data_dir_test.h"

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

TEST(SettingsTest, ValuesAreReadAsTheLinesGiveThem) {
  SYSINFO sys = read_settings(kData + "settings_odd.ini");
  EXPECT_EQ(sys.ROWS, 12);
  EXPECT_EQ(sys.IECOLS, 80);
  EXPECT_EQ(sys.DATA_FILE_PATH, " /x/");
  EXPECT_EQ(sys.CG_FILE_PATH, "/pic/");
  EXPECT_EQ(sys.BACK_GIF, "bg.gif\r");
  EXPECT_EQ(sys.NSCOLS, 0);
  EXPECT_EQ(sys.MAX_CONTENTS, 200);
  EXPECT_EQ(sys.LOGOFF_URL, "http://example.org/");
  EXPECT_EQ(sys.LANGUAGE, "japan.lng");
  EXPECT_EQ(sys.FRAME_DIVIDE, 20);
  EXPECT_EQ(sys.LOGIN_GIF, "");
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
  TempDir dir;
  STRDEF lang;
  ASSERT_TRUE(lang.StrdefFileOpen(kData + "texts.lng"));
  EXPECT_STREQ(lang.text(5), "abc");
  EXPECT_STREQ(lang.text(6), "");
  EXPECT_STREQ(lang.text(8), "second");
  EXPECT_STREQ(lang.text(9), "\x82\xa0\x82\xa2");
  EXPECT_EQ(std::string(lang.text(10)), std::string(99, 'L'));
  EXPECT_STREQ(lang.text(0), "");
  EXPECT_STREQ(lang.text(400), "");
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
