#include "boards/mark_summary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <set>
#include <unordered_map>

#include "boards/message_store.h"
#include "folders/folder_tree.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr std::size_t kIdWidth = READ_POINT::kIdWidth;
// The first read of a summary: the header and up to 254 users.
constexpr std::size_t kFirstRead = 8192;

std::string summary_path(const Store& store, long board) {
  return board_dir(store, board) + "marks.idx";
}

// What the stamp records of index.dat and the board's directory.
struct Stamp {
  std::int64_t index_size = 0, index_inode = 0, index_mtime = 0, dir_inode = 0, dir_mtime = 0;
  bool operator==(const Stamp&) const = default;
};

std::int64_t mtime_ns(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The stamp of the files as they are now; nullopt without an index.
std::optional<Stamp> stamp_now(const Store& store, long board) {
  const std::string dir = board_dir(store, board);
  struct stat d {};
  struct stat i {};
  if (::stat(dir.c_str(), &d) != 0 || ::stat((dir + "index.dat").c_str(), &i) != 0 ||
      !S_ISREG(i.st_mode)) {
    return std::nullopt;
  }
  return Stamp{static_cast<std::int64_t>(i.st_size), static_cast<std::int64_t>(i.st_ino),
               mtime_ns(i), static_cast<std::int64_t>(d.st_ino), mtime_ns(d)};
}

Stamp stamp_of(const MarkSummaryHeader& h) {
  return Stamp{h.INDEX_SIZE, h.INDEX_INODE, h.INDEX_MTIME, h.DIR_INODE, h.DIR_MTIME};
}

// The summary file as this request found it.
struct OnDisk {
  bool fresh = false;
  long messages = 0;
  std::size_t users = 0;
  std::string path;
  std::string records;  // every user record, when they came with the first read
};

bool read_at(int fd, unsigned char* buf, std::size_t n, off_t at) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, buf + done, n - done, at + static_cast<off_t>(done));
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

// A larger summary is searched in the file, opened again by its path: no
// descriptor stays open per board.
OnDisk open_summary(const Store& store, long board) {
  OnDisk s;
  s.path = summary_path(store, board);
  UniqueFd fd(::open(s.path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return s;
  std::string first(kFirstRead, '\0');
  ssize_t n = ::pread(fd.get(), first.data(), first.size(), 0);
  if (n < static_cast<ssize_t>(MarkSummaryHeaderCodec::kSize)) return s;
  first.resize(static_cast<std::size_t>(n));
  const MarkSummaryHeader h =
      MarkSummaryHeaderCodec::decode(reinterpret_cast<const unsigned char*>(first.data()));
  if (h.MAGIC != MarkSummaryHeader::kMagic || h.USERS < 0 || h.DIR_INODE == 0) return s;
  const std::size_t size =
      MarkSummaryHeaderCodec::kSize + static_cast<std::size_t>(h.USERS) * MarkTallyCodec::kSize;
  if (first.size() < kFirstRead) {
    if (first.size() != size) return s;
    s.records = first.substr(MarkSummaryHeaderCodec::kSize);
  } else {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || static_cast<std::size_t>(st.st_size) != size) return s;
  }
  std::optional<Stamp> now = stamp_now(store, board);
  if (!now || !(*now == stamp_of(h))) return s;
  s.fresh = true;
  s.users = static_cast<std::size_t>(h.USERS);
  s.messages = static_cast<long>(h.INDEX_SIZE / static_cast<std::int64_t>(IndexDataCodec::kSize));
  return s;
}

// The user's READS by a binary search over the sorted records.
std::optional<std::int64_t> find_reads(const OnDisk& s, std::string_view id) {
  if (id.size() >= kIdWidth || id.find('\0') != std::string_view::npos) return 0;
  std::array<unsigned char, kIdWidth> key{};
  store_text(key.data(), kIdWidth, id);
  std::array<unsigned char, MarkTallyCodec::kSize> buf{};
  UniqueFd fd;
  if (s.records.empty() && s.users > 0) {
    fd.reset(::open(s.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
  }
  std::size_t lo = 0;
  std::size_t hi = s.users;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const unsigned char* rec;
    if (!s.records.empty()) {
      rec = reinterpret_cast<const unsigned char*>(s.records.data()) + mid * MarkTallyCodec::kSize;
    } else {
      const off_t at =
          static_cast<off_t>(MarkSummaryHeaderCodec::kSize + mid * MarkTallyCodec::kSize);
      if (!read_at(fd.get(), buf.data(), buf.size(), at)) return std::nullopt;
      rec = buf.data();
    }
    const int c = std::memcmp(rec, key.data(), kIdWidth);
    if (c == 0) return load_i64(rec + kIdWidth);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return 0;
}

// What a request that changes a board keeps of its summary.
struct Pending {
  bool trusted = false;  // the tallies follow every change since a fresh summary
  std::int64_t dir_inode = 0;
  MarkTallies reads;
};
struct Work {
  std::map<long, Pending> boards;
};
Work& work(Store& store) {
  return store.work<Work>("marks.idx");
}
Pending* pending(Store& store, long board) {
  auto& boards = work(store).boards;
  auto it = boards.find(board);
  return it == boards.end() ? nullptr : &it->second;
}

// How many records of the index as it is now carry each number.
std::shared_ptr<const std::unordered_map<std::int32_t, long>> multiplicities(Store& store,
                                                                             long board) {
  return store.cache().get<std::unordered_map<std::int32_t, long>>(
      board_dir(store, board) + "index.dat#multiplicity", [&] {
        std::unordered_map<std::int32_t, long> m;
        for (const IndexEntry& e : *board_index(store, board)) ++m[e.SEL_NO];
        return m;
      });
}

long multiplicity(Store& store, long board, std::int32_t sel_no) {
  const auto m = multiplicities(store, board);
  auto it = m->find(sel_no);
  return it == m->end() ? 0 : it->second;
}

void add(Pending& p, const std::string& id, std::int64_t delta) {
  if (delta == 0 || id.size() >= kIdWidth) return;  // such an ID is never looked up
  std::int64_t& r = p.reads[id];
  r += delta;
  if (r == 0) p.reads.erase(id);
}

bool write_summary(Store& store, const WriteToken& w, long board, const MarkTallies& reads) {
  const std::string path = summary_path(store, board);
  store.cache().invalidate(path);
  if (!stamp_now(store, board)) {
    (void)::unlink(path.c_str());
    return true;
  }
  MarkSummaryHeader header;
  header.MAGIC = MarkSummaryHeader::kMagic;
  header.USERS = static_cast<std::int32_t>(reads.size());
  std::string bytes = RecordFile<MarkSummaryHeaderCodec>::encode(header);
  for (const auto& [id, n] : reads) bytes += RecordFile<MarkTallyCodec>::encode({id, n});
  RecordFile<MarkTallyCodec> file(path);
  if (!file.replace_bytes(w, path + ".tmp", bytes)) return false;
  // The stamp goes in last, once the file is in place: writing the file
  // itself changed the directory.
  std::optional<Stamp> now = stamp_now(store, board);
  if (!now) return false;
  header.INDEX_SIZE = now->index_size;
  header.INDEX_INODE = now->index_inode;
  header.INDEX_MTIME = now->index_mtime;
  header.DIR_INODE = now->dir_inode;
  header.DIR_MTIME = now->dir_mtime;
  RecordFile<MarkSummaryHeaderCodec> head(path);
  return head.overwrite(w, 0, header);
}

bool rebuild(Store& store, const WriteToken& w, long board) {
  std::optional<MarkTallies> reads = tally_marks(store, board);
  if (!reads) {
    // No count can be made from the files: no summary either.
    const std::string path = summary_path(store, board);
    (void)::unlink(path.c_str());
    store.cache().invalidate(path);
    return false;
  }
  return write_summary(store, w, board, *reads);
}

std::int64_t dir_inode(const Store& store, long board) {
  struct stat d {};
  return ::stat(board_dir(store, board).c_str(), &d) == 0 ? static_cast<std::int64_t>(d.st_ino) : 0;
}

}  // namespace

MarkSummaryHeader MarkSummaryHeaderCodec::decode(const unsigned char* p) {
  MarkSummaryHeader h;
  h.MAGIC.assign(reinterpret_cast<const char*>(p), 8);
  h.USERS = load_i32(p + 8);
  h.INDEX_SIZE = load_i64(p + 16);
  h.INDEX_INODE = load_i64(p + 24);
  h.INDEX_MTIME = load_i64(p + 32);
  h.DIR_INODE = load_i64(p + 40);
  h.DIR_MTIME = load_i64(p + 48);
  return h;
}

void MarkSummaryHeaderCodec::encode(const MarkSummaryHeader& h, unsigned char* p) {
  std::memset(p, 0, kSize);
  std::memcpy(p, h.MAGIC.data(), std::min<std::size_t>(h.MAGIC.size(), 8));
  store_i32(p + 8, h.USERS);
  store_i64(p + 16, h.INDEX_SIZE);
  store_i64(p + 24, h.INDEX_INODE);
  store_i64(p + 32, h.INDEX_MTIME);
  store_i64(p + 40, h.DIR_INODE);
  store_i64(p + 48, h.DIR_MTIME);
}

MarkTally MarkTallyCodec::decode(const unsigned char* p) {
  return MarkTally{load_text(p, kIdWidth), load_i64(p + kIdWidth)};
}

void MarkTallyCodec::encode(const MarkTally& r, unsigned char* p) {
  store_text(p, kIdWidth, r.USER_ID);
  store_i64(p + kIdWidth, r.READS);
}

std::optional<MarkTallies> tally_marks(Store& store, long board) {
  MarkTallies reads;
  UniqueFd dir(::open(board_dir(store, board).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (const auto& [sel_no, records] : *multiplicities(store, board)) {
    std::string name = "r";  // built in steps: g++ 12 warns wrongly about "r" + ...
    name += std::to_string(sel_no);
    name += ".dat";
    bool missing = false;
    std::optional<std::string> data = read_file_at(dir.get(), name.c_str(), missing);
    if (!data && !missing) return std::nullopt;
    if (!data) continue;
    for (const READ_POINT& mark : RecordFile<ReadPointCodec>::decode_all(*data)) {
      if (mark.USER_ID.size() < kIdWidth) reads[mark.USER_ID] += records;
    }
  }
  return reads;
}

std::optional<long> summary_unread(Store& store, long board, std::string_view id) {
  if (Pending* p = pending(store, board)) {
    if (!p->trusted) return std::nullopt;
    auto it = p->reads.find(std::string(id));
    const std::int64_t reads = it == p->reads.end() ? 0 : it->second;
    return static_cast<long>(static_cast<std::int64_t>(board_index(store, board)->size()) - reads);
  }
  const auto s = store.cache().get<OnDisk>(summary_path(store, board),
                                           [&] { return open_summary(store, board); });
  if (!s->fresh) return std::nullopt;
  std::optional<std::int64_t> reads = find_reads(*s, id);
  if (!reads) return std::nullopt;
  return static_cast<long>(s->messages - *reads);
}

void summary_before_change(Store& store, const WriteToken&, long board) {
  if (pending(store, board)) return;
  Pending p;
  p.dir_inode = dir_inode(store, board);
  if (std::optional<MarkTallies> reads = read_mark_summary(store, board)) {
    p.trusted = true;
    p.reads = std::move(*reads);
  }
  // Until the request ends, no file claims to match the board.
  const std::string path = summary_path(store, board);
  (void)::unlink(path.c_str());
  store.cache().invalidate(path);
  work(store).boards.emplace(board, std::move(p));
}

void summary_mark_added(Store& store, long board, std::int32_t sel_no,
                        const std::string& stored_id) {
  Pending* p = pending(store, board);
  if (p && p->trusted) add(*p, stored_id, multiplicity(store, board, sel_no));
}

void summary_marks_emptied(Store& store, long board, std::int32_t sel_no,
                           const std::vector<READ_POINT>& old) {
  Pending* p = pending(store, board);
  if (!p || !p->trusted) return;
  const long records = multiplicity(store, board, sel_no);
  for (const READ_POINT& mark : old) add(*p, mark.USER_ID, -records);
}

void summary_message_added(Store& store, long board, const std::vector<READ_POINT>& marks) {
  Pending* p = pending(store, board);
  if (!p || !p->trusted) return;
  for (const READ_POINT& mark : marks) add(*p, mark.USER_ID, 1);
}

void summary_messages_removed(Store& store, long board, long records,
                              const std::vector<READ_POINT>& marks) {
  Pending* p = pending(store, board);
  if (!p || !p->trusted) return;
  for (const READ_POINT& mark : marks) add(*p, mark.USER_ID, -records);
}

void summary_lost(Store& store, long board) {
  if (Pending* p = pending(store, board)) {
    p->trusted = false;
    p->reads.clear();
  }
}

void forget_mark_summary(Store& store, long board) {
  work(store).boards.erase(board);
}

void keep_mark_summaries(Store& store, const WriteToken& w) {
  std::set<long> done;
  Work& changed = work(store);
  for (auto& [board, p] : changed.boards) {
    done.insert(board);
    const std::int64_t inode = dir_inode(store, board);
    if (inode == 0) continue;  // the board's directory is gone
    if (p.trusted && inode == p.dir_inode) {
      (void)write_summary(store, w, board, p.reads);
    } else {
      (void)rebuild(store, w, board);
    }
  }
  changed.boards.clear();
  const auto tree = folder_tree(store);
  for (const B_TITLE& folder : *tree) {
    if (folder.MODE != B_TITLE::kBoard || done.count(folder.FOLDER_NO)) continue;
    done.insert(folder.FOLDER_NO);
    // Read anew: what this request read before may have changed since.
    if (!open_summary(store, folder.FOLDER_NO).fresh && stamp_now(store, folder.FOLDER_NO)) {
      (void)rebuild(store, w, folder.FOLDER_NO);
    }
  }
}

std::optional<MarkTallies> read_mark_summary(Store& store, long board) {
  const OnDisk s = open_summary(store, board);
  if (!s.fresh) return std::nullopt;
  MarkTallies reads;
  std::string records = s.records;
  if (records.empty() && s.users > 0) {
    records.assign(s.users * MarkTallyCodec::kSize, '\0');
    UniqueFd fd(::open(s.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || !read_at(fd.get(), reinterpret_cast<unsigned char*>(records.data()), records.size(),
                        static_cast<off_t>(MarkSummaryHeaderCodec::kSize))) {
      return std::nullopt;
    }
  }
  for (const MarkTally& t : RecordFile<MarkTallyCodec>::decode_all(records)) {
    reads[t.USER_ID] += t.READS;
  }
  return reads;
}

}  // namespace plazet
