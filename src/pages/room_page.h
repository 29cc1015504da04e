// The board listing page.
#pragma once

#include "frame/request.h"

namespace plazet {

// A board's messages, 20 a page, in thread or number order, with unread
// marks, priorities and page navigation. Fields: see room_page.cpp.
void j_ROOM(Request& req);

}  // namespace plazet
