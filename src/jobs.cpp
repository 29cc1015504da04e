#include "jobs.h"

#include "admin/access_log_pages.h"
#include "admin/admin_kit.h"
#include "admin/application_pages.h"
#include "admin/board_pages.h"
#include "admin/folder_pages.h"
#include "admin/group_pages.h"
#include "admin/system_page.h"
#include "admin/user_list_page.h"
#include "admin/user_pages.h"
#include "folders/folder_admin.h"
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

constexpr Outcome kBordConfigWr[] = {
    {kBoardSaved, "BORDCONFIG", 0, 0}, {kBoardNotAllowed, "", 109, 3},
    {kBoardNameEmpty, "", 190, 206},   {kBoardNameBadChar, "", 190, 382},
    {kBoardNotStored, "", 190, 386},
};

constexpr Outcome kBordAccessWr[] = {
    {kBoardSaved, "BORDACCESS", 0, 0},
    {kBoardNotAllowed, "", 109, 3},
};

constexpr Outcome kNewFolderWr[] = {
    {kFolderCreated, "FOLDERLIST", 0, 0}, {kFolderNotAllowed, "", 193, 3},
    {kFolderNameEmpty, "", 193, 206},     {kFolderNotInDir, "", 193, 207},
    {kFolderNameBadChar, "", 193, 382},   {kFolderBadKind, "", 193, 383},
    {kFolderNotStored, "", 193, 385},
};

constexpr Outcome kDelFolderWr[] = {
    {kFolderNotStored, "", 186, 385},
};

constexpr Outcome kBordMoveWr[] = {
    {kMoveDone, "FOLDERLIST", 0, 0}, {kMoveNotAllowed, "", 239, 3},
    {kMoveNoPlace, "", 239, 207},    {kMoveInsideSubtree, "", 239, 242},
    {kMoveNotStored, "", 239, 385},
};

constexpr Outcome kFolderUpload[] = {
    {kUploadNotTree, "", 184, 384},
};

constexpr Outcome kIdsInseiWr[] = {
    {kApplied, "IDSINSEIlist", 0, 0},  {kApplyIdEmpty, "", 311, 181},
    {kApplyNameEmpty, "", 311, 182},   {kApplyIdTaken, "", 311, 312},
    {kApplyIdApplied, "", 311, 313},   {kApplyIdBadChar, "", 311, 327},
    {kApplyNameBadChar, "", 311, 362}, {kApplyPassBadChar, "", 311, 363},
    {kApplyMailBadChar, "", 311, 364}, {kApplyNotStored, "", 311, 386},
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
    page_job("FOLDERLIST", Need::kAdmin, j_FOLDERLIST, admin_refusal),
    page_job("NEWFOLDER", Need::kAdmin, j_NEWFOLDER, admin_refusal),
    storing_job("NEWFOLDERWR", Need::kAdmin, j_NEWFOLDERWR, kNewFolderWr, "", kFolderNotAllowed),
    page_job("DELFOLDER", Need::kAdmin, j_DELFOLDER, admin_refusal),
    // Refused, the folder list that follows shows its own refusal.
    storing_job("DELFOLDERWR", Need::kAdmin, j_DELFOLDERWR, kDelFolderWr, "FOLDERLIST",
                kFolderNotAllowed),
    page_job("BORDCONFIG", Need::kBoardManage, j_BORDCONFIG, refuse_board_admin),
    storing_job("BORDCONFIGWR", Need::kBoardManage, j_BORDCONFIGWR, kBordConfigWr, "",
                kBoardNotAllowed),
    page_job("BORDACCESS", Need::kBoardManage, j_BORDACCESS, refuse_board_admin),
    storing_job("BORDACCESSWR", Need::kBoardManage, j_BORDACCESSWR, kBordAccessWr, "",
                kBoardNotAllowed),
    page_job("BORDMOVE", Need::kAdmin, j_BORDMOVE, admin_refusal),
    storing_job("BORDMOVEWR", Need::kAdmin, j_BORDMOVEWR, kBordMoveWr, "", kMoveNotAllowed),
    // Anybody else gets an empty response.
    page_job("FOLDER_DOWNLOAD", Need::kAdmin, j_FOLDER_DOWNLOAD),
    storing_job("FOLDER_UPLOAD", Need::kAdmin, j_FOLDER_UPLOAD, kFolderUpload, "FOLDERLIST",
                kUploadNotAllowed),
    // The log's start page prunes old lines.
    writing_page_job("AccessLogDISP", Need::kAdmin, j_AccessLogDISP, refuse_AccessLogDISP),
    // Anybody else gets an empty response.
    page_job("AccessLogDOWNLOAD", Need::kAdmin, j_AccessLogDOWNLOAD),
    page_job("AccessLogLastLogin", Need::kAdmin, j_AccessLogLastLogin, refuse_AccessLogLastLogin),
    storing_job("AccessLogDeleteUser", Need::kAdmin, j_AccessLogDeleteUser, {},
                "AccessLogLastLogin", kLogNotAllowed),
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
    // Any logged-in user, shared accounts too, may apply for an ID.
    page_job("IDSINSEI", Need::kLogin, j_IDSINSEI),
    storing_job("IDSINSEIWR", Need::kLogin, j_IDSINSEIWR, kIdsInseiWr, "", kApplyIdEmpty),
    // The list removes decided applications older than two weeks.
    writing_page_job("IDSINSEIlist", Need::kLogin, j_IDSINSEIlist),
    page_job("IDSINSEIlist2", Need::kAdmin, j_IDSINSEIlist2, refuse_IDSINSEIlist2),
    storing_job("IDSINSEIsysopWR", Need::kAdmin, j_IDSINSEIsysopWR, {}, "IDSINSEIlist2",
                kDecisionsNotAllowed),
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
