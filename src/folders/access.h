// The right of a user on a folder: 0 none, 1 read, 2 read and
// write, 3 board manager. Administrators always have 3.
#pragma once

#include "store/store.h"
#include "users/mst_user.h"

namespace plazet {

inline constexpr int kRightNone = 0;
inline constexpr int kRightRead = 1;
inline constexpr int kRightWrite = 2;
inline constexpr int kRightManage = 3;

// Sources only ever add: the user's entries, then the folder's level
// thresholds, then the group entries for the primary group and the user's
// memberships. Every file involved is read once per request.
[[nodiscard]] int chk_ACL(Store& store, const MST_USER& user, long folder_no);

}  // namespace plazet
