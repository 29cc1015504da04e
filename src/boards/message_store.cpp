#include "boards/message_store.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>

#include "boards/read_marks.h"
#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr std::size_t kBodyLimit = 99999;

RecordFile<IndexDataCodec> index_file(const Request& req, long board) {
  return RecordFile<IndexDataCodec>(board_dir(req, board) + "index.dat");
}

RecordFile<AddFileCodec> add_file(const Request& req, long board) {
  return RecordFile<AddFileCodec>(board_dir(req, board) + "add_file.dat");
}

// Readers never create a board's directory or files: a board nobody wrote
// to reads as empty.
template <class Codec>
std::vector<typename Codec::Record> read_existing(const RecordFile<Codec>& file) {
  return file.read_all_if_exists();
}

const std::vector<ADD_FILE>& attachment_records(Request& req, long board) {
  auto file = add_file(req, board);
  return req.cache.get<std::vector<ADD_FILE>>(file.path(), [&] { return read_existing(file); });
}

}  // namespace

INDEX_DATA IndexDataCodec::decode(const unsigned char* p) {
  INDEX_DATA r;
  r.FOLDER_NO = load_i32(p);
  r.SEL_NO = load_i32(p + 4);
  r.HTML_MODE = load_i32(p + 8);
  r.THREAD_NO = load_i32(p + 12);
  r.RES_LEVEL = load_i32(p + 16);
  r.WRITE_PRIORITY = load_i32(p + 20);
  r.WRITE_DATE = load_text(p + 24, INDEX_DATA::kDateWidth);
  r.WRITER = load_text(p + 44, INDEX_DATA::kWriterWidth);
  r.WRITE_TITLE = load_text(p + 66, INDEX_DATA::kTitleWidth);
  r.ADD_COUNT = load_i32(p + 148);
  r.DEL_FLG = load_i32(p + 152);
  r.READ_CHK = load_i32(p + 156);
  return r;
}

void IndexDataCodec::encode(const INDEX_DATA& r, unsigned char* p) {
  store_i32(p, r.FOLDER_NO);
  store_i32(p + 4, r.SEL_NO);
  store_i32(p + 8, r.HTML_MODE);
  store_i32(p + 12, r.THREAD_NO);
  store_i32(p + 16, r.RES_LEVEL);
  store_i32(p + 20, r.WRITE_PRIORITY);
  store_text(p + 24, INDEX_DATA::kDateWidth, r.WRITE_DATE);
  store_text(p + 44, INDEX_DATA::kWriterWidth, r.WRITER);
  store_text(p + 66, INDEX_DATA::kTitleWidth, r.WRITE_TITLE);
  store_i32(p + 148, r.ADD_COUNT);
  store_i32(p + 152, r.DEL_FLG);
  store_i32(p + 156, r.READ_CHK);
}

ADD_FILE AddFileCodec::decode(const unsigned char* p) {
  return ADD_FILE{load_i32(p), load_i32(p + 4), load_text(p + 8, ADD_FILE::kNameWidth)};
}

void AddFileCodec::encode(const ADD_FILE& r, unsigned char* p) {
  store_i32(p, r.SEL_NO);
  store_i32(p + 4, r.FILE_NO);
  store_text(p + 8, ADD_FILE::kNameWidth, r.FILE_NAME);
}

std::string board_dir(const Request& req, long board) {
  return req.data_path(std::to_string(board) + "/");
}

namespace {

std::vector<INDEX_DATA>& cached_index(Request& req, long board) {
  auto file = index_file(req, board);
  return req.cache.get<std::vector<INDEX_DATA>>(file.path(), [&] { return read_existing(file); });
}

}  // namespace

const std::vector<INDEX_DATA>& index_records(Request& req, long board) {
  return cached_index(req, board);
}

std::size_t CountINDEX_DATA(Request& req, long board) {
  return index_records(req, board).size();
}

std::optional<INDEX_DATA> ReadINDEX_DATA(Request& req, long board, long key, IndexKey mode) {
  const std::vector<INDEX_DATA>& records = index_records(req, board);
  if (mode == IndexKey::kPosition) {
    if (key < 1 || static_cast<std::size_t>(key) > records.size()) return std::nullopt;
    return records[static_cast<std::size_t>(key - 1)];
  }
  for (const INDEX_DATA& r : records) {
    if (r.SEL_NO == key) return r;
  }
  return std::nullopt;
}

std::optional<INDEX_DATA> ReadINDEX_DATA_MAX(Request& req, long board, IndexMax mode) {
  const std::vector<INDEX_DATA>& records = index_records(req, board);
  if (records.empty()) return std::nullopt;
  if (mode == IndexMax::kLastRecord) return records.back();
  const INDEX_DATA* best = &records.front();
  for (const INDEX_DATA& r : records) {
    if (r.SEL_NO >= best->SEL_NO) best = &r;
  }
  return *best;
}

std::optional<INDEX_DATA> ReadINDEX_DATA_G(Request& req, long board, std::size_t k, long thread) {
  for (const INDEX_DATA& r : index_records(req, board)) {
    if (r.THREAD_NO == thread && k-- == 0) return r;
  }
  return std::nullopt;
}

std::optional<INDEX_DATA> WriteINDEX_DATA(Request& req, INDEX_DATA record) {
  const long board = record.FOLDER_NO;
  const WriteToken& token = req.write_token();
  if (!ensure_directory(board_dir(req, board))) return std::nullopt;
  auto file = index_file(req, board);
  const std::vector<INDEX_DATA>& records = index_records(req, board);

  std::int32_t highest = 0;
  for (const INDEX_DATA& r : records) highest = std::max(highest, r.SEL_NO);
  if (highest == INT32_MAX) return std::nullopt;  // a damaged index: no number is left
  const std::int32_t number = highest + 1;
  const std::int32_t parent = record.SEL_NO;
  record.DEL_FLG = 0;
  record.RES_LEVEL = 0;
  record.SEL_NO = number;

  bool ok = false;
  if (parent == 0) {
    record.THREAD_NO = number;
    ok = file.append(token, record);
    // The cached index stays true to the file: a new thread is its last record.
    if (ok) cached_index(req, board).push_back(record);
    req.cache.invalidate(file.path() + "#unread");
  } else {
    // Walk the index: the new reply goes before the first record after the
    // parent that is not deeper than the parent.
    record.THREAD_NO = parent;
    enum class State { kParentNotSeen, kInSubtree, kWritten } state = State::kParentNotSeen;
    std::vector<INDEX_DATA> out;
    out.reserve(records.size() + 1);
    for (const INDEX_DATA& r : records) {
      if (state == State::kInSubtree && r.RES_LEVEL <= record.RES_LEVEL) {
        INDEX_DATA reply = record;
        reply.RES_LEVEL = record.RES_LEVEL + 1;
        out.push_back(reply);
        state = State::kWritten;
      }
      if (r.SEL_NO == parent) {
        record.THREAD_NO = r.THREAD_NO;
        record.RES_LEVEL = r.RES_LEVEL;
        state = State::kInSubtree;
      }
      out.push_back(r);
    }
    if (state == State::kInSubtree) {
      record.RES_LEVEL += 1;
      out.push_back(record);
    } else if (state == State::kParentNotSeen) {
      record.RES_LEVEL = 0;  // the parent is gone: a top entry of its own
      out.push_back(record);
    }
    for (const INDEX_DATA& r : out) {
      if (r.SEL_NO == number) record = r;
    }
    ok = file.replace_all(token, file.path() + ".tmp", out);
    req.cache.invalidate(file.path());
  }
  if (!ok) {
    req.cache.invalidate(file.path());
    return std::nullopt;
  }

  if (req.user) {
    READ_POINT mark;
    mark.SEL_NO = number;
    mark.USER_ID = req.user->USER_ID;
    (void)WriteREAD_POINT(req, board, mark);
  }
  return record;
}

bool ReWriteINDEX_DATA(Request& req, const INDEX_DATA& record) {
  auto file = index_file(req, record.FOLDER_NO);
  const std::vector<INDEX_DATA>& records = index_records(req, record.FOLDER_NO);
  bool matched = false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].SEL_NO == record.SEL_NO) {
      matched = file.overwrite(req.write_token(), i, record) || matched;
    }
  }
  req.cache.invalidate(file.path());
  return matched;
}

bool DeleteINDEX_DATA(Request& req, long board, long sel_no) {
  auto file = index_file(req, board);
  if (!file_exists(file.path())) return false;
  std::vector<INDEX_DATA> kept;
  for (const INDEX_DATA& r : index_records(req, board)) {
    if (r.SEL_NO != sel_no) kept.push_back(r);
  }
  bool removed = kept.size() != index_records(req, board).size();
  bool ok = file.replace_all(req.write_token(), file.path() + ".tmp", kept);
  req.cache.invalidate(file.path());
  return ok && removed;
}

bool WriteContentsDATA(Request& req, long board, long sel_no, std::string_view text) {
  const std::string dir = board_dir(req, board);
  const std::string path = dir + "x" + std::to_string(sel_no) + ".dat";
  const WriteToken& token = req.write_token();
  return ensure_directory(dir) && replace_file(token, path, path + ".tmp", text, 0600);
}

std::string ReadContentsDATA(Request& req, long board, long sel_no) {
  std::string body =
      read_file(board_dir(req, board) + "x" + std::to_string(sel_no) + ".dat").value_or("");
  if (body.size() > kBodyLimit) body.resize(kBodyLimit);
  return body;
}

std::vector<ADD_FILE> attachments_of(Request& req, long board, long sel_no) {
  std::vector<ADD_FILE> found;
  for (const ADD_FILE& a : attachment_records(req, board)) {
    if (a.SEL_NO == sel_no) found.push_back(a);
  }
  return found;
}

std::optional<ADD_FILE> ReadADD_FILE(Request& req, long board, long sel_no, long file_no) {
  for (const ADD_FILE& a : attachment_records(req, board)) {
    if (a.SEL_NO == sel_no && a.FILE_NO == file_no) return a;
  }
  return std::nullopt;
}

bool WriteADD_FILE(Request& req, long board, const ADD_FILE& record) {
  const WriteToken& token = req.write_token();
  if (!ensure_directory(board_dir(req, board))) return false;
  auto file = add_file(req, board);
  const std::vector<ADD_FILE>& records = attachment_records(req, board);
  std::size_t i = 0;
  while (i < records.size() &&
         !(records[i].SEL_NO == record.SEL_NO && records[i].FILE_NO == record.FILE_NO)) {
    ++i;
  }
  bool ok = i < records.size() ? file.overwrite(token, i, record) : file.append(token, record);
  req.cache.invalidate(file.path());
  return ok;
}

namespace {

template <class Drop>
bool delete_attachments(Request& req, long board, Drop drop) {
  auto file = add_file(req, board);
  if (!file_exists(file.path())) return false;
  std::vector<ADD_FILE> kept;
  bool removed = false;
  for (const ADD_FILE& a : attachment_records(req, board)) {
    if (drop(a)) {
      removed = true;
    } else {
      kept.push_back(a);
    }
  }
  bool ok = file.replace_all(req.write_token(), file.path() + ".tmp", kept);
  req.cache.invalidate(file.path());
  return ok && removed;
}

}  // namespace

bool DeleteADD_FILE(Request& req, long board, long sel_no) {
  return delete_attachments(req, board, [&](const ADD_FILE& a) { return a.SEL_NO == sel_no; });
}

bool DeleteADD_FILE2(Request& req, long board, long sel_no, long file_no) {
  return delete_attachments(
      req, board, [&](const ADD_FILE& a) { return a.SEL_NO == sel_no && a.FILE_NO == file_no; });
}

long get_filelength(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

}  // namespace plazet
