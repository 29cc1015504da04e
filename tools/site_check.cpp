#include "site_check.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "boards/mark_summary.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "chat/chat_store.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/data_lock.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "store/record_file.h"
#include "store/store.h"
#include "text/sjis.h"
#include "users/guest_user.h"
#include "users/session_file.h"

namespace plazet {
namespace {

// The text masters are read in pieces of at most this many bytes.
constexpr std::size_t kLineBytes = 999;
// The program sweeps its uploads once they are an hour old.
constexpr std::time_t kUploadLifetime = 3600;

struct Entry {
  std::string name;
  bool is_dir = false;
  std::time_t mtime = 0;
};

// The entries of a directory, by name; none when it cannot be read.
std::vector<Entry> entries_of(const std::string& dir) {
  std::vector<Entry> entries;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return entries;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::lstat((dir + name).c_str(), &st) != 0) continue;
    entries.push_back({name, S_ISDIR(st.st_mode), st.st_mtime});
  }
  ::closedir(d);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

// The number a name like "12" (digits only) or "x12" / "r12.dat" stands for.
std::optional<long> number_in(std::string_view name, std::string_view prefix,
                              std::string_view suffix) {
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
  name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (name.empty() || name.size() > 9) return std::nullopt;
  if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return atol_prefix(name);
}

bool ends_with_nocase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - static_cast<long>(tail.size()),
                    [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

// The work names of the rewrites: "<file>.tmp" or ".TMP", the tree move's
// ".ORG" and ".SEP", and ".new<pid>" of a file created whole.
bool is_work_file(std::string_view name) {
  if (ends_with_nocase(name, ".tmp")) return true;
  if (name.ends_with(".ORG") || name.ends_with(".SEP")) return true;
  std::size_t dot = name.rfind(".new");
  return dot != std::string_view::npos &&
         std::all_of(name.begin() + static_cast<long>(dot) + 4, name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::string n(long v) {
  return std::to_string(v);
}

std::string record_at(std::size_t i) {
  return "record " + n(static_cast<long>(i + 1));
}

std::string line_at(std::size_t i) {
  return "line " + n(static_cast<long>(i + 1));
}

const char* kind_name(int mode) {
  return mode == B_TITLE::kBoard ? "a Board" : mode == B_TITLE::kChat ? "a Chat" : "a Dir";
}

class Checker {
 public:
  Checker(const SitePlaces& places, std::time_t now) : places_(places), now_(now) {}

  std::vector<Finding> run();

 private:
  void report(const std::string& file, std::string where, std::string problem) {
    findings_.push_back({file, std::move(where), std::move(problem)});
  }

  std::optional<std::string> whole_records(const std::string& path, std::size_t size);
  template <class Codec>
  std::vector<typename Codec::Record> records(const std::string& path) {
    std::optional<std::string> data = whole_records(path, Codec::kSize);
    return data ? RecordFile<Codec>::decode_all(*data) : std::vector<typename Codec::Record>();
  }
  // Each piece of a text master without its line feed; nothing when the
  // file is missing.
  template <class Each>
  void lines_of(const std::string& path, Each each) {
    std::optional<std::string> text = read_file(path);
    if (!text) return;
    LineReader reader(*text, kLineBytes);
    std::size_t i = 0;
    while (std::optional<std::string_view> piece = reader.next()) {
      std::string_view line = *piece;
      if (line.ends_with('\n')) line.remove_suffix(1);
      each(i++, line);
    }
  }

  void check_fields(const std::string& name, std::size_t fields);
  void check_users();
  void check_groups();
  void check_log();
  void check_tree();
  void check_settings();
  void check_other_records();
  void check_board(long board);
  void check_mark_summary(long board);
  void check_attachment_files(long board, const std::map<long, std::size_t>& messages,
                              const std::vector<ADD_FILE>& attachments);
  void check_folder_dirs(const std::string& root);
  void check_work_files(const std::string& dir);
  void check_uploads();

  const SitePlaces& places_;
  std::time_t now_;
  Store store_{places_.data_dir};
  std::set<long> folders_;  // numbers of the folders in the tree
  std::vector<Finding> findings_;
};

std::optional<std::string> Checker::whole_records(const std::string& path, std::size_t size) {
  std::optional<std::string> data = read_file(path);
  if (data && data->size() % size != 0) {
    report(path, "",
           n(static_cast<long>(data->size())) + " bytes, not a whole number of " +
               n(static_cast<long>(size)) + "-byte records");
  }
  return data;
}

// The comma-ended fields of a line; text after the last comma counts as one
// more (unended) field.
std::size_t fields_of(std::string_view line) {
  std::size_t commas = static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
  return commas + (line.empty() || line.back() == ',' ? 0 : 1);
}

void Checker::check_fields(const std::string& name, std::size_t fields) {
  const std::string path = store_.path(name);
  lines_of(path, [&](std::size_t i, std::string_view line) {
    std::size_t found = fields_of(line);
    if (found != fields) {
      report(path, line_at(i),
             n(static_cast<long>(found)) + (found == 1 ? " field" : " fields") +
                 " where a line has " + n(static_cast<long>(fields)));
    }
  });
}

void Checker::check_users() {
  check_fields("user.mst", 12);
  for (const char* sorted : {"user2.mst", "user3.mst", "user4.mst"}) check_fields(sorted, 10);
  // Log-in finds the first line of an ID in any letter case.
  const std::string path = store_.path("user.mst");
  std::map<std::string, std::size_t> first_line;
  lines_of(path, [&](std::size_t i, std::string_view line) {
    if (fields_of(line) != 12) return;
    std::string id(line.substr(0, line.find(',')));
    ToUppers(id);
    auto [at, added] = first_line.emplace(id, i);
    if (!added) report(path, line_at(i), "the ID is also on " + line_at(at->second));
  });
}

void Checker::check_groups() {
  check_fields("group.mst", 2);
  check_fields("g_user.mst", 2);
  const std::string path = store_.path("group.mst");
  std::map<long, std::size_t> first_line;
  lines_of(path, [&](std::size_t i, std::string_view line) {
    if (fields_of(line) != 2) return;
    long number = atol_prefix(line);
    if (number < 1) {
      report(path, line_at(i), "group number " + n(number));
      return;
    }
    auto [at, added] = first_line.emplace(number, i);
    if (!added)
      report(path, line_at(i), "group " + n(number) + " is also on " + line_at(at->second));
  });
}

// "YYYY/MM/DD hh:mm"
bool is_time(std::string_view t) {
  constexpr std::string_view kShape = "dddd/dd/dd dd:dd";
  if (t.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    bool digit = t[i] >= '0' && t[i] <= '9';
    if (kShape[i] == 'd' ? !digit : t[i] != kShape[i]) return false;
  }
  return true;
}

void Checker::check_log() {
  // LOG_TIME,USER_ID,login|write,FOLDER_NO,REMOTE_ADDR,HTTP_USER_AGENT: the
  // browser's name may hold commas of its own.
  const std::string path = store_.path("system.log");
  lines_of(path, [&](std::size_t i, std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; fields.size() < 3;) {
      std::optional<std::size_t> comma = StrFind(line.substr(at), ",");
      if (!comma) break;
      fields.push_back(line.substr(at, *comma));
      at += *comma + 1;
    }
    if (fields.size() < 3 || std::count(line.begin(), line.end(), ',') < 5) {
      report(path, line_at(i), "fewer than the 6 fields of a log line");
    } else if (!is_time(fields[0])) {
      report(path, line_at(i),
             "the time \"" + std::string(fields[0]) + "\" is no YYYY/MM/DD hh:mm");
    } else if (fields[2] != "login" && fields[2] != "write") {
      report(path, line_at(i),
             "the kind \"" + std::string(fields[2]) + "\" is neither login nor write");
    }
  });
}

void Checker::check_tree() {
  const std::string path = store_.path("b_title.mst");
  const auto tree = folder_tree(store_);
  const std::vector<B_TITLE>& folders = *tree;
  // Physical line (1-based) of each folder; the other lines are no folders.
  std::vector<int> line_of(folders.size());
  std::set<int> folder_lines;
  for (std::size_t p = 0; p < folders.size(); ++p) {
    line_of[p] = physical_line_of(store_, static_cast<int>(p + 1));
    folder_lines.insert(line_of[p]);
  }
  lines_of(path, [&](std::size_t i, std::string_view) {
    if (!folder_lines.count(static_cast<int>(i + 1))) {
      report(path, line_at(i), "fewer than the 3 fields of a folder line");
    }
  });
  std::map<long, int> first_line;
  for (std::size_t p = 0; p < folders.size(); ++p) {
    const B_TITLE& f = folders[p];
    const std::string where = "line " + n(line_of[p]);
    if (f.FOLDER_NO < 1) report(path, where, "folder number " + n(f.FOLDER_NO));
    if (f.MODE == 0) report(path, where, "the kind is none of Dir, Board, Chat");
    auto [at, added] = first_line.emplace(f.FOLDER_NO, line_of[p]);
    if (!added) {
      report(path, where, "folder " + n(f.FOLDER_NO) + " is also on line " + n(at->second));
    }
    folders_.insert(f.FOLDER_NO);
    if (p == 0) {
      if (f.DEPTH > 0) report(path, where, "depth " + n(f.DEPTH) + " at the top of the tree");
      continue;
    }
    if (f.DEPTH > folders[p - 1].DEPTH + 1) {
      report(path, where,
             "depth " + n(f.DEPTH) + " right below a line of depth " + n(folders[p - 1].DEPTH));
      continue;
    }
    for (std::size_t up = p; up-- > 0;) {
      if (folders[up].DEPTH >= f.DEPTH) continue;
      if (folders[up].MODE != B_TITLE::kDir) {
        report(path, where,
               "inside " + std::string(kind_name(folders[up].MODE)) + " (line " + n(line_of[up]) +
                   ")");
      }
      break;
    }
  }
}

void Checker::check_settings() {
  const std::string path = store_.path("b_title2.mst");
  const std::vector<B_TITLE2> settings = records<BTitle2Codec>(path);
  std::map<long, std::size_t> first;
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const long folder = settings[i].FOLDER_NO;
    auto [at, added] = first.emplace(folder, i);
    if (!added) {
      report(path, record_at(i),
             "folder " + n(folder) + " has settings at " + record_at(at->second));
    } else if (!folders_.count(folder)) {
      report(path, record_at(i), "settings of folder " + n(folder) + ", which does not exist");
    }
  }
}

void Checker::check_other_records() {
  (void)whole_records(store_.path("b_g_acl.mst"), BGAclCodec::kSize);
  (void)whole_records(store_.path("b_u_acl.mst"), BUAclCodec::kSize);
  (void)whole_records(store_.path("skey.mst"), MstSkeyCodec::kSize);
  const std::string path = guest_user_path(store_);
  const std::vector<GUEST_USER> applications = records<GuestUserCodec>(path);
  for (std::size_t i = 0; i < applications.size(); ++i) {
    const std::int32_t state = applications[i].OK_NG;
    if (state < GUEST_USER::kPending || state > GUEST_USER::kRefused) {
      report(path, record_at(i), "state " + n(state) + " is none of 0, 1, 2");
    }
  }
}

void Checker::check_board(long board) {
  const std::string dir = board_dir(store_, board);
  const std::string index_path = dir + "index.dat";
  const std::vector<INDEX_DATA> index = records<IndexDataCodec>(index_path);
  std::map<long, std::size_t> messages;  // number -> first record
  for (std::size_t i = 0; i < index.size(); ++i) {
    const INDEX_DATA& r = index[i];
    if (r.SEL_NO < 1) report(index_path, record_at(i), "message number " + n(r.SEL_NO));
    if (r.FOLDER_NO != board) {
      report(index_path, record_at(i), "a message of board " + n(r.FOLDER_NO));
    }
    auto [at, added] = messages.emplace(r.SEL_NO, i);
    if (!added) {
      report(index_path, record_at(i),
             "message " + n(r.SEL_NO) + " is also " + record_at(at->second));
    }
  }
  const std::string add_path = dir + "add_file.dat";
  const std::vector<ADD_FILE> attachments = records<AddFileCodec>(add_path);
  for (std::size_t i = 0; i < attachments.size(); ++i) {
    if (!messages.count(attachments[i].SEL_NO)) {
      report(add_path, record_at(i),
             "attachment of message " + n(attachments[i].SEL_NO) + ", which does not exist");
    }
  }
  for (const Entry& e : entries_of(dir)) {
    std::optional<long> m = number_in(e.name, "r", ".dat");
    if (!m || e.is_dir) continue;
    const std::string path = dir + e.name;
    const std::vector<READ_POINT> marks = records<ReadPointCodec>(path);
    // Deleting a message empties its marks file; a mark left in one is not.
    if (!marks.empty() && !messages.count(*m)) {
      report(path, "", "read marks of message " + n(*m) + ", which does not exist");
      continue;
    }
    for (std::size_t i = 0; i < marks.size(); ++i) {
      if (marks[i].SEL_NO != *m) {
        report(path, record_at(i), "a mark of message " + n(marks[i].SEL_NO));
      }
    }
  }
  check_mark_summary(board);
  check_attachment_files(board, messages, attachments);
}

// A summary the program would trust (its stamp matches the index and the
// directory) must hold what the mark files hold: a change the stamp cannot
// see, such as a mark appended to an existing r<m>.dat by another program,
// shows here.
void Checker::check_mark_summary(long board) {
  const std::optional<MarkTallies> summary = read_mark_summary(store_, board);
  if (!summary) return;
  const std::optional<MarkTallies> files = tally_marks(store_, board);
  const std::string path = board_dir(store_, board) + "marks.idx";
  if (!files) {
    report(path, "", "a summary of mark files that cannot be read");
    return;
  }
  MarkTallies all = *summary;
  all.insert(files->begin(), files->end());
  for (const auto& [id, unused] : all) {
    auto said = summary->find(id);
    auto found = files->find(id);
    const std::int64_t a = said == summary->end() ? 0 : said->second;
    const std::int64_t b = found == files->end() ? 0 : found->second;
    if (a != b) {
      report(path, "user " + id,
             "summary counts " + std::to_string(a) + " read marks, the mark files " +
                 std::to_string(b));
    }
  }
}

// <ADD_FILE_PATH><board>/x<m>/<slot>/<name>: files of messages that are gone,
// and "<name>.tmp" that a move into a slot left behind (unless the
// attachment itself bears that name).
void Checker::check_attachment_files(long board, const std::map<long, std::size_t>& messages,
                                     const std::vector<ADD_FILE>& attachments) {
  const std::string dir = places_.attachment_dir + n(board) + "/";
  for (const Entry& message : entries_of(dir)) {
    std::optional<long> m = number_in(message.name, "x", "");
    if (!m || !message.is_dir) continue;
    const std::string message_dir = dir + message.name + "/";
    if (!messages.count(*m)) {
      report(message_dir, "", "attachment files of message " + n(*m) + ", which does not exist");
      continue;
    }
    for (const Entry& slot : entries_of(message_dir)) {
      if (!slot.is_dir) continue;
      for (const Entry& file : entries_of(message_dir + slot.name + "/")) {
        if (file.is_dir || !ends_with_nocase(file.name, ".tmp")) continue;
        bool named = std::any_of(attachments.begin(), attachments.end(), [&](const ADD_FILE& a) {
          return a.SEL_NO == *m && n(a.FILE_NO) == slot.name && a.FILE_NAME == file.name;
        });
        if (!named)
          report(message_dir + slot.name + "/" + file.name, "", "temporary file left behind");
      }
    }
  }
}

// Numbered directories of folders that are gone. Deleting a folder empties
// them and leaves them; one that still holds something was not deleted whole.
void Checker::check_folder_dirs(const std::string& root) {
  for (const Entry& e : entries_of(root)) {
    std::optional<long> folder = number_in(e.name, "", "");
    if (!folder || !e.is_dir || folders_.count(*folder)) continue;
    std::size_t held = entries_of(root + e.name + "/").size();
    if (held > 0) {
      report(root + e.name + "/", "",
             "directory of folder " + n(*folder) + ", which does not exist, holds " +
                 n(static_cast<long>(held)) + (held == 1 ? " entry" : " entries"));
    }
  }
}

void Checker::check_work_files(const std::string& dir) {
  for (const Entry& e : entries_of(dir)) {
    if (!e.is_dir && is_work_file(e.name)) report(dir + e.name, "", "temporary file left behind");
  }
}

void Checker::check_uploads() {
  for (const Entry& e : entries_of(places_.program_dir)) {
    if (e.is_dir || !number_in(e.name, "CGI", "")) continue;
    if (now_ - e.mtime > kUploadLifetime) {
      report(
          places_.program_dir + e.name, "",
          "upload left behind (" + n(static_cast<long>((now_ - e.mtime) / 60)) + " minutes old)");
    }
  }
}

std::vector<Finding> Checker::run() {
  struct stat st {};
  if (::stat(places_.data_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    report(places_.data_dir, "", "no data directory");
    return findings_;
  }
  // A request writing meanwhile would show half its work; readers share.
  std::optional<DataLock> lock;
  if (file_exists(places_.data_dir + DataLock::kLockFileName)) {
    lock.emplace(DataLock::acquire(places_.data_dir, LockMode::kShared));
  }
  check_users();
  check_groups();
  check_log();
  check_tree();
  check_settings();
  check_other_records();
  check_work_files(places_.data_dir);
  std::set<long> seen;
  for (const B_TITLE& f : *folder_tree(store_)) {
    if (!seen.insert(f.FOLDER_NO).second) continue;
    const std::string dir = board_dir(store_, f.FOLDER_NO);
    if (f.MODE == B_TITLE::kBoard) check_board(f.FOLDER_NO);
    if (f.MODE == B_TITLE::kChat) {
      (void)whole_records(dir + "chat.idx", ChatIdxCodec::kSize);
      (void)whole_records(dir + "chat.dat", ChatDataCodec::kSize);
    }
    check_work_files(dir);
  }
  check_folder_dirs(places_.data_dir);
  check_folder_dirs(places_.attachment_dir);
  check_work_files(places_.program_dir);
  check_uploads();
  return findings_;
}

}  // namespace

std::vector<Finding> check_site(const SitePlaces& places, std::time_t now) {
  return Checker(places, now).run();
}

std::string format_finding(const Finding& f) {
  return f.file + ": " + (f.where.empty() ? "" : f.where + ": ") + f.problem;
}

}  // namespace plazet
