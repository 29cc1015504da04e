#include "store/data_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace plazet {

DataLock DataLock::acquire(const std::string& data_dir, LockMode mode) {
  std::string path = data_dir + kLockFileName;
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (fd) {
    int op = mode == LockMode::kExclusive ? LOCK_EX : LOCK_SH;
    while (::flock(fd.get(), op) != 0) {
      if (errno != EINTR) {
        fd.reset();
        break;
      }
    }
  }
  return DataLock(std::move(fd), mode);
}

const WriteToken& DataLock::write_token() const {
  if (mode_ != LockMode::kExclusive) {
    throw LockViolation("write attempted under a shared data lock");
  }
  return token_;
}

}  // namespace plazet
