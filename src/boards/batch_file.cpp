#include "boards/batch_file.h"

#include <initializer_list>

#include "boards/uploads.h"
#include "text/html_text.h"
#include "text/sjis.h"

namespace plazet {
namespace {

// The number after the first `skip` characters of a line.
long number_after(std::string_view line, int skip) {
  std::size_t at = 0;
  for (int i = 0; i < skip && at < line.size(); ++i) at += sjis_char_len(line, at);
  return atol_prefix(line.substr(at));
}

// A value the posting form can send, else `fallback`.
std::int32_t choice(long value, std::initializer_list<std::int32_t> allowed,
                    std::int32_t fallback) {
  for (std::int32_t a : allowed) {
    if (a == value) return a;
  }
  return fallback;
}

std::string_view without_lf(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

}  // namespace

std::optional<BatchBlock> BatchFile::batch_upload_get() {
  if (ended_) return std::nullopt;
  std::optional<std::string_view> line;
  while ((line = lines_.next()) && !line->starts_with(";board")) {
  }
  const long board = line ? atol_prefix(line->substr(6)) : 0;
  if (board == 0) {
    ended_ = true;
    return std::nullopt;
  }

  BatchBlock block;
  INDEX_DATA& r = block.record;
  r.FOLDER_NO = static_cast<std::int32_t>(board);
  auto next = [&] { return lines_.next().value_or(std::string_view()); };
  r.SEL_NO = static_cast<std::int32_t>(number_after(next(), 3));
  r.WRITE_TITLE = fit_text_field(without_lf(next()), INDEX_DATA::kTitleWidth);
  r.WRITE_PRIORITY = choice(number_after(next(), 3), {0, 1, 2}, 0);

  // Each line with its own line end, then LF and CR; the LFs go at the end.
  std::string work;
  while ((line = lines_.next()) && !line->starts_with("..")) {
    if (work.size() < kBodyBuffer) {
      work.append(line->substr(0, line->find('\0')));  // a NUL ends the line's text
      work.append("\n\r");
    }
  }
  block.body = CrLf_to_Cr(fit_text_field(work, kBodyBuffer));

  r.READ_CHK = choice(number_after(next(), 4), {1, 2}, 1);
  r.HTML_MODE = choice(number_after(next(), 4), {0, 1, 2}, 0);
  return block;
}

}  // namespace plazet
