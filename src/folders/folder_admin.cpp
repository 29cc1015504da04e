#include "folders/folder_admin.h"

#include <algorithm>
#include <set>
#include <vector>

#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/atomic_file.h"
#include "store/dirs.h"
#include "store/file_io.h"

namespace plazet {

int create_folder(Store& store, const WriteToken& w, int dispno, Placement placement, int mode,
                  const std::string& name, long* folder_no) {
  if (name.empty()) return kFolderNameEmpty;
  const auto held = folder_tree(store);
  const std::vector<B_TITLE>& tree = *held;
  std::optional<B_TITLE> chosen;
  if (dispno >= 1) chosen = ReadB_TITLE(store, dispno, TitleKey::kDisplayNo);
  if (dispno <= 0) placement = Placement::kAfter;
  if (placement == Placement::kInside && (!chosen || chosen->MODE != B_TITLE::kDir)) {
    return kFolderNotInDir;
  }

  B_TITLE title;
  title.MODE = mode;
  // A comma or line break would break the tree line: they are left out.
  for (char c : name) {
    if (c != ',' && c != '\n' && c != '\r') title.NAME += c;
  }
  int p = static_cast<int>(tree.size());
  if (chosen && placement == Placement::kAfter) {
    p = dispno;
    while (static_cast<std::size_t>(p) < tree.size() &&
           tree[static_cast<std::size_t>(p)].DEPTH > chosen->DEPTH) {
      ++p;
    }
    title.DEPTH = chosen->DEPTH;
  } else if (chosen) {
    p = dispno;
    title.DEPTH = chosen->DEPTH + 1;
  }
  long highest = 0;
  for (const B_TITLE& t : tree) highest = std::max(highest, t.FOLDER_NO);
  title.FOLDER_NO = highest + 1;

  // An empty tree takes the new line as its first.
  // Display lines are placed by their physical line: remark lines of a hand
  // edited tree must not shift the new folder.
  if (!InsertB_TITLE(store, w, std::max(physical_line_of(store, p), 1), title)) {
    return kFolderNotStored;
  }
  B_TITLE2 settings;
  settings.FOLDER_NO = static_cast<std::int32_t>(title.FOLDER_NO);
  settings.READ_CHK = 1;
  settings.REWRITE_FLG = 1;
  if (!InsertB_TITLE2(store, w, settings)) return kFolderNotStored;
  if (folder_no) *folder_no = title.FOLDER_NO;
  return kFolderCreated;
}

namespace {

struct TreeLine {
  std::string text;  // as in the file, without its line feed
  B_TITLE folder;
};

// The folder lines of the tree file, in order: display line p is [p - 1].
std::vector<TreeLine> tree_lines(Store& store) {
  std::vector<TreeLine> lines;
  const std::string text = read_file(store.path(kTreeFile)).value_or(std::string());
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (std::optional<B_TITLE> folder = parse_title_line(line)) {
      lines.push_back({std::move(line), std::move(*folder)});
    }
  }
  return lines;
}

bool write_tree(Store& store, const WriteToken& w, std::string_view text) {
  const std::string path = store.path(kTreeFile);
  const bool ok = replace_file(w, path, path + ".tmp", text, 0666);
  store.cache().invalidate(path);
  return ok;
}

// The end (exclusive, 0-based) of the subtree of line `first`.
std::size_t subtree_end(const std::vector<TreeLine>& lines, std::size_t first) {
  std::size_t end = first + 1;
  while (end < lines.size() && lines[end].folder.DEPTH > lines[first].folder.DEPTH) ++end;
  return end;
}

}  // namespace

FolderDeletion delete_subtree(Store& store, const WriteToken& w, int dispno,
                              const std::string& data_path, const std::string& add_path,
                              std::vector<long>* deleted) {
  std::vector<TreeLine> lines = tree_lines(store);
  if (dispno < 1 || static_cast<std::size_t>(dispno) > lines.size())
    return FolderDeletion::kNoFolder;
  const auto first = static_cast<std::size_t>(dispno - 1);
  const std::size_t end = subtree_end(lines, first);
  std::vector<long> gone;
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i >= first && i < end) {
      gone.push_back(lines[i].folder.FOLDER_NO);
    } else {
      text += lines[i].text + "\n";
    }
  }
  // The folders leave the tree first: whatever stops later leaves records
  // and files that nothing shows.
  if (!write_tree(store, w, text)) return FolderDeletion::kNotStored;
  for (long folder_no : gone) (void)DeleteB_TITLE2(store, w, folder_no);
  (void)drop_folder_rights(store, w, gone);
  for (long folder_no : gone) {
    (void)DelDIR(w, data_path + std::to_string(folder_no));
    (void)DelDIR(w, add_path + std::to_string(folder_no));
  }
  if (deleted != nullptr) deleted->insert(deleted->end(), gone.begin(), gone.end());
  return FolderDeletion::kDeleted;
}

FolderMove move_subtree(Store& store, const WriteToken& w, int src_dispno, int dispno,
                        Placement placement) {
  const std::vector<TreeLine> lines = tree_lines(store);
  const auto count = static_cast<int>(lines.size());
  if (src_dispno < 1 || src_dispno > count) return FolderMove::kNoSource;
  const auto source = static_cast<std::size_t>(src_dispno - 1);
  const std::size_t source_end = subtree_end(lines, source);
  const int source_depth = lines[source].folder.DEPTH;
  int target_depth = 0;
  std::size_t insert_at = 0;  // before this line of `lines`
  if (dispno <= 0) {
    placement = Placement::kAfter;
  } else {
    if (dispno > count) return FolderMove::kNoSource;
    const auto target = static_cast<std::size_t>(dispno - 1);
    const B_TITLE& chosen = lines[target].folder;
    target_depth = chosen.DEPTH;
    if (placement == Placement::kInside && chosen.MODE != B_TITLE::kDir) {
      return FolderMove::kNotInDir;
    }
    insert_at = placement == Placement::kInside ? target + 1 : subtree_end(lines, target);
    // Into itself, or next to a folder of its own subtree.
    if ((insert_at >= source && insert_at < source_end) ||
        (target >= source && target < source_end)) {
      return FolderMove::kInsideSubtree;
    }
  }
  const int extra = placement == Placement::kInside ? 1 : 0;
  std::string moved;
  for (std::size_t i = source; i < source_end; ++i) {
    const TreeLine& line = lines[i];
    const int depth = target_depth + (line.folder.DEPTH - source_depth) + extra;
    moved += std::string(static_cast<std::size_t>(depth), ' ') +
             line.text.substr(line.text.find_first_not_of(' ')) + "\n";
  }
  std::string text;
  for (std::size_t i = 0; i <= lines.size(); ++i) {
    if (i == insert_at) text += moved;
    if (i == lines.size()) break;
    if (i >= source && i < source_end) continue;
    text += lines[i].text + "\n";
  }
  return write_tree(store, w, text) ? FolderMove::kMoved : FolderMove::kNotStored;
}

bool well_formed_tree(std::string_view text) {
  std::set<long> numbers;
  int previous_depth = -1;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    const std::optional<B_TITLE> folder = parse_title_line(line);
    if (!folder || folder->MODE == 0 || folder->FOLDER_NO < 1) return false;
    // Exactly the writers' line: the columns and nothing after the third comma.
    if (line != std::string_view(format_title_line(*folder)).substr(0, line.size()) ||
        line.size() + 1 != format_title_line(*folder).size()) {
      return false;
    }
    if (!numbers.insert(folder->FOLDER_NO).second) return false;
    if (folder->DEPTH > previous_depth + 1) return false;
    previous_depth = folder->DEPTH;
  }
  return true;
}

bool replace_tree(Store& store, const WriteToken& w, std::string_view text) {
  return well_formed_tree(text) && write_tree(store, w, text);
}

}  // namespace plazet
