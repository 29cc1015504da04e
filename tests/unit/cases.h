// Case tables kept as text under tests/unit/data: one case a line, its fields
// split by " => " (the last one is what the case expects), "[name]" starts a
// section, "#" starts a remark line, blank lines are skipped.  Bytes that are
// not printable are written \xNN; \r, \n, \t, \0 and \\ are understood too,
// and \{300*n} stands for 300 letters n.
#pragma once

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
      const std::size_t star = s.find('*', i), end = s.find('}', i);
      out.append(std::stoul(std::string(s.substr(i + 1, star - i - 1))), s.at(star + 1));
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
