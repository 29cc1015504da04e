#include "text/sjis.h"

namespace plazet {

std::optional<std::size_t> StrFind(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); i += sjis_char_len(text, i)) {
    if (text.compare(i, pattern.size(), pattern) == 0 && text.size() - i >= pattern.size()) {
      return i;
    }
  }
  return std::nullopt;
}

std::string cut_name(std::string_view text, char separator) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); i += sjis_char_len(text, i)) {
    if (text[i] == separator && sjis_char_len(text, i) == 1) start = i + 1;
  }
  return std::string(text.substr(start));
}

std::string fit_text_field(std::string_view text, std::size_t width) {
  text = text.substr(0, text.find('\0'));
  const std::size_t room = width == 0 ? 0 : width - 1;
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t next = i + sjis_char_len(text, i);
    if (next > room) break;
    end = i = next;
  }
  return std::string(text.substr(0, end));
}

void ToUppers(std::string& text) {
  for (std::size_t i = 0; i < text.size(); i += sjis_char_len(text, i)) {
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
  }
}

}  // namespace plazet
