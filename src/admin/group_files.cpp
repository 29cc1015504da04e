#include "admin/group_files.h"

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

GroupMaster& load_groups(Request& req) {
  const std::string path = req.data_path(kGroupFile);
  return req.cache.get<GroupMaster>(path, [&] {
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
bool replace_groups(Request& req, const WriteToken& token, const char* temp_name,
                    std::string_view contents) {
  const std::string path = req.data_path(kGroupFile);
  bool ok = replace_file(token, path, req.data_path(temp_name), contents, kTextMode);
  req.cache.invalidate(path);
  return ok;
}

// --- g_user.mst --------------------------------------------------------

struct MemberFile {
  bool readable = false;
  std::vector<GROUP_USER> records;
  // Membership lists already asked for in this request, by stored ID: access
  // checks ask for the same user's list once per group entry of a folder.
  std::unordered_map<std::string, std::vector<long>> lists;
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

MemberFile& load_members(Request& req) {
  const std::string path = req.data_path(kMemberFile);
  return req.cache.get<MemberFile>(path, [&] {
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
void write_members(Request& req, const WriteToken& token, const char* temp_name,
                   const std::vector<const GROUP_USER*>& order) {
  const std::string path = req.data_path(kMemberFile);
  std::string out;
  for (const GROUP_USER* member : order) {
    out += format_member(member->T02_GROUP_ID, member->USER_ID);
  }
  (void)replace_file(token, path, req.data_path(temp_name), out, kTextMode);
  req.cache.invalidate(path);
}

// Rewrites g_user.mst through `temp_name`, keeping the records for which
// `keep` holds.
template <class Keep>
void rewrite_members(Request& req, const WriteToken& token, const char* temp_name, Keep keep) {
  std::vector<const GROUP_USER*> kept;
  for (const GROUP_USER& member : load_members(req).records) {
    if (keep(member)) kept.push_back(&member);
  }
  write_members(req, token, temp_name, kept);
}

}  // namespace

// --- group.mst ---------------------------------------------------------

std::optional<MST_GROUP> ReadGROUP_MST(Request& req, long group_no) {
  for (const GroupLine& line : load_groups(req).lines) {
    if (line.group.T02_GROUP_ID == group_no) return line.group;
  }
  return std::nullopt;
}

std::vector<MST_GROUP> ReadGROUP_MSTall(Request& req, GroupListing which) {
  std::vector<MST_GROUP> groups;
  for (const GroupLine& line : load_groups(req).lines) {
    if (which == GroupListing::kAll || line.comma_terminated) groups.push_back(line.group);
  }
  return groups;
}

bool group_mst_readable(Request& req) {
  return load_groups(req).readable;
}

bool ReWriteMST_GROUP(Request& req, const MST_GROUP& group) {
  const WriteToken& token = req.write_token();
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
  for (const GroupLine& line : load_groups(req).lines) {
    if (!placed && line.group.T02_GROUP_ID >= number) {
      place(out);
      if (line.group.T02_GROUP_ID == number) continue;  // replaced
    }
    out += line.raw;
  }
  if (!placed) place(out);
  return replace_groups(req, token, "F_GROUP_MST.tmp", out);
}

void DeleteMST_GROUP(Request& req, long group_no) {
  const WriteToken& token = req.write_token();
  std::string out;
  for (const GroupLine& line : load_groups(req).lines) {
    if (line.group.T02_GROUP_ID != group_no) out += line.raw;
  }
  (void)replace_groups(req, token, "TEMP", out);
}

// --- g_user.mst --------------------------------------------------------

std::vector<long> ReadGROUP_USER1(Request& req, std::string_view user_id) {
  MemberFile& file = load_members(req);
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

std::vector<GROUP_USER> ReadGROUP_USERall(Request& req) {
  return load_members(req).records;
}

void WriteGROUP_USER(Request& req, const GROUP_USER& member) {
  const WriteToken& token = req.write_token();
  const std::string path = req.data_path(kMemberFile);
  const MemberFile& file = load_members(req);
  const std::string id = stored_id(member.USER_ID);
  for (const GROUP_USER& old : file.records) {
    if (old.T02_GROUP_ID == member.T02_GROUP_ID && old.USER_ID == id) return;
  }
  (void)append_text_lines(token, path, format_member(member.T02_GROUP_ID, id));
  req.cache.invalidate(path);
}

void DeleteGROUP_USER(Request& req, GroupUserDelete mode, const GROUP_USER& member) {
  const WriteToken& token = req.write_token();
  const std::string id = stored_id(member.USER_ID);
  rewrite_members(req, token, "g_user.mst.tmp", [&](const GROUP_USER& old) {
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

void DeleteGROUP_USER2(Request& req, std::string_view user_id) {
  const WriteToken& token = req.write_token();
  if (!load_members(req).readable) return;
  const std::string id = stored_id(user_id);
  rewrite_members(req, token, "g_user.mst.TMP",
                  [&](const GROUP_USER& old) { return old.USER_ID != id; });
}

void SortGROUP_USER(Request& req) {
  const WriteToken& token = req.write_token();
  const std::vector<GROUP_USER>& records = load_members(req).records;
  std::size_t n = records.size();
  if (n < 2) return;
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
  write_members(req, token, "g_user.mst.tmp", order);
}

}  // namespace plazet
