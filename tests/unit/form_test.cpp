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

TEST(UrlEncodedTest, RepeatedFieldsAndFieldsWithoutValue) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, get("a=1&a=2&b"), "", dir), 0);
  ASSERT_EQ(form.fields().size(), 3u);
  EXPECT_EQ(form.cgi_getvalue("a", 0), "1");
  EXPECT_EQ(form.cgi_getvalue("a", 1), "2");
  EXPECT_EQ(form.cgi_getvalue("a", 2), "");
  EXPECT_EQ(form.fields()[2].name, "b");
  EXPECT_EQ(form.cgi_getvalue("b"), "");
  EXPECT_EQ(form.cgi_getvalue("A"), "");  // names are case-sensitive
}

TEST(UrlEncodedTest, DecodingPlusPercentAndEmptyPieces) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, get("v=x+y%2Bz&%41=q=r&&t=%zz&"), "", dir), 0);
  ASSERT_EQ(form.fields().size(), 4u);
  EXPECT_EQ(form.cgi_getvalue("v"), "x y+z");
  EXPECT_EQ(form.cgi_getvalue("A"), "q=r");
  EXPECT_EQ(form.fields()[2].name, "");
  EXPECT_EQ(form.fields()[2].value, "");
  // Non-hex characters follow the decoding arithmetic: 16*(0x5A-55)+(0x5A-55).
  EXPECT_EQ(form.cgi_getvalue("t"), std::string(1, static_cast<char>((16 * 35 + 35) & 0xFF)));
}

TEST(UrlEncodedTest, JisAndEucValuesArriveAsShiftJis) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, get("j=%1B%24B%24%22%1B%28B&e=%A4%A2&s=%82%A0%0C"), "", dir), 0);
  EXPECT_EQ(form.cgi_getvalue("j"), "\x82\xa0");
  EXPECT_EQ(form.cgi_getvalue("e"), "\x82\xa0");
  EXPECT_EQ(form.cgi_getvalue("s"), "\x82\xa0\x0c");
}

TEST(UrlEncodedTest, PostReadsExactlyContentLength) {
  TempDir dir;
  FormInput form;
  CgiEnv env = post("Application/X-WWW-Form-Urlencoded", 9);
  ASSERT_EQ(parse(form, env, "uid=a&b=cEXTRA", dir), 0);
  EXPECT_EQ(form.cgi_getvalue("uid"), "a");
  EXPECT_EQ(form.cgi_getvalue("b"), "c");
}

TEST(UrlEncodedTest, MethodsAndLengths) {
  TempDir dir;
  FormInput form;
  EXPECT_EQ(parse(form, post("application/x-www-form-urlencoded", 0), "a=1", dir), -2);
  EXPECT_TRUE(form.fields().empty());
  CgiEnv negative = post("application/x-www-form-urlencoded", 0);
  negative.CONTENT_LENGTH = "-5";
  EXPECT_EQ(parse(form, negative, "a=1", dir), -2);
  CgiEnv head = get("a=1");
  head.REQUEST_METHOD = "HEAD";
  EXPECT_EQ(parse(form, head, "", dir), 0);
  EXPECT_TRUE(form.fields().empty());
  EXPECT_EQ(parse(form, get(""), "", dir), 0);
  EXPECT_TRUE(form.fields().empty());
}

TEST(UrlEncodedTest, CharsetParameterMakesItMultipartWithoutBoundary) {
  TempDir dir;
  FormInput form;
  std::string body = "a=1&b=2";
  ASSERT_EQ(
      parse(form, post("application/x-www-form-urlencoded; charset=UTF-8", body.size()), body, dir),
      0);
  EXPECT_TRUE(form.fields().empty());
}

TEST(UrlEncodedTest, NamesAreCutAndNulEndsAValue) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, get(std::string(1200, 'n') + "=1&v=ab%00cd"), "", dir), 0);
  EXPECT_EQ(form.fields()[0].name.size(), 999u);
  EXPECT_EQ(form.cgi_getvalue("v"), "ab");
}

TEST(MultipartTest, TextFieldsKeepTheirBytes) {
  TempDir dir;
  FormInput form;
  std::string body = text_part("JOB", "ROOM") + text_part("empty", "") +
                     text_part("TITLE", "a\r\nb \x82\xa0") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  ASSERT_EQ(form.fields().size(), 3u);
  EXPECT_EQ(form.cgi_getvalue("JOB"), "ROOM");
  EXPECT_EQ(form.cgi_getvalue("empty"), "");
  EXPECT_EQ(form.cgi_getvalue("TITLE"), "a\r\nb \x82\xa0");
  EXPECT_EQ(form.cgi_getvalue("x%41"), "");
}

TEST(MultipartTest, LongTextValuesAreCutTo99998Bytes) {
  TempDir dir;
  FormInput form;
  std::string body = text_part("big", std::string(100000, 'v')) +
                     text_part("exact", std::string(99998, 'w')) + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(form.cgi_getvalue("big"), std::string(99998, 'v'));
  EXPECT_EQ(form.cgi_getvalue("exact"), std::string(99998, 'w'));
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

TEST(MultipartTest, OneExtraHeaderLineEndsUpInTheFile) {
  TempDir dir;
  FormInput form;
  std::string body =
      file_part("F", "a.txt", "DATA", "Content-Type: text/plain\r\nX-Extra: 1\r\n") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(dir.read("CGI0"), "\r\nDATA");
}

TEST(MultipartTest, PartWithoutContentTypeLine) {
  TempDir dir;
  FormInput form;
  std::string body = file_part("F", "a.txt", "DATA", "") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(dir.read("CGI0"), "DATA");
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

TEST(MultipartTest, EmptyFileNameStoresAnEmptyValueAndNoFile) {
  TempDir dir;
  FormInput form;
  std::string body = file_part("FILE1", "", "ignored") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  ASSERT_NE(form.field("FILE1"), nullptr);
  EXPECT_EQ(form.cgi_getvalue("FILE1"), "");
  EXPECT_FALSE(dir.exists("CGI0"));
}

TEST(MultipartTest, OnlyFilesThisParserCreatedCountAsUploads) {
  TempDir dir;
  FormInput form;
  std::string body =
      text_part("FILE1", "x.gif,plazet.ini") + file_part("FILE2", "y.gif", "y") + kEnd;
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(form.cgi_getvalue("FILE1"), "x.gif,plazet.ini");
  EXPECT_FALSE(form.is_own_upload("plazet.ini"));
  EXPECT_FALSE(form.is_own_upload(""));
  EXPECT_TRUE(form.is_own_upload("CGI0"));
}

TEST(MultipartTest, MissingBoundaryYieldsNoFields) {
  TempDir dir;
  FormInput form;
  std::string body = text_part("a", "1") + kEnd;
  ASSERT_EQ(parse(form, post("multipart/form-data", body.size()), body, dir), 0);
  EXPECT_TRUE(form.fields().empty());
}

TEST(MultipartTest, TruncatedBodyKeepsCompleteFieldsOnly) {
  TempDir dir;
  FormInput form;
  std::string full = text_part("a", "1") + file_part("F", "f.bin", std::string(5000, 'z')) +
                     text_part("b", "2") + kEnd;
  std::string cut = full.substr(0, full.find(std::string(5000, 'z')) + 2000);
  // The server announces the whole length, the client sends only part of it.
  ASSERT_EQ(parse(form, post(kType, full.size()), cut, dir), 0);
  ASSERT_EQ(form.fields().size(), 1u);
  EXPECT_EQ(form.cgi_getvalue("a"), "1");
  EXPECT_FALSE(dir.exists("CGI0"));  // no half file left to become an attachment
}

TEST(MultipartTest, ContentLengthLimitsWhatIsRead) {
  TempDir dir;
  FormInput form;
  std::string body = text_part("a", "1") + text_part("b", "2") + kEnd;
  std::size_t length = body.find("------XyZ", 5) + 11;  // through the second delimiter
  ASSERT_EQ(parse(form, post(kType, length), body, dir), 0);
  EXPECT_EQ(form.cgi_getvalue("a"), "1");
  EXPECT_EQ(form.cgi_getvalue("b"), "");
}

TEST(MultipartTest, PreambleIsSkippedAndClosingDelimiterEndsTheParse) {
  TempDir dir;
  FormInput form;
  std::string body = "preamble\r\n" + text_part("a", "1") + kEnd + text_part("late", "x");
  ASSERT_EQ(parse(form, post(kType, body.size()), body, dir), 0);
  EXPECT_EQ(form.fields().size(), 1u);
  EXPECT_EQ(form.cgi_getvalue("late"), "");
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
