// Escaping by context. Every value from a request or a data file that lands
// in a page goes through one of these (or, in element content, through the
// sanitiser); language texts are printed as they stand.
#pragma once

#include <string_view>

#include "text/html.h"

namespace plazet {

// For attribute values: &, <, >, " and ' become entities, byte by byte. No
// Shift-JIS trail byte is skipped: a browser re-reads an invalid trail byte
// below 0x40 as ASCII, so every byte must be looked at.
[[nodiscard]] Html html_attr(std::string_view text);

// For TEXTAREA contents: the same escaping; the browser decodes it back to
// the stored text, so "</TEXTAREA>" in a body round-trips unchanged.
[[nodiscard]] Html html_textarea(std::string_view text);

// For values placed in a link's query string: every byte but the unreserved
// ASCII characters is percent-encoded.
[[nodiscard]] Html url_query(std::string_view text);

// For one segment of a link's path made from a stored name (an attachment's
// file name, a picture's): percent-encoded like a query value, so neither
// a "/" nor markup can come through.
[[nodiscard]] Html url_segment(std::string_view text);

}  // namespace plazet
