#include "store/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace plazet {

UniqueFd b_open(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd) fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  return fd;
}

UniqueFd open_text_master(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd) fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  return fd;
}

std::optional<std::string> read_all(int fd) {
  std::string data;
  struct stat st {};
  // A regular file is read in its known size; nothing writes to a data file
  // while a request holds the lock, so no final empty read is needed.
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    auto size = static_cast<std::size_t>(st.st_size);
    data.resize(size);
    std::size_t got = 0;
    while (got < size) {
      ssize_t n = ::read(fd, data.data() + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return std::nullopt;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    if (got < size || size > 0) return data;
  }
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(chunk, static_cast<std::size_t>(n));
  }
  return data;
}

std::optional<std::string> read_file(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  return read_all(fd.get());
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> read_file_at(int dir_fd, const char* name, bool& missing) {
  missing = false;
  UniqueFd fd(::openat(dir_fd, name, O_RDONLY | O_CLOEXEC));
  if (!fd) {
    missing = errno == ENOENT;
    return std::nullopt;
  }
  std::string data;
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    data.append(chunk, static_cast<std::size_t>(n));
    // A short read of a regular file is its end: no further call needed.
    if (static_cast<std::size_t>(n) < sizeof chunk) break;
  }
  return data;
}

bool file_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace plazet
