#include "text/kanji_code.h"

#include <initializer_list>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace plazet {
namespace {

// Byte strings are spelled out one byte at a time: hex escapes in literals
// would swallow following letters, and NUL bytes must survive.
std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

constexpr int ESC = 0x1B;

std::string jis(std::string text) {
  JisToShiftJisWithLen(text);
  return text;
}

std::string euc(std::string text) {
  EucToShiftJisWithLen(text);
  return text;
}

std::string autoconv(std::string text) {
  AutoConvertToShiftJis(text);
  return text;
}

std::pair<int, int> j2s(int c1, int c2) {
  unsigned char a = static_cast<unsigned char>(c1);
  unsigned char b = static_cast<unsigned char>(c2);
  jis2sjis(a, b);
  return {a, b};
}

// --- jis2sjis ---

TEST(KanjiCodeTest, Jis2SjisKnownCharacters) {
  EXPECT_EQ(j2s(0x30, 0x21), std::make_pair(0x88, 0x9F));  // 亜
  EXPECT_EQ(j2s(0x24, 0x22), std::make_pair(0x82, 0xA0));  // あ
  EXPECT_EQ(j2s(0x21, 0x21), std::make_pair(0x81, 0x40));  // ideographic space
  EXPECT_EQ(j2s(0x25, 0x22), std::make_pair(0x83, 0x41));  // ア
  EXPECT_EQ(j2s(0x21, 0x60), std::make_pair(0x81, 0x80));  // odd row, cell at 0x60 skips 0x7F
  EXPECT_EQ(j2s(0x21, 0x5F), std::make_pair(0x81, 0x7E));
  EXPECT_EQ(j2s(0x5E, 0x7E), std::make_pair(0x9F, 0xFC));  // last row below 0x5F
  EXPECT_EQ(j2s(0x5F, 0x21), std::make_pair(0xE0, 0x40));  // first row of the upper block
  EXPECT_EQ(j2s(0x7E, 0x7E), std::make_pair(0xEF, 0xFC));
}

TEST(KanjiCodeTest, Jis2SjisOutOfRangeBytesWrapModulo256) {
  EXPECT_EQ(j2s(0x0A, 0x0A), std::make_pair(0x75, 0x88));
  // (0xFF + 1) / 2 + 0xB0 = 0x130; 0xFF + 0x20 = 0x11F.
  EXPECT_EQ(j2s(0xFF, 0xFF), std::make_pair(0x30, 0x1F));
  // 0x90 + 0x7E = 0x10E.
  EXPECT_EQ(j2s(0x24, 0x90), std::make_pair(0x82, 0x0E));
}

// --- whatKanjiCode ---

TEST(KanjiCodeTest, PlainAsciiIsUndecided) {
  EXPECT_EQ(whatKanjiCode(""), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode("Hello, world\r\n\x0c"), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0x7F, 0x80, 0xFF})), KanjiCode::kNone);
}

TEST(KanjiCodeTest, ShiftJisHiraganaDecides) {
  EXPECT_EQ(whatKanjiCode(bytes({0x82, 0xA0})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({'a', 'b', 0x82, 0xA0, 'c'})), KanjiCode::kShiftJis);
  // Half-width katakana first (EUC-like pairs), then a hiragana.
  EXPECT_EQ(whatKanjiCode(bytes({0xB1, 0xB2, 0xB3, 0xB4, 0x82, 0xA0})), KanjiCode::kShiftJis);
  // A lead byte 0x81-0x9F decides without looking at the next byte.
  EXPECT_EQ(whatKanjiCode(bytes({'x', 0x9F})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x81})), KanjiCode::kShiftJis);
}

TEST(KanjiCodeTest, HalfWidthOnlyShiftJisIsTakenForEuc) {
  EXPECT_EQ(whatKanjiCode(bytes({0xB1, 0xB2})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xB1, 0xB2, 0xB3, 0xB4})), KanjiCode::kEuc);
  // Both bytes 0xA1 or above: valid in both encodings.
  EXPECT_EQ(whatKanjiCode(bytes({0xE0, 0xA1})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xA4, 0xA2})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xFC, 0xFE})), KanjiCode::kEuc);
}

TEST(KanjiCodeTest, HighLeadWithLowOrFfSecondByteIsShiftJis) {
  EXPECT_EQ(whatKanjiCode(bytes({0xA1, 0xA0})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0xE0, 0x40})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0xDF, 0x0A})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0xA1, 0xFF})), KanjiCode::kShiftJis);
  // After an EUC-like pair the next Shift-JIS pair still decides.
  EXPECT_EQ(whatKanjiCode(bytes({0xA4, 0xA2, 0xE0, 0x40})), KanjiCode::kShiftJis);
}

TEST(KanjiCodeTest, EucOnlyBytesDecideEuc) {
  EXPECT_EQ(whatKanjiCode(bytes({0xFD})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xFE})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xA0})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({'a', 0xFD, 0x82, 0xA0})), KanjiCode::kEuc);
  // 0xFF is skipped, so the 0xFD after it decides.
  EXPECT_EQ(whatKanjiCode(bytes({0xFF, 0xFD})), KanjiCode::kEuc);
}

TEST(KanjiCodeTest, Ss2Prefix) {
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xB1})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xDF})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0x3F})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0x40})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xA0})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xE0})), KanjiCode::kShiftJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xFF})), KanjiCode::kShiftJis);
  // The second byte is skipped with the first: 0xFD here is not seen alone.
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xB1, 0xFD})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E, 0xB1, 0x82})), KanjiCode::kShiftJis);
}

TEST(KanjiCodeTest, JisControlSequencesDecideJis) {
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '$', '@'})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '$', 'B'})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '(', 'B'})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '(', 'I'})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '(', 'J'})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({'a', 0x0E})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x0F})), KanjiCode::kJis);
  // The first decisive byte wins, even after EUC-like pairs.
  EXPECT_EQ(whatKanjiCode(bytes({0xA4, 0xA2, 0x0E})), KanjiCode::kJis);
  EXPECT_EQ(whatKanjiCode(bytes({0x0E, 0x82, 0xA0})), KanjiCode::kJis);
}

TEST(KanjiCodeTest, UnknownEscapeSequencesAreSkipped) {
  // ESC ( and ESC $ with another byte skip three bytes: 0x82 is never a lead.
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '(', 0x82, 0xFD})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '$', 0x82, 0xFD})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '$', 'A'})), KanjiCode::kNone);
  // ESC with another byte skips two bytes.
  EXPECT_EQ(whatKanjiCode(bytes({ESC, 0x82, 0xFD})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, 'K', 0x24, 0x22})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, 'x', 0x82})), KanjiCode::kShiftJis);
}

TEST(KanjiCodeTest, RuleRunningIntoTheEndKeepsResultSoFar) {
  EXPECT_EQ(whatKanjiCode(bytes({ESC})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({'a', ESC, '$'})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({ESC, '('})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0xA4})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0x8E})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0xB1, 0xB2, 0xB3})), KanjiCode::kEuc);
  EXPECT_EQ(whatKanjiCode(bytes({0xB1, 0xB2, ESC})), KanjiCode::kEuc);
}

TEST(KanjiCodeTest, DetectionStopsAtNul) {
  EXPECT_EQ(whatKanjiCode(bytes({'a', 0x00, 0x82, 0xA0})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0xA4, 0xA2, 0x00, 0x82, 0xA0})), KanjiCode::kEuc);
  // The lead byte's partner would be the NUL: the text has ended.
  EXPECT_EQ(whatKanjiCode(bytes({0xA4, 0x00, 0xA2})), KanjiCode::kNone);
  EXPECT_EQ(whatKanjiCode(bytes({0x00, 0x0E})), KanjiCode::kNone);
}

// --- JisToShiftJisWithLen ---

TEST(KanjiCodeTest, JisHiraganaBecomesShiftJis) {
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, 0x22, ESC, '(', 'B'})), bytes({0x82, 0xA0}));
  EXPECT_EQ(jis(bytes({'a', ESC, '$', '@', 0x24, 0x22, 0x30, 0x21, ESC, '(', 'J', 'b'})),
            bytes({'a', 0x82, 0xA0, 0x88, 0x9F, 'b'}));
}

TEST(KanjiCodeTest, JisKatakanaModeSetsTopBit) {
  EXPECT_EQ(jis(bytes({ESC, '(', 'I', 0x31, 0x5F, ESC, '(', 'B', 0x31})),
            bytes({0xB1, 0xDF, 0x31}));
  // Every byte in katakana mode, line feed included.
  EXPECT_EQ(jis(bytes({ESC, '(', 'I', '\n'})), bytes({0x8A}));
  // ESC ( J also leaves katakana mode.
  EXPECT_EQ(jis(bytes({ESC, '(', 'I', 0x31, ESC, '(', 'J', 0x31})), bytes({0xB1, 0x31}));
}

TEST(KanjiCodeTest, JisShortEscapesKAndH) {
  EXPECT_EQ(jis(bytes({ESC, 'K', 0x24, 0x22, ESC, 'H', 'A'})), bytes({0x82, 0xA0, 'A'}));
  // ESC H ends katakana mode too.
  EXPECT_EQ(jis(bytes({ESC, '(', 'I', 0x31, ESC, 'H', 0x31})), bytes({0xB1, 0x31}));
  // ESC ( I ends two-byte mode.
  EXPECT_EQ(jis(bytes({ESC, 'K', 0x24, 0x22, ESC, '(', 'I', 0x31})), bytes({0x82, 0xA0, 0xB1}));
}

TEST(KanjiCodeTest, JisUnknownEscapesDropOnlyTheirPrefix) {
  EXPECT_EQ(jis(bytes({ESC, '$', 'X', 'a'})), "Xa");
  EXPECT_EQ(jis(bytes({ESC, '(', 'X', 'a'})), "Xa");
  EXPECT_EQ(jis(bytes({ESC, 'Z', 'a'})), "Za");
  // The byte after a dropped prefix is walked again, so it can start a sequence.
  EXPECT_EQ(jis(bytes({ESC, ESC, '$', 'B', 0x24, 0x22})), bytes({0x82, 0xA0}));
  EXPECT_EQ(jis(bytes({ESC, '$', ESC, '$', 'B', 0x24, 0x22})), bytes({0x82, 0xA0}));
  EXPECT_EQ(jis(bytes({ESC, '(', 0x0E, 'a'})), "a");
  // Inside two-byte mode the byte after the prefix starts a pair.
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', ESC, '$', 0x24, 0x22})), bytes({0x82, 0xA0}));
}

TEST(KanjiCodeTest, JisEscapeAtEndEndsConversion) {
  EXPECT_EQ(jis(bytes({'a', 'b', ESC})), "ab");
  EXPECT_EQ(jis(bytes({'a', 'b', ESC, '$'})), "ab");
  EXPECT_EQ(jis(bytes({'a', 'b', ESC, '('})), "ab");
}

TEST(KanjiCodeTest, JisDropsShiftOutShiftInAndFormFeed) {
  EXPECT_EQ(jis(bytes({'a', 0x0E, 'b', 0x0F, 'c', 0x0C, 'd'})), "abcd");
  // Also inside two-byte mode, between characters.
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x0C, 0x24, 0x22, 0x0E, 0x24, 0x24})),
            bytes({0x82, 0xA0, 0x82, 0xA2}));
}

TEST(KanjiCodeTest, JisTwoByteModePairsControlBytes) {
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', '\n', '\n'})), bytes({0x75, 0x88}));
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, '\n'})), bytes({0x82, 0x88}));
  // The second byte of a pair is taken as it is, even an ESC or a form feed.
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, ESC})), bytes({0x82, 0x99}));
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, 0x0C})), bytes({0x82, 0x8A}));
}

TEST(KanjiCodeTest, JisLoneByteAtEndOfTwoByteModeIsDropped) {
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, 0x22, 0x24})), bytes({0x82, 0xA0}));
  EXPECT_EQ(jis(bytes({'x', ESC, '$', 'B', 0x24})), "x");
}

TEST(KanjiCodeTest, JisStopsAtNul) {
  EXPECT_EQ(jis(bytes({ESC, '$', 'B', 0x24, 0x22, 0x00, 0x24, 0x24})), bytes({0x82, 0xA0}));
  EXPECT_EQ(jis(bytes({'a', 0x00, 'b'})), "a");
  EXPECT_EQ(jis(""), "");
}

// --- EucToShiftJisWithLen ---

TEST(KanjiCodeTest, EucKanaAndKanjiBecomeShiftJis) {
  EXPECT_EQ(euc(bytes({0xA4, 0xA2})), bytes({0x82, 0xA0}));
  EXPECT_EQ(euc(bytes({'a', 0xB0, 0xA1, 'b', 0xA1, 0xA1})),
            bytes({'a', 0x88, 0x9F, 'b', 0x81, 0x40}));
  EXPECT_EQ(euc(bytes({0xFE, 0xFE})), bytes({0xEF, 0xFC}));
}

TEST(KanjiCodeTest, EucHalfWidthKatakanaShrinksToOneByte) {
  EXPECT_EQ(euc(bytes({0x8E, 0xB1})), bytes({0xB1}));
  EXPECT_EQ(euc(bytes({0x8E, 0xA1, 0x8E, 0xDF, 'z'})), bytes({0xA1, 0xDF, 'z'}));
}

TEST(KanjiCodeTest, EucSs2WithOtherByteIsKeptAsIs) {
  EXPECT_EQ(euc(bytes({0x8E, 0xE0})), bytes({0x8E, 0xE0}));
  EXPECT_EQ(euc(bytes({0x8E, 0xA0})), bytes({0x8E, 0xA0}));
  EXPECT_EQ(euc(bytes({0x8E, 'A'})), bytes({0x8E, 'A'}));
  // The partner is written untouched, a form feed included.
  EXPECT_EQ(euc(bytes({0x8E, 0x0C})), bytes({0x8E, 0x0C}));
  // The partner is not looked at again: the second 0x8E starts nothing.
  EXPECT_EQ(euc(bytes({0x8E, 0x8E, 0xA4, 0xA2})), bytes({0x8E, 0x8E, 0x82, 0xA0}));
}

TEST(KanjiCodeTest, EucBrokenPairIsDropped) {
  EXPECT_EQ(euc(bytes({'x', 0xA4, 'A', 'y'})), "xy");
  EXPECT_EQ(euc(bytes({0xA4, 0xFF})), "");
  EXPECT_EQ(euc(bytes({0xA4, 0xA0, 'z'})), "z");
  EXPECT_EQ(euc(bytes({0xA4, 0x0C})), "");
}

TEST(KanjiCodeTest, EucLeadByteAtEndIsKept) {
  EXPECT_EQ(euc(bytes({'a', 0xA4})), bytes({'a', 0xA4}));
  EXPECT_EQ(euc(bytes({'a', 0x8E})), bytes({'a', 0x8E}));
  EXPECT_EQ(euc(bytes({0xA4, 0xA2, 0xFE})), bytes({0x82, 0xA0, 0xFE}));
}

TEST(KanjiCodeTest, EucDropsFormFeedAndKeepsOtherBytes) {
  EXPECT_EQ(euc(bytes({'a', 0x0C, 'b'})), "ab");
  EXPECT_EQ(euc(bytes({0x0E, 0x0F, ESC, 0x80, 0xA0, 0xFF, 0x9F})),
            bytes({0x0E, 0x0F, ESC, 0x80, 0xA0, 0xFF, 0x9F}));
}

TEST(KanjiCodeTest, EucStopsAtNul) {
  EXPECT_EQ(euc(bytes({0xA4, 0xA2, 0x00, 0xA4, 0xA2})), bytes({0x82, 0xA0}));
  // The NUL ends the text before the lead byte gets a partner.
  EXPECT_EQ(euc(bytes({0xA4, 0x00, 0xA2})), bytes({0xA4}));
}

// --- AutoConvertToShiftJis ---

TEST(KanjiCodeTest, AutoConvertLeavesAsciiAndShiftJisAlone) {
  EXPECT_EQ(autoconv(bytes({'a', 0x0C, 'b', ESC})), bytes({'a', 0x0C, 'b', ESC}));
  EXPECT_EQ(autoconv(bytes({0x82, 0xA0, 0x0C, 0xA4, 0xA2})), bytes({0x82, 0xA0, 0x0C, 0xA4, 0xA2}));
  EXPECT_EQ(autoconv(bytes({0xB1, 0xB2, 0x82, 0xA0})), bytes({0xB1, 0xB2, 0x82, 0xA0}));
  EXPECT_EQ(autoconv(""), "");
}

TEST(KanjiCodeTest, AutoConvertConvertsJis) {
  EXPECT_EQ(autoconv(bytes({ESC, '$', 'B', 0x24, 0x22, ESC, '(', 'B'})), bytes({0x82, 0xA0}));
  EXPECT_EQ(autoconv(bytes({'a', 0x0C, ESC, '$', 'B', 0x24, 0x22, ESC, '(', 'B', 0x0C, 'b'})),
            bytes({'a', 0x82, 0xA0, 'b'}));
  EXPECT_EQ(autoconv(bytes({'a', 0x0E, 'b', 0x0F})), "ab");
}

TEST(KanjiCodeTest, AutoConvertConvertsEuc) {
  EXPECT_EQ(autoconv(bytes({0xA4, 0xA2})), bytes({0x82, 0xA0}));
  EXPECT_EQ(autoconv(bytes({0x8E, 0xB1})), bytes({0xB1}));
  EXPECT_EQ(autoconv(bytes({0xA4, 0xA2, 0x0C, 0xA4, 0xA4, 0xFD})),
            bytes({0x82, 0xA0, 0x82, 0xA2, 0xFD}));
  // Half-width-only Shift-JIS is taken for EUC and converted accordingly.
  EXPECT_EQ(autoconv(bytes({0xB1, 0xB2})), bytes({0x89, 0x51}));
}

TEST(KanjiCodeTest, AutoConvertCutsAtNul) {
  EXPECT_EQ(autoconv(bytes({'a', 'b', 0x00, 'c'})), "ab");
  EXPECT_EQ(autoconv(bytes({0x00, 0xA4, 0xA2})), "");
  EXPECT_EQ(autoconv(bytes({0xA4, 0xA2, 0x00, 0x82, 0xA0})), bytes({0x82, 0xA0}));
}

}  // namespace
}  // namespace plazet
