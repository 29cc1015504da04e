#include "pages/batch_upload_page.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "boards/batch_file.h"
#include "boards/message_service.h"
#include "folders/access.h"
#include "folders/folder_tree.h"
#include "frame/dispatch.h"
#include "frame/frame_pages.h"
#include "store/file_io.h"
#include "store/paths.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/system_log.h"

namespace plazet {
namespace {

bool is_board(Request& req, long folder_no) {
  std::optional<B_TITLE> folder = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo);
  return folder && folder->MODE == B_TITLE::kBoard;
}

// Posts one block as the user, or says why not.
void post_block(Request& req, const WriteToken& w, const BatchBlock& block) {
  const long board = block.record.FOLDER_NO;
  const long answered = block.record.SEL_NO;
  // A folder that is no board takes no messages, whatever the right.
  if (!is_board(req, board) || right_on(req, board) < kRightWrite) {
    req.out.printf("board[%ld],res[%ld] %s<P>", board, answered, req.text(3));
    return;
  }
  Posting posting;
  posting.record = block.record;
  posting.record.WRITE_DATE = set_date();
  posting.record.WRITER = req.user->USER_ID;
  posting.record.ADD_COUNT = 0;
  posting.record.DEL_FLG = 0;
  posting.body = block.body;
  long number = 0;
  const PostResult result =
      post_message(req.store, w, posting, {req.sys.ADD_FILE_PATH, req.upload_dir},
                   logging_on(req.sys.LOG_DATE), &number);
  if (result != PostResult::kStored) {
    req.out.printf("board[%ld],res[%ld] %s<P>", board, answered, req.text(380));
    return;
  }
  req.out.printf("write board[%ld],res[%ld] <B>%s</B><P>", board, number,
                 sanitize_html(posting.record.WRITE_TITLE));
}

}  // namespace

void j_BATCH_UPLOAD(Request& req) {
  header_printf(req);
  print_title_check_script(req, {{"FILE1", 367}});
  print_indented_body(req);
  print_title(req, req.text(365));
  req.out.printf("<P>\n");
  req.out.printf("<HR>\n");
  req.out.printf("<P>\n");
  open_input_form(req, "BATCH_UPLOAD_WR");
  req.out.printf("<TABLE BORDER>\n");
  print_label_row(req, req.text(7), "<INPUT TYPE=\"FILE\" NAME=\"FILE1\">");
  req.out.printf("</TABLE>\n");
  req.out.printf("<P>\n");
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" onClick=\"return title_chk()\">\n",
                 req.text(366));
  close_form(req);
  print_page_end(req);
}

void j_BATCH_UPLOAD_WR(Request& req, const WriteToken& w) {
  header_printf(req);
  print_indented_body(req);
  // Only the file this request's parser stored for FILE1 is read, whatever
  // name the field's value gives; it goes when the request ends.
  const FormField* field = req.form.field("FILE1");
  if (field && !field->value.empty() && !field->upload_temp.empty()) {
    const std::string path = editpath(field->upload_temp, req.upload_dir);
    const std::string text = read_file(path).value_or("");
    BatchFile batch(text);
    while (std::optional<BatchBlock> block = batch.batch_upload_get()) post_block(req, w, *block);
  }
  print_page_end(req);
}

}  // namespace plazet
