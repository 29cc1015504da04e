#include "cgi_site.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

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
  Env all = {{"REMOTE_ADDR", "127.0.0.1"}, {"HTTP_USER_AGENT", kAgent}};
  for (const auto& [k, v] : env) all[k] = v;
  std::vector<std::string> vars = {"PATH=/usr/bin:/bin", "TZ=UTC"};
  for (const auto& [k, v] : all) vars.push_back(k + "=" + v);
  if (const char* asan = std::getenv("ASAN_OPTIONS"))
    vars.push_back(std::string("ASAN_OPTIONS=") + asan);
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
  return run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", query}, {"HTTP_USER_AGENT", agent}});
}

std::string CgiSite::post_form(const std::string& body) const {
  return run({{"REQUEST_METHOD", "POST"},
              {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
              {"CONTENT_LENGTH", std::to_string(body.size())}},
             body);
}

std::string CgiSite::post(const Multipart& form) const {
  const std::string body = form.done();
  return run(
      {{"REQUEST_METHOD", "POST"},
       {"CONTENT_TYPE", std::string("multipart/form-data; boundary=") + Multipart::kBoundary},
       {"CONTENT_LENGTH", std::to_string(body.size())}},
      body);
}

std::string CgiSite::key(const std::string& user) {
  if (!keys_.count(user)) keys_[user] = log_in(user);
  return keys_[user];
}

std::string CgiSite::as(const std::string& user, const std::string& query) {
  return get("SKEY=" + key(user) + "&" + query);
}

void CgiSite::add_user_line(const std::string& line) const {
  std::ofstream(data_dir() + "user.mst", std::ios::app | std::ios::binary) << line << "\n";
}

void CgiSite::add_user(const std::string& id, int level, int mode, int write_mode,
                       const std::string& language) const {
  add_user_line(id + ",Name of " + id + "," + std::to_string(level) + ",,pw,0,1," +
                std::to_string(mode) + "," + std::to_string(write_mode) + "," + language + ",,0,");
}

std::string CgiSite::log_in(const std::string& id, const std::string& agent) const {
  const std::string body = "uid=" + id + "&upw=pw&JOB=TOP";
  const std::string page = run({{"REQUEST_METHOD", "POST"},
                                {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                                {"CONTENT_LENGTH", std::to_string(body.size())},
                                {"HTTP_USER_AGENT", agent}},
                               body);
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

void CgiSite::change_board(long board, const std::function<void(B_TITLE2&)>& change) const {
  with_store([&](Store& s, const WriteToken& w) {
    B_TITLE2 b = ReadB_TITLE2(s, board).value_or(B_TITLE2{});
    change(b);
    if (!ReWriteB_TITLE2(s, w, b)) throw std::runtime_error("settings");
  });
}

void CgiSite::mark_deleted(long board, int sel_no) const {
  with_store([&](Store& s, const WriteToken& w) {
    INDEX_DATA m = ReadINDEX_DATA(s, board, sel_no, IndexKey::kSelNo).value();
    m.DEL_FLG = 1;
    if (!ReWriteINDEX_DATA(s, w, m)) throw std::runtime_error("mark_deleted");
  });
}

std::string CgiSite::slot(long board, int sel_no, int slot) const {
  return pic_dir() + std::to_string(board) + "/x" + std::to_string(sel_no) + "/" +
         std::to_string(slot) + "/";
}

void CgiSite::attach(long board, int sel_no, int n, const std::string& name,
                     const std::string& data) const {
  with_store([&](Store& s, const WriteToken& w) {
    if (!WriteADD_FILE(s, w, board, {sel_no, n, name})) throw std::runtime_error("attach");
  });
  std::filesystem::create_directories(slot(board, sel_no, n));
  write_file(slot(board, sel_no, n) + name, data);
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

bool CgiSite::exists(const std::string& path) {
  return std::filesystem::exists(path);
}

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool lead_byte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

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

std::vector<std::string> all(const std::string& page, const std::string& pattern) {
  const std::regex re(pattern);
  std::vector<std::string> out;
  for (std::sregex_iterator it(page.begin(), page.end(), re), end; it != end; ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

std::vector<std::vector<std::string>> table(const std::string& name) {
  const std::string here = __FILE__;
  std::istringstream lines(slurp(here.substr(0, here.rfind('/')) + "/data/" + name));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string>& row = rows.emplace_back();
    for (std::size_t from = 0, bar = 0; bar != std::string::npos; from = bar + 1) {
      bar = line.find('|', from);
      std::string f = line.substr(from, bar == std::string::npos ? bar : bar - from);
      f = f.substr(0, f.find_last_not_of(' ') + 1);
      f.erase(0,
              f.find_first_not_of(' ') == std::string::npos ? f.size() : f.find_first_not_of(' '));
      for (auto [mark, c] : {std::pair{"\\r", '\r'}, {"\\n", '\n'}}) {
        for (std::size_t at; (at = f.find(mark)) != std::string::npos;) f.replace(at, 2, 1, c);
      }
      row.push_back(f);
    }
  }
  return rows;
}

std::string golden(const std::string& name, const std::string& key, const std::string& date) {
  const std::string here = __FILE__;
  std::string page = slurp(here.substr(0, here.rfind('/')) + "/golden/" + name);
  const std::pair<std::string, std::string> fixed[] = {
      {"{{SKEY}}", key}, {"{{DATE}}", date}, {"{{EDITION}}", "UNIX"}};
  for (const auto& [mark, value] : fixed) {
    for (std::size_t at; (at = page.find(mark)) != std::string::npos;)
      page.replace(at, mark.size(), value);
  }
  for (std::size_t at; (at = page.find("{{T:")) != std::string::npos;) {
    const std::size_t end = page.find("}}", at);
    page.replace(at, end + 2 - at, text(std::stoi(page.substr(at + 4, end - at - 4))));
  }
  return page;
}

std::string head() {
  return "Content-type: text/html\n\n<HTML>\n<HEAD>\n" + text(1) + "</HEAD>\n<!--" + text(2) +
         "-->\n";
}

std::string refusal(const std::string& before_body) {
  return head() + before_body + golden("refusal.html").substr(head().size());
}

std::string hidden(const std::string& name, const std::string& value) {
  return "<INPUT TYPE=\"hidden\" name=\"" + name + "\" value=\"" + value + "\">\n";
}

}  // namespace plazet::testing
