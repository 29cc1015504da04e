#include "frame/frame_pages.h"

#include "text/escape.h"

namespace plazet {

void header_printf(Request& req) {
  req.out.printf("Content-type: text/html\n\n");
  req.out.printf("<HTML>\n");
  req.out.printf("<HEAD>\n");
  req.out.printf("%s", req.text(1));
  req.out.printf("</HEAD>\n");
  req.out.printf("<!--%s-->\n", req.text(2));
}

void print_body(Request& req) {
  req.out.printf("<BODY BACKGROUND=\"%s%s\" BGPROPERTIES=FIXED >\n",
                 html_attr(req.sys.CG_FILE_WEB_PATH), html_attr(req.sys.BACK_GIF));
}

void print_hidden(Request& req, const Html& name, std::string_view value) {
  req.out.printf("<INPUT TYPE=\"hidden\" name=\"%s\" value=\"%s\">\n", name,
                 html_attr(value));
}

void print_hidden(Request& req, const Html& name, long value) {
  req.out.printf("<INPUT TYPE=\"hidden\" name=\"%s\" value=\"%ld\">\n", name, value);
}

void print_refusal(Request& req) {
  req.out.printf("\t\t<BODY BACKGROUND=\"%s%s\" BGPROPERTIES=FIXED >\n",
                 html_attr(req.sys.CG_FILE_WEB_PATH), html_attr(req.sys.BACK_GIF));
  req.out.printf("%s\n", req.text(3));
  req.out.printf("<FORM>\n");
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\" onClick=\"history.back()\">\n", req.text(4));
  req.out.printf("</FORM>\n");
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

void refusal_page(Request& req) {
  header_printf(req);
  print_refusal(req);
}

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
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

void j_ERROR2(Request& req, int title, int message) {
  header_printf(req);
  print_body(req);
  req.out.printf("<CENTER>\n");
  req.out.printf("<BR>\n");
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT>\n", req.text(title));
  req.out.printf("<P><BR><HR><P><BR>\n");
  req.out.printf("<FONT COLOR=\"RED\"><B>%s</B></FONT>\n", req.text(message));
  req.out.printf("<FORM ACTION=\"%s\" METHOD=POST >", html_attr(req.JOB_EXE));
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\" OK \" onClick=\"history.back()\">");
  req.out.printf("</FORM>\n");
  req.out.printf("</CENTER>\n");
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

void j_IDerr(Request& req) {
  header_printf(req);
  print_body(req);
  req.out.printf("<CENTER>\n");
  req.out.printf("<BR>\n");
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT>\n", req.text(6));
  req.out.printf("<P><BR><HR><P><BR>\n");
  req.out.printf(
      "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST TARGET=\"_parent\">",
      html_attr(req.JOB_EXE));
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\">", req.text(4));
  req.out.printf("</FORM>\n");
  req.out.printf("</CENTER>\n");
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

}  // namespace plazet
