#include "store/file_find.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "store/paths.h"
#include "text/sjis.h"

namespace plazet {

bool check_name(std::string_view pattern, std::string_view name) {
  const std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) return pattern == name;
  const std::size_t last = pattern.size() - 1;
  if (star == 0) {
    const std::string_view rest = pattern.substr(1);
    const std::size_t second = rest.find('*');
    if (second == std::string_view::npos) {
      return name.size() > rest.size() && name.ends_with(rest);
    }
    // A star at both ends, none between them.
    if (second + 1 != rest.size()) return false;
    return name.find(rest.substr(0, second)) != std::string_view::npos;
  }
  if (star == last) return name.starts_with(pattern.substr(0, last));
  return false;
}

std::vector<std::string> filefind(const std::string& directory, std::string_view pattern) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return names;
  std::string wanted(pattern);
  ToUppers(wanted);
  while (const dirent* entry = ::readdir(dir)) {
    std::string upper = entry->d_name;
    ToUppers(upper);
    if (!check_name(wanted, upper)) continue;
    struct stat st {};
    if (::stat(editpath(entry->d_name, directory).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      continue;
    }
    names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace plazet
