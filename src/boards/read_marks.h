// Read marks and unread-notice opt-outs of a board, in <DATA_FILE_PATH><n>/:
//
// r<m>.dat: who has read message m, 32-byte records in the order of first
// reading, at most one per user. A message is unread for a user exactly
// when its file has no record of his ID; a missing file reads as empty.
//   OFFSET SIZE FIELD
//        0    4 SEL_NO    message number, 32-bit big-endian
//        4   24 USER_ID   NUL-padded
//       28    4 reserved  0
//
// unread.dat: one user ID a line; the users listed have taken the board out
// of their unread notices (no count, no notice).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct READ_POINT {
  static constexpr std::size_t kIdWidth = 24;
  std::int32_t SEL_NO = 0;
  std::string USER_ID;
};

struct ReadPointCodec {
  using Record = READ_POINT;
  static constexpr std::size_t kSize = 32;
  static READ_POINT decode(const unsigned char* p);
  static void encode(const READ_POINT& r, unsigned char* p);
};

// Every mark on a message, in file order.
[[nodiscard]] std::vector<READ_POINT> readers_of(Store& store, long board, long sel_no);
// The mark of the user `user_id` on a message.
[[nodiscard]] std::optional<READ_POINT> ReadREAD_POINT(Store& store, long board, long sel_no,
                                                       std::string_view user_id);
// The k-th (from 0) mark on a message, whoever's.
[[nodiscard]] std::optional<READ_POINT> ReadREAD_POINT2(Store& store, long board, long sel_no,
                                                        std::size_t k);
// Overwrites the mark of the same user or appends; false when the board's
// directory does not exist.
[[nodiscard]] bool WriteREAD_POINT(Store& store, const WriteToken& w, long board,
                                   const READ_POINT& mark);
// Empties a message's marks.
[[nodiscard]] bool DeleteREAD_POINT(Store& store, const WriteToken& w, long board, long sel_no);

// Messages of the board the user `user_id` has not read; 0 when he has
// taken the board out of his notices. It comes from the board's read-mark
// summary (mark_summary.h) when that matches the files, and is otherwise
// counted over the mark files, as literal_unread does.
[[nodiscard]] long CountREAD_POINT(Store& store, long board, std::string_view user_id);
// The same count made from the files alone, opt-outs aside: over the index
// records, 1 less the user's marks in the record's mark file; -1 when a mark
// file cannot be read. Each mark file is opened once.
[[nodiscard]] long literal_unread(Store& store, long board, std::string_view user_id);

// The messages of the board the user `user_id` has not read, as positions
// in its index, in the listing order `order`: 1 the index order, 2 by
// message number from the lowest up, 3 from the highest down (a number
// once, at its first record); any other order lists nothing. The opt-out
// list is not consulted. Each mark file is opened once.
[[nodiscard]] std::vector<std::size_t> unread_messages(Store& store, long board,
                                                       std::string_view user_id, long order);

// The 1-based line of `user_id` in the board's opt-out list.
[[nodiscard]] std::optional<int> ChkUNREAD(Store& store, long board, std::string_view user_id);
inline constexpr int kAlreadyListed = -2;
// Adds `user_id` to the opt-out list: 0, or kAlreadyListed.
[[nodiscard]] int WriteUNREAD(Store& store, const WriteToken& w, long board,
                              std::string_view user_id);
// Removes every line equal to `user_id`; false when there was none.
[[nodiscard]] bool DeleteUNREAD(Store& store, const WriteToken& w, long board,
                                std::string_view user_id);

}  // namespace plazet
