#include "text/html_text.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

#include "text/escape.h"
#include "text/sanitize.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr std::string_view kFontClose = "</FONT>";

// Single-byte character at `i` that equals `c`.
bool one_byte_is(std::string_view text, std::size_t i, char c) {
  return text[i] == c && sjis_char_len(text, i) == 1;
}

// Position of the first of `patterns` that starts at a character start at or
// after `from` (itself a character start). The patterns are ASCII.
std::optional<std::size_t> find_at_char_start(std::string_view text, std::size_t from,
                                              std::string_view a, std::string_view b) {
  for (std::size_t i = from; i < text.size(); i += sjis_char_len(text, i)) {
    std::string_view rest = text.substr(i);
    if (rest.starts_with(a) || rest.starts_with(b)) return i;
  }
  return std::nullopt;
}

bool ends_address(unsigned char c) {
  return c == '\0' || is_sjis_lead(c) || c == ' ' || c == '<' || c == '>' || c == ',' ||
         c == '\r' || c == '\n';
}

void append_link(std::string& out, std::string_view address, std::string_view visible) {
  out += "<A HREF=\"";
  out += html_attr(address).str();
  out += "\">";
  out += visible;
  out += "</A>";
}

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_nocase(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  for (std::size_t i = 0; i < lower_prefix.size(); ++i) {
    if (ascii_lower(text[i]) != lower_prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string Add_Blue(std::string_view text, std::string_view color) {
  // 1: line start, no colour open; 0: inside an uncoloured line;
  // 2: inside a coloured line; 3: line start after a coloured line, colour
  // still open (an empty or quoted line keeps it, anything else closes it).
  enum State { kPlain = 0, kLineStart = 1, kQuoted = 2, kAfterQuoted = 3 };
  State s = kLineStart;
  const std::string open = "<FONT COLOR=\"#" + html_attr(color).str() + "\">";
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = sjis_char_len(text, i);
    char c = text[i];
    if (len == 2) {
      if (s == kAfterQuoted) {
        out += kFontClose;
        s = kPlain;
      }
      out.append(text.substr(i, 2));
      if (s == kLineStart) s = kPlain;
    } else if (c == '\r') {
      if (s == kPlain) s = kLineStart;
      if (s == kQuoted) s = kAfterQuoted;
      out += c;
    } else if (c == '>' && s == kLineStart) {
      out += open;
      s = kQuoted;
      out += c;
    } else if (s == kAfterQuoted) {
      if (c == '>') {
        s = kQuoted;
      } else {
        out += kFontClose;
        s = kPlain;
      }
      out += c;
    } else {
      out += c;
      if (s == kLineStart) s = kPlain;
    }
    i += len;
  }
  if (s == kQuoted || s == kAfterQuoted) out += kFontClose;
  return out;
}

std::string get_url(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return {};
  std::size_t end = pos;
  while (end < text.size() && !ends_address(static_cast<unsigned char>(text[end]))) ++end;
  return std::string(text.substr(pos, end - pos));
}

std::string Add_a_href(std::string_view text) {
  static constexpr std::array<std::string_view, 4> kWebPrefixes = {"HTTP://", "http://", "HTTPS://",
                                                                   "https://"};
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  std::size_t i = 0;
  while (i < text.size()) {
    if (sjis_char_len(text, i) == 2) {
      out.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    std::string_view rest = text.substr(i);
    bool web = false;
    for (std::string_view prefix : kWebPrefixes) web = web || rest.starts_with(prefix);
    if (web) {
      std::string address = get_url(text, i);
      append_link(out, address, address);
      i += address.size();
    } else if (rest.starts_with("MAILTO:") || rest.starts_with("mailto:")) {
      std::string address = get_url(text, i);
      append_link(out, address, std::string_view(address).substr(7));
      i += address.size();
    } else if (rest.starts_with("<A HREF") || rest.starts_with("<a href")) {
      // No links inside an anchor the writer made himself.
      std::optional<std::size_t> close = find_at_char_start(text, i, "</A>", "</a>");
      if (!close) {
        out.append(rest);
        break;
      }
      out.append(text.substr(i, *close - i));
      out += "</A>";
      i = *close + 4;
    } else if (rest.starts_with("<IMG") || rest.starts_with("<img")) {
      // Addresses inside an image tag stay as they are.
      std::optional<std::size_t> gt = find_at_char_start(text, i, ">", ">");
      if (!gt) {
        out.append(rest);
        break;
      }
      out.append(text.substr(i, *gt + 1 - i));
      i = *gt + 1;
    } else {
      out += text[i];
      ++i;
    }
  }
  return out;
}

std::string CrLf_to_BR(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size() && out.size() <= kBrOutputLimit;) {
    std::size_t len = sjis_char_len(text, i);
    if (len == 1 && text[i] == '\r') {
      out += "<BR>\n";
    } else if (len == 1 && text[i] == '\n') {
      // Dropped: bodies keep CR as their line end.
    } else {
      out.append(text.substr(i, len));
    }
    i += len;
  }
  return out;
}

std::string CrLf_to_Cr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = sjis_char_len(text, i);
    if (!(len == 1 && text[i] == '\n')) out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

std::string Add_Res(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 1);
  bool line_start = true;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = sjis_char_len(text, i);
    if (one_byte_is(text, i, '\n')) {
      line_start = true;
    } else if (one_byte_is(text, i, '\r')) {
      if (line_start) out += '>';
      out += '\r';
      line_start = true;
    } else {
      if (line_start) out += '>';
      line_start = false;
      out.append(text.substr(i, len));
    }
    i += len;
  }
  return out;
}

std::string ketadori(std::string_view number) {
  std::size_t i = 0;
  auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < number.size() && is_space(number[i])) ++i;
  bool negative = false;
  if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
    negative = number[i] == '-';
    ++i;
  }
  // The magnitude, clamped to what a signed 64-bit value can hold.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t value = 0;
  for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
    std::uint64_t digit = static_cast<std::uint64_t>(number[i] - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  const std::uint64_t g1 = value / 1000000000;
  const std::uint64_t g2 = value / 1000000 % 1000;
  const std::uint64_t g3 = value / 1000 % 1000;
  const std::uint64_t g4 = value % 1000;
  std::string out = negative && value > 0 ? "-" : "";
  bool started = false;
  auto put = [&](std::uint64_t group) {
    std::string digits = std::to_string(group);
    if (started) {
      out += ',';
      out.append(3 - digits.size(), '0');
    }
    out += digits;
    started = true;
  };
  if (g1 > 0) put(g1);
  if (started || g2 > 0) put(g2);
  if (started || g3 > 0) put(g3);
  put(g4);
  return out;
}

std::string TrimRight(std::string_view text) {
  std::size_t keep = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = sjis_char_len(text, i);
    if (!(len == 1 && text[i] == ' ')) keep = i + len;
    i += len;
  }
  return std::string(text.substr(0, keep));
}

std::string HtmlConvert(std::string_view text) {
  static constexpr std::array<std::string_view, 9> kTags = {
      "<meta", "<table", "</table", "<tr", "</tr", "<td", "</td", "<html", "</html"};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool hit = false;
    if (text[i] == '<') {
      for (std::string_view tag : kTags) hit = hit || starts_with_nocase(text.substr(i), tag);
    }
    if (hit) {
      out += "&lt;";
    } else {
      out += text[i];
    }
  }
  return out;
}

Html render_body(std::string_view body, std::string_view reply_color, int html_mode) {
  std::string text = Add_Blue(body, reply_color.empty() ? kDefaultReplyColor : reply_color);
  if (html_mode == 0) {
    text = CrLf_to_BR(Add_a_href(text));
  } else if (html_mode == 1) {
    text = "<PRE>" + text + "</PRE>";
  }
  return sanitize_html(text);
}

}  // namespace plazet
