// A site laid out in a temporary directory and the built program run on it
// as a web server would: CGI variables in the environment, the body on
// standard input, the working directory the program's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "boards/message_store.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/data_lock.h"
#include "store/store.h"

namespace plazet::testing {

inline constexpr const char* kAgent = "TestBrowser/1.0";

// A multipart/form-data body, part by part, as a browser sends it.
class Multipart {
 public:
  static constexpr const char* kBoundary = "----PlazetPost42";
  Multipart& text(const std::string& name, const std::string& value) {
    return part("name=\"" + name + "\"\r\n\r\n" + value);
  }
  Multipart& file(const std::string& name, const std::string& file_name, const std::string& data) {
    return part("name=\"" + name + "\"; filename=\"" + file_name +
                "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data);
  }
  // Text fields from "name=value&name=value".
  Multipart& texts(const std::string& fields) {
    for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
      end = fields.find('&', at);
      const std::string field = fields.substr(at, end - at);
      text(field.substr(0, field.find('=')), field.substr(field.find('=') + 1));
    }
    return *this;
  }
  [[nodiscard]] std::string done() const { return body_ + "--" + kBoundary + "--\r\n"; }

 private:
  Multipart& part(const std::string& rest) {
    body_ += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; " + rest + "\r\n";
    return *this;
  }
  std::string body_;
};

// A message laid out through the store, as its writer would post it.
struct Msg {
  std::string writer = "taro";
  long parent = 0;
  std::string title = "t";
  std::string body = "";
  int priority = 0;
  int read_chk = 1;
  int html_mode = 0;
  std::string date = "2024/05/01 09:30";
};

using Env = std::map<std::string, std::string>;
using Change = std::function<void(B_TITLE2&)>;
[[nodiscard]] inline Env multipart_env() {
  return {{"CONTENT_TYPE", std::string("multipart/form-data; boundary=") + Multipart::kBoundary}};
}

class CgiSite {
 public:
  CgiSite();
  ~CgiSite() { std::filesystem::remove_all(dir_); }
  CgiSite(const CgiSite&) = delete;
  CgiSite& operator=(const CgiSite&) = delete;

  [[nodiscard]] std::string cgi_dir() const { return dir_ + "/cgi-bin"; }
  [[nodiscard]] std::string data_dir() const { return dir_ + "/data/"; }
  [[nodiscard]] std::string pic_dir() const { return dir_ + "/htdocs/plazetpic/"; }
  [[nodiscard]] std::string ini_file() const { return cgi_dir() + "/plazet.ini"; }
  [[nodiscard]] std::string board_file(long board, const std::string& name) const {
    return data_dir() + std::to_string(board) + "/" + name;
  }
  [[nodiscard]] std::string slot(long board, int sel_no, int slot) const {
    return pic_dir() + std::to_string(board) + "/x" + std::to_string(sel_no) + "/" +
           std::to_string(slot) + "/";
  }

  // Runs the program; `env` holds the CGI variables besides the usual ones.
  [[nodiscard]] std::string run(const Env& env, const std::string& body = "") const;
  // The same under `wrapper` (a command and its arguments, such as a tracer,
  // that runs the program after them): the wait status, the page in `page`.
  [[nodiscard]] int run_wrapped(const std::vector<std::string>& wrapper, const Env& env,
                                const std::string& body, std::string& page) const;
  [[nodiscard]] std::string get(const std::string& query, const std::string& agent = kAgent) const {
    return run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", query}, {"HTTP_USER_AGENT", agent}});
  }
  [[nodiscard]] std::string post_form(const std::string& body) const {
    return run({{"CONTENT_TYPE", "application/x-www-form-urlencoded"}}, body);
  }
  [[nodiscard]] std::string post(const Multipart& form) const {
    return run(multipart_env(), form.done());
  }
  // Logs in and returns the session key from the frame set ("" for none).
  [[nodiscard]] std::string log_in(const std::string& id) const {
    const std::string page = post_form("uid=" + id + "&upw=pw&JOB=TOP");
    const std::size_t at = page.find("?SKEY=");
    return at == std::string::npos ? "" : page.substr(at + 6, page.find('&', at) - at - 6);
  }
  // `user`'s key, logged in on first use, and a GET with it before `query`.
  [[nodiscard]] std::string key(const std::string& user) {
    if (!keys_.count(user)) keys_[user] = log_in(user);
    return keys_[user];
  }
  [[nodiscard]] std::string as(const std::string& user, const std::string& query) {
    return get("SKEY=" + key(user) + "&" + query);
  }
  // A multipart post of `user`: the parts of `form`, then "NAME=value&NAME=value".
  std::string post_as(const std::string& user, const std::string& fields, Multipart form = {}) {
    form.text("SKEY", key(user));
    return post(fields.empty() ? form : form.texts(fields));
  }
  // Every file of the site but the program and upload files, with its contents.
  [[nodiscard]] std::string snapshot() const;

  // USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,USER_DISP_DEF,
  // MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
  void users(const std::string& lines) const { write_file(data_dir() + "user.mst", lines); }
  void add_user_line(const std::string& line) const {
    std::ofstream(data_dir() + "user.mst", std::ios::app | std::ios::binary) << line << "\n";
  }
  void add_user(const std::string& id, int level = 1, int mode = 1) const {
    add_user_line(id + ",Name of " + id + "," + std::to_string(level) + ",,pw,0,1," +
                  std::to_string(mode) + ",1,,,0,");
  }
  void setting(const std::string& name, const std::string& value) const {
    write_file(ini_file(), read_file(ini_file()) + name + "," + value + ",\n");
  }

  // Runs `work` holding the exclusive data lock.
  void with_store(const std::function<void(Store&, const WriteToken&)>& work) const {
    const DataLock lock = DataLock::acquire(data_dir(), LockMode::kExclusive);
    Store store(data_dir());
    work(store, lock.write_token());
  }
  // A new folder at the end of the tree; `change` edits its settings.
  long new_board(const std::string& name, const Change& change = {},
                 int kind = B_TITLE::kBoard) const;
  void change_board(long board, const Change& change) const {
    with_store([&](Store& s, const WriteToken& w) {
      B_TITLE2 b = ReadB_TITLE2(s, board).value_or(B_TITLE2{});
      b.FOLDER_NO = static_cast<std::int32_t>(board);
      change(b);
      if (!ReWriteB_TITLE2(s, w, b)) throw std::runtime_error("settings");
    });
  }
  // Stores a message with its body and the writer's read mark; its number.
  int post(long board, const Msg& m) const;
  [[nodiscard]] std::vector<INDEX_DATA> index(long board) const;
  [[nodiscard]] std::vector<std::string> readers(long board, long sel_no) const;

  static void write_file(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  }
  [[nodiscard]] static std::string read_file(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) return "";
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  [[nodiscard]] static bool exists(const std::string& path) {
    return std::filesystem::exists(path);
  }

 private:
  std::string dir_;
  std::map<std::string, std::string> keys_;
};

[[nodiscard]] inline bool has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}
// Every capture of `pattern` (its first group) in `page`.
[[nodiscard]] std::vector<std::string> all(const std::string& page, const std::string& pattern);
// The captures of all() joined by single spaces: "1 3 2".
[[nodiscard]] std::string joined(const std::string& page, const std::string& pattern);
// The rows of tests/cgi/data/`name`: fields split at "|" and trimmed, "\r",
// "\n" and "\s" (a blank) written out; blank lines and "#" lines skipped.
[[nodiscard]] std::vector<std::vector<std::string>> table(const std::string& name);
// Language text `n` of the shipped Japanese table, read from the file here.
[[nodiscard]] std::string text(int n);
// A golden page of tests/cgi/golden with its placeholders filled in.
[[nodiscard]] std::string golden(const std::string& name, const std::string& key = "",
                                 const std::string& date = "");
// The small site of golden/README.md: users taro and hana, board 1
// "Notices" with hana's message 1 and taro's reply 2.
void lay_out_golden_site(const CgiSite& site);
// The current time as pages print it, "YYYY/MM/DD hh:mm" in UTC.
[[nodiscard]] std::string now_minute();
// The error page with language texts `title` and `message`.
[[nodiscard]] std::string error_page(int title, int message);
// A page named in a table: "none" (no output), "error:TITLE:TEXT", "refused:N N" (the
// administration refusal under a heading of those language texts) or a golden page.
[[nodiscard]] std::string expected_page(const std::string& name, const std::string& key = "");
// The refusal page.
[[nodiscard]] inline std::string refusal() {
  return golden("refusal.html");
}

}  // namespace plazet::testing
