#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "frame/form.h"
#include "store/file_io.h"
#include "data_dir_test.h"

namespace plazet {
namespace {

using testing::TempDir;

// The request body as the web server hands it over: a descriptor.
class Body {
 public:
  explicit Body(const std::string& data) : fd_(::memfd_create("body", 0)) {
    EXPECT_TRUE(write_all(fd_.get(), data));
    ::lseek(fd_.get(), 0, SEEK_SET);
  }
  [[nodiscard]] int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

CgiEnv get(const std::string& query) {
  CgiEnv env;
  env.REQUEST_METHOD = "GET";
  env.QUERY_STRING = query;
  return env;
}

CgiEnv post(const std::string& type, std::size_t length) {
  CgiEnv env;
  env.REQUEST_METHOD = "post";
  env.CONTENT_TYPE = type;
  env.CONTENT_LENGTH = std::to_string(length);
  return env;
}

const std::string kType = "multipart/form-data; boundary=----XyZ";

std::string text_part(const std::string& name, const std::string& value) {
  return "------XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

std::string file_part(const std::string& name, const std::string& file, const std::string& data,
                      const std::string& extra_headers = "Content-Type: image/gif\r\n") {
  return "------XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
         "\"\r\n" + extra_headers + "\r\n" + data + "\r\n";
}

const std::string kEnd = "------XyZ--\r\n";

int parse(FormInput& form, const CgiEnv& env, const std::string& body, const TempDir& dir) {
  Body b(body);
  return form.cgi_get(env, b.fd(), dir.prefix());
}

// Every field as "name=value", " | " between.
std::string dump(const FormInput& form) {
  std::string out;
  for (const auto& f : form.fields()) out += (out.empty() ? "" : " | ") + f.name + "=" + f.value;
  return out;
}

// A request, what cgi_get returns, the fields it leaves and the first upload file.
struct FormCase {
  const char* name;
  CgiEnv env;
  std::string body;
  int result;
  std::string fields;
  std::string upload = "-";  // CGI0, "-" for none
};

TEST(FormTest, RequestsGiveTheirFields) {
  const std::string text = text_part("JOB", "ROOM") + text_part("empty", "") + text_part("TITLE", "a\r\nb \x82\xa0") + kEnd;
  const std::string big = text_part("big", std::string(100000, 'v')) + text_part("exact", std::string(99998, 'w')) + kEnd;
  const std::string two = text_part("a", "1") + text_part("b", "2") + kEnd;
  const std::string full = text_part("a", "1") + file_part("F", "f.bin", std::string(5000, 'z')) + text_part("b", "2") + kEnd;
  const std::string late = "preamble\r\n" + text_part("a", "1") + kEnd + text_part("late", "x");
  const std::string extra = file_part("F", "a.txt", "DATA", "Content-Type: text/plain\r\nX-Extra: 1\r\n") + kEnd;
  const std::string bare = file_part("F", "a.txt", "DATA", "") + kEnd;
  const std::string unnamed = file_part("FILE1", "", "ignored") + kEnd;
  const std::string forged = text_part("FILE1", "x.gif,plazet.ini") + kEnd;
  CgiEnv negative = post("application/x-www-form-urlencoded", 0), head = get("a=1");
  negative.CONTENT_LENGTH = "-5";
  head.REQUEST_METHOD = "HEAD";
  const FormCase cases[] = {
      {"repeated and valueless", get("a=1&a=2&b"), "", 0, "a=1 | a=2 | b="},
      // A non-hex digit follows the decoding arithmetic: 16*35+35 for "zz".
      {"plus, percent, empty pieces", get("v=x+y%2Bz&%41=q=r&&t=%zz&"), "", 0, "v=x y+z | A=q=r | = | t=\x53"},
      {"JIS and EUC arrive as Shift-JIS", get("j=%1B%24B%24%22%1B%28B&e=%A4%A2&s=%82%A0%0C"), "", 0, "j=\x82\xa0 | e=\x82\xa0 | s=\x82\xa0\x0c"},
      {"NUL ends a value", get("v=ab%00cd"), "", 0, "v=ab"},
      {"post reads exactly the length", post("Application/X-WWW-Form-Urlencoded", 9), "uid=a&b=cEXTRA", 0, "uid=a | b=c"},
      {"post of length zero", post("application/x-www-form-urlencoded", 0), "a=1", -2, ""},
      {"negative length", negative, "a=1", -2, ""},
      {"HEAD", head, "", 0, ""},
      {"empty query", get(""), "", 0, ""},
      {"charset parameter makes it multipart", post("application/x-www-form-urlencoded; charset=UTF-8", 7), "a=1&b=2", 0, ""},
      {"text parts keep their bytes", post(kType, text.size()), text, 0, "JOB=ROOM | empty= | TITLE=a\r\nb \x82\xa0"},
      {"long values cut to 99998 bytes", post(kType, big.size()), big, 0, "big=" + std::string(99998, 'v') + " | exact=" + std::string(99998, 'w')},
      {"one extra header line ends up in the file", post(kType, extra.size()), extra, 0, "F=a.txt,CGI0", "\r\nDATA"},
      {"part without a type line", post(kType, bare.size()), bare, 0, "F=a.txt,CGI0", "DATA"},
      {"empty file name: empty value, no file", post(kType, unnamed.size()), unnamed, 0, "FILE1="},
      {"a text field may look like an upload", post(kType, forged.size()), forged, 0, "FILE1=x.gif,plazet.ini"},
      {"no boundary", post("multipart/form-data", two.size()), two, 0, ""},
      {"truncated body keeps whole fields, no half file", post(kType, full.size()), full.substr(0, full.find(std::string(5000, 'z')) + 2000), 0, "a=1"},
      {"length ends the read", post(kType, two.find("------XyZ", 5) + 11), two, 0, "a=1"},
      {"preamble skipped, closing delimiter ends", post(kType, late.size()), late, 0, "a=1"},
  };
  for (const FormCase& c : cases) {
    TempDir dir;
    FormInput form;
    EXPECT_EQ(parse(form, c.env, c.body, dir), c.result) << c.name;
    EXPECT_EQ(dump(form), c.fields) << c.name;
    EXPECT_EQ(dir.exists("CGI0") ? dir.read("CGI0") : "-", c.upload) << c.name;
  }
}

TEST(FormTest, NamesAreCutAndLookedUpExactly) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, get(std::string(1200, 'n') + "=1&a=1&a=2"), "", dir), 0);
  EXPECT_EQ(form.fields()[0].name.size(), 999u);
  EXPECT_EQ(form.cgi_getvalue("a", 1), "2");
  EXPECT_EQ(form.cgi_getvalue("a", 2), "");
  EXPECT_EQ(form.cgi_getvalue("A"), "");
  EXPECT_FALSE(form.is_own_upload("plazet.ini"));
  EXPECT_FALSE(form.is_own_upload(""));
}

TEST(MultipartTest, UploadsKeepExactlyTheirDataBytes) {
  for (std::size_t size : {0u, 1u, 999u, 1000u, 1001u, 70000u, 200000u}) {
    TempDir dir;
    FormInput form;
    std::string data;
    for (std::size_t i = 0; i < size; ++i) data += static_cast<char>((i * 7 + size) & 0xFF);
    std::string body =
        file_part("FILE1", "C:\\photo\\a.jpg", data) + text_part("after", "x") + kEnd;
    ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
    EXPECT_EQ(form.cgi_getvalue("FILE1"), "C:\\photo\\a.jpg,CGI0") << size;
    EXPECT_EQ(dir.read("CGI0"), data) << size;
    EXPECT_EQ(form.cgi_getvalue("after"), "x") << size;
    EXPECT_TRUE(form.is_own_upload("CGI0"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("CGI0").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

TEST(MultipartTest, TemporaryNamesTakeTheSmallestFreeNumber) {
  TempDir dir;
  dir.write("CGI0", "someone else's");
  dir.write("CGI1", "someone else's");
  FormInput form;
  std::string body = file_part("F", "a", "one") + file_part("G", "b", "two") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(form.cgi_getvalue("F"), "a,CGI2");
  EXPECT_EQ(form.cgi_getvalue("G"), "b,CGI3");
  EXPECT_EQ(dir.read("CGI0"), "someone else's");
  ::unlink(dir.file("CGI0").c_str());
  FormInput again;
  ASSERT_EQ(parse(again, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(again.cgi_getvalue("F"), "a,CGI0");
  EXPECT_EQ(again.cgi_getvalue("G"), "b,CGI4");
}

TEST(UploadSweepTest, RemovesOnlyUploadFilesUnusedForAnHour) {
  TempDir dir;
  dir.write("CGI0", "old");
  dir.write("cgi7", "old");
  dir.write("CGI1", "fresh");
  dir.write("other", "old");
  std::time_t now = std::time(nullptr);
  for (const char* name : {"CGI0", "cgi7", "other"}) {
    struct utimbuf times {
      now - 3601, now - 3601
    };
    ASSERT_EQ(::utime(dir.file(name).c_str(), &times), 0);
  }
  sweep_upload_files(dir.prefix(), now);
  EXPECT_FALSE(dir.exists("CGI0"));
  EXPECT_FALSE(dir.exists("cgi7"));
  EXPECT_TRUE(dir.exists("CGI1"));
  EXPECT_TRUE(dir.exists("other"));
}

}  // namespace
}  // namespace plazet
