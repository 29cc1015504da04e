// Field codecs for the fixed-size binary record files. Integers are stored as
// 32-bit signed big-endian values whatever the host, texts as NUL-padded
// fields of a fixed width holding at most width - 1 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace plazet {

inline std::uint32_t load_be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline void store_be32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

inline std::int32_t load_i32(const unsigned char* p) {
  return static_cast<std::int32_t>(load_be32(p));
}

inline void store_i32(unsigned char* p, std::int32_t v) {
  store_be32(p, static_cast<std::uint32_t>(v));
}

inline std::int64_t load_i64(const unsigned char* p) {
  return static_cast<std::int64_t>((std::uint64_t{load_be32(p)} << 32) | load_be32(p + 4));
}

inline void store_i64(unsigned char* p, std::int64_t v) {
  store_be32(p, static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
  store_be32(p + 4, static_cast<std::uint32_t>(v));
}

// The text up to the first NUL, never past the field.
inline std::string load_text(const unsigned char* p, std::size_t width) {
  const void* nul = std::memchr(p, 0, width);
  std::size_t n =
      nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - p) : width;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// Zero-fills the field and copies at most width - 1 bytes of the text, so the
// stored text always ends with a NUL inside its field.
inline void store_text(unsigned char* p, std::size_t width, std::string_view text) {
  std::memset(p, 0, width);
  if (width == 0) return;
  std::size_t n = std::min(text.size(), width - 1);
  if (const void* nul = std::memchr(text.data(), 0, n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  }
  std::memcpy(p, text.data(), n);
}

// Cuts a text to what a field of `width` bytes holds.
inline std::string fit_field(std::string_view text, std::size_t width) {
  return std::string(text.substr(0, width == 0 ? 0 : width - 1));
}

}  // namespace plazet
