// A board's read-mark summary, <DATA_FILE_PATH><n>/marks.idx: for each user,
// how many of his marks the board's unread count takes off, so that the
// count is one small read instead of one read per message. It is derived
// from index.dat and the r<m>.dat files, which stay the only record of who
// read what; a summary that is missing or does not match them is never used.
//
// The board's unread count for a user is, over the records of index.dat,
// 1 minus the number of his marks in that record's r<SEL_NO>.dat. So it is
// the number of index records less READS, where READS sums, over the index
// records, the user's marks in the record's mark file (a number listed twice
// in the index counts twice, a user marked twice in one file counts twice).
//
// marks.idx: a 64-byte header, then one 32-byte record per user with READS
// above 0, in the byte order of their USER_ID fields. Integers big-endian.
//   header
//   OFFSET SIZE FIELD
//        0    8 MAGIC        "MARKSUM1"
//        8    4 USERS        number of user records
//       12    4 reserved     0
//       16    8 INDEX_SIZE   size of index.dat in bytes
//       24    8 INDEX_INODE  inode number of index.dat
//       32    8 INDEX_MTIME  its modification time, in ns
//       40    8 DIR_INODE    inode number of the board's directory
//       48    8 DIR_MTIME    its modification time, in ns
//       56    8 reserved     0
// INDEX_SIZE to DIR_MTIME are the stamp: all zero until the file is complete.
//   user record
//        0   24 USER_ID      NUL-padded, as in the mark files
//       24    8 READS        64-bit
//
// The summary is used only while the stamp matches index.dat and the
// board's directory as they are now. Every change of marks or messages goes
// through the data functions of this directory, which keep the summary's
// contents up to date for the request (removing the file at the request's
// first change) and write it, with a new stamp, when the request ends
// (keep_mark_summaries); a request that dies on the way leaves no summary.
// The end of every exclusive request also makes again the summaries that are
// missing or stale, so the next request finds them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/read_marks.h"
#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct MarkSummaryHeader {
  static constexpr const char* kMagic = "MARKSUM1";
  std::string MAGIC;
  std::int32_t USERS = 0;
  std::int64_t INDEX_SIZE = 0;
  std::int64_t INDEX_INODE = 0;
  std::int64_t INDEX_MTIME = 0;
  std::int64_t DIR_INODE = 0;
  std::int64_t DIR_MTIME = 0;
};

struct MarkSummaryHeaderCodec {
  using Record = MarkSummaryHeader;
  static constexpr std::size_t kSize = 64;
  static MarkSummaryHeader decode(const unsigned char* p);
  static void encode(const MarkSummaryHeader& r, unsigned char* p);
};

struct MarkTally {
  std::string USER_ID;
  std::int64_t READS = 0;
};

struct MarkTallyCodec {
  using Record = MarkTally;
  static constexpr std::size_t kSize = 32;
  static MarkTally decode(const unsigned char* p);
  static void encode(const MarkTally& r, unsigned char* p);
};

// READS of every user with marks, counted from the files themselves; nullopt
// when a mark file cannot be read (the board then has no count).
using MarkTallies = std::map<std::string, std::int64_t>;
[[nodiscard]] std::optional<MarkTallies> tally_marks(Store& store, long board);

// The unread count of the user whose mark ID is `id` (as the mark files hold
// it), from a summary that can be trusted now; nullopt when there is none.
[[nodiscard]] std::optional<long> summary_unread(Store& store, long board, std::string_view id);

// The data functions of this directory tell the summary about each change:
// summary_before_change before the first file of the board changes, then
// what changed once it is written, or summary_lost when a write failed
// half-way (the summary is then made again from the files).
void summary_before_change(Store& store, const WriteToken& w, long board);
// A mark of `stored_id` was added to r<sel_no>.dat.
void summary_mark_added(Store& store, long board, std::int32_t sel_no,
                        const std::string& stored_id);
// r<sel_no>.dat, which held `old`, was emptied.
void summary_marks_emptied(Store& store, long board, std::int32_t sel_no,
                           const std::vector<READ_POINT>& old);
// index.dat gained a record numbered `sel_no`, whose mark file holds `marks`.
void summary_message_added(Store& store, long board, const std::vector<READ_POINT>& marks);
// index.dat lost its `records` records numbered `sel_no`, whose mark file
// holds `marks`.
void summary_messages_removed(Store& store, long board, long records,
                              const std::vector<READ_POINT>& marks);
void summary_lost(Store& store, long board);

// Whoever removes a board's directory calls this: nothing is written for it
// at the end of the request.
void forget_mark_summary(Store& store, long board);

// At the end of a request that held the exclusive lock: writes the summary
// of every board the request changed, and makes again every board's summary
// that is missing or stale (boards of the folder tree).
void keep_mark_summaries(Store& store, const WriteToken& w);

// The summary on disk, for the data check: nullopt when it is missing,
// unreadable or stale; the users' READS otherwise.
[[nodiscard]] std::optional<MarkTallies> read_mark_summary(Store& store, long board);

}  // namespace plazet
