#include "frame/output.h"

#include <cstdarg>
#include <cstdio>

namespace plazet {

void Output::append_formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    buf_.append(small, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    std::size_t at = buf_.size();
    buf_.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf_.data() + at, static_cast<std::size_t>(n) + 1, format, again);
    buf_.resize(at + static_cast<std::size_t>(n));
  }
  va_end(again);
}

}  // namespace plazet
