#include "admin/access_log_pages.h"

#include <ctime>
#include <optional>
#include <string>

#include "admin/admin_kit.h"
#include "admin/folder_pages.h"
#include "folders/account_admin.h"
#include "frame/page_kit.h"
#include "store/line_reader.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

void open_page(Request& req, const Html& heading) {
  header_printf(req);
  print_body(req);
  print_title(req, heading);
}

Html statistics_heading(Request& req) {
  return req.text(112) + " " + req.text(247);
}

void print_log_buttons(Request& req) {
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  print_job_button_cells(req,
                         {{"ADMIN", 4}, {"AccessLogDOWNLOAD", 246}, {"AccessLogLastLogin", 247}});
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
}

// A count cell: empty for 0.
void count_cell(Request& req, long count) {
  if (count == 0) {
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\"><BR></TD>");
  } else {
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\">%ld<BR></TD>", count);
  }
}

}  // namespace

void refuse_AccessLogDISP(Request& req) {
  open_page(req, req.text(112));
  print_refusal_text(req);
}

void refuse_AccessLogLastLogin(Request& req) {
  open_page(req, statistics_heading(req));
  print_refusal_text(req);
}

void j_AccessLogDISP(Request& req, const WriteToken& w) {
  open_page(req, req.text(112));
  print_log_buttons(req);
  print_page_end(req);
  const int days = static_cast<int>(atol_prefix(req.sys.LOG_DATE));
  (void)DeleteSYSTEM_LOG(req.store, w, cutoff_date(std::time(nullptr), days));
}

void j_AccessLogDOWNLOAD(Request& req) {
  file_DL(req, req.sys.DATA_FILE_PATH, "system.log");
}

void j_AccessLogLastLogin(Request& req) {
  open_page(req, statistics_heading(req));
  print_log_buttons(req);
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>");
  for (int text : {253, 248, 249, 247, 250, 251, 252}) {
    req.out.printf("<TD BGCOLOR=\"#E0FFFF\">%s</TD>", req.text(text));
  }
  req.out.printf("</TR>\n");
  open_job_form(req, "AccessLogDeleteUser");
  for (std::size_t n = 0;; ++n) {
    const std::optional<MST_USER> user = ReadMST_USERcount(req.store, n);
    if (!user) break;
    const LogCounts counts = ReadSYSTEM_LOG(req.store, user->USER_ID).value_or(LogCounts{});
    req.out.printf(
        "<TR><TD BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"checkbox\" NAME=\"USER_ID\" VALUE=\"%s\"></TD>",
        html_attr(user->USER_ID));
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD><TD BGCOLOR=\"#FFFFFF\">%s</TD>",
                   sanitize_html(user->USER_ID), sanitize_html(user->USER_NAME));
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\">%s<BR></TD>",
                   sanitize_html(counts.last_login));
    count_cell(req, counts.logins);
    count_cell(req, counts.writes);
    // Writes whose log-in lines were pruned away have no ratio.
    count_cell(req, counts.logins > 0 ? counts.writes * 100 / counts.logins : 0);
    req.out.printf("</TR>\n");
  }
  req.out.printf("</TABLE>\n");
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR><TD>");
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return confirm('%s')\">\n",
      req.text(254), req.text(255));
  close_form(req);
  req.out.printf("</TD><TD>");
  print_job_button(req, "ADMIN", req.text(4));
  req.out.printf("</TD></TR>\n");
  req.out.printf("</TABLE>\n");
  print_page_end(req);
}

int j_AccessLogDeleteUser(Request& req, const WriteToken& w) {
  for (std::size_t i = 0;; ++i) {
    const std::string id = req.form.cgi_getvalue("USER_ID", i);
    if (id.empty()) break;
    // A deletion that stops half way leaves the user listed; deleting him
    // again finishes the work.
    (void)remove_user(req.store, w, id);
  }
  return kLogUsersDeleted;
}

}  // namespace plazet
