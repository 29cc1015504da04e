// The line files (user.mst, group.mst, g_user.mst, b_title.mst) against the
// case table data/files.cases: each section names the file, each case a call
// with its arguments, the file before ("-" for none), what the call gives and,
// for a writer, the file after.  Users are given as their user.mst lines.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cases.h"
#include "data_dir_test.h"
#include "folders/folder_admin.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using Args = std::vector<std::string>;
using W = const WriteToken&;

std::string yes(bool b) { return b ? "true" : "false"; }
long num(const std::string& s) { return std::stol(s); }
template <typename List, typename Show>
std::string list(const List& items, Show show) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : " ") + show(item);
  return out;
}
// A user given as its user.mst line.
MST_USER user(const std::string& line) { return parse_user_line(line).value(); }
B_TITLE folder(const Args& a, std::size_t at) {
  B_TITLE t;
  t.FOLDER_NO = num(a.at(at));
  t.MODE = static_cast<int>(num(a.at(at + 1)));
  t.NAME = a.at(at + 2);
  t.DEPTH = static_cast<int>(num(a.at(at + 3)));
  return t;
}
std::string show(const std::optional<B_TITLE>& t) {
  if (!t) return "none";
  return std::to_string(t->DEPTH) + ":" + t->NAME + "," + std::to_string(t->FOLDER_NO) + "," + std::to_string(t->MODE);
}

struct Call {
  std::size_t arity;
  bool writes;
  std::function<std::string(Store&, W, const Args&)> run;
};

const std::map<std::string, Call> kCalls = {
    {"ReadMST_USER", {1, false, [](Store& s, W, const Args& a) {
       std::string typed = a[0];
       std::optional<MST_USER> u = ReadMST_USER(s, typed);
       return (u ? u->USER_ID + "/" + u->USER_NAME : "none") + " -> " + typed;
     }}},
    {"ReadMST_USERcount", {0, false, [](Store& s, W, const Args&) {
       std::vector<std::string> ids;
       for (std::size_t n = 0; std::optional<MST_USER> u = ReadMST_USERcount(s, n); ++n) ids.push_back(u->USER_ID);
       return list(ids, [](const std::string& id) { return id; });
     }}},
    {"ReWriteMST_USER", {1, true, [](Store& s, W w, const Args& a) { return yes(ReWriteMST_USER(s, w, user(a[0]))); }}},
    {"DeleteMST_USER", {1, true, [](Store& s, W w, const Args& a) { return yes(DeleteMST_USER(s, w, a[0])); }}},
    {"InsertMST_USER", {1, true, [](Store& s, W w, const Args& a) { return yes(InsertMST_USER(s, w, user(a[0]))); }}},
    {"WriteSYSTEM_LOG", {6, true, [](Store& s, W w, const Args& a) {
       SYSTEM_LOG e;
       e.LOG_TIME = a[0];
       e.USER_ID = a[1];
       e.LOG_KIND = a[2] == "login" ? SYSTEM_LOG::kLogin : SYSTEM_LOG::kWrite;
       e.FOLDER_NO = num(a[3]);
       e.REMOTE_ADDR = a[4];
       e.HTTP_USER_AGENT = a[5];
       return yes(WriteSYSTEM_LOG(s, w, e));
     }}},
    {"ReadSYSTEM_LOG", {1, false, [](Store& s, W, const Args& a) {
       std::optional<LogCounts> c = ReadSYSTEM_LOG(s, a[0]);
       return c ? std::to_string(c->logins) + "/" + std::to_string(c->writes) + " " + c->last_login : "none";
     }}},
    {"DeleteSYSTEM_LOG", {1, true, [](Store& s, W w, const Args& a) { return yes(DeleteSYSTEM_LOG(s, w, a[0])); }}},
    {"ReadGROUP_MST", {1, false, [](Store& s, W, const Args& a) {
       std::optional<MST_GROUP> g = ReadGROUP_MST(s, num(a[0]));
       return g ? g->T02_GROUP_NAME : "none";
     }}},
    {"ReadGROUP_MSTall", {1, false, [](Store& s, W, const Args& a) {
       return list(ReadGROUP_MSTall(s, a[0] == "all" ? GroupListing::kAll : GroupListing::kCommaTerminated),
                   [](const MST_GROUP& g) { return std::to_string(g.T02_GROUP_ID) + ":" + g.T02_GROUP_NAME; });
     }}},
    {"ReWriteMST_GROUP", {2, true, [](Store& s, W w, const Args& a) { return yes(ReWriteMST_GROUP(s, w, {num(a[0]), a[1]})); }}},
    {"DeleteMST_GROUP", {1, true, [](Store& s, W w, const Args& a) { return yes(DeleteMST_GROUP(s, w, num(a[0]))); }}},
    {"ReadGROUP_USER1", {1, false, [](Store& s, W, const Args& a) {
       return list(ReadGROUP_USER1(s, a[0]), [](long g) { return std::to_string(g); });
     }}},
    {"WriteGROUP_USER", {2, true, [](Store& s, W w, const Args& a) { return yes(WriteGROUP_USER(s, w, {num(a[0]), a[1]})); }}},
    {"DeleteGROUP_USER", {3, true, [](Store& s, W w, const Args& a) {
       const auto mode = a[0] == "member" ? GroupUserDelete::kMember : GroupUserDelete::kWholeGroup;
       return yes(DeleteGROUP_USER(s, w, mode, {num(a[1]), a[2]}));
     }}},
    {"DeleteGROUP_USER2", {1, true, [](Store& s, W w, const Args& a) { return yes(DeleteGROUP_USER2(s, w, a[0])); }}},
    {"SortGROUP_USER", {0, true, [](Store& s, W w, const Args&) { return yes(SortGROUP_USER(s, w)); }}},
    {"ReadB_TITLE", {2, false, [](Store& s, W, const Args& a) {
       return show(ReadB_TITLE(s, num(a[1]), a[0] == "number" ? TitleKey::kFolderNo : TitleKey::kDisplayNo));
     }}},
    {"get_upper_folder", {1, false, [](Store& s, W, const Args& a) {
       std::optional<int> p = get_upper_folder(s, static_cast<int>(num(a[0])));
       return p ? std::to_string(*p) : "none";
     }}},
    {"display_number", {1, false, [](Store& s, W, const Args& a) {
       std::optional<int> n = display_number(s, num(a[0]));
       return n ? std::to_string(*n) : "none";
     }}},
    {"create_folder", {3, true, [](Store& s, W w, const Args& a) {
       long number = 0;
       const Placement where = a[1] == "after" ? Placement::kAfter : Placement::kInside;
       return std::to_string(create_folder(s, w, static_cast<int>(num(a[0])), where, static_cast<int>(num(a[2])), "N", &number));
     }}},
    {"InsertB_TITLE", {5, true, [](Store& s, W w, const Args& a) { return yes(InsertB_TITLE(s, w, static_cast<int>(num(a[0])), folder(a, 1))); }}},
    {"DeleteB_TITLE", {1, true, [](Store& s, W w, const Args& a) { return yes(DeleteB_TITLE(s, w, static_cast<int>(num(a[0])))); }}},
    {"ReWriteB_TITLE", {4, true, [](Store& s, W w, const Args& a) { return yes(ReWriteB_TITLE(s, w, folder(a, 0))); }}},
};

class FileCases : public testing::DataDirTest {};

TEST_F(FileCases, EveryCallGivesItsResultAndLeavesItsFile) {
  const std::vector<testing::Case> cases = testing::load_cases("files.cases");
  ASSERT_GE(cases.size(), 60u);
  std::string before;
  for (const testing::Case& c : cases) {
    const std::string where = "files.cases:" + std::to_string(c.line);
    const auto call = kCalls.find(c.fields.at(0));
    ASSERT_NE(call, kCalls.end()) << where;
    const std::size_t n = call->second.arity;
    ASSERT_EQ(c.fields.size(), n + 3 + (call->second.writes ? 1 : 0)) << where;
    if (c.fields[n + 1] != "^") before = c.fields[n + 1];  // "^": as in the case above
    std::filesystem::remove(dir_.file(c.section));
    if (before != "-") write(c.section, before);
    Store& s = fresh();
    EXPECT_EQ(call->second.run(s, w(), Args(c.fields.begin() + 1, c.fields.begin() + 1 + n)), c.fields[n + 2]) << where;
    if (call->second.writes) {
      EXPECT_EQ(exists(c.section) ? read(c.section) : "-", c.fields[n + 3]) << where;
    }
  }
}

}  // namespace
}  // namespace plazet
