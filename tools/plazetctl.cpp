// plazetctl: command-line setup of a site, through the same functions the
// administration pages use.
//   plazetctl init SITE_DIR [--program PATH] [--share DIR] [--web-prefix URL]
//   plazetctl adduser --site SITE_DIR [--admin] [--shared] [--name NAME]
//                     [--password PW] [--level N] [--group N] ID
//     (without --password the password is the first line of standard input)
//   plazetctl mkfolder --site SITE_DIR --kind dir|board|chat
//                      [--after DISPNO | --in DISPNO] NAME
//   plazetctl mkgroup --site SITE_DIR [--member ID]... NUMBER NAME
//   plazetctl grant --site SITE_DIR --folder N (--user ID | --group N) --right R
//   plazetctl levels --site SITE_DIR --folder N --read L --write L
//   plazetctl seed --site SITE_DIR   (a small demo tree of directories,
//                                     boards and a chat room)
//   plazetctl seed --site SITE_DIR --boards N --messages M [--writer ID]
//                                    (N generated boards of M messages each)
//   plazetctl seed --site SITE_DIR --content [--admin ID] [--user ID]
//                                    (threads, a club board with its group
//                                     and an ID application in the demo tree)
//   plazetctl check (--site SITE_DIR | --ini FILE)
//                                    (reads every data file and reports what
//                                     is damaged; exit status 0 when nothing is)
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "demo_seed.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/settings.h"
#include "site_check.h"
#include "site_setup.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "users/group_files.h"
#include "users/system_log.h"

namespace {

constexpr const char* kUsage =
    "usage: plazetctl init SITE_DIR [--program PATH] [--share DIR] [--web-prefix URL]\n"
    "       plazetctl adduser --site SITE_DIR [--admin] [--shared] [--name NAME]\n"
    "                         [--password PW] [--level N] [--group N] ID\n"
    "       plazetctl mkfolder --site SITE_DIR --kind dir|board|chat [--after N | --in N] NAME\n"
    "       plazetctl mkgroup --site SITE_DIR [--member ID]... NUMBER NAME\n"
    "       plazetctl grant --site SITE_DIR --folder N (--user ID | --group N) --right R\n"
    "       plazetctl levels --site SITE_DIR --folder N --read L --write L\n"
    "       plazetctl seed --site SITE_DIR [--boards N --messages M [--writer ID]]\n"
    "       plazetctl seed --site SITE_DIR --content [--admin ID] [--user ID]\n"
    "       plazetctl check (--site SITE_DIR | --ini FILE)\n";

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
    } else if (a == "--group" && has_value) {
      user.P_GROUP = plazet::atol_prefix(args[++i]);
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
  plazet::SiteSession site_session(site);
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  std::string error = plazet::add_user(store, w, user);
  if (!error.empty()) return fail(error);
  std::cout << "added " << user.USER_ID << (user.USER_LEVEL > 99 ? " (administrator)" : "") << "\n";
  return 0;
}

// Options of the folder and group commands: "--name value" pairs and
// flags, then the positional words.
struct Options {
  std::map<std::string, std::vector<std::string>> values;
  std::vector<std::string> words;

  [[nodiscard]] std::string get(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() || it->second.empty() ? std::string() : it->second.back();
  }
  [[nodiscard]] bool has(const std::string& key) const { return values.count(key) != 0; }
};

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--content") {
      o.values[args[i]];  // a flag
    } else if (args[i].rfind("--", 0) == 0 && i + 1 < args.size()) {
      o.values[args[i]].push_back(args[i + 1]);
      ++i;
    } else {
      o.words.push_back(args[i]);
    }
  }
  return o;
}

int kind_number(const std::string& kind) {
  if (kind == "dir") return plazet::B_TITLE::kDir;
  if (kind == "board") return plazet::B_TITLE::kBoard;
  if (kind == "chat") return plazet::B_TITLE::kChat;
  return 0;
}

int cmd_mkfolder(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  int kind = kind_number(o.get("--kind"));
  if (!o.has("--site") || o.words.size() != 1 || kind == 0) return fail(kUsage);
  if (o.words[0].find(',') != std::string::npos) return fail("the name holds a comma");
  int dispno =
      static_cast<int>(plazet::atol_prefix(o.has("--in") ? o.get("--in") : o.get("--after")));
  auto placement = o.has("--in") ? plazet::Placement::kInside : plazet::Placement::kAfter;
  plazet::SiteSession site_session(absolute(o.get("--site")));
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  long number = 0;
  int result = plazet::create_folder(store, w, dispno, placement, kind, o.words[0], &number);
  if (result == plazet::kFolderNameEmpty) return fail("the name is empty");
  if (result == plazet::kFolderNotInDir) return fail("folders go only inside a Dir");
  if (result != plazet::kFolderCreated) return fail("cannot write the folder files");
  std::cout << number << "\n";
  return 0;
}

int cmd_mkgroup(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  if (!o.has("--site") || o.words.size() != 2) return fail(kUsage);
  plazet::MST_GROUP group{plazet::atol_prefix(o.words[0]), o.words[1]};
  if (group.T02_GROUP_ID < 1) return fail("group numbers start at 1");
  if (group.T02_GROUP_NAME.empty() || group.T02_GROUP_NAME.find(',') != std::string::npos) {
    return fail("the group name is empty or holds a comma");
  }
  plazet::SiteSession site_session(absolute(o.get("--site")));
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  if (!plazet::ReWriteMST_GROUP(store, w, group)) return fail("cannot write group.mst");
  if (o.has("--member")) {
    for (const std::string& id : o.values["--member"]) {
      if (!plazet::WriteGROUP_USER(store, w, {group.T02_GROUP_ID, id})) {
        return fail("cannot write g_user.mst");
      }
    }
    if (!plazet::SortGROUP_USER(store, w)) return fail("cannot write g_user.mst");
  }
  return 0;
}

int cmd_grant(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  long folder = plazet::atol_prefix(o.get("--folder"));
  long right = plazet::atol_prefix(o.get("--right"));
  if (!o.has("--site") || folder < 1 || right < 1 || right > 3 ||
      o.has("--user") == o.has("--group")) {
    return fail(kUsage);
  }
  plazet::SiteSession site_session(absolute(o.get("--site")));
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  if (o.has("--user")) {
    (void)plazet::WriteB_U_ACL(
        store, w,
        {static_cast<std::int32_t>(folder), o.get("--user"), static_cast<std::int32_t>(right)});
  } else {
    if (right > 2) return fail("a group gives at most right 2");
    (void)plazet::WriteB_G_ACL(store, w,
                               {static_cast<std::int32_t>(folder),
                                static_cast<std::int32_t>(plazet::atol_prefix(o.get("--group"))),
                                static_cast<std::int32_t>(right)});
  }
  return 0;
}

int cmd_levels(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  long folder = plazet::atol_prefix(o.get("--folder"));
  if (!o.has("--site") || folder < 1 || !o.has("--read") || !o.has("--write")) return fail(kUsage);
  plazet::SiteSession site_session(absolute(o.get("--site")));
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  plazet::B_TITLE2 settings = plazet::ReadB_TITLE2(store, folder).value_or(plazet::B_TITLE2{});
  settings.FOLDER_NO = static_cast<std::int32_t>(folder);
  settings.READ_LEVEL = static_cast<std::int32_t>(plazet::atol_prefix(o.get("--read")));
  settings.WRITE_LEVEL = static_cast<std::int32_t>(plazet::atol_prefix(o.get("--write")));
  if (settings.READ_CHK < 1) settings.READ_CHK = 1;
  if (settings.REWRITE_FLG < 1) settings.REWRITE_FLG = 1;
  return plazet::ReWriteB_TITLE2(store, w, settings) ? 0 : fail("cannot write b_title2.mst");
}

int cmd_seed(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  if (!o.has("--site")) return fail(kUsage);
  plazet::SiteSession site_session(absolute(o.get("--site")));
  plazet::Store& store = site_session.store;
  const plazet::WriteToken& w = site_session.w();
  std::string error;
  if (o.has("--boards")) {
    plazet::BulkSeed seed;
    seed.boards = static_cast<int>(plazet::atol_prefix(o.get("--boards")));
    seed.messages = static_cast<int>(plazet::atol_prefix(o.get("--messages")));
    if (o.has("--writer")) seed.writer = o.get("--writer");
    if (seed.boards < 1 || seed.messages < 0) return fail(kUsage);
    error = plazet::seed_bulk(store, w, seed);
  } else if (o.has("--content")) {
    plazet::DemoContent content;
    if (o.has("--admin")) content.admin = o.get("--admin");
    if (o.has("--user")) content.user = o.get("--user");
    content.ADD_FILE_PATH = site_session.sys.ADD_FILE_PATH;
    content.upload_dir = plazet::site_ini_file(absolute(o.get("--site")));
    content.upload_dir.erase(content.upload_dir.rfind('/'));
    content.log = plazet::logging_on(site_session.sys.LOG_DATE);
    error = plazet::seed_demo_content(store, w, content);
  } else {
    if (!plazet::folder_tree(store)->empty()) return fail("the site has folders already");
    error = plazet::seed_demo_tree(store, w);
  }
  if (!error.empty()) return fail(error);
  std::cout << plazet::folder_tree(store)->size() << " folders\n";
  return 0;
}

// The settings file of the site to check: SITE_DIR's, or one given as
// it stands (an installation laid out by hand).
int cmd_check(const std::vector<std::string>& args) {
  Options o = parse_options(args);
  if (o.has("--site") == o.has("--ini") || !o.words.empty()) return fail(kUsage);
  const std::string ini =
      o.has("--ini") ? absolute(o.get("--ini")) : plazet::site_ini_file(absolute(o.get("--site")));
  // Reading a missing settings file would write one.
  if (!plazet::file_exists(ini)) return fail("no settings file " + ini);
  const plazet::SYSINFO sys = plazet::read_settings(ini);
  const std::string program_dir = ini.substr(0, ini.rfind('/') + 1);
  // Relative paths are taken from the program's working directory.
  auto place = [&](const std::string& path) {
    return path.empty() || path[0] == '/' ? path : program_dir + path;
  };
  plazet::SitePlaces places{place(sys.DATA_FILE_PATH), place(sys.ADD_FILE_PATH), program_dir};
  const std::vector<plazet::Finding> findings = plazet::check_site(places, std::time(nullptr));
  for (const plazet::Finding& f : findings) std::cout << plazet::format_finding(f) << "\n";
  if (findings.empty()) {
    std::cout << "no problems found in " << places.data_dir << "\n";
    return 0;
  }
  std::cout << findings.size() << (findings.size() == 1 ? " problem\n" : " problems\n");
  return 1;
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
    if (command == "mkfolder") return cmd_mkfolder(args);
    if (command == "mkgroup") return cmd_mkgroup(args);
    if (command == "grant") return cmd_grant(args);
    if (command == "levels") return cmd_levels(args);
    if (command == "seed") return cmd_seed(args);
    if (command == "check") return cmd_check(args);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return fail(kUsage);
}
