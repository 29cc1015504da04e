#include "users/group_files.h"

#include <fcntl.h>

#include <unordered_map>
#include <utility>

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"

namespace plazet {
namespace {

constexpr const char* kGroupFile = "group.mst";
constexpr const char* kMemberFile = "g_user.mst";
constexpr std::size_t kLineBytes = 999;
constexpr mode_t kTextMode = 0666;

// A line feed inside a value would start a line of its own in the file.
std::string_view one_line(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

std::string stored_name(std::string_view name) {
  return fit_field(one_line(name), MST_GROUP::kNameWidth);
}

std::string stored_id(std::string_view id) {
  return fit_field(one_line(id), GROUP_USER::kIdWidth);
}

// True when the text holds two comma-terminated fields.
bool has_two_fields(std::string_view line) {
  std::size_t first = line.find(',');
  return first != std::string_view::npos && line.find(',', first + 1) != std::string_view::npos;
}

// --- group.mst ---------------------------------------------------------

struct GroupLine {
  std::string raw;  // the piece as read, copied unchanged by the rewrites
  MST_GROUP group;
  bool comma_terminated = false;
};

// The file as read once per request: only the pieces that hold a token, since
// the others are no group and every rewrite drops them.
struct GroupMaster {
  bool readable = false;
  std::vector<GroupLine> lines;
};

std::shared_ptr<const GroupMaster> load_groups(Store& store) {
  const std::string path = store.path(kGroupFile);
  return store.cache().get<GroupMaster>(path, [&] {
    GroupMaster file;
    std::optional<std::string> text = read_file(path);
    if (!text) return file;
    file.readable = true;
    LineReader reader(*text, kLineBytes);
    while (std::optional<std::string_view> piece = reader.next()) {
      std::vector<std::string_view> tokens = split_tokens(*piece, ",\n", 2);
      if (tokens.empty()) continue;
      GroupLine line;
      line.raw = std::string(*piece);
      line.group.T02_GROUP_ID = atol_prefix(tokens[0]);
      if (tokens.size() > 1) line.group.T02_GROUP_NAME = stored_name(tokens[1]);
      line.comma_terminated = has_two_fields(*piece);
      file.lines.push_back(std::move(line));
    }
    return file;
  });
}

// Replaces group.mst with `contents` through the work file `temp_name`.
bool replace_groups(Store& store, const WriteToken& token, const char* temp_name,
                    std::string_view contents) {
  const std::string path = store.path(kGroupFile);
  bool ok = replace_file(token, path, store.path(temp_name), contents, kTextMode);
  store.cache().invalidate(path);
  return ok;
}

// --- g_user.mst --------------------------------------------------------

struct MemberFile {
  bool readable = false;
  std::vector<GROUP_USER> records;
  // Membership lists already asked for in this request, by stored ID: access
  // checks ask for the same user's list once per group entry of a folder.
  mutable std::unordered_map<std::string, std::vector<long>> lists;
};

std::optional<GROUP_USER> parse_member(std::string_view line) {
  std::size_t first = line.find(',');
  if (first == std::string_view::npos) return std::nullopt;
  std::size_t second = line.find(',', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  GROUP_USER member;
  member.T02_GROUP_ID = atol_prefix(line.substr(0, first));
  member.USER_ID = stored_id(line.substr(first + 1, second - first - 1));
  return member;
}

std::string format_member(long group_no, std::string_view stored) {
  std::string line = std::to_string(group_no);
  line += ',';
  line += stored;
  line += ",\n";
  return line;
}

std::shared_ptr<const MemberFile> load_members(Store& store) {
  const std::string path = store.path(kMemberFile);
  return store.cache().get<MemberFile>(path, [&] {
    MemberFile file;
    std::optional<std::string> text = read_file(path);
    if (!text) return file;
    file.readable = true;
    LineReader reader(*text, kLineBytes);
    while (std::optional<std::string_view> piece = reader.next()) {
      if (std::optional<GROUP_USER> member = parse_member(*piece)) {
        file.records.push_back(std::move(*member));
      }
    }
    return file;
  });
}

// Writes the records in `order` anew over g_user.mst through `temp_name`.
bool write_members(Store& store, const WriteToken& token, const char* temp_name,
                   const std::vector<const GROUP_USER*>& order) {
  const std::string path = store.path(kMemberFile);
  std::string out;
  for (const GROUP_USER* member : order) {
    out += format_member(member->T02_GROUP_ID, member->USER_ID);
  }
  bool ok = replace_file(token, path, store.path(temp_name), out, kTextMode);
  store.cache().invalidate(path);
  return ok;
}

// Rewrites g_user.mst through `temp_name`, keeping the records for which
// `keep` holds.
template <class Keep>
bool rewrite_members(Store& store, const WriteToken& token, const char* temp_name, Keep keep) {
  const auto file = load_members(store);
  std::vector<const GROUP_USER*> kept;
  for (const GROUP_USER& member : file->records) {
    if (keep(member)) kept.push_back(&member);
  }
  return write_members(store, token, temp_name, kept);
}

}  // namespace

// --- group.mst ---------------------------------------------------------

std::optional<MST_GROUP> ReadGROUP_MST(Store& store, long group_no) {
  for (const GroupLine& line : load_groups(store)->lines) {
    if (line.group.T02_GROUP_ID == group_no) return line.group;
  }
  return std::nullopt;
}

std::vector<MST_GROUP> ReadGROUP_MSTall(Store& store, GroupListing which) {
  std::vector<MST_GROUP> groups;
  for (const GroupLine& line : load_groups(store)->lines) {
    if (which == GroupListing::kAll || line.comma_terminated) groups.push_back(line.group);
  }
  return groups;
}

bool group_mst_readable(Store& store) {
  return load_groups(store)->readable;
}

bool ReWriteMST_GROUP(Store& store, const WriteToken& token, const MST_GROUP& group) {
  const long number = group.T02_GROUP_ID;
  const std::string new_line =
      std::to_string(number) + "," + stored_name(group.T02_GROUP_NAME) + ",\n";
  bool placed = false;
  // The new line always starts a line of its own, even after a last line
  // without a line feed.
  auto place = [&](std::string& out) {
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += new_line;
    placed = true;
  };
  std::string out;
  for (const GroupLine& line : load_groups(store)->lines) {
    if (!placed && line.group.T02_GROUP_ID >= number) {
      place(out);
      if (line.group.T02_GROUP_ID == number) continue;  // replaced
    }
    out += line.raw;
  }
  if (!placed) place(out);
  return replace_groups(store, token, "F_GROUP_MST.tmp", out);
}

bool DeleteMST_GROUP(Store& store, const WriteToken& token, long group_no) {
  std::string out;
  for (const GroupLine& line : load_groups(store)->lines) {
    if (line.group.T02_GROUP_ID != group_no) out += line.raw;
  }
  return replace_groups(store, token, "TEMP", out);
}

// --- g_user.mst --------------------------------------------------------

std::vector<long> ReadGROUP_USER1(Store& store, std::string_view user_id) {
  const auto loaded = load_members(store);
  const MemberFile& file = *loaded;
  std::string id = stored_id(user_id);
  if (auto it = file.lists.find(id); it != file.lists.end()) return it->second;
  std::vector<long> groups;
  for (const GROUP_USER& member : file.records) {
    if (member.USER_ID != id) continue;
    if (member.T02_GROUP_ID == 0 || groups.size() == kMaxMemberships) break;
    groups.push_back(member.T02_GROUP_ID);
  }
  return file.lists.emplace(std::move(id), std::move(groups)).first->second;
}

std::vector<GROUP_USER> ReadGROUP_USERall(Store& store) {
  return load_members(store)->records;
}

bool WriteGROUP_USER(Store& store, const WriteToken& token, const GROUP_USER& member) {
  const std::string path = store.path(kMemberFile);
  const auto file = load_members(store);
  const std::string id = stored_id(member.USER_ID);
  for (const GROUP_USER& old : file->records) {
    if (old.T02_GROUP_ID == member.T02_GROUP_ID && old.USER_ID == id) return true;
  }
  bool ok = append_text_lines(token, path, format_member(member.T02_GROUP_ID, id));
  store.cache().invalidate(path);
  return ok;
}

bool DeleteGROUP_USER(Store& store, const WriteToken& token, GroupUserDelete mode,
                      const GROUP_USER& member) {
  const std::string id = stored_id(member.USER_ID);
  return rewrite_members(store, token, "g_user.mst.tmp", [&](const GROUP_USER& old) {
    if (old.T02_GROUP_ID != member.T02_GROUP_ID) return true;
    switch (mode) {
      case GroupUserDelete::kMember:
        return old.USER_ID != id;
      case GroupUserDelete::kWholeGroup:
        return false;
    }
    return true;
  });
}

bool DeleteGROUP_USER2(Store& store, const WriteToken& token, std::string_view user_id) {
  if (!load_members(store)->readable) return true;
  const std::string id = stored_id(user_id);
  return rewrite_members(store, token, "g_user.mst.TMP",
                         [&](const GROUP_USER& old) { return old.USER_ID != id; });
}

bool SortGROUP_USER(Store& store, const WriteToken& token) {
  const auto file = load_members(store);
  const std::vector<GROUP_USER>& records = file->records;
  std::size_t n = records.size();
  if (n < 2) return true;
  std::vector<const GROUP_USER*> order;
  order.reserve(n);
  for (const GROUP_USER& member : records) order.push_back(&member);
  // Each pass carries the larger line along the first n lines and leaves it
  // at position n - 1; a line read whose number is not greater than the
  // carried one is written first. Lines from n on are copied as they are.
  std::vector<const GROUP_USER*> pass;
  pass.reserve(order.size());
  for (; n >= 2; --n) {
    pass.clear();
    const GROUP_USER* carried = order[0];
    for (std::size_t i = 1; i < n; ++i) {
      if (carried->T02_GROUP_ID < order[i]->T02_GROUP_ID) {
        pass.push_back(carried);
        carried = order[i];
      } else {
        pass.push_back(order[i]);
      }
    }
    pass.push_back(carried);
    pass.insert(pass.end(), order.begin() + static_cast<std::ptrdiff_t>(n), order.end());
    std::swap(order, pass);
  }
  return write_members(store, token, "g_user.mst.tmp", order);
}

}  // namespace plazet
