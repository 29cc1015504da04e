#include "pages/bordwrite_page.h"

#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "boards/uploads.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/html_text.h"
#include "text/sanitize.h"
#include "users/system_log.h"

namespace plazet {

void j_BORDWRITEFIN(Request& req) {
  header_printf(req);
  open_script(req);
  req.out.printf("self.close()\n");
  close_script(req);
  print_indented_body(req);
  print_title(req, req.text(294));
  req.out.printf("<P>\n");
  print_page_end(req);
}

}  // namespace plazet

namespace plazet {
namespace {

// A value of a choice list; anything the form cannot send becomes `fallback`.
std::int32_t form_choice(const Request& req, std::string_view name,
                         std::initializer_list<std::int32_t> allowed, std::int32_t fallback) {
  const long value = req.form.number(name);
  for (std::int32_t a : allowed) {
    if (a == value) return a;
  }
  return fallback;
}

// Messages live only on boards: a Dir or chat room has no listing that
// would ever show them.
bool is_board(Request& req, long folder_no) {
  std::optional<B_TITLE> title = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo);
  return title && title->MODE == B_TITLE::kBoard;
}

enum class FormKind { kNew, kReply, kEdit };

// Only the author may edit a message, from a personal account, and only on
// a board that allows editing: the same rule that offers the edit button.
bool may_edit(const MST_USER& user, const B_TITLE2& settings, const INDEX_DATA& message) {
  return settings.REWRITE_FLG == 2 && user.MODE == 1 && message.WRITER == user.USER_ID;
}

// What the form starts with: the message replied to or edited (cleared for a
// new message), and the text area's contents.
struct Prefill {
  INDEX_DATA record;
  std::string body;
};

Prefill prefill_of(Request& req, FormKind kind, long folder_no, long sel_no,
                   const B_TITLE2& settings) {
  Prefill p;
  if (kind == FormKind::kNew) {
    p.body = settings.DEFO;
    return p;
  }
  std::optional<INDEX_DATA> record = ReadINDEX_DATA(req.store, folder_no, sel_no, IndexKey::kSelNo);
  if (!record) return p;  // gone in the meantime: an empty form
  p.record = *record;
  if (kind == FormKind::kEdit) {
    p.body = ReadContentsDATA(req.store, folder_no, sel_no);
  } else if (record->DEL_FLG == 1) {
    p.record.WRITE_TITLE.clear();  // a deleted message offers nothing to quote
  } else {
    p.body = Add_Res(ReadContentsDATA(req.store, folder_no, sel_no));
  }
  return p;
}

void print_priority_select(Request& req) {
  req.out.printf("<SELECT NAME=\"WRITE_PRIORITY\" >\n");
  req.out.printf("<OPTION VALUE=\"0\"> \n");
  req.out.printf("<OPTION VALUE=\"2\">%s\n", req.text(269));
  req.out.printf("<OPTION VALUE=\"1\">%s\n", req.text(268));
  req.out.printf("</SELECT>\n");
}

void print_attachment_slots(Request& req, FormKind kind, long folder_no, long sel_no, int add_max) {
  for (long k = 1; k <= add_max; ++k) {
    if (kind == FormKind::kEdit) {
      if (std::optional<ADD_FILE> kept = ReadADD_FILE(req.store, folder_no, sel_no, k)) {
        req.out.printf(" No.%ld %s\n", k, sanitize_html(kept->FILE_NAME));
        req.out.printf("<INPUT TYPE=\"checkbox\" NAME=\"ADD_FILE%ld\" VALUE=\"ON\" checked >%s<BR>",
                       k, req.text(331));
      }
    }
    req.out.printf(" No.%ld <INPUT TYPE=\"FILE\" NAME=\"FILE%ld\"><BR>\n", k, k);
  }
}

void print_read_chk_select(Request& req, int board_default) {
  const int first = board_default == 0 ? 1 : board_default;
  req.out.printf("<SELECT NAME=\"READ_CHK\">\n");
  if (first == 1) {
    req.out.printf("<OPTION VALUE=\"1\">%s\n", req.text(275));
    req.out.printf("<OPTION VALUE=\"2\">%s\n", req.text(276));
  } else if (first == 2) {
    req.out.printf("<OPTION VALUE=\"2\">%s\n", req.text(276));
    req.out.printf("<OPTION VALUE=\"1\">%s\n", req.text(275));
  }
  req.out.printf("</SELECT>\n");
}

void print_html_mode_select(Request& req, int mode) {
  static constexpr int kOrders[3][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}};
  // A stored mode the form cannot produce is offered as the default one.
  const int(&order)[3] = kOrders[mode == 1 || mode == 2 ? mode : 0];
  req.out.printf("<SELECT NAME=\"HTML_MODE\">\n");
  for (int value : order) {
    req.out.printf("<OPTION VALUE=\"%d\">%s\n", value, req.text(358 + value));
  }
  req.out.printf("</SELECT>\n");
}

}  // namespace

namespace {

// The HTTP header and HEAD, then the script that refuses an empty title.
void print_head_and_script(Request& req, long write_mode) {
  header_printf(req);
  open_title_check_script(req, {{"WRITE_TITLE", 295}});
  if (write_mode == 2) req.out.printf("window.focus();\n");
  close_script(req);
}

}  // namespace

void refuse_BORDWRITE(Request& req) {
  print_head_and_script(req, req.user ? req.user->WRITE_MODE : 0);
  print_refusal(req);
}

// Fields: SKEY, FOLDER_NO, SEL_NO (0 or missing: a new thread; else the
// message replied to or, for JOB EDITMSG, edited), USER_DISP_DEF.
void j_BORDWRITE(Request& req) {
  const long folder_no = req.form.number("FOLDER_NO");
  const long sel_no = req.form.number("SEL_NO");
  const long disp_def = req.form.number("USER_DISP_DEF");
  const FormKind kind = req.JOB == "EDITMSG" ? FormKind::kEdit
                        : sel_no >= 1        ? FormKind::kReply
                                             : FormKind::kNew;
  const long write_mode = req.user ? req.user->WRITE_MODE : 0;

  print_head_and_script(req, write_mode);

  std::optional<B_TITLE> board = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo);
  if (!board || board->MODE != B_TITLE::kBoard) {
    print_refusal(req);
    return;
  }
  const MST_USER& user = *req.user;
  const B_TITLE2 settings = ReadB_TITLE2(req.store, folder_no).value_or(B_TITLE2{});
  if (kind == FormKind::kEdit) {
    std::optional<INDEX_DATA> message =
        ReadINDEX_DATA(req.store, folder_no, sel_no, IndexKey::kSelNo);
    if (message && !may_edit(user, settings, *message)) {
      print_refusal(req);
      return;
    }
  }
  print_folder_body(req, folder_no, settings);

  const int heading = kind == FormKind::kNew ? 270 : kind == FormKind::kReply ? 271 : 330;
  req.out.printf("<FONT SIZE=\"5\"><B>%s %s</B></FONT>\n", sanitize_html(board->NAME),
                 req.text(heading));
  req.out.printf("<HR>\n");

  req.out.printf(
      "<FORM NAME=\"INPUT\" ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST "
      "TARGET=\"FRM22\" >\n",
      html_attr(req.JOB_EXE));
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", std::string("BORDWRITEWR"));
  print_hidden(req, "FJOB", std::string(kind == FormKind::kEdit ? "EDITMSG" : "BORDWRITE"));
  print_hidden(req, "FOLDER_NO", folder_no);
  print_hidden(req, "SEL_NO", sel_no);
  print_hidden(req, "USER_DISP_DEF", disp_def);

  const int width = text_columns(req);
  const Prefill prefill = prefill_of(req, kind, folder_no, sel_no, settings);

  req.out.printf("<TABLE BORDER>\n");

  print_label_row(req, req.text(266),
                  sanitize_html(user.USER_NAME) + " [" + sanitize_html(user.USER_ID) + "]");
  print_label_row(req, req.text(267), html_attr(set_date()));

  open_label_row(req, req.text(265));
  // The reply mark stands beside the field; it is not part of the title.
  if (kind == FormKind::kReply) req.out.printf("Re:^%d ", prefill.record.RES_LEVEL + 1);
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"WRITE_TITLE\" SIZE=\"%d\" MAXLENGTH=\"80\" VALUE=\"%s\">", width,
      html_attr(prefill.record.WRITE_TITLE));
  close_label_row(req);

  open_label_row(req, req.text(264));
  print_priority_select(req);
  close_label_row(req);

  open_label_row(req, req.text(272));
  req.out.printf("<TEXTAREA NAME=\"WRITE_DATA\" COLS=\"%d\" ROWS=\"%d\">%s</TEXTAREA>", width,
                 req.sys.ROWS, html_textarea(prefill.body));
  close_label_row(req);

  if (settings.ADD_MAX > 0) {
    open_label_row(req, req.text(273));
    print_attachment_slots(req, kind, folder_no, sel_no, settings.ADD_MAX);
    close_label_row(req);
  }

  open_label_row(req, req.text(274));
  print_read_chk_select(req, settings.READ_CHK);
  close_label_row(req);

  open_label_row(req, req.text(357));
  print_html_mode_select(req, prefill.record.HTML_MODE);
  close_label_row(req);

  req.out.printf("</TABLE>\n");
  req.out.printf("<P>\n");
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return title_chk()\"> \n",
      req.text(277));
  if (write_mode == 1) {
    req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\" onClick=\"history.back()\">\n",
                   req.text(4));
  }
  close_form(req);
  print_page_end(req);
}

namespace {

// What happens to one attachment slot of the posting.
struct SlotPlan {
  SlotChange change;
  bool keep = false;     // the stored attachment stays
  std::string own_temp;  // the parser's file for this slot, if any
};

std::vector<SlotPlan> plan_slots(Request& req, bool edit, long folder_no, long sel_no,
                                 int add_max) {
  std::vector<SlotPlan> plans;
  for (long k = 1; k <= add_max; ++k) {
    SlotPlan plan;
    plan.change.slot = k;
    const std::string number = std::to_string(k);
    const FormField* file = req.form.field("FILE" + number);
    if (file) plan.own_temp = file->upload_temp;
    if (file && !file->value.empty()) {
      plan.change.upload = cut_filename(req.form, file->value);
      // Only the file uploaded in this very field belongs to this slot.
      if (plan.change.upload && plan.change.upload->temp_name != plan.own_temp) {
        plan.change.upload.reset();
      }
    }
    const bool stored = edit && ReadADD_FILE(req.store, folder_no, sel_no, k).has_value();
    plan.keep = stored && !req.form.cgi_getvalue("ADD_FILE" + number).empty();
    if (plan.keep) plan.change.upload.reset();
    plan.change.drop_record = stored && !plan.keep && !plan.change.upload;
    plans.push_back(std::move(plan));
  }
  return plans;
}

}  // namespace

// Fields: FJOB (EDITMSG: an edit; else a new message or reply), SKEY,
// FOLDER_NO, SEL_NO, WRITE_TITLE, WRITE_PRIORITY, READ_CHK, HTML_MODE,
// WRITE_DATA, and for each attachment slot k FILE<k> (an upload) and
// ADD_FILE<k> (the keep box of a stored attachment).
int j_BORDWRITEWR(Request& req, const WriteToken& w) {
  // A form that arrived cut short may have lost part of its body.
  if (!req.form.complete()) return kPostNotStored;
  const long folder_no = req.form.number("FOLDER_NO");
  if (!is_board(req, folder_no)) return kPostNotAllowed;
  const MST_USER& user = *req.user;
  const std::string title = req.form.cgi_getvalue("WRITE_TITLE");
  if (title.empty()) return kPostTitleEmpty;

  const B_TITLE2 settings = ReadB_TITLE2(req.store, folder_no).value_or(B_TITLE2{});
  const bool edit = req.form.cgi_getvalue("FJOB") == "EDITMSG";
  const long sel_no = std::max(0L, req.form.number("SEL_NO"));
  std::optional<INDEX_DATA> old;
  if (edit) old = ReadINDEX_DATA(req.store, folder_no, sel_no, IndexKey::kSelNo);
  if (old && !may_edit(user, settings, *old)) return kPostNotAllowed;

  const std::vector<SlotPlan> plans = plan_slots(req, edit, folder_no, sel_no, settings.ADD_MAX);
  INDEX_DATA record;
  record.FOLDER_NO = static_cast<std::int32_t>(folder_no);
  record.SEL_NO = static_cast<std::int32_t>(sel_no);
  record.HTML_MODE = form_choice(req, "HTML_MODE", {0, 1, 2}, 0);
  if (old) {
    record.THREAD_NO = old->THREAD_NO;
    record.RES_LEVEL = old->RES_LEVEL;
  }
  record.WRITE_PRIORITY = form_choice(req, "WRITE_PRIORITY", {0, 1, 2}, 0);
  record.WRITE_DATE = set_date();
  record.WRITER = user.USER_ID;
  record.WRITE_TITLE = fit_text_field(title, INDEX_DATA::kTitleWidth);
  for (const SlotPlan& plan : plans) {
    if (plan.keep || plan.change.upload) ++record.ADD_COUNT;
  }
  record.DEL_FLG = 0;
  record.READ_CHK = form_choice(req, "READ_CHK", {1, 2}, 1);

  // The limit is on the body as received: a CR LF pair counts two bytes.
  const std::string body = req.form.cgi_getvalue("WRITE_DATA");
  if (static_cast<long>(body.size()) > req.sys.MAX_CONTENTS) return kPostTooLong;
  if (edit && !old) return kPostNotStored;  // nothing left to edit

  Posting posting;
  posting.record = record;
  posting.edited = old;
  posting.body = CrLf_to_Cr(body);
  for (const SlotPlan& plan : plans) posting.slots.push_back(plan.change);
  const PostResult result =
      post_message(req.store, w, posting, {req.sys.ADD_FILE_PATH, req.upload_dir},
                   logging_on(req.sys.LOG_DATE), nullptr);
  // An upload that was not moved (kept slot, refused name, failed post)
  // goes at once.
  if (result != PostResult::kStored) return kPostNotStored;
  return kPostStored;
}

}  // namespace plazet
