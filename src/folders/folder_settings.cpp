#include "folders/folder_settings.h"

#include <unordered_map>
#include <vector>

#include "store/be_codec.h"
#include "store/record_file.h"

namespace plazet {
namespace {

constexpr const char* kFile = "b_title2.mst";

struct SettingsFile {
  std::vector<B_TITLE2> records;
  std::unordered_map<long, std::size_t> first_of;  // folder number -> index
};

RecordFile<BTitle2Codec> settings_file(const Store& store) {
  return RecordFile<BTitle2Codec>(store.path(kFile));
}

std::shared_ptr<const SettingsFile> load(Store& store) {
  auto file = settings_file(store);
  return store.cache().get<SettingsFile>(file.path(), [&] {
    SettingsFile s;
    s.records = file.read_all();
    for (std::size_t i = 0; i < s.records.size(); ++i)
      s.first_of.emplace(s.records[i].FOLDER_NO, i);
    return s;
  });
}

}  // namespace

B_TITLE2 BTitle2Codec::decode(const unsigned char* p) {
  B_TITLE2 r;
  r.FOLDER_NO = load_i32(p);
  r.ADD_MAX = load_i32(p + 4);
  r.READ_LEVEL = load_i32(p + 8);
  r.WRITE_LEVEL = load_i32(p + 12);
  r.READ_CHK = load_i32(p + 16);
  r.REWRITE_FLG = load_i32(p + 20);
  r.TITLEPIC = load_text(p + 24, 252);
  r.BACKPIC = load_text(p + 276, 252);
  r.DIRPIC = load_text(p + 528, 252);
  r.INFO = load_text(p + 780, 4002);
  r.DEFO = load_text(p + 4782, 4002);
  r.FONTCOLOR = load_text(p + 8784, 8);
  r.RESFONTCOLOR = load_text(p + 8792, 8);
  return r;
}

void BTitle2Codec::encode(const B_TITLE2& r, unsigned char* p) {
  store_i32(p, r.FOLDER_NO);
  store_i32(p + 4, r.ADD_MAX);
  store_i32(p + 8, r.READ_LEVEL);
  store_i32(p + 12, r.WRITE_LEVEL);
  store_i32(p + 16, r.READ_CHK);
  store_i32(p + 20, r.REWRITE_FLG);
  store_text(p + 24, 252, r.TITLEPIC);
  store_text(p + 276, 252, r.BACKPIC);
  store_text(p + 528, 252, r.DIRPIC);
  store_text(p + 780, 4002, r.INFO);
  store_text(p + 4782, 4002, r.DEFO);
  store_text(p + 8784, 8, r.FONTCOLOR);
  store_text(p + 8792, 8, r.RESFONTCOLOR);
}

std::optional<B_TITLE2> ReadB_TITLE2(Store& store, long folder_no) {
  const auto held = load(store);
  const SettingsFile& s = *held;
  auto it = s.first_of.find(folder_no);
  if (it == s.first_of.end()) return std::nullopt;
  return s.records[it->second];
}

bool InsertB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record) {
  auto file = settings_file(store);
  bool ok = file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

bool DeleteB_TITLE2(Store& store, const WriteToken& w, long folder_no) {
  auto file = settings_file(store);
  std::vector<B_TITLE2> kept;
  bool removed = false;
  const auto held = load(store);
  for (const B_TITLE2& r : held->records) {
    if (r.FOLDER_NO == folder_no) {
      removed = true;
    } else {
      kept.push_back(r);
    }
  }
  bool ok = file.replace_all(w, file.path() + ".tmp", kept);
  store.cache().invalidate(file.path());
  return ok && removed;
}

bool ReWriteB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record) {
  auto file = settings_file(store);
  std::vector<B_TITLE2> records = load(store)->records;
  bool matched = false;
  for (B_TITLE2& r : records) {
    if (r.FOLDER_NO == record.FOLDER_NO) {
      r = record;
      matched = true;
    }
  }
  bool ok = matched ? file.replace_all(w, file.path() + ".TMP", records) : file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace plazet
