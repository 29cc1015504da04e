#include "boards/message_service.h"

#include "boards/read_marks.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "users/system_log.h"

namespace plazet {
namespace {

void store_attachments(Store& store, const WriteToken& w, long board, long sel_no,
                       const std::vector<SlotChange>& slots, const AttachmentPlace& place) {
  for (const SlotChange& change : slots) {
    if (change.upload && store_upload(w, place.ADD_FILE_PATH, place.upload_dir, board, sel_no,
                                      change.slot, *change.upload)) {
      (void)WriteADD_FILE(
          store, w, board,
          ADD_FILE{static_cast<std::int32_t>(sel_no), static_cast<std::int32_t>(change.slot),
                   change.upload->file_name});
    } else if (change.drop_record) {
      // The file itself stays on disk; only the record goes.
      (void)DeleteADD_FILE2(store, w, board, sel_no, change.slot);
    }
  }
}

}  // namespace

PostResult post_message(Store& store, const WriteToken& w, const Posting& posting,
                        const AttachmentPlace& place, bool log, long* sel_no) {
  const INDEX_DATA& record = posting.record;
  const long board = record.FOLDER_NO;
  long number = record.SEL_NO;
  if (!posting.edited) {
    // The body goes first, under the number the message will get (fixed
    // while the lock is held), and the index record last: a message is in
    // the index only with its own body in place.
    const std::optional<std::int32_t> next = next_message_number(store, board);
    if (!next) return PostResult::kNotStored;
    number = *next;
    if (!WriteContentsDATA(store, w, board, number, posting.body)) {
      (void)DeleteContentsDATA(store, w, board, number);
      return PostResult::kNotStored;
    }
    std::optional<INDEX_DATA> stored = WriteINDEX_DATA(store, w, record);
    if (!stored || stored->SEL_NO != number) {
      if (stored) {
        (void)DeleteINDEX_DATA(store, w, board, stored->SEL_NO);
        (void)DeleteREAD_POINT(store, w, board, stored->SEL_NO);
      }
      (void)DeleteContentsDATA(store, w, board, number);
      return PostResult::kNotStored;
    }
  } else {
    // An edit replaces the body in one step, then the record; the old body
    // comes back when the record cannot be written.
    const std::optional<std::string> old_body = read_file(body_file(store, board, number));
    if (!WriteContentsDATA(store, w, board, number, posting.body)) return PostResult::kNotStored;
    if (!ReWriteINDEX_DATA(store, w, record)) {
      (void)(old_body ? WriteContentsDATA(store, w, board, number, *old_body)
                      : DeleteContentsDATA(store, w, board, number));
      return PostResult::kNotStored;
    }
    (void)DeleteREAD_POINT(store, w, board, number);
    READ_POINT mark;
    mark.SEL_NO = static_cast<std::int32_t>(number);
    mark.USER_ID = record.WRITER;
    (void)WriteREAD_POINT(store, w, board, mark);
  }
  if (sel_no) *sel_no = number;

  store_attachments(store, w, board, number, posting.slots, place);

  if (log) {
    SYSTEM_LOG entry;
    entry.USER_ID = record.WRITER;
    entry.LOG_TIME = record.WRITE_DATE;
    entry.LOG_KIND = SYSTEM_LOG::kWrite;
    entry.FOLDER_NO = board;
    (void)WriteSYSTEM_LOG(store, w, entry);
  }
  return PostResult::kStored;
}

DeleteResult delete_message(Store& store, const WriteToken& w, std::string_view ADD_FILE_PATH,
                            long board, long sel_no) {
  const auto index = board_index(store, board);
  std::optional<std::size_t> at = index->position_of(static_cast<std::int32_t>(sel_no));
  if (!at) return DeleteResult::kNotFound;
  INDEX_DATA message = index->record(*at);

  // Replies sit right below their parent, deeper than it: the message is
  // answered when the next record of its thread is deeper.
  bool answered = false;
  bool seen = false;
  for (const IndexEntry& r : *index) {
    if (r.THREAD_NO != message.THREAD_NO) continue;
    if (seen) {
      answered = r.RES_LEVEL > message.RES_LEVEL;
      break;
    }
    seen = r.SEL_NO == message.SEL_NO;
  }

  if (answered) {
    message.DEL_FLG = 1;
    return ReWriteINDEX_DATA(store, w, message) ? DeleteResult::kMarkedDeleted
                                                : DeleteResult::kNotStored;
  }
  if (!DeleteINDEX_DATA(store, w, board, sel_no)) return DeleteResult::kNotStored;
  // The body goes with the record, so no removed text can come back under
  // a later message that gets the same number.
  bool ok = DeleteContentsDATA(store, w, board, sel_no);
  ok = DeleteREAD_POINT(store, w, board, sel_no) && ok;
  (void)DeleteADD_FILE(store, w, board, sel_no);  // false too when there was none
  const std::string files =
      std::string(ADD_FILE_PATH) + std::to_string(board) + "/x" + std::to_string(sel_no);
  ok = remove_directory(w, files) && ok;
  return ok ? DeleteResult::kRemoved : DeleteResult::kNotStored;
}

MarkResult mark_message_read(Store& store, const WriteToken& w, long board, long sel_no,
                             std::string_view user_id) {
  if (!board_index(store, board)->position_of(static_cast<std::int32_t>(sel_no))) {
    return MarkResult::kNoSuchMessage;
  }
  if (ReadREAD_POINT(store, board, sel_no, user_id)) return MarkResult::kAlreadyRead;
  READ_POINT mark;
  mark.SEL_NO = static_cast<std::int32_t>(sel_no);
  mark.USER_ID = std::string(user_id);
  return WriteREAD_POINT(store, w, board, mark) ? MarkResult::kMarked : MarkResult::kNotStored;
}

bool mark_board_read(Store& store, const WriteToken& w, long board, std::string_view user_id) {
  // The index is held as it was read: writing marks drops it from the cache.
  const auto index = board_index(store, board);
  for (const IndexEntry& r : *index) {
    if (ReadREAD_POINT(store, board, r.SEL_NO, user_id)) continue;
    READ_POINT mark;
    mark.SEL_NO = r.SEL_NO;
    mark.USER_ID = std::string(user_id);
    if (!WriteREAD_POINT(store, w, board, mark)) return false;
  }
  return true;
}

}  // namespace plazet
