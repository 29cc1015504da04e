#include "pages/details_page.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "folders/access.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "text/html_text.h"
#include "text/sanitize.h"
#include "users/user_file.h"

namespace plazet {
namespace {

constexpr long kPageSize = 20;
constexpr char kCellColor[] = "#FFFFFF";
constexpr char kHeadColor[] = "#E0FFFF";
constexpr char kShownColor[] = "#FFB6C1";

long field_number(const Request& req, const char* name) {
  return req.form.number(name);
}

// The listing order the page passes on: the form's, else the user's own.
long display_mode(const Request& req) {
  long mode = field_number(req, "USER_DISP_DEF");
  if (mode == 0 && req.user) mode = req.user->USER_DISP_DEF;
  return mode;
}

std::string user_id(const Request& req) {
  return req.user ? req.user->USER_ID : std::string();
}

bool personal_account(const Request& req) {
  return req.user && req.user->MODE == 1;
}

// The first record with that number, copied: later writes drop the cached index.
std::optional<INDEX_DATA> find_message(const BoardIndex& index, long sel_no) {
  std::optional<std::size_t> at = index.position_of(static_cast<std::int32_t>(sel_no));
  if (!at) return std::nullopt;
  return index.record(*at);
}

// A date as the DATETIME setting wants it: 2 shows the day alone.
Html shown_date(const Request& req, const std::string& date) {
  return sanitize_html(req.sys.DATETIME == 2 ? date.substr(0, 10) : date);
}

// The user's name, or the ID itself when the user no longer exists.
std::string name_of(Request& req, const std::string& id) {
  std::string key = id;
  std::optional<MST_USER> user = ReadMST_USER(req.store, key);
  return user ? user->USER_NAME : id;
}

// What one message view prints, gathered before printing starts.
struct MessageView {
  long board = 0;
  INDEX_DATA message;
  B_TITLE2 settings;
  std::optional<MST_USER> writer;
  Html body;  // rendered
};

// `body`, when given, is the message's body as the caller already read it.
MessageView gather_view(Request& req, long board, const INDEX_DATA& message,
                        const B_TITLE2& settings, const std::string* body = nullptr) {
  MessageView view;
  view.board = board;
  view.message = message;
  view.settings = settings;
  std::string key = message.WRITER;
  view.writer = ReadMST_USER(req.store, key);
  if (!message.DEL_FLG) {
    view.body = render_body(body ? *body : ReadContentsDATA(req.store, board, message.SEL_NO),
                            settings.RESFONTCOLOR, message.HTML_MODE);
  }
  return view;
}

// The read-confirmation cell: how many have read the message and who.
void print_readers(Request& req, const std::vector<READ_POINT>& readers, bool in_form) {
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\" ROWSPAN=3 >%s\n", kHeadColor,
                 req.text(282));
  if (in_form) req.out.printf("<FORM>\n");
  req.out.printf("<SELECT>\n");
  if (readers.empty()) {
    req.out.printf("<OPTION VALUE=\"0\">%s\n", req.text(284));
  } else {
    req.out.printf("<OPTION>%d %s\n", static_cast<int>(readers.size()), req.text(283));
    for (const READ_POINT& mark : readers) {
      req.out.printf("<OPTION VALUE=\"0\">%s\n", sanitize_html(name_of(req, mark.USER_ID)));
    }
  }
  req.out.printf("</SELECT>\n");
  if (in_form) close_form(req);
  req.out.printf("\t</TD>\n");
}

void print_writer_picture(Request& req, const MessageView& view) {
  if (!view.writer || view.writer->PICFILE.empty()) return;
  req.out.printf("\t<TD NOWRAP ALIGN=\"CENTER\" ROWSPAN=3 >\n");
  req.out.printf("<IMG SRC=\"%suserpic/%s/%s\">\n", html_attr(req.sys.CG_FILE_WEB_PATH),
                 url_segment(view.message.WRITER), url_segment(view.writer->PICFILE));
  req.out.printf("\t</TD>\n");
}

// The writer row (name, ID, mail link) and the date row of the header table.
void print_writer_and_date(Request& req, const MessageView& view) {
  const INDEX_DATA& m = view.message;
  const std::string mail = view.writer ? view.writer->E_MAIL_ADDR : std::string();
  const std::string name = view.writer ? view.writer->USER_NAME : m.WRITER;
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor, req.text(280));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">", kCellColor);
  if (!mail.empty()) {
    req.out.printf("<A HREF=\"mailto:%s?subject=Re:%s\">", html_attr(mail),
                   url_query(m.WRITE_TITLE));
  }
  req.out.printf("%s  [%s]", sanitize_html(name), sanitize_html(m.WRITER));
  if (!mail.empty()) req.out.printf("</A>\n");
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor, req.text(281));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor,
                 shown_date(req, m.WRITE_DATE));
  req.out.printf("</TR>\n");
}

void print_deleted_notice(Request& req) {
  req.out.printf("%s<BR>\n", req.text(285));
  req.out.printf("%s<BR>\n", req.text(286));
  req.out.printf("%s<BR>\n", req.text(287));
  req.out.printf("%s<P>\n", req.text(288));
}

// One line per filled slot, with the stored file's size; a missing file
// shows 0 bytes.
void print_attachments(Request& req, const MessageView& view) {
  const INDEX_DATA& m = view.message;
  if (m.ADD_COUNT <= 0) return;
  const Html web = html_attr(req.sys.ADD_FILE_WEB_PATH);
  for (int k = 1; k <= view.settings.ADD_MAX; ++k) {
    std::optional<ADD_FILE> file = ReadADD_FILE(req.store, view.board, m.SEL_NO, k);
    if (!file) continue;
    const std::string stored = req.sys.ADD_FILE_PATH + std::to_string(view.board) + "/x" +
                               std::to_string(m.SEL_NO) + "/" + std::to_string(k) + "/" +
                               file->FILE_NAME;
    const Html size = html_attr(ketadori(std::to_string(get_filelength(stored))));
    req.out.printf("%s %d:", req.text(273), k);
    req.out.printf("<A HREF=\"%s%ld/x%d/%d/%s\">%s (%s byte)</A><P>\n", web, view.board, m.SEL_NO,
                   k, url_segment(file->FILE_NAME), sanitize_html(file->FILE_NAME), size);
  }
}

// Every message of the thread in index order, the shown one marked; only
// for threads of two messages or more.
void print_thread(Request& req, long board, const INDEX_DATA& shown, long mode) {
  if (!ReadINDEX_DATA_G(req.store, board, 1, shown.THREAD_NO)) return;
  const Html program = html_attr(req.JOB_EXE);
  const Html key = url_query(req.SKEY);
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\"><B>%s</B></TD>\n", kHeadColor,
                 req.text(297));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor,
                 req.text(298));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor,
                 req.text(299));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor,
                 req.text(300));
  req.out.printf("</TR>\n");
  const auto held = board_index(req.store, board);
  const BoardIndex& index = *held;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].THREAD_NO != shown.THREAD_NO) continue;
    const INDEX_DATA r = index.record(i);
    req.out.printf("<TR>\n");
    if (r.SEL_NO == shown.SEL_NO) {
      req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">NowDisp</TD>\n", kShownColor);
    } else {
      req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\"><BR></TD>\n", kCellColor);
    }
    req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">", kCellColor);
    for (int i = 0; i < r.RES_LEVEL; ++i) req.out.printf("&nbsp;&nbsp;");
    req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=DETAILS&FOLDER_NO=%ld&SEL_NO=%d&USER_DISP_DEF=%ld\">",
                   program, key, board, r.SEL_NO, mode);
    if (r.RES_LEVEL > 0) req.out.printf("Re:^%d:", r.RES_LEVEL);
    if (r.DEL_FLG) {
      req.out.printf("--Delete--</A></TD>\n");
      req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\"><BR></TD>\n", kCellColor);
    } else {
      req.out.printf("%s</A></TD>\n", sanitize_html(r.WRITE_TITLE));
      req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor,
                     sanitize_html(name_of(req, r.WRITER)));
    }
    req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kCellColor,
                   shown_date(req, r.WRITE_DATE));
    req.out.printf("</TR>\n");
  }
  req.out.printf("</TABLE>\n");
}

std::string title_text(const INDEX_DATA& m) {
  if (m.RES_LEVEL <= 0) return m.WRITE_TITLE;
  return "Re:^" + std::to_string(m.RES_LEVEL) + ":" + m.WRITE_TITLE;
}

// The previous and next message in the listing order, and the listing page
// that holds the shown one. Order 1 is the index order; orders 2 and 3 both
// step by ascending number, over every number the board holds (as the
// listing counts them), not only up to the last record's.
struct Neighbours {
  std::optional<std::int32_t> previous;
  std::optional<std::int32_t> next;
  long page = 0;
};

Neighbours find_neighbours(const BoardIndex& records, long sel_no, long mode) {
  std::vector<std::int32_t> order;
  order.reserve(records.size());
  for (const IndexEntry& r : records) {
    if (mode == 2 || mode == 3) {
      if (r.SEL_NO >= 1) order.push_back(r.SEL_NO);
    } else {
      order.push_back(r.SEL_NO);
    }
  }
  if (mode == 2 || mode == 3) {
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
  }
  Neighbours n;
  long count = 0;
  bool met = false;
  for (std::int32_t number : order) {
    if (met) {
      n.next = number;
      break;
    }
    ++count;
    if (number == sel_no) {
      met = true;
    } else {
      n.previous = number;
    }
  }
  n.page = count > 0 ? (count - 1) / kPageSize + 1 : 0;
  return n;
}

void print_step_button(Request& req, long board, long mode, std::optional<std::int32_t> target,
                       int caption, int alert) {
  req.out.printf("<TD>\n");
  open_job_form(req, "DETAILS");
  print_hidden(req, "FOLDER_NO", board);
  print_hidden(req, "USER_DISP_DEF", mode);
  if (target) {
    print_hidden(req, "SEL_NO", *target);
    print_submit(req, req.text(caption));
  } else {
    req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\"", req.text(caption));
    req.out.printf(" onClick=\"alert('%s')\">\n", req.text(alert));
  }
  close_form(req);
  req.out.printf("</TD>\n");
}

void print_navigation(Request& req, long board, long mode, const Neighbours& n) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  req.out.printf("<TD>\n");
  open_job_form(req, "ROOM");
  print_hidden(req, "FOLDER_NO", board);
  print_hidden(req, "DISP_PAGE", n.page);
  print_hidden(req, "USER_DISP_DEF", mode);
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\">\n", req.text(4));
  close_form(req);
  req.out.printf("</TD>\n");
  print_step_button(req, board, mode, n.previous, 301, 302);
  print_step_button(req, board, mode, n.next, 303, 304);
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
}

// The opening of one button of the write row: its cell, form and hidden
// fields (SEL_NO only for a button about the shown message). The caller
// prints the submit and closes with close_button().
void open_button(Request& req, const Html& target, const char* job, long board, long mode,
                 std::optional<std::int32_t> sel_no) {
  req.out.printf("<TD>\n");
  open_job_form(req, job, target);
  if (sel_no) print_hidden(req, "SEL_NO", *sel_no);
  print_hidden(req, "FOLDER_NO", board);
  print_hidden(req, "USER_DISP_DEF", mode);
}

void close_button(Request& req) {
  close_form(req);
  req.out.printf("</TD>\n");
}

// Post, reply, edit and delete, as far as the user may use them. For a
// number without a message only posting is offered.
void print_write_buttons(Request& req, long board, long mode, int right,
                         const std::optional<MessageView>& view) {
  const Html target = posting_target(req);
  const bool personal = personal_account(req);
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");

  open_button(req, target, "BORDWRITE", board, mode, std::nullopt);
  print_submit(req, req.text(270));
  close_button(req);

  if (view) {
    const INDEX_DATA& m = view->message;
    const bool author = m.WRITER == user_id(req);

    open_button(req, target, "BORDWRITE", board, mode, m.SEL_NO);
    print_submit(req, req.text(271));
    close_button(req);

    if (view->settings.REWRITE_FLG == 2 && author && personal) {
      open_button(req, target, "EDITMSG", board, mode, m.SEL_NO);
      req.out.printf("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" >\n", req.text(330));
      close_button(req);
    }

    if ((right >= kRightManage || author) && personal) {
      open_button(req, Html(), "DELMSG", board, mode, m.SEL_NO);
      print_confirm_submit(req, req.text(289), req.text(290));
      close_button(req);
    }
  }
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
}

// Header table, body and attachments of a message that is not deleted.
void print_message(Request& req, const MessageView& view, const std::vector<READ_POINT>& readers) {
  const INDEX_DATA& m = view.message;
  req.out.printf("<TABLE BORDER=0>\n");
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">SEL:</TD>\n", kCellColor);
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%d</TD>\n", kCellColor, m.SEL_NO);
  req.out.printf("</TR>\n");
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor, req.text(279));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor,
                 sanitize_html(Add_a_href(title_text(m))));
  if (m.READ_CHK == 2) print_readers(req, readers, true);
  print_writer_picture(req, view);
  req.out.printf("</TR>\n");
  print_writer_and_date(req, view);
  req.out.printf("</TABLE>\n");
  req.out.printf("<HR>\n");

  if (!view.settings.FONTCOLOR.empty()) {
    req.out.printf("<FONT COLOR=\"#%s\">", html_attr(view.settings.FONTCOLOR));
  }
  req.out.printf("%s", view.body);
  req.out.printf("<HR>\n");
  req.out.printf("<P>\n");
  print_attachments(req, view);
}

}  // namespace

void j_DETAILS(Request& req, const WriteToken& w) {
  const long board = field_number(req, "FOLDER_NO");
  const long sel_no = field_number(req, "SEL_NO");
  const long mode = display_mode(req);
  const int right = req.right;
  header_printf(req);

  const std::optional<B_TITLE> folder = ReadB_TITLE(req.store, board, TitleKey::kFolderNo);
  const B_TITLE2 settings = ReadB_TITLE2(req.store, board).value_or(B_TITLE2{});
  print_folder_body(req, board, settings);
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR><TD NOWRAP BGCOLOR=\"%s\">\n", kCellColor);
  req.out.printf("<FONT SIZE=\"5\"><B>[%ld]%s</B></FONT>\n", board,
                 sanitize_html(folder ? folder->NAME : std::string()));
  req.out.printf("</TD></TR>\n");
  req.out.printf("</TABLE>\n");
  req.out.printf("<HR>\n");

  const auto held = board_index(req.store, board);
  const BoardIndex& records = *held;
  const Neighbours neighbours = find_neighbours(records, sel_no, mode);
  std::optional<MessageView> view;
  std::vector<READ_POINT> readers;
  if (std::optional<INDEX_DATA> message = find_message(records, sel_no)) {
    // The viewer is marked before the reader list is printed, so he counts.
    readers = readers_of(req.store, board, sel_no);
    const std::string id = fit_field(user_id(req), READ_POINT::kIdWidth);
    const bool marked = std::any_of(readers.begin(), readers.end(),
                                    [&](const READ_POINT& r) { return r.USER_ID == id; });
    if (!marked) {
      READ_POINT mark;
      mark.SEL_NO = static_cast<std::int32_t>(sel_no);
      mark.USER_ID = id;
      if (WriteREAD_POINT(req.store, w, board, mark)) readers.push_back(mark);
    }
    view = gather_view(req, board, *message, settings);
  }

  if (!view) {
    // A number without a message (removed, or never posted).
    req.out.printf("%s<P>\n", req.text(285));
  } else {
    if (view->message.DEL_FLG) {
      print_deleted_notice(req);
    } else {
      print_message(req, *view, readers);
    }
    if (!settings.FONTCOLOR.empty()) req.out.printf("</FONT>");
    print_thread(req, board, view->message, mode);
  }

  print_navigation(req, board, mode, neighbours);
  if (right >= kRightWrite) print_write_buttons(req, board, mode, right, view);
  print_page_end(req);
}

void j_DETAILS_sub1(Request& req, long board, long sel_no, int checkbox) {
  std::optional<INDEX_DATA> message = find_message(*board_index(req.store, board), sel_no);
  if (message) print_message_view(req, board, *message, checkbox);
}

void print_message_view(Request& req, long board, const INDEX_DATA& message, int checkbox,
                        const std::string* body) {
  const B_TITLE2 settings = ReadB_TITLE2(req.store, board).value_or(B_TITLE2{});
  const MessageView view = gather_view(req, board, message, settings, body);
  const INDEX_DATA& m = view.message;
  const long sel_no = m.SEL_NO;
  const long own_mode = req.user ? req.user->USER_DISP_DEF : 0;

  if (checkbox == 1) {
    if (req.form.cgi_getvalue("CHK_ALL") == "1") {
      req.out.printf(
          "<INPUT TYPE=\"checkbox\" NAME=\"FOLSEL\" VALUE=\"%ld,%d\" checked >SEL:%d<BR>\n", board,
          m.SEL_NO, m.SEL_NO);
    } else {
      req.out.printf("<INPUT TYPE=\"checkbox\" NAME=\"FOLSEL\" VALUE=\"%ld,%d\">SEL:%d<BR>\n",
                     board, m.SEL_NO, m.SEL_NO);
    }
  }

  if (m.DEL_FLG) {
    req.out.printf("<BR>%s<BR>\n", req.text(285));
    req.out.printf("%s<BR>\n", req.text(286));
    req.out.printf("%s<BR>\n", req.text(287));
    req.out.printf("%s<P>\n", req.text(288));
  } else {
    req.out.printf("<TABLE BORDER=0>\n");
    req.out.printf("<TR>\n");
    req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor,
                   req.text(279));
    req.out.printf("<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">", kCellColor);
    req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=DETAILS&FOLDER_NO=%ld&SEL_NO=%d&USER_DISP_DEF=%ld\">",
                   html_attr(req.JOB_EXE), url_query(req.SKEY), board, m.SEL_NO, own_mode);
    req.out.printf("%s", sanitize_html(title_text(m)));
    req.out.printf("</A>");
    req.out.printf("</TD>\n");
    if (m.READ_CHK == 2) print_readers(req, readers_of(req.store, board, sel_no), false);
    print_writer_picture(req, view);
    req.out.printf("</TR>\n");
    print_writer_and_date(req, view);
    req.out.printf("</TABLE>\n");
    if (!settings.FONTCOLOR.empty()) {
      req.out.printf("<FONT COLOR=\"#%s\">", html_attr(settings.FONTCOLOR));
    }
    req.out.printf("%s", view.body);
    req.out.printf("<P>\n");
    print_attachments(req, view);
  }
  if (!settings.FONTCOLOR.empty()) req.out.printf("</FONT>");
  print_thread(req, board, m, own_mode);
  req.out.printf("<HR>\n");
}

int j_DELMSG(Request& req, const WriteToken& w) {
  const long board = field_number(req, "FOLDER_NO");
  const long sel_no = field_number(req, "SEL_NO");
  std::optional<INDEX_DATA> message = find_message(*board_index(req.store, board), sel_no);
  if (!message) return 0;
  if (message->WRITER != req.user->USER_ID && req.right < kRightManage) return 0;
  (void)delete_message(req.store, w, req.sys.ADD_FILE_PATH, board, sel_no);
  return 0;
}

int j_BORDALLFLG(Request& req, const WriteToken& w) {
  (void)mark_board_read(req.store, w, field_number(req, "FOLDER_NO"), req.user->USER_ID);
  return 0;
}

}  // namespace plazet
