#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <tuple>

#include "cases.h"
#include "data_dir_test.h"
#include "frame/form.h"
#include "store/file_io.h"

namespace plazet {
namespace {

using testing::TempDir;

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

std::string file_part(const std::string& name, const std::string& file, const std::string& data) {
  return "------XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
         "\"\r\nContent-Type: image/gif\r\n\r\n" + data + "\r\n";
}

const std::string kEnd = "------XyZ--\r\n";

// Parses a request whose body comes on a descriptor, as the web server hands it over.
int parse(FormInput& form, const CgiEnv& env, const std::string& body, const TempDir& dir) {
  UniqueFd fd(::memfd_create("body", 0));
  EXPECT_TRUE(write_all(fd.get(), body));
  ::lseek(fd.get(), 0, SEEK_SET);
  return form.cgi_get(env, fd.get(), dir.prefix());
}

TEST(FormTest, RequestsGiveTheirFields) {
  const std::vector<testing::Case> cases = testing::load_cases("form.cases");
  ASSERT_GE(cases.size(), 20u);
  for (const testing::Case& c : cases) {
    const std::vector<std::string>& f = c.fields;
    ASSERT_EQ(f.size(), 8u) << c.line;
    const bool query = f[1] == "GET" || f[1] == "HEAD";
    CgiEnv env;
    env.REQUEST_METHOD = f[1];
    env.CONTENT_TYPE = f[2];
    env.CONTENT_LENGTH = f[3] == "*" ? std::to_string(f[4].size()) : f[3];
    if (query) env.QUERY_STRING = f[4];
    TempDir dir;
    FormInput form;
    EXPECT_EQ(parse(form, env, query ? "" : f[4], dir), std::stoi(f[5])) << f[0];
    std::string fields;
    for (const auto& field : form.fields()) {
      fields += (fields.empty() ? "" : " | ") + field.name + "=" + field.value;
    }
    EXPECT_EQ(fields, f[6]) << f[0];
    EXPECT_EQ(dir.exists("CGI0") ? dir.read("CGI0") : "-", f[7]) << f[0];
  }
}

TEST(FormTest, NamesAreCutAndLookedUpExactly) {
  TempDir dir;
  FormInput form;
  ASSERT_EQ(parse(form, post("application/x-www-form-urlencoded", 1210),
                  std::string(1200, 'n') + "=1&a=1&a=2", dir),
            0);
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
  const std::time_t now = std::time(nullptr);
  // A file, the seconds since it was last used, whether the sweep keeps it.
  const std::tuple<const char*, int, bool> files[] = {
      {"CGI0", 3601, false}, {"cgi7", 3601, false}, {"CGI1", 3599, true}, {"other", 3601, true}};
  for (const auto& [name, age, kept] : files) {
    dir.write(name, "x");
    const utimbuf times{now - age, now - age};
    ASSERT_EQ(::utime(dir.file(name).c_str(), &times), 0);
  }
  sweep_upload_files(dir.prefix(), now);
  for (const auto& [name, age, kept] : files) EXPECT_EQ(dir.exists(name), kept) << name;
}

}  // namespace
}  // namespace plazet
