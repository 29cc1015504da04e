#include "text/sanitize.h"

#include <array>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "text/sjis.h"

namespace plazet {
namespace {

// Attributes allowed on every kept element, and each element's own.
constexpr std::string_view kGlobalAttributes = "title lang dir";

struct ElementRule {
  std::string_view name;
  std::string_view attributes;  // Blank-separated, small letters.
};

constexpr std::array<ElementRule, 35> kElements = {{
    {"a", "href target rel"},
    {"b", ""},
    {"big", ""},
    {"blockquote", ""},
    {"br", "clear"},
    {"center", ""},
    {"code", ""},
    {"dd", ""},
    {"div", "align"},
    {"dl", ""},
    {"dt", ""},
    {"em", ""},
    {"font", "color size face"},
    {"h1", "align"},
    {"h2", "align"},
    {"h3", "align"},
    {"h4", "align"},
    {"h5", "align"},
    {"h6", "align"},
    {"hr", "align size width noshade color"},
    {"i", ""},
    {"img", "src alt width height border align hspace vspace"},
    {"li", "type value"},
    {"ol", "type start"},
    {"p", "align"},
    {"pre", "width"},
    {"s", ""},
    {"small", ""},
    {"span", ""},
    {"strong", ""},
    {"sub", ""},
    {"sup", ""},
    {"tt", ""},
    {"u", ""},
    {"ul", "type"},
}};

// Whitespace inside a tag. A browser turns CR into LF before it tokenises,
// so CR separates as well.
bool is_tag_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

bool in_list(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    std::size_t blank = list.find(' ');
    if (list.substr(0, blank) == name) return true;
    if (blank == std::string_view::npos) break;
    list.remove_prefix(blank + 1);
  }
  return false;
}

const ElementRule* find_element(std::string_view lower_name) {
  for (const ElementRule& rule : kElements) {
    if (rule.name == lower_name) return &rule;
  }
  return nullptr;
}

// End of a tag name starting at `i`: whitespace, "/" or ">" end it. A "<"
// belongs to the name for a browser, but no kept element has one, so the
// scan stops there and the caller gives the tag up; every "<" is then looked
// at once, however many follow each other.
std::size_t tag_name_end(std::string_view text, std::size_t i) {
  while (i < text.size() && !is_tag_space(text[i]) && text[i] != '/' && text[i] != '>' &&
         text[i] != '<') {
    ++i;
  }
  return i;
}

// Bytes that a browser takes into an attribute name only with a parse error,
// and where older browsers guessed differently.
bool is_doubtful_in_name(char c) {
  return c == '"' || c == '\'' || c == '<' || c == '`';
}

// Likewise for an unquoted value; old browsers also quoted with backquotes
// and skipped control bytes.
bool is_doubtful_unquoted(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return c == '"' || c == '\'' || c == '<' || c == '=' || c == '`' || u < 0x20 || u == 0x7F;
}

struct Attribute {
  std::size_t begin = 0;  // First byte of the name.
  std::size_t end = 0;    // One past the value (closing quote included), or the name.
  std::string name;       // Letters folded to small.
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
  char quote = 0;  // '"' or '\'' for a quoted value.
};

struct StartTag {
  const ElementRule* rule = nullptr;
  std::size_t end = 0;  // One past the closing ">".
  std::vector<Attribute> attributes;
};

// Reads the start tag whose "<" is at `start` the way an HTML5 browser
// tokenises it. nullopt when the element is not kept, when the tag has no
// closing ">" in the text, or when it holds a byte that browsers read in
// different ways.
std::optional<StartTag> parse_start_tag(std::string_view text, std::size_t start) {
  const std::size_t n = text.size();
  StartTag tag;
  std::size_t i = tag_name_end(text, start + 1);
  if (i < n && text[i] == '<') return std::nullopt;
  tag.rule = find_element(lowered(text.substr(start + 1, i - start - 1)));
  if (tag.rule == nullptr) return std::nullopt;
  for (;;) {
    // "/" not followed by ">" separates attributes like a blank.
    while (i < n && (is_tag_space(text[i]) || text[i] == '/')) ++i;
    if (i >= n) return std::nullopt;
    if (text[i] == '>') {
      tag.end = i + 1;
      return tag;
    }
    if (text[i] == '=') return std::nullopt;
    Attribute a;
    a.begin = i;
    while (i < n && !is_tag_space(text[i]) && text[i] != '/' && text[i] != '>' && text[i] != '=') {
      if (is_doubtful_in_name(text[i])) return std::nullopt;
      ++i;
    }
    a.name = lowered(text.substr(a.begin, i - a.begin));
    a.end = a.value_begin = a.value_end = i;
    std::size_t j = i;
    while (j < n && is_tag_space(text[j])) ++j;
    if (j < n && text[j] == '=') {
      ++j;
      while (j < n && is_tag_space(text[j])) ++j;
      if (j >= n) return std::nullopt;
      if (text[j] == '"' || text[j] == '\'') {
        // Byte by byte: a lead byte before the quote does not hide it from
        // a browser, so it must not hide it from us.
        std::size_t close = text.find(text[j], j + 1);
        if (close == std::string_view::npos) return std::nullopt;
        a.quote = text[j];
        a.value_begin = j + 1;
        a.value_end = close;
        i = a.end = close + 1;
      } else if (text[j] == '>') {
        a.value_begin = a.value_end = a.end = i = j;
      } else {
        std::size_t k = j;
        while (k < n && !is_tag_space(text[k]) && text[k] != '>') {
          if (is_doubtful_unquoted(text[k])) return std::nullopt;
          ++k;
        }
        a.value_begin = j;
        a.value_end = a.end = i = k;
      }
    }
    tag.attributes.push_back(std::move(a));
  }
}

// The address as a browser resolves its scheme: character references
// decoded (those without ";" too), every blank and control byte removed,
// letters folded. Characters outside ASCII become 0x80, which no scheme
// holds. Named references stay as written; "&" then blocks a scheme.
std::string address_for_scheme(std::string_view raw) {
  std::string out;
  auto put = [&out](unsigned long code) {
    if (code == 0 || code > 0x7F) {
      out += '\x80';
    } else if (code > 0x20 && code != 0x7F) {
      out += ascii_lower(static_cast<char>(code));
    }
  };
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '&' && i + 1 < raw.size() && raw[i + 1] == '#') {
      std::size_t j = i + 2;
      bool hex = j < raw.size() && (raw[j] == 'x' || raw[j] == 'X');
      if (hex) ++j;
      unsigned long code = 0;
      std::size_t digits = j;
      for (; j < raw.size(); ++j) {
        char c = raw[j];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) break;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        if (code > 0x10FFFF) code = 0x110000;  // Out of range: U+FFFD.
      }
      if (j > digits) {
        if (j < raw.size() && raw[j] == ';') ++j;
        put(code);
        i = j;
        continue;
      }
    }
    put(static_cast<unsigned char>(raw[i]) < 0x80 ? static_cast<unsigned char>(raw[i]) : 0x80);
    ++i;
  }
  return out;
}

bool address_allowed(std::string_view raw, bool image) {
  std::string address = address_for_scheme(raw);
  std::string_view a = address;
  if (a.starts_with("http:") || a.starts_with("https:")) return true;
  if (!image && (a.starts_with("mailto:") || a.starts_with("ftp:"))) return true;
  // Otherwise only a relative address: nothing before the first "/", "?" or
  // "#" may name a scheme or hide one behind a reference.
  std::string_view head = a.substr(0, a.find_first_of("/?#"));
  return head.find(':') == std::string_view::npos && head.find('&') == std::string_view::npos;
}

bool keep_attribute(const ElementRule& rule, const Attribute& a, std::string_view value) {
  if (!in_list(kGlobalAttributes, a.name) && !in_list(rule.attributes, a.name)) return false;
  // "&{...}" ran script in any attribute of some old browsers.
  if (value.find("&{") != std::string_view::npos) return false;
  if (a.name == "href" || a.name == "src") return address_allowed(value, rule.name == "img");
  return true;
}

// A value whose last byte starts a two-byte character: a decoder that takes
// the closing quote or blank as its second byte would read the rest of the
// tag differently.
bool ends_inside_character(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size()) {
    if (i + 1 == value.size()) return is_sjis_lead(static_cast<unsigned char>(value[i]));
    i += sjis_char_len(value, i);
  }
  return false;
}

struct CleanTag {
  std::string html;
  std::size_t end = 0;
};

std::optional<CleanTag> clean_start_tag(std::string_view text, std::size_t start, bool verify) {
  std::optional<StartTag> tag = parse_start_tag(text, start);
  if (!tag) return std::nullopt;
  CleanTag result;
  result.end = tag->end;
  std::string& out = result.html;
  std::size_t copied = start;  // text[start, copied) has been dealt with.
  for (const Attribute& a : tag->attributes) {
    std::string_view value = text.substr(a.value_begin, a.value_end - a.value_begin);
    if (!keep_attribute(*tag->rule, a, value)) {
      // Take the blanks in front along when a blank or ">" follows, so
      // "<img src=x onerror=y>" becomes "<img src=x>".
      std::size_t cut = a.begin;
      if (is_tag_space(text[a.end]) || text[a.end] == '>') {
        while (cut > copied && is_tag_space(text[cut - 1])) --cut;
      }
      out.append(text.substr(copied, cut - copied));
      copied = a.end;
      continue;
    }
    if (ends_inside_character(value)) return std::nullopt;
    if (a.quote != 0) {
      out.append(text.substr(copied, a.value_begin - copied));
      for (char c : value) {
        if (c == '<') {
          out += "&lt;";
        } else if (c == '>') {
          out += "&gt;";
        } else {
          out += c;
        }
      }
      copied = a.value_end;
    }
  }
  out.append(text.substr(copied, tag->end - copied));
  if (verify) {
    // What we print must read back as exactly what we meant to keep.
    std::optional<CleanTag> again = clean_start_tag(out, 0, false);
    if (!again || again->end != out.size() || again->html != out) return std::nullopt;
  }
  return result;
}

// End of a kept closing tag at `start` ("</b>", "</FONT >"), or nullopt.
std::optional<std::size_t> clean_end_tag(std::string_view text, std::size_t start) {
  std::size_t i = tag_name_end(text, start + 2);
  if (i < text.size() && text[i] == '<') return std::nullopt;
  if (find_element(lowered(text.substr(start + 2, i - start - 2))) == nullptr) return std::nullopt;
  while (i < text.size() && is_tag_space(text[i])) ++i;
  if (i < text.size() && text[i] == '>') return i + 1;
  return std::nullopt;
}

}  // namespace

Html sanitize_html(std::string_view input) {
  // A NUL is dropped or ignored by browsers in different ways ("<scr\0ipt>"
  // was a script tag to some); without them everyone reads the same text.
  std::string without_nul;
  if (input.find('\0') != std::string_view::npos) {
    without_nul.reserve(input.size());
    for (char c : input) {
      if (c != '\0') without_nul += c;
    }
    input = without_nul;
  }
  const std::string_view text = input;
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t lt = text.find('<', i);
    if (lt == std::string_view::npos) lt = text.size();
    out.append(text.substr(i, lt - i));
    i = lt;
    if (i >= text.size()) break;
    if (i + 1 < text.size() && is_alpha(text[i + 1])) {
      if (std::optional<CleanTag> tag = clean_start_tag(text, i, true)) {
        out += tag->html;
        i = tag->end;
        continue;
      }
    } else if (i + 2 < text.size() && text[i + 1] == '/' && is_alpha(text[i + 2])) {
      if (std::optional<std::size_t> end = clean_end_tag(text, i)) {
        out.append(text.substr(i, *end - i));
        i = *end;
        continue;
      }
    }
    out += "&lt;";
    ++i;
  }
  return Html(std::move(out));
}

}  // namespace plazet
