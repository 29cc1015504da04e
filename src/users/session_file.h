// skey.mst: one session record per user, fixed 532-byte records:
//
//   OFFSET SIZE FIELD
//        0    4 SKEY             session key, 32-bit big-endian
//        4   22 USER_ID          the user's ID in its stored case
//       26  252 REMOTE_ADDR      client address at log-in (at most 250 bytes)
//      278  252 HTTP_USER_AGENT  browser at log-in (at most 250 bytes)
//      530    2 padding          zero
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

// The browser of this request, as the CGI environment names it.
struct Client {
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;
};

struct MST_SKEY {
  static constexpr std::size_t kClientBytes = 250;

  std::int32_t SKEY = 0;
  std::string USER_ID;
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;
};

struct MstSkeyCodec {
  using Record = MST_SKEY;
  static constexpr std::size_t kSize = 532;
  static MST_SKEY decode(const unsigned char* p);
  static void encode(const MST_SKEY& r, unsigned char* p);
};

// The user ID of the first record holding `key`, when that session is valid
// for this request: the user exists and, for a personal account, the
// browser is the one that logged in.
[[nodiscard]] std::optional<std::string> ReadMST_SKEY(Store& store, long key, const Client& client);

// The key of the first record of the user `id` (exact comparison).
[[nodiscard]] std::optional<long> ReadMST_SKEY2(Store& store, std::string_view id);

// Stores `record` with the client's address and browser, overwriting the
// user's record in place or appending one.
[[nodiscard]] bool WriteMST_SKEY(Store& store, const WriteToken& w, MST_SKEY record,
                                 const Client& client);

// Removes every record of the user `id`.
[[nodiscard]] bool DeleteMST_SKEY(Store& store, const WriteToken& w, std::string_view id);

// True when some record holds `key`.
[[nodiscard]] bool skey_in_use(Store& store, long key);

}  // namespace plazet
