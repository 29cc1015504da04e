#include "jobs.h"

#include "frame/frame_pages.h"
#include "pages/bordwrite_page.h"
#include "pages/details_page.h"
#include "pages/menu_page.h"
#include "pages/room_page.h"
#include "pages/session_page.h"

namespace plazet {
namespace {

constexpr LockMode R = LockMode::kShared;
constexpr LockMode W = LockMode::kExclusive;

bool mydata_enabled(const Request& req) {
  return req.sys.MYDATA == 0;
}

constexpr Outcome kBordWriteWr[] = {
    {kPostStored, j_ROOM, 0, 0},          {kPostNotAllowed, nullptr, 278, 3},
    {kPostTitleEmpty, nullptr, 278, 295}, {kPostTooLong, nullptr, 278, 377},
    {kPostNotStored, nullptr, 278, 380},
};

// Rows without a handler print nothing, like an unknown job, until their
// pages are built.
constexpr JobRow kJobs[] = {
    {.job = "TOP", .lock = R, .page = j_TOP},
    {.job = "LOGOFF", .lock = W, .need = Need::kPersonal, .writing_page = LOGOFF},
    {.job = "FRM21", .lock = R, .page = j_FRM21},
    {.job = "MYDATA", .lock = R, .enabled = mydata_enabled},
    {.job = "SETNOREAD", .lock = R},
    {.job = "SETNOREAD_WR", .lock = W},
    {.job = "ADMIN", .lock = R},
    {.job = "SYSTEM", .lock = R},
    {.job = "USERLIST", .lock = R},
    {.job = "GROUPLIST", .lock = R},
    {.job = "NEWGROUP", .lock = R},
    {.job = "NEWGROUPWR", .lock = W},
    {.job = "EDITGROUP", .lock = R},
    {.job = "DELGROUP", .lock = R},
    {.job = "DELGROUPWR", .lock = W},
    {.job = "SYSTEMUPDATE", .lock = W, .reload_settings = true},
    {.job = "USERMENT", .lock = R},
    {.job = "USERWR", .lock = W},
    {.job = "NEWUSERWR", .lock = W},
    {.job = "MYDATAWR", .lock = W},
    {.job = "FOLDERLIST", .lock = R},
    {.job = "NEWFOLDER", .lock = R},
    {.job = "NEWFOLDERWR", .lock = W},
    {.job = "DELFOLDER", .lock = R},
    {.job = "DELFOLDERWR", .lock = W},
    {.job = "BORDCONFIG", .lock = R},
    {.job = "BORDCONFIGWR", .lock = W},
    {.job = "BORDACCESS", .lock = R},
    {.job = "BORDACCESSWR", .lock = W},
    {.job = "BORDMOVE", .lock = R},
    {.job = "BORDMOVEWR", .lock = W},
    {.job = "FOLDER_DOWNLOAD", .lock = R},
    {.job = "FOLDER_UPLOAD", .lock = W},
    {.job = "AccessLogDISP", .lock = W},  // the log's start page prunes old lines
    {.job = "AccessLogDOWNLOAD", .lock = R},
    {.job = "AccessLogLastLogin", .lock = R},
    {.job = "AccessLogDeleteUser", .lock = W},
    {.job = "ROOM", .lock = R, .need = Need::kBoardRead, .page = j_ROOM, .refused = refusal_page},
    {.job = "BORDWRITE",
     .lock = R,
     .need = Need::kBoardWrite,
     .page = j_BORDWRITE,
     .refused = refuse_BORDWRITE},
    {.job = "EDITMSG",
     .lock = R,
     .need = Need::kBoardWrite,
     .page = j_BORDWRITE,
     .refused = refuse_BORDWRITE},
    {.job = "BORDWRITEWR",
     .lock = W,
     .need = Need::kBoardWrite,
     .write = j_BORDWRITEWR,
     .outcomes = kBordWriteWr,
     .refused_code = kPostNotAllowed},
    // Showing a message writes the reader's read mark.
    {.job = "DETAILS",
     .lock = W,
     .need = Need::kBoardRead,
     .writing_page = j_DETAILS,
     .refused = refusal_page},
    // The author (or a manager) deletes, from a personal account with write
    // right on the board; anybody else just sees the listing again.
    {.job = "DELMSG",
     .lock = W,
     .need = Need::kPersonalBoardWrite,
     .write = j_DELMSG,
     .then = j_ROOM},
    {.job = "BORDALLFLG",
     .lock = W,
     .need = Need::kBoardRead,
     .write = j_BORDALLFLG,
     .then = j_ROOM},
    {.job = "IDSINSEI", .lock = R},
    {.job = "IDSINSEIWR", .lock = W},
    {.job = "IDSINSEIlist", .lock = R},
    {.job = "IDSINSEIlist2", .lock = R},
    {.job = "IDSINSEIsysopWR", .lock = W},
    {.job = "NRDETAILS", .lock = R},
    {.job = "NRDETAILSWR", .lock = W},
    {.job = "SEARCH", .lock = R},
    {.job = "SEARCHDISP", .lock = R},
    {.job = "CHAT", .lock = R},
    {.job = "CHAT_UP", .lock = W},    // entering and leaving write notices
    {.job = "CHAT_DOWN", .lock = W},  // takes typed lines and the presence time
    {.job = "BATCH_UPLOAD", .lock = R},
    {.job = "BATCH_UPLOAD_WR", .lock = W},
    {.job = "BORDWRITEFIN", .lock = R, .need = Need::kNone, .page = j_BORDWRITEFIN},
};

static_assert(writers_lock_exclusively(kJobs), "a job that writes must hold the exclusive lock");

}  // namespace

std::span<const JobRow> job_table() {
  return kJobs;
}

}  // namespace plazet
