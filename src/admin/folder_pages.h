// The administrator's folder pages: the folder list, creating, deleting and
// moving folders, and downloading and uploading the tree file.
#pragma once

#include <string>

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of the folder writes besides those of create_folder.
inline constexpr int kFolderNotAllowed = -1;
inline constexpr int kFolderDeleted = 0;  // or kFolderNotStored
inline constexpr int kFolderNameBadChar = 5;
inline constexpr int kFolderBadKind = 6;

inline constexpr int kMoveDone = 0;
inline constexpr int kMoveNotAllowed = -1;
inline constexpr int kMoveNoPlace = -2;
inline constexpr int kMoveInsideSubtree = -3;
inline constexpr int kMoveNotStored = -4;

inline constexpr int kUploadDone = 0;
inline constexpr int kUploadNotAllowed = -1;
// Not a file named b_title.mst, or not a tree every reader takes alike.
inline constexpr int kUploadNotTree = -2;

// The tree with links to each folder's settings, access and move pages.
// Fields: SKEY.
void j_FOLDERLIST(Request& req);
// Fields: SKEY.
void j_NEWFOLDER(Request& req);
// Fields: DISPNO (0: end of the tree), CLASS (1 after, 2 inside), MODE
// (1 Dir, 2 Board, 3 Chat), NAME.
int j_NEWFOLDERWR(Request& req, const WriteToken& w);
// Fields: SKEY.
void j_DELFOLDER(Request& req);
// Deletes the folder on display line DISPNO with its subtree.
int j_DELFOLDERWR(Request& req, const WriteToken& w);
// Fields: SKEY, DISPNO (the folder to move).
void j_BORDMOVE(Request& req);
// Fields: SRC_DISPNO, DISPNO (0: the top of the tree), CLASS.
int j_BORDMOVEWR(Request& req, const WriteToken& w);
// The tree file as a download.
void j_FOLDER_DOWNLOAD(Request& req);
// Replaces the tree with the uploaded b_title.mst (FILE1).
int j_FOLDER_UPLOAD(Request& req, const WriteToken& w);

// Sends the file `dir` + `name` as a download named `name`; a missing file
// gives the headers alone.
void file_DL(Request& req, const std::string& dir, const std::string& name);

}  // namespace plazet
