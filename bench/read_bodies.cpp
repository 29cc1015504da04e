// The floor for a search that must look into every body: reads every
// message body (x<m>.dat) of every board directory below the current
// directory once, with one open and one read each, and prints how many
// bytes it read. Timed by cgi_timer against the search page.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main() {
  std::vector<char> buf(100000);
  long long bytes = 0;
  DIR* data = opendir(".");
  if (!data) return 1;
  while (dirent* board = readdir(data)) {
    if (board->d_name[0] < '0' || board->d_name[0] > '9') continue;
    int dir = open(board->d_name, O_RDONLY | O_DIRECTORY);
    DIR* files = dir >= 0 ? fdopendir(dir) : nullptr;
    if (!files) continue;
    while (dirent* f = readdir(files)) {
      const std::size_t n = std::strlen(f->d_name);
      if (f->d_name[0] != 'x' || n < 5 || std::strcmp(f->d_name + n - 4, ".dat") != 0) continue;
      int fd = openat(dirfd(files), f->d_name, O_RDONLY);
      if (fd < 0) continue;
      ssize_t got = read(fd, buf.data(), buf.size());
      if (got > 0) bytes += got;
      close(fd);
    }
    closedir(files);
  }
  closedir(data);
  std::printf("%lld\n", bytes);
  return 0;
}
