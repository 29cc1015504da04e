// Per-request cache of parsed data files, keyed by path. A page reads each
// file at most once; a write through the store drops the entry so the next
// read sees the new contents. Values computed from a file are keyed
// "<path>#<what>" and are dropped with it.
//
// Values are handed out as shared pointers: a caller that still holds one
// when a write drops the entry keeps reading the old contents, never freed
// memory.
#pragma once

#include <any>
#include <memory>
#include <string>
#include <unordered_map>

namespace plazet {

class StoreCache {
 public:
  // The cached value for `key`, made by `load()` on first use.
  template <class T, class Load>
  std::shared_ptr<const T> get(const std::string& key, Load load) {
    auto it = entries_.find(key);
    if (it == entries_.end()) {
      it = entries_.emplace(key, std::any(std::make_shared<const T>(load()))).first;
    }
    return std::any_cast<const std::shared_ptr<const T>&>(it->second);
  }
  // Drops `key` and every entry derived from it ("<key>#...").
  void invalidate(const std::string& key) {
    std::erase_if(entries_, [&](const auto& entry) {
      const std::string& k = entry.first;
      return k.compare(0, key.size(), key) == 0 && (k.size() == key.size() || k[key.size()] == '#');
    });
  }

 private:
  std::unordered_map<std::string, std::any> entries_;
};

}  // namespace plazet
