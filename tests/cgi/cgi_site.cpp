#include "cgi_site.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include "boards/read_marks.h"
#include "folders/folder_admin.h"
#include "site_setup.h"

namespace plazet::testing {

CgiSite::CgiSite() {
  char pattern[] = "/tmp/plazet-cgi-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
  SiteLayout layout{.site_dir = dir_, .program = PLAZET_CGI, .share_dir = PLAZET_SHARE};
  if (std::string error = init_site(layout); !error.empty()) throw std::runtime_error(error);
}

// The body comes from a file and the page goes to one, so no pipe can fill up.
int CgiSite::run_wrapped(const std::vector<std::string>& wrapper, const Env& env,
                         const std::string& body, std::string& page) const {
  Env all = {{"REMOTE_ADDR", "127.0.0.1"}, {"HTTP_USER_AGENT", kAgent}};
  if (!body.empty()) {
    all["REQUEST_METHOD"] = "POST";
    all["CONTENT_LENGTH"] = std::to_string(body.size());
  }
  for (const auto& [k, v] : env) all[k] = v;
  std::vector<std::string> vars = {"PATH=/usr/bin:/bin", "TZ=UTC"};
  for (const auto& [k, v] : all) vars.push_back(k + "=" + v);
  if (const char* asan = std::getenv("ASAN_OPTIONS"); asan && !all.count("ASAN_OPTIONS"))
    vars.push_back(std::string("ASAN_OPTIONS=") + asan);
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  // Named by process, so that test processes may run requests side by side.
  const std::string me = std::to_string(::getpid());
  std::string program = cgi_dir() + "/plazet.cgi", in = dir_ + "/body" + me + ".in",
              out = dir_ + "/page" + me + ".out";
  write_file(in, body);
  std::vector<std::string> args = wrapper;
  args.push_back(program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int status = -1;
  if (const pid_t pid = ::fork(); pid == 0) {
    ::dup2(::open(in.c_str(), O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    if (::chdir(cgi_dir().c_str()) == 0) ::execve(argv[0], argv.data(), envp.data());
    _exit(127);
  } else if (::waitpid(pid, &status, 0) != pid) {
    throw std::runtime_error("waitpid");
  }
  page = read_file(out);
  return status;
}

std::string CgiSite::run(const Env& env, const std::string& body) const {
  std::string page;
  const int status = run_wrapped({}, env, body, page);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("plazet.cgi did not exit with status 0");
  }
  return page;
}

long CgiSite::new_board(const std::string& name, const Change& change, int kind) const {
  long number = 0;
  with_store([&](Store& s, const WriteToken& w) {
    if (create_folder(s, w, 0, Placement::kAfter, kind, name, &number) != kFolderCreated) {
      throw std::runtime_error("create_folder " + name);
    }
  });
  change_board(
      number, change ? change : [](B_TITLE2&) {});
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
    std::optional<INDEX_DATA> stored = WriteINDEX_DATA(s, w, r);
    if (!stored || !WriteContentsDATA(s, w, board, stored->SEL_NO, m.body)) {
      throw std::runtime_error("post " + m.title);
    }
    number = stored->SEL_NO;
  });
  return number;
}

std::string CgiSite::snapshot() const {
  std::vector<std::string> entries;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir_)) {
    // The program, request files and upload files the parser made (swept after an hour).
    const std::string name = e.path().filename().string();
    if (name == "plazet.cgi" || name.starts_with("CGI") || e.path().parent_path() == dir_) continue;
    entries.push_back(e.path().string() + "\n" + read_file(e.path().string()));
  }
  std::sort(entries.begin(), entries.end());
  std::string out;
  for (const std::string& e : entries) out += e + "\n";
  return out;
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

// A file of tests/cgi, which must not be empty.
static std::string here(const std::string& name) {
  const std::string dir = __FILE__;
  std::string contents = CgiSite::read_file(dir.substr(0, dir.rfind('/') + 1) + name);
  if (contents.empty()) throw std::runtime_error("cannot read " + name);
  return contents;
}

// A line "n,text": the text runs to the first one-byte comma, two-byte
// characters taken whole, 99 bytes at most.
std::string text(int n) {
  static const std::string file =
      "\n" + CgiSite::read_file(std::string(PLAZET_SHARE) + "/lng/japan.lng");
  const std::string start = "\n" + std::to_string(n) + ",";
  std::string found;
  for (std::size_t at = file.find(start); at != std::string::npos; at = file.find(start, at + 1)) {
    found.clear();
    for (std::size_t i = at + start.size(); i < file.size() && !has(",\r\n", file.substr(i, 1));
         ++i) {
      const auto c = static_cast<unsigned char>(file[i]);
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      found += file.substr(i, lead ? 2 : 1);
      i += lead;
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

std::string joined(const std::string& page, const std::string& pattern) {
  std::string out;
  for (const std::string& part : all(page, pattern)) out += (out.empty() ? "" : " ") + part;
  return out;
}

std::vector<std::vector<std::string>> table(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : all(here("data/" + name), "([^\n]*)\n")) {
    if (line.empty() || line[0] == '#') continue;
    rows.push_back(all(line + "|", " *([^|]*?) *\\|"));
    for (std::string& f : rows.back()) {
      for (std::size_t at; (at = f.find("\\r")) != std::string::npos;) f.replace(at, 2, "\r");
      for (std::size_t at; (at = f.find("\\n")) != std::string::npos;) f.replace(at, 2, "\n");
      for (std::size_t at; (at = f.find("\\s")) != std::string::npos;) f.replace(at, 2, " ");
    }
  }
  return rows;
}

std::string error_page(int title, int message) {
  std::string page = golden("error.html");
  page.replace(page.find(text(278)), text(278).size(), text(title));
  page.replace(page.find(text(295)), text(295).size(), text(message));
  return page;
}

std::string expected_page(const std::string& name, const std::string& key) {
  if (name == "none") return "";
  if (name.starts_with("error:")) {
    const std::size_t colon = name.find(':', 6);
    return error_page(std::stoi(name.substr(6, colon - 6)), std::stoi(name.substr(colon + 1)));
  }
  if (!name.starts_with("refused:")) return golden(name, key);
  std::string page = golden("admin_refusal.html"), heading;
  for (const std::string& n : all(name.substr(8) + " ", "(\\d+) ")) {
    heading += (heading.empty() ? "" : " ") + text(std::stoi(n));
  }
  const std::string body = "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n";
  page.insert(page.find(body) + body.size(), "<FONT SIZE=\"5\"><B>" + heading + "</B></FONT>\n");
  return page;
}

void lay_out_golden_site(const CgiSite& site) {
  for (const char* line : {"taro,Taro,1,,pw,0,1,1,1,,,0,", "hana,Hana,1,,pw,0,1,1,1,,,0,"}) {
    site.add_user_line(line);
  }
  if (site.new_board("Notices") != 1 ||
      site.post(1, {.writer = "hana", .title = "Hello", .body = "Hi all"}) != 1 ||
      site.post(1, {.writer = "taro",
                    .parent = 1,
                    .title = "Thanks",
                    .body = ">Hi all\rOK",
                    .priority = 1,
                    .date = "2024/05/02 10:00"}) != 2) {
    throw std::runtime_error("golden site");
  }
}

std::string now_minute() {
  char out[32];
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  std::strftime(out, sizeof out, "%Y/%m/%d %H:%M", &tm);
  return out;
}

std::string golden(const std::string& name, const std::string& key, const std::string& date) {
  std::string page = here("golden/" + name);
  for (auto [mark, value] :
       {std::pair{"{{SKEY}}", key}, {"{{DATE}}", date}, {"{{EDITION}}", "UNIX"}}) {
    for (std::size_t at; (at = page.find(mark)) != std::string::npos;) {
      page.replace(at, std::string(mark).size(), value);
    }
  }
  for (std::size_t at; (at = page.find("{{T:")) != std::string::npos;) {
    const std::size_t end = page.find("}}", at);
    page.replace(at, end + 2 - at, text(std::stoi(page.substr(at + 4, end - at - 4))));
  }
  return page;
}

}  // namespace plazet::testing
