#include "boards/message_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "boards/mark_summary.h"
#include "boards/read_marks.h"
#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr std::size_t kBodyLimit = 99999;

RecordFile<IndexDataCodec> index_file(const Store& store, long board) {
  return RecordFile<IndexDataCodec>(board_dir(store, board) + "index.dat");
}

RecordFile<AddFileCodec> add_file(const Store& store, long board) {
  return RecordFile<AddFileCodec>(board_dir(store, board) + "add_file.dat");
}

// Readers never create a board's directory or files: a board nobody wrote
// to reads as empty.
template <class Codec>
std::vector<typename Codec::Record> read_existing(const RecordFile<Codec>& file) {
  return file.read_all_if_exists();
}

std::shared_ptr<const std::vector<ADD_FILE>> attachment_records(Store& store, long board) {
  auto file = add_file(store, board);
  return store.cache().get<std::vector<ADD_FILE>>(file.path(), [&] { return read_existing(file); });
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

std::string body_file(const Store& store, long board, long sel_no) {
  return board_dir(store, board) + "x" + std::to_string(sel_no) + ".dat";
}

std::string board_dir(const Store& store, long board) {
  return store.path(std::to_string(board) + "/");
}

BoardIndex::BoardIndex(const std::string& path) : state_(std::make_shared<State>()) {
  state_->fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (state_->fd && ::fstat(state_->fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
    state_->count = static_cast<std::size_t>(st.st_size) / IndexDataCodec::kSize;
  }
}

const std::vector<IndexEntry>& BoardIndex::entries() const {
  static const std::vector<IndexEntry> kNone;
  if (!state_) return kNone;
  State& s = *state_;
  if (s.numbers_read) return s.entries;
  s.numbers_read = true;
  // One pass in chunks of whole records, keeping only the four numbers.
  constexpr std::size_t kChunkRecords = 512;
  std::vector<unsigned char> chunk(kChunkRecords * IndexDataCodec::kSize);
  s.entries.reserve(s.count);
  while (s.entries.size() < s.count) {
    const std::size_t at = s.entries.size();
    const std::size_t want = std::min(kChunkRecords, s.count - at) * IndexDataCodec::kSize;
    ssize_t n =
        ::pread(s.fd.get(), chunk.data(), want, static_cast<off_t>(at * IndexDataCodec::kSize));
    const std::size_t records = n > 0 ? static_cast<std::size_t>(n) / IndexDataCodec::kSize : 0;
    if (records == 0) break;
    for (std::size_t r = 0; r < records; ++r) {
      const unsigned char* p = chunk.data() + r * IndexDataCodec::kSize;
      s.entries.push_back({load_i32(p + 4), load_i32(p + 12), load_i32(p + 16), load_i32(p + 152)});
    }
  }
  s.count = s.entries.size();  // a file cut short counts what could be read
  return s.entries;
}

INDEX_DATA BoardIndex::record(std::size_t i) const {
  std::array<unsigned char, IndexDataCodec::kSize> buf{};
  if (state_ && state_->fd) {
    (void)::pread(state_->fd.get(), buf.data(), buf.size(),
                  static_cast<off_t>(i * IndexDataCodec::kSize));
  }
  return IndexDataCodec::decode(buf.data());
}

std::optional<std::size_t> BoardIndex::position_of(std::int32_t sel_no) const {
  const std::vector<IndexEntry>& all = entries();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].SEL_NO == sel_no) return i;
  }
  return std::nullopt;
}

std::string BoardIndex::bytes() const {
  std::string data(size() * IndexDataCodec::kSize, '\0');
  std::size_t got = 0;
  while (state_ && state_->fd && got < data.size()) {
    ssize_t n =
        ::pread(state_->fd.get(), data.data() + got, data.size() - got, static_cast<off_t>(got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  data.resize(got / IndexDataCodec::kSize * IndexDataCodec::kSize);
  return data;
}

namespace {

// Where a reply to `parent` goes: before the first record after the parent
// that is not deeper than the parent, or at the end. Also gives the reply
// its thread and depth; a reply whose parent is gone is a top entry of its own.
std::size_t reply_position(const BoardIndex& index, std::int32_t parent, INDEX_DATA& reply) {
  std::optional<std::size_t> at = index.position_of(parent);
  if (!at) {
    reply.RES_LEVEL = 0;
    return index.size();
  }
  reply.THREAD_NO = index[*at].THREAD_NO;
  reply.RES_LEVEL = index[*at].RES_LEVEL + 1;
  std::size_t i = *at + 1;
  while (i < index.size() && index[i].RES_LEVEL > index[*at].RES_LEVEL) ++i;
  return i;
}

}  // namespace

std::shared_ptr<const BoardIndex> board_index(Store& store, long board) {
  const std::string path = board_dir(store, board) + "index.dat";
  return store.cache().get<BoardIndex>(path, [&] { return BoardIndex(path); });
}

std::vector<INDEX_DATA> index_records(Store& store, long board) {
  const std::string bytes = board_index(store, board)->bytes();
  std::vector<INDEX_DATA> records;
  records.reserve(bytes.size() / IndexDataCodec::kSize);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t at = 0; at < bytes.size(); at += IndexDataCodec::kSize) {
    records.push_back(IndexDataCodec::decode(p + at));
  }
  return records;
}

std::size_t CountINDEX_DATA(Store& store, long board) {
  return board_index(store, board)->size();
}

std::optional<INDEX_DATA> ReadINDEX_DATA(Store& store, long board, long key, IndexKey mode) {
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;
  if (mode == IndexKey::kPosition) {
    if (key < 1 || static_cast<std::size_t>(key) > index.size()) return std::nullopt;
    return index.record(static_cast<std::size_t>(key - 1));
  }
  std::optional<std::size_t> at = index.position_of(static_cast<std::int32_t>(key));
  if (!at || index[*at].SEL_NO != key) return std::nullopt;
  return index.record(*at);
}

std::optional<INDEX_DATA> ReadINDEX_DATA_MAX(Store& store, long board, IndexMax mode) {
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;
  if (index.empty()) return std::nullopt;
  if (mode == IndexMax::kLastRecord) return index.record(index.size() - 1);
  std::size_t best = 0;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].SEL_NO >= index[best].SEL_NO) best = i;
  }
  return index.record(best);
}

std::optional<INDEX_DATA> ReadINDEX_DATA_G(Store& store, long board, std::size_t k, long thread) {
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].THREAD_NO == thread && k-- == 0) return index.record(i);
  }
  return std::nullopt;
}

std::optional<std::int32_t> next_message_number(Store& store, long board) {
  std::int32_t highest = 0;
  for (const IndexEntry& e : *board_index(store, board)) highest = std::max(highest, e.SEL_NO);
  if (highest == INT32_MAX) return std::nullopt;  // a damaged index: no number is left
  return highest + 1;
}

std::optional<INDEX_DATA> WriteINDEX_DATA(Store& store, const WriteToken& w, INDEX_DATA record) {
  const long board = record.FOLDER_NO;
  if (!ensure_directory(board_dir(store, board))) return std::nullopt;
  auto file = index_file(store, board);
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;

  const std::optional<std::int32_t> next = next_message_number(store, board);
  if (!next) return std::nullopt;
  const std::int32_t number = *next;
  summary_before_change(store, w, board);
  // Marks a message of this number left behind count for it again.
  const std::vector<READ_POINT> left = readers_of(store, board, number);
  const std::int32_t parent = record.SEL_NO;
  record.DEL_FLG = 0;
  record.RES_LEVEL = 0;
  record.SEL_NO = number;
  record.THREAD_NO = parent == 0 ? number : parent;

  bool ok = false;
  const std::size_t at = parent == 0 ? index.size() : reply_position(index, parent, record);
  if (at == index.size()) {
    // A new thread, or a reply whose place is the end: appended in place.
    ok = file.append(w, record);
    store.cache().invalidate(file.path());
  } else {
    const std::string bytes = index.bytes();
    std::string out;
    out.reserve(bytes.size() + IndexDataCodec::kSize);
    out.append(bytes.substr(0, at * IndexDataCodec::kSize));
    out += RecordFile<IndexDataCodec>::encode(record);
    out.append(bytes.substr(at * IndexDataCodec::kSize));
    ok = file.replace_bytes(w, file.path() + ".tmp", out);
    store.cache().invalidate(file.path());
  }
  if (!ok) {
    store.cache().invalidate(file.path());
    summary_lost(store, board);
    return std::nullopt;
  }
  summary_message_added(store, board, left);

  if (!record.WRITER.empty()) {
    READ_POINT mark;
    mark.SEL_NO = number;
    mark.USER_ID = record.WRITER;
    (void)WriteREAD_POINT(store, w, board, mark);
  }
  return record;
}

bool ReWriteINDEX_DATA(Store& store, const WriteToken& w, const INDEX_DATA& record) {
  auto file = index_file(store, record.FOLDER_NO);
  const auto held = board_index(store, record.FOLDER_NO);
  const BoardIndex& index = *held;
  bool matched = false;
  bool failed = false;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].SEL_NO == record.SEL_NO) {
      if (!matched && !failed) summary_before_change(store, w, record.FOLDER_NO);
      // The number stays: the summary's tallies do not change.
      if (file.overwrite(w, i, record)) {
        matched = true;
      } else {
        failed = true;
      }
    }
  }
  if (failed) summary_lost(store, record.FOLDER_NO);
  store.cache().invalidate(file.path());
  return matched;
}

bool DeleteINDEX_DATA(Store& store, const WriteToken& w, long board, long sel_no) {
  auto file = index_file(store, board);
  const auto held = board_index(store, board);
  const BoardIndex& index = *held;
  const std::string bytes = index.bytes();
  std::string kept;
  kept.reserve(bytes.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].SEL_NO != sel_no) {
      kept.append(std::string_view(bytes).substr(i * IndexDataCodec::kSize, IndexDataCodec::kSize));
    }
  }
  // Nothing to remove: the file stays as it is.
  if (kept.size() == bytes.size()) return false;
  summary_before_change(store, w, board);
  const long removed = static_cast<long>((bytes.size() - kept.size()) / IndexDataCodec::kSize);
  const std::vector<READ_POINT> marks = readers_of(store, board, sel_no);
  bool ok = file.replace_bytes(w, file.path() + ".tmp", kept);
  store.cache().invalidate(file.path());
  if (ok) {
    summary_messages_removed(store, board, removed, marks);
  } else {
    summary_lost(store, board);
  }
  return ok;
}

bool WriteContentsDATA(Store& store, const WriteToken& w, long board, long sel_no,
                       std::string_view text) {
  const std::string dir = board_dir(store, board);
  const std::string path = body_file(store, board, sel_no);
  if (!ensure_directory(dir)) return false;
  summary_before_change(store, w, board);  // the directory changes
  return replace_file(w, path, path + ".tmp", text, 0600);
}

bool DeleteContentsDATA(Store& store, const WriteToken& w, long board, long sel_no) {
  const std::string path = body_file(store, board, sel_no);
  if (file_exists(path)) summary_before_change(store, w, board);
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string ReadContentsDATA(Store& store, long board, long sel_no) {
  std::string body = read_file(body_file(store, board, sel_no)).value_or("");
  if (body.size() > kBodyLimit) body.resize(kBodyLimit);
  return body;
}

BoardBodies::BoardBodies(const Store& store, long board)
    : dir_(::open(board_dir(store, board).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

std::string BoardBodies::read(long sel_no) const {
  std::string name = "x";  // appended piece by piece: g++ 12 warns on "x" + to_string()
  name += std::to_string(sel_no);
  name += ".dat";
  bool missing = false;
  std::string body = read_file_at(dir_.get(), name.c_str(), missing).value_or("");
  if (body.size() > kBodyLimit) body.resize(kBodyLimit);
  return body;
}

std::vector<ADD_FILE> attachments_of(Store& store, long board, long sel_no) {
  std::vector<ADD_FILE> found;
  for (const ADD_FILE& a : *attachment_records(store, board)) {
    if (a.SEL_NO == sel_no) found.push_back(a);
  }
  return found;
}

std::optional<ADD_FILE> ReadADD_FILE(Store& store, long board, long sel_no, long file_no) {
  for (const ADD_FILE& a : *attachment_records(store, board)) {
    if (a.SEL_NO == sel_no && a.FILE_NO == file_no) return a;
  }
  return std::nullopt;
}

bool WriteADD_FILE(Store& store, const WriteToken& w, long board, const ADD_FILE& record) {
  if (!ensure_directory(board_dir(store, board))) return false;
  summary_before_change(store, w, board);
  auto file = add_file(store, board);
  const auto held = attachment_records(store, board);
  const std::vector<ADD_FILE>& records = *held;
  std::size_t i = 0;
  while (i < records.size() &&
         !(records[i].SEL_NO == record.SEL_NO && records[i].FILE_NO == record.FILE_NO)) {
    ++i;
  }
  bool ok = i < records.size() ? file.overwrite(w, i, record) : file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

namespace {

template <class Drop>
bool delete_attachments(Store& store, const WriteToken& w, long board, Drop drop) {
  auto file = add_file(store, board);
  if (!file_exists(file.path())) return false;
  summary_before_change(store, w, board);
  std::vector<ADD_FILE> kept;
  bool removed = false;
  for (const ADD_FILE& a : *attachment_records(store, board)) {
    if (drop(a)) {
      removed = true;
    } else {
      kept.push_back(a);
    }
  }
  bool ok = file.replace_all(w, file.path() + ".tmp", kept);
  store.cache().invalidate(file.path());
  return ok && removed;
}

}  // namespace

bool DeleteADD_FILE(Store& store, const WriteToken& w, long board, long sel_no) {
  return delete_attachments(store, w, board, [&](const ADD_FILE& a) { return a.SEL_NO == sel_no; });
}

bool DeleteADD_FILE2(Store& store, const WriteToken& w, long board, long sel_no, long file_no) {
  return delete_attachments(store, w, board, [&](const ADD_FILE& a) {
    return a.SEL_NO == sel_no && a.FILE_NO == file_no;
  });
}

long get_filelength(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

}  // namespace plazet
