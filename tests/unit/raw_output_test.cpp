// Request values and stored user text must reach a page only through an
// escaping helper. This scans the sources' printf calls for such values
// passed as they are; a value prepared in a variable beforehand is the
// caller's to escape, which the page tests check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace plazet {
namespace {

// Values that come from the request or from user-written data files.
const char* const kRisky[] = {"cgi_getvalue(", ".SKEY",      ".JOB_EXE",   ".env.",
                              ".WRITE_TITLE",  ".USER_NAME", ".NAME",      ".WRITER",
                              ".FILE_NAME",    ".INFO",      ".DEFO",      ".E_MAIL_ADDR",
                              ".USER_ID",      ".BACKPIC",   ".TITLEPIC",  ".DIRPIC",
                              ".LOGOFF_URL",   ".BACK_GIF",  ".LOGIN_GIF", ".CG_FILE_WEB_PATH"};
const char* const kEscapes[] = {"html_attr(", "html_textarea(", "url_query(", "sanitize_html(",
                                "render_body("};

// The argument list of a call starting at `open` (just past "("), split at
// top-level commas.
std::vector<std::string> arguments(const std::string& text, std::size_t open) {
  std::vector<std::string> args(1);
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = open; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '\\') {
        args.back() += c;
        c = text[++i];
      } else if (c == '"') {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth-- == 0) break;
    } else if (c == ',' && depth == 0) {
      args.emplace_back();
      continue;
    }
    args.back() += c;
  }
  return args;
}

TEST(RawOutputTest, NoRequestValueOrUserTextIsPrintedUnescaped) {
  std::vector<std::string> findings;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(PLAZET_SOURCE "/src")) {
    if (entry.path().extension() != ".cpp") continue;
    std::ifstream in(entry.path());
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    for (std::size_t at = text.find(".printf("); at != std::string::npos;
         at = text.find(".printf(", at + 1)) {
      std::vector<std::string> args = arguments(text, at + 8);
      for (std::size_t i = 1; i < args.size(); ++i) {  // the format itself is a literal
        const std::string& arg = args[i];
        bool risky = false;
        for (const char* r : kRisky) risky = risky || arg.find(r) != std::string::npos;
        bool escaped = false;
        for (const char* e : kEscapes) escaped = escaped || arg.find(e) != std::string::npos;
        if (risky && !escaped) findings.push_back(entry.path().filename().string() + ": " + arg);
      }
    }
  }
  EXPECT_TRUE(findings.empty()) << [&] {
    std::string all;
    for (const std::string& f : findings) all += f + "\n";
    return all;
  }();
}

}  // namespace
}  // namespace plazet
