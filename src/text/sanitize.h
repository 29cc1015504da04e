// The filter for user text printed as element content: message bodies (after
// rendering), titles, user and writer names, folder descriptions, chat
// lines, group and folder names. Users may format with plain HTML, so the
// filter keeps harmless markup and turns everything else into text.
#ifndef PLAZET_TEXT_SANITIZE_H_
#define PLAZET_TEXT_SANITIZE_H_

#include <string>
#include <string_view>

#include "text/html.h"

namespace plazet {

// Allow-list filter. Kept elements: b, i, u, s, em, strong, font, br, p, div,
// span, pre, hr, center, blockquote, ul, ol, li, dl, dt, dd, h1-h6, small,
// big, sub, sup, tt, code, a, img. A kept tag comes out byte for byte
// (letter case, quotes and spacing as written) except that attributes not
// allowed on it are removed: event handlers (on*), style, and anything not
// on the element's list. A's HREF must be http, https, mailto, ftp or
// relative, IMG's SRC http, https or relative; the scheme is judged after
// entity decoding, with blanks and control characters removed and letters
// folded, and an offending attribute is removed. "<" and ">" inside a kept
// quoted value are written as "&lt;" and "&gt;".
//
// The "<" of every other tag (unknown or not allowed elements, comments,
// "<!", "<?", closing tags of dropped elements) and of every tag that does
// not parse cleanly (no closing ">" in the text, a stray quote, "<", "=" or
// backquote where a browser would guess, a value that ends inside a
// two-byte character) becomes "&lt;". The text is scanned byte by byte: "<"
// is never part of a Shift-JIS character. NUL bytes are removed.
[[nodiscard]] Html sanitize_html(std::string_view text);

}  // namespace plazet

#endif  // PLAZET_TEXT_SANITIZE_H_
