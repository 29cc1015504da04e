#include "pages/nrdetails_page.h"

#include <optional>
#include <string>
#include <vector>

#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "folders/access.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/dispatch.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "pages/details_page.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr char kHeadColor[] = "#E0FFFF";

bool is_board(Request& req, long folder_no) {
  std::optional<B_TITLE> folder = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo);
  return folder && folder->MODE == B_TITLE::kBoard;
}

// The values of a repeated number field, up to the first one below 1.
std::vector<long> numbers_of(const Request& req, std::string_view name) {
  std::vector<long> numbers;
  for (std::size_t i = 0;; ++i) {
    const long n = req.form.number(name, i);
    if (n < 1) break;
    numbers.push_back(n);
  }
  return numbers;
}

// The head, the BODY line and the title every unread page starts with.
void print_notices_head(Request& req) {
  header_printf(req);
  print_indented_body(req);
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT><P>\n", req.text(102));
}

// The mark button of the list form, then a form of its own that asks for
// the page again with every box ticked.
void print_notice_buttons(Request& req) {
  req.out.printf("<CENTER>\n");
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  req.out.printf("<TD>\n");
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" onClick=\"return confirm('%s')\"> \n",
                 req.text(332), req.text(333));
  close_form(req);
  req.out.printf("</TD>\n");
  req.out.printf("<TD>\n");
  open_job_form(req, "NRDETAILS");
  req.out.printf("<INPUT TYPE=\"hidden\" name=\"CHK_ALL\" value=\"1\">\n");
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" > \n", req.text(361));
  close_form(req);
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  req.out.printf("</CENTER>\n");
}

}  // namespace

void refuse_NRDETAILS(Request& req) {
  print_notices_head(req);
  req.out.printf("%s\n", req.text(3));
  req.out.printf("<FORM>\n");
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\" onClick=\"history.back()\">\n", req.text(4));
  close_form(req);
  print_page_end(req);
}

void j_NRDETAILS(Request& req) {
  const MST_USER& user = *req.user;
  print_notices_head(req);
  open_job_form(req, "NRDETAILSWR");

  const Html pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  const auto held = folder_tree(req.store);
  // A folder the user may not read hides every deeper line after it.
  std::optional<int> hidden_below;
  for (const B_TITLE& folder : *held) {
    if (hidden_below && folder.DEPTH > *hidden_below) continue;
    if (right_on(req, folder.FOLDER_NO) <= kRightNone) {
      hidden_below = folder.DEPTH;
      continue;
    }
    if (ChkUNREAD(req.store, folder.FOLDER_NO, user.USER_ID)) continue;  // left out of notices
    hidden_below.reset();
    req.out.printf("<IMG SRC=\"%s%s\"><B>[%ld]%s</B><BR>\n", pictures,
                   folder_icon(folder, ReadB_TITLE2_head(req.store, folder.FOLDER_NO)),
                   folder.FOLDER_NO, sanitize_html(folder.NAME));
    if (folder.MODE != B_TITLE::kBoard) continue;
    const auto index = board_index(req.store, folder.FOLDER_NO);
    for (std::size_t at :
         unread_messages(req.store, folder.FOLDER_NO, user.USER_ID, user.USER_DISP_DEF)) {
      print_message_view(req, folder.FOLDER_NO, index->record(at), 1);
    }
  }
  print_notice_buttons(req);
  print_page_end(req);
}

int j_NRDETAILSWR(Request& req, const WriteToken& w) {
  const std::string& id = req.user->USER_ID;
  for (std::size_t i = 0;; ++i) {
    const std::string value = req.form.cgi_getvalue("FOLSEL", i);
    if (value.empty()) break;
    // "<board>,<message number>", after any path a browser may put before it.
    const std::string bare = cut_name(cut_name(value, '\\'), '/');
    const std::size_t comma = bare.find(',');
    const long board = atol_prefix(bare.substr(0, comma));
    const long sel_no = comma == std::string::npos ? 0 : atol_prefix(bare.substr(comma + 1));
    // A crafted value makes no mark, file or directory on a board the user
    // may not read.
    if (!is_board(req, board) || right_on(req, board) <= kRightNone) continue;
    (void)mark_message_read(req.store, w, board, sel_no, id);
  }
  return 0;
}

void j_SETNOREAD(Request& req) {
  const MST_USER& user = *req.user;
  header_printf(req);
  print_indented_body(req);
  print_title(req, req.text(373));
  req.out.printf("<P>\n");
  req.out.printf("<HR>\n");
  req.out.printf("<P>\n");
  req.out.printf("%s:%s[%s]\n", req.text(137), sanitize_html(user.USER_NAME),
                 sanitize_html(user.USER_ID));
  req.out.printf("<P>\n");

  open_input_form(req, "SETNOREAD_WR");
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor,
                 req.text(374));
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor,
                 req.text(375));
  req.out.printf("</TR>\n");

  // Every board the user may read, and which of them he left out.
  struct Choice {
    const B_TITLE* board;
    bool left_out;
  };
  std::vector<Choice> boards;
  const auto held = folder_tree(req.store);
  for (const B_TITLE& folder : *held) {
    if (folder.MODE != B_TITLE::kBoard || right_on(req, folder.FOLDER_NO) <= kRightNone) continue;
    boards.push_back({&folder, ChkUNREAD(req.store, folder.FOLDER_NO, user.USER_ID).has_value()});
  }
  auto print_list = [&](const Html& select, bool left_out_only, const Html& button, int caption) {
    req.out.printf("<TD>\n");
    req.out.printf("<SELECT NAME=\"%s\" SIZE=5 MULTIPLE>\n", select);
    for (const Choice& c : boards) {
      if (left_out_only && !c.left_out) continue;
      req.out.printf("<OPTION VALUE=\"%ld\">%s\n", c.board->FOLDER_NO,
                     sanitize_html(c.board->NAME));
    }
    req.out.printf("</SELECT><BR>\n");
    req.out.printf("<INPUT TYPE=\"submit\" NAME=\"%s\" VALUE=\"%s\">\n", button, req.text(caption));
    req.out.printf("</TD>\n");
  };
  req.out.printf("<TR>\n");
  print_list("NOWNOREAD", true, "BOARD_OUT", 172);
  print_list("BOARDLIST", false, "BOARD_IN", 171);
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  print_page_end(req);
}

int j_SETNOREAD_WR(Request& req, const WriteToken& w) {
  const std::string& id = req.user->USER_ID;
  if (!req.form.cgi_getvalue("BOARD_OUT").empty()) {
    for (long board : numbers_of(req, "NOWNOREAD")) (void)DeleteUNREAD(req.store, w, board, id);
  }
  if (!req.form.cgi_getvalue("BOARD_IN").empty()) {
    for (long board : numbers_of(req, "BOARDLIST")) {
      if (!is_board(req, board) || right_on(req, board) <= kRightNone) continue;
      (void)WriteUNREAD(req.store, w, board, id);
    }
  }
  return 0;
}

}  // namespace plazet
