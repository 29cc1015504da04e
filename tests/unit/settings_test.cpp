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
  EXPECT_EQ(sys.LOG_DATE, "365");
  EXPECT_EQ(read_settings(dir.file("plazet.ini")).LOGIN_GIF, "title.jpg");
}

// Odd lines: extra fields, a missing comma, a key in small letters, a
// setting twice, an empty or non-numeric number; the file written again.
TEST(SettingsTest, ValuesAreReadAsTheLinesGiveThem) {
  EXPECT_EQ(format_settings(read_settings(kData + "settings_odd.ini")),
            data_file("settings_odd.expected"));
}

TEST(StrdefTest, LoadsNumberedTexts) {
  STRDEF lang;
  ASSERT_TRUE(lang.StrdefFileOpen(kData + "texts.lng"));
  const std::pair<int, std::string> texts[] = {
      {5, "abc"}, {6, ""},  {8, "second"}, {9, "\x82\xa0\x82\xa2"}, {10, std::string(99, 'L')},
      {0, ""},    {400, ""}};
  for (const auto& [n, text] : texts) EXPECT_EQ(lang.text(n), text) << n;
}

}  // namespace
}  // namespace plazet
