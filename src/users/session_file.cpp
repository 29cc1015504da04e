#include "users/session_file.h"

#include <vector>

#include "store/be_codec.h"
#include "store/record_file.h"
#include "users/user_file.h"

namespace plazet {
namespace {

constexpr const char* kFile = "skey.mst";

RecordFile<MstSkeyCodec> session_file(const Store& store) {
  return RecordFile<MstSkeyCodec>(store.path(kFile));
}

std::shared_ptr<const std::vector<MST_SKEY>> load(Store& store) {
  auto file = session_file(store);
  return store.cache().get<std::vector<MST_SKEY>>(file.path(), [&] { return file.read_all(); });
}

}  // namespace

MST_SKEY MstSkeyCodec::decode(const unsigned char* p) {
  return MST_SKEY{load_i32(p), load_text(p + 4, 22), load_text(p + 26, 252),
                  load_text(p + 278, 252)};
}

void MstSkeyCodec::encode(const MST_SKEY& r, unsigned char* p) {
  store_i32(p, r.SKEY);
  store_text(p + 4, 22, r.USER_ID);
  store_text(p + 26, 252, r.REMOTE_ADDR);
  store_text(p + 278, 252, r.HTTP_USER_AGENT);
  p[530] = p[531] = 0;
}

std::optional<std::string> ReadMST_SKEY(Store& store, long key, const Client& client) {
  for (const MST_SKEY& record : *load(store)) {
    if (record.SKEY != key) continue;
    std::string id = record.USER_ID;
    std::optional<MST_USER> user = ReadMST_USER(store, id);
    if (!user) return std::nullopt;
    if (user->MODE == 1 &&
        record.HTTP_USER_AGENT != client.HTTP_USER_AGENT.substr(0, MST_SKEY::kClientBytes)) {
      return std::nullopt;
    }
    return record.USER_ID;
  }
  return std::nullopt;
}

std::optional<long> ReadMST_SKEY2(Store& store, std::string_view id) {
  for (const MST_SKEY& record : *load(store)) {
    if (record.USER_ID == id) return record.SKEY;
  }
  return std::nullopt;
}

bool skey_in_use(Store& store, long key) {
  for (const MST_SKEY& record : *load(store)) {
    if (record.SKEY == key) return true;
  }
  return false;
}

bool WriteMST_SKEY(Store& store, const WriteToken& w, MST_SKEY record, const Client& client) {
  record.REMOTE_ADDR = client.REMOTE_ADDR.substr(0, MST_SKEY::kClientBytes);
  record.HTTP_USER_AGENT = client.HTTP_USER_AGENT.substr(0, MST_SKEY::kClientBytes);
  auto file = session_file(store);
  const auto records = load(store);
  const std::string id = fit_field(record.USER_ID, 22);
  std::size_t i = 0;
  while (i < records->size() && (*records)[i].USER_ID != id) ++i;
  bool ok = i < records->size() ? file.overwrite(w, i, record) : file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

bool DeleteMST_SKEY(Store& store, const WriteToken& w, std::string_view id) {
  auto file = session_file(store);
  bool ok = file.rewrite_keeping(w, file.path() + ".TMP",
                                 [&](const MST_SKEY& r) { return r.USER_ID != id; });
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace plazet
