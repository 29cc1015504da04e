#include "users/guest_user.h"

#include <algorithm>

#include "store/be_codec.h"
#include "store/record_file.h"
#include "text/sjis.h"
#include "users/mst_user.h"
#include "users/user_file.h"

namespace plazet {
namespace {

RecordFile<GuestUserCodec> guest_file(const Store& store) {
  return RecordFile<GuestUserCodec>(guest_user_path(store));
}

constexpr std::size_t kIdWidth = 22;
constexpr std::size_t kMessageWidth = 252;

bool replace_all(Store& store, const WriteToken& w, const std::vector<GUEST_USER>& records) {
  auto file = guest_file(store);
  bool ok = file.replace_all(w, file.path() + ".tmp", records);
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace

GUEST_USER GuestUserCodec::decode(const unsigned char* p) {
  GUEST_USER r;
  r.USER_ID = load_text(p, 22);
  r.USER_NAME = load_text(p + 22, 82);
  r.E_MAIL_ADDR = load_text(p + 104, 252);
  r.USER_PASS = load_text(p + 356, 22);
  r.APPLY_DATE = load_text(p + 378, 20);
  r.REMOTE_ADDR = load_text(p + 398, 252);
  r.HTTP_USER_AGENT = load_text(p + 650, 252);
  r.MESSAGE = load_text(p + 902, 252);
  r.OK_NG = load_i32(p + 1156);
  return r;
}

void GuestUserCodec::encode(const GUEST_USER& r, unsigned char* p) {
  store_text(p, 22, r.USER_ID);
  store_text(p + 22, 82, r.USER_NAME);
  store_text(p + 104, 252, r.E_MAIL_ADDR);
  store_text(p + 356, 22, r.USER_PASS);
  store_text(p + 378, 20, r.APPLY_DATE);
  store_text(p + 398, 252, r.REMOTE_ADDR);
  store_text(p + 650, 252, r.HTTP_USER_AGENT);
  store_text(p + 902, 252, r.MESSAGE);
  p[1154] = p[1155] = 0;
  store_i32(p + 1156, r.OK_NG);
}

std::string guest_user_path(const Store& store) {
  return store.path("g_user.dat");
}

std::vector<GUEST_USER> ReadGUEST_USERall(Store& store) {
  auto file = guest_file(store);
  return *store.cache().get<std::vector<GUEST_USER>>(file.path(), [&] { return file.read_all(); });
}

bool may_apply(Store& store, std::string_view id) {
  const std::string key = fit_field(id, kIdWidth);
  for (const GUEST_USER& old : ReadGUEST_USERall(store)) {
    if (old.USER_ID == key && old.OK_NG != GUEST_USER::kRefused) return false;
  }
  return true;
}

bool WriteGUEST_USER(Store& store, const WriteToken& w, const GUEST_USER& record) {
  if (!may_apply(store, record.USER_ID)) return false;
  auto file = guest_file(store);
  bool ok = file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

bool prune_applications(Store& store, const WriteToken& w, std::string_view cutoff) {
  const std::vector<GUEST_USER> all = ReadGUEST_USERall(store);
  std::vector<GUEST_USER> kept;
  bool newer = false;
  for (const GUEST_USER& r : all) {
    if (!newer && std::string_view(r.APPLY_DATE).substr(0, 10) > cutoff.substr(0, 10)) {
      newer = true;
    }
    if (newer || r.OK_NG == GUEST_USER::kPending) kept.push_back(r);
  }
  if (kept.size() == all.size()) return true;
  return replace_all(store, w, kept);
}

Decision decide_application(Store& store, const WriteToken& w, std::string_view id,
                            std::int32_t state, const std::optional<std::string>& message,
                            const std::string& language) {
  std::vector<GUEST_USER> all = ReadGUEST_USERall(store);
  const std::string key = fit_field(id, kIdWidth);
  auto pending = std::find_if(all.begin(), all.end(), [&](const GUEST_USER& r) {
    return r.USER_ID == key && r.OK_NG == GUEST_USER::kPending;
  });
  if (key.empty() || pending == all.end()) return Decision::kNoPending;
  std::string probe = pending->USER_ID;
  if (ReadMST_USER(store, probe)) {
    pending->OK_NG = GUEST_USER::kRefused;
    return replace_all(store, w, all) ? Decision::kIdTaken : Decision::kNotStored;
  }
  pending->OK_NG = state;
  if (message) pending->MESSAGE = fit_field(*message, kMessageWidth);
  if (state == GUEST_USER::kAccepted) {
    // The account comes first: should the answer not be stored after it,
    // the application is refused the next time as its ID is taken.
    MST_USER user;
    user.USER_ID = pending->USER_ID;
    user.USER_NAME = pending->USER_NAME;
    user.E_MAIL_ADDR = pending->E_MAIL_ADDR;
    user.USER_PASS = pending->USER_PASS;
    user.USER_LEVEL = 10;
    user.P_GROUP = 0;
    user.USER_DISP_DEF = 1;
    user.MODE = 1;
    user.WRITE_MODE = 1;
    user.LANGUAGE = language;
    user.NO_READ_MODE = 0;
    if (!InsertMST_USER(store, w, user)) return Decision::kNotStored;
  }
  return replace_all(store, w, all) ? Decision::kDecided : Decision::kNotStored;
}

}  // namespace plazet
