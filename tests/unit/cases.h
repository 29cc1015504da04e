// Case tables kept as text under tests/unit/data: one case a line, its fields
// split by " => " (the last one is what the case expects), "[name]" starts a
// section, "#" starts a remark line, blank lines are skipped.  Bytes that are
// not printable are written \xNN; \r, \n, \t, \0 and \\ are understood too.
// \{300*n} stands for 300 letters n; for binary records, \[5] is the number 5
// as four big-endian bytes and \{24:Taro} is Taro padded with NULs to 24 bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace plazet::testing {

struct Case {
  std::string section;
  int line = 0;
  std::vector<std::string> fields;
};

inline std::string unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == '{') {
      std::size_t end = i + 1;
      for (int depth = 0; end < s.size() && (s[end] != '}' || depth-- > 0); ++end) {
        if (s[end] == '\\' && end + 1 < s.size() && s[++end] == '{') ++depth;
      }
      const std::string_view inner = s.substr(i + 1, end - i - 1);
      const std::size_t colon = inner.find(':'), star = inner.find('*');
      const std::size_t n = std::stoul(std::string(inner.substr(0, std::min(colon, star))));
      if (colon < star) {
        std::string text = unescape(inner.substr(colon + 1));
        text.resize(n, '\0');
        out += text;
      } else {
        out.append(n, inner.at(star + 1));
      }
      i = end;
    } else if (c == '[') {
      const std::size_t end = s.find(']', i);
      const auto v =
          static_cast<std::uint32_t>(std::stoll(std::string(s.substr(i + 1, end - i - 1))));
      for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
      i = end;
    } else if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c == '0' ? '\0' : c;
    }
  }
  return out;
}

// The cases of data file `name`; none when it cannot be read.
inline std::vector<Case> load_cases(const std::string& name) {
  std::ifstream in(std::string(PLAZET_SOURCE) + "/tests/unit/data/" + name);
  std::vector<Case> cases;
  std::string section, line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    if (line.ends_with(" =>")) line += ' ';  // an empty expectation
    Case c{section, number, {}};
    for (std::size_t at = 0;;) {
      const std::size_t end = line.find(" => ", at);
      c.fields.push_back(unescape(std::string_view(line).substr(at, end - at)));
      if (end == std::string::npos) break;
      at = end + 4;
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace plazet::testing
