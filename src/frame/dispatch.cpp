#include "frame/dispatch.h"

#include <ctime>

#include "boards/bordwrite_page.h"
#include "boards/details_page.h"
#include "boards/room_page.h"
#include "folders/menu_page.h"
#include "frame/frame_pages.h"
#include "store/be_codec.h"
#include "text/sjis.h"
#include "users/session.h"

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

// Handlers are filled in as their pages are built; a row without one prints
// nothing, like an unknown job.
constexpr JobRow kJobs[] = {
    {"TOP", R, j_TOP},
    {"LOGOFF", W, LOGOFF},
    {"FRM21", R, j_FRM21},
    {"MYDATA", R, nullptr, nullptr, {}, nullptr, false, mydata_enabled},
    {"SETNOREAD", R},
    {"SETNOREAD_WR", W},
    {"ADMIN", R},
    {"SYSTEM", R},
    {"USERLIST", R},
    {"GROUPLIST", R},
    {"NEWGROUP", R},
    {"NEWGROUPWR", W},
    {"EDITGROUP", R},
    {"DELGROUP", R},
    {"DELGROUPWR", W},
    {"SYSTEMUPDATE", W, nullptr, nullptr, {}, nullptr, true},
    {"USERMENT", R},
    {"USERWR", W},
    {"NEWUSERWR", W},
    {"MYDATAWR", W},
    {"FOLDERLIST", R},
    {"NEWFOLDER", R},
    {"NEWFOLDERWR", W},
    {"DELFOLDER", R},
    {"DELFOLDERWR", W},
    {"BORDCONFIG", R},
    {"BORDCONFIGWR", W},
    {"BORDACCESS", R},
    {"BORDACCESSWR", W},
    {"BORDMOVE", R},
    {"BORDMOVEWR", W},
    {"FOLDER_DOWNLOAD", R},
    {"FOLDER_UPLOAD", W},
    {"AccessLogDISP", W},  // the log's start page prunes old lines
    {"AccessLogDOWNLOAD", R},
    {"AccessLogLastLogin", R},
    {"AccessLogDeleteUser", W},
    {"ROOM", R, j_ROOM},
    {"BORDWRITE", R, j_BORDWRITE},
    {"EDITMSG", R, j_BORDWRITE},
    {"BORDWRITEWR", W, nullptr, j_BORDWRITEWR, kBordWriteWr},
    {"DETAILS", W, j_DETAILS},  // showing a message writes the reader's read mark
    {"DELMSG", W, nullptr, j_DELMSG, {}, j_ROOM},
    {"BORDALLFLG", W, nullptr, j_BORDALLFLG, {}, j_ROOM},
    {"IDSINSEI", R},
    {"IDSINSEIWR", W},
    {"IDSINSEIlist", R},
    {"IDSINSEIlist2", R},
    {"IDSINSEIsysopWR", W},
    {"NRDETAILS", R},
    {"NRDETAILSWR", W},
    {"SEARCH", R},
    {"SEARCHDISP", R},
    {"CHAT", R},
    {"CHAT_UP", W},    // entering and leaving write notices
    {"CHAT_DOWN", W},  // takes typed lines and the presence time
    {"BATCH_UPLOAD", R},
    {"BATCH_UPLOAD_WR", W},
    {"BORDWRITEFIN", R, j_BORDWRITEFIN},
};

void run_job(Request& req, const JobRow& row) {
  if (row.allowed && !row.allowed(req)) return;
  if (row.page) {
    row.page(req);
    return;
  }
  if (!row.write) return;
  int code = row.write(req);
  if (row.reload_settings) {
    req.sys = read_settings(req.INI_FILE);
    req.lang.clear();
    req.lang.StrdefFileOpen(req.sys.LANGUAGE);
  }
  for (const Outcome& o : row.outcomes) {
    if (o.code != code) continue;
    if (o.next) {
      o.next(req);
    } else {
      j_ERROR2(req, o.error_title, o.error_text);
    }
    return;
  }
  if (row.then) row.then(req);
}

LockMode lock_for(const Request& req, const JobRow* row) {
  if (req.JOB != "BORDWRITEFIN" && req.SKEY.empty() && !req.uid.empty()) {
    return LockMode::kExclusive;  // logging in stores the session key
  }
  return row ? row->lock : LockMode::kShared;
}

void authenticate_and_dispatch(Request& req) {
  const JobRow* row = find_job(req.JOB);
  req.lock = DataLock::acquire(req.sys.DATA_FILE_PATH, lock_for(req, row));

  if (req.JOB == "BORDWRITEFIN") {
    run_job(req, *row);
    return;
  }
  if (req.SKEY.empty()) {
    if (req.uid.empty()) {
      j_login(req);
      return;
    }
    std::optional<long> key = G_LoginChk(req, req.uid, req.upw);
    if (!key) {
      j_login(req);
      return;
    }
    // The log-in itself is answered in the default language, with the
    // frame set, even when the new key could not be stored.
    req.SKEY = std::to_string(*key);
    req.JOB = "TOP";
  } else if (!G_SkeyChk(req, req.SKEY)) {
    j_IDerr(req);
    return;
  }
  if (req.JOB.empty()) req.JOB = "TOP";
  if ((row = find_job(req.JOB))) run_job(req, *row);
}

}  // namespace

std::span<const JobRow> job_table() {
  return kJobs;
}

const JobRow* find_job(std::string_view job) {
  for (const JobRow& row : kJobs) {
    if (row.job == job) return &row;
  }
  return nullptr;
}

std::string serve_request(const std::string& program_path, const CgiEnv& env, int body_fd,
                          const std::string& upload_dir) {
  Request req;
  req.env = env;
  req.upload_dir = upload_dir;
  req.INI_FILE = make_ini_path(program_path);
  req.sys = read_settings(req.INI_FILE);
  req.lang.StrdefFileOpen(req.sys.LANGUAGE);
  req.JOB_EXE = fit_field(cut_name(cut_name(program_path, '\\'), '/'), Request::kJobExeCapacity);

  req.form.cgi_get(env, body_fd, upload_dir);
  req.uid = fit_field(req.form.cgi_getvalue("uid"), Request::kFieldCapacity);
  req.upw = fit_field(req.form.cgi_getvalue("upw"), Request::kFieldCapacity);
  req.JOB = fit_field(req.form.cgi_getvalue("JOB"), Request::kFieldCapacity);
  req.SKEY = fit_field(req.form.cgi_getvalue("SKEY"), Request::kFieldCapacity);

  authenticate_and_dispatch(req);

  sweep_upload_files(upload_dir, std::time(nullptr));
  return req.out.str();
}

}  // namespace plazet
