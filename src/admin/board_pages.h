// A folder's settings page and its access page, with their writes: for
// administrators and the folder's board managers (right 3).
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of saving a folder's settings or rights.
inline constexpr int kBoardSaved = 0;
inline constexpr int kBoardNotAllowed = -1;
inline constexpr int kBoardNameEmpty = -2;
// A name with a comma or a line break would split the folder's tree line.
inline constexpr int kBoardNameBadChar = -3;
inline constexpr int kBoardNotStored = -4;

// The settings form. Fields: SKEY, FOLDER_NO, FROM (set: opened from the
// board page, so no button back to the folder list).
void j_BORDCONFIG(Request& req);
// Stores the name, the settings record and up to three pictures (FILE1
// title, FILE2 background, FILE3 menu icon); the levels stay as they are.
int j_BORDCONFIGWR(Request& req, const WriteToken& w);
// The level thresholds and the rights by group and by user. Fields: SKEY,
// FOLDER_NO, FROM.
void j_BORDACCESS(Request& req);
// One action, the first whose button came: SUB1 (levels), GROUP_DEL,
// GROUP_ADD, USER_DEL, USER_ADD.
int j_BORDACCESSWR(Request& req, const WriteToken& w);
// Both pages' refusal: the folder's own background, text 3 and the back
// button.
void refuse_board_admin(Request& req);

}  // namespace plazet
