#include "users/system_log.h"

#include <array>
#include <unordered_map>

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr const char* kFile = "system.log";
constexpr std::size_t kLineBytes = 999;
constexpr std::size_t kClientBytes = 250;

struct LogSummary {
  bool exists = false;
  std::unordered_map<std::string, LogCounts> users;
};

// The first three fields of a line, split at commas found by the two-byte
// rule; nullopt when a comma is missing.
std::optional<std::array<std::string_view, 3>> leading_fields(std::string_view line) {
  std::array<std::string_view, 3> fields;
  for (std::string_view& field : fields) {
    std::optional<std::size_t> comma = StrFind(line, ",");
    if (!comma) return std::nullopt;
    field = line.substr(0, *comma);
    line.remove_prefix(*comma + 1);
  }
  return fields;
}

std::shared_ptr<const LogSummary> summary(Store& store) {
  const std::string path = store.path(kFile);
  return store.cache().get<LogSummary>(path, [&] {
    LogSummary s;
    std::optional<std::string> text = read_file(path);
    if (!text) return s;
    s.exists = true;
    LineReader lines(*text, kLineBytes);
    while (std::optional<std::string_view> line = lines.next()) {
      auto fields = leading_fields(*line);
      if (!fields) continue;
      auto [time, id, kind] = *fields;
      if (kind == "login") {
        LogCounts& c = s.users[std::string(id)];
        ++c.logins;
        c.last_login = std::string(time);
      } else if (kind == "write") {
        ++s.users[std::string(id)].writes;
      }
    }
    return s;
  });
}

}  // namespace

bool logging_on(std::string_view LOG_DATE) {
  return atol_prefix(LOG_DATE) > 0;
}

bool WriteSYSTEM_LOG(Store& store, const WriteToken& w, const SYSTEM_LOG& e) {
  const std::string path = store.path(kFile);
  // A line break in a value (the client's own addresses included) would
  // forge a line of the log: it is written as a blank.
  std::string line =
      single_line(fit_field(e.LOG_TIME, 22)) + "," + single_line(fit_field(e.USER_ID, 22)) + "," +
      (e.LOG_KIND == SYSTEM_LOG::kLogin ? "login" : "write") + "," + std::to_string(e.FOLDER_NO) +
      "," + single_line(e.REMOTE_ADDR.substr(0, kClientBytes)) + "," +
      single_line(e.HTTP_USER_AGENT.substr(0, kClientBytes)) + "\n";
  bool ok = append_text_lines(w, path, line);
  store.cache().invalidate(path);
  return ok;
}

std::optional<LogCounts> ReadSYSTEM_LOG(Store& store, std::string_view id) {
  const auto loaded = summary(store);
  const LogSummary& s = *loaded;
  if (!s.exists) return std::nullopt;
  auto it = s.users.find(std::string(id));
  return it == s.users.end() ? LogCounts{} : it->second;
}

bool DeleteSYSTEM_LOG(Store& store, const WriteToken& w, std::string_view cutoff) {
  const std::string path = store.path(kFile);
  std::optional<std::string> text = read_file(path);
  if (!text) return true;
  const std::string_view cut_date = cutoff.substr(0, 10);
  AtomicReplace out(w, path, path + ".tmp", 0666);
  LineReader lines(*text, kLineBytes);
  while (std::optional<std::string_view> line = lines.next()) {
    if (line->substr(0, 10) > cut_date) out.write(*line);
  }
  bool ok = out.commit();
  store.cache().invalidate(path);
  return ok;
}

}  // namespace plazet
