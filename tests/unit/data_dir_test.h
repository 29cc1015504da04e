// Scratch directories for tests, and a test with a data directory of its own
// on which requests are made one at a time, as the server runs them.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet::testing {

// A fresh directory under /tmp, removed afterwards.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/plazet-unit-XXXXXX";
    path_ = ::mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing "/", as data paths are written.
  [[nodiscard]] std::string prefix() const { return path_ + "/"; }
  [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << contents;
  }
  [[nodiscard]] std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  [[nodiscard]] bool exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(file(name)));
  }
  // Permission bits, or 0 when there is no such file.
  [[nodiscard]] unsigned mode(const std::string& name) const {
    struct stat st {};
    return ::stat(file(name).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
  }

 private:
  std::string path_;
};

class DataDirTest : public ::testing::Test {
 protected:
  // A new request on the directory: a new store (empty cache), a new lock.
  Store& fresh(LockMode mode = LockMode::kExclusive) {
    store_.reset();
    lock_.reset();
    lock_.emplace(DataLock::acquire(dir_.prefix(), mode));
    store_.emplace(dir_.prefix());
    return *store_;
  }
  Store& store() { return store_ ? *store_ : fresh(); }
  const WriteToken& w() {
    if (!lock_) fresh();
    return lock_->write_token();
  }

  // Places a directory where a work file must go, so that the operation
  // using that name cannot write and must leave its file alone.
  void block(const std::string& work_name) const {
    std::filesystem::create_directories(dir_.file(work_name));
  }
  void unblock(const std::string& work_name) const {
    std::filesystem::remove_all(dir_.file(work_name));
  }

  TempDir dir_;
  std::optional<DataLock> lock_;
  std::optional<Store> store_;
};

}  // namespace plazet::testing
