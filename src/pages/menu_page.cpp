#include "pages/menu_page.h"

#include <algorithm>
#include <vector>

#include "boards/read_marks.h"
#include "folders/access.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/dispatch.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "text/sanitize.h"

namespace plazet {
namespace {

// The sum of the unread counts over the readable folders in the subtree of
// the Dir at display number `p`.
long get_noread(Request& req, int p) {
  const auto held = folder_tree(req.store);
  const std::vector<B_TITLE>& tree = *held;
  if (p < 1 || static_cast<std::size_t>(p) > tree.size()) return 0;
  const int depth = tree[static_cast<std::size_t>(p - 1)].DEPTH;
  long sum = 0;
  for (std::size_t q = static_cast<std::size_t>(p); q < tree.size() && tree[q].DEPTH > depth; ++q) {
    if (right_on(req, tree[q].FOLDER_NO) <= kRightNone) continue;
    // A board without a count (a mark file that cannot be read) adds nothing.
    sum += std::max(0L, CountREAD_POINT(req.store, tree[q].FOLDER_NO, req.user->USER_ID));
  }
  return sum;
}

std::vector<int> open_dirs(const Request& req) {
  std::vector<int> open;
  for (std::size_t i = 0;; ++i) {
    std::string value = req.form.cgi_getvalue("DISP_NO", i);
    if (value.empty()) break;
    open.push_back(static_cast<int>(atol_prefix(value)));
  }
  return open;
}

bool contains(const std::vector<int>& list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The DISP_NO list of a Dir's link: exactly one path of the tree is open at
// a time. A closed Dir opens with its ancestors kept open; an open one
// closes and its ancestors stay open.
Html dir_link_query(Request& req, int p, int depth, const std::vector<int>& open) {
  auto disp_no = [](int q) { return "&DISP_NO=" + url_query(std::to_string(q)); };
  Html query;
  if (depth == 0) {
    if (!contains(open, p)) query = disp_no(p);
    return query;
  }
  for (int q = p;;) {
    if (q != p || !contains(open, p)) query += disp_no(q);
    std::optional<int> parent = get_upper_folder(req.store, q);
    if (!parent || *parent == q) break;
    q = *parent;
  }
  return query;
}

void print_button(Request& req, const char* job, const Html& caption, bool named) {
  req.out.printf("<FORM ACTION=\"%s\" METHOD=GET TARGET=\"FRM22\">\n", html_attr(req.JOB_EXE));
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", job);
  if (named) {
    print_submit(req, caption);
  } else {
    req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\">\n", caption);
  }
  close_form(req);
}

void print_folder(Request& req, int p, const B_TITLE& folder, const std::vector<int>& open,
                  bool counts) {
  const Html program = html_attr(req.JOB_EXE);
  const Html key = url_query(req.SKEY);
  const Html pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  const Html alt = html_attr(folder.NAME);
  const Html name = sanitize_html(folder.NAME);
  req.out.printf("<TR><TD NOWRAP>");
  for (int i = 0; i < folder.DEPTH; ++i) req.out.printf("&nbsp;&nbsp;");
  const Html icon = folder_icon(folder, ReadB_TITLE2_head(req.store, folder.FOLDER_NO));

  long count = 0;
  switch (folder.MODE) {
    case B_TITLE::kDir:
      if (counts) count = get_noread(req, p);
      req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=FRM21%s\">", program, key,
                     dir_link_query(req, p, folder.DEPTH, open));
      break;
    case B_TITLE::kBoard:
      if (counts) count = CountREAD_POINT(req.store, folder.FOLDER_NO, req.user->USER_ID);
      req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=ROOM&FOLDER_NO=%ld&FAST_FLG=1\" TARGET=\"FRM22\">",
                     program, key, folder.FOLDER_NO);
      break;
    case B_TITLE::kChat:
      req.out.printf("<A HREF=\"%s?SKEY=%s&JOB=CHAT&FOLDER_NO=%ld&FAST_FLG=1\" TARGET=\"FRM22\">",
                     program, key, folder.FOLDER_NO);
      break;
    default:
      req.out.printf("</TD></TR>\n");
      return;
  }
  req.out.printf("<IMG SRC=\"%s%s\" ", pictures, icon);
  req.out.printf("ALT=\"%s\" BORDER=0>", alt);
  if (count > 0) req.out.printf("(%ld)", count);
  req.out.printf("%s</A><BR>\n", name);
  req.out.printf("</TD></TR>\n");
}

}  // namespace

void j_FRM21(Request& req) {
  const MST_USER& user = *req.user;
  const bool personal = user.MODE == 1;
  const bool counts = personal && user.NO_READ_MODE == 0;

  header_printf(req);
  print_body(req);
  // The site block is the installation's own HTML, copied as it stands.
  if (std::optional<std::string> block = read_file(req.sys.CG_FILE_PATH + "link.html")) {
    req.out.write(Html::of_installation(*block));
  }

  req.out.printf("<TABLE>\n");
  const std::vector<int> open = open_dirs(req);
  const auto held = folder_tree(req.store);
  const std::vector<B_TITLE>& tree = *held;
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const int p = static_cast<int>(i + 1);
    const B_TITLE& folder = tree[i];
    if (folder.DEPTH > 0) {
      std::optional<int> parent = get_upper_folder(req.store, p);
      if (!parent || !contains(open, *parent)) continue;
    }
    if (right_on(req, folder.FOLDER_NO) <= kRightNone) continue;
    print_folder(req, p, folder, open, counts);
  }
  req.out.printf("</TABLE>\n");

  if (personal) print_button(req, "NRDETAILS", req.text(102), true);
  print_button(req, "BATCH_UPLOAD", req.text(365), false);
  print_button(req, "SEARCH", req.text(103), true);
  if (user.is_admin()) print_button(req, "ADMIN", req.text(104), true);
  if (personal && req.sys.MYDATA == 0) print_button(req, "MYDATA", req.text(105), true);
  if (personal) print_button(req, "SETNOREAD", req.text(373), true);
  print_button(req, "IDSINSEI", req.text(106), true);
  print_button(req, "IDSINSEIlist", req.text(107), true);
  if (personal) {
    req.out.printf(
        "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST TARGET=\"_parent\">\n",
        html_attr(req.JOB_EXE));
    print_hidden(req, "SKEY", req.SKEY);
    print_hidden(req, "JOB", "LOGOFF");
    req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" onClick=\"return confirm('%s')\">\n",
                   req.text(13), req.text(14));
    close_form(req);
  }
  print_page_end(req);
}

}  // namespace plazet
