// The pieces of page every page shares: the HTTP header and HEAD, the BODY
// line, and the three pages of the request frame itself (log-in, error,
// invalid session key).
#pragma once

#include <string_view>

#include "frame/request.h"

namespace plazet {

inline constexpr char kVersion[] = "Ver2.13";
inline constexpr char kEdition[] = "UNIX";

// "Content-type", the HEAD (text 1) and the comment with text 2; no BODY.
void header_printf(Request& req);
// The BODY line with the installation's background picture.
void print_body(Request& req);

// A hidden form field as every page writes it; the value is escaped for
// the attribute.
void print_hidden(Request& req, const Html& name, std::string_view value);
void print_hidden(Request& req, const Html& name, long value);

// The refusal body every page prints to a user who may not see it: text 3
// and a button (text 4) back in the browser's history; closes the page.
void print_refusal(Request& req);
// The HTTP header and HEAD, then the refusal body.
void refusal_page(Request& req);

// The log-in page. Fields: none (its form sends uid, upw, JOB=TOP).
void j_login(Request& req);
// The error page: language text `title` as heading, text `message` in red.
void j_ERROR2(Request& req, int title, int message);
// The page for a session key that is not (or no longer) valid.
void j_IDerr(Request& req);

}  // namespace plazet
