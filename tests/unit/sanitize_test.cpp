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
std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}
// Whether `item` is one of the blank-separated words of `list`.
bool contains(std::string_view list, const std::string& item) {
  return (" " + std::string(list) + " ").find(" " + item + " ") != std::string::npos;
}

constexpr std::string_view kAllowedTags =
    "b i u s em strong font br p div span pre hr center blockquote ul ol li dl dt dd h1 h2 h3 h4 "
    "h5 h6 small big sub sup tt code a img";
// Attributes that load or run something when they hold an address.
constexpr std::string_view kAddressAttributes =
    "formaction srcdoc xlink:href action background dynsrc lowsrc data codebase poster srcset "
    "code archive";

// Decodes character references as a browser does in an attribute value
// (numeric ones with or without ";", the named ones used to hide schemes).
std::string decode_references(std::string_view v) {
  static const std::pair<std::string_view, char> kNamed[] = {
      {"colon;", ':'}, {"Tab;", '\t'},   {"NewLine;", '\n'}, {"sol;", '/'},   {"lpar;", '('},
      {"rpar;", ')'},  {"amp;", '&'},    {"quot;", '"'},     {"apos;", '\''}, {"lt;", '<'},
      {"gt;", '>'},    {"period;", '.'}, {"comma;", ','},    {"excl;", '!'},  {"num;", '#'}};
  std::string out;
  for (std::size_t i = 0; i < v.size();) {
    if (v.substr(i, 2) == "&#") {
      const bool hex = i + 2 < v.size() && (v[i + 2] | 0x20) == 'x';
      const std::size_t start = i + 2 + hex;
      std::size_t j = start;
      long code = 0;
      for (int d; j < v.size() && (d = is_digit(v[j]) ? v[j] - '0'
                                       : hex && (v[j] | 0x20) >= 'a' && (v[j] | 0x20) <= 'f'
                                           ? (v[j] | 0x20) - 'a' + 10
                                           : -1) >= 0;
           ++j) {
        code = std::min(code * (hex ? 16 : 10) + d, 0x110000L);
      }
      if (j > start) {
        out += code > 0 && code < 0x80 ? static_cast<char>(code) : '?';
        i = j + (j < v.size() && v[j] == ';');
        continue;
      }
    }
    const auto named = std::ranges::find_if(
        kNamed, [&](const auto& n) { return v[i] == '&' && v.substr(i + 1).starts_with(n.first); });
    if (named != std::end(kNamed)) {
      out += named->second;
      i += 1 + named->first.size();
    } else {
      out += v[i++];
    }
  }
  return out;
}

// True when a browser would follow `value` into something that is not
// http, https, mailto, ftp or a relative address.
bool dangerous_address(std::string_view value) {
  std::string clean;
  for (char c : decode_references(value)) {
    if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F) clean += c;
  }
  clean = lower(clean);
  std::size_t i = 0;
  while (i < clean.size() &&
         (is_letter(clean[i]) || (i > 0 && (is_digit(clean[i]) || clean[i] == '+' ||
                                            clean[i] == '-' || clean[i] == '.')))) {
    ++i;
  }
  if (i == 0 || i >= clean.size() || clean[i] != ':') return false;  // relative
  const std::string scheme = clean.substr(0, i);
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
    std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    tag.attributes.emplace_back(lower(name), value);
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

// The injection vectors: every one alone, after a lead byte or inside text
// must come out harmless; filtering the output again changes nothing. The
// checker itself must see each raw vector as active, or the corpus proves
// nothing.
TEST(SanitizeTest, NoVectorKeepsActiveContent) {
  const std::vector<testing::Case> vectors = testing::load_cases("sanitize_vectors.txt");
  ASSERT_GE(vectors.size(), 90u);
  for (const testing::Case& c : vectors) {
    const std::string& v = c.fields.at(0);
    EXPECT_NE(active_content(v), "") << "the checker misses " << v;
    for (const std::string& wrap : {""s, "\x82"s, "\x95\x5C"s, "x "s, "<b>"s}) {
      std::string out = sanitize_html(wrap + v + wrap).str();
      EXPECT_EQ(active_content(out), "") << "input: " << wrap << v << "\noutput: " << out;
      EXPECT_TRUE(!wrap.empty() || sanitize_html(out) == out) << "filtered twice: " << v;
    }
  }
}

}  // namespace
}  // namespace plazet
