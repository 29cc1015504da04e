#include "frame/page_kit.h"

#include "text/escape.h"

namespace plazet {
namespace {

constexpr char kLabelColor[] = "#E0FFFF";
constexpr char kValueColor[] = "#FFFFFF";

}  // namespace

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

void print_indented_body(Request& req) {
  req.out.printf("\t\t");
  print_body(req);
}

void print_page_end(Request& req) {
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

void print_refusal(Request& req) {
  print_indented_body(req);
  print_refusal_text(req);
}

void print_refusal_text(Request& req) {
  req.out.printf("%s\n", req.text(3));
  req.out.printf("<FORM>\n");
  req.out.printf("<INPUT TYPE=\"button\" VALUE=\"%s\" onClick=\"history.back()\">\n", req.text(4));
  req.out.printf("</FORM>\n");
  print_page_end(req);
}

void refusal_page(Request& req) {
  header_printf(req);
  print_refusal(req);
}

void print_title(Request& req, const Html& text) {
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT>\n", text);
}

void open_script(Request& req) {
  req.out.printf("<SCRIPT Language=\"JavaScript\">\n");
  req.out.printf("<!--\n");
}

void open_title_check_script(Request& req, std::initializer_list<std::pair<Html, int>> checks) {
  open_script(req);
  req.out.printf("function title_chk(){\n");
  for (const auto& [field, text] : checks) {
    req.out.printf("if ( document.INPUT.%s.value==\"\" ) {\n", field);
    req.out.printf("window.alert( \"%s\" );\n", req.text(text));
    req.out.printf("return false }\n");
  }
  req.out.printf("}\n");
}

void close_script(Request& req) {
  req.out.printf("// -->\n");
  req.out.printf("</SCRIPT>\n");
}

void print_title_check_script(Request& req, std::initializer_list<std::pair<Html, int>> checks) {
  open_title_check_script(req, checks);
  close_script(req);
}

void print_hidden(Request& req, const Html& name, std::string_view value) {
  req.out.printf("<INPUT TYPE=\"hidden\" name=\"%s\" value=\"%s\">\n", name, html_attr(value));
}

void print_hidden(Request& req, const Html& name, long value) {
  req.out.printf("<INPUT TYPE=\"hidden\" name=\"%s\" value=\"%ld\">\n", name, value);
}

void open_post_form(Request& req, const Html& target) {
  req.out.printf("<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST ",
                 html_attr(req.JOB_EXE));
  if (!target.empty()) req.out.printf("TARGET=\"%s\"", target);
  req.out.printf(">\n");
}

void open_input_form(Request& req, std::string_view job) {
  req.out.printf(
      "<FORM NAME=\"INPUT\" ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST >\n",
      html_attr(req.JOB_EXE));
  if (job.empty()) return;
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", job);
}

void open_job_form(Request& req, std::string_view job, const Html& target) {
  open_post_form(req, target);
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", job);
}

void close_form(Request& req) {
  req.out.printf("</FORM>\n");
}

void print_submit(Request& req, const Html& caption) {
  req.out.printf("<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\">\n", caption);
}

void print_confirm_submit(Request& req, const Html& caption, const Html& question) {
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return confirm('%s')\">\n",
      caption, question);
}

void open_label_row(Request& req, const Html& label) {
  req.out.printf("<TR>\n");
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">%s</TD>\n", kLabelColor, label);
  req.out.printf("\t<TD NOWRAP BGCOLOR=\"%s\" ALIGN=\"LEFT\">", kValueColor);
}

void close_label_row(Request& req) {
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
}

void print_label_row(Request& req, const Html& label, const Html& value) {
  open_label_row(req, label);
  req.out.printf("%s", value);
  close_label_row(req);
}

}  // namespace plazet
