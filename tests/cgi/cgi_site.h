// A site laid out in a temporary directory and the built program run on it
// as a web server would: CGI variables in the environment, the body on
// standard input, the working directory the program's own.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "frame/request.h"

#include "frame/strdef.h"

namespace plazet::testing {

class CgiSite {
 public:
  CgiSite();
  ~CgiSite();
  CgiSite(const CgiSite&) = delete;
  CgiSite& operator=(const CgiSite&) = delete;

  [[nodiscard]] const std::string& dir() const { return dir_; }
  [[nodiscard]] std::string cgi_dir() const { return dir_ + "/cgi-bin"; }
  [[nodiscard]] std::string data_dir() const { return dir_ + "/data/"; }
  [[nodiscard]] std::string ini_file() const { return cgi_dir() + "/plazet.ini"; }

  // Runs the program; `env` holds the CGI variables (REQUEST_METHOD, ...).
  [[nodiscard]] std::string run(const std::map<std::string, std::string>& env,
                                const std::string& body = "") const;
  [[nodiscard]] std::string get(const std::string& query,
                                const std::string& user_agent = "TestBrowser/1.0") const;
  [[nodiscard]] std::string post_form(const std::string& body,
                                      const std::string& user_agent = "TestBrowser/1.0") const;

  // Adds a user line to user.mst.
  void add_user(const std::string& id, const std::string& password, int level, int mode,
                const std::string& language = "") const;
  // Logs in and returns the session key from the frame set, if any.
  [[nodiscard]] std::optional<std::string> log_in(
      const std::string& id, const std::string& password,
      const std::string& user_agent = "TestBrowser/1.0") const;

  // Runs `work` in a request on the site acting as the user `as` (from
  // user.mst; an administrator of that ID when there is none), holding the
  // exclusive data lock. The lock is gone before the program runs again.
  void with_request(const std::string& as, const std::function<void(Request&)>& work) const;

  void write_file(const std::string& path, const std::string& contents) const;
  [[nodiscard]] std::string read_file(const std::string& path) const;

 private:
  std::string dir_;
};

// The shipped Japanese language table, as the program loads it.
[[nodiscard]] STRDEF japanese();
// The HTTP header and HEAD every page starts with.
[[nodiscard]] std::string head(const STRDEF& t);
// A hidden field as the pages print it.
[[nodiscard]] std::string hidden(const std::string& name, const std::string& value);

}  // namespace plazet::testing
