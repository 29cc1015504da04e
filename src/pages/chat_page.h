// The chat room pages: the frame set (JOB CHAT), the input frame "CHAT1"
// (CHAT_UP: enter, talk, leave) and the log frame "CHAT2" (CHAT_DOWN: the
// newest lines, reloading itself; also takes a typed line).
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

void j_CHAT(Request& req);
void j_CHAT_UP(Request& req, const WriteToken& w);
void j_CHAT_DOWN(Request& req, const WriteToken& w);

}  // namespace plazet
