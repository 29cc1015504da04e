// Finding messages by words in their title and body and by the writer's
// name, as the search page asks.
//
// CONDITION holds up to 10 words in slots of 252 bytes: each word runs to
// the next one-byte blank (a two-byte blank does not cut), the next starts
// after that blank, and consecutive blanks give empty words, which take a
// slot but are ignored; a longer word is cut to 251 bytes, never inside a
// two-byte character. A word or WRITER is found as StrFind finds it: byte
// for byte, letter case counting, at character starts only.
//
// STAT 1: a message is a hit when some word is in its title or body or,
// with WRITER given, when the writer's name contains WRITER.
// STAT 2: when every word is in the title or the body (CONDITION of blanks
// only: every message) and, with WRITER given, the writer's name contains
// it; with CONDITION empty the writer alone decides.
// CONDITION and WRITER both empty: nothing is a hit. Other STAT values find
// nothing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plazet {

class MessageSearch {
 public:
  static constexpr std::size_t kWordSlots = 10;
  static constexpr std::size_t kWordWidth = 252;

  MessageSearch(std::string_view CONDITION, std::string_view WRITER, long STAT);

  // The word slots CONDITION fills, empty ones included.
  [[nodiscard]] const std::vector<std::string>& words() const { return words_; }

  // Whether a message is a hit. `body` is asked only when the title did not
  // decide; `writer_name` only when the writer can still decide, and gives
  // nullopt for a writer who no longer exists (who matches nothing).
  [[nodiscard]] bool matches(std::string_view title, const std::function<std::string_view()>& body,
                             const std::function<std::optional<std::string>()>& writer_name) const;

 private:
  enum Verdict { kNone = 0, kHit = 1, kAllWordsFound = 2 };
  // Looks for the words not found yet in `text`; found ones are emptied.
  [[nodiscard]] Verdict pass(std::string_view text, std::vector<std::string>& open) const;

  bool has_condition_;
  std::vector<std::string> words_;
  std::string writer_;
  long stat_;
};

}  // namespace plazet
