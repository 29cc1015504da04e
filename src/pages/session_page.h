// The frame set shown after log-in, and log-off.
#pragma once

#include "frame/request.h"

namespace plazet {

// The frame set. Fields: SKEY.
void j_TOP(Request& req);
// Log-off (personal accounts): ends the user's sessions, then the log-in
// page or the redirect to LOGOFF_URL. Fields: SKEY.
void LOGOFF(Request& req, const WriteToken& w);
// The redirect to LOGOFF_URL.
void j_LOGOFF(Request& req);

}  // namespace plazet
