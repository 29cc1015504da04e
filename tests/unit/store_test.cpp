#include <gtest/gtest.h>
#include <sys/stat.h>

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/data_lock.h"
#include "store/line_reader.h"
#include "store/record_file.h"
#include "store/dirs.h"
#include "data_dir_test.h"

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

// What lies in folder directory "5" before it is emptied; `outside` is a
// directory no folder owns, and must come through untouched.
struct DelDirCase {
  const char* name;
  void (*lay_out)(const TempDir& data, const TempDir& outside);
  const char* path;  // what is handed to DelDIR, below the data directory
};

const DelDirCase kDelDirCases[] = {
    {"NestedFilesAndDirectories",
     [](const TempDir& d, const TempDir&) {
       fs::create_directories(d.file("5/x1/deeper/deepest"));
       fs::create_directories(d.file("5/empty"));
       d.write("5/.hidden", "h");
       d.write("5/x1/deeper/deepest/b.txt", "b");
     },
     "5"},
    {"PathEndingInASeparator", [](const TempDir& d, const TempDir&) { d.write("5/x1/a", "a"); },
     "5/"},
    {"NamesAShellWouldInterpret",
     [](const TempDir& d, const TempDir&) {
       d.write("5/a b;touch pwned/$(x)/f", "f");
       d.write("5/-rf *", "g");
     },
     "5"},
    {"LinkToAnOutsideDirectory",
     [](const TempDir& d, const TempDir& o) {
       fs::create_directories(d.file("5/x1"));
       fs::create_directory_symlink(o.file(""), d.file("5/link"));
       fs::create_directory_symlink(o.file("keep"), d.file("5/x1/link2"));
     },
     "5"},
    {"LinkToAnOutsideFileAndADanglingLink",
     [](const TempDir& d, const TempDir& o) {
       fs::create_directories(d.file("5"));
       fs::create_symlink(o.file("top.txt"), d.file("5/s"));
       fs::create_symlink(o.file("missing"), d.file("5/dangling"));
     },
     "5"},
};

class DelDirTest : public ::testing::TestWithParam<DelDirCase> {};

TEST_P(DelDirTest, EmptiesTheFolderDirectoryAndNothingElse) {
  TempDir data;
  TempDir outside;
  outside.write("keep/sub/precious.txt", "precious");
  outside.write("top.txt", "top");
  data.write("6/x1/b.txt", "neighbour");
  GetParam().lay_out(data, outside);
  const std::set<std::string> before = listing(outside.file(""));
  DataLock lock = DataLock::acquire(data.prefix(), LockMode::kExclusive);
  DelDIR(lock.write_token(), data.file(GetParam().path));
  ASSERT_TRUE(fs::is_directory(data.file("5")));
  EXPECT_TRUE(fs::is_empty(data.file("5")));
  EXPECT_EQ(listing(outside.file("")), before);
  EXPECT_EQ(outside.read("keep/sub/precious.txt"), "precious");
  EXPECT_EQ(data.read("6/x1/b.txt"), "neighbour");
  EXPECT_FALSE(fs::exists("pwned"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DelDirTest, ::testing::ValuesIn(kDelDirCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DelDirTest, LeavesALinkedDirectoryAMissingOneAndAPlainFileAlone) {
  TempDir data;
  TempDir outside;
  outside.write("sub/precious.txt", "precious");
  fs::create_directory_symlink(outside.file(""), data.file("5"));
  data.write("8", "a plain file");
  DataLock lock = DataLock::acquire(data.prefix(), LockMode::kExclusive);
  DelDIR(lock.write_token(), data.file("5"));
  DelDIR(lock.write_token(), data.file("7"));
  DelDIR(lock.write_token(), data.file("8"));
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
