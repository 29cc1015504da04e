// Changes to the folder tree that the folder administration pages and
// plazetctl share.
#pragma once

#include <string>

#include "frame/request.h"

namespace plazet {

// Where a new folder goes relative to the chosen one (display number
// `dispno`; 0 = none: the end of the tree at depth 0).
enum class Placement { kAfter = 1, kInside = 2 };

// Result codes of creating a folder.
inline constexpr int kFolderCreated = 0;
inline constexpr int kFolderNameEmpty = 1;
inline constexpr int kFolderNotInDir = 2;

// Creates a Dir, Board or Chat (`mode` 1, 2, 3) named `name`: its tree line
// (number: the highest in the tree plus one) and its settings record
// (READ_CHK 1, REWRITE_FLG 1, all else zero).
[[nodiscard]] int create_folder(Request& req, int dispno, Placement placement, int mode,
                                const std::string& name, long* folder_no = nullptr);

// Lays out a small demo tree in an empty site:
//   Office (Dir) > News (Board), Projects (Dir) > Plans (Board);
//   General (Board); Lobby (Chat). Boards take three attachments a
// message. Returns an error text or "".
[[nodiscard]] std::string seed_demo_tree(Request& req);

}  // namespace plazet
