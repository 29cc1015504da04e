#include "admin/admin_kit.h"

#include <unistd.h>

#include "store/paths.h"
#include "text/sjis.h"

namespace plazet {

void admin_refusal(Request& req) {
  header_printf(req);
  print_body(req);
  print_refusal_text(req);
}

void print_job_button(Request& req, std::string_view job, const Html& caption,
                      const Html& extra_name, std::string_view extra_value) {
  open_job_form(req, job);
  if (!extra_name.empty()) print_hidden(req, extra_name, extra_value);
  print_submit(req, caption);
  close_form(req);
}

void print_job_button_cells(Request& req,
                            std::initializer_list<std::pair<std::string_view, int>> buttons) {
  for (const auto& [job, caption] : buttons) {
    req.out.printf("<TD>");
    print_job_button(req, job, req.text(caption));
    req.out.printf("</TD>\n");
  }
}

void print_back_button(Request& req) {
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\" onClick=\"history.back()\">\n", req.text(4));
}

bool holds_any(std::string_view text, std::string_view chars) {
  for (std::size_t i = 0; i < text.size(); i += sjis_char_len(text, i)) {
    if (sjis_char_len(text, i) == 1 && chars.find(text[i]) != std::string_view::npos) return true;
  }
  return false;
}

std::string without_trailing_spaces(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::optional<UploadName> own_upload(const Request& req, std::string_view field) {
  const FormField* f = req.form.field(field);
  if (!f || f->upload_temp.empty()) return std::nullopt;
  std::optional<UploadName> upload = cut_filename(req.form, f->value);
  // Only the file uploaded in this very field counts.
  if (!upload || upload->temp_name != f->upload_temp) return std::nullopt;
  return upload;
}

}  // namespace plazet
