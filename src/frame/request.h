// Everything one request carries through the handlers: settings, language
// table, form fields, CGI environment, the data lock, the logged-in user and
// the output buffer. There is no other state: one process serves one request.
#pragma once

#include <optional>
#include <string>

#include "frame/form.h"
#include "frame/output.h"
#include "frame/settings.h"
#include "frame/strdef.h"
#include "store/cache.h"
#include "store/data_lock.h"
#include "users/mst_user.h"

namespace plazet {

struct Request {
  // Values of the dispatcher's own fields are cut to 23 bytes.
  static constexpr std::size_t kFieldCapacity = 24;
  static constexpr std::size_t kJobExeCapacity = 50;

  std::string INI_FILE;  // the settings file, from the program's own path
  std::string JOB_EXE;   // the program's file name: every form's ACTION and link's start
  SYSINFO sys;
  STRDEF lang;
  CgiEnv env;
  FormInput form;
  std::string upload_dir = ".";  // where "CGI<n>" upload files are made

  std::string uid;
  std::string upw;
  std::string JOB;
  std::string SKEY;

  std::optional<DataLock> lock;
  StoreCache cache;
  // The logged-in user, once the log-in or the session key was accepted.
  std::optional<MST_USER> user;
  Output out;

  // `DATA_FILE_PATH` + `name`: data files are named by plain concatenation.
  [[nodiscard]] std::string data_path(std::string_view name) const {
    return sys.DATA_FILE_PATH + std::string(name);
  }

  [[nodiscard]] const char* text(int n) const { return lang.text(n); }

  // Proof of the exclusive data lock; throws LockViolation under a shared one.
  [[nodiscard]] const WriteToken& write_token() const {
    if (!lock) throw LockViolation("write attempted without the data lock");
    return lock->write_token();
  }
};

}  // namespace plazet
