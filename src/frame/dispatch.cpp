#include "frame/dispatch.h"

#include <ctime>

#include "folders/access.h"
#include "frame/frame_pages.h"
#include "store/be_codec.h"
#include "store/line_reader.h"
#include "text/sjis.h"
#include "users/session.h"
#include "users/system_log.h"

namespace plazet {

int right_on(Request& req, long folder_no) {
  return req.user ? chk_ACL(req.store, *req.user, folder_no) : kRightNone;
}

namespace {

// Log-in: on success the user is the request's user. The log-in itself is
// answered in the default language.
std::optional<long> G_LoginChk(Request& req, const WriteToken& w) {
  std::optional<Login> login =
      login_check(req.store, w, req.uid, req.upw, req.client(), logging_on(req.sys.LOG_DATE));
  if (!login) return std::nullopt;
  req.user = login->user;
  return login->key;
}

// A session key: on success the user is the request's user and the user's
// own language table is in force.
bool G_SkeyChk(Request& req) {
  std::optional<MST_USER> user = key_check(req.store, req.SKEY, req.client());
  if (!user) return false;
  if (!user->LANGUAGE.empty() && user->LANGUAGE != req.sys.LANGUAGE &&
      plain_language_file(user->LANGUAGE)) {
    req.lang.StrdefFileOpen(user->LANGUAGE);
  }
  req.user = user;
  return true;
}

bool need_met(Request& req, Need need) {
  if (need == Need::kNone) return true;
  if (!req.user) return false;
  const MST_USER& user = *req.user;
  const bool personal = user.MODE == 1;
  auto right_at_least = [&](int r) {
    req.right = right_on(req, req.form.number("FOLDER_NO"));
    return req.right >= r;
  };
  switch (need) {
    case Need::kNone:
    case Need::kLogin:
      return true;
    case Need::kPersonal:
      return personal;
    case Need::kAdmin:
      return user.is_admin();
    case Need::kBoardRead:
      return right_at_least(kRightRead);
    case Need::kBoardWrite:
      return right_at_least(kRightWrite);
    case Need::kBoardManage:
      return right_at_least(kRightManage);
    case Need::kPersonalBoardWrite:
      return right_at_least(kRightWrite) && personal;
  }
  return false;
}

// A page job, or the page that follows a storing job: its own need decides
// between the page and its refusal.
void run_page(Request& req, const JobRow& row, const DataLock& lock) {
  const bool allowed = need_met(req, row.need);
  if (!allowed) {
    if (row.refused) row.refused(req);
  } else if (row.kind == Handler::kPage) {
    row.page(req);
  } else if (row.kind == Handler::kWritingPage) {
    row.writing_page(req, lock.write_token());
  }
}

void run_job(Request& req, std::span<const JobRow> jobs, const JobRow& row, const DataLock& lock) {
  if (row.enabled && !row.enabled(req)) return;
  if (row.kind == Handler::kNone) return;
  if (row.kind != Handler::kWrite) {
    run_page(req, row, lock);
    return;
  }
  const int code = need_met(req, row.need) ? row.write(req, lock.write_token()) : row.refused_code;
  if (row.reload_settings) {
    req.sys = read_settings(req.INI_FILE);
    // The page that follows reads the data directory the settings now name.
    req.store = Store(req.sys.DATA_FILE_PATH);
    req.lang.clear();
    req.lang.StrdefFileOpen(req.sys.LANGUAGE);
  }
  std::string_view next = row.then;
  for (const Outcome& o : row.outcomes) {
    if (o.code != code) continue;
    if (o.next.empty()) {
      j_ERROR2(req, o.error_title, o.error_text);
      return;
    }
    next = o.next;
    break;
  }
  if (next.empty()) return;
  if (const JobRow* page = find_job(jobs, next)) run_page(req, *page, lock);
}

LockMode lock_for(const Request& req, const JobRow* row) {
  if (req.JOB != "BORDWRITEFIN" && req.SKEY.empty() && !req.uid.empty()) {
    return LockMode::kExclusive;  // logging in stores the session key
  }
  return row ? row->lock : LockMode::kShared;
}

void authenticate_and_dispatch(Request& req, std::span<const JobRow> jobs, const JobRow* row,
                               const DataLock& lock) {
  if (req.JOB == "BORDWRITEFIN") {
    if (row) run_job(req, jobs, *row, lock);
    return;
  }
  if (req.SKEY.empty()) {
    if (req.uid.empty()) {
      j_login(req);
      return;
    }
    std::optional<long> key = G_LoginChk(req, lock.write_token());
    if (!key) {
      j_login(req);
      return;
    }
    // The log-in itself is answered in the default language, with the
    // frame set, even when the new key could not be stored.
    req.SKEY = std::to_string(*key);
    req.JOB = "TOP";
  } else if (!G_SkeyChk(req)) {
    j_IDerr(req);
    return;
  }
  if (req.JOB.empty()) req.JOB = "TOP";
  if ((row = find_job(jobs, req.JOB))) run_job(req, jobs, *row, lock);
}

}  // namespace

const JobRow* find_job(std::span<const JobRow> table, std::string_view job) {
  for (const JobRow& row : table) {
    if (row.job == job) return &row;
  }
  return nullptr;
}

std::string serve_request(const std::string& program_path, const CgiEnv& env, int body_fd,
                          const std::string& upload_dir, std::span<const JobRow> jobs,
                          AfterWrites after_writes) {
  Request req;
  req.env = env;
  req.upload_dir = upload_dir;
  req.INI_FILE = make_ini_path(program_path);
  req.sys = read_settings(req.INI_FILE);
  req.store = Store(req.sys.DATA_FILE_PATH);
  req.lang.StrdefFileOpen(req.sys.LANGUAGE);
  req.JOB_EXE = fit_field(cut_name(cut_name(program_path, '\\'), '/'), Request::kJobExeCapacity);

  if (req.form.cgi_get(env, body_fd, upload_dir) == FormInput::kTooLarge) {
    req.out.printf("Status: 413 Request Entity Too Large\n");
    j_ERROR2(req, 278, 390);
    return req.out.str();
  }
  req.uid = fit_field(req.form.cgi_getvalue("uid"), Request::kFieldCapacity);
  req.upw = fit_field(req.form.cgi_getvalue("upw"), Request::kFieldCapacity);
  req.JOB = fit_field(req.form.cgi_getvalue("JOB"), Request::kFieldCapacity);
  req.SKEY = fit_field(req.form.cgi_getvalue("SKEY"), Request::kFieldCapacity);

  {
    const JobRow* row = find_job(jobs, req.JOB);
    const DataLock lock = DataLock::acquire(req.sys.DATA_FILE_PATH, lock_for(req, row));
    authenticate_and_dispatch(req, jobs, row, lock);
    // Derived files the request's writes keep up to date are written while
    // the lock is still exclusive.
    if (after_writes && lock.held() && lock.mode() == LockMode::kExclusive) {
      after_writes(req.store, lock.write_token());
    }
  }

  // Uploads no handler took are not kept; the sweep catches what crashed
  // processes left.
  req.form.remove_uploads(upload_dir);
  sweep_upload_files(upload_dir, std::time(nullptr));
  return req.out.str();
}

}  // namespace plazet
