// The board listing page, JOB ROOM.
//
// Form fields read:
//   SKEY           session key, passed on in every form and link
//   FOLDER_NO      the board
//   DISP_PAGE      page number from 1; missing or below 1: the last page
//   MOVE_REW       non-empty: one page back
//   MOVE_FF        non-empty: one page forward
//   FAST_FLG       above 0: the board's title picture and description
//   USER_DISP_DEF  order 1 thread, 2 number ascending, 3 number descending;
//                  0 or missing: the user's own
//   JOB            "BORDWRITEWR" when the page follows a posting: a posting
//                  made in the separate window then closes that window
#include "pages/room_page.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "folders/access.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "text/html_text.h"
#include "text/sanitize.h"
#include "users/user_file.h"

namespace plazet {
namespace {

constexpr long kPageSize = 20;
constexpr std::size_t kRowsPerPage = kPageSize;
constexpr char kCellColor[] = "#FFFFFF";
constexpr char kHeadColor[] = "#E0FFFF";

enum class Order { kThread = 1, kAscending = 2, kDescending = 3 };

// Where the listing stands: board, order and page, as the forms pass them on.
struct View {
  int folder = 0;
  int order = 1;
  long page = 1;
  long pages = 1;
  int right = kRightNone;
  Html program;  // JOB_EXE for attributes
  Html key;      // SKEY for attributes
};

// SKEY, JOB and the three fields that keep board, page and order.
void hidden_place(Request& req, const View& v, const char* job) {
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", job);
  print_hidden(req, "FOLDER_NO", v.folder);
  print_hidden(req, "DISP_PAGE", v.page);
  print_hidden(req, "USER_DISP_DEF", v.order);
}

// The write form up to its submit button. Posting in a separate window
// (WRITE_MODE 2) sends the form there.
void open_write_form(Request& req, const View& v) {
  open_post_form(req, posting_target(req));
  hidden_place(req, v, "BORDWRITE");
}

void write_button(Request& req) {
  print_submit(req, req.text(258));
}

// Back and forward: on the first (last) page a plain button that only says
// there is no page before (after) this one.
void paging_buttons(Request& req, const View& v) {
  req.out.printf("<TD>\n");
  if (v.page == 1) {
    req.out.printf("<INPUT TYPE=\"button\" name=\"MOVE_REW\" VALUE=\"%s\"", req.text(259));
    req.out.printf(" onClick=\"alert('%s')\">\n", req.text(260));
  } else {
    req.out.printf("<INPUT TYPE=\"submit\" name=\"MOVE_REW\" VALUE=\"%s\">\n", req.text(259));
  }
  req.out.printf("</TD>\n");
  req.out.printf("<TD>\n");
  if (v.page == v.pages) {
    req.out.printf("<INPUT TYPE=\"button\" name=\"MOVE_FF\" VALUE=\"%s\"", req.text(261));
    req.out.printf(" onClick=\"alert('%s')\">\n", req.text(262));
  } else {
    req.out.printf("<INPUT TYPE=\"submit\" name=\"MOVE_FF\" VALUE=\"%s\">\n", req.text(261));
  }
  req.out.printf("</TD>\n");
}

void page_option(Request& req, const View& v, long page) {
  req.out.printf(
      "<OPTION VALUE=\"%s?SKEY=%s&JOB=ROOM&FOLDER_NO=%d&DISP_PAGE=%ld&USER_DISP_DEF=%d\">%ld "
      "Page\n",
      v.program, v.key, v.folder, page, v.order, page);
}

void print_script(Request& req) {
  open_script(req);
  req.out.printf("function f_Pjamp(){\n");
  req.out.printf("jidx=document.Pjamp.PPage.selectedIndex;\n");
  req.out.printf("jloc=document.Pjamp.PPage.options[jidx].value;\n");
  req.out.printf("location.href=jloc;\n");
  req.out.printf("}\n");
  // The posting window has done its work once the listing shows the new
  // message: replace it with the page that closes itself.
  if (req.user->WRITE_MODE == 2 && req.JOB == "BORDWRITEWR") {
    req.out.printf("window.open(\"%s?JOB=BORDWRITEFIN\",\"WBORDWRITE\")\n", html_attr(req.JOB_EXE));
  }
  close_script(req);
}

void print_title(Request& req, const std::optional<B_TITLE>& folder) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR><TD NOWRAP BGCOLOR=\"%s\">\n", kCellColor);
  req.out.printf("<FONT SIZE=\"5\"><B>[%ld]%s</B></FONT>\n", folder ? folder->FOLDER_NO : 0L,
                 folder ? sanitize_html(folder->NAME) : "");
  req.out.printf("</TD></TR>\n");
  req.out.printf("</TABLE>\n");
}

void manager_form(Request& req, const View& v, const char* job, int caption) {
  req.out.printf("<TD>\n");
  open_job_form(req, job);
  print_hidden(req, "FROM", "ROOM");
  print_hidden(req, "FOLDER_NO", v.folder);
  print_submit(req, req.text(caption));
  close_form(req);
  req.out.printf("</TD>\n");
}

void print_button_row(Request& req, const View& v, bool personal) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  if (v.right == kRightManage) {
    manager_form(req, v, "BORDCONFIG", 190);
    manager_form(req, v, "BORDACCESS", 191);
  }
  if (personal) {
    req.out.printf("<TD>\n");
    open_post_form(req);
    hidden_place(req, v, "BORDALLFLG");
    print_confirm_submit(req, req.text(256), req.text(257));
    close_form(req);
    req.out.printf("</TD>\n");
  }
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
}

// "<FONT COLOR="#color">" for the board's text colour, or "" when it has none.
Html font_open(const std::optional<B_TITLE2>& settings) {
  if (!settings || settings->FONTCOLOR.empty()) return Html();
  return "<FONT COLOR=\"#" + html_attr(settings->FONTCOLOR) + "\">";
}

void print_description(Request& req, const View& v, const std::optional<B_TITLE2>& settings) {
  if (settings && !settings->TITLEPIC.empty()) {
    req.out.printf("<IMG SRC=\"%s%d/%s\"><BR>\n", html_attr(req.sys.CG_FILE_WEB_PATH), v.folder,
                   url_segment(settings->TITLEPIC));
  }
  if (settings && !settings->INFO.empty()) {
    Html info = sanitize_html(CrLf_to_BR(settings->INFO));
    const Html font = font_open(settings);
    if (!font.empty()) info = font + info + "</FONT>";
    req.out.printf("%s\n", info);
  }
}

void print_upper_navigation(Request& req, const View& v) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  if (v.right >= kRightWrite) {
    open_write_form(req, v);
    req.out.printf("<TD>\n");
    write_button(req);
    req.out.printf("</TD>\n");
    close_form(req);
  }
  req.out.printf("<FORM NAME=\"Pjamp\" ACTION=\"%s\" METHOD=POST >\n", v.program);
  hidden_place(req, v, "ROOM");
  paging_buttons(req, v);
  req.out.printf("<TD>\n");
  req.out.printf("<SELECT NAME=\"PPage\" onChange=\"f_Pjamp()\">\n");
  page_option(req, v, v.page);
  for (long p = v.pages; p >= 1; --p) page_option(req, v, p);
  req.out.printf("</SELECT>\n");
  req.out.printf("</TD>\n");
  close_form(req);
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  req.out.printf("<P>\n");
}

void print_table_head(Request& req) {
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>\n");
  const Html captions[] = {req.text(263), req.text(264), "SEL",
                           req.text(265), req.text(266), req.text(267)};
  for (const Html& caption : captions) {
    req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kHeadColor, caption);
  }
  req.out.printf("</TR>\n");
}

using Numbered = std::pair<std::int32_t, std::size_t>;  // message number, file position

// The distinct message numbers from 1 up to the highest, ascending, each
// with the position of the first record that holds it (the one a lookup by
// number finds). Numbers are dense in practice, so a table indexed by number
// orders them in one pass; a board with far-out numbers is sorted instead.
template <class SelNoAt>
std::vector<Numbered> distinct_numbers(std::size_t count, SelNoAt sel_no_at) {
  std::int32_t highest = 0;
  for (std::size_t i = 0; i < count; ++i) highest = std::max(highest, sel_no_at(i));
  std::vector<Numbered> numbers;
  if (static_cast<std::uint64_t>(highest) <= 4 * static_cast<std::uint64_t>(count) + 64) {
    constexpr std::size_t kNone = SIZE_MAX;
    std::vector<std::size_t> first(static_cast<std::size_t>(highest) + 1, kNone);
    for (std::size_t i = 0; i < count; ++i) {
      const std::int32_t n = sel_no_at(i);
      if (n >= 1 && first[static_cast<std::size_t>(n)] == kNone) {
        first[static_cast<std::size_t>(n)] = i;
      }
    }
    for (std::int32_t n = 1; n <= highest; ++n) {
      if (first[static_cast<std::size_t>(n)] != kNone) {
        numbers.emplace_back(n, first[static_cast<std::size_t>(n)]);
      }
    }
    return numbers;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (sel_no_at(i) >= 1) numbers.emplace_back(sel_no_at(i), i);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(
      std::unique(numbers.begin(), numbers.end(),
                  [](const Numbered& a, const Numbered& b) { return a.first == b.first; }),
      numbers.end());
  return numbers;
}

// File positions of the page's messages, in the order they are shown.
template <class SelNoAt>
std::vector<std::size_t> page_positions(std::size_t count, SelNoAt sel_no_at, Order order,
                                        long page) {
  std::vector<std::size_t> rows;
  const auto first = static_cast<std::uint64_t>(page - 1) * kRowsPerPage;
  if (order == Order::kThread) {
    for (std::uint64_t i = first; i < count && rows.size() < kRowsPerPage; ++i) {
      rows.push_back(static_cast<std::size_t>(i));
    }
    return rows;
  }

  const std::vector<Numbered> numbers = distinct_numbers(count, sel_no_at);
  const std::size_t existing = numbers.size();
  std::size_t from = 0;
  if (first < existing) {
    from = static_cast<std::size_t>(first);
  } else if (order == Order::kAscending && existing > 0) {
    // A page past the end: the count is never reached and the walk is left
    // at the number of existing messages, from which the listing then runs.
    const Numbered start(static_cast<std::int32_t>(existing), 0);
    from = static_cast<std::size_t>(std::lower_bound(numbers.begin(), numbers.end(), start) -
                                    numbers.begin());
  } else {
    return rows;
  }
  const std::size_t to = std::min(existing, from + kRowsPerPage);
  for (std::size_t i = from; i < to; ++i) rows.push_back(numbers[i].second);
  if (order == Order::kDescending) std::reverse(rows.begin(), rows.end());
  return rows;
}

void print_row(Request& req, const View& v, const INDEX_DATA& m, bool personal) {
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">", kCellColor);
  if (personal && !ReadREAD_POINT(req.store, v.folder, m.SEL_NO, req.user->USER_ID)) {
    req.out.printf("<IMG SRC=\"%snew.gif\" ALT=\"\x96\xA2\x93\xC7\">",
                   html_attr(req.sys.CG_FILE_WEB_PATH));
  }
  req.out.printf("<BR></TD>\n");

  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">", kCellColor);
  switch (m.WRITE_PRIORITY) {
    case 1:
      req.out.printf("%s</TD>\n", req.text(268));
      break;
    case 2:
      req.out.printf("%s</TD>\n", req.text(269));
      break;
    default:  // none, or a value no form offers
      req.out.printf("<BR></TD>\n");
      break;
  }

  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%d</TD>", kCellColor, m.SEL_NO);

  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">", kCellColor);
  if (v.order == static_cast<int>(Order::kThread)) {
    for (std::int32_t i = 0; i < m.RES_LEVEL; ++i) req.out.printf("&nbsp;&nbsp;");
  }
  req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=DETAILS&FOLDER_NO=%d&SEL_NO=%d&USER_DISP_DEF=%d\">",
                 v.program, v.key, v.folder, m.SEL_NO, v.order);
  if (m.RES_LEVEL > 0) req.out.printf("Re:^%d:", m.RES_LEVEL);
  if (m.DEL_FLG != 0) {
    req.out.printf("--Delete--</A></TD>\n");
  } else {
    req.out.printf("%s</A></TD>\n", sanitize_html(m.WRITE_TITLE));
  }

  // The writer's name as it is now; the ID itself once the user is gone.
  std::string id = m.WRITER;
  std::optional<MST_USER> writer = ReadMST_USER(req.store, id);
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kCellColor,
                 sanitize_html(writer ? writer->USER_NAME : m.WRITER));

  std::string_view date = m.WRITE_DATE;
  if (req.sys.DATETIME == 2) date = date.substr(0, 10);
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"CENTER\">%s</TD>\n", kCellColor,
                 sanitize_html(date));
  req.out.printf("</TR>\n");
}

void print_lower_navigation(Request& req, const View& v) {
  req.out.printf("</TABLE>\n");
  req.out.printf("<P>\n");
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>");
  if (v.right >= kRightWrite) {
    req.out.printf("<TD>");
    open_write_form(req, v);
    write_button(req);
    req.out.printf("</TD>\n");
    close_form(req);
  }
  open_post_form(req);
  hidden_place(req, v, "ROOM");
  paging_buttons(req, v);
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  close_form(req);
}

void print_order_buttons(Request& req, const View& v) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  constexpr int kCaptions[] = {175, 176, 177};
  for (int order = 1; order <= 3; ++order) {
    req.out.printf("<TD>\n");
    open_job_form(req, "ROOM");
    print_hidden(req, "FOLDER_NO", v.folder);
    print_hidden(req, "DISP_PAGE", v.page);
    print_hidden(req, "USER_DISP_DEF", static_cast<long>(order));
    req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\">\n", req.text(kCaptions[order - 1]));
    close_form(req);
    req.out.printf("</TD>\n");
  }
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
}

}  // namespace

void j_ROOM(Request& req) {
  const MST_USER& user = *req.user;
  const bool personal = user.MODE == 1;

  View v;
  v.folder = static_cast<int>(req.form.number("FOLDER_NO"));
  long order = req.form.number("USER_DISP_DEF");
  if (order == 0) order = user.USER_DISP_DEF;
  // An order the page does not know (also 0 in the user's record) lists in
  // thread order, and the forms pass that on.
  v.order = order >= 1 && order <= 3 ? static_cast<int>(order) : 1;
  v.program = html_attr(req.JOB_EXE);
  v.key = url_query(req.SKEY);

  v.right = req.right;
  header_printf(req);

  const auto held = board_index(req.store, v.folder);
  const BoardIndex& records = *held;
  v.pages = (static_cast<long>(records.size()) - 1) / kPageSize + 1;
  v.page = req.form.number("DISP_PAGE");
  if (v.page < 1) v.page = v.pages;
  if (!req.form.cgi_getvalue("MOVE_REW").empty() && v.page > 1) --v.page;
  if (!req.form.cgi_getvalue("MOVE_FF").empty() && v.page < v.pages) ++v.page;

  print_script(req);

  const std::optional<B_TITLE> folder = ReadB_TITLE(req.store, v.folder, TitleKey::kFolderNo);
  const std::optional<B_TITLE2> settings = ReadB_TITLE2(req.store, v.folder);
  print_folder_body(req, v.folder, settings.value_or(B_TITLE2{}));
  print_title(req, folder);
  print_button_row(req, v, personal);
  if (req.form.number("FAST_FLG") > 0) print_description(req, v, settings);
  req.out.printf("<HR>\n");

  print_upper_navigation(req, v);
  const bool coloured = settings && !settings->FONTCOLOR.empty();
  if (coloured) req.out.printf("<FONT COLOR=\"#%s\">", html_attr(settings->FONTCOLOR));
  req.out.printf(" Page[%ld/%ld]<BR>\n", v.page, v.pages);
  if (coloured) req.out.printf("</FONT>");

  print_table_head(req);
  const auto sel_no_at = [&](std::size_t i) { return records[i].SEL_NO; };
  for (std::size_t i :
       page_positions(records.size(), sel_no_at, static_cast<Order>(v.order), v.page)) {
    print_row(req, v, records.record(i), personal);
  }
  print_lower_navigation(req, v);
  print_order_buttons(req, v);
  print_page_end(req);
}

}  // namespace plazet
