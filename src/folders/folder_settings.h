// b_title2.mst: one 8800-byte settings record per folder, in the order they
// were added; integers 32-bit big-endian, texts NUL-padded.
//
//   OFFSET  SIZE FIELD
//        0     4 FOLDER_NO     the key
//        4     4 ADD_MAX       attachment slots per message; 0 = none
//        8     4 READ_LEVEL    lowest user level that may read
//       12     4 WRITE_LEVEL   lowest user level that may write
//       16     4 READ_CHK      default of the read-confirmation choice (1, 2)
//       20     4 REWRITE_FLG   2: authors may edit their messages
//       24   252 TITLEPIC      title picture file name
//      276   252 BACKPIC       background picture file name
//      528   252 DIRPIC        the folder's own menu icon
//      780  4002 INFO          description, line ends stored as CR
//     4782  4002 DEFO          body offered for a new thread, line ends CR
//     8784     8 FONTCOLOR     text colour, six hex digits
//     8792     8 RESFONTCOLOR  reply colour, six hex digits
//
// A folder without a record behaves as if its record were all zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct B_TITLE2 {
  std::int32_t FOLDER_NO = 0;
  std::int32_t ADD_MAX = 0;
  std::int32_t READ_LEVEL = 0;
  std::int32_t WRITE_LEVEL = 0;
  std::int32_t READ_CHK = 0;
  std::int32_t REWRITE_FLG = 0;
  std::string TITLEPIC;
  std::string BACKPIC;
  std::string DIRPIC;
  std::string INFO;
  std::string DEFO;
  std::string FONTCOLOR;
  std::string RESFONTCOLOR;
};

struct BTitle2Codec {
  using Record = B_TITLE2;
  static constexpr std::size_t kSize = 8800;
  static B_TITLE2 decode(const unsigned char* p);
  static void encode(const B_TITLE2& r, unsigned char* p);
};

// The first record of folder `folder_no`. The file is searched by reading
// the head of one record after another up to the folder's, then its record.
[[nodiscard]] std::optional<B_TITLE2> ReadB_TITLE2(Store& store, long folder_no);
// The same without INFO, DEFO and the colours (left empty): what the rights
// and the menu use, read once per request whatever the number of folders.
[[nodiscard]] std::optional<B_TITLE2> ReadB_TITLE2_head(Store& store, long folder_no);

// Appends a record.
[[nodiscard]] bool InsertB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record);

// Removes every record of folder `folder_no`; false when there was none.
[[nodiscard]] bool DeleteB_TITLE2(Store& store, const WriteToken& w, long folder_no);

// Replaces every record of `record.FOLDER_NO`, or appends it when there is none.
[[nodiscard]] bool ReWriteB_TITLE2(Store& store, const WriteToken& w, const B_TITLE2& record);

}  // namespace plazet
