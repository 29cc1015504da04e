#include "users/user_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr const char* kFile = "user.mst";
constexpr std::size_t kLineBytes = 999;

// The file as read once per request: its pieces as the reader cuts them and
// the records among them.
struct UserLines {
  LinedText lines;
  std::vector<MST_USER> records;
};

std::shared_ptr<const UserLines> load(Store& store) {
  const std::string path = store.path(kFile);
  return store.cache().get<UserLines>(path, [&] {
    UserLines file;
    UniqueFd fd = open_text_master(path);  // a missing file is created empty
    file.lines =
        LinedText(fd ? read_all(fd.get()).value_or(std::string()) : std::string(), kLineBytes);
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
      if (std::optional<MST_USER> user = parse_user_line(file.lines[i])) {
        file.records.push_back(std::move(*user));
      }
    }
    return file;
  });
}

// Rewrites the file from its pieces: `replace` gives a piece's new text (or
// nullopt to drop it). Pieces without any comma are dropped.
template <class Replace>
bool rewrite(Store& store, const WriteToken& w, Replace replace) {
  const std::string path = store.path(kFile);
  const auto loaded = load(store);
  const UserLines& file = *loaded;
  AtomicReplace out(w, path, path + ".tmp", 0666);
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    std::string_view line = file.lines[i];
    std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    std::optional<std::string> text = replace(line, line.substr(0, comma));
    if (text) out.write(*text);
  }
  bool ok = out.commit();
  store.cache().invalidate(path);
  return ok;
}

}  // namespace

std::optional<MST_USER> parse_user_line(std::string_view line) {
  std::string_view fields[11];
  const std::optional<std::string_view> rest = comma_fields(line, fields);
  if (!rest) return std::nullopt;
  MST_USER u;
  u.USER_ID = fit_field(fields[0], MST_USER::kIdWidth);
  u.USER_NAME = fit_field(fields[1], MST_USER::kNameWidth);
  u.USER_LEVEL = atol_prefix(fields[2]);
  u.E_MAIL_ADDR = fit_field(fields[3], MST_USER::kMailWidth);
  u.USER_PASS = fit_field(fields[4], MST_USER::kPassWidth);
  u.P_GROUP = atol_prefix(fields[5]);
  u.USER_DISP_DEF = atol_prefix(fields[6]);
  u.MODE = atol_prefix(fields[7]);
  u.WRITE_MODE = atol_prefix(fields[8]);
  u.LANGUAGE = fit_field(fields[9], MST_USER::kLanguageWidth);
  u.PICFILE = fit_field(fields[10], MST_USER::kPicfileWidth);
  const std::size_t comma = rest->find(',');
  u.NO_READ_MODE = comma == std::string_view::npos ? 0 : atol_prefix(rest->substr(0, comma));
  return u;
}

std::string format_user_line(const MST_USER& u) {
  auto cut = [](const std::string& s, std::size_t width) {
    return single_line(fit_field(s, width));
  };
  std::string line;
  line.reserve(256);
  for (const std::string& field :
       {cut(u.USER_ID, MST_USER::kIdWidth), cut(u.USER_NAME, MST_USER::kNameWidth),
        std::to_string(u.USER_LEVEL), cut(u.E_MAIL_ADDR, MST_USER::kMailWidth),
        cut(u.USER_PASS, MST_USER::kPassWidth), std::to_string(u.P_GROUP),
        std::to_string(u.USER_DISP_DEF), std::to_string(u.MODE), std::to_string(u.WRITE_MODE),
        cut(u.LANGUAGE, MST_USER::kLanguageWidth), cut(u.PICFILE, MST_USER::kPicfileWidth),
        std::to_string(u.NO_READ_MODE)}) {
    line += field;
    line += ',';
  }
  line += '\n';
  return line;
}

std::optional<MST_USER> ReadMST_USER(Store& store, std::string& id) {
  ToUppers(id);
  for (const MST_USER& user : load(store)->records) {
    std::string folded = user.USER_ID;
    ToUppers(folded);
    if (folded == id) {
      id = user.USER_ID;
      return user;
    }
  }
  return std::nullopt;
}

std::optional<MST_USER> ReadMST_USERcount(Store& store, std::size_t n) {
  const auto file = load(store);
  const std::vector<MST_USER>& records = file->records;
  if (n >= records.size()) return std::nullopt;
  return records[n];
}

bool ReWriteMST_USER(Store& store, const WriteToken& w, const MST_USER& user) {
  const std::string new_line = format_user_line(user);
  const std::string id = fit_field(user.USER_ID, MST_USER::kIdWidth);
  bool replaced = false;
  bool ok = rewrite(store, w, [&](std::string_view line, std::string_view first) {
    if (first != id) return std::optional<std::string>(line);
    replaced = true;
    return std::optional<std::string>(new_line);
  });
  return ok && replaced;
}

bool DeleteMST_USER(Store& store, const WriteToken& w, std::string_view id) {
  return rewrite(store, w, [&](std::string_view line, std::string_view first) {
    return first == id ? std::nullopt : std::optional<std::string>(line);
  });
}

std::shared_ptr<const LinedText> user_file_lines(Store& store) {
  std::shared_ptr<const UserLines> file = load(store);
  return std::shared_ptr<const LinedText>(file, &file->lines);
}

bool reset_primary_group(Store& store, const WriteToken& w, long group_no) {
  const auto file = load(store);
  const bool any = std::any_of(file->records.begin(), file->records.end(),
                               [&](const MST_USER& u) { return u.P_GROUP == group_no; });
  if (!any) return true;
  return rewrite(store, w, [&](std::string_view line, std::string_view) {
    std::optional<MST_USER> user = parse_user_line(line);
    if (!user || user->P_GROUP != group_no) return std::optional<std::string>(line);
    user->P_GROUP = 0;
    return std::optional<std::string>(format_user_line(*user));
  });
}

bool InsertMST_USER(Store& store, const WriteToken& w, const MST_USER& user) {
  const std::string path = store.path(kFile);
  bool ok = append_text_lines(w, path, format_user_line(user));
  store.cache().invalidate(path);
  return ok;
}

}  // namespace plazet
