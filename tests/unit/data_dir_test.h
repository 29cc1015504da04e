// A test with a data directory of its own and one request on it at a time,
// as the server runs them: a new request never waits for the old one's lock.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "frame/request.h"
#include "temp_dir.h"

namespace plazet::testing {

class DataDirTest : public ::testing::Test {
 protected:
  // A new request on the directory, holding the data lock in `mode`.
  Request& fresh(LockMode mode = LockMode::kExclusive) {
    req_.reset();
    req_.emplace();
    req_->sys.DATA_FILE_PATH = dir_.prefix();
    req_->lock = DataLock::acquire(dir_.prefix(), mode);
    return *req_;
  }
  Request& req() { return req_ ? *req_ : fresh(); }

  // Places a directory where a work file must go, so that the operation
  // using that name cannot write and must leave its file alone.
  void block(const std::string& work_name) const {
    std::filesystem::create_directory(dir_.file(work_name));
  }

  TempDir dir_;
  std::optional<Request> req_;
};

}  // namespace plazet::testing
