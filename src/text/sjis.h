// Shift-JIS text walking. Every scan of stored or typed text goes through
// these helpers: a byte 0x7F-0xA0 or 0xE0-0xFF starts a two-byte character
// and takes the next byte with it, any other byte is a character of its own.
// Tests for ASCII separators and letters apply to one-byte characters only,
// since a trail byte may look like "\\", "/" or a letter.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plazet {

[[nodiscard]] constexpr bool is_sjis_lead(unsigned char c) {
  return (c >= 0x7F && c <= 0xA0) || c >= 0xE0;
}

// Length in bytes of the character starting at `text[i]` (1 or 2; 1 for a
// lead byte at the very end).
[[nodiscard]] inline std::size_t sjis_char_len(std::string_view text, std::size_t i) {
  return is_sjis_lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// Position of the first occurrence of `pattern` that starts at a character
// start; nullopt when there is none or the pattern is empty.
[[nodiscard]] std::optional<std::size_t> StrFind(std::string_view text, std::string_view pattern);

// The text after the last one-byte occurrence of `separator`: the whole text
// when it does not occur, empty when the text ends with it.
[[nodiscard]] std::string cut_name(std::string_view text, char separator);

// Cuts `text` to what a NUL-terminated field of `width` bytes holds, never
// inside a two-byte character; a NUL ends the text.
[[nodiscard]] std::string fit_text_field(std::string_view text, std::size_t width);

// Upper-cases the one-byte letters a-z; two-byte characters stay as they are.
void ToUppers(std::string& text);

}  // namespace plazet
