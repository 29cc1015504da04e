#include "boards/uploads.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "store/file_io.h"
#include "temp_dir.h"

namespace plazet {
namespace {

using testing::TempDir;

const std::string kType = "multipart/form-data; boundary=----XyZ";
const std::string kEnd = "------XyZ--\r\n";

std::string file_part(const std::string& name, const std::string& file, const std::string& data) {
  return "------XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string text_part(const std::string& name, const std::string& value) {
  return "------XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

// Parses `body` as the request's multipart input; uploads land in `dir`.
void parse(FormInput& form, const std::string& body, const TempDir& dir) {
  UniqueFd fd(::memfd_create("body", 0));
  ASSERT_TRUE(write_all(fd.get(), body));
  ::lseek(fd.get(), 0, SEEK_SET);
  CgiEnv env;
  env.REQUEST_METHOD = "POST";
  env.CONTENT_TYPE = kType;
  env.CONTENT_LENGTH = std::to_string(body.size());
  ASSERT_EQ(form.cgi_get(env, fd.get(), dir.prefix()), 0);
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class UploadsTest : public ::testing::Test {
 protected:
  UploadsTest() {
    req_.sys.DATA_FILE_PATH = data_.prefix();
    req_.sys.ADD_FILE_PATH = attach_.prefix();
    req_.upload_dir = uploads_.prefix();
    req_.lock = DataLock::acquire(data_.prefix(), LockMode::kExclusive);
  }

  TempDir data_;
  TempDir attach_;
  TempDir uploads_;
  Request req_;
};

const std::string kBytes = std::string("GIF89a\0\r\n\xFF\x80--\r\n", 16) + std::string(3000, 'z');

TEST_F(UploadsTest, FitTextFieldKeepsWholeCharactersAndStopsAtNul) {
  EXPECT_EQ(fit_text_field("abcdef", 4), "abc");
  EXPECT_EQ(fit_text_field("abc", 4), "abc");
  // "ab" then a two-byte character: it fits whole or not at all.
  EXPECT_EQ(fit_text_field("ab\x82\xA0", 4), "ab");
  EXPECT_EQ(fit_text_field("ab\x82\xA0", 5), "ab\x82\xA0");
  EXPECT_EQ(fit_text_field(std::string("ab\0cd", 5), 10), "ab");
  EXPECT_EQ(fit_text_field("abc", 0), "");
}

TEST_F(UploadsTest, CutFilenameTakesTheBareNameOfAnOwnUpload) {
  TempDir dir;
  FormInput form;
  parse(form,
        file_part("F", "C:\\photo\\a.jpg", "1") + file_part("F", "/home/u/notes.txt", "2") +
            // 0x95 0x5C is one character whose second byte looks like "\".
            file_part("F", "dir\\\x95\x5C.txt", "3") + file_part("F", "a,b.txt", "4") + kEnd,
        dir);
  ASSERT_EQ(form.cgi_getvalue("F", 0), "C:\\photo\\a.jpg,CGI0");

  std::optional<UploadName> a = cut_filename(form, form.cgi_getvalue("F", 0));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->file_name, "a.jpg");
  EXPECT_EQ(a->temp_name, "CGI0");

  std::optional<UploadName> b = cut_filename(form, form.cgi_getvalue("F", 1));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->file_name, "notes.txt");
  EXPECT_EQ(b->temp_name, "CGI1");

  std::optional<UploadName> c = cut_filename(form, form.cgi_getvalue("F", 2));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->file_name, "\x95\x5C.txt");

  std::optional<UploadName> d = cut_filename(form, form.cgi_getvalue("F", 3));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->file_name, "a,b.txt");
  EXPECT_EQ(d->temp_name, "CGI3");
}

TEST_F(UploadsTest, CutFilenameRefusesFilesTheParserDidNotCreate) {
  TempDir dir;
  FormInput form;
  dir.write("plazet.ini", "settings");
  dir.write("CGI7", "another request's upload");
  parse(form, text_part("FILE1", "x.gif,plazet.ini") + file_part("F", "a.txt", "data") + kEnd, dir);
  ASSERT_EQ(form.cgi_getvalue("F"), "a.txt,CGI0");

  EXPECT_FALSE(cut_filename(form, form.cgi_getvalue("FILE1")));
  EXPECT_FALSE(cut_filename(form, "x.gif,CGI7"));
  EXPECT_FALSE(cut_filename(form, "x.gif,../CGI0"));
  EXPECT_FALSE(cut_filename(form, "x.gif,./CGI0"));
  EXPECT_FALSE(cut_filename(form, "CGI0"));  // no comma: no temporary name
  EXPECT_FALSE(cut_filename(form, ""));
  EXPECT_TRUE(cut_filename(form, "x.gif,CGI0"));
}

TEST_F(UploadsTest, CutFilenameRefusesNamesThatAreNoFile) {
  TempDir dir;
  FormInput form;
  parse(form,
        file_part("F", "..", "1") + file_part("F", ".", "2") + file_part("F", "C:\\dir\\..", "3") +
            file_part("F", "dir/", "4") + file_part("F", "ok", "5") + kEnd,
        dir);
  ASSERT_EQ(form.cgi_getvalue("F", 0), "..,CGI0");
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(cut_filename(form, form.cgi_getvalue("F", i))) << form.cgi_getvalue("F", i);
  }
  std::optional<UploadName> ok = cut_filename(form, form.cgi_getvalue("F", 4));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->file_name, "ok");
  EXPECT_EQ(ok->temp_name, "CGI4");
}

TEST_F(UploadsTest, CutFilenameCutsLongNamesToTheRecordField) {
  TempDir dir;
  FormInput form;
  const std::string long_name(300, 'n');
  // 250 bytes, then a two-byte character that would end at byte 252.
  const std::string split_name = std::string(250, 's') + "\x82\xA0";
  parse(form, file_part("F", long_name, "1") + file_part("F", split_name, "2") + kEnd, dir);
  std::optional<UploadName> a = cut_filename(form, form.cgi_getvalue("F", 0));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->file_name, std::string(251, 'n'));
  std::optional<UploadName> b = cut_filename(form, form.cgi_getvalue("F", 1));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->file_name, std::string(250, 's'));
}

TEST_F(UploadsTest, FilemoveReplacesTheDestinationWithTheExactBytes) {
  TempDir dir;
  Request req;
  req.lock = DataLock::acquire(dir.prefix(), LockMode::kExclusive);
  dir.write("src", kBytes);
  dir.write("dst", "older file");
  ASSERT_TRUE(filemove(req.write_token(), dir.file("src"), dir.file("dst")));
  EXPECT_EQ(dir.read("dst"), kBytes);
  EXPECT_FALSE(dir.exists("src"));

  // Nothing to move, or nowhere to put it: false, and nothing is lost.
  EXPECT_FALSE(filemove(req.write_token(), dir.file("missing"), dir.file("dst")));
  EXPECT_EQ(dir.read("dst"), kBytes);
  dir.write("src2", "keep me");
  EXPECT_FALSE(filemove(req.write_token(), dir.file("src2"), dir.file("no/such/dir/f")));
  EXPECT_EQ(dir.read("src2"), "keep me");
}

TEST_F(UploadsTest, FilemoveCopiesAcrossFileSystems) {
  char pattern[] = "/dev/shm/plazet-upload-XXXXXX";
  if (!::mkdtemp(pattern)) GTEST_SKIP() << "no /dev/shm";
  const std::string other = pattern;
  TempDir dir;
  struct stat a {
  }, b{};
  ::stat(other.c_str(), &a);
  ::stat(dir.prefix().c_str(), &b);
  if (a.st_dev == b.st_dev) {
    std::filesystem::remove_all(other);
    GTEST_SKIP() << "/dev/shm and /tmp share a file system";
  }
  Request req;
  req.lock = DataLock::acquire(dir.prefix(), LockMode::kExclusive);
  { std::ofstream(other + "/src", std::ios::binary) << kBytes; }
  dir.write("dst", "older file");
  EXPECT_TRUE(filemove(req.write_token(), other + "/src", dir.file("dst")));
  EXPECT_EQ(dir.read("dst"), kBytes);
  EXPECT_FALSE(std::filesystem::exists(other + "/src"));
  EXPECT_FALSE(dir.exists("dst.tmp"));
  EXPECT_EQ(mode_of(dir.file("dst")), 0600u);
  std::filesystem::remove_all(other);
}

TEST_F(UploadsTest, StoreUploadMakesTheSlotDirectoriesAndMovesTheFile) {
  FormInput& form = req_.form;
  parse(form, file_part("FILE2", "C:\\pics\\photo.gif", kBytes) + kEnd, uploads_);
  std::optional<UploadName> upload = cut_filename(form, form.cgi_getvalue("FILE2"));
  ASSERT_TRUE(upload);
  EXPECT_EQ(attachment_dir(req_, 5, 7, 2), attach_.prefix() + "5/x7/2/");

  ASSERT_TRUE(store_upload(req_, 5, 7, 2, *upload));
  EXPECT_EQ(attach_.read("5/x7/2/photo.gif"), kBytes);
  EXPECT_FALSE(uploads_.exists("CGI0"));
  EXPECT_EQ(mode_of(attach_.file("5")), 0700u);
  EXPECT_EQ(mode_of(attach_.file("5/x7")), 0700u);
  EXPECT_EQ(mode_of(attach_.file("5/x7/2")), 0700u);
  EXPECT_EQ(mode_of(attach_.file("5/x7/2/photo.gif")), 0600u);
}

TEST_F(UploadsTest, StoreUploadIntoExistingDirectoriesReplacesASameNamedFile) {
  std::filesystem::create_directories(attach_.file("5/x7/1"));
  attach_.write("5/x7/1/a.txt", "old contents");
  attach_.write("5/x7/1/other.txt", "an older attachment");
  parse(req_.form, file_part("FILE1", "a.txt", "new contents") + kEnd, uploads_);
  std::optional<UploadName> upload = cut_filename(req_.form, req_.form.cgi_getvalue("FILE1"));
  ASSERT_TRUE(upload);
  ASSERT_TRUE(store_upload(req_, 5, 7, 1, *upload));
  EXPECT_EQ(attach_.read("5/x7/1/a.txt"), "new contents");
  EXPECT_EQ(attach_.read("5/x7/1/other.txt"), "an older attachment");
}

TEST_F(UploadsTest, StoreUploadFailsWhereTheSlotCannotBeADirectory) {
  std::filesystem::create_directories(attach_.file("5/x7"));
  attach_.write("5/x7/1", "a file where the slot directory belongs");
  parse(req_.form, file_part("FILE1", "a.txt", "data") + kEnd, uploads_);
  std::optional<UploadName> upload = cut_filename(req_.form, req_.form.cgi_getvalue("FILE1"));
  ASSERT_TRUE(upload);
  EXPECT_FALSE(store_upload(req_, 5, 7, 1, *upload));
  EXPECT_EQ(uploads_.read("CGI0"), "data");
}

TEST_F(UploadsTest, StoreUploadNeedsTheExclusiveLock) {
  parse(req_.form, file_part("FILE1", "a.txt", "data") + kEnd, uploads_);
  std::optional<UploadName> upload = cut_filename(req_.form, req_.form.cgi_getvalue("FILE1"));
  ASSERT_TRUE(upload);
  req_.lock.reset();
  req_.lock = DataLock::acquire(data_.prefix(), LockMode::kShared);
  EXPECT_THROW((void)store_upload(req_, 5, 7, 1, *upload), LockViolation);
  EXPECT_FALSE(attach_.exists("5"));
  EXPECT_EQ(uploads_.read("CGI0"), "data");
}

TEST_F(UploadsTest, DiscardUploadRemovesOnlyThisRequestsUploads) {
  uploads_.write("plazet.ini", "settings");
  uploads_.write("CGI9", "another request's upload");
  parse(req_.form, file_part("FILE1", "a.txt", "data") + kEnd, uploads_);
  discard_upload(req_, "plazet.ini");
  discard_upload(req_, "CGI9");
  discard_upload(req_, "");
  EXPECT_EQ(uploads_.read("plazet.ini"), "settings");
  EXPECT_EQ(uploads_.read("CGI9"), "another request's upload");
  EXPECT_TRUE(uploads_.exists("CGI0"));
  discard_upload(req_, "CGI0");
  EXPECT_FALSE(uploads_.exists("CGI0"));
}

}  // namespace
}  // namespace plazet
