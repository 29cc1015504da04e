// ID applications: the form, the lists, what an application stores or why it
// is refused, and what a decision does. Who may decide is in
// data/admin_refusals.txt.
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
    site.users(
        "boss,Boss,100,,pw,0,1,1,1,,,0,\ntaro,Taro,1,,pw,0,1,1,1,,,0,\n"
        "desk,Desk,1,,pw,0,1,2,1,,,0,\n");
  }
  // Applications "ID DATE STATE [ANSWER]; ..." of password "secret".
  void applications(const std::string& list) const {
    site.with_store([&](Store& s, const WriteToken& w) {
      std::filesystem::remove(guest_user_path(s));
      for (const std::string& a : all(list + "; ", "([^;]+); ")) {
        const std::vector<std::string> f = all(a + " ", "([^ ]+) ");
        GUEST_USER r;
        r.USER_ID = f[0];
        r.USER_NAME = std::string(1, static_cast<char>(std::toupper(f[0][0]))) + f[0].substr(1);
        r.USER_PASS = "secret";
        r.APPLY_DATE = f[1] + " " + f[2];
        r.REMOTE_ADDR = "192.0.2.7";
        r.HTTP_USER_AGENT = "Agent \"<b>\"";
        r.OK_NG = std::stoi(f[3]);
        r.MESSAGE = f.size() > 4 ? f[4] : "";
        ASSERT_TRUE(RecordFile<GuestUserCodec>(guest_user_path(s)).append(w, r));
      }
    });
  }
  [[nodiscard]] std::vector<GUEST_USER> stored() const {
    std::vector<GUEST_USER> all;
    site.with_store([&](Store& s, const WriteToken&) { all = ReadGUEST_USERall(s); });
    return all;
  }
  CgiSite site;
};

TEST(ApplicationGoldenTest, FormListAndDecisionFormArePrintedExactly) {
  ApplicationSite a;
  // The newer accepted application stops the pruning: the refused one after
  // it stays although it is old.
  a.applications(
      "hanako 2024/05/01 09:30 0; jiro 2099/12/31 23:59 1 Welcome; saburo 2024/01/01 00:00 2 "
      "Sorry");
  const std::string desk = a.site.key("desk"), boss = a.site.key("boss");
  // A shared account applies like anybody.
  EXPECT_EQ(a.site.as("desk", "JOB=IDSINSEI"), golden("idsinsei.html", desk));
  EXPECT_EQ(a.site.as("desk", "JOB=IDSINSEIlist"), golden("idsinseilist.html", desk));
  EXPECT_EQ(a.site.as("boss", "JOB=IDSINSEIlist2"), golden("idsinseilist2.html", boss));
}

TEST(ApplicationWriteTest, ChecksInTheirOrderThenTheRecord) {
  for (const std::vector<std::string>& c : table("application_write.txt")) {
    SCOPED_TRACE(c[0]);
    ApplicationSite a;
    a.applications(
        "waiting 2099/01/01 00:00 0; welcome 2099/01/01 00:00 1; refused 2099/01/01 00:00 2");
    const std::string page = a.site.post_as("desk", "JOB=IDSINSEIWR&" + c[1]);
    const std::vector<GUEST_USER> all = a.stored();
    if (c[2] != "0") {
      EXPECT_EQ(page, error_page(311, std::stoi(c[2])));
      EXPECT_EQ(all.size(), 3u);
      continue;
    }
    EXPECT_TRUE(has(page, "<B>" + text(107) + "</B>"));
    ASSERT_EQ(all.size(), 4u);
    const GUEST_USER& r = all.back();
    EXPECT_EQ(std::tuple(r.OK_NG, r.REMOTE_ADDR, r.HTTP_USER_AGENT, r.APPLY_DATE.size()),
              std::tuple(0, std::string("127.0.0.1"), std::string(kAgent), 16u));
    EXPECT_TRUE(has(page, ">" + r.USER_ID + "<"));
  }
}

TEST(ApplicationDecisionTest, AcceptingCreatesTheAccountRefusingAnswers) {
  for (const std::vector<std::string>& c : table("application_decision.txt")) {
    SCOPED_TRACE(c[0]);
    ApplicationSite a;
    a.applications(
        "waiting 2099/01/01 00:00 0; other 2099/01/01 00:00 0; taken 2099/01/01 00:00 0 kept");
    a.site.add_user_line("Taken,Someone,1,,pw,0,1,1,1,,,0,");
    const std::string page = a.site.post_as("boss", "JOB=IDSINSEIsysopWR&" + c[1]);
    EXPECT_TRUE(has(page, "IDSINSEIsysopWR"));  // the decision form again
    std::string states, answers;
    for (const GUEST_USER& r : a.stored()) {
      states += " " + std::to_string(r.OK_NG);
      answers += "/" + (r.MESSAGE == text(326)   ? "326"
                        : r.MESSAGE == text(327) ? "327"
                                                 : r.MESSAGE);
    }
    EXPECT_EQ(states, " " + c[2]);
    EXPECT_EQ(answers, "/" + c[3]);
    const bool account = c[4] == "yes";
    const std::string users = CgiSite::read_file(a.site.data_dir() + "user.mst");
    EXPECT_EQ(has(users, "\nwaiting,Waiting,10,,secret,0,1,1,1,japan.lng,,0,\n"), account);
    EXPECT_FALSE(has(users, "\ntaken,"));
    // The applied password logs the new account in.
    EXPECT_EQ(has(a.site.post_form("uid=waiting&upw=secret&JOB=TOP"), "<FRAMESET"), account);
  }
}

TEST(ApplicationListTest, OldDecisionsArePrunedUpToTheFirstNewerOne) {
  ApplicationSite a;
  a.applications(
      "old1 2020/01/01 00:00 1; oldpending 2020/01/02 00:00 0; old2 2020/01/03 00:00 2; "
      "new 2099/01/01 00:00 1; old3 2020/01/04 00:00 2");
  (void)a.site.as("taro", "JOB=IDSINSEIlist");
  std::string ids;
  for (const GUEST_USER& r : a.stored()) ids += r.USER_ID + " ";
  EXPECT_EQ(ids, "oldpending new old3 ");
  // The decision form shows the pending ones only, and prunes nothing.
  a.applications("old1 2020/01/01 00:00 1; oldpending 2020/01/02 00:00 0");
  const std::string form = a.site.as("boss", "JOB=IDSINSEIlist2");
  EXPECT_EQ(joined(form, "NAME=\"USER_ID\" VALUE=\"([^\"]*)\""), "oldpending");
  EXPECT_EQ(a.stored().size(), 2u);
}

}  // namespace
}  // namespace plazet::testing
