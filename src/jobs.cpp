#include "jobs.h"

#include "frame/frame_pages.h"
#include "pages/batch_upload_page.h"
#include "pages/bordwrite_page.h"
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

// Rows without a handler print nothing, like an unknown job, until their
// pages are built.
constexpr JobRow kJobs[] = {
    page_job("TOP", Need::kLogin, j_TOP),
    writing_page_job("LOGOFF", Need::kPersonal, LOGOFF),
    page_job("FRM21", Need::kLogin, j_FRM21),
    enabled_when(unbuilt_job("MYDATA", R), mydata_enabled),
    page_job("SETNOREAD", Need::kLogin, j_SETNOREAD),
    storing_job("SETNOREAD_WR", Need::kLogin, j_SETNOREAD_WR, {}, "SETNOREAD", 0),
    unbuilt_job("ADMIN", R),
    unbuilt_job("SYSTEM", R),
    unbuilt_job("USERLIST", R),
    unbuilt_job("GROUPLIST", R),
    unbuilt_job("NEWGROUP", R),
    unbuilt_job("NEWGROUPWR", W),
    unbuilt_job("EDITGROUP", R),
    unbuilt_job("DELGROUP", R),
    unbuilt_job("DELGROUPWR", W),
    reloading_settings(unbuilt_job("SYSTEMUPDATE", W)),
    unbuilt_job("USERMENT", R),
    unbuilt_job("USERWR", W),
    unbuilt_job("NEWUSERWR", W),
    unbuilt_job("MYDATAWR", W),
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
    unbuilt_job("CHAT", R),
    unbuilt_job("CHAT_UP", W),    // entering and leaving write notices
    unbuilt_job("CHAT_DOWN", W),  // takes typed lines and the presence time
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
