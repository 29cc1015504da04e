#include "store/line_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace plazet {

std::optional<std::string_view> LineReader::next() {
  if (text_.empty() || max_ == 0) return std::nullopt;
  std::size_t limit = std::min(max_, text_.size());
  std::size_t lf = text_.substr(0, limit).find('\n');
  std::size_t n = lf == std::string_view::npos ? limit : lf + 1;
  std::string_view piece = text_.substr(0, n);
  text_.remove_prefix(n);
  return piece;
}

LinedText::LinedText(std::string text, std::size_t max_bytes) : text_(std::move(text)) {
  LineReader reader(text_, max_bytes);
  while (std::optional<std::string_view> line = reader.next()) {
    spans_.emplace_back(static_cast<std::size_t>(line->data() - text_.data()), line->size());
  }
}

std::vector<std::string_view> split_tokens(std::string_view line, std::string_view separators,
                                           std::size_t max_tokens) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (tokens.size() < max_tokens) {
    pos = line.find_first_not_of(separators, pos);
    if (pos == std::string_view::npos) break;
    std::size_t end = line.find_first_of(separators, pos);
    if (end == std::string_view::npos) end = line.size();
    tokens.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return tokens;
}

std::optional<std::string_view> comma_fields(std::string_view line,
                                             std::span<std::string_view> fields) {
  for (std::string_view& field : fields) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    field = line.substr(0, comma);
    line.remove_prefix(comma + 1);
  }
  return line;
}

long atol_prefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{INT32_MAX} + 1) value = std::int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<long>(value);
}

std::string single_line(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

}  // namespace plazet
