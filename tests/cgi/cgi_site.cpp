#include "cgi_site.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "boards/read_marks.h"
#include "folders/folder_admin.h"
#include "site_setup.h"

namespace plazet::testing {

Multipart& Multipart::text(const std::string& name, const std::string& value) {
  body_ += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
           "\"\r\n\r\n" + value + "\r\n";
  return *this;
}

Multipart& Multipart::file(const std::string& name, const std::string& file_name,
                           const std::string& data) {
  body_ += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
           "\"; filename=\"" + file_name + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
           data + "\r\n";
  return *this;
}

std::string Multipart::done() const { return body_ + "--" + kBoundary + "--\r\n"; }

CgiSite::CgiSite() {
  char pattern[] = "/tmp/plazet-cgi-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
  SiteLayout layout{.site_dir = dir_, .program = PLAZET_CGI, .share_dir = PLAZET_SHARE};
  if (std::string error = init_site(layout); !error.empty()) throw std::runtime_error(error);
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
  std::vector<std::string> vars = {"PATH=/usr/bin:/bin", "TZ=UTC"};
  for (const auto& [k, v] : env) vars.push_back(k + "=" + v);
  if (const char* asan = std::getenv("ASAN_OPTIONS")) vars.push_back(std::string("ASAN_OPTIONS=") + asan);
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::close(in[1]);
    ::close(out[0]);
    if (::chdir(cgi_dir().c_str()) != 0) _exit(127);
    char* argv[] = {program.data(), nullptr};
    ::execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  // The body is written while the answer is read, so neither pipe fills up.
  std::string response;
  std::size_t written = 0;
  bool in_open = !body.empty();
  if (!in_open) ::close(in[1]);
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
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
    } else if (n < 0 && errno == EAGAIN) {
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

std::string CgiSite::get(const std::string& query, const std::string& agent) const {
  return run({{"REQUEST_METHOD", "GET"},
              {"QUERY_STRING", query},
              {"REMOTE_ADDR", "127.0.0.1"},
              {"HTTP_USER_AGENT", agent}});
}

std::string CgiSite::post_form(const std::string& body, const std::string& agent) const {
  return run({{"REQUEST_METHOD", "POST"},
              {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
              {"CONTENT_LENGTH", std::to_string(body.size())},
              {"REMOTE_ADDR", "127.0.0.1"},
              {"HTTP_USER_AGENT", agent}},
             body);
}

std::string CgiSite::post(const Multipart& form, const std::string& agent) const {
  const std::string body = form.done();
  return run({{"REQUEST_METHOD", "POST"},
              {"CONTENT_TYPE", std::string("multipart/form-data; boundary=") + Multipart::kBoundary},
              {"CONTENT_LENGTH", std::to_string(body.size())},
              {"REMOTE_ADDR", "127.0.0.1"},
              {"HTTP_USER_AGENT", agent}},
             body);
}

void CgiSite::add_user_line(const std::string& line) const {
  std::ofstream(data_dir() + "user.mst", std::ios::app | std::ios::binary) << line << "\n";
}

// USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,
// USER_DISP_DEF,MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
void CgiSite::add_user(const std::string& id, int level, int mode, int write_mode,
                       const std::string& language) const {
  add_user_line(id + ",Name of " + id + "," + std::to_string(level) + ",,pw,0,1," +
                std::to_string(mode) + "," + std::to_string(write_mode) + "," + language + ",,0,");
}

std::string CgiSite::log_in(const std::string& id, const std::string& password,
                            const std::string& agent) const {
  const std::string page = post_form("uid=" + id + "&upw=" + password + "&JOB=TOP", agent);
  const std::string marker = "?SKEY=";
  auto at = page.find(marker);
  if (at == std::string::npos) return "";
  at += marker.size();
  return page.substr(at, page.find('&', at) - at);
}

void CgiSite::setting(const std::string& name, const std::string& value) const {
  write_file(ini_file(), read_file(ini_file()) + name + "," + value + ",\n");
}

void CgiSite::with_store(const std::function<void(Store&, const WriteToken&)>& work) const {
  const DataLock lock = DataLock::acquire(data_dir(), LockMode::kExclusive);
  Store store(data_dir());
  work(store, lock.write_token());
}

long CgiSite::new_board(const std::string& name, const std::function<void(B_TITLE2&)>& change,
                        int kind) const {
  long number = 0;
  with_store([&](Store& s, const WriteToken& w) {
    if (create_folder(s, w, 0, Placement::kAfter, kind, name, &number) != kFolderCreated) {
      throw std::runtime_error("create_folder " + name);
    }
    B_TITLE2 settings = ReadB_TITLE2(s, number).value_or(B_TITLE2{});
    if (change) change(settings);
    if (!ReWriteB_TITLE2(s, w, settings)) throw std::runtime_error("settings " + name);
  });
  return number;
}

int CgiSite::post(long board, const Msg& m) const {
  int number = 0;
  with_store([&](Store& s, const WriteToken& w) {
    INDEX_DATA r;
    r.FOLDER_NO = static_cast<std::int32_t>(board);
    r.SEL_NO = static_cast<std::int32_t>(m.parent);
    r.WRITE_PRIORITY = m.priority;
    r.HTML_MODE = m.html_mode;
    r.WRITE_DATE = m.date;
    r.WRITER = m.writer;
    r.WRITE_TITLE = m.title;
    r.READ_CHK = m.read_chk;
    r.ADD_COUNT = m.add_count;
    std::optional<INDEX_DATA> stored = WriteINDEX_DATA(s, w, r);
    if (!stored || !WriteContentsDATA(s, w, board, stored->SEL_NO, m.body)) {
      throw std::runtime_error("post " + m.title);
    }
    number = stored->SEL_NO;
  });
  return number;
}

std::vector<INDEX_DATA> CgiSite::index(long board) const {
  std::vector<INDEX_DATA> records;
  with_store([&](Store& s, const WriteToken&) { records = index_records(s, board); });
  return records;
}

std::vector<std::string> CgiSite::readers(long board, long sel_no) const {
  std::vector<std::string> ids;
  with_store([&](Store& s, const WriteToken&) {
    for (const READ_POINT& r : readers_of(s, board, sel_no)) ids.push_back(r.USER_ID);
  });
  return ids;
}

void CgiSite::write_file(const std::string& path, const std::string& contents) const {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

std::string CgiSite::read_file(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool CgiSite::exists(const std::string& path) { return std::filesystem::exists(path); }

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool lead_byte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

// A line "n,text": the text runs to the first one-byte comma, two-byte
// characters taken whole, 99 bytes at most.
std::string text(int n) {
  static const std::string file = slurp(std::string(PLAZET_SHARE) + "/lng/japan.lng");
  const std::string start = std::to_string(n) + ",";
  std::string found;
  std::istringstream lines(file);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(start, 0) != 0) continue;
    found.clear();
    for (std::size_t i = start.size(); i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      if (lead_byte(c) && i + 1 < line.size()) {
        found += line.substr(i++, 2);
      } else if (c == ',' || c == '\r') {
        break;
      } else {
        found += line[i];
      }
    }
  }
  return found.substr(0, 99);
}

std::string golden(const std::string& name, const std::string& key, const std::string& date) {
  const std::string here = __FILE__;
  std::string page = slurp(here.substr(0, here.rfind('/')) + "/golden/" + name);
  const std::pair<std::string, std::string> fixed[] = {
      {"{{SKEY}}", key}, {"{{DATE}}", date}, {"{{EDITION}}", "UNIX"}};
  for (const auto& [mark, value] : fixed) {
    for (std::size_t at; (at = page.find(mark)) != std::string::npos;) page.replace(at, mark.size(), value);
  }
  for (std::size_t at; (at = page.find("{{T:")) != std::string::npos;) {
    const std::size_t end = page.find("}}", at);
    page.replace(at, end + 2 - at, text(std::stoi(page.substr(at + 4, end - at - 4))));
  }
  return page;
}

std::string head() {
  return "Content-type: text/html\n\n<HTML>\n<HEAD>\n" + text(1) + "</HEAD>\n<!--" + text(2) + "-->\n";
}

std::string refusal(const std::string& before_body) {
  return head() + before_body + golden("refusal.html").substr(head().size());
}

std::string hidden(const std::string& name, const std::string& value) {
  return "<INPUT TYPE=\"hidden\" name=\"" + name + "\" value=\"" + value + "\">\n";
}

}  // namespace plazet::testing
