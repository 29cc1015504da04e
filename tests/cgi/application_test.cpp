// ID applications: the form, the lists, what an application stores or why it
// is refused, and what a decision does.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "cgi_site.h"
#include "store/record_file.h"
#include "users/guest_user.h"

namespace plazet::testing {
namespace {

struct ApplicationSite {
  ApplicationSite() {
    site.write_file(site.data_dir() + "user.mst",
                    "boss,Boss,100,,pw,0,1,1,1,,,0,\ntaro,Taro,1,,pw,0,1,1,1,,,0,\n"
                    "desk,Desk,1,,pw,0,1,2,1,,,0,\n");
  }
  void applications(std::initializer_list<GUEST_USER> records) const {
    site.with_store([&](Store& s, const WriteToken& w) {
      std::filesystem::remove(guest_user_path(s));
      for (const GUEST_USER& r : records) {
        RecordFile<GuestUserCodec> file(guest_user_path(s));
        ASSERT_TRUE(file.append(w, r));
      }
    });
  }
  [[nodiscard]] std::vector<GUEST_USER> stored() const {
    std::vector<GUEST_USER> all;
    site.with_store([&](Store& s, const WriteToken&) { all = ReadGUEST_USERall(s); });
    return all;
  }
  std::string post(const std::string& user, const std::string& fields, Multipart form = {}) {
    form.text("SKEY", site.key(user));
    return site.post(fields.empty() ? form : form.texts(fields));
  }
  CgiSite site;
};

GUEST_USER application(const std::string& id, const std::string& date, int state,
                       const std::string& message = "") {
  GUEST_USER r;
  r.USER_ID = id;
  r.USER_NAME = std::string(1, static_cast<char>(std::toupper(id[0]))) + id.substr(1);
  r.USER_PASS = "secret";
  r.APPLY_DATE = date;
  r.REMOTE_ADDR = "192.0.2.7";
  r.HTTP_USER_AGENT = "Agent \"<b>\"";
  r.MESSAGE = message;
  r.OK_NG = state;
  return r;
}

std::string error_page(int title, int message) {
  std::string page = golden("error.html");
  page.replace(page.find(text(278)), text(278).size(), text(title));
  page.replace(page.find(text(295)), text(295).size(), text(message));
  return page;
}

TEST(ApplicationGoldenTest, FormListAndDecisionFormArePrintedExactly) {
  ApplicationSite a;
  // The newer accepted application stops the pruning: the refused one after
  // it stays although it is old.
  a.applications({application("hanako", "2024/05/01 09:30", 0),
                  application("jiro", "2099/12/31 23:59", 1, "Welcome"),
                  application("saburo", "2024/01/01 00:00", 2, "Sorry")});
  const std::string desk = a.site.key("desk"), boss = a.site.key("boss");
  // A shared account applies like anybody.
  EXPECT_EQ(a.site.as("desk", "JOB=IDSINSEI"), golden("idsinsei.html", desk));
  EXPECT_EQ(a.site.as("desk", "JOB=IDSINSEIlist"), golden("idsinseilist.html", desk));
  EXPECT_EQ(a.site.as("boss", "JOB=IDSINSEIlist2"), golden("idsinseilist2.html", boss));
}

TEST(ApplicationWriteTest, ChecksInTheirOrderThenTheRecord) {
  struct Case {
    const char* name;
    const char* fields;
    int text;  // of the error page; 0 = stored
  };
  const Case cases[] = {
      {"stored", "USER_ID=newbie&USER_NAME=New Bie&USER_PASS=pw1&E_MAIL_ADDR=n@x", 0},
      {"password and mail may be empty", "USER_ID=newbie&USER_NAME=N", 0},
      {"no ID", "USER_ID=&USER_NAME=N", 181},
      {"no name", "USER_ID=newbie&USER_NAME=", 182},
      {"a user's ID in other letters", "USER_ID=TARO&USER_NAME=T", 312},
      {"a pending application", "USER_ID=waiting&USER_NAME=W", 313},
      {"an accepted application", "USER_ID=welcome&USER_NAME=W", 313},
      {"refused before: applies again", "USER_ID=refused&USER_NAME=R", 0},
      {"blank in the ID", "USER_ID=new bie&USER_NAME=N", 327},
      {"slash in the ID", "USER_ID=a/b&USER_NAME=N", 327},
      {"backslash in the ID", "USER_ID=a\\b&USER_NAME=N", 327},
      {"comma in the name", "USER_ID=newbie&USER_NAME=a,b", 362},
      {"blank in the password", "USER_ID=newbie&USER_NAME=N&USER_PASS=a b", 363},
      {"comma in the mail", "USER_ID=newbie&USER_NAME=N&E_MAIL_ADDR=a,b", 364},
      {"the ID check comes before the name's", "USER_ID=a b&USER_NAME=a,b", 327},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApplicationSite a;
    a.applications({application("waiting", "2099/01/01 00:00", 0),
                    application("welcome", "2099/01/01 00:00", 1),
                    application("refused", "2099/01/01 00:00", 2)});
    const std::string page = a.post("desk", std::string("JOB=IDSINSEIWR&") + c.fields);
    const std::vector<GUEST_USER> all = a.stored();
    if (c.text != 0) {
      EXPECT_EQ(page, error_page(311, c.text));
      EXPECT_EQ(all.size(), 3u);
      continue;
    }
    EXPECT_TRUE(has(page, "<B>" + text(107) + "</B>"));
    ASSERT_EQ(all.size(), 4u);
    const GUEST_USER& r = all.back();
    EXPECT_EQ(r.OK_NG, 0);
    EXPECT_EQ(r.REMOTE_ADDR, "127.0.0.1");
    EXPECT_EQ(r.HTTP_USER_AGENT, kAgent);
    EXPECT_EQ(r.APPLY_DATE.size(), 16u);
    EXPECT_TRUE(has(page, ">" + r.USER_ID + "<"));
  }
}

TEST(ApplicationDecisionTest, AcceptingCreatesTheAccountRefusingAnswers) {
  struct Case {
    const char* name;
    const char* fields;
    const char* states;    // of waiting, other, taken afterwards
    const char* messages;  // the same
    bool account;          // waiting can log in with the applied password
  };
  const Case cases[] = {
      {"accept with the first answer", "USER_ID=waiting&OK_NG=1&MES=1", "1 0 0", "326  kept", true},
      {"refuse with a typed answer", "USER_ID=waiting&OK_NG=2&MES=4&MESSAGE=Not now", "2 0 0",
       "Not now  kept", false},
      {"two at once, stopping at an empty value",
       "USER_ID=waiting&USER_ID=other&USER_ID=&USER_ID=taken&OK_NG=2&MES=2", "2 2 0",
       "327 327 kept", false},
      {"an ID taken meanwhile is refused", "USER_ID=taken&OK_NG=1&MES=1", "0 0 2", "  kept", false},
      {"another answer keeps the message", "USER_ID=taken&OK_NG=2&MES=9", "0 0 2", "  kept", false},
      {"no decision without a state", "USER_ID=waiting&OK_NG=0&MES=1", "0 0 0", "  kept", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApplicationSite a;
    a.applications({application("waiting", "2099/01/01 00:00", 0),
                    application("other", "2099/01/01 00:00", 0),
                    application("taken", "2099/01/01 00:00", 0, "kept")});
    a.site.add_user_line("Taken,Someone,1,,pw,0,1,1,1,,,0,");
    const std::string page = a.post("boss", std::string("JOB=IDSINSEIsysopWR&") + c.fields);
    EXPECT_TRUE(has(page, "IDSINSEIsysopWR"));  // the decision form again
    std::string states, messages;
    for (const GUEST_USER& r : a.stored()) {
      std::string m = r.MESSAGE;
      if (m == text(326)) m = "326";
      if (m == text(327)) m = "327";
      const bool first = states.empty();
      states += (first ? "" : " ") + std::to_string(r.OK_NG);
      messages += (first ? "" : " ") + m;
    }
    EXPECT_EQ(states, c.states);
    EXPECT_EQ(messages, c.messages);
    const std::string users = CgiSite::read_file(a.site.data_dir() + "user.mst");
    EXPECT_EQ(has(users, "\nwaiting,Waiting,10,,secret,0,1,1,1,japan.lng,,0,\n"), c.account);
    EXPECT_FALSE(has(users, "\ntaken,"));
    // The applied password logs the new account in.
    EXPECT_EQ(has(a.site.post_form("uid=waiting&upw=secret&JOB=TOP"), "<FRAMESET"), c.account);
  }
}

TEST(ApplicationDecisionTest, OnlyAdministratorsDecide) {
  ApplicationSite a;
  a.applications({application("waiting", "2099/01/01 00:00", 0)});
  std::string refused = golden("admin_refusal.html");
  const std::string body = "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n";
  refused.insert(refused.find(body) + body.size(),
                 "<FONT SIZE=\"5\"><B>" + text(311) + "</B></FONT>\n");
  EXPECT_EQ(a.site.as("taro", "JOB=IDSINSEIlist2"), refused);
  EXPECT_EQ(a.post("taro", "JOB=IDSINSEIsysopWR&USER_ID=waiting&OK_NG=1&MES=1"), refused);
  EXPECT_EQ(a.stored().front().OK_NG, 0);
  EXPECT_FALSE(has(CgiSite::read_file(a.site.data_dir() + "user.mst"), "waiting"));
}

TEST(ApplicationListTest, OldDecisionsArePrunedUpToTheFirstNewerOne) {
  ApplicationSite a;
  a.applications(
      {application("old1", "2020/01/01 00:00", 1), application("oldpending", "2020/01/02 00:00", 0),
       application("old2", "2020/01/03 00:00", 2), application("new", "2099/01/01 00:00", 1),
       application("old3", "2020/01/04 00:00", 2)});
  (void)a.site.as("taro", "JOB=IDSINSEIlist");
  std::string ids;
  for (const GUEST_USER& r : a.stored()) ids += r.USER_ID + " ";
  EXPECT_EQ(ids, "oldpending new old3 ");
  // The decision form shows the pending ones only, and prunes nothing.
  a.applications({application("old1", "2020/01/01 00:00", 1),
                  application("oldpending", "2020/01/02 00:00", 0)});
  const std::string form = a.site.as("boss", "JOB=IDSINSEIlist2");
  EXPECT_EQ(joined(form, "NAME=\"USER_ID\" VALUE=\"([^\"]*)\""), "oldpending");
  EXPECT_EQ(a.stored().size(), 2u);
}

}  // namespace
}  // namespace plazet::testing
