// Reading of the comma-separated text masters. Files are read whole and cut
// into lines the way a fixed read buffer does: a read returns at most
// `max_bytes` bytes, ending after a line feed when one comes first, so a
// longer line continues as the next "line".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plazet {

class LineReader {
 public:
  LineReader(std::string_view text, std::size_t max_bytes) : text_(text), max_(max_bytes) {}

  // The next piece, with its line feed when it has one; nullopt at the end.
  [[nodiscard]] std::optional<std::string_view> next();

 private:
  std::string_view text_;
  std::size_t max_;
};

// A file's text with the pieces a LineReader cuts it into. Keeps offsets,
// not views, so it can be moved into a cache safely.
class LinedText {
 public:
  LinedText() = default;
  LinedText(std::string text, std::size_t max_bytes);

  [[nodiscard]] const std::string& text() const { return text_; }
  [[nodiscard]] std::size_t size() const { return spans_.size(); }
  [[nodiscard]] std::string_view operator[](std::size_t i) const {
    return std::string_view(text_).substr(spans_[i].first, spans_[i].second);
  }

 private:
  std::string text_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;  // offset, length
};

// Splits like strtok: every byte of `separators` separates, a run of them
// counts as one, and there are no empty tokens. At most `max_tokens` tokens.
[[nodiscard]] std::vector<std::string_view> split_tokens(std::string_view line,
                                                         std::string_view separators,
                                                         std::size_t max_tokens = SIZE_MAX);

// A value as a line of a text file may hold it: CR and LF become blanks, so
// no value can end a line early or forge the next one.
[[nodiscard]] std::string single_line(std::string_view text);

// The first fields.size() fields of a line whose every field ends with a
// comma, and the rest of the line after them; nullopt when one of them has
// no comma after it.
[[nodiscard]] std::optional<std::string_view> comma_fields(std::string_view line,
                                                           std::span<std::string_view> fields);

// The leading decimal number as atol reads it (blanks, sign, digits; 0 when
// there are none), clamped to the 32-bit range instead of overflowing.
[[nodiscard]] long atol_prefix(std::string_view text);

}  // namespace plazet
