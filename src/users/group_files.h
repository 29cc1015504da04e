// The two group files in the data directory.
//
// group.mst, the group master: one group a line, kept in ascending order of
// number by the writer,
//   T02_GROUP_ID,T02_GROUP_NAME,
// ("%ld,%s,\n"). A line is read by cutting it at every comma and line feed
// (strtok-like): the first token is the number, the second the name, so a
// comma in a name ends the name when it is read back. A line with no token
// is no group and is dropped by the next rewrite; a line with only a number
// is a group with an empty name.
//
// g_user.mst, the memberships: one (group, user) pair a line,
//   T02_GROUP_ID,USER_ID,
// ("%d,%s,\n"). A line counts only when it holds two comma-terminated
// fields; an empty first field is group 0. Lines that do not count are
// skipped by the readers and dropped by every rewrite, which writes each kept
// line anew in the format above. User IDs are compared exactly (letter case
// counts).
//
// Both files are read in pieces of at most 999 bytes (a 1000-byte line
// buffer); a longer line continues as the next piece and is judged on its
// own. Commas are searched byte by byte, like the user file, so every ID the
// user file can hold survives the trip through g_user.mst. Each file is read
// at most once per request (the parse is cached in the store and dropped by
// every write); every rewrite replaces the file atomically under the
// exclusive data lock, and every write function demands the write token
// first, so a call under a shared lock throws LockViolation even when there
// is nothing to change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct MST_GROUP {
  static constexpr std::size_t kNameWidth = 84;  // names hold at most 83 bytes

  long T02_GROUP_ID = 0;
  std::string T02_GROUP_NAME;
};

struct GROUP_USER {
  static constexpr std::size_t kIdWidth = 24;  // IDs hold at most 23 bytes

  long T02_GROUP_ID = 0;
  std::string USER_ID;
};

// --- group.mst ---------------------------------------------------------

// The first group with that number; nullopt when there is none or the file
// cannot be read.
[[nodiscard]] std::optional<MST_GROUP> ReadGROUP_MST(Store& store, long group_no);

// Which group lines a list shows.
enum class GroupListing {
  kAll,              // every line with a token
  kCommaTerminated,  // only lines that also hold two comma-terminated fields
};

// The groups in file order (empty when the file cannot be read).
[[nodiscard]] std::vector<MST_GROUP> ReadGROUP_MSTall(Store& store,
                                                      GroupListing which = GroupListing::kAll);

// True when group.mst exists and can be read (some pages show parts only then).
[[nodiscard]] bool group_mst_readable(Store& store);

// Inserts the group before the first line whose number is greater or equal,
// replacing that line when its number is the same; appends it when there is
// no such line. A missing file is created. The name is cut at a line feed
// and to 83 bytes. False when the file could not be written.
[[nodiscard]] bool ReWriteMST_GROUP(Store& store, const WriteToken& w, const MST_GROUP& group);

// Removes every line with that number (a missing file is created empty).
[[nodiscard]] bool DeleteMST_GROUP(Store& store, const WriteToken& w, long group_no);

// --- g_user.mst --------------------------------------------------------

// How many group numbers a membership list holds at most: the callers' array
// of 10000 entries always ends with a 0.
inline constexpr std::size_t kMaxMemberships = 9999;

// The group numbers of the user's memberships in file order, at most
// kMaxMemberships of them; empty when there are none or the file cannot be
// read. A membership of group 0 reads as the end of the list, as it does in
// a 0-terminated array, so callers simply walk the whole vector; the number
// of memberships is .size().
[[nodiscard]] std::vector<long> ReadGROUP_USER1(Store& store, std::string_view user_id);

// Every line that counts, in file order.
[[nodiscard]] std::vector<GROUP_USER> ReadGROUP_USERall(Store& store);

// Appends the membership unless the same (group, ID) pair is already there.
// A missing file is created.
[[nodiscard]] bool WriteGROUP_USER(Store& store, const WriteToken& w, const GROUP_USER& member);

enum class GroupUserDelete {
  kMember = 1,      // the lines with the member's group number and ID
  kWholeGroup = 2,  // every line with the member's group number
};

// Removes memberships as `mode` says; a missing file is created empty.
[[nodiscard]] bool DeleteGROUP_USER(Store& store, const WriteToken& w, GroupUserDelete mode,
                                    const GROUP_USER& member);

// Removes every membership of the user; does nothing when the file is missing.
[[nodiscard]] bool DeleteGROUP_USER2(Store& store, const WriteToken& w, std::string_view user_id);

// Orders the lines by group number, ascending. Lines with the same number end
// up in the order that a carry-the-larger bubble sort gives (one pass per
// line but the last, an equal line read passing the carried one), which is
// not their original order. A file with fewer than two lines that count is
// left as it is.
[[nodiscard]] bool SortGROUP_USER(Store& store, const WriteToken& w);

}  // namespace plazet
