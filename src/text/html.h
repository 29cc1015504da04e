// Text that may be printed into a page as it stands. Only the escaping
// helpers (html_attr, html_textarea, url_query, url_segment), the sanitiser
// and the program's own literals make one; the page writer takes nothing
// else for "%s", so a value that skipped its escaping does not compile.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace plazet {

class Html {
 public:
  Html() = default;
  // The program's own markup and constants: string literals only.
  template <std::size_t N>
  Html(const char (&literal)[N]) : text_(literal) {}  // NOLINT: implicit by design

  // Texts the installation wrote for its pages: the language table, the
  // site block "link.html". They are printed as they stand.
  [[nodiscard]] static Html of_installation(std::string_view text) {
    return Html(std::string(text));
  }

  [[nodiscard]] const std::string& str() const { return text_; }
  [[nodiscard]] const char* c_str() const { return text_.c_str(); }
  [[nodiscard]] bool empty() const { return text_.empty(); }
  [[nodiscard]] std::size_t size() const { return text_.size(); }

  Html& operator+=(const Html& more) {
    text_ += more.text_;
    return *this;
  }
  friend Html operator+(Html a, const Html& b) { return a += b; }
  friend bool operator==(const Html& a, std::string_view b) { return a.text_ == b; }

 private:
  explicit Html(std::string text) : text_(std::move(text)) {}

  friend Html html_attr(std::string_view text);
  friend Html html_textarea(std::string_view text);
  friend Html url_query(std::string_view text);
  friend Html url_segment(std::string_view text);
  friend Html sanitize_html(std::string_view text);

  std::string text_;
};

}  // namespace plazet
