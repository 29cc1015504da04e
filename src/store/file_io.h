// Whole-file reads and writes on descriptors; every data file is read with
// one pass into memory and parsed from there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/fd.h"

namespace plazet {

// Opens a file for reading and writing; when it is missing, creates it empty
// with mode 0600 (never truncates). A missing record file therefore reads as
// empty and is left behind empty, which is not counted as a write.
[[nodiscard]] UniqueFd b_open(const std::string& path);

// The same for the comma-separated text masters, which are created with the
// process's default permissions (0666 less the umask).
[[nodiscard]] UniqueFd open_text_master(const std::string& path);

// Reads a freshly opened descriptor (positioned at its start) to the end.
[[nodiscard]] std::optional<std::string> read_all(int fd);

// Reads a whole file; nullopt when it cannot be opened for reading.
[[nodiscard]] std::optional<std::string> read_file(const std::string& path);

// Writes every byte, retrying short writes and EINTR.
[[nodiscard]] bool write_all(int fd, std::string_view data);

[[nodiscard]] bool file_exists(const std::string& path);

// Reads the file `name` of the open directory `dir_fd`: the contents, or
// nullopt with `missing` telling a file that is not there from one that
// cannot be read. For many small files of one directory (read marks), it
// saves the path lookup and the size query of read_file.
[[nodiscard]] std::optional<std::string> read_file_at(int dir_fd, const char* name, bool& missing);

}  // namespace plazet
