#include "boards/read_marks.h"

#include <fcntl.h>

#include <algorithm>

#include "boards/mark_summary.h"
#include "boards/message_store.h"
#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr std::size_t kUnreadLineBytes = 299;

RecordFile<ReadPointCodec> mark_file(const Store& store, long board, long sel_no) {
  return RecordFile<ReadPointCodec>(board_dir(store, board) + "r" + std::to_string(sel_no) +
                                    ".dat");
}

std::string unread_path(const Store& store, long board) {
  return board_dir(store, board) + "unread.dat";
}

// The opt-out list's IDs, each without its LF and then one CR.
std::shared_ptr<const std::vector<std::string>> opt_outs(Store& store, long board) {
  const std::string path = unread_path(store, board);
  return store.cache().get<std::vector<std::string>>(path, [&] {
    std::vector<std::string> ids;
    std::optional<std::string> text = read_file(path);
    if (!text) return ids;
    LineReader lines(*text, kUnreadLineBytes);
    while (std::optional<std::string_view> line = lines.next()) {
      std::string_view id = *line;
      if (!id.empty() && id.back() == '\n') id.remove_suffix(1);
      if (!id.empty() && id.back() == '\r') id.remove_suffix(1);
      ids.emplace_back(id);
    }
    return ids;
  });
}

std::string mark_id(std::string_view user_id) {
  return fit_field(user_id, READ_POINT::kIdWidth);
}

}  // namespace

READ_POINT ReadPointCodec::decode(const unsigned char* p) {
  return READ_POINT{load_i32(p), load_text(p + 4, READ_POINT::kIdWidth)};
}

void ReadPointCodec::encode(const READ_POINT& r, unsigned char* p) {
  store_i32(p, r.SEL_NO);
  store_text(p + 4, READ_POINT::kIdWidth, r.USER_ID);
  store_i32(p + 28, 0);
}

std::vector<READ_POINT> readers_of(Store& store, long board, long sel_no) {
  return mark_file(store, board, sel_no).read_all_if_exists();
}

std::optional<READ_POINT> ReadREAD_POINT(Store& store, long board, long sel_no,
                                         std::string_view user_id) {
  const std::string id = mark_id(user_id);
  for (READ_POINT& mark : readers_of(store, board, sel_no)) {
    if (mark.USER_ID == id) return mark;
  }
  return std::nullopt;
}

std::optional<READ_POINT> ReadREAD_POINT2(Store& store, long board, long sel_no, std::size_t k) {
  std::vector<READ_POINT> marks = readers_of(store, board, sel_no);
  if (k >= marks.size()) return std::nullopt;
  return marks[k];
}

bool WriteREAD_POINT(Store& store, const WriteToken& w, long board, const READ_POINT& mark) {
  auto file = mark_file(store, board, mark.SEL_NO);
  if (!file_exists(board_dir(store, board))) return false;
  const std::string id = fit_field(mark.USER_ID, READ_POINT::kIdWidth);
  const std::vector<READ_POINT> marks = file.read_all();
  std::size_t i = 0;
  while (i < marks.size() && marks[i].USER_ID != id) ++i;
  // The ID as the file holds it once written.
  const std::string stored =
      ReadPointCodec::decode(
          reinterpret_cast<const unsigned char*>(RecordFile<ReadPointCodec>::encode(mark).data()))
          .USER_ID;
  // Writing a user's mark again (each view of a message does) changes no
  // count, whatever becomes of the write: the summary stays as it is.
  const bool append = i == marks.size();
  const bool same = !append && stored == marks[i].USER_ID;
  if (!same) summary_before_change(store, w, board);
  bool ok = append ? file.append(w, mark) : file.overwrite(w, i, mark);
  store.cache().invalidate(board_dir(store, board) + "index.dat#unread");
  if (append && ok) {
    summary_mark_added(store, board, mark.SEL_NO, stored);
  } else if (!same) {
    summary_lost(store, board);
  }
  return ok;
}

bool DeleteREAD_POINT(Store& store, const WriteToken& w, long board, long sel_no) {
  auto file = mark_file(store, board, sel_no);
  if (!file_exists(board_dir(store, board))) return true;
  summary_before_change(store, w, board);
  const std::vector<READ_POINT> old = file.read_all_if_exists();
  bool ok =
      file.replace_all(w, board_dir(store, board) + "R" + std::to_string(sel_no) + ".TMP", {});
  store.cache().invalidate(board_dir(store, board) + "index.dat#unread");
  if (ok) {
    summary_marks_emptied(store, board, static_cast<std::int32_t>(sel_no), old);
  } else {
    summary_lost(store, board);
  }
  return ok;
}

long CountREAD_POINT(Store& store, long board, std::string_view user_id) {
  const std::string id = mark_id(user_id);
  if (ChkUNREAD(store, board, id)) return 0;
  if (std::optional<long> unread = summary_unread(store, board, id)) return *unread;
  return literal_unread(store, board, id);
}

long literal_unread(Store& store, long board, std::string_view user_id) {
  const std::string id = mark_id(user_id);
  // Kept under the index's name, so a new message or a new mark drops it.
  return *store.cache().get<long>(board_dir(store, board) + "index.dat#unread#" + id, [&] {
    long unread = 0;
    UniqueFd dir(::open(board_dir(store, board).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto index = board_index(store, board);
    for (const IndexEntry& message : *index) {
      // A missing mark file is an unread message; one that cannot be read
      // leaves the board without a count.
      std::string name = "r";
      name += std::to_string(message.SEL_NO);
      name += ".dat";
      bool missing = false;
      std::optional<std::string> data = read_file_at(dir.get(), name.c_str(), missing);
      if (!data && !missing) return -1L;
      long read = 0;
      if (data) {
        for (const READ_POINT& mark : RecordFile<ReadPointCodec>::decode_all(*data)) {
          if (mark.USER_ID == id) ++read;
        }
      }
      unread += 1 - read;
    }
    return unread;
  });
}

std::vector<std::size_t> unread_messages(Store& store, long board, std::string_view user_id,
                                         long order) {
  std::vector<std::size_t> found;
  if (order < 1 || order > 3) return found;
  const std::string id = mark_id(user_id);
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;
  // Positions in listing order: the index order, or each number's first
  // record by ascending number.
  std::vector<std::size_t> listed;
  listed.reserve(index.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (order == 1 || index[i].SEL_NO >= 1) listed.push_back(i);
  }
  if (order != 1) {
    std::stable_sort(listed.begin(), listed.end(), [&](std::size_t a, std::size_t b) {
      return index[a].SEL_NO < index[b].SEL_NO;
    });
    listed.erase(std::unique(listed.begin(), listed.end(),
                             [&](std::size_t a, std::size_t b) {
                               return index[a].SEL_NO == index[b].SEL_NO;
                             }),
                 listed.end());
    if (order == 3) std::reverse(listed.begin(), listed.end());
  }
  UniqueFd dir(::open(board_dir(store, board).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (std::size_t i : listed) {
    // A mark file that is missing or cannot be read holds no mark.
    std::string name = "r";
    name += std::to_string(index[i].SEL_NO);
    name += ".dat";
    bool missing = false;
    std::optional<std::string> data = read_file_at(dir.get(), name.c_str(), missing);
    bool read = false;
    if (data) {
      for (const READ_POINT& mark : RecordFile<ReadPointCodec>::decode_all(*data)) {
        read = read || mark.USER_ID == id;
      }
    }
    if (!read) found.push_back(i);
  }
  return found;
}

std::optional<int> ChkUNREAD(Store& store, long board, std::string_view user_id) {
  const auto loaded = opt_outs(store, board);
  const std::vector<std::string>& ids = *loaded;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == user_id) return static_cast<int>(i + 1);
  }
  return std::nullopt;
}

int WriteUNREAD(Store& store, const WriteToken& w, long board, std::string_view user_id) {
  const std::string path = unread_path(store, board);
  if (ChkUNREAD(store, board, user_id)) return kAlreadyListed;
  if (!ensure_directory(board_dir(store, board))) return -1;
  summary_before_change(store, w, board);
  bool ok = append_text_lines(w, path, std::string(user_id) + "\n");
  store.cache().invalidate(path);
  return ok ? 0 : -1;
}

bool DeleteUNREAD(Store& store, const WriteToken& w, long board, std::string_view user_id) {
  const std::string path = unread_path(store, board);
  if (!file_exists(path)) return false;
  summary_before_change(store, w, board);
  std::string text;
  bool removed = false;
  const auto ids = opt_outs(store, board);
  for (const std::string& id : *ids) {
    if (id == user_id) {
      removed = true;
    } else {
      text += id + "\n";
    }
  }
  bool ok = replace_file(w, path, path + ".tmp", text, 0666);
  store.cache().invalidate(path);
  return ok && removed;
}

}  // namespace plazet
