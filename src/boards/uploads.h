// Attachments arriving with a posting: taking apart the value of a file
// field and moving the upload into its slot directory
//   <ADD_FILE_PATH><board>/x<message>/<slot>/<file name>
// The form parser stores each upload as "CGI<n>" in the upload directory and
// gives the field the value "<browser's file name>,CGI<n>".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frame/form.h"
#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Width of the file name field of an attachment record (ADD_FILE).
inline constexpr std::size_t kUploadNameWidth = 252;

struct UploadName {
  std::string file_name;  // without directories, at most 251 bytes
  std::string temp_name;  // the parser's "CGI<n>"
};

// Cuts `text` to what a NUL-terminated field of `width` bytes holds, never
// inside a two-byte character; a NUL ends the text.
[[nodiscard]] std::string fit_text_field(std::string_view text, std::size_t width);

// Splits an upload field's value. The temporary name follows the last comma
// (the parser appends it; a browser's file name may hold commas itself); the
// file name is what follows the last one-byte "\\" or "/" before it, cut to
// its field. nullopt unless the temporary file is one this request's parser
// created, and for a file name "", "." or "..".
[[nodiscard]] std::optional<UploadName> cut_filename(const FormInput& form, std::string_view value);

// Moves `source` to `destination`, replacing a file of that name: a rename,
// or a copy when the two lie on different file systems. The file keeps the
// upload's mode 0600. False when nothing was moved.
[[nodiscard]] bool filemove(const WriteToken& token, const std::string& source,
                            const std::string& destination);

// "<ADD_FILE_PATH><board>/x<sel_no>/<slot>/"
[[nodiscard]] std::string attachment_dir(const Request& req, long board, long sel_no, long slot);

// Makes the slot's directories (0700) and moves the upload into it under
// its file name. False when the upload could not be placed there.
[[nodiscard]] bool store_upload(Request& req, long board, long sel_no, long slot,
                                const UploadName& upload);

// Removes an upload file of this request that was not stored; names the
// parser did not create here are never touched.
void discard_upload(Request& req, std::string_view temp_name);

}  // namespace plazet
