#include "site_setup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <vector>

#include "boards/mark_summary.h"
#include "store/atomic_file.h"
#include "store/file_io.h"
#include "users/user_file.h"

namespace plazet {
namespace {

bool make_dir(const std::string& path, mode_t mode) {
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

bool copy_file(const std::string& from, const std::string& to, mode_t mode) {
  std::optional<std::string> data = read_file(from);
  if (!data) return false;
  std::string temp = to + ".new";
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  bool ok = fd && write_all(fd.get(), *data);
  fd.reset();
  ok = ok && ::chmod(temp.c_str(), mode) == 0 && ::rename(temp.c_str(), to.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    }
    ::closedir(d);
  }
  return names;
}

bool ends_with(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string site_ini_file(const std::string& site_dir) {
  return site_dir + "/cgi-bin/plazet.ini";
}

std::string init_site(const SiteLayout& layout) {
  const std::string site = layout.site_dir;
  const std::string cgi = site + "/cgi-bin";
  const std::string data = site + "/data/";
  const std::string pictures = site + "/htdocs/plazetpic/";
  for (auto [dir, mode] : {std::pair{site, 0755},
                           {cgi, 0755},
                           {site + "/htdocs", 0755},
                           {pictures, 0755},
                           {data, 0700}}) {
    if (!make_dir(dir, static_cast<mode_t>(mode))) return "cannot create " + dir;
  }
  if (!copy_file(layout.program, cgi + "/plazet.cgi", 0755)) {
    return "cannot install the program " + layout.program;
  }
  for (const std::string& name : files_in(layout.share_dir + "/lng")) {
    if (ends_with(name, ".lng") &&
        !copy_file(layout.share_dir + "/lng/" + name, cgi + "/" + name, 0644)) {
      return "cannot copy " + name;
    }
  }
  for (const std::string& name : files_in(layout.share_dir + "/pic")) {
    if (!copy_file(layout.share_dir + "/pic/" + name, pictures + name, 0644)) {
      return "cannot copy " + name;
    }
  }
  SYSINFO sys = SYSINFO::new_file_values();
  sys.CG_FILE_PATH = pictures;
  sys.CG_FILE_WEB_PATH = layout.web_prefix;
  sys.DATA_FILE_PATH = data;
  sys.ADD_FILE_PATH = pictures;
  sys.ADD_FILE_WEB_PATH = layout.web_prefix;
  const std::string ini = site_ini_file(site);
  if (!file_exists(ini) && !create_file_exclusive(ini, format_settings(sys), 0644)) {
    return "cannot write " + ini;
  }
  return "";
}

SiteSession::SiteSession(const std::string& site_dir)
    : sys(read_settings(site_ini_file(site_dir))),
      lock(DataLock::acquire(sys.DATA_FILE_PATH, LockMode::kExclusive)),
      store(sys.DATA_FILE_PATH) {}

SiteSession::~SiteSession() {
  if (lock.held()) keep_mark_summaries(store, lock.write_token());
}

std::string add_user(Store& store, const WriteToken& w, const MST_USER& user) {
  if (user.USER_ID.empty()) return "the ID is empty";
  if (user.USER_NAME.empty()) return "the name is empty";
  if (user.USER_ID.find_first_of(", ") != std::string::npos) return "the ID holds a comma or blank";
  if (user.USER_NAME.find(',') != std::string::npos) return "the name holds a comma";
  if (user.USER_PASS.find_first_of(", ") != std::string::npos) {
    return "the password holds a comma or blank";
  }
  if (user.E_MAIL_ADDR.find_first_of(", ") != std::string::npos) {
    return "the mail address holds a comma or blank";
  }
  if (user.USER_ID.find_first_of("\n\r") != std::string::npos ||
      user.USER_NAME.find_first_of("\n\r") != std::string::npos ||
      user.USER_PASS.find_first_of("\n\r") != std::string::npos) {
    return "a field holds a line break";
  }
  std::string id = user.USER_ID;
  if (ReadMST_USER(store, id)) return "the ID " + id + " exists already";
  if (!InsertMST_USER(store, w, user)) return "cannot write " + store.path("user.mst");
  return "";
}

}  // namespace plazet
