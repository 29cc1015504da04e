// The response buffer. A page is built in memory and written once when the
// request ends, so a late error can still replace it and nothing half
// printed reaches the browser.
#pragma once

#include <string>
#include <string_view>

namespace plazet {

class Output {
 public:
  // Appends one printf-style fragment; the format is checked at compile time.
  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);
  void write(std::string_view raw) { buf_.append(raw); }
  void clear() { buf_.clear(); }
  [[nodiscard]] const std::string& str() const { return buf_; }
  [[nodiscard]] bool empty() const { return buf_.empty(); }

 private:
  std::string buf_;
};

}  // namespace plazet
