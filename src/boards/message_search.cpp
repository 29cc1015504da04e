#include "boards/message_search.h"

#include <algorithm>

#include "boards/uploads.h"
#include "text/sjis.h"

namespace plazet {

MessageSearch::MessageSearch(std::string_view CONDITION, std::string_view WRITER, long STAT)
    : has_condition_(!CONDITION.empty()), writer_(WRITER), stat_(STAT) {
  if (!has_condition_) return;
  std::string_view rest = CONDITION;
  while (words_.size() < kWordSlots) {
    const std::optional<std::size_t> blank = StrFind(rest, " ");
    words_.push_back(fit_text_field(rest.substr(0, blank.value_or(rest.size())), kWordWidth));
    if (!blank) break;
    rest.remove_prefix(*blank + 1);
  }
}

MessageSearch::Verdict MessageSearch::pass(std::string_view text,
                                           std::vector<std::string>& open) const {
  for (std::string& word : open) {
    if (word.empty() || !StrFind(text, word)) continue;
    if (stat_ == 1) return kHit;
    if (stat_ == 2) word.clear();
  }
  const bool all_found =
      std::all_of(open.begin(), open.end(), [](const std::string& w) { return w.empty(); });
  return stat_ == 2 && all_found ? kAllWordsFound : kNone;
}

bool MessageSearch::matches(std::string_view title, const std::function<std::string_view()>& body,
                            const std::function<std::optional<std::string>()>& writer_name) const {
  Verdict v = kNone;
  if (has_condition_) {
    std::vector<std::string> open = words_;
    v = pass(title, open);
    if (v == kNone) v = pass(body(), open);
  }
  if (writer_.empty()) return v != kNone;  // all words found is a hit by itself
  if (v == kHit) return true;
  // Only a found writer can still make a hit.
  const bool writer_decides =
      stat_ == 1 || (stat_ == 2 && (v == kAllWordsFound || (v == kNone && !has_condition_)));
  if (!writer_decides) return false;
  const std::optional<std::string> name = writer_name();
  return name && StrFind(*name, writer_).has_value();
}

}  // namespace plazet
