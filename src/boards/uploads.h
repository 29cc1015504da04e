// Attachments arriving with a posting: taking apart the value of a file
// field and moving the upload into its slot directory
//   <ADD_FILE_PATH><board>/x<message>/<slot>/<file name>
// The form parser stores each upload as "CGI<n>" in the upload directory and
// gives the field the value "<browser's file name>,CGI<n>".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/data_lock.h"
#include "text/sjis.h"

namespace plazet {

// Width of the file name field of an attachment record (ADD_FILE).
inline constexpr std::size_t kUploadNameWidth = 252;

struct UploadName {
  std::string file_name;  // without directories, at most 251 bytes
  std::string temp_name;  // the parser's "CGI<n>"
};

// Splits an upload field's value. The temporary name follows the last comma
// (the parser appends it; a browser's file name may hold commas itself); the
// file name is what follows the last one-byte "\\" or "/" before it, cut to
// its field. nullopt for a file name "", "." or "..".
[[nodiscard]] std::optional<UploadName> split_upload_value(std::string_view value);

// split_upload_value, and nullopt unless the temporary file is one that this
// request's form parser (`form.is_own_upload`) created.
template <class Form>
[[nodiscard]] std::optional<UploadName> cut_filename(const Form& form, std::string_view value) {
  std::optional<UploadName> upload = split_upload_value(value);
  if (!upload || !form.is_own_upload(upload->temp_name)) return std::nullopt;
  return upload;
}

// Moves `source` to `destination`, replacing a file of that name: a rename,
// or a copy when the two lie on different file systems. The file keeps the
// upload's mode 0600. False when nothing was moved.
[[nodiscard]] bool filemove(const WriteToken& token, const std::string& source,
                            const std::string& destination);

// "<ADD_FILE_PATH><board>/x<sel_no>/<slot>/"
[[nodiscard]] std::string attachment_dir(std::string_view ADD_FILE_PATH, long board, long sel_no,
                                         long slot);

// Makes the slot's directories (0700) under ADD_FILE_PATH and moves the
// upload from `upload_dir` into it under its file name. False when the
// upload could not be placed there.
[[nodiscard]] bool store_upload(const WriteToken& w, std::string_view ADD_FILE_PATH,
                                std::string_view upload_dir, long board, long sel_no, long slot,
                                const UploadName& upload);

}  // namespace plazet
