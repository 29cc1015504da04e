#include "admin/folder_admin.h"

#include <algorithm>

#include "folders/folder_settings.h"
#include "folders/folder_tree.h"

namespace plazet {

int create_folder(Request& req, int dispno, Placement placement, int mode, const std::string& name,
                  long* folder_no) {
  if (name.empty()) return kFolderNameEmpty;
  const std::vector<B_TITLE>& tree = folder_tree(req);
  std::optional<B_TITLE> chosen;
  if (dispno >= 1) chosen = ReadB_TITLE(req, dispno, TitleKey::kDisplayNo);
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
  (void)InsertB_TITLE(req, std::max(physical_line_of(req, p), 1), title);
  B_TITLE2 settings;
  settings.FOLDER_NO = static_cast<std::int32_t>(title.FOLDER_NO);
  settings.READ_CHK = 1;
  settings.REWRITE_FLG = 1;
  (void)InsertB_TITLE2(req, settings);
  if (folder_no) *folder_no = title.FOLDER_NO;
  return kFolderCreated;
}

std::string seed_demo_tree(Request& req) {
  struct Step {
    int dispno;
    Placement placement;
    int mode;
    const char* name;
  };
  // Display numbers as the tree grows: Office 1, News 2, Projects 3, Plans 4.
  constexpr Step kSteps[] = {
      {0, Placement::kAfter, B_TITLE::kDir, "Office"},
      {1, Placement::kInside, B_TITLE::kBoard, "News"},
      {2, Placement::kAfter, B_TITLE::kDir, "Projects"},
      {3, Placement::kInside, B_TITLE::kBoard, "Plans"},
      {0, Placement::kAfter, B_TITLE::kBoard, "General"},
      {0, Placement::kAfter, B_TITLE::kChat, "Lobby"},
  };
  for (const Step& step : kSteps) {
    long number = 0;
    if (create_folder(req, step.dispno, step.placement, step.mode, step.name, &number) !=
        kFolderCreated) {
      return std::string("cannot create ") + step.name;
    }
    // Demo boards take three attachments a message.
    if (step.mode == B_TITLE::kBoard) {
      B_TITLE2 settings = ReadB_TITLE2(req, number).value_or(B_TITLE2{});
      settings.ADD_MAX = 3;
      if (!ReWriteB_TITLE2(req, settings)) return std::string("cannot configure ") + step.name;
    }
  }
  return "";
}

}  // namespace plazet
