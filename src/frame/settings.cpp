#include "frame/settings.h"

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"

namespace plazet {
namespace {

constexpr std::size_t kIniPathCapacity = 300;
constexpr std::size_t kLineBytes = 999;

void assign(SYSINFO& sys, std::string_view key, std::string_view value) {
  for (const TextKey& k : text_settings()) {
    if (key == k.key) {
      sys.*k.field = fit_field(value, k.capacity);
      return;
    }
  }
  for (const NumberKey& k : number_settings()) {
    if (key == k.key) {
      sys.*k.field = static_cast<int>(atol_prefix(value));
      return;
    }
  }
}

void append_line(std::string& out, const char* key, std::string_view value) {
  out += key;
  out += ',';
  out += value;
  out += ",\n";
}

}  // namespace

SYSINFO SYSINFO::new_file_values() {
  SYSINFO sys;
  sys.LANGUAGE = "japan.lng";
  sys.CG_FILE_PATH = "/usr/local/www/data/plazetpic/";
  sys.CG_FILE_WEB_PATH = "/plazetpic/";
  sys.DATA_FILE_PATH = "/usr/local/www/cgi-bin/plazetdata/";
  sys.ADD_FILE_PATH = "/usr/local/www/data/plazetpic/";
  sys.ADD_FILE_WEB_PATH = "/plazetpic/";
  sys.LOGIN_GIF = "title.jpg";
  sys.BACK_GIF = "back.gif";
  sys.LOG_DATE = "365";
  return sys;
}

std::string make_ini_path(std::string_view program_path) {
  std::string path(program_path.substr(0, kIniPathCapacity - 1 - 4));
  if (path.size() > 4) {
    for (std::size_t i = path.size() - 1; i >= 1; --i) {
      if (path[i] == '.') {
        path.resize(i);
        break;
      }
    }
  }
  return path + ".ini";
}

std::string format_settings(const SYSINFO& sys) {
  std::string out;
  append_line(out, "LANGUAGE", sys.LANGUAGE);
  append_line(out, "CG_FILE_PATH", sys.CG_FILE_PATH);
  append_line(out, "CG_FILE_WEB_PATH", sys.CG_FILE_WEB_PATH);
  append_line(out, "DATA_FILE_PATH", sys.DATA_FILE_PATH);
  append_line(out, "ADD_FILE_PATH", sys.ADD_FILE_PATH);
  append_line(out, "ADD_FILE_WEB_PATH", sys.ADD_FILE_WEB_PATH);
  append_line(out, "LOGIN_GIF", sys.LOGIN_GIF);
  append_line(out, "BACK_GIF", sys.BACK_GIF);
  append_line(out, "LOG_DATE", sys.LOG_DATE);
  append_line(out, "DATETIME", std::to_string(sys.DATETIME));
  append_line(out, "IECOLS", std::to_string(sys.IECOLS));
  append_line(out, "NSCOLS", std::to_string(sys.NSCOLS));
  append_line(out, "ROWS", std::to_string(sys.ROWS));
  append_line(out, "MYDATA", std::to_string(sys.MYDATA));
  append_line(out, "MAX_CONTENTS", std::to_string(sys.MAX_CONTENTS));
  if (!sys.LOGOFF_URL.empty()) append_line(out, "LOGOFF_URL", sys.LOGOFF_URL);
  append_line(out, "FRAME_DIVIDE", std::to_string(sys.FRAME_DIVIDE));
  return out;
}

SYSINFO read_settings(const std::string& ini_file) {
  std::optional<std::string> text = read_file(ini_file);
  if (!text) {
    // A missing file is created with the installation defaults. When it
    // cannot be created the request still runs with those values.
    SYSINFO sys = SYSINFO::new_file_values();
    (void)create_file_exclusive(ini_file, format_settings(sys), 0644);
    return sys;
  }
  SYSINFO sys;
  LineReader lines(*text, kLineBytes);
  while (std::optional<std::string_view> line = lines.next()) {
    if (line->size() <= 1) continue;
    std::vector<std::string_view> tokens = split_tokens(*line, ",\n", 2);
    if (tokens.size() == 2) assign(sys, tokens[0], tokens[1]);
  }
  return sys;
}

bool SysFileWrite(const WriteToken& token, const std::string& ini_file, const SYSINFO& sys) {
  return replace_file(token, ini_file, ini_file + ".tmp", format_settings(sys), 0644);
}

std::span<const NumberKey> number_settings() {
  static constexpr NumberKey kNumberKeys[] = {
      {"DATETIME", &SYSINFO::DATETIME},
      {"IECOLS", &SYSINFO::IECOLS},
      {"NSCOLS", &SYSINFO::NSCOLS},
      {"ROWS", &SYSINFO::ROWS},
      {"MYDATA", &SYSINFO::MYDATA},
      {"MAX_CONTENTS", &SYSINFO::MAX_CONTENTS},
      {"FRAME_DIVIDE", &SYSINFO::FRAME_DIVIDE},
  };
  return kNumberKeys;
}

std::span<const TextKey> text_settings() {
  static constexpr TextKey kTextKeys[] = {
      {"LANGUAGE", &SYSINFO::LANGUAGE, SYSINFO::kPathCapacity},
      {"CG_FILE_PATH", &SYSINFO::CG_FILE_PATH, SYSINFO::kPathCapacity},
      {"CG_FILE_WEB_PATH", &SYSINFO::CG_FILE_WEB_PATH, SYSINFO::kPathCapacity},
      {"DATA_FILE_PATH", &SYSINFO::DATA_FILE_PATH, SYSINFO::kPathCapacity},
      {"ADD_FILE_PATH", &SYSINFO::ADD_FILE_PATH, SYSINFO::kPathCapacity},
      {"ADD_FILE_WEB_PATH", &SYSINFO::ADD_FILE_WEB_PATH, SYSINFO::kPathCapacity},
      {"LOGIN_GIF", &SYSINFO::LOGIN_GIF, SYSINFO::kPictureCapacity},
      {"BACK_GIF", &SYSINFO::BACK_GIF, SYSINFO::kPictureCapacity},
      {"LOG_DATE", &SYSINFO::LOG_DATE, SYSINFO::kLogDateCapacity},
      {"LOGOFF_URL", &SYSINFO::LOGOFF_URL, SYSINFO::kPathCapacity},
  };
  return kTextKeys;
}

}  // namespace plazet
