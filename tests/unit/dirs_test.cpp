#include "store/dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "store/data_lock.h"
#include "temp_dir.h"

namespace plazet {
namespace {

namespace fs = std::filesystem;
using plazet::testing::TempDir;

// The data directory holds the lock; the folder directories under test lie
// inside it, and "outside" is a directory that no folder owns.
class DirsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lock_ = DataLock::acquire(data_.prefix(), LockMode::kExclusive);
    ASSERT_TRUE(lock_->held());
  }

  const WriteToken& token() const { return lock_->write_token(); }

  // Every path below `root`, relative to it, links not followed.
  static std::set<std::string> listing(const std::string& root) {
    std::set<std::string> names;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
      names.insert(fs::relative(it->path(), root).string());
    }
    return names;
  }

  // A folder directory with files, hidden files and nested directories.
  void fill(const std::string& name) const {
    fs::create_directories(data_.file(name + "/x1/deeper/deepest"));
    fs::create_directories(data_.file(name + "/empty"));
    data_.write(name + "/index.dat", "1,2,3\n");
    data_.write(name + "/.hidden", "h");
    data_.write(name + "/x1/a.gif", "GIF");
    data_.write(name + "/x1/deeper/deepest/b.txt", "b");
  }

  TempDir data_;
  TempDir outside_;
  std::optional<DataLock> lock_;
};

TEST_F(DirsTest, EmptiesNestedDirectoriesAndFilesButKeepsTheDirectory) {
  fill("5");
  fill("6");
  DelDIR(token(), data_.file("5"));
  ASSERT_TRUE(fs::is_directory(data_.file("5")));
  EXPECT_TRUE(fs::is_empty(data_.file("5")));
  EXPECT_EQ(listing(data_.file("6")).size(), 8u);
  EXPECT_EQ(data_.read("6/x1/deeper/deepest/b.txt"), "b");
}

TEST_F(DirsTest, AcceptsAPathEndingInASeparator) {
  fill("5");
  DelDIR(token(), data_.file("5") + "/");
  ASSERT_TRUE(fs::is_directory(data_.file("5")));
  EXPECT_TRUE(fs::is_empty(data_.file("5")));
}

TEST_F(DirsTest, RemovesEntriesWhoseNamesAShellWouldInterpret) {
  fs::create_directories(data_.file("5/a b;touch pwned/$(x)"));
  data_.write("5/a b;touch pwned/$(x)/f", "f");
  data_.write("5/-rf *", "g");
  DelDIR(token(), data_.file("5"));
  EXPECT_TRUE(fs::is_empty(data_.file("5")));
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(data_.exists("pwned"));
}

TEST_F(DirsTest, LinkToAnOutsideDirectoryIsRemovedWithoutTouchingItsContents) {
  fs::create_directories(outside_.file("keep/sub"));
  outside_.write("keep/sub/precious.txt", "precious");
  outside_.write("top.txt", "top");
  fs::create_directories(data_.file("5/x1"));
  fs::create_directory_symlink(outside_.file(""), data_.file("5/link"));
  fs::create_directory_symlink(outside_.file("keep"), data_.file("5/x1/link2"));
  const std::set<std::string> before = listing(outside_.file(""));

  DelDIR(token(), data_.file("5"));
  EXPECT_TRUE(fs::is_empty(data_.file("5")));
  EXPECT_EQ(listing(outside_.file("")), before);
  EXPECT_EQ(outside_.read("keep/sub/precious.txt"), "precious");
  EXPECT_EQ(outside_.read("top.txt"), "top");
}

TEST_F(DirsTest, LinkToAnOutsideFileIsRemovedAndTheFileKept) {
  outside_.write("secret.txt", "secret");
  fs::create_directories(data_.file("5"));
  fs::create_symlink(outside_.file("secret.txt"), data_.file("5/s"));
  fs::create_symlink(outside_.file("missing"), data_.file("5/dangling"));
  DelDIR(token(), data_.file("5"));
  EXPECT_TRUE(fs::is_empty(data_.file("5")));
  EXPECT_EQ(outside_.read("secret.txt"), "secret");
}

TEST_F(DirsTest, DirectoryThatIsItselfALinkIsNotFollowed) {
  outside_.write("precious.txt", "precious");
  fs::create_directories(outside_.file("sub"));
  fs::create_directory_symlink(outside_.file(""), data_.file("5"));
  DelDIR(token(), data_.file("5"));
  EXPECT_EQ(outside_.read("precious.txt"), "precious");
  EXPECT_TRUE(fs::is_directory(outside_.file("sub")));
}

TEST_F(DirsTest, MissingDirectoryIsLeftAlone) {
  DelDIR(token(), data_.file("7"));
  EXPECT_FALSE(data_.exists("7"));
  data_.write("8", "a plain file");
  DelDIR(token(), data_.file("8"));
  EXPECT_EQ(data_.read("8"), "a plain file");
}

TEST_F(DirsTest, EnsureDirectoryCreatesAPrivateDirectoryOnce) {
  const std::string path = data_.file("5");
  ASSERT_TRUE(ensure_directory(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  data_.write("5/index.dat", "kept");
  EXPECT_TRUE(ensure_directory(path));
  EXPECT_EQ(data_.read("5/index.dat"), "kept");
}

TEST_F(DirsTest, EnsureDirectoryFailsWhenItCannotBeMade) {
  EXPECT_FALSE(ensure_directory(data_.file("no/such/parent")));
  EXPECT_FALSE(data_.exists("no"));
  // A file in the way is no directory for the files that go inside.
  data_.write("6", "a plain file");
  EXPECT_FALSE(ensure_directory(data_.file("6")));
  EXPECT_EQ(data_.read("6"), "a plain file");
}

}  // namespace
}  // namespace plazet
