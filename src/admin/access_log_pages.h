// The access log pages for administrators: the start page (which prunes the
// log), its download, the per-user statistics and deleting users from them.
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

inline constexpr int kLogUsersDeleted = 0;
inline constexpr int kLogNotAllowed = -1;

// The buttons; afterwards lines dated LOG_DATE days ago or earlier go.
void j_AccessLogDISP(Request& req, const WriteToken& w);
// system.log as a download.
void j_AccessLogDOWNLOAD(Request& req);
// One row per user of user.mst: last log-in, log-ins, writes, their ratio.
void j_AccessLogLastLogin(Request& req);
// Deletes the users ticked (USER_ID, repeated) with their sessions,
// memberships and rights.
int j_AccessLogDeleteUser(Request& req, const WriteToken& w);
// The refusals: each page's heading, text 3 and the back button.
void refuse_AccessLogDISP(Request& req);
void refuse_AccessLogLastLogin(Request& req);

}  // namespace plazet
