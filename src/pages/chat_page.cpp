// The chat room pages, JOB CHAT, CHAT_UP and CHAT_DOWN.
//
// Form fields read:
//   SKEY         session key, passed on in every form and link
//   FOLDER_NO    the room
//   USER_NAME    the name shown in the room
//   COLOR        colour of the name
//   LOG_LINE     log lines shown, 1 to 61; anything else means 30
//   RELOAD_TIME  seconds between log reloads, at least 5, or 999 for none;
//                anything else means 30
//   FAST         step of the input frame: 0 first call, 1 enter, 2 talk,
//                3 leave
//   MTALK        a line typed in the talk form (log frame only)
//
// What a user keeps between the frames travels in these fields. A personal
// account also keeps its settings in the room's chat.idx, where LAST_TIME
// tells whether the user is in the room; a shared account types a name
// freely and leaves nothing but its lines.
#include "pages/chat_page.h"

#include <limits>
#include <optional>
#include <string>

#include "chat/chat_store.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "frame/frame_pages.h"
#include "pages/board_frame.h"
#include "store/line_reader.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr char kNameColor[] = "4161E1";  // a name without a colour of its own
constexpr char kBlack[] = "000000";
constexpr int kDefaultCount = 30;  // lines shown and seconds between reloads
constexpr int kNoReload = 999;
constexpr int kShortestReload = 5;

constexpr const char* kColorWords[] = {
    "BLUE",   "RED",       "GREEN", "DARKBLUE", "CYAN",       "LIMEGREEN", "BROWN",  "MEDIUMORCHID",
    "SILVER", "CHOCOLATE", "PLUM",  "VIOLET",   "SANDYBROWN", "PINK",      "YELLOW", "CORAL"};
constexpr int kLineChoices[] = {10, 20, 30, 40, 50};
constexpr int kReloadChoices[] = {10, 20, 30, 60, 120, 180};

enum class Step { kFirst = 0, kEnter = 1, kTalk = 2, kLeave = 3 };

int line_count(long n) {
  return n >= 1 && n <= static_cast<long>(kChatLogLines) ? static_cast<int>(n) : kDefaultCount;
}

// A reload faster than every 5 seconds would hammer the server.
int reload_time(long seconds) {
  if (seconds == kNoReload) return kNoReload;
  return seconds >= kShortestReload && seconds <= std::numeric_limits<int>::max()
             ? static_cast<int>(seconds)
             : kDefaultCount;
}

// The room and the user's choices, as this request carries them.
struct Chat {
  int room = 0;
  B_TITLE title;
  B_TITLE2 settings;
  std::string name;
  std::string color;
  int lines = kDefaultCount;
  int reload = kDefaultCount;
};

long field_number(const Request& req, const char* name) {
  return req.form.number(name);
}

bool personal_account(const Request& req) {
  return req.user->MODE == 1;
}

// The room FOLDER_NO names, with its settings; nullopt when that folder is
// not a chat room.
std::optional<Chat> open_chat(Request& req) {
  Chat chat;
  chat.room = static_cast<int>(field_number(req, "FOLDER_NO"));
  std::optional<B_TITLE> title = ReadB_TITLE(req.store, chat.room, TitleKey::kFolderNo);
  if (!title || title->MODE != B_TITLE::kChat) return std::nullopt;
  chat.title = *title;
  chat.settings = ReadB_TITLE2(req.store, chat.room).value_or(B_TITLE2{});
  chat.name = req.form.cgi_getvalue("USER_NAME");
  chat.color = req.form.cgi_getvalue("COLOR");
  chat.lines = line_count(field_number(req, "LOG_LINE"));
  chat.reload = reload_time(field_number(req, "RELOAD_TIME"));
  return chat;
}

// A line written by the room itself. The name is escaped for the attribute
// rules and the colour checked, so the stored fragment carries no markup of
// the user's; the name is shortened until the fragment fits its field.
CHAT_DATA notice(Request& req, const Chat& chat, int text, const std::string& color) {
  const std::string shown = chat_color(chat.color, kNameColor);
  const std::string mark = personal_account(req) ? "." : "";
  const std::string tail = req.text(text).str();
  std::string name = chat.name;
  std::string talk;
  for (;;) {
    talk =
        "<B><FONT COLOR=\"" + shown + "\">" + mark + html_attr(name).str() + "</FONT></B> " + tail;
    if (talk.size() < CHAT_DATA::kTalkWidth || name.empty()) break;
    name = fit_text_field(name, name.size());  // one character less
  }
  return {.KIND = 0,
          .USER_NAME = "System",
          .COLOR = color,
          .MTALK = talk,
          .DATE = set_datetime(),
          .REMOTE_ADDR = req.env.REMOTE_ADDR,
          .HTTP_USER_AGENT = req.env.HTTP_USER_AGENT};
}

void print_script(Request& req) {
  open_title_check_script(req, {{"USER_NAME", 350}, {"COLOR", 351}});
  req.out.printf("function autoclear(){\n");
  req.out.printf("document.INPUT.MTALK.value=\"\";\n");
  req.out.printf("document.INPUT.MTALK.focus();\n");
  req.out.printf("}\n");
  req.out.printf("function f_color_chg(){\n");
  req.out.printf("jidx=document.INPUT.COLOR_LIST.selectedIndex;\n");
  req.out.printf("document.INPUT.COLOR.value=document.INPUT.COLOR_LIST.options[jidx].value;\n");
  req.out.printf("document.INPUT.COLOR.focus();\n");
  req.out.printf("return true \n");
  req.out.printf("}\n");
  close_script(req);
}

// SKEY, FOLDER_NO, JOB and the step the form's button takes.
void hidden_step(Request& req, const Chat& chat, const char* job, Step step) {
  print_hidden(req, "SKEY", req.SKEY);
  print_hidden(req, "FOLDER_NO", chat.room);
  print_hidden(req, "JOB", job);
  print_hidden(req, "FAST", static_cast<long>(step));
}

// The user's choices, passed on to the next frame.
void hidden_choices(Request& req, const Chat& chat) {
  print_hidden(req, "USER_NAME", chat.name);
  print_hidden(req, "COLOR", chat.color);
  print_hidden(req, "LOG_LINE", chat.lines);
  print_hidden(req, "RELOAD_TIME", chat.reload);
}

void print_room_name(Request& req, const Chat& chat) {
  if (!chat.settings.DEFO.empty()) {
    req.out.printf("[%s]<BR>\n", sanitize_html(chat.settings.DEFO));
  }
  req.out.printf("<B>%s</B><BR>\n", sanitize_html(chat.title.NAME));
}

void talk_form(Request& req, const Chat& chat) {
  req.out.printf(
      "<FORM NAME=\"INPUT\" ENCTYPE=\"multipart/form-data\" ACTION=\"%s\" METHOD=POST "
      "onSubmit=\"setTimeout(&quot;autoclear()&quot;,10)\" TARGET=\"CHAT2\">\n",
      html_attr(req.JOB_EXE));
  hidden_step(req, chat, "CHAT_DOWN", Step::kTalk);
  hidden_choices(req, chat);
  print_room_name(req, chat);
  req.out.printf("%s[%s]\n", req.text(344), sanitize_html(chat.name));
  req.out.printf("%s[%d]\n", req.text(346), chat.lines);
  req.out.printf("%s[%d]<BR>\n", req.text(347), chat.reload);
  req.out.printf("%s<INPUT TYPE=\"text\" NAME=\"MTALK\" SIZE=\"%d\" MAXLENGTH=\"250\" ><BR>\n",
                 req.text(353), text_columns(req));
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" > \n", req.text(352));
  close_form(req);

  open_post_form(req);
  hidden_step(req, chat, "CHAT_UP", Step::kLeave);
  hidden_choices(req, chat);
  req.out.printf("<INPUT TYPE=\"submit\" VALUE=\"%s\" > \n", req.text(354));
  close_form(req);
  print_page_end(req);
}

void color_field(Request& req, const std::string& color) {
  req.out.printf(
      "%s<INPUT TYPE=\"text\" NAME=\"COLOR\" SIZE=\"20\" VALUE=\"%s\" MAXLENGTH=\"20\">(RRGGBB)\n",
      req.text(345), html_attr(color.empty() ? kNameColor : color));
  req.out.printf("<SELECT NAME=\"COLOR_LIST\" onChange=\"f_color_chg()\" >\n");
  req.out.printf("<OPTION VALUE=\"\">\n");
  for (const char* word : kColorWords) {
    const Html w = html_attr(word);
    req.out.printf("<OPTION VALUE=\"%s\">%s\n", w, w);
  }
  req.out.printf("</SELECT><BR>\n");
}

// The two selects; `first_reload_as_text` shows a first choice of 999 as
// the words for "no reload" (the shared account's form).
void count_selects(Request& req, int lines, int reload, bool first_reload_as_text) {
  req.out.printf("%s<SELECT NAME=\"LOG_LINE\" >\n", req.text(346));
  req.out.printf("<OPTION VALUE=\"%d\">%d\n", lines, lines);
  for (int n : kLineChoices) req.out.printf("<OPTION VALUE=\"%d\">%d\n", n, n);
  req.out.printf("</SELECT><BR>\n");
  req.out.printf("%s<SELECT NAME=\"RELOAD_TIME\" >\n", req.text(347));
  if (first_reload_as_text && reload == kNoReload) {
    req.out.printf("<OPTION VALUE=\"999\">%s\n", req.text(348));
  } else {
    req.out.printf("<OPTION VALUE=\"%d\">%d\n", reload, reload);
  }
  for (int n : kReloadChoices) req.out.printf("<OPTION VALUE=\"%d\">%d\n", n, n);
  req.out.printf("<OPTION VALUE=\"999\">%s\n", req.text(348));
  req.out.printf("</SELECT><BR>\n");
}

void entry_form(Request& req, const Chat& chat) {
  open_input_form(req);
  hidden_step(req, chat, "CHAT_UP", Step::kEnter);
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR><TD>\n");
  print_room_name(req, chat);
  if (personal_account(req)) {
    const CHAT_IDX stored =
        ReadCHAT_IDX(req.store, chat.room, req.user->USER_ID).value_or(CHAT_IDX{});
    req.out.printf("<INPUT TYPE=\"hidden\" NAME=\"USER_NAME\" value=\"%s\">\n",
                   html_attr(req.user->USER_NAME));
    req.out.printf("%s%s<BR>\n", req.text(344), sanitize_html(req.user->USER_NAME));
    color_field(req, stored.COLOR);
    count_selects(req, line_count(stored.LOG_LINE), reload_time(stored.RELOAD_TIME), false);
  } else {
    req.out.printf(
        "%s<INPUT TYPE=\"text\" NAME=\"USER_NAME\" SIZE=\"40\" VALUE=\"%s\" "
        "MAXLENGTH=\"80\"><BR>\n",
        req.text(344), html_attr(chat.name));
    color_field(req, chat.color);
    count_selects(req, chat.lines, chat.reload, true);
  }
  req.out.printf("</TD>\n");
  req.out.printf("<TD>\n");
  req.out.printf(
      "<INPUT TYPE=\"submit\" NAME=\"SUB\" VALUE=\"%s\" onClick=\"return title_chk()\"> \n",
      req.text(349));
  req.out.printf("</TD></TR>\n");
  req.out.printf("</TABLE>\n");
  close_form(req);
  print_page_end(req);
}

void enter(Request& req, const WriteToken& w, const Chat& chat) {
  if (personal_account(req)) {
    const CHAT_IDX record = {.USER_ID = req.user->USER_ID,
                             .COLOR = chat.color,
                             .LOG_LINE = chat.lines,
                             .RELOAD_TIME = chat.reload,
                             .LAST_TIME = set_date()};
    (void)WriteCHAT_IDX(req.store, w, chat.room, record);
  }
  const std::string& color = chat.settings.RESFONTCOLOR;
  (void)WriteCHAT_DATA(req.store, w, chat.room,
                       notice(req, chat, 355, color.empty() ? kBlack : color));
}

void leave(Request& req, const WriteToken& w, const Chat& chat) {
  const std::string& color = chat.settings.RESFONTCOLOR;
  (void)WriteCHAT_DATA(req.store, w, chat.room,
                       notice(req, chat, 356, color.size() < 6 ? kBlack : color));
  if (personal_account(req)) {
    std::optional<CHAT_IDX> record = ReadCHAT_IDX(req.store, chat.room, req.user->USER_ID);
    if (!record) return;  // never entered: nothing to remember
    record->LAST_TIME = kChatAbsent;
    (void)WriteCHAT_IDX(req.store, w, chat.room, *record);
  }
}

// A personal account in the room shows it is still there with every reload
// of the log; the record is written only when the minute has changed.
void still_here(Request& req, const WriteToken& w, const Chat& chat) {
  if (!personal_account(req)) return;
  std::optional<CHAT_IDX> record = ReadCHAT_IDX(req.store, chat.room, req.user->USER_ID);
  if (!record || record->LAST_TIME <= kChatAbsent) return;
  std::string now = set_date();
  if (record->LAST_TIME == now) return;
  record->LAST_TIME = std::move(now);
  (void)WriteCHAT_IDX(req.store, w, chat.room, *record);
}

void print_log_line(Request& req, const Chat& chat, const CHAT_DATA& line) {
  req.out.printf("<B><FONT COLOR=\"%s\">", html_attr(chat_color(line.COLOR, kNameColor)));
  if (line.KIND == 1) req.out.printf(".");
  req.out.printf("%s</FONT></B> > ", sanitize_html(line.USER_NAME));
  req.out.printf("<FONT COLOR=\"%s\">", html_attr(chat_color(chat.settings.FONTCOLOR, kBlack)));
  req.out.printf("%s", sanitize_html(line.MTALK));
  req.out.printf("</FONT>");
  req.out.printf("<FONT COLOR=\"#9090e0\" SIZE=-1>(%s)</FONT>", sanitize_html(line.DATE));
  if (line.KIND == 0) {
    req.out.printf("<FONT COLOR=\"#bbbbf0\" SIZE=-1>");
    req.out.printf("(%s)", html_attr(line.REMOTE_ADDR));
    req.out.printf("(%s)", html_attr(line.HTTP_USER_AGENT));
    req.out.printf("</FONT>");
  }
  req.out.printf("<BR>\n");
}

}  // namespace

void j_CHAT(Request& req) {
  std::optional<Chat> chat = open_chat(req);
  if (!chat) return refusal_page(req);
  header_printf(req);
  const Html program = html_attr(req.JOB_EXE);
  const Html key = url_query(req.SKEY);
  req.out.printf("<FRAMESET ROWS=\"140,*\" >\n");
  req.out.printf("\t<FRAME SRC = \"%s?SKEY=%s&JOB=CHAT_UP&FOLDER_NO=%d\" NAME=\"CHAT1\">\n",
                 program, key, chat->room);
  req.out.printf("\t<FRAME SRC = \"%s?SKEY=%s&JOB=CHAT_DOWN&FOLDER_NO=%d\" NAME=\"CHAT2\">\n",
                 program, key, chat->room);
  req.out.printf("</FRAMESET>\n");
  req.out.printf("</HTML>\n");
}

void j_CHAT_UP(Request& req, const WriteToken& w) {
  std::optional<Chat> chat = open_chat(req);
  if (!chat) return refusal_page(req);
  open_chat_room(req.store, chat->room);
  header_printf(req);
  print_script(req);
  print_folder_body(req, chat->room, chat->settings);
  const auto step = static_cast<Step>(field_number(req, "FAST"));
  if (step != Step::kFirst && step != Step::kLeave) {
    if (step == Step::kEnter) enter(req, w, *chat);
    return talk_form(req, *chat);
  }
  if (step == Step::kLeave) leave(req, w, *chat);
  entry_form(req, *chat);
}

void j_CHAT_DOWN(Request& req, const WriteToken& w) {
  std::optional<Chat> chat = open_chat(req);
  if (!chat) return refusal_page(req);
  open_chat_room(req.store, chat->room);
  still_here(req, w, *chat);
  const Html program = html_attr(req.JOB_EXE);
  const Html key = url_query(req.SKEY);
  const std::string talk = req.form.cgi_getvalue("MTALK");
  if (!talk.empty()) {
    // A user's line is never of the room's own kind 0, whatever the account.
    const CHAT_DATA line = {.KIND = personal_account(req) ? 1 : 2,
                            .USER_NAME = chat->name,
                            .COLOR = chat->color,
                            .MTALK = talk,
                            .DATE = set_datetime(),
                            .REMOTE_ADDR = req.env.REMOTE_ADDR,
                            .HTTP_USER_AGENT = req.env.HTTP_USER_AGENT};
    (void)WriteCHAT_DATA(req.store, w, chat->room, line);
    header_printf(req);
    req.out.printf(
        "<META HTTP-EQUIV=\"Refresh\" "
        "CONTENT=\"0;URL=%s?JOB=CHAT_DOWN&SKEY=%s&FOLDER_NO=%d&LOG_LINE=%d&RELOAD_TIME=%d\">",
        program, key, chat->room, chat->lines, chat->reload);
    req.out.printf("</HTML>\n");
    return;
  }
  header_printf(req);
  if (chat->reload != kNoReload) {
    req.out.printf(
        "<META HTTP-EQUIV=\"Refresh\" "
        "CONTENT=\"%d;URL=%s?JOB=CHAT_DOWN&SKEY=%s&FOLDER_NO=%d&LOG_LINE=%d&RELOAD_TIME=%d\">\n",
        chat->reload, program, key, chat->room, chat->lines, chat->reload);
  }
  req.out.printf("<BODY BGCOLOR=\"#FFFFFF\" >\n");
  for (std::size_t n = 0; n < static_cast<std::size_t>(chat->lines); ++n) {
    std::optional<CHAT_DATA> line = ReadCHAT_DATA(req.store, chat->room, n);
    if (!line) break;
    print_log_line(req, *chat, *line);
  }
  print_page_end(req);
}

}  // namespace plazet
