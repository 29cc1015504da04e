// The language table: 400 numbered texts of at most 99 bytes, loaded from a
// language file ("N,text," a line). Every visible wording of the pages comes
// from here by number; texts are printed as they stand.
#pragma once

#include <array>
#include <string>

namespace plazet {

class STRDEF {
 public:
  static constexpr int kCount = 400;
  static constexpr std::size_t kTextCapacity = 100;

  // Text n, or "" for an empty slot or a number outside the table.
  [[nodiscard]] const char* text(int n) const {
    return n > 0 && n < kCount ? texts_[static_cast<std::size_t>(n)].c_str() : "";
  }
  void clear();

  // Loads a language file (a name relative to the working directory). When
  // it cannot be opened the table is left as it is and false is returned.
  bool StrdefFileOpen(const std::string& path);

 private:
  std::array<std::string, kCount> texts_;
};

}  // namespace plazet
