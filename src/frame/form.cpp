#include "frame/form.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <new>

#include "store/fd.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/kanji_code.h"

namespace plazet {
namespace {

std::string env_or_empty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Texts are NUL-terminated in the data files, so a NUL ends a form value.
std::string cut_at_nul(std::string text) {
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::size_t find_ignoring_case(std::string_view text, std::string_view pattern, std::size_t from) {
  for (std::size_t i = from; i + pattern.size() <= text.size(); ++i) {
    if (equals_ignoring_case(text.substr(i, pattern.size()), pattern)) return i;
  }
  return std::string_view::npos;
}

int hex_digit(unsigned char c) {
  return c >= 'A' ? (c & 0xDF) - 55 : c - 48;
}

// Buffered reader of the request body that never consumes more than the
// announced length.
class BodyReader {
 public:
  BodyReader(int fd, std::size_t length) : fd_(fd), remaining_(length) {}

  // Next byte, or -1 at the end of input.
  int get() {
    if (pos_ == buf_.size() && !fill()) return -1;
    return static_cast<unsigned char>(buf_[pos_++]);
  }

  // One line with its line feed (or up to the end of input); nullopt when
  // the input is already exhausted.
  std::optional<std::string> line() {
    std::string out;
    for (;;) {
      if (pos_ == buf_.size() && !fill()) break;
      std::string_view avail(buf_.data() + pos_, buf_.size() - pos_);
      std::size_t lf = avail.find('\n');
      std::size_t n = lf == std::string_view::npos ? avail.size() : lf + 1;
      out.append(avail.substr(0, n));
      pos_ += n;
      if (lf != std::string_view::npos) return out;
    }
    if (out.empty()) return std::nullopt;
    return out;
  }

  // Everything up to the end of input.
  std::string rest() {
    std::string out;
    do {
      out.append(buf_, pos_, std::string::npos);
      pos_ = buf_.size();
    } while (fill());
    return out;
  }

  // Passes every byte before the next `delim` to `sink` and consumes the
  // delimiter. False when the input ends first.
  bool copy_until(std::string_view delim, const std::function<void(std::string_view)>& sink) {
    for (;;) {
      std::string_view avail(buf_.data() + pos_, buf_.size() - pos_);
      std::size_t at = avail.find(delim);
      if (at != std::string_view::npos) {
        if (at > 0) sink(avail.substr(0, at));
        pos_ += at + delim.size();
        return true;
      }
      // Keep what could still be the start of a delimiter.
      std::size_t safe = avail.size() >= delim.size() ? avail.size() - (delim.size() - 1) : 0;
      if (safe > 0) sink(avail.substr(0, safe));
      pos_ += safe;
      if (!fill()) return false;
    }
  }

 private:
  // Appends the next chunk of input after what is left unread.
  bool fill() {
    buf_.erase(0, pos_);
    pos_ = 0;
    while (remaining_ > 0) {
      char chunk[65536];
      std::size_t want = std::min(remaining_, sizeof chunk);
      ssize_t n = ::read(fd_, chunk, want);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        cut_short_ = true;
        remaining_ = 0;
        break;
      }
      remaining_ -= static_cast<std::size_t>(n);
      buf_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    return false;
  }

  int fd_;
  std::size_t remaining_;
  std::string buf_;
  std::size_t pos_ = 0;
  bool cut_short_ = false;

 public:
  // The input ended before the announced length.
  [[nodiscard]] bool cut_short() const { return cut_short_; }
};

// A part's data ends with the line break before the delimiter: those two
// bytes are held back from every sink and dropped at the end.
class TextSink {
 public:
  void operator()(std::string_view data) {
    total_ += data.size();
    std::size_t room = kKeep - std::min(kKeep, kept_.size());
    kept_.append(data.substr(0, room));
  }
  std::string value() const {
    std::size_t n = total_ >= 2 ? total_ - 2 : 0;
    return kept_.substr(0, std::min(n, FormInput::kMaxTextValueBytes));
  }

 private:
  static constexpr std::size_t kKeep = FormInput::kMaxTextValueBytes + 2;
  std::string kept_;
  std::size_t total_ = 0;
};

class FileSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  void operator()(std::string_view data) {
    held_.append(data);
    if (held_.size() > 2) {
      if (!write_all(fd_, std::string_view(held_).substr(0, held_.size() - 2))) failed_ = true;
      held_.erase(0, held_.size() - 2);
    }
  }
  [[nodiscard]] bool failed() const { return failed_; }

 private:
  int fd_;
  std::string held_;
  bool failed_ = false;
};

// Creates the smallest free "CGI<n>" from `next` on with O_EXCL, so two
// requests uploading at the same moment never share a file; `next` moves
// past it, so the parts of one request do not search the same names again.
UniqueFd claim_upload_file(const std::string& dir, int& next, std::string& name) {
  for (int n = next; n < 100000; ++n) {
    name = "CGI" + std::to_string(n);
    next = n + 1;
    std::string path = dir + "/" + name;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd) return fd;
    if (errno != EEXIST) break;
  }
  return UniqueFd();
}

// The quoted value after `key` in a header line: one character (the opening
// quote) is skipped, the value runs to the next double quote or line end.
// The media type of a CONTENT_TYPE, without its parameters.
std::string_view media_type(std::string_view type) {
  type = type.substr(0, type.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  return type;
}

// The boundary parameter: quoted or plain, up to the next parameter.
std::string_view boundary_of(std::string_view type) {
  std::size_t at = find_ignoring_case(type, "boundary=", 1);
  if (at == std::string_view::npos) return {};
  std::string_view value = type.substr(at + 9);
  if (value.starts_with('"')) {
    value.remove_prefix(1);
    return value.substr(0, value.find('"'));
  }
  value = value.substr(0, value.find_first_of("]; \t"));
  return value;
}

std::string quoted_after(std::string_view line, std::size_t key_end, std::size_t& value_end) {
  std::size_t start = std::min(key_end + 1, line.size());
  std::size_t end = line.find_first_of("\"\n", start);
  if (end == std::string_view::npos) end = line.size();
  value_end = end;
  return std::string(line.substr(start, end - start));
}

}  // namespace

CgiEnv CgiEnv::from_environment() {
  return CgiEnv{env_or_empty("REQUEST_METHOD"), env_or_empty("QUERY_STRING"),
                env_or_empty("CONTENT_LENGTH"), env_or_empty("CONTENT_TYPE"),
                env_or_empty("REMOTE_ADDR"),    env_or_empty("HTTP_USER_AGENT")};
}

std::string percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      auto c1 = static_cast<unsigned char>(text[i + 1]);
      auto c2 = static_cast<unsigned char>(text[i + 2]);
      out += static_cast<char>((16 * hex_digit(c1) + hex_digit(c2)) & 0xFF);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

int FormInput::cgi_get(const CgiEnv& env, int body_fd, const std::string& upload_dir) {
  fields_.clear();
  try {
    if (equals_ignoring_case(env.REQUEST_METHOD, "GET")) {
      if (!env.QUERY_STRING.empty()) parse_urlencoded(env.QUERY_STRING);
      return 0;
    }
    if (!equals_ignoring_case(env.REQUEST_METHOD, "POST")) return 0;
    long length = atol_prefix(env.CONTENT_LENGTH);
    if (length <= 0) return -2;
    if (length > kMaxBodyBytes) return kTooLarge;
    auto body_length = static_cast<std::size_t>(length);
    if (equals_ignoring_case(media_type(env.CONTENT_TYPE), "application/x-www-form-urlencoded")) {
      BodyReader body(body_fd, body_length);
      std::string text = body.rest();
      complete_ = !body.cut_short();
      parse_urlencoded(std::move(text));
      return 0;
    }
    return parse_multipart(env, body_fd, body_length, upload_dir);
  } catch (const std::bad_alloc&) {
    remove_uploads(upload_dir);
    fields_.clear();
    return -1;
  }
}

void FormInput::remove_uploads(const std::string& upload_dir) const {
  for (const FormField& f : fields_) {
    if (!f.upload_temp.empty()) ::unlink((upload_dir + "/" + f.upload_temp).c_str());
  }
}

void FormInput::parse_urlencoded(std::string text) {
  std::replace(text.begin(), text.end(), '+', ' ');
  std::string_view rest(text);
  while (!rest.empty()) {
    std::size_t amp = rest.find('&');
    std::string_view piece = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    std::size_t eq = piece.find('=');
    std::string name = percent_decode(piece.substr(0, eq));
    std::string value =
        eq == std::string_view::npos ? std::string() : percent_decode(piece.substr(eq + 1));
    AutoConvertToShiftJis(name);
    AutoConvertToShiftJis(value);
    name = cut_at_nul(std::move(name));
    if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
    fields_.push_back({std::move(name), cut_at_nul(std::move(value)), {}});
  }
}

int FormInput::parse_multipart(const CgiEnv& env, int body_fd, std::size_t length,
                               const std::string& upload_dir) {
  const std::string_view boundary = boundary_of(env.CONTENT_TYPE);
  if (boundary.empty() || boundary.size() > 200) return 0;
  const std::string delim = "--" + std::string(boundary);

  BodyReader body(body_fd, length);
  // Whatever ends the body early, the part being read is dropped.
  struct CutShort {
    bool& complete;
    bool done = false;
    ~CutShort() { complete = done; }
  } cut{complete_};
  auto discard = [](std::string_view) {};
  if (!body.copy_until(delim, discard)) return 0;
  int file_parts = 0;
  int next_upload = 0;

  // After each delimiter: "--" closes the body, a line break opens a part.
  bool closed = false;
  auto more_parts = [&body, &closed] {
    body.get();
    int second = body.get();
    closed = second == '-';
    return second != -1 && !closed;
  };

  while (more_parts()) {
    std::optional<std::string> header;
    std::size_t name_at = std::string::npos;
    while ((header = body.line())) {
      name_at = header->find("name=");
      if (name_at != std::string::npos) break;
    }
    if (!header) return 0;

    std::size_t name_end = 0;
    std::string name = quoted_after(*header, name_at + 5, name_end);
    if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
    std::size_t file_at = header->find("filename=", name_end);
    bool upload = file_at != std::string::npos;
    std::string file_name;
    if (upload) {
      std::size_t file_end = 0;
      file_name = quoted_after(*header, file_at + 9, file_end);
      if (file_name.size() > kMaxNameBytes) file_name.resize(kMaxNameBytes);
    }

    // The header ends with an empty line; at most one more header line
    // (such as the part's Content-Type) may stand before it.
    int c = body.get();
    if (c == -1) return 0;
    if (c != '\r') (void)body.line();
    (void)body.line();

    if (!upload) {
      TextSink sink;
      if (!body.copy_until(delim, std::ref(sink))) return 0;
      fields_.push_back({cut_at_nul(std::move(name)), cut_at_nul(sink.value()), {}});
      continue;
    }
    if (file_name.empty()) {
      if (!body.copy_until(delim, discard)) return 0;
      fields_.push_back({std::move(name), std::string(), {}});
      continue;
    }
    if (++file_parts > kMaxFileParts) {
      remove_uploads(upload_dir);
      fields_.clear();
      return kTooLarge;
    }

    std::string temp;
    bool complete = false;
    bool stored = false;
    if (UniqueFd fd = claim_upload_file(upload_dir, next_upload, temp)) {
      FileSink sink(fd.get());
      complete = body.copy_until(delim, std::ref(sink));
      stored = complete && !sink.failed();
      fd.reset();
      // A body cut short leaves no half file behind to become an attachment.
      if (!stored) ::unlink((upload_dir + "/" + temp).c_str());
    } else {
      complete = body.copy_until(delim, discard);
    }
    if (!complete) return 0;
    fields_.push_back({std::move(name), file_name + "," + temp, stored ? temp : std::string()});
  }
  cut.done = closed;
  return 0;
}

long FormInput::number(std::string_view name, std::size_t index) const {
  return atol_prefix(cgi_getvalue(name, index));
}

std::string FormInput::cgi_getvalue(std::string_view name, std::size_t index) const {
  const FormField* f = field(name, index);
  return f ? f->value : std::string();
}

const FormField* FormInput::field(std::string_view name, std::size_t index) const {
  for (const FormField& f : fields_) {
    if (f.name == name && index-- == 0) return &f;
  }
  return nullptr;
}

bool FormInput::is_own_upload(std::string_view temp_name) const {
  if (temp_name.empty()) return false;
  return std::any_of(fields_.begin(), fields_.end(),
                     [&](const FormField& f) { return f.upload_temp == temp_name; });
}

void sweep_upload_files(const std::string& upload_dir, std::time_t now) {
  DIR* dir = ::opendir(upload_dir.c_str());
  if (!dir) return;
  while (dirent* entry = ::readdir(dir)) {
    if (::strncasecmp(entry->d_name, "CGI", 3) != 0) continue;
    std::string path = upload_dir + "/" + entry->d_name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_atime < now - 3600) ::remove(path.c_str());
  }
  ::closedir(dir);
}

}  // namespace plazet
