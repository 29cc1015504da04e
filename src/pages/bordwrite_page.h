// Posting pages of a board.
#pragma once

#include "frame/request.h"

namespace plazet {

// Result codes of storing a message.
inline constexpr int kPostStored = 0;
inline constexpr int kPostNotAllowed = -1;
inline constexpr int kPostTitleEmpty = -2;
inline constexpr int kPostTooLong = -5;
inline constexpr int kPostNotStored = -6;  // the index or the body could not be written

// The posting form: a new message, a reply (quoting its parent) or, for
// JOB EDITMSG, an edit. Fields: see bordwrite_page.cpp.
void j_BORDWRITE(Request& req);
// What a user without write right on the board gets instead of the form.
void refuse_BORDWRITE(Request& req);
// Stores what the posting form sends; one of the codes above.
int j_BORDWRITEWR(Request& req, const WriteToken& w);

// The page that closes the separate posting window "WBORDWRITE" once the
// board listing has been shown in the work frame. Served without log-in.
// Fields: none.
void j_BORDWRITEFIN(Request& req);

}  // namespace plazet
