#include "admin/user_pages.h"

#include <algorithm>
#include <array>
#include <optional>

#include "admin/admin_kit.h"
#include "boards/uploads.h"
#include "folders/account_admin.h"
#include "frame/page_kit.h"
#include "store/dirs.h"
#include "store/file_find.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/group_files.h"
#include "users/session.h"
#include "users/user_file.h"

namespace plazet {
namespace {

// The USER_ID of the form as the pages and the write take it: without
// trailing spaces, cut to its field.
std::string form_user_id(const Request& req) {
  return fit_text_field(without_trailing_spaces(req.form.cgi_getvalue("USER_ID")),
                        MST_USER::kIdWidth);
}

// --- the forms ----------------------------------------------------------

void print_user_head(Request& req, int title) {
  header_printf(req);
  if (title == 183) {
    print_title_check_script(req, {{"USER_NAME", 182}});
  } else {
    print_title_check_script(req, {{"USER_ID", 181}, {"USER_NAME", 182}});
  }
  print_body(req);
  print_title(req, req.text(title));
}

void open_user_form(Request& req, std::string_view job) {
  open_input_form(req, job);
  req.out.printf("<TABLE BORDER>\n");
}

void text_input_row(Request& req, int label, const Html& type, const Html& name, int size,
                    int max_length, const std::string& value) {
  open_label_row(req, req.text(label));
  req.out.printf("<INPUT TYPE=\"%s\" NAME=\"%s\" SIZE=\"%d\" MAXLENGTH=\"%d\" VALUE=\"%s\">", type,
                 name, size, max_length, html_attr(value));
  close_label_row(req);
}

// A select whose first option is the current value's; `values` and `texts`
// give the options that follow.
template <std::size_t N>
void choice_row(Request& req, int label, const Html& name, long current,
                const std::array<long, N>& values, const std::array<int, N>& texts,
                bool current_again) {
  open_label_row(req, req.text(label));
  req.out.printf("<SELECT NAME=\"%s\">\n", name);
  // A stored value the form cannot send shows as the first choice.
  std::size_t first = 0;
  for (std::size_t k = 0; k < N; ++k) {
    if (values[k] == current) first = k;
  }
  req.out.printf("<OPTION VALUE=\"%ld\">%s\n", values[first], req.text(texts[first]));
  for (std::size_t k = 0; k < N; ++k) {
    if (!current_again && k == first) continue;
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", values[k], req.text(texts[k]));
  }
  req.out.printf("</SELECT>");
  close_label_row(req);
}

void disp_def_row(Request& req, const MST_USER& user) {
  choice_row<3>(req, 174, "USER_DISP_DEF", user.USER_DISP_DEF, {1, 2, 3}, {175, 176, 177}, true);
}

void write_mode_row(Request& req, const MST_USER& user) {
  choice_row<2>(req, 291, "WRITE_MODE", user.WRITE_MODE, {1, 2}, {292, 293}, false);
}

void language_row(Request& req, const MST_USER& user) {
  const std::vector<std::string> files = language_files();
  open_label_row(req, req.text(115));
  req.out.printf("<SELECT NAME=\"LANGUAGE\">\n");
  // Only files of the listing are offered, the user's own first. A user
  // without one gets the installation's first, so that saving the form
  // keeps the language the user has been reading.
  const std::string& first = user.LANGUAGE.empty() ? req.sys.LANGUAGE : user.LANGUAGE;
  if (std::find(files.begin(), files.end(), first) != files.end()) {
    req.out.printf("<OPTION VALUE=\"%s\">%s\n", html_attr(first), sanitize_html(first));
  }
  for (const std::string& file : files) {
    req.out.printf("<OPTION VALUE=\"%s\">%s\n", html_attr(file), sanitize_html(file));
  }
  req.out.printf("</SELECT>");
  close_label_row(req);
}

void picture_row(Request& req, const MST_USER& user) {
  open_label_row(req, req.text(224));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"PICFILE\" SIZE=\"40\" MAXLENGTH=\"250\" VALUE=\"%s\"><BR>%s",
      html_attr(user.PICFILE), req.text(7));
  req.out.printf("<INPUT TYPE=\"FILE\" NAME=\"FILE1\">");
  close_label_row(req);
}

// j_USERMENT_sub1: an option for every group of group.mst.
void print_group_options(Request& req) {
  for (const MST_GROUP& g : ReadGROUP_MSTall(req.store, GroupListing::kCommaTerminated)) {
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", g.T02_GROUP_ID, sanitize_html(g.T02_GROUP_NAME));
  }
}

Html group_name(Request& req, long group_no) {
  const std::optional<MST_GROUP> group = ReadGROUP_MST(req.store, group_no);
  return sanitize_html(group ? group->T02_GROUP_NAME : std::string());
}

void primary_group_row(Request& req, const MST_USER& user) {
  open_label_row(req, req.text(162));
  req.out.printf("<SELECT NAME=\"P_GROUP\">\n");
  if (user.P_GROUP > 0) {
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", user.P_GROUP, group_name(req, user.P_GROUP));
  } else {
    req.out.printf("<OPTION VALUE=\"0\">%s\n", req.text(170));
  }
  print_group_options(req);
  req.out.printf("<OPTION VALUE=\"0\">%s\n", req.text(170));
  req.out.printf("</SELECT>");
  close_label_row(req);
}

void membership_table(Request& req, const std::string& id) {
  req.out.printf("<TABLE BORDER>\n");
  req.out.printf("<TR><TD ROWSPAN=2 BGCOLOR=\"#E0FFFF\">%s</TD>", req.text(178));
  req.out.printf("<TD BGCOLOR=\"#E0FFFF\">%s</TD><TD BGCOLOR=\"#E0FFFF\">%s</TD></TR>\n",
                 req.text(179), req.text(180));
  req.out.printf("<TR><TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"NOWGROUP\" SIZE=5 MULTIPLE>\n");
  for (long group_no : ReadGROUP_USER1(req.store, id)) {
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", group_no, group_name(req, group_no));
  }
  req.out.printf("</SELECT><BR>\n");
  req.out.printf("<INPUT TYPE=\"submit\" name=\"GROUP_OUT\" VALUE=\"%s\">\n", req.text(172));
  req.out.printf("</TD><TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"GROUPLIST\" SIZE=5 MULTIPLE>\n");
  print_group_options(req);
  req.out.printf("</SELECT><BR>\n");
  req.out.printf("<INPUT TYPE=\"submit\" name=\"GROUP_IN\" VALUE=\"%s\">\n", req.text(171));
  req.out.printf("</TD></TR>\n");
  req.out.printf("</TABLE>\n");
}

void print_save_button(Request& req) {
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB1\" VALUE=\"%s\" onClick=\"return title_chk()\">\n",
      req.text(171));
}

// --- the write ----------------------------------------------------------

bool has_field(const Request& req, std::string_view name) {
  return req.form.field(name) != nullptr;
}

// A typed picture name keeps the record one line of twelve fields.
std::string typed_picture(const Request& req) {
  const std::string value = req.form.cgi_getvalue("PICFILE");
  return fit_text_field(value.substr(0, value.find_first_of(",\r\n")), MST_USER::kPicfileWidth);
}

// Moves the uploaded picture to <CG_FILE_PATH>userpic/<ID>/<name>; false
// when it is not stored there.
bool store_picture(Request& req, const WriteToken& w, const std::string& id,
                   const UploadName& picture) {
  // Its name becomes a field of the record: it must not split it.
  if (holds_byte(picture.file_name, ",\r\n")) return false;
  const std::string all = req.sys.CG_FILE_PATH + "userpic";
  const std::string own = all + "/" + id;
  return ensure_directory(all) && ensure_directory(own) &&
         filemove(w, editpath(picture.temp_name, req.upload_dir), own + "/" + picture.file_name);
}

// The language chosen, when it is one the forms offer; otherwise none (the
// installation's language).
std::string chosen_language(const Request& req) {
  const std::string value = req.form.cgi_getvalue("LANGUAGE");
  const std::vector<std::string> files = language_files();
  return std::find(files.begin(), files.end(), value) != files.end() ? value : std::string();
}

// The user's own language table for the page that follows a change of it.
void use_language_of(Request& req, const MST_USER& user) {
  req.lang.clear();
  req.lang.StrdefFileOpen(req.sys.LANGUAGE);
  if (!user.LANGUAGE.empty() && user.LANGUAGE != req.sys.LANGUAGE &&
      plain_language_file(user.LANGUAGE)) {
    req.lang.StrdefFileOpen(user.LANGUAGE);
  }
}

// Every group number of a multiple choice, up to the first empty value.
// Group numbers below 1 name no group (0 ends a membership list).
std::vector<long> chosen_groups(const Request& req, std::string_view field) {
  std::vector<long> groups;
  for (std::size_t i = 0;; ++i) {
    const std::string value = req.form.cgi_getvalue(field, i);
    if (value.empty()) break;
    if (const long g = atol_prefix(value); g >= 1) groups.push_back(g);
  }
  return groups;
}

}  // namespace

std::vector<std::string> language_files() {
  return filefind(".", "*.lng");
}

void refuse_USERMENT(Request& req) {
  print_user_head(req, form_user_id(req).empty() ? 165 : 166);
  print_refusal_text(req);
}

void j_USERMENT(Request& req) {
  std::string id = form_user_id(req);
  const bool given = !id.empty();
  print_user_head(req, given ? 166 : 165);
  MST_USER user;
  if (given) {
    std::string probe = id;
    if (std::optional<MST_USER> found = ReadMST_USER(req.store, probe)) {
      user = *found;
      id = found->USER_ID;
    }
  }
  open_user_form(req, given ? "USERWR" : "NEWUSERWR");
  open_label_row(req, req.text(136));
  if (given) {
    req.out.printf("<INPUT TYPE=\"hidden\" name=\"USER_ID\" value=\"%s\">%s", html_attr(id),
                   sanitize_html(id));
  } else {
    req.out.printf("<INPUT TYPE=\"text\" NAME=\"USER_ID\" SIZE=\"20\" MAXLENGTH=\"20\">");
  }
  close_label_row(req);
  text_input_row(req, 131, "password", "USER_PASS", 20, 20, user.USER_PASS);
  text_input_row(req, 137, "text", "USER_NAME", 40, 80, user.USER_NAME);
  open_label_row(req, req.text(138));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"USER_LEVEL\" SIZE=\"3\" MAXLENGTH=\"3\" VALUE=\"%ld\">",
      user.USER_LEVEL);
  close_label_row(req);
  text_input_row(req, 169, "text", "E_MAIL_ADDR", 40, 250, user.E_MAIL_ADDR);
  primary_group_row(req, user);
  disp_def_row(req, user);
  choice_row<2>(req, 139, "MODE", user.MODE, {1, 2}, {167, 168}, false);
  write_mode_row(req, user);
  language_row(req, user);
  picture_row(req, user);
  req.out.printf("</TABLE>\n");

  print_save_button(req);
  req.out.printf("<INPUT TYPE=\"submit\" name=\"SUB2\" VALUE=\"%s\">\n", req.text(4));
  if (given) {
    req.out.printf(
        "<INPUT TYPE=\"submit\" name=\"SUB3\" VALUE=\"%s\" onClick=\"return confirm('%s')\">\n",
        req.text(172), req.text(173));
  }
  membership_table(req, id);
  close_form(req);
  print_page_end(req);
}

void j_MYDATA(Request& req) {
  const MST_USER& user = *req.user;
  print_user_head(req, 183);
  req.out.printf("<P>\n");
  req.out.printf("<HR>\n");
  req.out.printf("<P>\n");
  open_user_form(req, "MYDATAWR");
  print_label_row(req, req.text(136), sanitize_html(user.USER_ID));
  text_input_row(req, 131, "password", "USER_PASS", 20, 20, user.USER_PASS);
  text_input_row(req, 137, "text", "USER_NAME", 40, 80, user.USER_NAME);
  text_input_row(req, 169, "text", "E_MAIL_ADDR", 40, 250, user.E_MAIL_ADDR);
  disp_def_row(req, user);
  write_mode_row(req, user);
  language_row(req, user);
  picture_row(req, user);
  choice_row<2>(req, 370, "NO_READ_MODE", user.NO_READ_MODE, {0, 1}, {371, 372}, false);
  req.out.printf("</TABLE>\n");
  print_save_button(req);
  close_form(req);
  print_page_end(req);
}

namespace {

int write_user(Request& req, const WriteToken& w, bool own) {
  // The own-data page switched off takes no changes either.
  if (own && req.sys.MYDATA != 0) return kUserNotAllowed;
  if (has_field(req, "SUB2")) return kUserBack;

  const std::string id = own ? req.user->USER_ID : form_user_id(req);
  const std::string name = fit_text_field(
      without_trailing_spaces(req.form.cgi_getvalue("USER_NAME")), MST_USER::kNameWidth);
  const std::string mail = fit_text_field(
      without_trailing_spaces(req.form.cgi_getvalue("E_MAIL_ADDR")), MST_USER::kMailWidth);
  const std::string pass = fit_text_field(req.form.cgi_getvalue("USER_PASS"), MST_USER::kPassWidth);
  if (id.empty()) return kUserIdEmpty;
  if (name.empty()) return kUserNameEmpty;
  // The ID also names the user's picture directory under "userpic".
  if (holds_byte(id, ", \r\n/") || holds_any(id, "\\") || id == "." || id == "..") {
    return kUserIdBadChar;
  }
  if (holds_byte(name, ",\r\n")) return kUserNameBadChar;
  if (holds_byte(pass, ", \r\n")) return kUserPassBadChar;
  if (holds_byte(mail, ", \r\n")) return kUserMailBadChar;
  std::string probe = id;
  const std::optional<MST_USER> stored = ReadMST_USER(req.store, probe);
  if (req.JOB == "NEWUSERWR" && stored) return kUserIdTaken;
  // Later steps work on the ID as stored (letter case as created).
  const std::string stored_id = stored ? stored->USER_ID : id;

  const std::optional<UploadName> picture = own_upload(req, "FILE1");
  if (has_field(req, "SUB1")) {
    MST_USER user = stored.value_or(MST_USER{});
    user.USER_ID = stored_id;
    user.USER_NAME = name;
    user.E_MAIL_ADDR = mail;
    user.USER_PASS = pass;
    user.USER_DISP_DEF = req.form.number("USER_DISP_DEF");
    user.LANGUAGE = chosen_language(req);
    user.PICFILE = typed_picture(req);
    user.WRITE_MODE = req.form.number("WRITE_MODE");
    user.NO_READ_MODE = req.form.number("NO_READ_MODE");
    if (picture && store_picture(req, w, stored_id, *picture)) user.PICFILE = picture->file_name;
    if (!own) {
      user.USER_LEVEL = atol_prefix(without_trailing_spaces(req.form.cgi_getvalue("USER_LEVEL")));
      user.P_GROUP = req.form.number("P_GROUP");
      user.MODE = req.form.number("MODE");
    }
    // A failed write is not reported; the page that follows shows the file.
    (void)(stored ? ReWriteMST_USER(req.store, w, user) : InsertMST_USER(req.store, w, user));
    if (own) {
      req.user = user;
      use_language_of(req, user);
    }
    return kUserSaved;
  }
  if (own) return kUserNotAllowed;

  if (has_field(req, "SUB3")) {
    (void)remove_user(req.store, w, stored_id);
    return kUserDeleted;
  }
  if (has_field(req, "GROUP_IN")) {
    // The file is kept in group order after every line added.
    for (long g : chosen_groups(req, "GROUPLIST")) {
      (void)WriteGROUP_USER(req.store, w, {g, stored_id});
      (void)SortGROUP_USER(req.store, w);
    }
  }
  if (has_field(req, "GROUP_OUT")) {
    for (long g : chosen_groups(req, "NOWGROUP")) {
      (void)DeleteGROUP_USER(req.store, w, GroupUserDelete::kMember, {g, stored_id});
    }
  }
  return kUserGroupsEdited;
}

}  // namespace

int j_USERWR(Request& req, const WriteToken& w) {
  // The picture is stored only once every check has passed and the user is
  // saved; on every other way out its upload goes when the request ends.
  return write_user(req, w, req.JOB == "MYDATAWR");
}

}  // namespace plazet
