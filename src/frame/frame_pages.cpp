#include "frame/frame_pages.h"

#include "frame/page_kit.h"
#include "text/escape.h"

namespace plazet {

void j_login(Request& req) {
  const Html action = html_attr(req.JOB_EXE);
  header_printf(req);
  req.out.printf("\t\t<TITLE>Welcome to Plazet %s for %s</TITLE>\n", kVersion, kEdition);
  print_body(req);
  req.out.printf("Plazet %s for %s<BR>\n", kVersion, kEdition);
  req.out.printf("\t\t<CENTER>\n");
  req.out.printf("\t\t<IMG SRC=\"%s%s\" >\n", html_attr(req.sys.CG_FILE_WEB_PATH),
                 html_attr(req.sys.LOGIN_GIF));
  req.out.printf("\t\t<FORM ACTION=\"%s\" METHOD=POST >\n", action);
  req.out.printf("%s<P>\n", req.text(100));
  req.out.printf("\t\t<TABLE>\n");
  req.out.printf(
      "\t\t<TR><TD>%s</TD><TD><INPUT TYPE=\"text\" NAME=\"uid\" SIZE=\"20\" "
      "MAXLENGTH=\"20\"></TD></TR>\n",
      req.text(130));
  req.out.printf(
      "\t\t<TR><TD>%s</TD><TD><INPUT TYPE=\"password\" NAME=\"upw\" SIZE=\"20\" "
      "MAXLENGTH=\"20\"></TD></TR>\n",
      req.text(131));
  req.out.printf("\t\t</TABLE>\n");
  req.out.printf("\t\t<INPUT TYPE=\"hidden\" NAME=\"JOB\" VALUE=\"TOP\"><P>\n");
  req.out.printf("\t\t<INPUT TYPE=\"submit\" NAME=\"sub\" VALUE=\"%s\">\n", req.text(101));
  req.out.printf("\t\t</FORM>\n");
  req.out.printf("\t\t</CENTER>\n");
  print_page_end(req);
}

void j_ERROR2(Request& req, int title, int message) {
  header_printf(req);
  print_body(req);
  req.out.printf("<CENTER>\n");
  req.out.printf("<BR>\n");
  print_title(req, req.text(title));
  req.out.printf("<P><BR><HR><P><BR>\n");
  req.out.printf("<FONT COLOR=\"RED\"><B>%s</B></FONT>\n", req.text(message));
  req.out.printf("<FORM ACTION=\"%s\" METHOD=POST >", html_attr(req.JOB_EXE));
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\" OK \" onClick=\"history.back()\">");
  close_form(req);
  req.out.printf("</CENTER>\n");
  print_page_end(req);
}

void j_IDerr(Request& req) {
  header_printf(req);
  print_body(req);
  req.out.printf("<CENTER>\n");
  req.out.printf("<BR>\n");
  print_title(req, req.text(6));
  req.out.printf("<P><BR><HR><P><BR>\n");
  req.out.printf(
      "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST TARGET=\"_parent\">",
      html_attr(req.JOB_EXE));
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\">", req.text(4));
  close_form(req);
  req.out.printf("</CENTER>\n");
  print_page_end(req);
}

}  // namespace plazet
