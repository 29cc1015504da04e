// plazetctl: command-line setup of a site.
//   plazetctl init SITE_DIR [--program PATH] [--share DIR] [--web-prefix URL]
//   plazetctl adduser --site SITE_DIR [--admin] [--shared] [--name NAME]
//                     [--password PW] [--level N] ID
//     (without --password the password is the first line of standard input)
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "admin/site_setup.h"
#include "store/line_reader.h"

namespace {

constexpr const char* kUsage =
    "usage: plazetctl init SITE_DIR [--program PATH] [--share DIR] [--web-prefix URL]\n"
    "       plazetctl adduser --site SITE_DIR [--admin] [--shared] [--name NAME]\n"
    "                         [--password PW] [--level N] ID\n";

std::string absolute(const std::string& path) {
  char buf[PATH_MAX];
  if (!path.empty() && path[0] == '/') return path;
  if (!::getcwd(buf, sizeof buf)) return path;
  return std::string(buf) + "/" + path;
}

std::string program_dir() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

int fail(const std::string& message) {
  std::cerr << "plazetctl: " << message << "\n";
  return 1;
}

int cmd_init(const std::vector<std::string>& args) {
  plazet::SiteLayout layout;
  layout.program = program_dir() + "/plazet.cgi";
  layout.share_dir = PLAZET_SHARE_DIR;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool has_value = i + 1 < args.size();
    if (a == "--program" && has_value) {
      layout.program = args[++i];
    } else if (a == "--share" && has_value) {
      layout.share_dir = args[++i];
    } else if (a == "--web-prefix" && has_value) {
      layout.web_prefix = args[++i];
    } else if (layout.site_dir.empty() && a[0] != '-') {
      layout.site_dir = absolute(a);
    } else {
      return fail(kUsage);
    }
  }
  if (layout.site_dir.empty()) return fail(kUsage);
  std::string error = plazet::init_site(layout);
  if (!error.empty()) return fail(error);
  std::cout << "site laid out in " << layout.site_dir << "\n";
  return 0;
}

int cmd_adduser(const std::vector<std::string>& args) {
  std::string site;
  plazet::MST_USER user;
  user.USER_LEVEL = 1;
  user.MODE = 1;
  user.USER_DISP_DEF = 1;
  user.WRITE_MODE = 1;
  bool have_password = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool has_value = i + 1 < args.size();
    if (a == "--site" && has_value) {
      site = absolute(args[++i]);
    } else if (a == "--admin") {
      user.USER_LEVEL = 100;
    } else if (a == "--shared") {
      user.MODE = 2;
    } else if (a == "--name" && has_value) {
      user.USER_NAME = args[++i];
    } else if (a == "--password" && has_value) {
      user.USER_PASS = args[++i];
      have_password = true;
    } else if (a == "--level" && has_value) {
      user.USER_LEVEL = plazet::atol_prefix(args[++i]);
    } else if (user.USER_ID.empty() && a[0] != '-') {
      user.USER_ID = a;
    } else {
      return fail(kUsage);
    }
  }
  if (site.empty() || user.USER_ID.empty()) return fail(kUsage);
  if (!have_password && !std::getline(std::cin, user.USER_PASS)) {
    return fail("no password on standard input");
  }
  if (user.USER_NAME.empty()) user.USER_NAME = user.USER_ID;
  if (user.USER_ID.size() > 20 || user.USER_PASS.size() > 20 || user.USER_NAME.size() > 80) {
    return fail("ID and password take at most 20 bytes, the name 80");
  }
  plazet::Request req = plazet::open_site_for_writing(site);
  std::string error = plazet::add_user(req, user);
  if (!error.empty()) return fail(error);
  std::cout << "added " << user.USER_ID << (user.USER_LEVEL > 99 ? " (administrator)" : "") << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return fail(kUsage);
  std::string command = args.front();
  args.erase(args.begin());
  try {
    if (command == "init") return cmd_init(args);
    if (command == "adduser") return cmd_adduser(args);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return fail(kUsage);
}
