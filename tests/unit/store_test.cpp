#include <gtest/gtest.h>

#include "cases.h"
#include "data_dir_test.h"
#include "store/atomic_file.h"
#include "store/data_lock.h"
#include "store/dirs.h"

#include <filesystem>
#include <set>

namespace plazet {
namespace {

using testing::TempDir;

TEST(AtomicReplaceTest, CommitReplacesAndUncommittedLeavesTheOriginal) {
  TempDir dir;
  DataLock lock = DataLock::acquire(dir.prefix(), LockMode::kExclusive);
  dir.write("t.mst", "old\n");
  {
    AtomicReplace out(lock.write_token(), dir.file("t.mst"), dir.file("t.mst.tmp"));
    out.write("new\n");
    EXPECT_TRUE(dir.exists("t.mst.tmp"));
    EXPECT_EQ(dir.read("t.mst"), "old\n");  // readers still see the old file
  }
  EXPECT_EQ(dir.read("t.mst"), "old\n");
  EXPECT_FALSE(dir.exists("t.mst.tmp"));
}

// --- Emptying a folder directory ---

namespace fs = std::filesystem;

// Every path below `root`, relative to it, links not followed.
std::set<std::string> listing(const std::string& root) {
  std::set<std::string> names;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    names.insert(fs::relative(it->path(), root).string());
  }
  return names;
}

TEST(DelDirTest, EmptiesTheFolderDirectoryAndNothingElse) {
  const std::vector<testing::Case> cases = testing::load_cases("deldir.cases");
  ASSERT_GE(cases.size(), 5u);
  for (const testing::Case& c : cases) {
    TempDir data, outside;
    outside.write("keep/sub/precious.txt", "precious");
    outside.write("top.txt", "top");
    data.write("6/x1/b.txt", "neighbour");
    const std::string entries = c.fields.at(1) + " | ";
    for (std::size_t at = 0, end; (end = entries.find(" | ", at)) != std::string::npos;
         at = end + 3) {
      const std::string entry = entries.substr(at, end - at);
      const std::string what = entry.substr(0, entry.find(' ')),
                        path = entry.substr(what.size() + 1);
      const std::size_t arrow = path.find(" -> ");
      if (what == "dir") fs::create_directories(data.file(path));
      if (what == "file") data.write(path, "x");
      if (what == "link")
        fs::create_symlink(outside.file(path.substr(arrow + 4)), data.file(path.substr(0, arrow)));
    }
    ASSERT_FALSE(fs::is_empty(data.file("5"))) << c.line;
    const std::set<std::string> before = listing(outside.file(""));
    DataLock lock = DataLock::acquire(data.prefix(), LockMode::kExclusive);
    EXPECT_TRUE(DelDIR(lock.write_token(), data.file(c.fields[0]))) << c.line;
    ASSERT_TRUE(fs::is_directory(data.file("5"))) << c.line;
    EXPECT_TRUE(fs::is_empty(data.file("5"))) << c.line;
    EXPECT_EQ(listing(outside.file("")), before) << c.line;
    EXPECT_EQ(outside.read("keep/sub/precious.txt"), "precious") << c.line;
    EXPECT_EQ(data.read("6/x1/b.txt"), "neighbour") << c.line;
    EXPECT_FALSE(fs::exists("pwned")) << c.line;
  }
}

}  // namespace
}  // namespace plazet
