#include "users/session.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/date.h"
#include "text/sjis.h"
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

}  // namespace

bool plain_language_file(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); i += sjis_char_len(name, i)) {
    if (name[i] == '/' || name[i] == '\\') return false;
  }
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".lng") == 0 && file_exists(name);
}

long draw_session_key(Store& store) {
  for (;;) {
    long key = static_cast<long>(random_u32() & 0x7FFFFFFFu);
    if (key != 0 && !skey_in_use(store, key)) return key;
  }
}

std::optional<Login> login_check(Store& store, const WriteToken& w, std::string& uid,
                                 const std::string& upw, const Client& client, bool log) {
  std::optional<MST_USER> user = ReadMST_USER(store, uid);
  if (!user || user->USER_PASS != upw) return std::nullopt;
  if (user->MODE == 2) {
    if (std::optional<long> shared = ReadMST_SKEY2(store, uid)) return Login{*shared, *user};
  }
  long key = draw_session_key(store);
  MST_SKEY record;
  record.SKEY = static_cast<std::int32_t>(key);
  record.USER_ID = uid;
  // The log-in is answered even when the key could not be stored.
  (void)WriteMST_SKEY(store, w, record, client);
  if (log) {
    SYSTEM_LOG entry;
    entry.USER_ID = uid;
    entry.LOG_TIME = set_date();
    entry.LOG_KIND = SYSTEM_LOG::kLogin;
    entry.REMOTE_ADDR = client.REMOTE_ADDR;
    entry.HTTP_USER_AGENT = client.HTTP_USER_AGENT;
    (void)WriteSYSTEM_LOG(store, w, entry);
  }
  return Login{key, *user};
}

std::optional<MST_USER> key_check(Store& store, const std::string& key_text, const Client& client) {
  std::optional<std::string> id = ReadMST_SKEY(store, atol_prefix(key_text), client);
  if (!id) return std::nullopt;
  return ReadMST_USER(store, *id);
}

}  // namespace plazet
