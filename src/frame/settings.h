// The settings file next to the program ("plazet.cgi" -> "plazet.ini"): one
// setting a line, "KEY,VALUE,". Read at the start of every request; created
// with the installation defaults when missing; rewritten by the settings page.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "store/data_lock.h"

namespace plazet {

struct SYSINFO {
  // Capacities of the text settings; a setting holds at most capacity - 1 bytes.
  static constexpr std::size_t kPathCapacity = 1002;
  static constexpr std::size_t kPictureCapacity = 252;
  static constexpr std::size_t kLogDateCapacity = 10;

  std::string LANGUAGE = "japan.lng";
  std::string CG_FILE_PATH;
  std::string CG_FILE_WEB_PATH;
  std::string DATA_FILE_PATH;
  std::string ADD_FILE_PATH;
  std::string ADD_FILE_WEB_PATH;
  std::string LOGIN_GIF;
  std::string BACK_GIF;
  std::string LOG_DATE;
  int DATETIME = 1;
  int IECOLS = 80;
  int NSCOLS = 60;
  int ROWS = 8;
  int MYDATA = 0;
  int MAX_CONTENTS = 4000;
  std::string LOGOFF_URL;
  int FRAME_DIVIDE = 20;

  // The values a new installation's settings file is written with.
  [[nodiscard]] static SYSINFO new_file_values();
};

// A text setting: its key in the file, its member and its capacity.
struct TextKey {
  const char* key;
  std::string SYSINFO::*field;
  std::size_t capacity;
};
// Every text setting, in the file's order.
[[nodiscard]] std::span<const TextKey> text_settings();

// A number setting: its key in the file and its member.
struct NumberKey {
  const char* key;
  int SYSINFO::*field;
};
// Every number setting.
[[nodiscard]] std::span<const NumberKey> number_settings();

// "/cgi-bin/plazet.cgi" -> "/cgi-bin/plazet.ini": the path is cut at its last
// "." (index 0 is never examined, and a "." in a directory counts when the
// file name has none), then ".ini" is appended. At most 299 bytes.
[[nodiscard]] std::string make_ini_path(std::string_view program_path);

// Reads the settings file, or creates it with the new-file values when it is
// missing (the request then runs with exactly the values written).
[[nodiscard]] SYSINFO read_settings(const std::string& ini_file);

// The file's text for `sys`, one line per setting; LOGOFF_URL only when set.
[[nodiscard]] std::string format_settings(const SYSINFO& sys);

// Rewrites the whole settings file atomically; no reader ever finds it
// missing or half written.
[[nodiscard]] bool SysFileWrite(const WriteToken& token, const std::string& ini_file,
                                const SYSINFO& sys);

}  // namespace plazet
