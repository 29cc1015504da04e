// The folder menu, the left-hand frame FRM21.
#pragma once

#include "frame/request.h"

namespace plazet {

// The site block (link.html), the folder tree with icons and unread counts,
// and the column of function buttons. Fields: SKEY; DISP_NO (repeated: the
// display numbers of the open Dirs).
void j_FRM21(Request& req);

}  // namespace plazet
