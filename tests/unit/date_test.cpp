#include "text/date.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace plazet {
namespace {

// Formatting follows the process's time zone; each test pins it and puts
// the old one back.
class DateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_tz_ = tz;
    use_zone("UTC");
  }
  void TearDown() override {
    if (saved_tz_) {
      setenv("TZ", saved_tz_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void use_zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_tz_;
};

std::string back(std::string text) {
  back_date(text);
  return text;
}

std::string back_n(std::string text, int n) {
  for (int i = 0; i < n; ++i) back_date(text);
  return text;
}

constexpr std::time_t k2001_09_09_01_46_40 = 1000000000;
constexpr std::time_t k2000_03_05_12_00_00 = 952257600;
constexpr std::time_t k2100_03_01_00_00_00 = 4107542400;

// --- set_date / set_datetime ---

TEST_F(DateTest, SetDateFormatsLocalTimeToTheMinute) {
  EXPECT_EQ(set_date(k2001_09_09_01_46_40), "2001/09/09 01:46");
  EXPECT_EQ(set_date(0), "1970/01/01 00:00");
  EXPECT_EQ(set_date(k2100_03_01_00_00_00 - 1), "2100/02/28 23:59");
}

TEST_F(DateTest, SetDatetimeAddsSeconds) {
  EXPECT_EQ(set_datetime(k2001_09_09_01_46_40), "2001/09/09 01:46.40");
  EXPECT_EQ(set_datetime(0), "1970/01/01 00:00.00");
  EXPECT_EQ(set_datetime(k2001_09_09_01_46_40 + 19), "2001/09/09 01:46.59");
}

TEST_F(DateTest, SetDateUsesTheProcessTimeZone) {
  use_zone("JST-9");
  EXPECT_EQ(set_date(k2001_09_09_01_46_40), "2001/09/09 10:46");
  EXPECT_EQ(set_datetime(k2001_09_09_01_46_40), "2001/09/09 10:46.40");
  use_zone("EST5");
  EXPECT_EQ(set_date(k2001_09_09_01_46_40), "2001/09/08 20:46");
}

TEST_F(DateTest, NoArgumentOverloadsReadTheClock) {
  const std::time_t before = std::time(nullptr);
  const std::string date = set_date();
  const std::string datetime = set_datetime();
  const std::time_t after = std::time(nullptr);
  EXPECT_TRUE(date == set_date(before) || date == set_date(after)) << date;
  EXPECT_EQ(datetime.size(), 19u);
  EXPECT_GE(datetime, set_datetime(before));
  EXPECT_LE(datetime, set_datetime(after));
}

// --- back_date ---

TEST_F(DateTest, BackDateWithinAMonth) {
  EXPECT_EQ(back("2001/05/07"), "2001/05/06");
  EXPECT_EQ(back("2001/05/31"), "2001/05/30");
  EXPECT_EQ(back("2001/05/02"), "2001/05/01");
}

TEST_F(DateTest, BackDateRemovesTheTime) {
  EXPECT_EQ(back("2001/05/07 09:05"), "2001/05/06");
  EXPECT_EQ(back("2001/05/07 09:05.33"), "2001/05/06");
}

TEST_F(DateTest, BackDateAcrossMonthsUsesTheirLengths) {
  EXPECT_EQ(back("2001/02/01"), "2001/01/31");
  EXPECT_EQ(back("2001/04/01"), "2001/03/31");
  EXPECT_EQ(back("2001/05/01"), "2001/04/30");
  EXPECT_EQ(back("2001/06/01"), "2001/05/31");
  EXPECT_EQ(back("2001/07/01"), "2001/06/30");
  EXPECT_EQ(back("2001/08/01"), "2001/07/31");
  EXPECT_EQ(back("2001/09/01"), "2001/08/31");
  EXPECT_EQ(back("2001/10/01"), "2001/09/30");
  EXPECT_EQ(back("2001/11/01"), "2001/10/31");
  EXPECT_EQ(back("2001/12/01"), "2001/11/30");
}

TEST_F(DateTest, BackDateAcrossTheYear) {
  EXPECT_EQ(back("2001/01/01"), "2000/12/31");
}

TEST_F(DateTest, BackDateFebruaryFollowsLeapYears) {
  EXPECT_EQ(back("2001/03/01"), "2001/02/28");
  EXPECT_EQ(back("2000/03/01"), "2000/02/29");  // divisible by 400
  EXPECT_EQ(back("2004/03/01"), "2004/02/29");
  EXPECT_EQ(back("1900/03/01"), "1900/02/28");  // century, not divisible by 400
  EXPECT_EQ(back("2100/03/01"), "2100/02/28");
  EXPECT_EQ(back("2400/03/01"), "2400/02/29");
  EXPECT_EQ(back("2000/02/29"), "2000/02/28");
}

TEST_F(DateTest, TenStepsBackCrossLeapDay) {
  EXPECT_EQ(back_n("2000/03/05", 10), "2000/02/24");
  EXPECT_EQ(back_n("2001/03/05", 10), "2001/02/23");
}

TEST_F(DateTest, BackDateReadsFieldsLikeAtoi) {
  EXPECT_EQ(back("2001/ 3/ 5"), "2001/03/04");
  EXPECT_EQ(back("2001/3/15"), "2001/03/04");  // month "3/", day "5" (not "15")
  EXPECT_EQ(back("0099/12/25"), "0099/12/24");
  EXPECT_EQ(back("2001/05/07xyz"), "2001/05/06");
}

TEST_F(DateTest, BackDateShortTextTakesMissingDigitsAsAbsent) {
  EXPECT_EQ(back("2001/03/5"), "2001/03/04");
  EXPECT_EQ(back("2001/03/"), "2001/02/28");  // day 0
  EXPECT_EQ(back("2001/03"), "2001/02/28");
  EXPECT_EQ(back("2001/3"), "2001/02/28");
  EXPECT_EQ(back("2001"), "2000/12/31");  // month clamped to 1, day 0
  EXPECT_EQ(back(""), "-001/12/31");      // year 0, the year before is -1
}

TEST_F(DateTest, BackDateStopsAtNul) {
  const std::string nul(1, '\0');
  // The day digits sit where the day belongs, but after the NUL: day 0.
  EXPECT_EQ(back("2001/03" + nul + "15"), "2001/02/28");
  // Month and day after the NUL: month 0 is clamped to 1, day 0.
  EXPECT_EQ(back("2001" + nul + "0315"), "2000/12/31");
}

TEST_F(DateTest, BackDateClampsMonthIntoTheYear) {
  EXPECT_EQ(back("2001/13/05"), "2001/12/04");
  EXPECT_EQ(back("2001/99/01"), "2001/11/30");
  EXPECT_EQ(back("2001/00/05"), "2001/01/04");
  EXPECT_EQ(back("2001/00/01"), "2000/12/31");
  EXPECT_EQ(back("2001/-5/01"), "2000/12/31");
}

TEST_F(DateTest, BackDateOddDaysAreNotCorrected) {
  EXPECT_EQ(back("2001/02/31"), "2001/02/30");
  EXPECT_EQ(back("2001/02/99"), "2001/02/98");
  EXPECT_EQ(back("2001/03/-5"), "2001/02/28");
}

// --- cutoff_date ---

TEST_F(DateTest, CutoffZeroOrNegativeDaysIsTheTimeItself) {
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 0), "2001/09/09 01:46");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, -3), "2001/09/09 01:46");
}

TEST_F(DateTest, CutoffStepsBackWholeDays) {
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 1), "2001/09/08");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 9), "2001/08/31");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 365), "2000/09/09");
  EXPECT_EQ(cutoff_date(k2000_03_05_12_00_00, 10), "2000/02/24");
  EXPECT_EQ(cutoff_date(k2100_03_01_00_00_00, 1), "2100/02/28");
}

TEST_F(DateTest, CutoffFollowsTheLocalDate) {
  use_zone("EST5");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 1), "2001/09/07");
}

TEST_F(DateTest, CutoffMatchesRepeatedBackDate) {
  for (const std::time_t start :
       {k2001_09_09_01_46_40, k2000_03_05_12_00_00, k2100_03_01_00_00_00}) {
    std::string text = set_date(start);
    for (int days = 0; days <= 1600; ++days) {
      ASSERT_EQ(cutoff_date(start, days), text) << "start " << start << ", days " << days;
      back_date(text);
    }
  }
}

TEST_F(DateTest, CutoffReachesBeforeYearOne) {
  // 730736 days lie between 0001/01/01 and 2001/09/09; year 0 is a leap year.
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 730736), "0001/01/01");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 730737), "0000/12/31");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 730736 + 366), "0000/01/01");
  EXPECT_EQ(cutoff_date(k2001_09_09_01_46_40, 730736 + 367), "-001/12/31");
  EXPECT_EQ(back_n("0001/01/01", 367), "-001/12/31");
}

TEST_F(DateTest, CutoffForHugeCountsIsExactAndSortsFirst) {
  const std::string cutoff = cutoff_date(k2001_09_09_01_46_40, INT_MAX);
  EXPECT_EQ(cutoff, "-5877609/03/02");
  EXPECT_LT(cutoff, "0000/01/01");
}

}  // namespace
}  // namespace plazet
