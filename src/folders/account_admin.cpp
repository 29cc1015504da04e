#include "folders/account_admin.h"

#include "folders/acl_files.h"
#include "users/group_files.h"
#include "users/session_file.h"
#include "users/user_file.h"

namespace plazet {

RemoveResult remove_user(Store& store, const WriteToken& w, std::string_view user_id) {
  const bool done = DeleteMST_SKEY(store, w, user_id) && DeleteGROUP_USER2(store, w, user_id) &&
                    drop_user_rights(store, w, user_id) && DeleteMST_USER(store, w, user_id);
  return done ? RemoveResult::kRemoved : RemoveResult::kNotStored;
}

RemoveResult remove_group(Store& store, const WriteToken& w, long group_no) {
  GROUP_USER whole_group;
  whole_group.T02_GROUP_ID = group_no;
  const bool done = drop_group_rights(store, w, group_no) &&
                    DeleteGROUP_USER(store, w, GroupUserDelete::kWholeGroup, whole_group) &&
                    reset_primary_group(store, w, group_no) && DeleteMST_GROUP(store, w, group_no);
  return done ? RemoveResult::kRemoved : RemoveResult::kNotStored;
}

}  // namespace plazet
