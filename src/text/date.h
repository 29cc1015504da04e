// Time and date texts. Every stored time has the fixed, zero-padded form
// "YYYY/MM/DD hh:mm" in local time, so comparing texts compares times and
// comparing the first 10 characters compares dates.
#ifndef PLAZET_TEXT_DATE_H_
#define PLAZET_TEXT_DATE_H_

#include <ctime>
#include <string>

namespace plazet {

// "%04d/%02d/%02d %02d:%02d" of `now` in the process's local time zone
// (16 characters). A time the C library cannot convert gives
// "0000/00/00 00:00".
[[nodiscard]] std::string set_date(std::time_t now);
[[nodiscard]] std::string set_date();  // The current time.

// As set_date, followed by ".%02d" seconds (19 characters).
[[nodiscard]] std::string set_datetime(std::time_t now);
[[nodiscard]] std::string set_datetime();  // The current time.

// Replaces `text`, which begins with a date "YYYY/MM/DD", by the date of the
// day before, "%04d/%02d/%02d"; whatever followed the date is removed.
// Year, month and day are read like atoi from characters 1-4, 6-7 and 9-10;
// characters past the end of the text (or a NUL) count as absent. The
// Gregorian calendar is followed, leap days included. A month outside 1..12
// is first clamped into that range, so the result always has a real month.
void back_date(std::string& text);

// set_date(now) stepped back `days` times with back_date, computed in one
// step. With `days` <= 0 it is set_date(now) itself, time included. Very
// large counts give negative years ("-001/12/31"), which compare as text
// before every real date.
[[nodiscard]] std::string cutoff_date(std::time_t now, int days);

}  // namespace plazet

#endif  // PLAZET_TEXT_DATE_H_
