// Everything one request carries through the handlers: settings, language
// table, form fields, CGI environment, the store on the data directory, the
// logged-in user and the output buffer. There is no other state: one process
// serves one request. The data lock is held by the job runner, which hands
// its write proof only to the handlers of jobs that write.
#pragma once

#include <optional>
#include <string>

#include "frame/form.h"
#include "frame/output.h"
#include "frame/settings.h"
#include "frame/strdef.h"
#include "store/store.h"
#include "text/html.h"
#include "users/mst_user.h"
#include "users/session_file.h"

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

  Store store{""};  // on DATA_FILE_PATH, once the settings are read
  // The logged-in user, once the log-in or the session key was accepted.
  std::optional<MST_USER> user;
  // The user's right on the folder FOLDER_NO, for jobs about one folder.
  int right = 0;
  Output out;

  // Language text `n`, printed as it stands.
  [[nodiscard]] Html text(int n) const { return Html::of_installation(lang.text(n)); }
  [[nodiscard]] Client client() const { return {env.REMOTE_ADDR, env.HTTP_USER_AGENT}; }
};

}  // namespace plazet
