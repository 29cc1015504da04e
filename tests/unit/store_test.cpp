#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cases.h"
#include "data_dir_test.h"
#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/data_lock.h"
#include "store/dirs.h"
#include "store/line_reader.h"
#include "store/record_file.h"

#include <filesystem>
#include <set>

namespace plazet {
namespace {

using testing::TempDir;

struct Sample {
  std::int32_t number = 0;
  std::string name;
};

// 4-byte number, 6-byte name field, 2 bytes padding.
struct SampleCodec {
  using Record = Sample;
  static constexpr std::size_t kSize = 12;
  static Sample decode(const unsigned char* p) { return {load_i32(p), load_text(p + 4, 6)}; }
  static void encode(const Sample& s, unsigned char* p) {
    store_i32(p, s.number);
    store_text(p + 4, 6, s.name);
    p[10] = p[11] = 0;
  }
};

TEST(RecordFileTest, TrailingPartialRecordIsIgnoredAndOverwrittenByAppend) {
  TempDir dir;
  dir.write("r.dat", std::string("\0\0\0\x07seven\0\0\0\x09\x09", 14));
  DataLock lock = DataLock::acquire(dir.prefix(), LockMode::kExclusive);
  RecordFile<SampleCodec> file(dir.file("r.dat"));
  ASSERT_EQ(file.read_all().size(), 1u);
  EXPECT_FALSE(file.read_nth(1));
  ASSERT_TRUE(file.append(lock.write_token(), {8, "eight"}));
  EXPECT_EQ(dir.read("r.dat").size(), 24u);
  EXPECT_EQ(file.read_all().at(1).name, "eight");
}

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

  ASSERT_TRUE(replace_file(lock.write_token(), dir.file("t.mst"), dir.file("t.mst.tmp"), "new\n"));
  EXPECT_EQ(dir.read("t.mst"), "new\n");
  EXPECT_FALSE(dir.exists("t.mst.tmp"));
}

TEST(AtomicReplaceTest, CreateExclusiveNeverOverwrites) {
  TempDir dir;
  EXPECT_TRUE(create_file_exclusive(dir.file("s.ini"), "first", 0644));
  EXPECT_FALSE(create_file_exclusive(dir.file("s.ini"), "second", 0644));
  EXPECT_EQ(dir.read("s.ini"), "first");
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

TEST(DelDirTest, LeavesALinkedDirectoryAMissingOneAndAPlainFileAlone) {
  TempDir data;
  TempDir outside;
  outside.write("sub/precious.txt", "precious");
  fs::create_directory_symlink(outside.file(""), data.file("5"));
  data.write("8", "a plain file");
  DataLock lock = DataLock::acquire(data.prefix(), LockMode::kExclusive);
  EXPECT_FALSE(DelDIR(lock.write_token(), data.file("5")));  // a link is not a directory here
  EXPECT_TRUE(DelDIR(lock.write_token(), data.file("7")));   // nothing to remove
  EXPECT_FALSE(DelDIR(lock.write_token(), data.file("8")));
  EXPECT_EQ(outside.read("sub/precious.txt"), "precious");
  EXPECT_FALSE(data.exists("7"));
  EXPECT_EQ(data.read("8"), "a plain file");
}

TEST(EnsureDirectoryTest, CreatesAPrivateDirectoryOnceAndFailsWhereItCannot) {
  TempDir data;
  ASSERT_TRUE(ensure_directory(data.file("5")));
  EXPECT_TRUE(fs::is_directory(data.file("5")));
  EXPECT_EQ(data.mode("5"), 0700u);
  data.write("5/index.dat", "kept");
  EXPECT_TRUE(ensure_directory(data.file("5")));
  EXPECT_EQ(data.read("5/index.dat"), "kept");
  EXPECT_FALSE(ensure_directory(data.file("no/such/parent")));
  EXPECT_FALSE(data.exists("no"));
  data.write("6", "a plain file");
  EXPECT_FALSE(ensure_directory(data.file("6")));
  EXPECT_EQ(data.read("6"), "a plain file");
}

}  // namespace
}  // namespace plazet
