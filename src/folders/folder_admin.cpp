#include "folders/folder_admin.h"

#include <algorithm>

#include "folders/folder_settings.h"
#include "folders/folder_tree.h"

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

}  // namespace plazet
