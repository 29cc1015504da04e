// A data file can be changed only by code that holds the write proof, and
// only an exclusive lock hands one out: these checks fail to compile when a
// writer can be called without it.
#include <gtest/gtest.h>

#include <type_traits>

#include "boards/message_store.h"
#include "data_dir_test.h"
#include "folders/folder_admin.h"
#include "store/dirs.h"

namespace plazet {
namespace {

// (A token made by hand or copied, and ReWriteMST_USER without one, are the
// compile checks in tests/compile.)
static_assert(!std::is_constructible_v<WriteToken, LockMode>);

// Each writer is callable with the proof and not without it.
static_assert(
    std::is_invocable_v<decltype(&WriteINDEX_DATA), Store&, const WriteToken&, INDEX_DATA>);
static_assert(!std::is_invocable_v<decltype(&WriteINDEX_DATA), Store&, INDEX_DATA>);
static_assert(!std::is_invocable_v<decltype(&create_folder), Store&, int, Placement, int,
                                   const std::string&, long*>);
static_assert(!std::is_invocable_v<decltype(&DelDIR), const std::string&>);

TEST(DataLockTest, OnlyAnExclusiveLockHandsOutTheWriteProof) {
  testing::TempDir dir;
  DataLock shared = DataLock::acquire(dir.prefix(), LockMode::kShared);
  EXPECT_TRUE(shared.held());
  EXPECT_THROW((void)shared.write_token(), LockViolation);
  DataLock second_reader = DataLock::acquire(dir.prefix(), LockMode::kShared);
  EXPECT_TRUE(second_reader.held());
  shared = DataLock::acquire(dir.prefix() + "missing/", LockMode::kExclusive);
  EXPECT_FALSE(shared.held());
}

}  // namespace
}  // namespace plazet
