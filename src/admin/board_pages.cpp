#include "admin/board_pages.h"

#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <unordered_map>

#include "admin/admin_kit.h"
#include "boards/uploads.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/page_kit.h"
#include "pages/board_frame.h"
#include "store/dirs.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/escape.h"
#include "text/html_text.h"
#include "text/sanitize.h"
#include "text/sjis.h"
#include "users/group_files.h"
#include "users/user_file.h"

namespace plazet {
namespace {

// Description and default text keep at most this many bytes.
constexpr std::size_t kLongTextBytes = 4000;
constexpr std::size_t kPictureWidth = 252;
constexpr std::size_t kColorWidth = 8;

B_TITLE2 settings_of(Request& req, long folder_no) {
  return ReadB_TITLE2(req.store, folder_no).value_or(B_TITLE2{});
}

// The page header and the folder's BODY line.
B_TITLE2 open_page(Request& req, long folder_no) {
  header_printf(req);
  B_TITLE2 settings = settings_of(req, folder_no);
  print_folder_body(req, folder_no, settings);
  return settings;
}

std::string folder_name(Request& req, long folder_no) {
  const std::optional<B_TITLE> folder = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo);
  return folder ? folder->NAME : std::string();
}

void print_folder_title(Request& req, const std::string& name, int caption) {
  req.out.printf("<FONT SIZE=\"5\"><B>(%s) %s</B></FONT>\n", sanitize_html(name),
                 req.text(caption));
}

// The button back to the folder list, for a page not opened from the board.
void print_folder_list_button(Request& req, int caption) {
  if (!req.form.cgi_getvalue("FROM").empty()) return;
  print_job_button(req, "FOLDERLIST", req.text(caption));
}

void text_input_row(Request& req, int label, const Html& name, int size, int max_length,
                    const std::string& value, const Html& after = Html()) {
  open_label_row(req, req.text(label));
  req.out.printf("<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"%d\" MAXLENGTH=\"%d\" VALUE=\"%s\">%s",
                 name, size, max_length, html_attr(value), after);
  close_label_row(req);
}

void text_area_row(Request& req, int label, const Html& name, const std::string& value) {
  open_label_row(req, req.text(label));
  req.out.printf("<TEXTAREA NAME=\"%s\" COLS=\"40\" ROWS=\"5\" MAXLENGTH=\"250\">%s</TEXTAREA>",
                 name, html_textarea(value));
  close_label_row(req);
}

// Two options, the stored one first; a stored value below 1 counts as 1.
void choice_row(Request& req, int label, const Html& name, int stored, std::array<int, 2> texts) {
  open_label_row(req, req.text(label));
  req.out.printf("<SELECT NAME=\"%s\">\n", name);
  const bool second_first = stored == 2;
  const std::array<int, 2> order = second_first ? std::array{2, 1} : std::array{1, 2};
  for (int value : order) {
    req.out.printf("<OPTION VALUE=\"%d\">%s\n", value, req.text(texts[value - 1]));
  }
  req.out.printf("</SELECT>");
  close_label_row(req);
}

void picture_row(Request& req, int label, const Html& name, const std::string& value,
                 const Html& file_field) {
  open_label_row(req, req.text(label));
  req.out.printf(
      "<INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"%s\"><BR>%s", name,
      html_attr(value), req.text(222));
  req.out.printf("<INPUT TYPE=\"FILE\" NAME=\"%s\">", file_field);
  close_label_row(req);
}

// The settings form is the form INPUT its title check looks at.
void open_folder_form(Request& req, bool input_form, long folder_no, std::string_view job) {
  if (input_form) {
    open_input_form(req);
  } else {
    open_post_form(req);
  }
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "FOLDER_NO", folder_no);
  print_hidden(req, "JOB", job);
}

// --- the settings write ---------------------------------------------------

// Six hexadecimal digits, or a colour word of letters that fits the field.
bool plain_color(const std::string& value) {
  auto all = [&](int (*test)(int)) {
    for (unsigned char c : value) {
      if (!test(c)) return false;
    }
    return true;
  };
  if (value.size() == 6 && all(std::isxdigit)) return true;
  return !value.empty() && value.size() < kColorWidth && all(std::isalpha);
}

// A typed colour is stored when it is plain or empty; anything else keeps the
// stored one.
std::string color_field(const Request& req, std::string_view field, const std::string& stored) {
  const std::string value = req.form.cgi_getvalue(field);
  return value.empty() || plain_color(value) ? value : stored;
}

// A choice of the form: 2, or 1 for anything else (a stored 0 counts as 1).
std::int32_t one_or_two(const Request& req, std::string_view field) {
  return req.form.number(field) == 2 ? 2 : 1;
}

std::string long_text(const Request& req, std::string_view field) {
  return CrLf_to_Cr(fit_text_field(req.form.cgi_getvalue(field), kLongTextBytes + 1));
}

// Moves an uploaded picture into <CG_FILE_PATH><folder>/; false when it is
// not stored there.
bool store_picture(Request& req, const WriteToken& w, long folder_no, const UploadName& picture) {
  const std::string dir = req.sys.CG_FILE_PATH + std::to_string(folder_no);
  if (!ensure_directory(dir)) return false;
  return filemove(w, editpath(picture.temp_name, req.upload_dir), dir + "/" + picture.file_name);
}

struct PictureField {
  const char* upload;
  std::string B_TITLE2::*name;
};

constexpr PictureField kPictures[] = {
    {"FILE1", &B_TITLE2::TITLEPIC},
    {"FILE2", &B_TITLE2::BACKPIC},
    {"FILE3", &B_TITLE2::DIRPIC},
};

// --- the access page -------------------------------------------------------

Html right_label(Request& req, int right) {
  if (right >= 1 && right <= 3) return req.text(230 + right);
  // An entry written by hand with another right shows its number.
  return html_attr(std::to_string(right));
}

void label_cell(Request& req, int text) {
  req.out.printf("<TR><TD BGCOLOR=\"#E0FFFF\">%s</TD>", req.text(text));
}

void level_input(Request& req, const Html& name, int value) {
  req.out.printf(
      "<TD BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"text\" NAME=\"%s\" SIZE=\"10\" MAXLENGTH=\"3\" "
      "VALUE=\"%d\"></TD>",
      name, value);
}

void mode_select(Request& req, const Html& name, int highest) {
  req.out.printf("%s <SELECT NAME=\"%s\">\n", req.text(235), name);
  for (int right = 1; right <= highest; ++right) {
    req.out.printf("<OPTION VALUE=\"%d\">%s\n", right, req.text(230 + right));
  }
  req.out.printf("</SELECT>\n");
}

void group_rows(Request& req, long folder_no) {
  std::unordered_map<long, std::string> names;
  for (const MST_GROUP& g : ReadGROUP_MSTall(req.store))
    names.emplace(g.T02_GROUP_ID, g.T02_GROUP_NAME);
  label_cell(req, 230);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"NOWGROUP\" SIZE=5 MULTIPLE>\n");
  for (const B_G_ACL& entry : group_entries(req.store, folder_no)) {
    const auto name = names.find(entry.GROUP_NO);
    req.out.printf("<OPTION VALUE=\"%d\">%s[%s]\n", entry.GROUP_NO,
                   sanitize_html(name == names.end() ? std::string() : name->second),
                   right_label(req, entry.ACL_MODE));
  }
  req.out.printf("</SELECT><BR>\n");
  req.out.printf("<INPUT TYPE=\"submit\" name=\"GROUP_DEL\" VALUE=\"%s\">\n", req.text(234));
  req.out.printf("</TD><TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"GROUPLIST\" SIZE=5 MULTIPLE>\n");
  for (const MST_GROUP& g : ReadGROUP_MSTall(req.store, GroupListing::kCommaTerminated)) {
    req.out.printf("<OPTION VALUE=\"%ld\">%s\n", g.T02_GROUP_ID, sanitize_html(g.T02_GROUP_NAME));
  }
  req.out.printf("</SELECT><BR>\n");
  mode_select(req, "GROUPMODE", 2);
  req.out.printf("<INPUT TYPE=\"submit\" name=\"GROUP_ADD\" VALUE=\"%s\">\n", req.text(236));
  req.out.printf("</TD></TR>\n");
}

void user_rows(Request& req, long folder_no) {
  std::unordered_map<long, std::string> groups;
  for (const MST_GROUP& g : ReadGROUP_MSTall(req.store))
    groups.emplace(g.T02_GROUP_ID, g.T02_GROUP_NAME);
  std::unordered_map<std::string, std::string> names;
  for (std::size_t n = 0;; ++n) {
    const std::optional<MST_USER> user = ReadMST_USERcount(req.store, n);
    if (!user) break;
    names.emplace(user->USER_ID, user->USER_NAME);
  }
  label_cell(req, 237);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"NOWUSER\" SIZE=5 MULTIPLE>\n");
  for (const B_U_ACL& entry : user_entries(req.store, folder_no)) {
    const auto name = names.find(entry.USER_ID);
    req.out.printf("<OPTION VALUE=\"%s\">%s[%s]\n", html_attr(entry.USER_ID),
                   sanitize_html(name == names.end() ? std::string() : name->second),
                   right_label(req, entry.ACL_MODE));
  }
  req.out.printf("</SELECT><BR>\n");
  req.out.printf("<INPUT TYPE=\"submit\" name=\"USER_DEL\" VALUE=\"%s\">\n", req.text(234));
  req.out.printf("</TD><TD BGCOLOR=\"#FFFFFF\"><SELECT NAME=\"USERLIST\" SIZE=5 MULTIPLE>\n");
  for (std::size_t n = 0;; ++n) {
    const std::optional<MST_USER> user = ReadMST_USERcount(req.store, n);
    if (!user) break;
    req.out.printf("<OPTION VALUE=\"%s\">%s", html_attr(user->USER_ID),
                   sanitize_html(user->USER_NAME));
    if (user->P_GROUP > 0) {
      const auto group = groups.find(user->P_GROUP);
      req.out.printf("[%s]\n",
                     sanitize_html(group == groups.end() ? std::string() : group->second));
    }
  }
  req.out.printf("</SELECT><BR>\n");
  mode_select(req, "USERMODE", 3);
  req.out.printf("<INPUT TYPE=\"submit\" name=\"USER_ADD\" VALUE=\"%s\">\n", req.text(236));
  req.out.printf("</TD></TR>\n");
}

bool has_field(const Request& req, std::string_view name) {
  return req.form.field(name) != nullptr;
}

// The selected values of a multiple select, in order, up to the first that
// `stop` rejects.
template <class Stop>
std::vector<std::string> selected(const Request& req, std::string_view name, Stop stop) {
  std::vector<std::string> values;
  for (std::size_t i = 0; req.form.field(name, i); ++i) {
    std::string value = req.form.cgi_getvalue(name, i);
    if (stop(value)) break;
    values.push_back(std::move(value));
  }
  return values;
}

bool below_one(const std::string& value) {
  return atol_prefix(value) < 1;
}

bool empty_value(const std::string& value) {
  return value.empty();
}

}  // namespace

void refuse_board_admin(Request& req) {
  (void)open_page(req, req.form.number("FOLDER_NO"));
  print_refusal_text(req);
}

void j_BORDCONFIG(Request& req) {
  const long folder_no = req.form.number("FOLDER_NO");
  const B_TITLE2 settings = open_page(req, folder_no);
  print_title_check_script(req, {{"NAME", 206}});
  const std::string name = folder_name(req, folder_no);
  print_folder_title(req, name, 190);
  open_folder_form(req, true, folder_no, "BORDCONFIGWR");
  req.out.printf("<TABLE BORDER>\n");
  print_label_row(req, req.text(211), html_attr(std::to_string(folder_no)));
  text_input_row(req, 212, "NAME", 40, 80, name);
  text_input_row(req, 213, "ADD_MAX", 10, 10, std::to_string(settings.ADD_MAX));
  text_area_row(req, 214, "INFO", settings.INFO);
  text_area_row(req, 215, "DEFO", settings.DEFO);
  choice_row(req, 216, "READ_CHK", settings.READ_CHK, {217, 218});
  choice_row(req, 305, "REWRITE_FLG", settings.REWRITE_FLG, {307, 306});
  picture_row(req, 219, "TITLEPIC", settings.TITLEPIC, "FILE1");
  picture_row(req, 220, "BACKPIC", settings.BACKPIC, "FILE2");
  picture_row(req, 221, "DIRPIC", settings.DIRPIC, "FILE3");
  text_input_row(req, 308, "FONTCOLOR", 10, 6, settings.FONTCOLOR, " " + req.text(310));
  text_input_row(req, 309, "RESFONTCOLOR", 10, 6, settings.RESFONTCOLOR, " " + req.text(310));
  req.out.printf("</TABLE>\n");
  req.out.printf(
      "<INPUT TYPE=\"submit\" name=\"SUB\" VALUE=\"%s\" onClick=\"return title_chk()\">\n",
      req.text(223));
  close_form(req);
  print_folder_list_button(req, 4);
  print_page_end(req);
}

int j_BORDCONFIGWR(Request& req, const WriteToken& w) {
  const long folder_no = req.form.number("FOLDER_NO");
  // Leading blanks would be read back as depth.
  std::string name = req.form.cgi_getvalue("NAME");
  name.erase(0, name.find_first_not_of(' '));
  if (folder_no < 1) return kBoardNotAllowed;
  if (name.empty() || holds_byte(name, ",\r\n")) {
    return name.empty() ? kBoardNameEmpty : kBoardNameBadChar;
  }
  B_TITLE2 record = settings_of(req, folder_no);
  record.FOLDER_NO = static_cast<std::int32_t>(folder_no);
  record.ADD_MAX = static_cast<std::int32_t>(req.form.number("ADD_MAX"));
  record.READ_CHK = one_or_two(req, "READ_CHK");
  record.REWRITE_FLG = one_or_two(req, "REWRITE_FLG");
  record.TITLEPIC = fit_text_field(req.form.cgi_getvalue("TITLEPIC"), kPictureWidth);
  record.BACKPIC = fit_text_field(req.form.cgi_getvalue("BACKPIC"), kPictureWidth);
  record.DIRPIC = fit_text_field(req.form.cgi_getvalue("DIRPIC"), kPictureWidth);
  for (const PictureField& p : kPictures) {
    const std::optional<UploadName> upload = own_upload(req, p.upload);
    // An upload that is not stored is removed with the request's others.
    if (upload && store_picture(req, w, folder_no, *upload)) record.*p.name = upload->file_name;
  }
  record.INFO = long_text(req, "INFO");
  record.DEFO = long_text(req, "DEFO");
  record.FONTCOLOR = color_field(req, "FONTCOLOR", record.FONTCOLOR);
  record.RESFONTCOLOR = color_field(req, "RESFONTCOLOR", record.RESFONTCOLOR);

  // The settings first: when they cannot be stored, nothing changes.
  if (!ReWriteB_TITLE2(req.store, w, record)) return kBoardNotStored;
  if (std::optional<B_TITLE> line = ReadB_TITLE(req.store, folder_no, TitleKey::kFolderNo)) {
    line->NAME = fit_text_field(name, B_TITLE::kNameWidth);
    if (!ReWriteB_TITLE(req.store, w, *line)) return kBoardNotStored;
  }
  return kBoardSaved;
}

void j_BORDACCESS(Request& req) {
  const long folder_no = req.form.number("FOLDER_NO");
  const B_TITLE2 settings = open_page(req, folder_no);
  const std::string name = folder_name(req, folder_no);
  print_folder_title(req, name, 191);
  open_folder_form(req, false, folder_no, "BORDACCESSWR");
  req.out.printf("<TABLE BORDER>\n");
  label_cell(req, 225);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%ld</TD><TD BGCOLOR=\"#FFFFFF\"></TD></TR>\n", folder_no);
  label_cell(req, 226);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD><TD BGCOLOR=\"#FFFFFF\"></TD></TR>\n",
                 sanitize_html(name));
  label_cell(req, 227);
  level_input(req, "READ_LEVEL", settings.READ_LEVEL);
  req.out.printf(
      "<TD ROWSPAN=2 BGCOLOR=\"#FFFFFF\"><INPUT TYPE=\"submit\" name=\"SUB1\" VALUE=\"%s\">"
      "</TD></TR>\n",
      req.text(229));
  label_cell(req, 228);
  level_input(req, "WRITE_LEVEL", settings.WRITE_LEVEL);
  req.out.printf("</TR>\n");
  group_rows(req, folder_no);
  user_rows(req, folder_no);
  req.out.printf("</TABLE>\n");
  close_form(req);
  print_folder_list_button(req, 238);
  print_page_end(req);
}

int j_BORDACCESSWR(Request& req, const WriteToken& w) {
  const long folder_no = req.form.number("FOLDER_NO");
  // Folder 0 would name every folder to the deleting routines.
  if (folder_no < 1) return kBoardNotAllowed;
  const auto folder = static_cast<std::int32_t>(folder_no);
  if (has_field(req, "SUB1")) {
    B_TITLE2 record = settings_of(req, folder_no);
    record.FOLDER_NO = folder;
    if (record.READ_CHK < 1) record.READ_CHK = 1;
    record.READ_LEVEL = static_cast<std::int32_t>(req.form.number("READ_LEVEL"));
    record.WRITE_LEVEL = static_cast<std::int32_t>(req.form.number("WRITE_LEVEL"));
    (void)ReWriteB_TITLE2(req.store, w, record);
  } else if (has_field(req, "GROUP_DEL")) {
    for (const std::string& group : selected(req, "NOWGROUP", below_one)) {
      (void)DeleteB_G_ACL(req.store, w, folder_no, atol_prefix(group));
    }
  } else if (has_field(req, "GROUP_ADD")) {
    const auto mode = static_cast<std::int32_t>(req.form.number("GROUPMODE"));
    // Groups give read or write; managers are named one by one.
    if (mode < 1 || mode > 2) return kBoardSaved;
    for (const std::string& group : selected(req, "GROUPLIST", below_one)) {
      const B_G_ACL entry{folder, static_cast<std::int32_t>(atol_prefix(group)), mode};
      (void)WriteB_G_ACL(req.store, w, entry);
    }
  } else if (has_field(req, "USER_DEL")) {
    for (const std::string& user : selected(req, "NOWUSER", empty_value)) {
      (void)DeleteB_U_ACL(req.store, w, folder_no, user);
    }
  } else if (has_field(req, "USER_ADD")) {
    const auto mode = static_cast<std::int32_t>(req.form.number("USERMODE"));
    if (mode < 1 || mode > 3) return kBoardSaved;
    for (const std::string& user : selected(req, "USERLIST", empty_value)) {
      const B_U_ACL entry{folder, fit_text_field(user, B_U_ACL::kIdWidth), mode};
      (void)WriteB_U_ACL(req.store, w, entry);
    }
  }
  return kBoardSaved;
}

}  // namespace plazet
