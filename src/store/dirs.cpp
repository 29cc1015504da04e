#include "store/dirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "store/paths.h"

namespace plazet {

bool ensure_directory(const std::string& path, mode_t mode) {
  if (::mkdir(path.c_str(), mode) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DelDIR(const WriteToken& token, const std::string& path) {
  // A link in place of the directory is not followed.
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(dir);
  bool emptied = true;
  for (const std::string& name : names) {
    std::string entry = editpath(name, path);
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0) {
      emptied = emptied && errno == ENOENT;
    } else if (S_ISDIR(st.st_mode)) {
      emptied = remove_directory(token, entry) && emptied;
    } else {
      emptied = (::unlink(entry.c_str()) == 0 || errno == ENOENT) && emptied;
    }
  }
  return emptied;
}

bool remove_directory(const WriteToken& token, const std::string& path) {
  const bool emptied = DelDIR(token, path);
  if (::rmdir(path.c_str()) == 0) return true;
  return emptied && errno == ENOENT;
}

}  // namespace plazet
