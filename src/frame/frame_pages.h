// The three pages of the request frame itself: log-in, error, invalid
// session key.
#pragma once

#include <string_view>

#include "frame/page_kit.h"
#include "frame/request.h"

namespace plazet {

inline constexpr char kVersion[] = "Ver2.13";
inline constexpr char kEdition[] = "UNIX";

// The log-in page. Fields: none (its form sends uid, upw, JOB=TOP).
void j_login(Request& req);
// The error page: language text `title` as heading, text `message` in red.
void j_ERROR2(Request& req, int title, int message);
// The page for a session key that is not (or no longer) valid.
void j_IDerr(Request& req);

}  // namespace plazet
