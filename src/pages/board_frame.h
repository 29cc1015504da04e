// Page pieces the board, message, posting and chat pages share.
#pragma once

#include <optional>

#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/frame_pages.h"
#include "frame/request.h"

namespace plazet {

// The BODY line of a folder's page: the folder's own background picture
// (BACKPIC) when it has one, else the installation's (BACK_GIF) when set,
// else no BODY tag at all.
void print_folder_body(Request& req, long folder_no, const B_TITLE2& settings);

// A folder's picture under CG_FILE_WEB_PATH: its own (DIRPIC, under its
// number) when it has one, else the picture of its kind.
[[nodiscard]] Html folder_icon(const B_TITLE& folder, const std::optional<B_TITLE2>& settings);

// Where the posting form opens: the separate window "WBORDWRITE" for users
// who post there (WRITE_MODE 2), else the same frame.
[[nodiscard]] Html posting_target(const Request& req);

// Width of title fields and text areas: IECOLS for browsers whose agent
// string contains "MSIE", NSCOLS for all others.
[[nodiscard]] int text_columns(const Request& req);

}  // namespace plazet
