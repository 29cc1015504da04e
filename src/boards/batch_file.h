// The batch file of the batch upload: many messages in one plain text file,
// one block of lines each.
//
//   ;board<folder number>         the block starts; only ";board" is tested
//   ???<number answered>          any three characters, then the number of
//                                 the message answered (0: a new thread)
//   <title>                       the whole line
//   ???<WRITE_PRIORITY>           0, 1 or 2
//   <body>                        any number of lines
//   ..<anything>                  a line beginning with ".." ends the body
//   ????<READ_CHK>                any four characters, then 1 or 2
//   ????<HTML_MODE>               any four characters, then 0, 1 or 2
//
// Lines end in LF; a CR before it stays part of the line. A line longer than
// 99999 bytes is read as several. Anything before the first block and
// between blocks is ignored. Numbers are decimal, leading blanks skipped;
// text that is no number reads as 0. "Characters" follow the two-byte rule.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "boards/message_store.h"
#include "store/line_reader.h"

namespace plazet {

// One message of the batch, ready for the posting service.
struct BatchBlock {
  // FOLDER_NO, SEL_NO (the message answered, 0 for a new thread),
  // WRITE_TITLE (cut to its field), WRITE_PRIORITY, READ_CHK and HTML_MODE
  // (values the posting form cannot send become 0, 1 and 0, as do flag
  // lines the end of the file cut off). The rest is the poster's.
  INDEX_DATA record;
  // As stored: every body line ends with CR (CR CR where the file had CR
  // LF). The lines are gathered in a work area of kBodyBuffer bytes; what
  // does not fit is dropped, never half a two-byte character.
  std::string body;
};

// Reads the blocks of a batch file in one pass, front to back.
class BatchFile {
 public:
  static constexpr std::size_t kLineBytes = 99999;
  static constexpr std::size_t kBodyBuffer = 104000;

  // `text` is the whole file; it must outlive the reader.
  explicit BatchFile(std::string_view text) : lines_(text, kLineBytes) {}

  // The next block; nullopt at the end of the file and from a block whose
  // board number is 0 on (that block ends the run).
  [[nodiscard]] std::optional<BatchBlock> batch_upload_get();

 private:
  LineReader lines_;
  bool ended_ = false;
};

}  // namespace plazet
