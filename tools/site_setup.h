// Laying out a new installation and adding users from the command line: the
// first administrator of a site cannot be added through a page, since every
// page that adds users needs a logged-in administrator.
#pragma once

#include <string>

#include "frame/settings.h"
#include "store/data_lock.h"
#include "store/store.h"
#include "users/mst_user.h"

namespace plazet {

struct SiteLayout {
  std::string site_dir;   // absolute
  std::string program;    // plazet.cgi to install
  std::string share_dir;  // language files and pictures
  std::string web_prefix = "/plazetpic/";
};

// Creates <site>/cgi-bin (program, settings file, language files),
// <site>/data and <site>/htdocs/plazetpic (pictures, attachments). An
// existing settings file and existing data are kept. Returns an error text,
// or "" on success.
[[nodiscard]] std::string init_site(const SiteLayout& layout);

// The settings file of a site laid out by init_site.
[[nodiscard]] std::string site_ini_file(const std::string& site_dir);

// Command-line work on a site: its settings, the exclusive data lock held
// while it lives, and the store on its data directory. Its end is the end of
// a request: the boards' read-mark summaries are written.
struct SiteSession {
  explicit SiteSession(const std::string& site_dir);
  ~SiteSession();
  SiteSession(const SiteSession&) = delete;
  SiteSession& operator=(const SiteSession&) = delete;
  [[nodiscard]] const WriteToken& w() const { return lock.write_token(); }

  SYSINFO sys;
  DataLock lock;
  Store store;
};

// Adds `user` unless its ID is taken (letter case ignored) or a field holds
// a character the file format cannot store. Returns an error text or "".
[[nodiscard]] std::string add_user(Store& store, const WriteToken& w, const MST_USER& user);

}  // namespace plazet
