#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <tuple>

#include "cases.h"
#include "data_dir_test.h"
#include "frame/form.h"
#include "store/file_io.h"

namespace plazet {
namespace {

using testing::TempDir;

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
    EXPECT_EQ(form.complete(), f[0].find("cut short") == std::string::npos) << f[0];
    EXPECT_TRUE(!dir.exists("CGI0") || dir.mode("CGI0") == 0600u) << f[0];
  }
}

// A body of `files` file parts of one byte each.
std::string file_parts(int files) {
  std::string body;
  for (int i = 0; i < files; ++i) {
    body += "------XyZ\r\nContent-Disposition: form-data; name=\"F" + std::to_string(i) +
            "\"; filename=\"f.txt\"\r\n\r\nx\r\n";
  }
  return body + "------XyZ--\r\n";
}

TEST(FormTest, AHundredFilesAreTakenAndMoreRefusedWithNothingLeft) {
  for (const auto& [files, result] : {std::pair{100, 0}, {101, FormInput::kTooLarge}}) {
    const std::string body = file_parts(files);
    CgiEnv env;
    env.REQUEST_METHOD = "POST";
    env.CONTENT_LENGTH = std::to_string(body.size());
    env.CONTENT_TYPE = "multipart/form-data; boundary=----XyZ";
    TempDir dir;
    FormInput form;
    EXPECT_EQ(parse(form, env, body, dir), result);
    const auto left = std::distance(std::filesystem::directory_iterator(dir.prefix()), {});
    EXPECT_EQ(form.fields().size(), result == 0 ? 100u : 0u);
    EXPECT_EQ(left, result == 0 ? 100 : 0);
    form.remove_uploads(dir.prefix());
    EXPECT_TRUE(std::filesystem::is_empty(dir.prefix())) << "what the request made it removes";
  }
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
