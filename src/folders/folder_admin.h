// Changes to the folder tree that the folder administration pages and
// plazetctl share.
#pragma once

#include <string>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

// Where a new folder goes relative to the chosen one (display number
// `dispno`; 0 = none: the end of the tree at depth 0).
enum class Placement { kAfter = 1, kInside = 2 };

// Result codes of creating a folder.
inline constexpr int kFolderCreated = 0;
inline constexpr int kFolderNameEmpty = 1;
inline constexpr int kFolderNotInDir = 2;
// The tree or settings file could not be written.
inline constexpr int kFolderNotStored = 3;

// Creates a Dir, Board or Chat (`mode` 1, 2, 3) named `name`: its tree line
// (number: the highest in the tree plus one) and its settings record
// (READ_CHK 1, REWRITE_FLG 1, all else zero).
[[nodiscard]] int create_folder(Store& store, const WriteToken& w, int dispno, Placement placement,
                                int mode, const std::string& name, long* folder_no = nullptr);

}  // namespace plazet
