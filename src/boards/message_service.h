// What changes several files of a board at once: storing a message (index
// record, body, read marks, attachments, access-log line), deleting one,
// marking a whole board read. The posting page, the batch upload and the
// unread notices all go through these; each undoes what it wrote when a
// later step fails, so no half message remains.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/message_store.h"
#include "boards/uploads.h"
#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

// One attachment slot of a posting.
struct SlotChange {
  long slot = 0;
  std::optional<UploadName> upload;  // a new file for the slot
  bool drop_record = false;          // an edit cleared the slot
};

struct Posting {
  // SEL_NO: 0 for a new thread, the parent's number for a reply, the
  // message's own number for an edit.
  INDEX_DATA record;
  std::optional<INDEX_DATA> edited;  // the message an edit replaces
  std::string body;                  // as stored (lines end with CR)
  std::vector<SlotChange> slots;
};

// Where attachments go and where the form parser left the uploads.
struct AttachmentPlace {
  std::string ADD_FILE_PATH;
  std::string upload_dir;
};

enum class PostResult { kStored, kNotStored };

// Stores a new message, a reply or an edit. The writer gets the read mark;
// an edit is news to everybody but the editor. With `log` a "write" line
// goes to the access log. `sel_no` receives the message's number.
[[nodiscard]] PostResult post_message(Store& store, const WriteToken& w, const Posting& posting,
                                      const AttachmentPlace& place, bool log, long* sel_no);

enum class DeleteResult {
  kRemoved,        // record, marks, attachment records and files are gone
  kMarkedDeleted,  // replies follow it: the record stays, marked deleted
  kNotFound,
  kNotStored,
};

// Deletes message `sel_no` of `board`.
[[nodiscard]] DeleteResult delete_message(Store& store, const WriteToken& w,
                                          std::string_view ADD_FILE_PATH, long board, long sel_no);

enum class MarkResult { kMarked, kAlreadyRead, kNoSuchMessage, kNotStored };

// Marks message `sel_no` of `board` read for `user_id`, when the board holds
// that message: no mark file is made for a number without one.
[[nodiscard]] MarkResult mark_message_read(Store& store, const WriteToken& w, long board,
                                           long sel_no, std::string_view user_id);

// Marks every message of the board read for `user_id`; false when a mark
// could not be written (the marks written before it stay).
[[nodiscard]] bool mark_board_read(Store& store, const WriteToken& w, long board,
                                   std::string_view user_id);

}  // namespace plazet
