#include "admin/system_page.h"

#include <algorithm>
#include <array>
#include <string>

#include "admin/admin_kit.h"
#include "boards/uploads.h"
#include "frame/page_kit.h"
#include "frame/settings.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/escape.h"

namespace plazet {
namespace {

// The settings file is read in pieces of at most 999 bytes: a setting's
// line "KEY,value,\n" must fit one piece to read back as it was written.
constexpr std::size_t kSettingsLineBytes = 999;

void print_menu_button(Request& req, const char* job, int caption) {
  req.out.printf("<FORM ACTION=\"%s\" METHOD=GET TARGET=\"FRM22\">\n", html_attr(req.JOB_EXE));
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "JOB", job);
  print_submit(req, req.text(caption));
  close_form(req);
}

void text_row(Request& req, int label, const Html& name, const std::string& value) {
  open_label_row(req, req.text(label));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"40\" VALUE=\"%s\">", name,
                 html_attr(value));
  close_label_row(req);
}

void picture_row(Request& req, int label, const Html& name, const std::string& value,
                 const Html& file_field) {
  open_label_row(req, req.text(label));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"40\" VALUE=\"%s\"><BR>%s", name,
                 html_attr(value), req.text(7));
  req.out.printf("<INPUT TYPE=\"FILE\" NAME=\"%s\">", file_field);
  close_label_row(req);
}

void number_row(Request& req, const Html& label, const Html& name, int value, const Html& unit) {
  open_label_row(req, label);
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"8\" MAXLENGTH=\"3\" VALUE=\"%d\">%s",
                 name, value, unit);
  close_label_row(req);
}

// A select listing the current value's option first and the other second;
// a value that is neither gets no options.
void choice_row(Request& req, int label, const Html& name, int value, std::array<int, 2> values,
                std::array<int, 2> texts) {
  open_label_row(req, req.text(label));
  req.out.printf("<SELECT NAME=\"%s\">\n", name);
  const int first = value == values[0] ? 0 : value == values[1] ? 1 : -1;
  if (first >= 0) {
    for (int k : {first, 1 - first}) {
      req.out.printf("<OPTION VALUE=\"%d\">%s\n", values[k], req.text(texts[k]));
    }
  }
  req.out.printf("</SELECT>");
  close_label_row(req);
}

Html blue_label(Request& req, int first, int second) {
  return req.text(first) + "<BR><FONT COLOR=\"#0000FF\">" + req.text(second) + "</FONT>";
}

// A value cut to its setting's capacity and to what one line of the file holds.
std::string fit_setting(const TextKey& s, std::string_view value) {
  const std::size_t line_room = kSettingsLineBytes - std::string_view(s.key).size() - 3;
  return fit_text_field(value, std::min(s.capacity - 1, line_room) + 1);
}

}  // namespace

void j_ADMIN(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(104));
  print_menu_button(req, "SYSTEM", 108);
  print_menu_button(req, "USERLIST", 109);
  print_menu_button(req, "FOLDERLIST", 110);
  print_menu_button(req, "GROUPLIST", 111);
  print_menu_button(req, "AccessLogDISP", 112);
  print_menu_button(req, "IDSINSEIlist2", 113);
  print_page_end(req);
}

void refuse_ADMIN(Request& req) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(104));
  print_refusal_text(req);
}

void j_SYSTEM(Request& req) {
  const SYSINFO& sys = req.sys;
  header_printf(req);
  print_body(req);
  print_title(req, req.text(108));
  print_job_button(req, "ADMIN", req.text(4));

  open_job_form(req, "SYSTEMUPDATE");
  req.out.printf("<TABLE BORDER>\n");
  text_row(req, 115, "LANGUAGE", sys.LANGUAGE);
  text_row(req, 116, "CG_FILE_PATH", sys.CG_FILE_PATH);
  text_row(req, 117, "CG_FILE_WEB_PATH", sys.CG_FILE_WEB_PATH);
  text_row(req, 118, "DATA_FILE_PATH", sys.DATA_FILE_PATH);
  text_row(req, 119, "ADD_FILE_PATH", sys.ADD_FILE_PATH);
  text_row(req, 120, "ADD_FILE_WEB_PATH", sys.ADD_FILE_WEB_PATH);
  picture_row(req, 121, "LOGIN_GIF", sys.LOGIN_GIF, "FILE1");
  picture_row(req, 122, "BACK_GIF", sys.BACK_GIF, "FILE2");

  open_label_row(req, req.text(123));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"LOG_DATE\" SIZE=\"8\" MAXLENGTH=\"8\" VALUE=\"%s\">%s",
      html_attr(sys.LOG_DATE), req.text(8));
  close_label_row(req);
  // A stored 0 shows as the first style, which is what it means.
  choice_row(req, 124, "DATETIME", sys.DATETIME == 0 ? 1 : sys.DATETIME, {1, 2}, {9, 10});
  number_row(req, blue_label(req, 125, 126), "IECOLS", sys.IECOLS, req.text(11));
  number_row(req, blue_label(req, 125, 127), "NSCOLS", sys.NSCOLS, req.text(11));
  number_row(req, req.text(128), "ROWS", sys.ROWS, req.text(12));
  choice_row(req, 105, "MYDATA", sys.MYDATA, {0, 1}, {368, 369});

  open_label_row(req, req.text(376));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"MAX_CONTENTS\" SIZE=\"8\" MAXLENGTH=\"5\" VALUE=\"%d\">byte",
      sys.MAX_CONTENTS);
  close_label_row(req);
  open_label_row(req, req.text(378));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"LOGOFF_URL\" SIZE=\"40\" MAXLENGTH=\"1000\" VALUE=\"%s\">",
      html_attr(sys.LOGOFF_URL));
  close_label_row(req);
  open_label_row(req, req.text(379));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"FRAME_DIVIDE\" SIZE=\"5\" MAXLENGTH=\"2\" VALUE=\"%d\">%%",
      sys.FRAME_DIVIDE);
  close_label_row(req);
  req.out.printf("</TABLE>\n");

  // The settings form ends in the first cell; the second holds its own form.
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  req.out.printf("<TD><INPUT TYPE=\"submit\" VALUE=\"%s\">\n", req.text(129));
  close_form(req);
  req.out.printf("</TD>\n");
  req.out.printf("<TD>");
  print_job_button(req, "ADMIN", req.text(4));
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");
  print_page_end(req);
}

// Fields: the text settings, the number settings (leading digits; empty or
// absent gives 0), FILE1 (the log-in picture) and FILE2 (the background).
int j_SYSTEMUPDATE(Request& req, const WriteToken& w) {
  SYSINFO sys = req.sys;
  for (const TextKey& s : text_settings()) {
    sys.*s.field = fit_setting(s, req.form.cgi_getvalue(s.key));
  }
  for (const NumberKey& s : number_settings()) {
    sys.*s.field = static_cast<int>(req.form.number(s.key));
  }
  const std::optional<UploadName> login_picture = own_upload(req, "FILE1");
  const std::optional<UploadName> background = own_upload(req, "FILE2");
  // An upload's name (at most 251 bytes) fits its setting and line.
  if (login_picture) sys.LOGIN_GIF = login_picture->file_name;
  if (background) sys.BACK_GIF = background->file_name;

  for (const TextKey& s : text_settings()) {
    if (holds_byte(sys.*s.field, ",\r\n")) return kSettingsBadValue;
  }
  // A picture that cannot be moved is not reported; its name is stored.
  // Uploads left where the parser put them go when the request ends.
  for (const std::optional<UploadName>& upload : {login_picture, background}) {
    if (upload) {
      (void)filemove(w, editpath(upload->temp_name, req.upload_dir),
                     sys.CG_FILE_PATH + "/" + upload->file_name);
    }
  }
  (void)SysFileWrite(w, req.INI_FILE, sys);
  return kSettingsSaved;
}

}  // namespace plazet
