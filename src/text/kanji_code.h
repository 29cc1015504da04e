// Detection of the Japanese encoding of a text and conversion of JIS
// (ISO-2022-JP) and EUC-JP text to Shift-JIS, the encoding used everywhere
// else in Plazet.
//
// The rules were made for NUL-terminated C strings, and browsers can send a
// NUL as "%00". To keep the same behaviour, a NUL byte ends the text: nothing
// after the first NUL is examined, and the converting functions cut the
// string at the first NUL.
#ifndef PLAZET_TEXT_KANJI_CODE_H_
#define PLAZET_TEXT_KANJI_CODE_H_

#include <string>
#include <string_view>

namespace plazet {

// Result of whatKanjiCode. The numeric values are part of the interface.
enum class KanjiCode : int {
  kNone = 0,      // No byte above 0x80 and no JIS control sequence.
  kShiftJis = 1,  //
  kJis = 2,       // ISO-2022-JP: escape sequences, SO or SI seen.
  kEuc = 3,       // EUC-JP.
};

// Guesses the encoding of `text` (up to its first NUL). The first decisive
// byte decides; when none does, the text is kEuc if it held a pair of high
// bytes that is valid in both EUC and Shift-JIS, else kNone.
[[nodiscard]] KanjiCode whatKanjiCode(std::string_view text);

// Converts `text` to Shift-JIS in place when it is detected as JIS or EUC;
// Shift-JIS and undecided text keep their bytes. In every case the string
// is cut at its first NUL.
void AutoConvertToShiftJis(std::string& text);

// Converts JIS text to Shift-JIS in place. The result is never longer.
void JisToShiftJisWithLen(std::string& text);

// Converts EUC-JP text to Shift-JIS in place. The result is never longer.
void EucToShiftJisWithLen(std::string& text);

// Maps a JIS X 0208 row/cell pair (each 0x21 to 0x7E) to the two Shift-JIS
// bytes, in place. Other byte values go through the same arithmetic,
// modulo 256.
void jis2sjis(unsigned char& c1, unsigned char& c2);

}  // namespace plazet

#endif  // PLAZET_TEXT_KANJI_CODE_H_
