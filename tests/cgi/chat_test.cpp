// The chat room: frame set, input frame and log frame, what entering,
// talking and leaving store, who may use a room, and markup kept inert.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <vector>

#include "cgi_site.h"
#include "chat/chat_store.h"

namespace plazet::testing {
namespace {

// A log line as "KIND NAME COLOR TALK".
std::string line_of(const CHAT_DATA& l) {
  return std::to_string(l.KIND) + " " + l.USER_NAME + " " + l.COLOR + " " + l.MTALK;
}

class ChatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.add_user_line("taro,Taro,1,,pw,0,1,1,1,,,0,");
    site_.add_user_line("guest,Guest,1,,pw,0,1,2,1,,,0,");
    ASSERT_EQ(site_.new_board(
                  "Lobby",
                  [](B_TITLE2& s) {
                    s.DEFO = "Be kind";
                    s.RESFONTCOLOR = "F00";
                  },
                  B_TITLE::kChat),
              1);
  }
  // A form of the input or log frame sent by `user`.
  std::string send(const std::string& user, const std::string& fields) {
    return site_.post_as(user, "FOLDER_NO=1&" + fields);
  }
  std::vector<CHAT_DATA> lines() const {
    std::vector<CHAT_DATA> out;
    site_.with_store([&](Store& s, const WriteToken&) {
      for (std::size_t n = 0; auto line = ReadCHAT_DATA(s, 1, n); ++n) out.push_back(*line);
    });
    return out;
  }
  std::optional<CHAT_IDX> seat(const std::string& id) const {
    std::optional<CHAT_IDX> record;
    site_.with_store([&](Store& s, const WriteToken&) { record = ReadCHAT_IDX(s, 1, id); });
    return record;
  }
  void set_seat(const CHAT_IDX& record) const {
    site_.with_store([&](Store& s, const WriteToken& w) {
      open_chat_room(s, 1);
      ASSERT_TRUE(WriteCHAT_IDX(s, w, 1, record));
    });
  }
  // Three lines, the newest first: taro's, a notice, an older one of guest's.
  void three_lines() const {
    site_.with_store([&](Store& s, const WriteToken& w) {
      open_chat_room(s, 1);
      for (const CHAT_DATA& line :
           {CHAT_DATA{2, "Guest", "GREEN", "old", "2024/05/01 09:28.00", "10.0.0.1", "Agent/1"},
            CHAT_DATA{0, "System", "F00", "<B><FONT COLOR=\"RED\">Visitor</FONT></B> has entered.",
                      "2024/05/01 09:29.00", "10.0.0.1", "Agent/1"},
            CHAT_DATA{1, "Taro", "", "<b>hi</b>", "2024/05/01 09:30.05", "10.0.0.1", "Agent/1"}})
        ASSERT_TRUE(WriteCHAT_DATA(s, w, 1, line));
    });
  }
  CgiSite site_;
};

TEST_F(ChatTest, EachFrameIsPrintedExactly) {
  three_lines();
  EXPECT_EQ(site_.as("taro", "JOB=CHAT&FOLDER_NO=1&FAST_FLG=1"),
            golden("chat_frameset.html", site_.key("taro")));
  EXPECT_EQ(site_.as("taro", "JOB=CHAT_UP&FOLDER_NO=1"),
            golden("chat_entry.html", site_.key("taro")));
  EXPECT_EQ(site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1&LOG_LINE=2&RELOAD_TIME=60"),
            golden("chat_log.html", site_.key("taro")));
  EXPECT_EQ(
      send("guest", "JOB=CHAT_UP&FAST=1&USER_NAME=Visitor&COLOR=RED&LOG_LINE=20&RELOAD_TIME=999"),
      golden("chat_talk.html", site_.key("guest")));
}

TEST_F(ChatTest, TheLogFrameShowsTheChosenLinesAndReloads) {
  three_lines();
  const std::string key = site_.key("taro");
  for (const std::vector<std::string>& c : table("chat_log.txt")) {
    SCOPED_TRACE(c[0]);
    const std::string page = site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1&" + c[0]);
    std::string refresh = c[1];
    if (refresh.find('*') != std::string::npos) refresh.replace(refresh.find('*'), 1, key);
    const std::vector<std::string> metas =
        all(page, "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"([^\"]*)\">\n");
    EXPECT_EQ(metas.empty() ? "none" : metas[0], refresh);
    EXPECT_EQ(all(page, "(<BR>\n)").size(), std::stoul(c[2]));
  }
}

TEST_F(ChatTest, APersonalAccountIsRememberedFromEnteringToLeaving) {
  const std::string choices = "USER_NAME=Taro&COLOR=BLUE&LOG_LINE=20&RELOAD_TIME=999";
  const std::string entered = now_minute();
  (void)send("taro", "JOB=CHAT_UP&FAST=1&" + choices);
  std::optional<CHAT_IDX> record = seat("taro");
  ASSERT_TRUE(record) << "chat.idx keeps the user's stored ID";
  EXPECT_EQ(std::tuple(record->COLOR, record->LOG_LINE, record->RELOAD_TIME),
            std::tuple(std::string("BLUE"), 20, 999));
  EXPECT_TRUE(record->LAST_TIME == entered || record->LAST_TIME == now_minute());
  // The notice marks a personal account with "." and keeps the room's short colour.
  std::vector<CHAT_DATA> log = lines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(line_of(log[0]), "0 System F00 <B><FONT COLOR=\"BLUE\">.Taro</FONT></B> " + text(355));
  EXPECT_EQ(log[0].REMOTE_ADDR + " " + log[0].HTTP_USER_AGENT, "127.0.0.1 " + std::string(kAgent));

  // A line said, then the log frame at once by a plain link.
  const std::string said = send("taro", "JOB=CHAT_DOWN&FAST=2&MTALK=Hello&" + choices);
  EXPECT_TRUE(
      has(said, "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=plazet.cgi?JOB=CHAT_DOWN&SKEY=" +
                    site_.key("taro") + "&FOLDER_NO=1&LOG_LINE=20&RELOAD_TIME=999\"></HTML>\n"));
  log = lines();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(line_of(log[0]), "1 Taro BLUE Hello");
  EXPECT_TRUE(has(site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1&RELOAD_TIME=999"),
                  "<B><FONT COLOR=\"BLUE\">.Taro</FONT></B> > "));

  // Leaving: black notice in a room whose reply colour is shorter than six.
  const std::string page = send("taro", "JOB=CHAT_UP&FAST=3&" + choices);
  log = lines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(line_of(log[0]),
            "0 System 000000 <B><FONT COLOR=\"BLUE\">.Taro</FONT></B> " + text(356));
  EXPECT_EQ(seat("taro")->LAST_TIME, kChatAbsent);
  // The entry form again, with the stored choices first: 999 as a number.
  EXPECT_TRUE(has(page, "<SELECT NAME=\"LOG_LINE\" >\n<OPTION VALUE=\"20\">20\n"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"RELOAD_TIME\" >\n<OPTION VALUE=\"999\">999\n"));
  EXPECT_TRUE(has(page, "NAME=\"COLOR\" SIZE=\"20\" VALUE=\"BLUE\""));
}

TEST_F(ChatTest, ASharedAccountKeepsItsChoicesInTheFormOnly) {
  const std::string page =
      send("guest", "JOB=CHAT_UP&FAST=0&USER_NAME=Visitor&COLOR=&LOG_LINE=40&RELOAD_TIME=999");
  EXPECT_TRUE(
      has(page, "<SELECT NAME=\"RELOAD_TIME\" >\n<OPTION VALUE=\"999\">" + text(348) + "\n"));
  EXPECT_TRUE(has(page, "<SELECT NAME=\"LOG_LINE\" >\n<OPTION VALUE=\"40\">40\n"));
  EXPECT_TRUE(has(page, "NAME=\"USER_NAME\" SIZE=\"40\" VALUE=\"Visitor\" MAXLENGTH=\"80\">"));
  EXPECT_TRUE(has(page, "VALUE=\"4161E1\" MAXLENGTH=\"20\">(RRGGBB)"));
  (void)send("guest", "JOB=CHAT_UP&FAST=1&USER_NAME=Visitor&COLOR=RED&LOG_LINE=40");
  (void)send("guest", "JOB=CHAT_DOWN&MTALK=Hi&USER_NAME=Visitor&COLOR=RED");
  (void)send("guest", "JOB=CHAT_UP&FAST=3&USER_NAME=Visitor&COLOR=RED&LOG_LINE=40");
  const std::vector<CHAT_DATA> log = lines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(line_of(log[2]), "0 System F00 <B><FONT COLOR=\"RED\">Visitor</FONT></B> " + text(355));
  EXPECT_EQ(line_of(log[1]), "2 Visitor RED Hi");
  EXPECT_EQ(line_of(log[0]),
            "0 System 000000 <B><FONT COLOR=\"RED\">Visitor</FONT></B> " + text(356));
  EXPECT_EQ(site_.read_file(site_.board_file(1, "chat.idx")), "");
}

TEST_F(ChatTest, AReloadRefreshesThePresenceOnlyWhenTheMinuteChanged) {
  CHAT_IDX record;
  record.USER_ID = "taro";
  record.LAST_TIME = "2000/01/01 00:00";
  set_seat(record);
  (void)site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1");
  const std::string seen = seat("taro")->LAST_TIME;
  EXPECT_GT(seen, "2024/01/01 00:00");
  // In the same minute nothing is written.
  const std::string idx = site_.board_file(1, "chat.idx");
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  std::filesystem::last_write_time(idx, old);
  (void)site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1");
  if (now_minute() == seen) {
    EXPECT_EQ(std::filesystem::last_write_time(idx), old);
  }
  // A user who has left stays away.
  record.LAST_TIME = kChatAbsent;
  set_seat(record);
  (void)site_.as("taro", "JOB=CHAT_DOWN&FOLDER_NO=1");
  EXPECT_EQ(seat("taro")->LAST_TIME, kChatAbsent);
}

TEST_F(ChatTest, ARoomWithoutRightOrAFolderThatIsNoRoomIsRefused) {
  site_.change_board(1, [](B_TITLE2& s) { s.READ_LEVEL = s.WRITE_LEVEL = 5; });
  ASSERT_EQ(site_.new_board("Board"), 2);
  for (const std::string room : {"1", "2"}) {
    SCOPED_TRACE(room);
    const std::string key = "SKEY=" + site_.key("taro") + "&FOLDER_NO=" + room;
    for (const std::string job : {"JOB=CHAT", "JOB=CHAT_UP"})
      EXPECT_EQ(site_.get(key + "&" + job), refusal());
    for (const std::string job :
         {"JOB=CHAT_UP&FAST=1&USER_NAME=T&COLOR=RED", "JOB=CHAT_DOWN&MTALK=x&USER_NAME=T"})
      EXPECT_EQ(site_.post(Multipart().texts(key + "&" + job)), refusal());
    EXPECT_FALSE(CgiSite::exists(site_.board_file(std::stol(room), "chat.dat")) ||
                 CgiSite::exists(site_.board_file(std::stol(room), "chat.idx")));
  }
}

TEST_F(ChatTest, MarkupFromUsersAndBrowsersComesOutInert) {
  const std::string fields = "&USER_NAME=\"><script>n()</script>&COLOR=red\" onmouseover=\"x()";
  // A shared account's session holds in any browser.
  Env env = multipart_env();
  env["HTTP_USER_AGENT"] = "<script>ua()</script>";
  const std::string talk = site_.run(
      env, Multipart()
               .texts("SKEY=" + site_.key("guest") + "&FOLDER_NO=1&JOB=CHAT_UP&FAST=1" + fields)
               .done());
  (void)site_.post_as(
      "guest", "FOLDER_NO=1&JOB=CHAT_DOWN" + fields,
      Multipart().text("MTALK", "<script>alert(1)</script><b onclick=\"x()\">hi</b>"));
  const std::vector<CHAT_DATA> log = lines();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(has(log[1].MTALK, "<FONT COLOR=\"4161E1\">&quot;&gt;&lt;script&gt;n()"));
  const std::string page = site_.as("guest", "JOB=CHAT_DOWN&FOLDER_NO=1");
  EXPECT_TRUE(has(page, "<b>hi</b>") && has(page, "(&lt;script&gt;ua()&lt;/script&gt;)"));
  for (const std::string& p : {talk, page}) {
    for (const char* bad : {"<script>", "\" onmouseover", " onclick"})
      EXPECT_FALSE(has(p, bad)) << bad;
  }
}

}  // namespace
}  // namespace plazet::testing
