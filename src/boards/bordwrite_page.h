// Posting pages of a board.
#pragma once

#include "frame/request.h"

namespace plazet {

// The page that closes the separate posting window "WBORDWRITE" once the
// board listing has been shown in the work frame. Served without log-in.
// Fields: none.
void j_BORDWRITEFIN(Request& req);

}  // namespace plazet
