#include "users/guest_user.h"

#include "store/be_codec.h"
#include "store/record_file.h"

namespace plazet {
namespace {

RecordFile<GuestUserCodec> guest_file(const Store& store) {
  return RecordFile<GuestUserCodec>(guest_user_path(store));
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

bool WriteGUEST_USER(Store& store, const WriteToken& w, const GUEST_USER& record) {
  auto file = guest_file(store);
  for (const GUEST_USER& old : ReadGUEST_USERall(store)) {
    if (old.USER_ID == record.USER_ID) return false;
  }
  bool ok = file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace plazet
