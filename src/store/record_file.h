// One generic file of fixed-size binary records without a header. Each record
// type supplies a codec: its size and explicit big-endian encode/decode. A
// trailing partial record is ignored by every reader; a missing file is
// created empty on open (b_open) and reads as empty.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/atomic_file.h"
#include "store/data_lock.h"
#include "store/file_io.h"

namespace plazet {

template <class C>
concept RecordCodec = requires(const typename C::Record& r, const unsigned char* in,
                               unsigned char* out) {
  { C::kSize } -> std::convertible_to<std::size_t>;
  { C::decode(in) } -> std::same_as<typename C::Record>;
  {C::encode(r, out)};
};

template <RecordCodec Codec>
class RecordFile {
 public:
  using Record = typename Codec::Record;
  static constexpr std::size_t kSize = Codec::kSize;

  explicit RecordFile(std::string path) : path_(std::move(path)) {}
  [[nodiscard]] const std::string& path() const { return path_; }

  // Every whole record, in file order.
  [[nodiscard]] std::vector<Record> read_all() const {
    std::vector<Record> records;
    UniqueFd fd = b_open(path_);
    if (!fd) return records;
    std::optional<std::string> data = read_all_bytes(fd.get());
    return data ? decode_all(*data) : records;
  }

  // The same, without creating a missing file (readers of optional files).
  [[nodiscard]] std::vector<Record> read_all_if_exists() const {
    std::optional<std::string> data = read_file(path_);
    return data ? decode_all(*data) : std::vector<Record>();
  }

  // The bytes of the first `count` whole records (all of them by default),
  // for callers that decode only the records they use. The rest of the file
  // is not read.
  [[nodiscard]] std::string record_bytes(std::size_t count = SIZE_MAX / kSize) const {
    UniqueFd fd = b_open(path_);
    if (!fd) return {};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_size < 0) return {};
    const std::size_t whole = static_cast<std::size_t>(st.st_size) / kSize;
    std::string data(std::min(whole, count) * kSize, '\0');
    std::size_t done = 0;
    while (done < data.size()) {
      ssize_t n =
          ::pread(fd.get(), data.data() + done, data.size() - done, static_cast<off_t>(done));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    data.resize(done - done % kSize);
    return data;
  }

  // The n-th record (from 0); nullopt past the last whole record.
  [[nodiscard]] std::optional<Record> read_nth(std::size_t n) const {
    UniqueFd fd = b_open(path_);
    if (!fd) return std::nullopt;
    std::array<unsigned char, kSize> buf;
    if (!pread_exact(fd.get(), buf.data(), static_cast<off_t>(n * kSize))) return std::nullopt;
    return Codec::decode(buf.data());
  }

  // Overwrites the record at `index` in place.
  [[nodiscard]] bool overwrite(const WriteToken&, std::size_t index, const Record& record) {
    UniqueFd fd = b_open(path_);
    return fd && pwrite_record(fd.get(), record, index);
  }

  // Adds a record after the last whole record (a damaged partial tail is
  // overwritten, so the file stays a sequence of whole records).
  [[nodiscard]] bool append(const WriteToken&, const Record& record) {
    UniqueFd fd = b_open(path_);
    if (!fd) return false;
    off_t end = ::lseek(fd.get(), 0, SEEK_END);
    if (end < 0) return false;
    return pwrite_record(fd.get(), record, static_cast<std::size_t>(end) / kSize);
  }

  // Replaces the whole file with `records` through the temporary `temp_path`.
  [[nodiscard]] bool replace_all(const WriteToken& token, const std::string& temp_path,
                                 const std::vector<Record>& records) {
    std::string data(records.size() * kSize, '\0');
    auto* out = reinterpret_cast<unsigned char*>(data.data());
    for (std::size_t i = 0; i < records.size(); ++i) Codec::encode(records[i], out + i * kSize);
    return replace_bytes(token, temp_path, data);
  }

  // The same with records already encoded (whole records only), for callers
  // that keep a file's bytes and move records around without decoding them.
  [[nodiscard]] bool replace_bytes(const WriteToken& token, const std::string& temp_path,
                                   std::string_view whole_records) {
    if (whole_records.size() % kSize != 0) return false;
    return replace_file(token, path_, temp_path, whole_records, 0600);
  }

  // Keeps the records for which `keep` holds; the rest are dropped.
  template <class Pred>
  [[nodiscard]] bool rewrite_keeping(const WriteToken& token, const std::string& temp_path,
                                     Pred keep) {
    std::vector<Record> kept;
    for (Record& r : read_all()) {
      if (keep(r)) kept.push_back(std::move(r));
    }
    return replace_all(token, temp_path, kept);
  }

  [[nodiscard]] static std::string encode(const Record& record) {
    std::string data(kSize, '\0');
    Codec::encode(record, reinterpret_cast<unsigned char*>(data.data()));
    return data;
  }

 public:
  // Every whole record of a file's contents.
  [[nodiscard]] static std::vector<Record> decode_all(std::string_view data) {
    std::vector<Record> records;
    std::size_t count = data.size() / kSize;
    records.reserve(count);
    auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t i = 0; i < count; ++i) records.push_back(Codec::decode(bytes + i * kSize));
    return records;
  }

 private:
  static std::optional<std::string> read_all_bytes(int fd) { return plazet::read_all(fd); }

  static bool pread_exact(int fd, unsigned char* buf, off_t offset) {
    std::size_t done = 0;
    while (done < kSize) {
      ssize_t n = ::pread(fd, buf + done, kSize - done, offset + static_cast<off_t>(done));
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  static bool pwrite_record(int fd, const Record& record, std::size_t index) {
    std::array<unsigned char, kSize> buf{};
    Codec::encode(record, buf.data());
    std::size_t done = 0;
    off_t offset = static_cast<off_t>(index * kSize);
    while (done < kSize) {
      ssize_t n = ::pwrite(fd, buf.data() + done, kSize - done, offset + static_cast<off_t>(done));
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  std::string path_;
};

}  // namespace plazet
