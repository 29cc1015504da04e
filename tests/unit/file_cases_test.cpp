// The data files against case tables: data/files.cases gives each section's
// file, each case a call with its arguments, the file before ("-" for none),
// what the call gives and, for a writer, the file after; data/rules.cases
// gives the rules every data file keeps: a request reads a file once and sees
// its own writes, a write whose work file cannot be made changes nothing, a
// missing file reads as empty and a trailing partial record or line is none.
// Users are given as their user.mst lines.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "data_dir_test.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using Args = std::vector<std::string>;

// A call's store, write proof and arguments.
struct C {
  Store& s;
  const WriteToken& w;
  const Args& a;
  [[nodiscard]] long n(std::size_t i) const { return std::stol(a.at(i)); }
  [[nodiscard]] int i(std::size_t k) const { return static_cast<int>(n(k)); }
};

std::string yes(bool b) {
  return b ? "true" : "false";
}
template <typename List, typename Show>
std::string list(const List& items, Show show) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : " ") + show(item);
  return out;
}
template <typename T>
std::string num(const std::optional<T>& v) {
  return v ? std::to_string(*v) : "none";
}
// A user given as its user.mst line.
MST_USER user(const std::string& line) {
  return parse_user_line(line).value();
}
B_TITLE folder(const C& c, std::size_t at) {
  return B_TITLE{c.n(at), c.i(at + 1), c.a.at(at + 2), c.i(at + 3)};
}
std::string show(const std::optional<B_TITLE>& t) {
  if (!t) return "none";
  return std::to_string(t->DEPTH) + ":" + t->NAME + "," + std::to_string(t->FOLDER_NO) + "," +
         std::to_string(t->MODE);
}
// A folder's settings as read level, write level, read check and rewrite flag.
std::string show(const std::optional<B_TITLE2>& r) {
  if (!r) return "none";
  return std::to_string(r->READ_LEVEL) + "/" + std::to_string(r->WRITE_LEVEL) + "/" +
         std::to_string(r->READ_CHK) + "/" + std::to_string(r->REWRITE_FLG);
}

struct Call {
  std::size_t arity;
  bool writes;
  std::function<std::string(const C&)> run;
};

const std::map<std::string, Call> kCalls = {
    {"ReadMST_USER",
     {1, false,
      [](const C& c) {
        std::string typed = c.a[0];
        std::optional<MST_USER> u = ReadMST_USER(c.s, typed);
        return (u ? u->USER_ID + "/" + u->USER_NAME : "none") + " -> " + typed;
      }}},
    {"ReadMST_USERcount",
     {0, false,
      [](const C& c) {
        std::vector<std::string> ids;
        for (std::size_t n = 0; std::optional<MST_USER> u = ReadMST_USERcount(c.s, n); ++n)
          ids.push_back(u->USER_ID);
        return list(ids, [](const std::string& id) { return id; });
      }}},
    {"ReWriteMST_USER",
     {1, true, [](const C& c) { return yes(ReWriteMST_USER(c.s, c.w, user(c.a[0]))); }}},
    {"DeleteMST_USER", {1, true, [](const C& c) { return yes(DeleteMST_USER(c.s, c.w, c.a[0])); }}},
    {"InsertMST_USER",
     {1, true, [](const C& c) { return yes(InsertMST_USER(c.s, c.w, user(c.a[0]))); }}},
    {"WriteSYSTEM_LOG",
     {6, true,
      [](const C& c) {
        const auto kind = c.a[2] == "login" ? SYSTEM_LOG::kLogin : SYSTEM_LOG::kWrite;
        return yes(WriteSYSTEM_LOG(c.s, c.w, {c.a[1], c.a[0], kind, c.n(3), c.a[4], c.a[5]}));
      }}},
    {"ReadSYSTEM_LOG",
     {1, false,
      [](const C& c) {
        std::optional<LogCounts> l = ReadSYSTEM_LOG(c.s, c.a[0]);
        return l ? std::to_string(l->logins) + "/" + std::to_string(l->writes) + " " + l->last_login
                 : "none";
      }}},
    {"DeleteSYSTEM_LOG",
     {1, true, [](const C& c) { return yes(DeleteSYSTEM_LOG(c.s, c.w, c.a[0])); }}},
    {"ReadGROUP_MST",
     {1, false,
      [](const C& c) {
        std::optional<MST_GROUP> g = ReadGROUP_MST(c.s, c.n(0));
        return g ? g->T02_GROUP_NAME : "none";
      }}},
    {"ReadGROUP_MSTall",
     {1, false,
      [](const C& c) {
        return list(ReadGROUP_MSTall(
                        c.s, c.a[0] == "all" ? GroupListing::kAll : GroupListing::kCommaTerminated),
                    [](const MST_GROUP& g) {
                      return std::to_string(g.T02_GROUP_ID) + ":" + g.T02_GROUP_NAME;
                    });
      }}},
    {"ReWriteMST_GROUP",
     {2, true,
      [](const C& c) {
        return yes(ReWriteMST_GROUP(c.s, c.w, {c.n(0), c.a[1]}));
      }}},
    {"DeleteMST_GROUP",
     {1, true, [](const C& c) { return yes(DeleteMST_GROUP(c.s, c.w, c.n(0))); }}},
    {"ReadGROUP_USER1",
     {1, false,
      [](const C& c) {
        return list(ReadGROUP_USER1(c.s, c.a[0]), [](long g) { return std::to_string(g); });
      }}},
    {"WriteGROUP_USER",
     {2, true,
      [](const C& c) {
        return yes(WriteGROUP_USER(c.s, c.w, {c.n(0), c.a[1]}));
      }}},
    {"DeleteGROUP_USER",
     {3, true,
      [](const C& c) {
        const auto mode =
            c.a[0] == "member" ? GroupUserDelete::kMember : GroupUserDelete::kWholeGroup;
        return yes(DeleteGROUP_USER(c.s, c.w, mode, {c.n(1), c.a[2]}));
      }}},
    {"DeleteGROUP_USER2",
     {1, true, [](const C& c) { return yes(DeleteGROUP_USER2(c.s, c.w, c.a[0])); }}},
    {"SortGROUP_USER", {0, true, [](const C& c) { return yes(SortGROUP_USER(c.s, c.w)); }}},
    {"ReadB_TITLE",
     {2, false,
      [](const C& c) {
        return show(ReadB_TITLE(c.s, c.n(1),
                                c.a[0] == "number" ? TitleKey::kFolderNo : TitleKey::kDisplayNo));
      }}},
    {"folder_tree",
     {0, false,
      [](const C& c) { return list(*folder_tree(c.s), [](const B_TITLE& t) { return t.NAME; }); }}},
    {"get_upper_folder", {1, false, [](const C& c) { return num(get_upper_folder(c.s, c.i(0))); }}},
    {"display_number", {1, false, [](const C& c) { return num(display_number(c.s, c.n(0))); }}},
    {"create_folder",
     {3, true,
      [](const C& c) {
        long number = 0;
        const Placement where = c.a[1] == "after" ? Placement::kAfter : Placement::kInside;
        return std::to_string(create_folder(c.s, c.w, c.i(0), where, c.i(2), "N", &number));
      }}},
    {"InsertB_TITLE",
     {5, true, [](const C& c) { return yes(InsertB_TITLE(c.s, c.w, c.i(0), folder(c, 1))); }}},
    {"DeleteB_TITLE", {1, true, [](const C& c) { return yes(DeleteB_TITLE(c.s, c.w, c.i(0))); }}},
    {"ReWriteB_TITLE",
     {4, true, [](const C& c) { return yes(ReWriteB_TITLE(c.s, c.w, folder(c, 0))); }}},
    {"ReadB_TITLE2", {1, false, [](const C& c) { return show(ReadB_TITLE2(c.s, c.n(0))); }}},
    {"ReWriteB_TITLE2",
     {2, true,
      [](const C& c) {
        B_TITLE2 r;
        r.FOLDER_NO = c.i(0);
        r.READ_LEVEL = c.i(1);
        return yes(ReWriteB_TITLE2(c.s, c.w, r));
      }}},
    {"DeleteB_TITLE2", {1, true, [](const C& c) { return yes(DeleteB_TITLE2(c.s, c.w, c.n(0))); }}},
    {"group_entries",
     {1, false,
      [](const C& c) {
        return list(group_entries(c.s, c.n(0)), [](const B_G_ACL& e) {
          return std::to_string(e.GROUP_NO) + ":" + std::to_string(e.ACL_MODE);
        });
      }}},
    {"user_entries",
     {1, false,
      [](const C& c) {
        return list(user_entries(c.s, c.n(0)),
                    [](const B_U_ACL& e) { return e.USER_ID + ":" + std::to_string(e.ACL_MODE); });
      }}},
    {"WriteB_G_ACL",
     {3, true,
      [](const C& c) {
        return yes(WriteB_G_ACL(c.s, c.w, {c.i(0), c.i(1), c.i(2)}));
      }}},
    {"WriteB_U_ACL",
     {3, true,
      [](const C& c) {
        return yes(WriteB_U_ACL(c.s, c.w, {c.i(0), c.a[1], c.i(2)}));
      }}},
    {"DeleteB_G_ACL",
     {2, true, [](const C& c) { return yes(DeleteB_G_ACL(c.s, c.w, c.n(0), c.n(1))); }}},
    {"DeleteB_U_ACL",
     {2, true, [](const C& c) { return yes(DeleteB_U_ACL(c.s, c.w, c.n(0), c.a[1])); }}},
    {"ReadMST_SKEY",
     {3, false,
      [](const C& c) {
        return ReadMST_SKEY(c.s, c.n(0), {c.a[1], c.a[2]}).value_or("none");
      }}},
    {"ReadMST_SKEY2", {1, false, [](const C& c) { return num(ReadMST_SKEY2(c.s, c.a[0])); }}},
    {"WriteMST_SKEY",
     {4, true,
      [](const C& c) {
        return yes(WriteMST_SKEY(c.s, c.w, {c.i(0), c.a[1], "", ""}, {c.a[2], c.a[3]}));
      }}},
    {"DeleteMST_SKEY", {1, true, [](const C& c) { return yes(DeleteMST_SKEY(c.s, c.w, c.a[0])); }}},
    {"CountINDEX_DATA",
     {1, false, [](const C& c) { return std::to_string(CountINDEX_DATA(c.s, c.n(0))); }}},
    {"DeleteINDEX_DATA",
     {2, true, [](const C& c) { return yes(DeleteINDEX_DATA(c.s, c.w, c.n(0), c.n(1))); }}},
    {"marks",
     {2, false,
      [](const C& c) {
        std::string ids;
        for (std::size_t k = 0; auto m = ReadREAD_POINT2(c.s, c.n(0), c.n(1), k); ++k)
          ids += m->USER_ID + " ";
        return ids;
      }}},
    {"DeleteREAD_POINT",
     {2, true, [](const C& c) { return yes(DeleteREAD_POINT(c.s, c.w, c.n(0), c.n(1))); }}},
    {"ChkUNREAD", {2, false, [](const C& c) { return num(ChkUNREAD(c.s, c.n(0), c.a[1])); }}},
    {"DeleteUNREAD",
     {2, true, [](const C& c) { return yes(DeleteUNREAD(c.s, c.w, c.n(0), c.a[1])); }}},
    {"ReadADD_FILE",
     {3, false,
      [](const C& c) {
        std::optional<ADD_FILE> f = ReadADD_FILE(c.s, c.n(0), c.n(1), c.n(2));
        return f ? f->FILE_NAME : "none";
      }}},
    {"WriteADD_FILE",
     {4, true,
      [](const C& c) {
        return yes(WriteADD_FILE(c.s, c.w, c.n(0), {c.i(1), c.i(2), c.a[3]}));
      }}},
    {"DeleteADD_FILE",
     {2, true, [](const C& c) { return yes(DeleteADD_FILE(c.s, c.w, c.n(0), c.n(1))); }}},
    {"DeleteADD_FILE2",
     {3, true, [](const C& c) { return yes(DeleteADD_FILE2(c.s, c.w, c.n(0), c.n(1), c.n(2))); }}},
};

// A call written "Name arg arg" in one field.
std::string run(const std::string& text, Store& s, const WriteToken& w) {
  Args words;
  for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
    end = text.find(' ', at);
    words.push_back(text.substr(at, end - at));
  }
  const Args args(words.begin() + 1, words.end());
  return kCalls.at(words[0]).run(C{s, w, args});
}

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
    const Args args(c.fields.begin() + 1, c.fields.begin() + 1 + n);
    EXPECT_EQ(call->second.run(C{s, w(), args}), c.fields[n + 2]) << where;
    if (call->second.writes) {
      EXPECT_EQ(exists(c.section) ? read(c.section) : "-", c.fields[n + 3]) << where;
    }
  }
}

// A rule case: the file before => other contents written behind the
// request's back => a reading call => a writing call => its work file =>
// "created" when reading a missing file leaves it behind empty, "afresh" when
// the file is read anew at each look-up.
TEST_F(FileCases, EveryDataFileKeepsTheRules) {
  const std::vector<testing::Case> cases = testing::load_cases("rules.cases");
  ASSERT_GE(cases.size(), 15u);
  for (const testing::Case& c : cases) {
    SCOPED_TRACE("rules.cases:" + std::to_string(c.line));
    ASSERT_EQ(c.fields.size(), 6u);
    const std::string &file = c.section, &before = c.fields[0], &reader = c.fields[2];
    const std::string &writer = c.fields[3], &flags = c.fields[5];
    // Read once, sees its own writes.
    write(file, before);
    const std::string first = run(reader, fresh(), w());
    write(file, c.fields[1]);
    if (flags.find("afresh") == std::string::npos) {
      EXPECT_EQ(run(reader, store(), w()), first) << "read again within the request";
    }
    const std::string changed = run(reader, fresh(), w());
    EXPECT_NE(changed, first) << "a new request reads the file";
    EXPECT_EQ(run(writer, store(), w()), "true");
    EXPECT_NE(run(reader, store(), w()), changed) << "the request's own write is seen";
    // A blocked work file changes nothing.
    write(file, before);
    block(c.fields[4]);
    EXPECT_EQ(run(writer, fresh(), w()), "false");
    EXPECT_EQ(read(file), before);
    EXPECT_EQ(run(reader, store(), w()), run(reader, fresh(), w()));
    unblock(c.fields[4]);
    // A trailing partial record or line is none; a missing file reads empty.
    write(file, before + c.fields[1].substr(0, 3));
    EXPECT_EQ(run(reader, fresh(), w()), first);
    std::filesystem::remove(dir_.file(file));
    EXPECT_NE(run(reader, fresh(), w()), first);
    EXPECT_EQ(exists(file) ? read(file) : "-", flags.find("created") == 0 ? "" : "-");
  }
}

}  // namespace
}  // namespace plazet
