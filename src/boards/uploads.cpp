#include "boards/uploads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "store/atomic_file.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/paths.h"
#include "text/sjis.h"

namespace plazet {

std::optional<UploadName> split_upload_value(std::string_view value) {
  const std::size_t comma = value.rfind(',');
  if (comma == std::string_view::npos) return std::nullopt;
  UploadName upload;
  upload.temp_name = std::string(value.substr(comma + 1));

  // The browser may send its whole path; a trail byte can look like "\\".
  const std::string_view path = value.substr(0, comma);
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); i += sjis_char_len(path, i)) {
    if (sjis_char_len(path, i) == 1 && (path[i] == '\\' || path[i] == '/')) start = i + 1;
  }
  upload.file_name = fit_text_field(path.substr(start), kUploadNameWidth);
  // These would name the slot directory or its parent, not a file in it.
  if (upload.file_name.empty() || upload.file_name == "." || upload.file_name == "..") {
    return std::nullopt;
  }
  return upload;
}

bool filemove(const WriteToken& token, const std::string& source, const std::string& destination) {
  if (::rename(source.c_str(), destination.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // The upload directory lies on another file system: copy, then drop the
  // upload. The copy replaces the destination in one step.
  std::optional<std::string> data;
  {
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in) return false;
    data = read_all(in.get());
  }
  if (!data || !replace_file(token, destination, destination + ".tmp", *data, 0600)) return false;
  (void)::unlink(source.c_str());
  return true;
}

std::string attachment_dir(std::string_view ADD_FILE_PATH, long board, long sel_no, long slot) {
  return std::string(ADD_FILE_PATH) + std::to_string(board) + "/x" + std::to_string(sel_no) + "/" +
         std::to_string(slot) + "/";
}

bool store_upload(const WriteToken& w, std::string_view ADD_FILE_PATH, std::string_view upload_dir,
                  long board, long sel_no, long slot, const UploadName& upload) {
  const std::string board_part = std::string(ADD_FILE_PATH) + std::to_string(board);
  const std::string message_part = board_part + "/x" + std::to_string(sel_no);
  const std::string slot_dir = attachment_dir(ADD_FILE_PATH, board, sel_no, slot);
  if (!ensure_directory(board_part) || !ensure_directory(message_part) ||
      !ensure_directory(slot_dir)) {
    return false;
  }
  // The file is on disk before the record that names it is written.
  const std::string target = slot_dir + upload.file_name;
  return filemove(w, editpath(upload.temp_name, upload_dir), target) && sync_file(target);
}

}  // namespace plazet
