// Form input of a request: the query string of a GET, or the body of a POST
// (URL-encoded or multipart/form-data), read once into an ordered list of
// fields. Uploaded files are stored as "CGI<n>" files in the working
// directory; the field's value is "<browser's file name>,CGI<n>".
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace plazet {

// The CGI variables the program reads. An absent variable is empty.
struct CgiEnv {
  std::string REQUEST_METHOD;
  std::string QUERY_STRING;
  std::string CONTENT_LENGTH;
  std::string CONTENT_TYPE;
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;

  [[nodiscard]] static CgiEnv from_environment();
};

struct FormField {
  std::string name;
  std::string value;
  // For an upload this request stored: the temporary file it created
  // ("CGI<n>"). Empty for every other field, whatever its value says.
  std::string upload_temp;
};

class FormInput {
 public:
  static constexpr std::size_t kMaxNameBytes = 999;
  static constexpr std::size_t kMaxTextValueBytes = 99998;
  // A request larger than this, or with more file parts, is refused whole
  // before anything of it is kept (the web server may set a lower limit).
  static constexpr long kMaxBodyBytes = 64L * 1024 * 1024;
  static constexpr int kMaxFileParts = 100;
  static constexpr int kTooLarge = -3;

  // Reads the request's input. 0 when done (also without input), -1 when
  // memory ran out, -2 for a POST without a positive CONTENT_LENGTH,
  // kTooLarge for a body or a number of files over the limits (no fields,
  // no files). Upload files go to `upload_dir`. The body is read from
  // `body_fd`, never more than CONTENT_LENGTH bytes.
  int cgi_get(const CgiEnv& env, int body_fd, const std::string& upload_dir);

  // False when the body ended before CONTENT_LENGTH or before the closing
  // delimiter: the part cut short was dropped, and what stores a posting
  // must not trust the rest either.
  [[nodiscard]] bool complete() const { return complete_; }

  // Removes the upload files this request's parser created that are still
  // there (a handler that takes one moves it away).
  void remove_uploads(const std::string& upload_dir) const;

  // The value of the index-th field named `name` (from 0, in arrival
  // order), or "" when there is none.
  [[nodiscard]] std::string cgi_getvalue(std::string_view name, std::size_t index = 0) const;
  // That value's leading decimal number, as atol reads it (0 when none).
  [[nodiscard]] long number(std::string_view name, std::size_t index = 0) const;
  [[nodiscard]] const FormField* field(std::string_view name, std::size_t index = 0) const;

  // True only for a temporary file name that this request's parser created;
  // a name typed into an ordinary field never qualifies.
  [[nodiscard]] bool is_own_upload(std::string_view temp_name) const;

  [[nodiscard]] const std::vector<FormField>& fields() const { return fields_; }
  void add(std::string name, std::string value) {
    fields_.push_back({std::move(name), std::move(value), {}});
  }

 private:
  void parse_urlencoded(std::string text);
  int parse_multipart(const CgiEnv& env, int body_fd, std::size_t length,
                      const std::string& upload_dir);

  std::vector<FormField> fields_;
  bool complete_ = true;
};

// "%41" -> "A": a "%" and the two characters after it become one byte.
[[nodiscard]] std::string percent_decode(std::string_view text);

// Removes upload files ("CGI..." in any letter case) of `upload_dir` not
// accessed for an hour: leftovers of forms that were never completed.
void sweep_upload_files(const std::string& upload_dir, std::time_t now);

}  // namespace plazet
