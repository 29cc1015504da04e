#include "frame/strdef.h"

#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"

namespace plazet {

void STRDEF::clear() {
  for (std::string& t : texts_) t.clear();
}

bool STRDEF::StrdefFileOpen(const std::string& path) {
  std::optional<std::string> data = read_file(path);
  if (!data) return false;
  clear();
  LineReader lines(*data, 1001);
  while (std::optional<std::string_view> line = lines.next()) {
    std::vector<std::string_view> tokens = split_tokens(*line, ",\n", 2);
    if (tokens.size() < 2) continue;
    long n = atol_prefix(tokens[0]);
    if (n >= 1 && n < kCount)
      texts_[static_cast<std::size_t>(n)] = fit_field(tokens[1], kTextCapacity);
  }
  return true;
}

}  // namespace plazet
