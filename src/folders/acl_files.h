// Access entries of the folders, in the order they were added.
//
// b_g_acl.mst, rights by group, 12-byte records:
//   OFFSET SIZE FIELD
//        0    4 FOLDER_NO
//        4    4 GROUP_NO   group number of group.mst
//        8    4 ACL_MODE   right of the group's members: 1 or 2
//
// b_u_acl.mst, rights by user, 32-byte records:
//   OFFSET SIZE FIELD
//        0    4 FOLDER_NO
//        4   24 USER_ID    NUL-padded
//       28    4 ACL_MODE   right of that user: 1, 2 or 3
//
// Integers are 32-bit big-endian. The writers keep at most one entry per
// (folder, group) and per (folder, user).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct B_G_ACL {
  std::int32_t FOLDER_NO = 0;
  std::int32_t GROUP_NO = 0;
  std::int32_t ACL_MODE = 0;
};

struct B_U_ACL {
  static constexpr std::size_t kIdWidth = 24;
  std::int32_t FOLDER_NO = 0;
  std::string USER_ID;
  std::int32_t ACL_MODE = 0;
};

struct BGAclCodec {
  using Record = B_G_ACL;
  static constexpr std::size_t kSize = 12;
  static B_G_ACL decode(const unsigned char* p);
  static void encode(const B_G_ACL& r, unsigned char* p);
};

struct BUAclCodec {
  using Record = B_U_ACL;
  static constexpr std::size_t kSize = 32;
  static B_U_ACL decode(const unsigned char* p);
  static void encode(const B_U_ACL& r, unsigned char* p);
};

// The entries of one folder, in file order. Both files are read once per
// request and indexed by folder.
[[nodiscard]] std::vector<B_G_ACL> group_entries(Store& store, long folder_no);
[[nodiscard]] std::vector<B_U_ACL> user_entries(Store& store, long folder_no);

// The n-th (from 0) entry of a folder.
[[nodiscard]] std::optional<B_G_ACL> ReadB_G_ACL(Store& store, long folder_no, std::size_t n);
[[nodiscard]] std::optional<B_U_ACL> ReadB_U_ACL(Store& store, long folder_no, std::size_t n);

// Overwrites the entry with the same key in place or appends; true when an
// entry was overwritten.
[[nodiscard]] bool WriteB_G_ACL(Store& store, const WriteToken& w, const B_G_ACL& entry);
[[nodiscard]] bool WriteB_U_ACL(Store& store, const WriteToken& w, const B_U_ACL& entry);

// Removes the group's entries on a folder, or on every folder when
// `folder_no` is 0; true when something was removed.
[[nodiscard]] bool DeleteB_G_ACL(Store& store, const WriteToken& w, long folder_no, long group_no);
// Removes the user's entry on a folder; true when something was removed.
[[nodiscard]] bool DeleteB_U_ACL(Store& store, const WriteToken& w, long folder_no,
                                 std::string_view user_id);

// Remove every entry of a group or of a user, on every folder, when the group
// or user is deleted: a later group of the same number or user of the same ID
// starts without rights. False only when the file could not be written
// (finding nothing to remove is no failure).
[[nodiscard]] bool drop_group_rights(Store& store, const WriteToken& w, long group_no);
[[nodiscard]] bool drop_user_rights(Store& store, const WriteToken& w, std::string_view user_id);

}  // namespace plazet
