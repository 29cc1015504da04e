#include "pages/search_page.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "boards/message_search.h"
#include "boards/message_store.h"
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
#include "users/user_file.h"

namespace plazet {
namespace {

// The folders the user may read, in display order. A folder he may not
// read hides every deeper line after it, even folders he could read.
std::vector<B_TITLE> readable_folders(Request& req) {
  std::vector<B_TITLE> taken;
  std::optional<int> hidden_below;
  const auto held = folder_tree(req.store);
  for (const B_TITLE& folder : *held) {
    if (hidden_below && folder.DEPTH > *hidden_below) continue;
    if (right_on(req, folder.FOLDER_NO) <= kRightNone) {
      hidden_below = folder.DEPTH;
      continue;
    }
    hidden_below.reset();
    taken.push_back(folder);
  }
  return taken;
}

void print_search_head(Request& req, int title) {
  header_printf(req);
  print_indented_body(req);
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT><P>\n", req.text(title));
}

// Writers' names, each looked up once a page.
class WriterNames {
 public:
  explicit WriterNames(Store& store) : store_(store) {}
  std::optional<std::string> operator()(const std::string& id) {
    auto it = names_.find(id);
    if (it == names_.end()) {
      std::string key = id;
      std::optional<MST_USER> user = ReadMST_USER(store_, key);
      it = names_.emplace(id, user ? std::optional(user->USER_NAME) : std::nullopt).first;
    }
    return it->second;
  }

 private:
  Store& store_;
  std::map<std::string, std::optional<std::string>> names_;
};

// Every message of the board that is not deleted, in index order, through
// the search; each hit in full. A body is read only where the title did
// not decide, and then only once.
void search_board(Request& req, long board, const MessageSearch& search, WriterNames& names) {
  const BoardBodies bodies(req.store, board);
  for (const INDEX_DATA& m : index_records(req.store, board)) {
    if (m.DEL_FLG == 1) continue;
    std::optional<std::string> body;
    const bool hit = search.matches(
        m.WRITE_TITLE,
        [&]() -> std::string_view {
          body = bodies.read(m.SEL_NO);
          return *body;
        },
        [&] { return names(m.WRITER); });
    if (hit) print_message_view(req, board, m, 2, body ? &*body : nullptr);
  }
}

}  // namespace

void j_SEARCH(Request& req) {
  print_search_head(req, 334);
  req.out.printf("%s<P>\n", req.text(335));
  req.out.printf("<HR>\n");
  req.out.printf("<P>\n");
  req.out.printf("%s<P>\n", req.text(336));
  open_job_form(req, "SEARCHDISP");
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"CONDITION\" SIZE=\"40\" MAXLENGTH=\"250\">\n");
  req.out.printf("<INPUT TYPE=\"submit\" NAME=\"SUB\" VALUE=\"%s\"> \n", req.text(334));
  req.out.printf("<P>\n");
  req.out.printf("%s<BR>\n", req.text(342));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"WRITER\" SIZE=\"30\" MAXLENGTH=\"80\">\n");
  req.out.printf("<P>\n");
  req.out.printf("<DT>%s\n", req.text(337));
  req.out.printf("<DD><INPUT TYPE=\"radio\" NAME=\"STAT\" VALUE=\"1\" checked>%s\n", req.text(338));
  req.out.printf("<DD><INPUT TYPE=\"radio\" NAME=\"STAT\" VALUE=\"2\">%s\n", req.text(339));
  req.out.printf("<P>\n");
  req.out.printf("<DT>%s\n", req.text(340));
  req.out.printf("<DD><SELECT NAME=\"FOLDER_NO\" >\n");
  req.out.printf("<OPTION VALUE=\"0\">%s\n", req.text(341));
  for (const B_TITLE& folder : readable_folders(req)) {
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", folder.FOLDER_NO, sanitize_html(folder.NAME));
  }
  req.out.printf("</SELECT>\n");
  req.out.printf("<P>\n");
  req.out.printf("<HR>\n");
  close_form(req);
  print_page_end(req);
}

void j_SEARCHDISP(Request& req) {
  const long stat = req.form.number("STAT");
  const long only = req.form.number("FOLDER_NO");
  const MessageSearch search(req.form.cgi_getvalue("CONDITION"), req.form.cgi_getvalue("WRITER"),
                             stat);
  print_search_head(req, 343);
  // The embedded views sit in a form of the unread page's kind, without a
  // button of its own.
  open_job_form(req, "NRDETAILSWR");
  const Html pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  WriterNames names(req.store);
  for (const B_TITLE& folder : readable_folders(req)) {
    if (only != 0 && only != folder.FOLDER_NO) continue;
    req.out.printf("<IMG SRC=\"%s%s\"><B>%s</B><BR>\n", pictures,
                   folder_icon(folder, ReadB_TITLE2_head(req.store, folder.FOLDER_NO)),
                   sanitize_html(folder.NAME));
    if (folder.MODE == B_TITLE::kBoard) search_board(req, folder.FOLDER_NO, search, names);
  }
  close_form(req);
  print_page_end(req);
}

}  // namespace plazet
