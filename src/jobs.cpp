#include "jobs.h"

#include "admin/admin_kit.h"
#include "admin/group_pages.h"
#include "admin/system_page.h"
#include "admin/user_list_page.h"
#include "admin/user_pages.h"
#include "frame/frame_pages.h"
#include "pages/batch_upload_page.h"
#include "pages/bordwrite_page.h"
#include "pages/chat_page.h"
#include "pages/details_page.h"
#include "pages/menu_page.h"
#include "pages/nrdetails_page.h"
#include "pages/room_page.h"
#include "pages/search_page.h"
#include "pages/session_page.h"

namespace plazet {
namespace {

constexpr LockMode R = LockMode::kShared;
constexpr LockMode W = LockMode::kExclusive;

bool mydata_enabled(const Request& req) {
  return req.sys.MYDATA == 0;
}

constexpr Outcome kBordWriteWr[] = {
    {kPostStored, "ROOM", 0, 0},  {kPostNotAllowed, "", 278, 3},  {kPostTitleEmpty, "", 278, 295},
    {kPostTooLong, "", 278, 377}, {kPostNotStored, "", 278, 380},
};

constexpr Outcome kSystemUpdate[] = {
    {kSettingsBadValue, "", 108, 381},
};

constexpr Outcome kNewGroupWr[] = {
    {kGroupSaved, "GROUPLIST", 0, 0},     {kGroupNotAllowed, "", 154, 3},
    {kGroupNumberEmpty, "", 154, 156},    {kGroupNameEmpty, "", 154, 157},
    {kGroupNumberBelowOne, "", 154, 158},
};

// The administrator's user form; a saved user is shown again.
constexpr Outcome kUserWr[] = {
    {kUserSaved, "USERMENT", 0, 0},   {kUserBack, "USERLIST", 0, 0},
    {kUserDeleted, "USERLIST", 0, 0}, {kUserGroupsEdited, "USERMENT", 0, 0},
    {kUserNotAllowed, "", 109, 3},    {kUserIdEmpty, "", 109, 181},
    {kUserNameEmpty, "", 109, 182},   {kUserIdTaken, "", 109, 312},
    {kUserIdBadChar, "", 109, 327},   {kUserNameBadChar, "", 109, 362},
    {kUserPassBadChar, "", 109, 363}, {kUserMailBadChar, "", 109, 364},
};

// The own-data page; it has no delete or membership buttons.
constexpr Outcome kMyDataWr[] = {
    {kUserSaved, "MYDATA", 0, 0},     {kUserBack, "MYDATA", 0, 0},
    {kUserNotAllowed, "", 109, 3},    {kUserIdEmpty, "", 109, 181},
    {kUserNameEmpty, "", 109, 182},   {kUserIdBadChar, "", 109, 327},
    {kUserNameBadChar, "", 109, 362}, {kUserPassBadChar, "", 109, 363},
    {kUserMailBadChar, "", 109, 364},
};

// Rows without a handler print nothing, like an unknown job, until their
// pages are built.
constexpr JobRow kJobs[] = {
    page_job("TOP", Need::kLogin, j_TOP),
    writing_page_job("LOGOFF", Need::kPersonal, LOGOFF),
    page_job("FRM21", Need::kLogin, j_FRM21),
    // A shared account's record is everybody's: only personal accounts edit their own.
    enabled_when(page_job("MYDATA", Need::kPersonal, j_MYDATA, admin_refusal), mydata_enabled),
    page_job("SETNOREAD", Need::kLogin, j_SETNOREAD),
    storing_job("SETNOREAD_WR", Need::kLogin, j_SETNOREAD_WR, {}, "SETNOREAD", 0),
    page_job("ADMIN", Need::kAdmin, j_ADMIN, refuse_ADMIN),
    page_job("SYSTEM", Need::kAdmin, j_SYSTEM, admin_refusal),
    // Listing in an order rebuilds the sorted user files.
    writing_page_job("USERLIST", Need::kAdmin, j_USERLIST, admin_refusal),
    page_job("GROUPLIST", Need::kAdmin, j_GROUPLIST, admin_refusal),
    page_job("NEWGROUP", Need::kAdmin, j_NEWGROUP, admin_refusal),
    storing_job("NEWGROUPWR", Need::kAdmin, j_NEWGROUPWR, kNewGroupWr, "", kGroupNotAllowed),
    page_job("EDITGROUP", Need::kAdmin, j_EDITGROUP, admin_refusal),
    page_job("DELGROUP", Need::kAdmin, j_DELGROUP, admin_refusal),
    storing_job("DELGROUPWR", Need::kAdmin, j_DELGROUPWR, {}, "GROUPLIST", kGroupNotAllowed),
    reloading_settings(storing_job("SYSTEMUPDATE", Need::kAdmin, j_SYSTEMUPDATE, kSystemUpdate,
                                   "SYSTEM", kSettingsNotAllowed)),
    page_job("USERMENT", Need::kAdmin, j_USERMENT, refuse_USERMENT),
    storing_job("USERWR", Need::kAdmin, j_USERWR, kUserWr, "", kUserNotAllowed),
    storing_job("NEWUSERWR", Need::kAdmin, j_USERWR, kUserWr, "", kUserNotAllowed),
    storing_job("MYDATAWR", Need::kPersonal, j_USERWR, kMyDataWr, "", kUserNotAllowed),
    unbuilt_job("FOLDERLIST", R),
    unbuilt_job("NEWFOLDER", R),
    unbuilt_job("NEWFOLDERWR", W),
    unbuilt_job("DELFOLDER", R),
    unbuilt_job("DELFOLDERWR", W),
    unbuilt_job("BORDCONFIG", R),
    unbuilt_job("BORDCONFIGWR", W),
    unbuilt_job("BORDACCESS", R),
    unbuilt_job("BORDACCESSWR", W),
    unbuilt_job("BORDMOVE", R),
    unbuilt_job("BORDMOVEWR", W),
    unbuilt_job("FOLDER_DOWNLOAD", R),
    unbuilt_job("FOLDER_UPLOAD", W),
    unbuilt_job("AccessLogDISP", W),  // the log's start page prunes old lines
    unbuilt_job("AccessLogDOWNLOAD", R),
    unbuilt_job("AccessLogLastLogin", R),
    unbuilt_job("AccessLogDeleteUser", W),
    page_job("ROOM", Need::kBoardRead, j_ROOM, refusal_page),
    page_job("BORDWRITE", Need::kBoardWrite, j_BORDWRITE, refuse_BORDWRITE),
    page_job("EDITMSG", Need::kBoardWrite, j_BORDWRITE, refuse_BORDWRITE),
    storing_job("BORDWRITEWR", Need::kBoardWrite, j_BORDWRITEWR, kBordWriteWr, "", kPostNotAllowed),
    // Showing a message writes the reader's read mark.
    writing_page_job("DETAILS", Need::kBoardRead, j_DETAILS, refusal_page),
    // The author (or a manager) deletes, from a personal account with write
    // right on the board; anybody else just sees the listing again.
    storing_job("DELMSG", Need::kPersonalBoardWrite, j_DELMSG, {}, "ROOM", 0),
    storing_job("BORDALLFLG", Need::kBoardRead, j_BORDALLFLG, {}, "ROOM", 0),
    unbuilt_job("IDSINSEI", R),
    unbuilt_job("IDSINSEIWR", W),
    unbuilt_job("IDSINSEIlist", R),
    unbuilt_job("IDSINSEIlist2", R),
    unbuilt_job("IDSINSEIsysopWR", W),
    // Unread notices are a personal account's: a shared one marks nothing.
    page_job("NRDETAILS", Need::kPersonal, j_NRDETAILS, refuse_NRDETAILS),
    storing_job("NRDETAILSWR", Need::kPersonal, j_NRDETAILSWR, {}, "NRDETAILS", 0),
    page_job("SEARCH", Need::kLogin, j_SEARCH),
    page_job("SEARCHDISP", Need::kLogin, j_SEARCHDISP),
    page_job("CHAT", Need::kBoardRead, j_CHAT, refusal_page),
    // Entering and leaving write notices into the log.
    writing_page_job("CHAT_UP", Need::kBoardRead, j_CHAT_UP, refusal_page),
    // Takes typed lines, and the time a personal account was last seen.
    writing_page_job("CHAT_DOWN", Need::kBoardRead, j_CHAT_DOWN, refusal_page),
    page_job("BATCH_UPLOAD", Need::kLogin, j_BATCH_UPLOAD),
    // The right to write is checked block by block.
    writing_page_job("BATCH_UPLOAD_WR", Need::kLogin, j_BATCH_UPLOAD_WR),
    // The closing page of the posting window: served without any log-in.
    page_job("BORDWRITEFIN", Need::kNone, j_BORDWRITEFIN),
};

static_assert(writers_lock_exclusively(kJobs), "a job that writes must hold the exclusive lock");

}  // namespace

std::span<const JobRow> job_table() {
  return kJobs;
}

}  // namespace plazet
