// A fresh directory under /tmp for one test, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace plazet::testing {

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
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << contents;
  }
  [[nodiscard]] std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  [[nodiscard]] bool exists(const std::string& name) const {
    return std::filesystem::exists(file(name));
  }

 private:
  std::string path_;
};

}  // namespace plazet::testing
