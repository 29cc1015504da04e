// Pieces the administration pages share: their refusal, one-button forms,
// the script that checks required fields, and reading form values and
// uploads.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "boards/uploads.h"
#include "frame/page_kit.h"
#include "frame/request.h"

namespace plazet {

// The page for a user who may not see an administration page: the page
// opening, text 3 and the back button.
void admin_refusal(Request& req);

// A multipart form posting JOB `job` with one submit button "SUB" labelled
// `caption`; with `extra_name` one more hidden field.
void print_job_button(Request& req, std::string_view job, const Html& caption,
                      const Html& extra_name = Html(), std::string_view extra_value = {});

// A table cell ("<TD>...</TD>") holding a job button for each pair of job and
// caption text.
void print_job_button_cells(Request& req,
                            std::initializer_list<std::pair<std::string_view, int>> buttons);

// A button that goes back in the browser's history, labelled text 4.
void print_back_button(Request& req);

// A one-byte character of `chars` in `text` (two-byte characters are never
// taken apart, so a trail byte is not mistaken for one).
[[nodiscard]] bool holds_any(std::string_view text, std::string_view chars);

// A byte of `chars` anywhere in `text`, even where it would be the second
// byte of a two-byte character: the line files are cut at commas and line
// feeds byte by byte, and the file system reads "/" in the same way.
[[nodiscard]] inline bool holds_byte(std::string_view text, std::string_view chars) {
  return text.find_first_of(chars) != std::string_view::npos;
}

// `text` without its trailing spaces.
[[nodiscard]] std::string without_trailing_spaces(std::string text);

// The file uploaded in the file field `field` of this request: its name
// without directories and the parser's temporary file. nullopt when the
// field carries none, or the name is "", "." or "..".
[[nodiscard]] std::optional<UploadName> own_upload(const Request& req, std::string_view field);

}  // namespace plazet
