#include "cgi_site.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "site_setup.h"
#include "users/user_file.h"

namespace plazet::testing {

CgiSite::CgiSite() {
  char pattern[] = "/tmp/plazet-cgi-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
  SiteLayout layout;
  layout.site_dir = dir_;
  layout.program = PLAZET_CGI;
  layout.share_dir = PLAZET_SHARE;
  std::string error = init_site(layout);
  if (!error.empty()) throw std::runtime_error(error);
}

CgiSite::~CgiSite() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string CgiSite::run(const std::map<std::string, std::string>& env,
                         const std::string& body) const {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe");
  std::string program = cgi_dir() + "/plazet.cgi";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::close(in[1]);
    ::close(out[0]);
    if (::chdir(cgi_dir().c_str()) != 0) _exit(127);
    std::vector<std::string> vars;
    for (const auto& [k, v] : env) vars.push_back(k + "=" + v);
    vars.push_back("PATH=/usr/bin:/bin");
    vars.push_back("TZ=UTC");
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
      vars.push_back(std::string("ASAN_OPTIONS=") + asan);
    std::vector<char*> envp;
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    char* argv[] = {program.data(), nullptr};
    ::execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  // Write the body from a helper thread-free loop: bodies in tests are small
  // enough for the pipe, larger ones are written while reading.
  std::string response;
  std::size_t written = 0;
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  bool in_open = true;
  if (body.empty()) {
    ::close(in[1]);
    in_open = false;
  }
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  for (;;) {
    if (in_open) {
      ssize_t n = ::write(in[1], body.data() + written, body.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (written == body.size() || (n < 0 && errno != EAGAIN)) {
        ::close(in[1]);
        in_open = false;
      }
    }
    char buf[65536];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n > 0) {
      response.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno == EAGAIN) {
      ::usleep(200);
    } else {
      break;
    }
  }
  if (in_open) ::close(in[1]);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("plazet.cgi did not exit with status 0");
  }
  return response;
}

std::string CgiSite::get(const std::string& query, const std::string& user_agent) const {
  return run({{"REQUEST_METHOD", "GET"},
              {"QUERY_STRING", query},
              {"REMOTE_ADDR", "127.0.0.1"},
              {"HTTP_USER_AGENT", user_agent}});
}

std::string CgiSite::post_form(const std::string& body, const std::string& user_agent) const {
  return run({{"REQUEST_METHOD", "POST"},
              {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
              {"CONTENT_LENGTH", std::to_string(body.size())},
              {"REMOTE_ADDR", "127.0.0.1"},
              {"HTTP_USER_AGENT", user_agent}},
             body);
}

void CgiSite::add_user(const std::string& id, const std::string& password, int level, int mode,
                       const std::string& language) const {
  std::ofstream out(data_dir() + "user.mst", std::ios::app | std::ios::binary);
  out << id << ",Name of " << id << "," << level << ",," << password << ",0,1," << mode << ",1,"
      << language << ",,0,\n";
}

std::optional<std::string> CgiSite::log_in(const std::string& id, const std::string& password,
                                           const std::string& user_agent) const {
  std::string page = post_form("uid=" + id + "&upw=" + password + "&JOB=TOP", user_agent);
  const std::string marker = "?SKEY=";
  auto at = page.find(marker);
  if (at == std::string::npos) return std::nullopt;
  at += marker.size();
  return page.substr(at, page.find('&', at) - at);
}

void CgiSite::with_request(const std::string& as, const std::function<void(Request&)>& work) const {
  Request req;
  req.sys = read_settings(ini_file());
  req.lang = japanese();
  req.JOB_EXE = "plazet.cgi";
  req.lock = DataLock::acquire(req.sys.DATA_FILE_PATH, LockMode::kExclusive);
  std::string id = as;
  req.user = ReadMST_USER(req, id);
  if (!req.user) {
    MST_USER user;
    user.USER_ID = as;
    user.USER_LEVEL = 100;
    user.MODE = 1;
    req.user = user;
  }
  work(req);
}

void CgiSite::write_file(const std::string& path, const std::string& contents) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

std::string CgiSite::read_file(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

STRDEF japanese() {
  STRDEF lang;
  lang.StrdefFileOpen(std::string(PLAZET_SHARE) + "/lng/japan.lng");
  return lang;
}

std::string head(const STRDEF& t) {
  return std::string("Content-type: text/html\n\n<HTML>\n<HEAD>\n") + t.text(1) + "</HEAD>\n<!--" +
         t.text(2) + "-->\n";
}

std::string hidden(const std::string& name, const std::string& value) {
  return "<INPUT TYPE=\"hidden\" name=\"" + name + "\" value=\"" + value + "\">\n";
}

}  // namespace plazet::testing
