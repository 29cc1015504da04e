#include "text/date.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace plazet {

namespace {

struct CivilDate {
  std::int64_t year;
  int month;  // 1..12
  int day;
};

bool is_leap_year(std::int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int month_length(std::int64_t year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && is_leap_year(year)) return 29;
  return kDays[static_cast<std::size_t>(month - 1)];
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi over text[pos, pos + len), stopping early at the end of the text or
// a NUL. At most four characters, so no overflow.
int field_atoi(std::string_view text, std::size_t pos, std::size_t len) {
  const std::size_t end = std::min(text.size(), pos + len);
  std::size_t i = pos;
  while (i < end && is_space(text[i])) ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int value = 0;
  while (i < end && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  return negative ? -value : value;
}

std::string format_date(std::int64_t year, int month, int day) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04lld/%02d/%02d", static_cast<long long>(year), month, day);
  return buf;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate civil_from_days(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string format_local(std::time_t now, bool with_seconds) {
  std::tm tm{};
  char buf[64];
  if (localtime_r(&now, &tm) == nullptr) {
    // Keep the fixed width so text comparisons still work.
    return with_seconds ? "0000/00/00 00:00.00" : "0000/00/00 00:00";
  }
  // tm_year + 1900 cannot overflow a long long.
  const long long year = static_cast<long long>(tm.tm_year) + 1900;
  if (with_seconds) {
    std::snprintf(buf, sizeof buf, "%04lld/%02d/%02d %02d:%02d.%02d", year, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  } else {
    std::snprintf(buf, sizeof buf, "%04lld/%02d/%02d %02d:%02d", year, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
  }
  return buf;
}

// The date before the one `text` begins with; see back_date.
CivilDate day_before(const std::string& text) {
  // A NUL ends the text, as in the C strings these dates were made for.
  const std::size_t end = std::min(text.size(), text.find('\0'));
  const std::string_view date(text.data(), end);

  std::int64_t year = field_atoi(date, 0, 4);
  // Clamped so the month-length lookup stays in its table.
  int month = std::clamp(field_atoi(date, 5, 2), 1, 12);
  int day = field_atoi(date, 8, 2);

  --day;
  if (day < 1) {
    --month;
    if (month < 1) {
      month = 12;
      --year;
    }
    day = month_length(year, month);
  }
  return {year, month, day};
}

}  // namespace

std::string set_date(std::time_t now) {
  return format_local(now, false);
}

std::string set_date() {
  return set_date(std::time(nullptr));
}

std::string set_datetime(std::time_t now) {
  return format_local(now, true);
}

std::string set_datetime() {
  return set_datetime(std::time(nullptr));
}

void back_date(std::string& text) {
  const CivilDate date = day_before(text);
  text = format_date(date.year, date.month, date.day);
}

std::string cutoff_date(std::time_t now, int days) {
  std::string text = set_date(now);
  if (days <= 0) return text;
  // The first step settles odd input exactly as back_date would; from a
  // real date on, each further step is one calendar day.
  const CivilDate first = day_before(text);
  const CivilDate date =
      civil_from_days(days_from_civil(first.year, first.month, first.day) - (days - 1));
  return format_date(date.year, date.month, date.day);
}

}  // namespace plazet
