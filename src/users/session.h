// Log-in, the session-key check of every later request, the frame set shown
// after log-in, and log-off.
#pragma once

#include <optional>
#include <string>

#include "frame/request.h"

namespace plazet {

// Checks ID and password. On success `uid` holds the ID as stored, the user
// is the request's user, and the result is the session key: the shared key
// for a shared account that has one, otherwise a new key that replaces the
// user's previous session.
[[nodiscard]] std::optional<long> G_LoginChk(Request& req, std::string& uid,
                                             const std::string& upw);

// Accepts a session key text; on success the user is the request's user and
// the user's own language table is in force.
[[nodiscard]] bool G_SkeyChk(Request& req, const std::string& key_text);

// A new key: uniform in 1 .. 2^31-1 from the system's random source, redrawn
// while a session holds it.
[[nodiscard]] long draw_session_key(Request& req);

// The frame set. Fields: SKEY.
void j_TOP(Request& req);
// Log-off: personal accounts only; ends the session. Fields: SKEY.
void LOGOFF(Request& req);
// The redirect to LOGOFF_URL.
void j_LOGOFF(Request& req);

}  // namespace plazet
