// The sorted copies of user.mst that the ordered user lists are read from:
//   user2.mst  by user ID, letter case ignored       (MakeOderID, from user.mst)
//   user3.mst  by level, highest first               (MakeOderLevel, from user2.mst)
//   user4.mst  by primary group, lowest first        (MakeOderPgroup, from user3.mst)
// one user a line, ten fields each followed by a comma:
//   USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,
//   USER_DISP_DEF,MODE,LANGUAGE,NO_READ_MODE,
// ("%s,%s,%ld,%s,%s,%ld,%ld,%ld,%s,%ld,\n"). The first eight columns stand
// where they stand in user.mst, so a list reads user.mst and the copies alike.
//
// Each copy is rebuilt from scratch whenever an ordered list is asked for and
// written once, atomically. Other tools may read the copies, so their order
// is exactly the one an exchange sort gives: for each slot i from the first,
// each later slot j is exchanged with i when i must come after j. That sort
// does not keep equal keys in their order, and the copies keep its order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"
#include "users/mst_user.h"

namespace plazet {

// One line of a sorted copy.
[[nodiscard]] std::string format_sorted_user_line(const MST_USER& user);

// A copy is built from its source's lines whose first field (the text before
// the first comma) is not empty; for the level and group orders the line
// must also reach the comma after the key's column. Each line's ID (cut to 21
// bytes) is looked up in user.mst, letter case ignored, and the line of the
// record found is written; an ID that no record has writes nothing. A missing
// source is created empty; the copy is then empty too. False when the copy
// could not be written.
[[nodiscard]] bool MakeOderID(Store& store, const WriteToken& w);
[[nodiscard]] bool MakeOderLevel(Store& store, const WriteToken& w);
[[nodiscard]] bool MakeOderPgroup(Store& store, const WriteToken& w);

// How the user list is ordered (the codes of its SJOB choices).
enum class UserOrder {
  kFile = 1,   // user.mst as it stands
  kId = 2,     // user2.mst
  kLevel = 3,  // user3.mst
  kGroup = 4,  // user4.mst
};

// One row of the user list.
struct UserListRow {
  std::string USER_ID;
  std::string USER_NAME;
  long USER_LEVEL = 0;
  long P_GROUP = 0;
  long MODE = 0;
};

// The rows of the list in `order`: the copies the order needs are rebuilt
// first (user2.mst for every order by ID, level or group; user3.mst for level
// and group; user4.mst for group), then the order's file is read. A line is a
// row when it holds at least eight comma-terminated fields; an empty field
// reads as empty or 0. A missing file has no rows.
[[nodiscard]] std::vector<UserListRow> user_list(Store& store, const WriteToken& w,
                                                 UserOrder order);

}  // namespace plazet
