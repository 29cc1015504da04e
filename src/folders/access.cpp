#include "folders/access.h"

#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "users/group_files.h"

namespace plazet {

int chk_ACL(Store& store, const MST_USER& user, long folder_no) {
  if (user.is_admin()) return kRightManage;

  long r = kRightNone;
  for (const B_U_ACL& entry : user_entries(store, folder_no)) {
    if (entry.USER_ID == user.USER_ID) r = entry.ACL_MODE;
  }
  if (r > kRightWrite) return kRightManage;
  if (r == kRightWrite) return kRightWrite;

  if (std::optional<B_TITLE2> settings = ReadB_TITLE2_head(store, folder_no)) {
    if (user.USER_LEVEL >= settings->READ_LEVEL && r < kRightRead) r = kRightRead;
    if (user.USER_LEVEL >= settings->WRITE_LEVEL && r < kRightWrite) r = kRightWrite;
    if (r == kRightWrite) return kRightWrite;
  }

  const std::vector<B_G_ACL> groups = group_entries(store, folder_no);
  if (groups.empty()) return static_cast<int>(r);
  const std::vector<long> memberships = ReadGROUP_USER1(store, user.USER_ID);
  for (const B_G_ACL& entry : groups) {
    if (entry.GROUP_NO == user.P_GROUP && entry.ACL_MODE > r) r = entry.ACL_MODE;
    if (r == kRightWrite) return kRightWrite;
    for (long group : memberships) {
      if (group == entry.GROUP_NO && entry.ACL_MODE > r) r = entry.ACL_MODE;
      if (r == kRightWrite) return kRightWrite;
    }
  }
  return static_cast<int>(r);
}

}  // namespace plazet
