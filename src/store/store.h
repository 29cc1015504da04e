// The store context every data function works in: the data directory and
// this request's cache of parsed files. The request's lock on the directory
// is held by whoever made the context (the job runner, plazetctl, a test);
// a function that changes a file also takes the lock's WriteToken, which
// only an exclusive lock hands out.
#pragma once

#include <any>
#include <map>
#include <memory>
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

  // What this request's writes keep until the request ends, under `key`
  // (made empty on first use); unlike the cache, writes never drop it. A
  // derived file kept up to date by the writes (a board's read-mark
  // summary) is gathered here and written once, at the end.
  template <class T>
  T& work(const std::string& key) {
    auto it = work_.find(key);
    if (it == work_.end()) it = work_.emplace(key, std::make_shared<T>()).first;
    return *std::any_cast<const std::shared_ptr<T>&>(it->second);
  }

 private:
  std::string dir_;
  StoreCache cache_;
  std::map<std::string, std::any> work_;
};

}  // namespace plazet
