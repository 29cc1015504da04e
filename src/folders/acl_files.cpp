#include "folders/acl_files.h"

#include <unordered_map>

#include "store/be_codec.h"
#include "store/record_file.h"

namespace plazet {
namespace {

template <class Record>
struct AclFile {
  std::vector<Record> records;
  std::unordered_map<long, std::vector<Record>> by_folder;
};

template <class Codec>
RecordFile<Codec> acl_file(const Store& store, const char* name) {
  return RecordFile<Codec>(store.path(name));
}

template <class Codec>
std::shared_ptr<const AclFile<typename Codec::Record>> load(Store& store, const char* name) {
  using Record = typename Codec::Record;
  auto file = acl_file<Codec>(store, name);
  return store.cache().get<AclFile<Record>>(file.path(), [&] {
    AclFile<Record> acl;
    acl.records = file.read_all();
    for (const Record& r : acl.records) acl.by_folder[r.FOLDER_NO].push_back(r);
    return acl;
  });
}

template <class Codec, class Same>
bool write_entry(Store& store, const WriteToken& w, const char* name,
                 const typename Codec::Record& entry, Same same) {
  auto file = acl_file<Codec>(store, name);
  const auto file_held = load<Codec>(store, name);
  const auto& records = file_held->records;
  std::size_t i = 0;
  while (i < records.size() && !same(records[i])) ++i;
  bool overwritten = i < records.size();
  bool ok = overwritten ? file.overwrite(w, i, entry) : file.append(w, entry);
  store.cache().invalidate(file.path());
  return ok && overwritten;
}

struct Deletion {
  bool written = false;
  bool removed = false;
};

template <class Codec, class Drop>
Deletion delete_entries(Store& store, const WriteToken& w, const char* name, Drop drop) {
  auto file = acl_file<Codec>(store, name);
  std::vector<typename Codec::Record> kept;
  bool removed = false;
  const auto held = load<Codec>(store, name);
  for (const auto& r : held->records) {
    if (drop(r)) {
      removed = true;
    } else {
      kept.push_back(r);
    }
  }
  bool ok = file.replace_all(w, file.path() + ".tmp", kept);
  store.cache().invalidate(file.path());
  return {ok, removed};
}

constexpr const char* kGroupFile = "b_g_acl.mst";
constexpr const char* kUserFile = "b_u_acl.mst";

template <class Record>
const std::vector<Record>& entries_of(const AclFile<Record>& acl, long folder_no) {
  static const std::vector<Record> kNone;
  auto it = acl.by_folder.find(folder_no);
  return it == acl.by_folder.end() ? kNone : it->second;
}

}  // namespace

B_G_ACL BGAclCodec::decode(const unsigned char* p) {
  return B_G_ACL{load_i32(p), load_i32(p + 4), load_i32(p + 8)};
}

void BGAclCodec::encode(const B_G_ACL& r, unsigned char* p) {
  store_i32(p, r.FOLDER_NO);
  store_i32(p + 4, r.GROUP_NO);
  store_i32(p + 8, r.ACL_MODE);
}

B_U_ACL BUAclCodec::decode(const unsigned char* p) {
  return B_U_ACL{load_i32(p), load_text(p + 4, B_U_ACL::kIdWidth), load_i32(p + 28)};
}

void BUAclCodec::encode(const B_U_ACL& r, unsigned char* p) {
  store_i32(p, r.FOLDER_NO);
  store_text(p + 4, B_U_ACL::kIdWidth, r.USER_ID);
  store_i32(p + 28, r.ACL_MODE);
}

std::vector<B_G_ACL> group_entries(Store& store, long folder_no) {
  return entries_of(*load<BGAclCodec>(store, kGroupFile), folder_no);
}

std::vector<B_U_ACL> user_entries(Store& store, long folder_no) {
  return entries_of(*load<BUAclCodec>(store, kUserFile), folder_no);
}

std::optional<B_G_ACL> ReadB_G_ACL(Store& store, long folder_no, std::size_t n) {
  const auto entries = group_entries(store, folder_no);
  if (n >= entries.size()) return std::nullopt;
  return entries[n];
}

std::optional<B_U_ACL> ReadB_U_ACL(Store& store, long folder_no, std::size_t n) {
  const auto entries = user_entries(store, folder_no);
  if (n >= entries.size()) return std::nullopt;
  return entries[n];
}

bool WriteB_G_ACL(Store& store, const WriteToken& w, const B_G_ACL& entry) {
  return write_entry<BGAclCodec>(store, w, kGroupFile, entry, [&](const B_G_ACL& r) {
    return r.FOLDER_NO == entry.FOLDER_NO && r.GROUP_NO == entry.GROUP_NO;
  });
}

bool WriteB_U_ACL(Store& store, const WriteToken& w, const B_U_ACL& entry) {
  const std::string id = fit_field(entry.USER_ID, B_U_ACL::kIdWidth);
  return write_entry<BUAclCodec>(store, w, kUserFile, entry, [&](const B_U_ACL& r) {
    return r.FOLDER_NO == entry.FOLDER_NO && r.USER_ID == id;
  });
}

bool DeleteB_G_ACL(Store& store, const WriteToken& w, long folder_no, long group_no) {
  const Deletion d = delete_entries<BGAclCodec>(store, w, kGroupFile, [&](const B_G_ACL& r) {
    return r.GROUP_NO == group_no && (folder_no == 0 || r.FOLDER_NO == folder_no);
  });
  return d.written && d.removed;
}

bool DeleteB_U_ACL(Store& store, const WriteToken& w, long folder_no, std::string_view user_id) {
  const Deletion d = delete_entries<BUAclCodec>(store, w, kUserFile, [&](const B_U_ACL& r) {
    return r.FOLDER_NO == folder_no && r.USER_ID == user_id;
  });
  return d.written && d.removed;
}

bool drop_group_rights(Store& store, const WriteToken& w, long group_no) {
  return delete_entries<BGAclCodec>(store, w, kGroupFile,
                                    [&](const B_G_ACL& r) { return r.GROUP_NO == group_no; })
      .written;
}

bool drop_user_rights(Store& store, const WriteToken& w, std::string_view user_id) {
  const std::string id = fit_field(user_id, B_U_ACL::kIdWidth);
  return delete_entries<BUAclCodec>(store, w, kUserFile,
                                    [&](const B_U_ACL& r) { return r.USER_ID == id; })
      .written;
}

}  // namespace plazet
