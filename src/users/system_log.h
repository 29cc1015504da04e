// system.log, the access log: one event a line, in the order they happened,
//   LOG_TIME,USER_ID,login|write,FOLDER_NO,REMOTE_ADDR,HTTP_USER_AGENT
// written only while the setting LOG_DATE is above 0 and pruned by date.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct SYSTEM_LOG {
  static constexpr int kLogin = 1;
  static constexpr int kWrite = 2;

  std::string USER_ID;
  std::string LOG_TIME;
  int LOG_KIND = 0;
  long FOLDER_NO = 0;
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;
};

// What the log holds about one user.
struct LogCounts {
  std::string last_login;  // time of the last log-in line, or ""
  long logins = 0;
  long writes = 0;
};

// True when the setting LOG_DATE (its value) switches logging on.
[[nodiscard]] bool logging_on(std::string_view LOG_DATE);

// Appends the line for `entry`.
[[nodiscard]] bool WriteSYSTEM_LOG(Store& store, const WriteToken& w, const SYSTEM_LOG& entry);

// The counts of the user `id` (exact comparison); nullopt when there is no
// log file. The log is read once per request for every user asked about.
[[nodiscard]] std::optional<LogCounts> ReadSYSTEM_LOG(Store& store, std::string_view id);

// Keeps only the lines whose date (first ten bytes) is later than the date
// of `cutoff`.
[[nodiscard]] bool DeleteSYSTEM_LOG(Store& store, const WriteToken& w, std::string_view cutoff);

}  // namespace plazet
