// Log-in and the session-key check of every later request, as data: which
// user a password or a key stands for, and the session records behind them.
#pragma once

#include <optional>
#include <string>

#include "store/data_lock.h"
#include "store/store.h"
#include "users/mst_user.h"
#include "users/session_file.h"

namespace plazet {

struct Login {
  long key = 0;
  MST_USER user;
};

// Checks ID and password. On success `uid` holds the ID as stored and the
// result is the session key: the shared key for a shared account that has
// one, otherwise a new key that replaces the user's previous session. With
// `log` the log-in is written to the access log.
[[nodiscard]] std::optional<Login> login_check(Store& store, const WriteToken& w, std::string& uid,
                                               const std::string& upw, const Client& client,
                                               bool log);

// The user a session key text stands for, for this browser.
[[nodiscard]] std::optional<MST_USER> key_check(Store& store, const std::string& key_text,
                                                const Client& client);

// A new key: uniform in 1 .. 2^31-1 from the system's random source, redrawn
// while a session holds it.
[[nodiscard]] long draw_session_key(Store& store);

// A user's language file must be a plain ".lng" file of the working
// directory; any other name falls back to the default table, so no other
// file can be read through the user record.
[[nodiscard]] bool plain_language_file(const std::string& name);

}  // namespace plazet
