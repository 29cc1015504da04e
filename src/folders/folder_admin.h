// Changes to the folder tree that the folder administration pages and
// plazetctl share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

enum class FolderDeletion {
  kDeleted,
  kNoFolder,   // no line with that display number
  kNotStored,  // the tree file could not be written: nothing was deleted
};

// Deletes the folder on display line `dispno` with its whole subtree: their
// tree lines (in one rewrite), settings records and rights entries, and the
// contents of their directories under `data_path` and `add_path`. The
// numbers of the deleted folders are added to `deleted` when it is given.
[[nodiscard]] FolderDeletion delete_subtree(Store& store, const WriteToken& w, int dispno,
                                            const std::string& data_path,
                                            const std::string& add_path,
                                            std::vector<long>* deleted = nullptr);

enum class FolderMove {
  kMoved,
  kNoSource,       // no line `src_dispno` (or no target line `dispno`)
  kNotInDir,       // inside a folder that is not a Dir
  kInsideSubtree,  // the target lies in the moved subtree
  kNotStored,      // the tree file could not be written: it is unchanged
};

// Moves the subtree of display line `src_dispno` after the chosen line's
// subtree (kAfter) or into the chosen Dir as its first child (kInside);
// `dispno` 0 moves it to the top of the tree at depth 0. The new tree is
// built in memory and replaces the file in one step; lines without their
// three commas are dropped.
[[nodiscard]] FolderMove move_subtree(Store& store, const WriteToken& w, int src_dispno, int dispno,
                                      Placement placement);

// A tree file that every reader takes as it was meant: every line a
// folder line ("<blanks>NAME,NUMBER,Kind,"), a known kind, a number above 0
// and not used twice, and no line deeper than the one before it plus one.
[[nodiscard]] bool well_formed_tree(std::string_view text);

// Replaces the tree with `text` when it is well formed; false otherwise
// (or when it could not be written), the tree then unchanged.
[[nodiscard]] bool replace_tree(Store& store, const WriteToken& w, std::string_view text);

}  // namespace plazet
