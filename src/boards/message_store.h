// A board's messages, in <DATA_FILE_PATH><n>/:
//
// index.dat: 160-byte records in thread display order (a reply follows its
// parent's subtree; the parent of a reply is the nearest record above it
// with a smaller RES_LEVEL). Integers 32-bit big-endian, texts NUL-padded.
//   OFFSET SIZE FIELD
//        0    4 FOLDER_NO       board number
//        4    4 SEL_NO          message number
//        8    4 HTML_MODE       how the body is shown: 0, 1, 2
//       12    4 THREAD_NO       SEL_NO of the thread's top message
//       16    4 RES_LEVEL       reply depth, 0 for a top message
//       20    4 WRITE_PRIORITY  0 none, 1, 2
//       24   20 WRITE_DATE      "YYYY/MM/DD hh:mm" of posting or last edit
//       44   22 WRITER          user ID of the author (or last editor)
//       66   82 WRITE_TITLE     title
//      148    4 ADD_COUNT       attachment slots filled
//      152    4 DEL_FLG         1: deleted, kept because replies follow it
//      156    4 READ_CHK        read confirmation: 1 off, 2 on
//
// x<m>.dat: the body of message m, line ends reduced to CR.
//
// add_file.dat: 260-byte attachment records, in the order they were added.
//   OFFSET SIZE FIELD
//        0    4 SEL_NO     message number
//        4    4 FILE_NO    slot, 1 .. the board's ADD_MAX
//        8  252 FILE_NAME  file name without directories
// The file itself lies at <ADD_FILE_PATH><n>/x<m>/<FILE_NO>/<FILE_NAME>.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/data_lock.h"
#include "store/fd.h"
#include "store/store.h"

namespace plazet {

struct INDEX_DATA {
  static constexpr std::size_t kDateWidth = 20;
  static constexpr std::size_t kWriterWidth = 22;
  static constexpr std::size_t kTitleWidth = 82;

  std::int32_t FOLDER_NO = 0;
  std::int32_t SEL_NO = 0;
  std::int32_t HTML_MODE = 0;
  std::int32_t THREAD_NO = 0;
  std::int32_t RES_LEVEL = 0;
  std::int32_t WRITE_PRIORITY = 0;
  std::string WRITE_DATE;
  std::string WRITER;
  std::string WRITE_TITLE;
  std::int32_t ADD_COUNT = 0;
  std::int32_t DEL_FLG = 0;
  std::int32_t READ_CHK = 0;
};

struct ADD_FILE {
  static constexpr std::size_t kNameWidth = 252;
  std::int32_t SEL_NO = 0;
  std::int32_t FILE_NO = 0;
  std::string FILE_NAME;
};

struct IndexDataCodec {
  using Record = INDEX_DATA;
  static constexpr std::size_t kSize = 160;
  static INDEX_DATA decode(const unsigned char* p);
  static void encode(const INDEX_DATA& r, unsigned char* p);
};

struct AddFileCodec {
  using Record = ADD_FILE;
  static constexpr std::size_t kSize = 260;
  static ADD_FILE decode(const unsigned char* p);
  static void encode(const ADD_FILE& r, unsigned char* p);
};

enum class IndexKey { kSelNo = 1, kPosition = 2 };
enum class IndexMax { kHighestNumber = 1, kLastRecord = 2 };

// "<DATA_FILE_PATH><board>/"
[[nodiscard]] std::string board_dir(const Store& store, long board);
// "<DATA_FILE_PATH><board>/x<sel_no>.dat": a message's body.
[[nodiscard]] std::string body_file(const Store& store, long board, long sel_no);

// What orders and threads the messages: enough to count, page, step and
// find a thread without decoding the texts of every record.
struct IndexEntry {
  std::int32_t SEL_NO = 0;
  std::int32_t THREAD_NO = 0;
  std::int32_t RES_LEVEL = 0;
  std::int32_t DEL_FLG = 0;
};

// A board's index as opened once per request. Its size comes from the file's
// length and a shown record is read on its own, so a page of 20 messages in
// thread order costs the same on any board; the numbers that order and
// thread the messages are read in one pass, only when a page needs them.
class BoardIndex {
 public:
  BoardIndex() = default;
  explicit BoardIndex(const std::string& path);

  [[nodiscard]] std::size_t size() const { return state_ ? state_->count : 0; }
  [[nodiscard]] bool empty() const { return size() == 0; }
  // The numbers of every record, in file order (read on first use).
  [[nodiscard]] const std::vector<IndexEntry>& entries() const;
  [[nodiscard]] const IndexEntry& operator[](std::size_t i) const { return entries()[i]; }
  [[nodiscard]] auto begin() const { return entries().begin(); }
  [[nodiscard]] auto end() const { return entries().end(); }

  // The whole record at 0-based position `i` (i < size()).
  [[nodiscard]] INDEX_DATA record(std::size_t i) const;
  // The position of the first record with that number.
  [[nodiscard]] std::optional<std::size_t> position_of(std::int32_t sel_no) const;
  // Every whole record's bytes, as in the file.
  [[nodiscard]] std::string bytes() const;

 private:
  // Shared, since the request cache copies values; filled in as it is read.
  struct State {
    UniqueFd fd;
    std::size_t count = 0;
    bool numbers_read = false;
    std::vector<IndexEntry> entries;
  };
  std::shared_ptr<State> state_;
};

[[nodiscard]] std::shared_ptr<const BoardIndex> board_index(Store& store, long board);

// Every record decoded, in file order, from one read of the file (for
// pages that look at every message, tools and tests; pages that show a few
// use board_index).
[[nodiscard]] std::vector<INDEX_DATA> index_records(Store& store, long board);

[[nodiscard]] std::size_t CountINDEX_DATA(Store& store, long board);
// kSelNo: the first record with that number; kPosition: the record at that
// 1-based position.
[[nodiscard]] std::optional<INDEX_DATA> ReadINDEX_DATA(Store& store, long board, long key,
                                                       IndexKey mode);
[[nodiscard]] std::optional<INDEX_DATA> ReadINDEX_DATA_MAX(Store& store, long board, IndexMax mode);
// The k-th (from 0) record of thread `thread`, in file order.
[[nodiscard]] std::optional<INDEX_DATA> ReadINDEX_DATA_G(Store& store, long board, std::size_t k,
                                                         long thread);

// The number the next new message of the board gets: the highest plus one;
// nullopt when no number is left. Fixed while the exclusive lock is held.
[[nodiscard]] std::optional<std::int32_t> next_message_number(Store& store, long board);

// Stores a new message: `record.SEL_NO` is 0 for a new thread or the
// parent's number for a reply. The new number is the highest plus one; a
// reply goes after its parent's subtree (at the end, as a top entry, when
// the parent is gone). A record whose place is the end is appended; one
// inside is inserted through the work file. The writer gets a read mark. Returns the record as
// stored, or nullopt when the index could not be written.
[[nodiscard]] std::optional<INDEX_DATA> WriteINDEX_DATA(Store& store, const WriteToken& w,
                                                        INDEX_DATA record);

// Overwrites every record of `record.FOLDER_NO` with its SEL_NO; false when
// there is none.
[[nodiscard]] bool ReWriteINDEX_DATA(Store& store, const WriteToken& w, const INDEX_DATA& record);
// Removes every record with that number; false when there was none.
[[nodiscard]] bool DeleteINDEX_DATA(Store& store, const WriteToken& w, long board, long sel_no);

// Replaces the body of message `sel_no`.
[[nodiscard]] bool WriteContentsDATA(Store& store, const WriteToken& w, long board, long sel_no,
                                     std::string_view text);
// Removes the body of message `sel_no`; true when it is gone (or never was).
[[nodiscard]] bool DeleteContentsDATA(Store& store, const WriteToken& w, long board, long sel_no);
// The body, at most 99999 bytes; "" when there is none.
[[nodiscard]] std::string ReadContentsDATA(Store& store, long board, long sel_no);

// The bodies of one board, read through one open directory, each as
// ReadContentsDATA gives it: for pages that read many of them (the search).
class BoardBodies {
 public:
  BoardBodies(const Store& store, long board);
  [[nodiscard]] std::string read(long sel_no) const;

 private:
  UniqueFd dir_;
};

// The message's attachment records, in file order.
[[nodiscard]] std::vector<ADD_FILE> attachments_of(Store& store, long board, long sel_no);
[[nodiscard]] std::optional<ADD_FILE> ReadADD_FILE(Store& store, long board, long sel_no,
                                                   long file_no);
// Overwrites the record of the same (SEL_NO, FILE_NO) or appends.
[[nodiscard]] bool WriteADD_FILE(Store& store, const WriteToken& w, long board,
                                 const ADD_FILE& record);
[[nodiscard]] bool DeleteADD_FILE(Store& store, const WriteToken& w, long board, long sel_no);
[[nodiscard]] bool DeleteADD_FILE2(Store& store, const WriteToken& w, long board, long sel_no,
                                   long file_no);

// Size of a file in bytes; 0 when it does not exist.
[[nodiscard]] long get_filelength(const std::string& path);

}  // namespace plazet
