#include "text/sanitize.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "cases.h"

namespace plazet {
namespace {

using namespace std::string_literals;

// --- A checker that reads HTML the way a browser does ---
//
// It is written apart from the filter on purpose: it follows the HTML5
// tokeniser (a "<" inside an attribute name belongs to the name, "/" separates
// attributes, an unquoted value runs to a blank or ">") and reports every
// surviving tag a browser would act on.

constexpr auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r' && c != '\v'); };
constexpr auto is_letter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
constexpr auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
// Value of a digit in base 10 or 16, or -1.
int digit_value(char c, bool hex) {
  if (is_digit(c)) return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const std::vector<std::string> kAllowedTags = {
    "b",     "i",    "u",   "s",   "em",     "strong",     "font", "br", "p",
    "div",   "span", "pre", "hr",  "center", "blockquote", "ul",   "ol", "li",
    "dl",    "dt",   "dd",  "h1",  "h2",     "h3",         "h4",   "h5", "h6",
    "small", "big",  "sub", "sup", "tt",     "code",       "a",    "img"};

// Attributes that load or run something when they hold an address.
const std::vector<std::string> kAddressAttributes = {
    "formaction", "srcdoc",   "xlink:href", "action", "background", "dynsrc", "lowsrc",
    "data",       "codebase", "poster",     "srcset", "code",       "archive"};

auto contains = [](const std::vector<std::string>& list, const std::string& item) {
  return std::ranges::find(list, item) != list.end();
};

// Decodes character references as a browser does in an attribute value
// (numeric ones with or without ";", the named ones used to hide schemes).
std::string decode_references(std::string_view v) {
  struct Named {
    std::string_view name;
    char c;
  };
  static const Named kNamed[] = {
      {"colon;", ':'}, {"Tab;", '\t'},   {"NewLine;", '\n'}, {"sol;", '/'},   {"lpar;", '('},
      {"rpar;", ')'},  {"amp;", '&'},    {"quot;", '"'},     {"apos;", '\''}, {"lt;", '<'},
      {"gt;", '>'},    {"period;", '.'}, {"comma;", ','},    {"excl;", '!'},  {"num;", '#'}};
  std::string out;
  for (std::size_t i = 0; i < v.size();) {
    if (v[i] == '&' && i + 1 < v.size() && v[i + 1] == '#') {
      std::size_t j = i + 2;
      bool hex = j < v.size() && (v[j] == 'x' || v[j] == 'X');
      if (hex) ++j;
      long code = 0;
      std::size_t start = j;
      for (; j < v.size() && digit_value(v[j], hex) >= 0; ++j) {
        code = code * (hex ? 16 : 10) + digit_value(v[j], hex);
        if (code > 0x10FFFF) code = 0x110000;
      }
      if (j > start) {
        if (j < v.size() && v[j] == ';') ++j;
        out += code > 0 && code < 0x80 ? static_cast<char>(code) : '?';
        i = j;
        continue;
      }
    }
    if (v[i] == '&') {
      bool done = false;
      for (const Named& n : kNamed) {
        if (v.substr(i + 1).starts_with(n.name)) {
          out += n.c;
          i += 1 + n.name.size();
          done = true;
          break;
        }
      }
      if (done) continue;
    }
    out += v[i++];
  }
  return out;
}

// True when a browser would follow `value` into something that is not
// http, https, mailto, ftp or a relative address.
bool dangerous_address(std::string_view value) {
  std::string decoded = decode_references(value);
  std::string clean;
  for (char c : decoded) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u > 0x20 && u != 0x7F) clean += c;
  }
  clean = lower(clean);
  std::size_t i = 0;
  if (clean.empty() || !is_letter(clean[0])) return false;  // Relative.
  while (i < clean.size() && (is_letter(clean[i]) || is_digit(clean[i]) || clean[i] == '+' ||
                              clean[i] == '-' || clean[i] == '.')) {
    ++i;
  }
  if (i >= clean.size() || clean[i] != ':') return false;  // No scheme: relative.
  std::string scheme = clean.substr(0, i);
  return scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "ftp";
}

struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool closed = false;
  // An unquoted value holding "`", a quote or "=": old browsers quoted with
  // backquotes or split there, so the tag may hide another attribute.
  bool ambiguous = false;
};

// Tokenises the tag whose name starts at `i`; leaves `i` after its ">".
Tag read_tag(std::string_view h, std::size_t& i) {
  Tag tag;
  while (i < h.size() && !is_space(h[i]) && h[i] != '/' && h[i] != '>') tag.name += h[i++];
  tag.name = lower(tag.name);
  for (;;) {
    while (i < h.size() && (is_space(h[i]) || h[i] == '/')) ++i;
    if (i >= h.size()) return tag;
    if (h[i] == '>') {
      ++i;
      tag.closed = true;
      return tag;
    }
    std::string name(1, h[i++]);  // Takes a leading "=" into the name, as browsers do.
    while (i < h.size() && !is_space(h[i]) && h[i] != '/' && h[i] != '>' && h[i] != '=') {
      name += h[i++];
    }
    std::size_t j = i;
    while (j < h.size() && is_space(h[j])) ++j;
    std::string value;
    if (j < h.size() && h[j] == '=') {
      ++j;
      while (j < h.size() && is_space(h[j])) ++j;
      if (j < h.size() && (h[j] == '"' || h[j] == '\'')) {
        char q = h[j++];
        while (j < h.size() && h[j] != q) value += h[j++];
        if (j >= h.size()) return tag;
        ++j;
      } else {
        while (j < h.size() && !is_space(h[j]) && h[j] != '>') value += h[j++];
        if (value.find_first_of("`\"'=") != std::string::npos) tag.ambiguous = true;
      }
      i = j;
    }
    // Control bytes are left out of the name: some browsers skipped them.
    std::string bare;
    for (char c : name) {
      if (static_cast<unsigned char>(c) >= 0x20) bare += c;
    }
    tag.attributes.emplace_back(lower(bare), value);
  }
}

// Everything in `html` a browser would run or load as script; empty when
// the text is harmless.
std::string active_content(std::string_view h) {
  std::string problems;
  for (std::size_t i = 0; i < h.size(); ++i) {
    if (h[i] != '<' || i + 1 >= h.size()) continue;
    char next = h[i + 1];
    if (next == '!' || next == '?' ||
        (next == '/' && (i + 2 >= h.size() || !is_letter(h[i + 2])))) {
      problems += "markup declaration or bogus comment; ";
      continue;
    }
    if (!is_letter(next) && next != '/') continue;
    bool end_tag = next == '/';
    std::size_t j = i + (end_tag ? 2 : 1);
    Tag tag = read_tag(h, j);
    if (!tag.closed) problems += "unterminated tag <" + tag.name + "; ";
    if (tag.ambiguous) problems += "ambiguous unquoted value in <" + tag.name + "; ";
    if (!contains(kAllowedTags, tag.name)) problems += "tag <" + tag.name + "; ";
    for (const auto& [name, value] : tag.attributes) {
      if (name.starts_with("on")) problems += "handler " + name + "; ";
      if (name == "style") problems += "style; ";
      if (contains(kAddressAttributes, name)) problems += "attribute " + name + "; ";
      if ((name == "href" || name == "src") && dangerous_address(value)) {
        problems += name + "=" + value + "; ";
      }
      if (value.find("&{") != std::string::npos) problems += "script entity; ";
    }
    i = j - 1;
  }
  return problems;
}

// The injection vectors: every one must come out without active content.
std::vector<std::string> vectors() {
  std::vector<std::string> out;
  for (const testing::Case& c : testing::load_cases("sanitize_vectors.txt"))
    out.push_back(c.fields.at(0));
  return out;
}
const std::vector<std::string> kVectors = vectors();

TEST(SanitizeTest, CheckerSeesEveryVectorAsActive) {
  // The checker itself must recognise the raw vectors, or the corpus proves
  // nothing.
  for (const std::string& v : kVectors) EXPECT_NE(active_content(v), "") << v;
}

// Every vector alone, after a lead byte or inside text must come out
// harmless; filtering the output again changes nothing.
TEST(SanitizeTest, NoVectorKeepsActiveContent) {
  ASSERT_GE(kVectors.size(), 90u);
  for (const std::string& v : kVectors) {
    for (const std::string& wrap : {""s, "\x82"s, "\x95\x5C"s, "x "s, "<b>"s}) {
      std::string out = sanitize_html(wrap + v + wrap).str();
      EXPECT_EQ(active_content(out), "") << "input: " << wrap << v << "\noutput: " << out;
      EXPECT_TRUE(!wrap.empty() || sanitize_html(out) == out) << "filtered twice: " << v;
    }
  }
}

}  // namespace
}  // namespace plazet
