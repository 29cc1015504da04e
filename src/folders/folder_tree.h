// b_title.mst, the folder tree: one folder a line, in menu order,
//   <DEPTH blanks>NAME,FOLDER_NO,Dir|Board|Chat,
// The nesting is told by the leading blanks: a folder's subtree is the run
// of deeper lines after it. A folder is addressed by its number (for life)
// or by its display number (its 1-based position among the valid lines).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

// The folder tree, in the data directory.
inline constexpr const char* kTreeFile = "b_title.mst";

struct B_TITLE {
  static constexpr std::size_t kNameWidth = 84;
  static constexpr int kDir = 1;
  static constexpr int kBoard = 2;
  static constexpr int kChat = 3;

  long FOLDER_NO = 0;
  int MODE = 0;  // 1 Dir, 2 Board, 3 Chat, 0 no kind
  std::string NAME;
  int DEPTH = 0;
};

enum class TitleKey { kFolderNo = 1, kDisplayNo = 2 };

// The valid lines in display order (display number = index + 1). Read once
// per request; empty when the file is missing (it is not created).
[[nodiscard]] std::shared_ptr<const std::vector<B_TITLE>> folder_tree(Store& store);

// The line whose folder number (kFolderNo) or display number (kDisplayNo)
// equals `key`.
[[nodiscard]] std::optional<B_TITLE> ReadB_TITLE(Store& store, long key, TitleKey mode);

// The display number of the folder `folder_no`.
[[nodiscard]] std::optional<int> display_number(Store& store, long folder_no);

// The physical line (1-based, counting every line of the file) of display
// line `p`; the number of physical lines when there is no line p.
[[nodiscard]] int physical_line_of(Store& store, int p);

// Writes `title` as a new line after physical line `p` (p >= 1), or at the
// end when the file has fewer lines.
[[nodiscard]] bool InsertB_TITLE(Store& store, const WriteToken& w, int p, const B_TITLE& title);

// Removes physical line `p`; false when there is none.
[[nodiscard]] bool DeleteB_TITLE(Store& store, const WriteToken& w, int p);

// Replaces the line of folder `title.FOLDER_NO`; false when there is none.
// Lines with fewer than three commas are dropped.
[[nodiscard]] bool ReWriteB_TITLE(Store& store, const WriteToken& w, const B_TITLE& title);

// The display number of the parent of line `p`; nullopt for a top-level
// line (or when there is no line p).
[[nodiscard]] std::optional<int> get_upper_folder(Store& store, int p);

// A line's folder; nullopt for a line without its three commas.
[[nodiscard]] std::optional<B_TITLE> parse_title_line(std::string_view line);

// "<DEPTH blanks>NAME,FOLDER_NO,Kind,\n"
[[nodiscard]] std::string format_title_line(const B_TITLE& title);

}  // namespace plazet
