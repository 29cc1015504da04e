// Turning a stored message body into the HTML of the message page, quoting
// a body for a reply, storing line ends, and a few small string utilities of
// the same family.
//
// Every scan here walks the text by Shift-JIS character (text/sjis.h): a
// byte 0x7F-0xA0 or 0xE0-0xFF takes the next byte with it, whatever its
// value, so a test for "<", ">", CR, LF or a letter never matches the second
// byte of a two-byte character. A lead byte at the very end of a text is a
// character of its own. The results grow as needed; only CrLf_to_BR cuts.
#ifndef PLAZET_TEXT_HTML_TEXT_H_
#define PLAZET_TEXT_HTML_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "text/html.h"

namespace plazet {

// Colour of quoted lines on a board that names none (six hex digits, no "#").
inline constexpr std::string_view kDefaultReplyColor = "0000FF";

// CrLf_to_BR stops once its output has grown past this many bytes.
inline constexpr std::size_t kBrOutputLimit = 99999;

// Wraps every run of quoted lines (lines whose first byte is ">") in
// <FONT COLOR="#color">...</FONT>. Lines end with CR; empty lines between
// quoted lines stay inside the run, which closes right before the first
// character of the next unquoted line (or at the end of the text). `color`
// is attribute-escaped, so a six-digit colour comes out as it stands.
[[nodiscard]] std::string Add_Blue(std::string_view text, std::string_view color);

// Turns addresses starting "http://", "https://" (all small or all capital
// letters) into <A HREF="address">address</A>, and "mailto:" / "MAILTO:"
// addresses into links whose visible text lacks the prefix. The address is
// attribute-escaped inside HREF and printed as it stands in the link text.
// Existing anchors (<A HREF ... </A>) and image tags (<IMG ... >) are copied
// without looking inside them.
[[nodiscard]] std::string Add_a_href(std::string_view text);

// The address starting at `text[pos]`: the bytes up to, not including, the
// end of the text, a NUL, a Shift-JIS lead byte, a blank, "<", ">", ",", CR
// or LF. Empty when `pos` is at or past the end.
[[nodiscard]] std::string get_url(std::string_view text, std::size_t pos);

// Every CR becomes "<BR>\n" and every LF is dropped. Stops, dropping the rest
// of the input, as soon as the output has grown past kBrOutputLimit bytes;
// a character is never split.
[[nodiscard]] std::string CrLf_to_BR(std::string_view text);

// Removes every LF (a CR LF pair becomes CR, a lone LF disappears), the form
// in which bodies are stored.
[[nodiscard]] std::string CrLf_to_Cr(std::string_view text);

// Quotes a body for a reply: every line gets a leading ">" (no blank after
// it), an empty line becomes ">" alone, and line ends become a single CR.
// An LF that follows no CR is dropped but still starts a new line.
[[nodiscard]] std::string Add_Res(std::string_view text);

// Reads a decimal integer the way strtoll does (leading white space and a
// sign allowed, the digits up to the first non-digit, 0 when there are none,
// clamped on overflow) and writes it with its digits grouped by thousands:
// 999, 1,000, 1,000,000. Everything above the millions is one group
// (1234,567,890,123). A negative value is the grouping of its magnitude
// behind a "-".
[[nodiscard]] std::string ketadori(std::string_view number);

// The text without its trailing blanks (0x20); tabs and line ends stay, and
// so does a blank that is the second byte of a two-byte character.
[[nodiscard]] std::string TrimRight(std::string_view text);

// Writes "&lt;" for the "<" of "<META", "<TABLE", "</TABLE", "<TR", "</TR",
// "<TD", "</TD", "<HTML" and "</HTML" (any letter case), so a body cannot
// break the page's tables; the rest of each tag and all other text stay.
// Every "<" byte is looked at, whatever precedes it: a browser reads a lead
// byte followed by "<" as an invalid character and a real "<".
[[nodiscard]] std::string HtmlConvert(std::string_view text);

// A message body as the message page prints it: quoted lines coloured with
// `reply_color` (kDefaultReplyColor when empty), then by HTML_MODE 0 links
// and line breaks (Add_a_href, CrLf_to_BR), 1 "<PRE>...</PRE>" around it,
// any other value nothing more; finally filtered with sanitize_html.
[[nodiscard]] Html render_body(std::string_view body, std::string_view reply_color, int html_mode);

}  // namespace plazet

#endif  // PLAZET_TEXT_HTML_TEXT_H_
