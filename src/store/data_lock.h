// The reader/writer lock a request holds on the data directory for its whole
// life: shared for jobs that only read, exclusive for jobs that write.
//
// Every primitive that changes a stored file takes a WriteToken, and the only
// way to get one is from an exclusive lock. A write attempted under a shared
// lock throws LockViolation: it is a programming error in the dispatch table
// or a handler, never something a user can cause.
#pragma once

#include <stdexcept>
#include <string>

#include "store/fd.h"

namespace plazet {

enum class LockMode { kShared, kExclusive };

class LockViolation : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class WriteToken {
 public:
  WriteToken(const WriteToken&) = delete;
  WriteToken& operator=(const WriteToken&) = delete;

 private:
  friend class DataLock;
  WriteToken() = default;
  WriteToken(WriteToken&&) = default;
  WriteToken& operator=(WriteToken&&) = default;
};

class DataLock {
 public:
  static constexpr const char* kLockFileName = "plazet.lock";

  // Takes the lock on `<data_dir>plazet.lock`, waiting for other requests.
  // When the lock file cannot be opened (no data directory yet) the request
  // goes on unlocked: none of its data files can be opened either.
  [[nodiscard]] static DataLock acquire(const std::string& data_dir, LockMode mode);

  DataLock(DataLock&&) = default;
  DataLock& operator=(DataLock&&) = default;

  [[nodiscard]] LockMode mode() const { return mode_; }
  [[nodiscard]] bool held() const { return fd_.valid(); }

  // The proof of exclusive access that every write primitive asks for.
  [[nodiscard]] const WriteToken& write_token() const;

 private:
  DataLock(UniqueFd fd, LockMode mode) : fd_(std::move(fd)), mode_(mode) {}

  UniqueFd fd_;  // closing the descriptor releases the flock
  LockMode mode_;
  WriteToken token_;
};

}  // namespace plazet
