#include "admin/application_pages.h"

#include <optional>
#include <string>

#include "admin/admin_kit.h"
#include "frame/page_kit.h"
#include "store/line_reader.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/guest_user.h"
#include "users/user_file.h"

namespace plazet {
namespace {

// Decided applications stay listed this many days.
constexpr int kKeptDays = 14;

void input_row(Request& req, int label, const Html& name, int size, int max_length) {
  open_label_row(req, req.text(label));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"%d\" MAXLENGTH=\"%d\">", name, size,
                 max_length);
  close_label_row(req);
}

void header_cells(Request& req, std::initializer_list<int> texts) {
  for (int text : texts) req.out.printf("<TD BGCOLOR=\"#E0FFFF\">%s</TD>", req.text(text));
}

void cell(Request& req, const Html& text) {
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD>", text);
}

void radio(Request& req, const Html& name, int value, bool checked, int caption) {
  req.out.printf("<INPUT TYPE=\"radio\" NAME=\"%s\" VALUE=\"%d\"%s>%s\n", name, value,
                 checked ? Html(" CHECKED") : Html(), req.text(caption));
}

void open_page(Request& req, int heading) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(heading));
}

}  // namespace

void j_IDSINSEI(Request& req) {
  header_printf(req);
  print_title_check_script(req, {{"USER_ID", 181}, {"USER_NAME", 182}});
  print_body(req);
  print_title(req, req.text(311));
  open_input_form(req, "IDSINSEIWR");
  req.out.printf("<TABLE BORDER>\n");
  input_row(req, 136, "USER_ID", 20, 20);
  input_row(req, 131, "USER_PASS", 20, 20);
  input_row(req, 137, "USER_NAME", 40, 80);
  input_row(req, 169, "E_MAIL_ADDR", 40, 250);
  req.out.printf("</TABLE>\n");
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return title_chk()\">\n",
      req.text(171));
  print_back_button(req);
  close_form(req);
  print_page_end(req);
}

int j_IDSINSEIWR(Request& req, const WriteToken& w) {
  GUEST_USER application;
  application.USER_ID = req.form.cgi_getvalue("USER_ID");
  application.USER_NAME = req.form.cgi_getvalue("USER_NAME");
  application.USER_PASS = req.form.cgi_getvalue("USER_PASS");
  application.E_MAIL_ADDR = req.form.cgi_getvalue("E_MAIL_ADDR");
  if (application.USER_ID.empty()) return kApplyIdEmpty;
  if (application.USER_NAME.empty()) return kApplyNameEmpty;
  std::string probe = application.USER_ID;
  if (ReadMST_USER(req.store, probe)) return kApplyIdTaken;
  if (!may_apply(req.store, application.USER_ID)) return kApplyIdApplied;
  // The ID also names the user's picture directory.
  if (holds_byte(application.USER_ID, ", \r\n/") || holds_any(application.USER_ID, "\\") ||
      application.USER_ID == "." || application.USER_ID == "..") {
    return kApplyIdBadChar;
  }
  if (holds_byte(application.USER_NAME, ",\r\n")) return kApplyNameBadChar;
  if (holds_byte(application.USER_PASS, ", \r\n")) return kApplyPassBadChar;
  if (holds_byte(application.E_MAIL_ADDR, ", \r\n")) return kApplyMailBadChar;
  application.APPLY_DATE = set_date();
  application.REMOTE_ADDR = req.env.REMOTE_ADDR;
  application.HTTP_USER_AGENT = req.env.HTTP_USER_AGENT;
  application.OK_NG = GUEST_USER::kPending;
  // The ID may apply (checked above), so only a failed write refuses it here.
  return WriteGUEST_USER(req.store, w, application) ? kApplied : kApplyNotStored;
}

void j_IDSINSEIlist(Request& req, const WriteToken& w) {
  std::string cutoff = set_date();
  for (int day = 0; day < kKeptDays; ++day) back_date(cutoff);
  (void)prune_applications(req.store, w, cutoff);
  open_page(req, 107);
  req.out.printf("%s\n", req.text(314));
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR>");
  header_cells(req, {315, 136, 137, 316, 317});
  req.out.printf("</TR>\n");
  for (const GUEST_USER& a : ReadGUEST_USERall(req.store)) {
    req.out.printf("<TR><TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\">%s</TD>",
                   sanitize_html(a.APPLY_DATE));
    cell(req, sanitize_html(a.USER_ID));
    cell(req, sanitize_html(a.USER_NAME));
    if (a.OK_NG == GUEST_USER::kAccepted) {
      req.out.printf("<TD BGCOLOR=\"#B0E0E6\">%s</TD>", req.text(319));
    } else if (a.OK_NG == GUEST_USER::kRefused) {
      req.out.printf("<TD BGCOLOR=\"#FFB6C1\">%s</TD>", req.text(320));
    } else {
      req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD>", req.text(318));
    }
    req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s<BR></TD></TR>\n", sanitize_html(a.MESSAGE));
  }
  req.out.printf("</TABLE>\n");
  print_page_end(req);
}

void refuse_IDSINSEIlist2(Request& req) {
  open_page(req, 311);
  print_refusal_text(req);
}

void j_IDSINSEIlist2(Request& req) {
  open_page(req, 311);
  open_job_form(req, "IDSINSEIsysopWR");
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR><TD BGCOLOR=\"#E0FFFF\"></TD>");
  header_cells(req, {315, 136, 137, 321, 322});
  req.out.printf("</TR>\n");
  for (const GUEST_USER& a : ReadGUEST_USERall(req.store)) {
    if (a.OK_NG != GUEST_USER::kPending) continue;
    req.out.printf(
        "<TR><TD BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"checkbox\" NAME=\"USER_ID\" VALUE=\"%s\"></TD>",
        html_attr(a.USER_ID));
    cell(req, sanitize_html(a.APPLY_DATE));
    cell(req, sanitize_html(a.USER_ID));
    cell(req, sanitize_html(a.USER_NAME));
    // Both are whatever the applying client sent.
    cell(req, html_attr(a.REMOTE_ADDR));
    cell(req, html_attr(a.HTTP_USER_AGENT));
    req.out.printf("</TR>\n");
  }
  req.out.printf("</TABLE>\n");
  req.out.printf("<TABLE BORDER>\n");
  open_label_row(req, req.text(323));
  radio(req, "OK_NG", 1, true, 324);
  radio(req, "OK_NG", 2, false, 325);
  close_label_row(req);
  open_label_row(req, req.text(317));
  radio(req, "MES", 1, true, 326);
  radio(req, "MES", 2, false, 327);
  radio(req, "MES", 3, false, 328);
  radio(req, "MES", 4, false, 329);
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"MESSAGE\" SIZE=\"40\" MAXLENGTH=\"250\">");
  close_label_row(req);
  req.out.printf("</TABLE>\n");
  print_submit(req, req.text(171));
  print_back_button(req);
  close_form(req);
  print_page_end(req);
}

int j_IDSINSEIsysopWR(Request& req, const WriteToken& w) {
  const long state = req.form.number("OK_NG");
  // Only an acceptance or a refusal is a decision.
  if (state != GUEST_USER::kAccepted && state != GUEST_USER::kRefused) return kDecisionsStored;
  const long mes = req.form.number("MES");
  std::optional<std::string> message;
  if (mes >= 1 && mes <= 3) message = req.text(static_cast<int>(325 + mes)).str();
  if (mes == 4) message = req.form.cgi_getvalue("MESSAGE");
  for (std::size_t i = 0;; ++i) {
    const std::string id = req.form.cgi_getvalue("USER_ID", i);
    if (id.empty()) break;
    (void)decide_application(req.store, w, id, static_cast<std::int32_t>(state), message,
                             req.sys.LANGUAGE);
  }
  return kDecisionsStored;
}

}  // namespace plazet
