// The response buffer. A page is built in memory and written once when the
// request ends, so a late error can still replace it and nothing half
// printed reaches the browser.
//
// Pages print through Output::printf, whose format is checked while the
// program compiles: each conversion must match its argument, and "%s" takes
// only Html (what the escaping helpers, the sanitiser and the program's own
// literals make) -- never a std::string or a char pointer. A request value
// or stored text that was not escaped for its place does not compile.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "text/html.h"

namespace plazet {

namespace page_format {

enum class Kind { kHtml, kInt, kLong, kUnsigned, kSize, kOther };

template <class T>
consteval Kind kind_of() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, Html>) return Kind::kHtml;
  if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_extent_t<U>, char>) {
    return Kind::kHtml;  // a string literal of the program's own
  }
  if constexpr (std::is_same_v<U, int>) return Kind::kInt;
  if constexpr (std::is_same_v<U, long>) return Kind::kLong;
  if constexpr (std::is_same_v<U, unsigned>) return Kind::kUnsigned;
  if constexpr (std::is_same_v<U, std::size_t>) return Kind::kSize;
  return Kind::kOther;
}

// Not a constant expression: calling it stops the compilation with this
// function's name in the message.
inline void format_does_not_match_its_arguments() {}

consteval void check(const char* f, const Kind* kinds, std::size_t count) {
  std::size_t next = 0;
  for (std::size_t i = 0; f[i] != '\0'; ++i) {
    if (f[i] != '%') continue;
    ++i;
    if (f[i] == '%') continue;
    while (f[i] == '-' || f[i] == '+' || f[i] == ' ' || f[i] == '#' || f[i] == '0') ++i;
    while (f[i] >= '0' && f[i] <= '9') ++i;
    if (f[i] == '.') {
      ++i;
      while (f[i] >= '0' && f[i] <= '9') ++i;
    }
    Kind want = Kind::kOther;
    if (f[i] == 's') {
      want = Kind::kHtml;
    } else if (f[i] == 'd' || f[i] == 'i') {
      want = Kind::kInt;
    } else if (f[i] == 'u' || f[i] == 'x' || f[i] == 'X') {
      want = Kind::kUnsigned;
    } else if (f[i] == 'l' && (f[i + 1] == 'd' || f[i + 1] == 'i')) {
      want = Kind::kLong;
      ++i;
    } else if (f[i] == 'z' && f[i + 1] == 'u') {
      want = Kind::kSize;
      ++i;
    }
    if (want == Kind::kOther || next >= count || kinds[next] != want) {
      format_does_not_match_its_arguments();
    }
    ++next;
  }
  if (next != count) format_does_not_match_its_arguments();
}

// A format string checked against the argument types at compile time.
template <class... Args>
class Checked {
 public:
  template <std::size_t N>
  consteval Checked(const char (&format)[N]) : text_(format) {  // NOLINT: implicit by design
    constexpr Kind kinds[sizeof...(Args) + 1] = {kind_of<Args>()..., Kind::kOther};
    check(format, kinds, sizeof...(Args));
  }
  [[nodiscard]] const char* text() const { return text_; }

 private:
  const char* text_;
};

inline const char* pass(const Html& text) {
  return text.c_str();
}
template <std::size_t N>
const char* pass(const char (&literal)[N]) {
  return literal;
}
template <class T>
requires std::is_arithmetic_v<T> T pass(T number) {
  return number;
}

}  // namespace page_format

class Output {
 public:
  // Appends one printf-style fragment (see above).
  template <class... Args>
  void printf(page_format::Checked<std::type_identity_t<Args>...> format, const Args&... args) {
    append_formatted(format.text(), page_format::pass(args)...);
  }
  // Appends text as it stands.
  void write(const Html& text) { buf_.append(text.str()); }
  void clear() { buf_.clear(); }
  [[nodiscard]] const std::string& str() const { return buf_; }
  [[nodiscard]] bool empty() const { return buf_.empty(); }

 private:
  // The format was checked against its arguments when the caller compiled.
  void append_formatted(const char* format, ...);

  std::string buf_;
};

}  // namespace plazet
