#include "admin/group_pages.h"

#include <string>
#include <vector>

#include "admin/admin_kit.h"
#include "boards/uploads.h"
#include "folders/account_admin.h"
#include "frame/page_kit.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/group_files.h"

namespace plazet {
namespace {

void open_group_table(Request& req) {
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR><TD BGCOLOR=\"#E0FFFF\">%s</TD><TD BGCOLOR=\"#E0FFFF\">%s</TD></TR>\n",
                 req.text(152), req.text(153));
}

void print_number_cell(Request& req, long number, const Html& color = "#FFFFFF") {
  req.out.printf("<TR><TD BGCOLOR=\"%s\" ALIGN=\"CENTER\">%ld</TD>", color, number);
}

void print_plain_row(Request& req, const MST_GROUP& group) {
  print_number_cell(req, group.T02_GROUP_ID);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD></TR>\n", sanitize_html(group.T02_GROUP_NAME));
}

void print_submit_and_back(Request& req, int caption, const Html& on_click = Html()) {
  if (on_click.empty()) {
    print_submit(req, req.text(caption));
  } else {
    req.out.printf("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"%s\">\n",
                   req.text(caption), on_click);
  }
  print_back_button(req);
}

}  // namespace

void j_GROUPLIST(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(111));
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  print_job_button_cells(req, {{"NEWGROUP", 150}, {"DELGROUP", 151}, {"ADMIN", 4}});
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  open_group_table(req);
  const Html program = html_attr(req.JOB_EXE);
  const Html key = url_query(req.SKEY);
  for (const MST_GROUP& group : ReadGROUP_MSTall(req.store)) {
    print_number_cell(req, group.T02_GROUP_ID);
    req.out.printf(
        "<TD BGCOLOR=\"#FFFFFF\"><A HREF=\"%s?SKEY=%s&JOB=EDITGROUP&T02_GROUP_ID=%ld\">%s</A>"
        "</TD></TR>\n",
        program, key, group.T02_GROUP_ID, sanitize_html(group.T02_GROUP_NAME));
  }
  req.out.printf("</TABLE>\n");
  print_page_end(req);
}

void j_NEWGROUP(Request& req) {
  header_printf(req);
  print_title_check_script(req, {{"T02_GROUP_ID", 156}, {"T02_GROUP_NAME", 157}});
  print_body(req);
  print_title(req, req.text(154));
  open_input_form(req, "NEWGROUPWR");
  open_group_table(req);
  long next = 1;
  for (const MST_GROUP& group : ReadGROUP_MSTall(req.store)) {
    print_plain_row(req, group);
    next = group.T02_GROUP_ID + 1;
  }
  req.out.printf(
      "<TR><TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\"><INPUT TYPE=\"text\" NAME=\"T02_GROUP_ID\" "
      "SIZE=\"3\" MAXLENGTH=\"3\" VALUE=\"%ld\"></TD>",
      next);
  req.out.printf(
      "<TD BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"text\" NAME=\"T02_GROUP_NAME\" SIZE=\"40\" "
      "MAXLENGTH=\"80\"></TD></TR>\n");
  req.out.printf("</TABLE>\n");
  print_submit_and_back(req, 155, "return title_chk()");
  close_form(req);
  print_page_end(req);
}

void j_EDITGROUP(Request& req) {
  const long chosen = req.form.number("T02_GROUP_ID");
  header_printf(req);
  print_body(req);
  print_title(req, req.text(159));
  open_job_form(req, "NEWGROUPWR");
  print_hidden(req, "T02_GROUP_ID", chosen);
  open_group_table(req);
  for (const MST_GROUP& group : ReadGROUP_MSTall(req.store)) {
    if (group.T02_GROUP_ID != chosen) {
      print_plain_row(req, group);
      continue;
    }
    print_number_cell(req, group.T02_GROUP_ID, "#FFB6C1");
    req.out.printf(
        "<TD BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"text\" NAME=\"T02_GROUP_NAME\" SIZE=\"40\" "
        "MAXLENGTH=\"80\" VALUE=\"%s\"></TD></TR>\n",
        html_attr(group.T02_GROUP_NAME));
  }
  req.out.printf("</TABLE>\n");
  print_submit_and_back(req, 155);
  close_form(req);
  print_page_end(req);
}

int j_NEWGROUPWR(Request& req, const WriteToken& w) {
  const std::string number = req.form.cgi_getvalue("T02_GROUP_ID");
  const std::string name = req.form.cgi_getvalue("T02_GROUP_NAME");
  if (number.empty()) return kGroupNumberEmpty;
  if (name.empty()) return kGroupNameEmpty;
  MST_GROUP group;
  group.T02_GROUP_ID = atol_prefix(number);
  if (group.T02_GROUP_ID < 1) return kGroupNumberBelowOne;
  // Cut at the field, never inside a two-byte character.
  group.T02_GROUP_NAME = fit_text_field(name, MST_GROUP::kNameWidth);
  (void)ReWriteMST_GROUP(req.store, w, group);
  return kGroupSaved;
}

void j_DELGROUP(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(161));
  open_job_form(req, "DELGROUPWR");
  open_group_table(req);
  const std::vector<MST_GROUP> groups = ReadGROUP_MSTall(req.store);
  for (const MST_GROUP& group : groups) print_plain_row(req, group);
  req.out.printf("</TABLE>\n");
  if (group_mst_readable(req.store)) {
    req.out.printf("<TABLE BORDER>\n");
    open_label_row(req, req.text(160));
    req.out.printf("<SELECT NAME=\"T02_GROUP_ID\">\n");
    for (const MST_GROUP& group : groups) {
      req.out.printf("<OPTION VALUE=\"%ld\">%ld:%s\n", group.T02_GROUP_ID, group.T02_GROUP_ID,
                     sanitize_html(group.T02_GROUP_NAME));
    }
    req.out.printf("</SELECT>");
    close_label_row(req);
    req.out.printf("</TABLE>\n");
  }
  print_submit_and_back(req, 151);
  close_form(req);
  print_page_end(req);
}

int j_DELGROUPWR(Request& req, const WriteToken& w) {
  const std::string number = req.form.cgi_getvalue("T02_GROUP_ID");
  if (number.empty()) return kGroupNumberEmpty;
  const long group_no = atol_prefix(number);
  if (group_no < 1) return kGroupNumberBelowOne;
  // A deletion that stops half way leaves the group listed; the list that
  // follows shows it, and deleting it again finishes the work.
  (void)remove_group(req.store, w, group_no);
  return kGroupSaved;
}

}  // namespace plazet
