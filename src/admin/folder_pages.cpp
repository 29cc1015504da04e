#include "admin/folder_pages.h"

#include <optional>
#include <vector>

#include "admin/admin_kit.h"
#include "boards/mark_summary.h"
#include "boards/uploads.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/page_kit.h"
#include "pages/board_frame.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/escape.h"
#include "text/sanitize.h"

namespace plazet {
namespace {

enum class TableMode { kList = 1, kPlain = 2, kMove = 3 };

void header_cell(Request& req, int text) {
  req.out.printf("<TD BGCOLOR=\"#E0FFFF\">%s</TD>", req.text(text));
}

void icon_link(Request& req, const Html& job, const Html& key_name, long key, const Html& icon,
               const Html& alt) {
  req.out.printf(
      "<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\"><A HREF=\"%s?SKEY=%s&JOB=%s&%s=%ld\">"
      "<IMG SRC=\"%s%s\" ALT=\"%s\" BORDER=0></A></TD>",
      html_attr(req.JOB_EXE), url_query(req.SKEY), job, key_name, key,
      html_attr(req.sys.CG_FILE_WEB_PATH), icon, alt);
}

// One row per folder line; `moving` (display number) is marked on the move
// page.
void folder_table(Request& req, TableMode mode, int moving = 0) {
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>");
  for (int text : {187, 188, 189}) header_cell(req, text);
  if (mode == TableMode::kList) {
    for (int text : {190, 191, 192}) header_cell(req, text);
  }
  req.out.printf("</TR>\n");
  const auto tree = folder_tree(req.store);
  int dispno = 0;
  for (const B_TITLE& folder : *tree) {
    ++dispno;
    const Html color = mode == TableMode::kMove && dispno == moving ? "#FFB6C1" : "#FFFFFF";
    req.out.printf("<TR><TD BGCOLOR=\"%s\" ALIGN=\"CENTER\">%d</TD>", color, dispno);
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\">%ld</TD>", folder.FOLDER_NO);
    req.out.printf("<TD BGCOLOR=\"%s\">", color);
    for (int level = 0; level < folder.DEPTH; ++level) req.out.printf("&nbsp;&nbsp;");
    const std::optional<B_TITLE2> settings = ReadB_TITLE2(req.store, folder.FOLDER_NO);
    req.out.printf("<IMG SRC=\"%s%s\">%s</TD>", html_attr(req.sys.CG_FILE_WEB_PATH),
                   folder_icon(folder, settings), sanitize_html(folder.NAME));
    if (mode == TableMode::kList) {
      const Html alt = html_attr(folder.NAME);
      icon_link(req, "BORDCONFIG", "FOLDER_NO", folder.FOLDER_NO, "bot0001.gif", alt);
      icon_link(req, "BORDACCESS", "FOLDER_NO", folder.FOLDER_NO, "bot0002.gif", alt);
      icon_link(req, "BORDMOVE", "DISPNO", dispno, "bot0003.gif", alt);
    }
    req.out.printf("</TR>\n");
  }
  req.out.printf("</TABLE>\n");
}

void folder_options(Request& req) {
  int dispno = 0;
  for (const B_TITLE& folder : *folder_tree(req.store)) {
    ++dispno;
    req.out.printf("<OPTION VALUE=\"%d\">%d:%s\n", dispno, dispno, sanitize_html(folder.NAME));
  }
}

// A select of the folders after "0: none", then a blank and `after`.
void place_row(Request& req, int label, int after) {
  open_label_row(req, req.text(label));
  req.out.printf("<SELECT NAME=\"DISPNO\">\n");
  req.out.printf("<OPTION VALUE=\"0\">%s\n", req.text(195));
  folder_options(req);
  req.out.printf("</SELECT> %s", req.text(after));
  close_label_row(req);
}

void select_row(Request& req, int label, const Html& name,
                std::initializer_list<std::pair<int, int>> options) {
  open_label_row(req, req.text(label));
  req.out.printf("<SELECT NAME=\"%s\">\n", name);
  for (const auto& [value, text] : options) {
    req.out.printf("<OPTION VALUE=\"%d\">%s\n", value, req.text(text));
  }
  req.out.printf("</SELECT>");
  close_label_row(req);
}

Placement placement_of(const Request& req) {
  return req.form.number("CLASS") == 2 ? Placement::kInside : Placement::kAfter;
}

}  // namespace

void j_FOLDERLIST(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(184));
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  print_job_button_cells(req, {{"ADMIN", 4}, {"NEWFOLDER", 185}, {"DELFOLDER", 186}});
  req.out.printf("<TD>");
  req.out.printf("<FORM ACTION=\"%s\" METHOD=POST >\n", html_attr(req.JOB_EXE));
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", "FOLDER_DOWNLOAD");
  print_submit(req, req.text(243));
  close_form(req);
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  folder_table(req, TableMode::kList);
  open_job_form(req, "FOLDER_UPLOAD");
  req.out.printf("%s<INPUT TYPE=\"FILE\" NAME=\"FILE1\">\n", req.text(244));
  print_submit(req, req.text(245));
  close_form(req);
  print_page_end(req);
}

void j_NEWFOLDER(Request& req) {
  header_printf(req);
  print_title_check_script(req, {{"NAME", 206}});
  print_body(req);
  print_title(req, req.text(193));
  folder_table(req, TableMode::kPlain);
  open_input_form(req, "NEWFOLDERWR");
  req.out.printf("<TABLE BORDER>\n");
  place_row(req, 194, 196);
  select_row(req, 197, "CLASS", {{1, 198}, {2, 199}});
  select_row(req, 200, "MODE", {{2, 201}, {3, 203}, {1, 202}});
  open_label_row(req, req.text(204));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"NAME\" SIZE=\"40\" MAXLENGTH=\"80\">");
  close_label_row(req);
  req.out.printf("</TABLE>\n");
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return title_chk()\">\n",
      req.text(205));
  print_back_button(req);
  close_form(req);
  print_page_end(req);
}

int j_NEWFOLDERWR(Request& req, const WriteToken& w) {
  const std::string name = req.form.cgi_getvalue("NAME");
  const long mode = req.form.number("MODE");
  if (name.empty()) return kFolderNameEmpty;
  // Blanks before the name would be read back as depth.
  if (holds_byte(name, ",\r\n") || name.front() == ' ') return kFolderNameBadChar;
  if (mode < B_TITLE::kDir || mode > B_TITLE::kChat) return kFolderBadKind;
  return create_folder(req.store, w, static_cast<int>(req.form.number("DISPNO")), placement_of(req),
                       static_cast<int>(mode), name);
}

void j_DELFOLDER(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(208));
  folder_table(req, TableMode::kPlain);
  open_job_form(req, "DELFOLDERWR");
  req.out.printf("<TABLE BORDER>\n");
  open_label_row(req, req.text(209));
  req.out.printf("<SELECT NAME=\"DISPNO\">\n");
  folder_options(req);
  req.out.printf("</SELECT>");
  close_label_row(req);
  req.out.printf("</TABLE>\n");
  print_confirm_submit(req, req.text(186), req.text(210));
  print_back_button(req);
  close_form(req);
  print_page_end(req);
}

int j_DELFOLDERWR(Request& req, const WriteToken& w) {
  std::vector<long> deleted;
  const FolderDeletion result =
      delete_subtree(req.store, w, static_cast<int>(req.form.number("DISPNO")),
                     req.sys.DATA_FILE_PATH, req.sys.ADD_FILE_PATH, &deleted);
  // Their boards' read-mark summaries went with their directories.
  for (long board : deleted) forget_mark_summary(req.store, board);
  // A deletion that could not rewrite the tree deleted nothing.
  return result == FolderDeletion::kNotStored ? kFolderNotStored : kFolderDeleted;
}

void j_BORDMOVE(Request& req) {
  const int dispno = static_cast<int>(req.form.number("DISPNO"));
  const std::optional<B_TITLE> folder = ReadB_TITLE(req.store, dispno, TitleKey::kDisplayNo);
  header_printf(req);
  print_body(req);
  req.out.printf("<FONT SIZE=\"5\"><B>(%s) %s</B></FONT>\n",
                 sanitize_html(folder ? folder->NAME : std::string()), req.text(239));
  folder_table(req, TableMode::kMove, dispno);
  open_job_form(req, "BORDMOVEWR");
  print_hidden(req, "SRC_DISPNO", dispno);
  req.out.printf("<TABLE BORDER>\n");
  place_row(req, 240, 241);
  select_row(req, 197, "CLASS", {{1, 198}, {2, 199}});
  req.out.printf("</TABLE>\n");
  req.out.printf("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\">&nbsp;&nbsp;\n", req.text(192));
  print_back_button(req);
  close_form(req);
  print_page_end(req);
}

int j_BORDMOVEWR(Request& req, const WriteToken& w) {
  switch (move_subtree(req.store, w, static_cast<int>(req.form.number("SRC_DISPNO")),
                       static_cast<int>(req.form.number("DISPNO")), placement_of(req))) {
    case FolderMove::kMoved:
      return kMoveDone;
    case FolderMove::kNoSource:
    case FolderMove::kNotInDir:
      return kMoveNoPlace;
    case FolderMove::kInsideSubtree:
      return kMoveInsideSubtree;
    case FolderMove::kNotStored:
      return kMoveNotStored;
  }
  return kMoveNotStored;
}

void j_FOLDER_DOWNLOAD(Request& req) {
  file_DL(req, req.sys.DATA_FILE_PATH, kTreeFile);
}

int j_FOLDER_UPLOAD(Request& req, const WriteToken& w) {
  const std::optional<UploadName> upload = own_upload(req, "FILE1");
  if (!upload) return kUploadDone;
  const std::string temp = editpath(upload->temp_name, req.upload_dir);
  const std::optional<std::string> text =
      upload->file_name == kTreeFile ? read_file(temp) : std::nullopt;
  if (!text || !replace_tree(req.store, w, *text)) return kUploadNotTree;
  return kUploadDone;
}

void file_DL(Request& req, const std::string& dir, const std::string& name) {
  req.out.printf("Content-Type: application/octet-stream\n");
  req.out.printf("Content-Disposition: attachment; filename=%s\n\n", html_attr(name));
  // The site's own file, sent back to its administrator as it stands.
  const std::optional<std::string> contents = read_file(dir + name);
  if (contents) req.out.write(Html::of_installation(*contents));
}

}  // namespace plazet
