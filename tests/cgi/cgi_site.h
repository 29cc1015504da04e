// A site laid out in a temporary directory and the built program run on it
// as a web server would: CGI variables in the environment, the body on
// standard input, the working directory the program's own.
#pragma once

#include <functional>
#include <map>
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
  Multipart& text(const std::string& name, const std::string& value);
  Multipart& file(const std::string& name, const std::string& file_name, const std::string& data);
  [[nodiscard]] std::string done() const { return body_ + "--" + kBoundary + "--\r\n"; }

 private:
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
  int add_count = 0;
  std::string date = "2024/05/01 09:30";
};

using Env = std::map<std::string, std::string>;

class CgiSite {
 public:
  CgiSite();
  ~CgiSite();
  CgiSite(const CgiSite&) = delete;
  CgiSite& operator=(const CgiSite&) = delete;

  [[nodiscard]] std::string cgi_dir() const { return dir_ + "/cgi-bin"; }
  [[nodiscard]] std::string data_dir() const { return dir_ + "/data/"; }
  [[nodiscard]] std::string pic_dir() const { return dir_ + "/htdocs/plazetpic/"; }
  [[nodiscard]] std::string ini_file() const { return cgi_dir() + "/plazet.ini"; }
  [[nodiscard]] std::string board_file(long board, const std::string& name) const {
    return data_dir() + std::to_string(board) + "/" + name;
  }

  // Runs the program; `env` holds the CGI variables besides the usual ones.
  [[nodiscard]] std::string run(const Env& env, const std::string& body = "") const;
  [[nodiscard]] std::string get(const std::string& query, const std::string& agent = kAgent) const;
  [[nodiscard]] std::string post_form(const std::string& body) const;
  [[nodiscard]] std::string post(const Multipart& form) const;
  // A GET with `user`'s key (logged in on first use) before `query`.
  [[nodiscard]] std::string as(const std::string& user, const std::string& query);
  [[nodiscard]] std::string key(const std::string& user);

  // USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,USER_DISP_DEF,
  // MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
  void add_user_line(const std::string& line) const;
  void add_user(const std::string& id, int level = 1, int mode = 1, int write_mode = 1,
                const std::string& language = "") const;
  // Logs in and returns the session key from the frame set ("" for none).
  [[nodiscard]] std::string log_in(const std::string& id, const std::string& agent = kAgent) const;
  void setting(const std::string& name, const std::string& value) const;

  // Runs `work` holding the exclusive data lock.
  void with_store(const std::function<void(Store&, const WriteToken&)>& work) const;
  // A new folder at the end of the tree; `change` edits its settings.
  long new_board(const std::string& name, const std::function<void(B_TITLE2&)>& change = {},
                 int kind = B_TITLE::kBoard) const;
  void change_board(long board, const std::function<void(B_TITLE2&)>& change) const;
  // Stores a message with its body and the writer's read mark; its number.
  int post(long board, const Msg& m) const;
  void mark_deleted(long board, int sel_no) const;
  // An attachment record and its file in slot `slot`.
  void attach(long board, int sel_no, int slot, const std::string& name,
              const std::string& data) const;
  [[nodiscard]] std::string slot(long board, int sel_no, int slot) const;
  [[nodiscard]] std::vector<INDEX_DATA> index(long board) const;
  [[nodiscard]] std::vector<std::string> readers(long board, long sel_no) const;

  void write_file(const std::string& path, const std::string& contents) const;
  [[nodiscard]] std::string read_file(const std::string& path) const;
  [[nodiscard]] static bool exists(const std::string& path);

 private:
  std::string dir_;
  std::map<std::string, std::string> keys_;
};

[[nodiscard]] inline bool has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}
// Every capture of `pattern` (its first group) in `page`.
[[nodiscard]] std::vector<std::string> all(const std::string& page, const std::string& pattern);
// The rows of tests/cgi/data/`name`: fields split at "|" and trimmed, "\r"
// and "\n" written out; blank lines and "#" lines skipped.
[[nodiscard]] std::vector<std::vector<std::string>> table(const std::string& name);
// Language text `n` of the shipped Japanese table, read from the file here.
[[nodiscard]] std::string text(int n);
// A golden page of tests/cgi/golden with its placeholders filled in.
[[nodiscard]] std::string golden(const std::string& name, const std::string& key = "",
                                 const std::string& date = "");
// The HTTP header and HEAD every page starts with.
[[nodiscard]] std::string head();
// The refusal page; `before_body` is what a page prints between HEAD and BODY.
[[nodiscard]] std::string refusal(const std::string& before_body = "");
// A hidden field as the pages print it.
[[nodiscard]] std::string hidden(const std::string& name, const std::string& value);

}  // namespace plazet::testing
