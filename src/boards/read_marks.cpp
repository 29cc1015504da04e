#include "boards/read_marks.h"

#include <fcntl.h>

#include <algorithm>

#include "boards/message_store.h"
#include "folders/access.h"
#include "folders/folder_tree.h"
#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr std::size_t kUnreadLineBytes = 299;

RecordFile<ReadPointCodec> mark_file(const Request& req, long board, long sel_no) {
  return RecordFile<ReadPointCodec>(board_dir(req, board) + "r" + std::to_string(sel_no) + ".dat");
}

std::string unread_path(const Request& req, long board) {
  return board_dir(req, board) + "unread.dat";
}

// The opt-out list's IDs, each without its LF and then one CR.
const std::vector<std::string>& opt_outs(Request& req, long board) {
  const std::string path = unread_path(req, board);
  return req.cache.get<std::vector<std::string>>(path, [&] {
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

std::string user_id(const Request& req) {
  return req.user ? fit_field(req.user->USER_ID, READ_POINT::kIdWidth) : std::string();
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

std::vector<READ_POINT> readers_of(Request& req, long board, long sel_no) {
  return mark_file(req, board, sel_no).read_all_if_exists();
}

std::optional<READ_POINT> ReadREAD_POINT(Request& req, long board, long sel_no) {
  const std::string id = user_id(req);
  for (READ_POINT& mark : readers_of(req, board, sel_no)) {
    if (mark.USER_ID == id) return mark;
  }
  return std::nullopt;
}

std::optional<READ_POINT> ReadREAD_POINT2(Request& req, long board, long sel_no, std::size_t k) {
  std::vector<READ_POINT> marks = readers_of(req, board, sel_no);
  if (k >= marks.size()) return std::nullopt;
  return marks[k];
}

bool WriteREAD_POINT(Request& req, long board, const READ_POINT& mark) {
  const WriteToken& token = req.write_token();
  auto file = mark_file(req, board, mark.SEL_NO);
  if (!file_exists(board_dir(req, board))) return false;
  const std::string id = fit_field(mark.USER_ID, READ_POINT::kIdWidth);
  const std::vector<READ_POINT> marks = file.read_all();
  std::size_t i = 0;
  while (i < marks.size() && marks[i].USER_ID != id) ++i;
  bool ok = i < marks.size() ? file.overwrite(token, i, mark) : file.append(token, mark);
  req.cache.invalidate(board_dir(req, board) + "index.dat#unread");
  return ok;
}

void DeleteREAD_POINT(Request& req, long board, long sel_no) {
  const WriteToken& token = req.write_token();
  auto file = mark_file(req, board, sel_no);
  if (!file_exists(board_dir(req, board))) return;
  (void)file.replace_all(token, board_dir(req, board) + "R" + std::to_string(sel_no) + ".TMP", {});
  req.cache.invalidate(board_dir(req, board) + "index.dat#unread");
}

long CountREAD_POINT(Request& req, long board) {
  const std::string id = user_id(req);
  if (ChkUNREAD(req, board, id)) return 0;
  // Kept under the index's name, so a new message or a new mark drops it.
  return req.cache.get<long>(board_dir(req, board) + "index.dat#unread#" + id, [&] {
    long unread = 0;
    UniqueFd dir(::open(board_dir(req, board).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const IndexEntry& message : board_index(req, board)) {
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

long get_noread(Request& req, int p) {
  const std::vector<B_TITLE>& tree = folder_tree(req);
  if (p < 1 || static_cast<std::size_t>(p) > tree.size()) return 0;
  const int depth = tree[static_cast<std::size_t>(p - 1)].DEPTH;
  long sum = 0;
  for (std::size_t q = static_cast<std::size_t>(p); q < tree.size() && tree[q].DEPTH > depth; ++q) {
    if (chk_ACL(req, tree[q].FOLDER_NO) <= kRightNone) continue;
    // A board without a count (a mark file that cannot be read) adds nothing.
    sum += std::max(0L, CountREAD_POINT(req, tree[q].FOLDER_NO));
  }
  return sum;
}

std::optional<int> ChkUNREAD(Request& req, long board, std::string_view user_id) {
  const std::vector<std::string>& ids = opt_outs(req, board);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == user_id) return static_cast<int>(i + 1);
  }
  return std::nullopt;
}

int WriteUNREAD(Request& req, long board, std::string_view user_id) {
  const WriteToken& token = req.write_token();
  const std::string path = unread_path(req, board);
  if (ChkUNREAD(req, board, user_id)) return kAlreadyListed;
  if (!ensure_directory(board_dir(req, board))) return -1;
  bool ok = append_text_lines(token, path, std::string(user_id) + "\n");
  req.cache.invalidate(path);
  return ok ? 0 : -1;
}

bool DeleteUNREAD(Request& req, long board, std::string_view user_id) {
  const WriteToken& token = req.write_token();
  const std::string path = unread_path(req, board);
  if (!file_exists(path)) return false;
  std::string text;
  bool removed = false;
  for (const std::string& id : opt_outs(req, board)) {
    if (id == user_id) {
      removed = true;
    } else {
      text += id + "\n";
    }
  }
  bool ok = replace_file(token, path, path + ".tmp", text, 0666);
  req.cache.invalidate(path);
  return ok && removed;
}

}  // namespace plazet
