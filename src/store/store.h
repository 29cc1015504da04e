// The store context every data function works in: the data directory and
// this request's cache of parsed files. The request's lock on the directory
// is held by whoever made the context (the job runner, plazetctl, a test);
// a function that changes a file also takes the lock's WriteToken, which
// only an exclusive lock hands out.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "store/cache.h"

namespace plazet {

class Store {
 public:
  // `data_dir` is DATA_FILE_PATH: data files are named by plain
  // concatenation, so it normally ends with "/".
  explicit Store(std::string data_dir) : dir_(std::move(data_dir)) {}

  [[nodiscard]] const std::string& dir() const { return dir_; }
  [[nodiscard]] std::string path(std::string_view name) const { return dir_ + std::string(name); }
  [[nodiscard]] StoreCache& cache() { return cache_; }

 private:
  std::string dir_;
  StoreCache cache_;
};

}  // namespace plazet
