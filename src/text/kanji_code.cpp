#include "text/kanji_code.h"

#include <cstddef>

namespace plazet {

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kSo = 0x0E;
constexpr unsigned char kSi = 0x0F;
constexpr unsigned char kFormFeed = 0x0C;
constexpr unsigned char kSs2 = 0x8E;  // EUC prefix of a half-width katakana.

// Length of the text as the C rules see it: up to the first NUL.
std::size_t c_length(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text.size() : nul;
}

void cut_at_nul(std::string& text) {
  text.resize(c_length(text));
}

unsigned char byte_at(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool in_range(unsigned char c, unsigned char lo, unsigned char hi) {
  return c >= lo && c <= hi;
}

}  // namespace

KanjiCode whatKanjiCode(std::string_view text) {
  const std::size_t n = c_length(text);
  bool euc_like = false;
  // Result when no byte decides, also when a rule runs into the end of the text.
  auto undecided = [&euc_like] { return euc_like ? KanjiCode::kEuc : KanjiCode::kNone; };

  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = byte_at(text, i);
    if (c == kEsc) {
      if (i + 1 >= n) return undecided();
      const unsigned char c2 = byte_at(text, i + 1);
      if (c2 == '$' || c2 == '(') {
        if (i + 2 >= n) return undecided();
        const unsigned char c3 = byte_at(text, i + 2);
        if (c2 == '$' && (c3 == '@' || c3 == 'B')) return KanjiCode::kJis;
        if (c2 == '(' && (c3 == 'B' || c3 == 'I' || c3 == 'J')) return KanjiCode::kJis;
        i += 3;
      } else {
        i += 2;
      }
    } else if (c == kSo || c == kSi) {
      return KanjiCode::kJis;
    } else if (c <= 0x80 || c == 0xFF) {
      ++i;
    } else if (c <= 0x9F && c != kSs2) {
      // Only Shift-JIS uses 0x81 to 0x9F as lead bytes.
      return KanjiCode::kShiftJis;
    } else if (c == kSs2) {
      if (i + 1 >= n) return undecided();
      const unsigned char b = byte_at(text, i + 1);
      if (in_range(b, 0x40, 0xA0) || b >= 0xE0) return KanjiCode::kShiftJis;
      // Could be an EUC half-width katakana.
      euc_like = true;
      i += 2;
    } else if (in_range(c, 0xA1, 0xFC)) {
      if (i + 1 >= n) return undecided();
      const unsigned char b = byte_at(text, i + 1);
      if (b <= 0xA0 || b == 0xFF) return KanjiCode::kShiftJis;
      // Valid in both encodings; EUC unless something later says otherwise.
      euc_like = true;
      i += 2;
    } else {
      // 0xA0, 0xFD and 0xFE: only EUC uses these.
      return KanjiCode::kEuc;
    }
  }
  return undecided();
}

void AutoConvertToShiftJis(std::string& text) {
  cut_at_nul(text);
  if (text.empty()) return;
  switch (whatKanjiCode(text)) {
    case KanjiCode::kJis:
      JisToShiftJisWithLen(text);
      break;
    case KanjiCode::kEuc:
      EucToShiftJisWithLen(text);
      break;
    case KanjiCode::kNone:
    case KanjiCode::kShiftJis:
      break;
  }
}

void JisToShiftJisWithLen(std::string& text) {
  cut_at_nul(text);
  const std::size_t n = text.size();
  bool two_byte = false;
  bool katakana = false;
  std::size_t in = 0;
  std::size_t out = 0;  // Never passes `in`: every step writes at most what it reads.
  while (in < n) {
    const unsigned char c = byte_at(text, in);
    if (c == kEsc) {
      if (in + 1 >= n) break;
      const unsigned char c2 = byte_at(text, in + 1);
      if (c2 == '$' || c2 == '(') {
        // An unknown third byte (or none) is walked again as ordinary input.
        const int c3 = in + 2 < n ? byte_at(text, in + 2) : -1;
        in += 2;
        if (c2 == '$' && (c3 == 'B' || c3 == '@')) {
          two_byte = true;
          ++in;
        } else if (c2 == '(' && (c3 == 'J' || c3 == 'B')) {
          two_byte = false;
          katakana = false;
          ++in;
        } else if (c2 == '(' && c3 == 'I') {
          two_byte = false;
          katakana = true;
          ++in;
        }
      } else if (c2 == 'K') {
        two_byte = true;
        in += 2;
      } else if (c2 == 'H') {
        two_byte = false;
        katakana = false;
        in += 2;
      } else {
        // Only the ESC goes; the next byte is walked normally.
        ++in;
      }
    } else if (c == kSo || c == kSi || c == kFormFeed) {
      ++in;
    } else if (two_byte) {
      if (in + 1 >= n) break;
      unsigned char c1 = c;
      unsigned char c2 = byte_at(text, in + 1);
      jis2sjis(c1, c2);
      text[out++] = static_cast<char>(c1);
      text[out++] = static_cast<char>(c2);
      in += 2;
    } else if (katakana) {
      text[out++] = static_cast<char>(c | 0x80);
      ++in;
    } else {
      text[out++] = static_cast<char>(c);
      ++in;
    }
  }
  text.resize(out);
}

void EucToShiftJisWithLen(std::string& text) {
  cut_at_nul(text);
  const std::size_t n = text.size();
  std::size_t in = 0;
  std::size_t out = 0;  // Never passes `in`.
  while (in < n) {
    const unsigned char c = byte_at(text, in);
    const bool lead = in_range(c, 0xA1, 0xFE) || c == kSs2;
    if (lead && in + 1 >= n) {
      // A lead byte cut off by the end of the text is kept as it is.
      text[out++] = static_cast<char>(c);
      ++in;
    } else if (in_range(c, 0xA1, 0xFE)) {
      unsigned char c1 = c;
      unsigned char c2 = byte_at(text, in + 1);
      if (in_range(c2, 0xA1, 0xFE)) {
        c1 = static_cast<unsigned char>(c1 - 0x80);
        c2 = static_cast<unsigned char>(c2 - 0x80);
        jis2sjis(c1, c2);
        text[out++] = static_cast<char>(c1);
        text[out++] = static_cast<char>(c2);
      }
      // A broken pair is dropped.
      in += 2;
    } else if (c == kSs2) {
      const unsigned char c2 = byte_at(text, in + 1);
      if (in_range(c2, 0xA1, 0xDF)) {
        // Half-width katakana: Shift-JIS uses the second byte alone.
        text[out++] = static_cast<char>(c2);
      } else {
        text[out++] = static_cast<char>(c);
        text[out++] = static_cast<char>(c2);
      }
      in += 2;
    } else if (c == kFormFeed) {
      ++in;
    } else {
      text[out++] = static_cast<char>(c);
      ++in;
    }
  }
  text.resize(out);
}

void jis2sjis(unsigned char& c1, unsigned char& c2) {
  const int row = c1;
  const int cell = c2;
  const int first = (row + 1) / 2 + (row <= 0x5E ? 0x70 : 0xB0);
  const int second = cell + (row % 2 == 1 ? (cell < 0x60 ? 0x1F : 0x20) : 0x7E);
  c1 = static_cast<unsigned char>(first & 0xFF);
  c2 = static_cast<unsigned char>(second & 0xFF);
}

}  // namespace plazet
