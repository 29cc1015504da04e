// g_user.dat, the ID applications: fixed 1160-byte records in the order
// they were sent, no header. Integers 32-bit big-endian, texts NUL-padded.
//
//   OFFSET SIZE FIELD
//        0   22 USER_ID          the ID applied for (forms allow 20 bytes)
//       22   82 USER_NAME        applicant's name (80)
//      104  252 E_MAIL_ADDR      mail address (250)
//      356   22 USER_PASS        wished password (20)
//      378   20 APPLY_DATE       "YYYY/MM/DD hh:mm" of the application
//      398  252 REMOTE_ADDR      client address of the applying request
//      650  252 HTTP_USER_AGENT  browser of the applying request
//      902  252 MESSAGE          the administrator's answer
//     1154    2 padding          zero
//     1156    4 OK_NG            0 pending, 1 accepted, 2 refused
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct GUEST_USER {
  static constexpr std::int32_t kPending = 0;
  static constexpr std::int32_t kAccepted = 1;
  static constexpr std::int32_t kRefused = 2;

  std::string USER_ID;
  std::string USER_NAME;
  std::string E_MAIL_ADDR;
  std::string USER_PASS;
  std::string APPLY_DATE;
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;
  std::string MESSAGE;
  std::int32_t OK_NG = kPending;
};

struct GuestUserCodec {
  using Record = GUEST_USER;
  static constexpr std::size_t kSize = 1160;
  static GUEST_USER decode(const unsigned char* p);
  static void encode(const GUEST_USER& r, unsigned char* p);
};

// "<DATA_FILE_PATH>g_user.dat"
[[nodiscard]] std::string guest_user_path(const Store& store);

// Every application, in file order.
[[nodiscard]] std::vector<GUEST_USER> ReadGUEST_USERall(Store& store);

// Appends the application unless one with exactly the same USER_ID is in the
// file already and not refused (an ID whose applications were all refused
// may apply again); false then, or when the file cannot be written.
[[nodiscard]] bool WriteGUEST_USER(Store& store, const WriteToken& w, const GUEST_USER& record);

// Whether `id` (exactly) may apply: none of its applications is pending or
// accepted.
[[nodiscard]] bool may_apply(Store& store, std::string_view id);

// Removes the decided applications dated (over the date part) on or before
// `cutoff`, from the start of the file up to the first newer one; pending
// applications stay. One atomic rewrite; true when nothing had to go or the
// file was written.
[[nodiscard]] bool prune_applications(Store& store, const WriteToken& w, std::string_view cutoff);

enum class Decision {
  kDecided,
  kNoPending,  // no pending application of that ID
  kIdTaken,    // the ID became a user's meanwhile: the application is refused
  kNotStored,
};

// Decides the first pending application of `id` (exactly): `state` accepted
// or refused, `message` (when given) its answer. An accepted one becomes a
// personal account at level 10 with the applied password and `language`.
[[nodiscard]] Decision decide_application(Store& store, const WriteToken& w, std::string_view id,
                                          std::int32_t state,
                                          const std::optional<std::string>& message,
                                          const std::string& language);

}  // namespace plazet
