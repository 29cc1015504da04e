#include "store/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "store/file_io.h"

namespace plazet {
namespace {

std::string directory_of(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A rename is durable only once the directory entry itself is synced.
void sync_directory(const std::string& path) {
  UniqueFd dir(::open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
}

}  // namespace

AtomicReplace::AtomicReplace(const WriteToken&, std::string target, std::string temp_path,
                             mode_t mode, Sync sync)
    : target_(std::move(target)), temp_(std::move(temp_path)), sync_(sync) {
  // A temporary left by an interrupted rewrite of the same file goes first.
  ::unlink(temp_.c_str());
  fd_.reset(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

AtomicReplace::~AtomicReplace() {
  if (!committed_ && fd_.valid()) {
    fd_.reset();
    ::unlink(temp_.c_str());
  }
}

void AtomicReplace::write(std::string_view data) {
  if (!fd_ || failed_) return;
  if (!write_all(fd_.get(), data)) failed_ = true;
}

bool AtomicReplace::commit() {
  if (!ok() || committed_) return false;
  if (sync_ == Sync::kSynced && ::fsync(fd_.get()) != 0) failed_ = true;
  fd_.reset();
  if (failed_ || std::rename(temp_.c_str(), target_.c_str()) != 0) {
    ::unlink(temp_.c_str());
    committed_ = true;  // nothing left to clean up
    return false;
  }
  committed_ = true;
  if (sync_ == Sync::kSynced) sync_directory(target_);
  return true;
}

bool sync_file(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd || ::fsync(fd.get()) != 0) return false;
  sync_directory(path);
  return true;
}

bool replace_file(const WriteToken& token, const std::string& target, const std::string& temp_path,
                  std::string_view contents, mode_t mode, Sync sync) {
  AtomicReplace out(token, target, temp_path, mode, sync);
  out.write(contents);
  return out.commit();
}

bool append_text_lines(const WriteToken&, const std::string& path, std::string_view lines) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (!fd) return false;
  off_t end = ::lseek(fd.get(), 0, SEEK_END);
  char last = '\n';
  bool needs_break = end > 0 && ::pread(fd.get(), &last, 1, end - 1) == 1 && last != '\n';
  std::string text(needs_break ? 1 : 0, '\n');
  text.append(lines);
  return write_all(fd.get(), text);
}

bool create_file_exclusive(const std::string& target, std::string_view contents, mode_t mode) {
  std::string temp = target + ".new" + std::to_string(::getpid());
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd) return false;
  bool ok = write_all(fd.get(), contents) && ::fsync(fd.get()) == 0;
  fd.reset();
  // link() fails when the target appeared meanwhile: the first creator wins.
  ok = ok && ::link(temp.c_str(), target.c_str()) == 0;
  ::unlink(temp.c_str());
  if (ok) sync_directory(target);
  return ok;
}

}  // namespace plazet
