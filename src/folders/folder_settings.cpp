#include "folders/folder_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "store/be_codec.h"
#include "store/fd.h"
#include "store/file_io.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr const char* kFile = "b_title2.mst";

RecordFile<BTitle2Codec> settings_file(const Store& store) {
  return RecordFile<BTitle2Codec>(store.path(kFile));
}

// The first bytes of a record: the numbers and the three picture names.
constexpr std::size_t kHeadSize = 780;

// The heads of the records, read one record at a time as far as a search
// needs them, so that a page about one folder reads neither the texts of
// the others nor the records after its own.
class HeadScan {
 public:
  explicit HeadScan(const std::string& path) : state_(std::make_shared<State>()) {
    state_->fd = b_open(path);  // a missing file is left behind empty, as by every reader
    struct stat st {};
    if (state_->fd && ::fstat(state_->fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
      state_->count = static_cast<std::size_t>(st.st_size) / BTitle2Codec::kSize;
    }
  }
  // The position of the folder's first record.
  [[nodiscard]] std::optional<std::size_t> find(long folder_no) const {
    State& s = *state_;
    if (auto it = s.first_of.find(folder_no); it != s.first_of.end()) return it->second;
    std::array<unsigned char, BTitle2Codec::kSize> buf{};
    while (s.heads.size() < s.count) {
      const std::size_t i = s.heads.size();
      if (!read_exact(s.fd.get(), buf.data(), kHeadSize, i * BTitle2Codec::kSize)) {
        s.count = i;  // a file cut short counts what could be read
        break;
      }
      s.heads.push_back(BTitle2Codec::decode(buf.data()));
      const long key = s.heads.back().FOLDER_NO;
      s.first_of.emplace(key, i);
      if (key == folder_no) return i;
    }
    return std::nullopt;
  }
  [[nodiscard]] const B_TITLE2& head(std::size_t i) const { return state_->heads[i]; }
  [[nodiscard]] std::optional<B_TITLE2> record(std::size_t i) const {
    std::array<unsigned char, BTitle2Codec::kSize> buf{};
    if (!read_exact(state_->fd.get(), buf.data(), buf.size(), i * BTitle2Codec::kSize)) {
      return std::nullopt;
    }
    return BTitle2Codec::decode(buf.data());
  }

 private:
  static bool read_exact(int fd, unsigned char* p, std::size_t n, std::size_t at) {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd, p + done, n - done, static_cast<off_t>(at + done));
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }
  // Shared, since the request cache copies values; filled in as it is read.
  struct State {
    UniqueFd fd;
    std::size_t count = 0;
    std::vector<B_TITLE2> heads;
    std::unordered_map<long, std::size_t> first_of;  // folder number -> record
  };
  std::shared_ptr<State> state_;
};

std::shared_ptr<const HeadScan> heads(Store& store) {
  const std::string path = store.path(kFile);
  return store.cache().get<HeadScan>(path + "#heads", [&] { return HeadScan(path); });
}

}  // namespace

B_TITLE2 BTitle2Codec::decode(const unsigned char* p) {
  B_TITLE2 r;
  r.FOLDER_NO = load_i32(p);
  r.ADD_MAX = load_i32(p + 4);
  r.READ_LEVEL = load_i32(p + 8);
  r.WRITE_LEVEL = load_i32(p + 12);
  r.READ_CHK = load_i32(p + 16);
  r.REWRITE_FLG = load_i32(p + 20);
  r.TITLEPIC = load_text(p + 24, 252);
  r.BACKPIC = load_text(p + 276, 252);
  r.DIRPIC = load_text(p + 528, 252);
  r.INFO = load_text(p + 780, 4002);
  r.DEFO = load_text(p + 4782, 4002);
  r.FONTCOLOR = load_text(p + 8784, 8);
  r.RESFONTCOLOR = load_text(p + 8792, 8);
  return r;
}

void BTitle2Codec::encode(const B_TITLE2& r, unsigned char* p) {
  store_i32(p, r.FOLDER_NO);
  store_i32(p + 4, r.ADD_MAX);
  store_i32(p + 8, r.READ_LEVEL);
  store_i32(p + 12, r.WRITE_LEVEL);
  store_i32(p + 16, r.READ_CHK);
  store_i32(p + 20, r.REWRITE_FLG);
  store_text(p + 24, 252, r.TITLEPIC);
  store_text(p + 276, 252, r.BACKPIC);
  store_text(p + 528, 252, r.DIRPIC);
  store_text(p + 780, 4002, r.INFO);
  store_text(p + 4782, 4002, r.DEFO);
  store_text(p + 8784, 8, r.FONTCOLOR);
  store_text(p + 8792, 8, r.RESFONTCOLOR);
}

std::optional<B_TITLE2> ReadB_TITLE2(Store& store, long folder_no) {
  const std::string key = store.path(kFile) + "#" + std::to_string(folder_no);
  return *store.cache().get<std::optional<B_TITLE2>>(key, [&]() -> std::optional<B_TITLE2> {
    const auto scan = heads(store);
    std::optional<std::size_t> at = scan->find(folder_no);
    if (!at) return std::nullopt;
    return scan->record(*at);
  });
}

std::optional<B_TITLE2> ReadB_TITLE2_head(Store& store, long folder_no) {
  const auto scan = heads(store);
  std::optional<std::size_t> at = scan->find(folder_no);
  if (!at) return std::nullopt;
  return scan->head(*at);
}

bool InsertB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record) {
  auto file = settings_file(store);
  bool ok = file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

bool DeleteB_TITLE2(Store& store, const WriteToken& w, long folder_no) {
  auto file = settings_file(store);
  std::vector<B_TITLE2> kept;
  bool removed = false;
  for (const B_TITLE2& r : file.read_all()) {
    if (r.FOLDER_NO == folder_no) {
      removed = true;
    } else {
      kept.push_back(r);
    }
  }
  bool ok = file.replace_all(w, file.path() + ".tmp", kept);
  store.cache().invalidate(file.path());
  return ok && removed;
}

bool ReWriteB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record) {
  auto file = settings_file(store);
  std::vector<B_TITLE2> records = file.read_all();
  bool matched = false;
  for (B_TITLE2& r : records) {
    if (r.FOLDER_NO == record.FOLDER_NO) {
      r = record;
      matched = true;
    }
  }
  bool ok = matched ? file.replace_all(w, file.path() + ".TMP", records) : file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace plazet
