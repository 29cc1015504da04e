#include "users/session.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "frame/frame_pages.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/sjis.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

std::uint32_t random_u32() {
  std::uint32_t value = 0;
  auto* p = reinterpret_cast<unsigned char*>(&value);
  std::size_t got = 0;
  while (got < sizeof value) {
    ssize_t n = ::getrandom(p + got, sizeof value - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random source for session keys");
    }
    got += static_cast<std::size_t>(n);
  }
  return value;
}

// A user's language file must be a plain ".lng" file of the working
// directory; any other name falls back to the default table, so no other
// file can be read through the user record.
bool plain_language_file(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); i += sjis_char_len(name, i)) {
    if (name[i] == '/' || name[i] == '\\') return false;
  }
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".lng") == 0 && file_exists(name);
}

}  // namespace

long draw_session_key(Request& req) {
  for (;;) {
    long key = static_cast<long>(random_u32() & 0x7FFFFFFFu);
    if (key != 0 && !skey_in_use(req, key)) return key;
  }
}

std::optional<long> G_LoginChk(Request& req, std::string& uid, const std::string& upw) {
  std::optional<MST_USER> user = ReadMST_USER(req, uid);
  if (!user || user->USER_PASS != upw) return std::nullopt;
  req.user = user;
  if (user->MODE == 2) {
    if (std::optional<long> shared = ReadMST_SKEY2(req, uid)) return shared;
  }
  long key = draw_session_key(req);
  MST_SKEY record;
  record.SKEY = static_cast<std::int32_t>(key);
  record.USER_ID = uid;
  WriteMST_SKEY(req, record);
  if (logging_on(req)) {
    SYSTEM_LOG entry;
    entry.USER_ID = uid;
    entry.LOG_TIME = set_date();
    entry.LOG_KIND = SYSTEM_LOG::kLogin;
    entry.REMOTE_ADDR = req.env.REMOTE_ADDR;
    entry.HTTP_USER_AGENT = req.env.HTTP_USER_AGENT;
    (void)WriteSYSTEM_LOG(req, entry);
  }
  return key;
}

bool G_SkeyChk(Request& req, const std::string& key_text) {
  std::optional<std::string> id = ReadMST_SKEY(req, atol_prefix(key_text));
  if (!id) return false;
  std::optional<MST_USER> user = ReadMST_USER(req, *id);
  if (!user) return false;
  if (!user->LANGUAGE.empty() && user->LANGUAGE != req.sys.LANGUAGE &&
      plain_language_file(user->LANGUAGE)) {
    req.lang.StrdefFileOpen(user->LANGUAGE);
  }
  req.user = user;
  return true;
}

void j_TOP(Request& req) {
  header_printf(req);
  req.out.printf("<FRAMESET COLS=\"%d%%,*\" >\n", req.sys.FRAME_DIVIDE);
  req.out.printf("\t<FRAME SRC = \"%s?SKEY=%s&JOB=FRM21\" NAME=\"FRM21\">\n",
                 html_attr(req.JOB_EXE).c_str(), url_query(req.SKEY).c_str());
  const std::string pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  if (req.user && req.user->MODE == 1) {
    req.out.printf("\t<FRAME SRC = \"%sinfo.html\" NAME=\"FRM22\">\n", pictures.c_str());
  } else {
    req.out.printf("\t<FRAME SRC = \"%sginfo.html\" NAME=\"FRM22\">\n", pictures.c_str());
  }
  req.out.printf("</FRAMESET>\n");
  req.out.printf("</HTML>\n");
}

void LOGOFF(Request& req) {
  if (!req.user || req.user->MODE != 1 || req.SKEY.empty()) return;
  if (std::optional<std::string> id = ReadMST_SKEY(req, atol_prefix(req.SKEY))) {
    (void)DeleteMST_SKEY(req, *id);
  }
  if (req.sys.LOGOFF_URL.empty()) {
    j_login(req);
  } else {
    j_LOGOFF(req);
  }
}

void j_LOGOFF(Request& req) {
  header_printf(req);
  req.out.printf("<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=%s\">",
                 html_attr(req.sys.LOGOFF_URL).c_str());
  req.out.printf("</HTML>\n");
}

}  // namespace plazet
