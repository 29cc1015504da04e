// Joining file names to directories.
#pragma once

#include <string>
#include <string_view>

namespace plazet {

// `directory` + "/" (unless it already ends with one) + `file_name`.
[[nodiscard]] inline std::string editpath(std::string_view file_name, std::string_view directory) {
  std::string path(directory);
  if (path.empty() || path.back() != '/') path += '/';
  path += file_name;
  return path;
}

}  // namespace plazet
