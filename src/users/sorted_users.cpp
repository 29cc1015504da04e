#include "users/sorted_users.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/sjis.h"
#include "users/user_file.h"

namespace plazet {
namespace {

constexpr std::size_t kLineBytes = 999;
// A key slot holds an ID of at most 21 bytes.
constexpr std::size_t kSlotIdBytes = 21;
constexpr mode_t kTextMode = 0666;

enum class Key { kId, kLevel, kGroup };

// Column `k` (from 1) of a line, when the line holds the comma after it.
std::optional<std::string_view> column(std::string_view line, int k) {
  for (int i = 1;; ++i) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    if (i == k) return line.substr(0, comma);
    line.remove_prefix(comma + 1);
  }
}

// The first `width` characters of the number printed zero-padded to that
// width, as big-endian bytes of one integer: comparing two keys compares
// their texts byte by byte. An empty column leaves every byte zero.
std::uint64_t printed_key(std::string_view text, int width) {
  if (text.empty()) return 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", width, static_cast<int>(atol_prefix(text)));
  std::uint64_t key = 0;
  for (int i = 0; i < width; ++i) key = key << 8 | static_cast<unsigned char>(buf[i]);
  return key;
}

std::string folded(std::string_view id) {
  std::string text(id);
  ToUppers(text);
  return text;
}

// The slots of a source: each line's ID and key. ID keys become the ranks of
// the upper-cased IDs, so the sort compares numbers and still orders the IDs
// as a comparison that ignores the case of a-z would.
struct Slots {
  std::vector<std::string> ids;
  std::vector<std::uint64_t> keys;
};

Slots slots_of(const LinedText& source, Key kind) {
  Slots slots;
  const int key_column = kind == Key::kLevel ? 3 : 6;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const std::string_view line = source[i];
    std::optional<std::string_view> id = column(line, 1);
    if (!id || id->empty()) continue;
    std::uint64_t key = 0;
    if (kind != Key::kId) {
      std::optional<std::string_view> text = column(line, key_column);
      if (!text) continue;
      key = printed_key(*text, kind == Key::kLevel ? 4 : 8);
    }
    slots.ids.emplace_back(id->substr(0, kSlotIdBytes));
    slots.keys.push_back(key);
  }
  if (kind == Key::kId) {
    std::vector<std::string> order;
    order.reserve(slots.ids.size());
    for (const std::string& id : slots.ids) order.push_back(folded(id));
    std::vector<std::string> distinct = order;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (std::size_t i = 0; i < order.size(); ++i) {
      slots.keys[i] = static_cast<std::uint64_t>(
          std::lower_bound(distinct.begin(), distinct.end(), order[i]) - distinct.begin());
    }
  }
  return slots;
}

// The exchange sort: slot i and a later slot j change places when i must
// come after j. Level keys order from the highest down. The slots are moved
// as numbers (their keys and positions), without branches in the inner loop.
std::vector<std::size_t> exchange_sort(std::vector<std::uint64_t> keys, Key kind) {
  const std::size_t n = keys.size();
  std::vector<std::size_t> at(n);
  for (std::size_t i = 0; i < n; ++i) at[i] = i;
  const bool descending = kind == Key::kLevel;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    std::uint64_t key_i = keys[i];
    std::size_t slot_i = at[i];
    for (std::size_t j = i + 1; j < n; ++j) {
      const std::uint64_t key_j = keys[j];
      const std::size_t slot_j = at[j];
      const bool exchange = descending ? key_i < key_j : key_i > key_j;
      keys[j] = exchange ? key_i : key_j;
      at[j] = exchange ? slot_i : slot_j;
      key_i = exchange ? key_j : key_i;
      slot_i = exchange ? slot_j : slot_i;
    }
    keys[i] = key_i;
    at[i] = slot_i;
  }
  return at;
}

// Writes `target` from the source's lines in `kind` order.
bool make_copy(Store& store, const WriteToken& w, const LinedText& source, Key kind,
               const char* target) {
  // Each ID is written with the record user.mst gives for it: the first
  // whose ID is the same when upper-cased.
  std::unordered_map<std::string, MST_USER> users;
  for (std::size_t k = 0; std::optional<MST_USER> user = ReadMST_USERcount(store, k); ++k) {
    users.try_emplace(folded(user->USER_ID), std::move(*user));
  }
  const Slots slots = slots_of(source, kind);
  std::string text;
  for (std::size_t slot : exchange_sort(slots.keys, kind)) {
    auto it = users.find(folded(slots.ids[slot]));
    if (it != users.end()) text += format_sorted_user_line(it->second);
  }
  const std::string path = store.path(target);
  // A scratch copy: rebuilt before every ordered list, so not worth a disk
  // sync (the next list makes it again after a crash).
  const bool ok = replace_file(w, path, path + ".tmp", text, kTextMode, Sync::kUnsynced);
  store.cache().invalidate(path);
  return ok;
}

LinedText source_file(Store& store, const char* name) {
  UniqueFd fd = open_text_master(store.path(name));  // a missing source is created empty
  return LinedText(fd ? read_all(fd.get()).value_or(std::string()) : std::string(), kLineBytes);
}

std::optional<UserListRow> list_row(std::string_view line) {
  std::string_view fields[8];
  if (!comma_fields(line, fields)) return std::nullopt;
  UserListRow row;
  row.USER_ID = fit_field(fields[0], MST_USER::kIdWidth);
  row.USER_NAME = fit_field(fields[1], MST_USER::kNameWidth);
  row.USER_LEVEL = atol_prefix(fields[2]);
  row.P_GROUP = atol_prefix(fields[5]);
  row.MODE = atol_prefix(fields[7]);
  return row;
}

}  // namespace

std::string format_sorted_user_line(const MST_USER& u) {
  std::string line;
  line.reserve(128);
  for (const std::string& field :
       {u.USER_ID, u.USER_NAME, std::to_string(u.USER_LEVEL), u.E_MAIL_ADDR, u.USER_PASS,
        std::to_string(u.P_GROUP), std::to_string(u.USER_DISP_DEF), std::to_string(u.MODE),
        u.LANGUAGE, std::to_string(u.NO_READ_MODE)}) {
    line += field;
    line += ',';
  }
  line += '\n';
  return line;
}

bool MakeOderID(Store& store, const WriteToken& w) {
  return make_copy(store, w, *user_file_lines(store), Key::kId, "user2.mst");
}

bool MakeOderLevel(Store& store, const WriteToken& w) {
  return make_copy(store, w, source_file(store, "user2.mst"), Key::kLevel, "user3.mst");
}

bool MakeOderPgroup(Store& store, const WriteToken& w) {
  return make_copy(store, w, source_file(store, "user3.mst"), Key::kGroup, "user4.mst");
}

std::vector<UserListRow> user_list(Store& store, const WriteToken& w, UserOrder order) {
  std::vector<UserListRow> rows;
  auto add_rows = [&](const LinedText& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (std::optional<UserListRow> row = list_row(lines[i])) rows.push_back(std::move(*row));
    }
  };
  if (order == UserOrder::kFile) {
    add_rows(*user_file_lines(store));
    return rows;
  }
  // A copy that could not be written is listed as it is.
  const char* name = "user2.mst";
  (void)MakeOderID(store, w);
  if (order == UserOrder::kLevel || order == UserOrder::kGroup) {
    (void)MakeOderLevel(store, w);
    name = "user3.mst";
  }
  if (order == UserOrder::kGroup) {
    (void)MakeOderPgroup(store, w);
    name = "user4.mst";
  }
  if (std::optional<std::string> text = read_file(store.path(name))) {
    add_rows(LinedText(std::move(*text), kLineBytes));
  }
  return rows;
}

}  // namespace plazet
