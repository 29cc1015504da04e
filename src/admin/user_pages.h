// Creating, changing and deleting users and their group memberships (the
// administrator's user form), and the page on which users change their own
// record.
#pragma once

#include <string>
#include <vector>

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of the user write (JOB USERWR, NEWUSERWR, MYDATAWR).
inline constexpr int kUserSaved = 1;
inline constexpr int kUserBack = 2;
inline constexpr int kUserDeleted = 3;
inline constexpr int kUserGroupsEdited = 4;  // also: no button at all
inline constexpr int kUserNotAllowed = -1;
inline constexpr int kUserIdEmpty = -2;
inline constexpr int kUserNameEmpty = -3;
inline constexpr int kUserIdTaken = -4;
inline constexpr int kUserIdBadChar = -5;    // comma, blank, line break, "/", "\\", "." or ".."
inline constexpr int kUserNameBadChar = -6;  // comma or line break
inline constexpr int kUserPassBadChar = -7;  // comma, blank or line break
inline constexpr int kUserMailBadChar = -8;  // comma, blank or line break

// The administrator's form of one user (USER_ID given) or of a new one, with
// the user's group memberships. Fields: SKEY, USER_ID.
void j_USERMENT(Request& req);
// The form's title and the refusal, for a user who is no administrator.
void refuse_USERMENT(Request& req);

// The logged-in user's own record. Fields: SKEY.
void j_MYDATA(Request& req);

// Stores, deletes or changes the memberships of a user. Fields: JOB,
// USER_ID, USER_NAME, USER_LEVEL, E_MAIL_ADDR, USER_PASS, P_GROUP,
// USER_DISP_DEF, MODE, WRITE_MODE, LANGUAGE, PICFILE, NO_READ_MODE, FILE1,
// the buttons SUB1 (save), SUB2 (back), SUB3 (delete), GROUP_IN, GROUP_OUT,
// and every value of GROUPLIST and NOWGROUP.
int j_USERWR(Request& req, const WriteToken& w);

// The language files a user may choose: the "*.lng" files of the program's
// working directory.
[[nodiscard]] std::vector<std::string> language_files();

}  // namespace plazet
