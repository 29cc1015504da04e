// The data files against case tables: data/files.cases gives each section's
// file, each case a call with its arguments, the file before ("-" for none),
// what the call gives and, for a writer, the file after; data/rules.cases
// gives the rules every data file keeps: a request reads a file once and sees
// its own writes, a write whose work file cannot be made changes nothing, a
// missing file reads as empty and a trailing partial record or line is none.
// Users are given as their user.mst lines.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "chat/chat_store.h"
#include "data_dir_test.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"
#include "users/session_file.h"
#include "users/sorted_users.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using Args = std::vector<std::string>;

std::string yes(bool b) {
  return b ? "true" : "false";
}
template <typename T>
std::string num(const std::optional<T>& v) {
  return v ? std::to_string(*v) : "none";
}
template <typename List, typename Show>
std::string list(const List& items, Show show) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : " ") + show(item);
  return out;
}
// A user given as its user.mst line.
MST_USER user(const std::string& line) {
  return parse_user_line(line).value();
}
// A folder as depth:name,number,mode.
std::string show(const std::optional<B_TITLE>& t) {
  if (!t) return "none";
  return std::to_string(t->DEPTH) + ":" + t->NAME + "," + std::to_string(t->FOLDER_NO) + "," +
         std::to_string(t->MODE);
}
// A folder's settings as read level/write level/read check/rewrite flag.
std::string show(const std::optional<B_TITLE2>& r) {
  if (!r) return "none";
  return std::to_string(r->READ_LEVEL) + "/" + std::to_string(r->WRITE_LEVEL) + "/" +
         std::to_string(r->READ_CHK) + "/" + std::to_string(r->REWRITE_FLG);
}
bool writes(const std::string& f) {
  for (const char* verb :
       {"Write", "ReWrite", "Delete", "Insert", "Sort", "create", "drop", "reset"}) {
    if (f.starts_with(verb)) return true;
  }
  return false;
}

// What call `f` with arguments `a` gives.
std::string call(const std::string& f, Store& s, const WriteToken& w, const Args& a) {
  auto n = [&](std::size_t k) { return std::stol(a.at(k)); };
  auto i = [&](std::size_t k) { return static_cast<int>(std::stol(a.at(k))); };
  auto folder = [&](std::size_t k) { return B_TITLE{n(k), i(k + 1), a.at(k + 2), i(k + 3)}; };
  std::string out;
  if (f == "ReadMST_USER") {
    std::string typed = a[0];
    std::optional<MST_USER> u = ReadMST_USER(s, typed);
    return (u ? u->USER_ID + "/" + u->USER_NAME : "none") + " -> " + typed;
  }
  if (f == "ReadMST_USERcount") {
    for (std::size_t k = 0; std::optional<MST_USER> u = ReadMST_USERcount(s, k); ++k) {
      out += (k ? " " : "") + u->USER_ID;
    }
    return out;
  }
  if (f == "sorted_copies") {  // the IDs of the three copies
    if (!MakeOderID(s, w) || !MakeOderLevel(s, w) || !MakeOderPgroup(s, w)) return "false";
    std::vector<std::string> copies;
    for (const char* copy : {"user2.mst", "user3.mst", "user4.mst"}) {
      std::ifstream in(s.dir() + copy);
      std::vector<std::string> ids;
      for (std::string line; std::getline(in, line);) ids.push_back(line.substr(0, line.find(',')));
      copies.push_back(list(ids, [](const std::string& id) { return id; }));
    }
    return copies[0] + "/" + copies[1] + "/" + copies[2];
  }
  if (f == "ReWriteMST_USER") return yes(ReWriteMST_USER(s, w, user(a[0])));
  if (f == "DeleteMST_USER") return yes(DeleteMST_USER(s, w, a[0]));
  if (f == "InsertMST_USER") return yes(InsertMST_USER(s, w, user(a[0])));
  if (f == "reset_primary_group") return yes(reset_primary_group(s, w, n(0)));
  if (f == "WriteSYSTEM_LOG") {
    const auto kind = a[2] == "login" ? SYSTEM_LOG::kLogin : SYSTEM_LOG::kWrite;
    return yes(WriteSYSTEM_LOG(s, w, {a[1], a[0], kind, n(3), a[4], a[5]}));
  }
  if (f == "ReadSYSTEM_LOG") {
    std::optional<LogCounts> l = ReadSYSTEM_LOG(s, a[0]);
    if (!l) return "none";
    return std::to_string(l->logins) + "/" + std::to_string(l->writes) + " " + l->last_login;
  }
  if (f == "DeleteSYSTEM_LOG") return yes(DeleteSYSTEM_LOG(s, w, a[0]));
  if (f == "ReadGROUP_MST") {
    std::optional<MST_GROUP> g = ReadGROUP_MST(s, n(0));
    return g ? g->T02_GROUP_NAME : "none";
  }
  if (f == "ReadGROUP_MSTall") {
    const auto which = a[0] == "all" ? GroupListing::kAll : GroupListing::kCommaTerminated;
    return list(ReadGROUP_MSTall(s, which), [](const MST_GROUP& g) {
      return std::to_string(g.T02_GROUP_ID) + ":" + g.T02_GROUP_NAME;
    });
  }
  if (f == "ReWriteMST_GROUP") return yes(ReWriteMST_GROUP(s, w, {n(0), a[1]}));
  if (f == "DeleteMST_GROUP") return yes(DeleteMST_GROUP(s, w, n(0)));
  if (f == "ReadGROUP_USER1") {
    return list(ReadGROUP_USER1(s, a[0]), [](long g) { return std::to_string(g); });
  }
  if (f == "WriteGROUP_USER") return yes(WriteGROUP_USER(s, w, {n(0), a[1]}));
  if (f == "DeleteGROUP_USER") {
    const auto mode = a[0] == "member" ? GroupUserDelete::kMember : GroupUserDelete::kWholeGroup;
    return yes(DeleteGROUP_USER(s, w, mode, {n(1), a[2]}));
  }
  if (f == "DeleteGROUP_USER2") return yes(DeleteGROUP_USER2(s, w, a[0]));
  if (f == "SortGROUP_USER") return yes(SortGROUP_USER(s, w));
  if (f == "ReadB_TITLE") {
    return show(
        ReadB_TITLE(s, n(1), a[0] == "number" ? TitleKey::kFolderNo : TitleKey::kDisplayNo));
  }
  if (f == "folder_tree") return list(*folder_tree(s), [](const B_TITLE& t) { return t.NAME; });
  if (f == "get_upper_folder") return num(get_upper_folder(s, i(0)));
  if (f == "display_number") return num(display_number(s, n(0)));
  if (f == "create_folder") {
    long number = 0;
    const Placement where = a[1] == "after" ? Placement::kAfter : Placement::kInside;
    return std::to_string(create_folder(s, w, i(0), where, i(2), "N", &number));
  }
  if (f == "InsertB_TITLE") return yes(InsertB_TITLE(s, w, i(0), folder(1)));
  if (f == "DeleteB_TITLE") return yes(DeleteB_TITLE(s, w, i(0)));
  if (f == "ReWriteB_TITLE") return yes(ReWriteB_TITLE(s, w, folder(0)));
  if (f == "ReadB_TITLE2") return show(ReadB_TITLE2(s, n(0)));
  if (f == "ReWriteB_TITLE2") {
    B_TITLE2 r;
    r.FOLDER_NO = i(0);
    r.READ_LEVEL = i(1);
    return yes(ReWriteB_TITLE2(s, w, r));
  }
  if (f == "DeleteB_TITLE2") return yes(DeleteB_TITLE2(s, w, n(0)));
  if (f == "group_entries") {
    return list(group_entries(s, n(0)), [](const B_G_ACL& e) {
      return std::to_string(e.GROUP_NO) + ":" + std::to_string(e.ACL_MODE);
    });
  }
  if (f == "user_entries") {
    return list(user_entries(s, n(0)),
                [](const B_U_ACL& e) { return e.USER_ID + ":" + std::to_string(e.ACL_MODE); });
  }
  if (f == "WriteB_G_ACL") return yes(WriteB_G_ACL(s, w, {i(0), i(1), i(2)}));
  if (f == "WriteB_U_ACL") return yes(WriteB_U_ACL(s, w, {i(0), a[1], i(2)}));
  if (f == "DeleteB_G_ACL") return yes(DeleteB_G_ACL(s, w, n(0), n(1)));
  if (f == "DeleteB_U_ACL") return yes(DeleteB_U_ACL(s, w, n(0), a[1]));
  if (f == "drop_group_rights") return yes(drop_group_rights(s, w, n(0)));
  if (f == "drop_user_rights") return yes(drop_user_rights(s, w, a[0]));
  if (f == "ReadMST_SKEY") return ReadMST_SKEY(s, n(0), {a[1], a[2]}).value_or("none");
  if (f == "ReadMST_SKEY2") return num(ReadMST_SKEY2(s, a[0]));
  if (f == "WriteMST_SKEY") return yes(WriteMST_SKEY(s, w, {i(0), a[1], "", ""}, {a[2], a[3]}));
  if (f == "DeleteMST_SKEY") return yes(DeleteMST_SKEY(s, w, a[0]));
  if (f == "CountINDEX_DATA") return std::to_string(CountINDEX_DATA(s, n(0)));
  if (f == "DeleteINDEX_DATA") return yes(DeleteINDEX_DATA(s, w, n(0), n(1)));
  if (f == "marks") {
    for (std::size_t k = 0; auto m = ReadREAD_POINT2(s, n(0), n(1), k); ++k)
      out += m->USER_ID + " ";
    return out;
  }
  if (f == "DeleteREAD_POINT") return yes(DeleteREAD_POINT(s, w, n(0), n(1)));
  if (f == "ChkUNREAD") return num(ChkUNREAD(s, n(0), a[1]));
  if (f == "DeleteUNREAD") return yes(DeleteUNREAD(s, w, n(0), a[1]));
  if (f == "ReadADD_FILE") {
    std::optional<ADD_FILE> file = ReadADD_FILE(s, n(0), n(1), n(2));
    return file ? file->FILE_NAME : "none";
  }
  if (f == "WriteADD_FILE") return yes(WriteADD_FILE(s, w, n(0), {i(1), i(2), a[3]}));
  if (f == "DeleteADD_FILE") return yes(DeleteADD_FILE(s, w, n(0), n(1)));
  if (f == "DeleteADD_FILE2") return yes(DeleteADD_FILE2(s, w, n(0), n(1), n(2)));
  if (f == "ReadCHAT_DATA") {
    std::optional<CHAT_DATA> line = ReadCHAT_DATA(s, n(0), std::stoul(a[1]));
    return line ? std::to_string(line->KIND) + ":" + line->USER_NAME + ":" + line->COLOR + ":" +
                      line->MTALK
                : "none";
  }
  if (f == "WriteCHAT_DATA") {
    CHAT_DATA line;
    line.KIND = i(1);
    line.USER_NAME = a[2];
    line.MTALK = a[3];
    return yes(WriteCHAT_DATA(s, w, n(0), line));
  }
  if (f == "ReadCHAT_IDX") {
    std::optional<CHAT_IDX> r = ReadCHAT_IDX(s, n(0), a[1]);
    return r ? r->COLOR + "/" + std::to_string(r->LOG_LINE) + "/" + std::to_string(r->RELOAD_TIME) +
                   "/" + r->LAST_TIME
             : "none";
  }
  if (f == "WriteCHAT_IDX") {
    return yes(WriteCHAT_IDX(s, w, n(0), {a[1], a[2], i(3), i(4), a[5] + " " + a[6]}));
  }
  ADD_FAILURE() << "no call " << f;
  return "";
}

// A call written "Name arg arg" in one field.
std::string run(const std::string& text, Store& s, const WriteToken& w) {
  Args words;
  for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
    end = text.find(' ', at);
    words.push_back(text.substr(at, end - at));
  }
  return call(words[0], s, w, Args(words.begin() + 1, words.end()));
}

class FileCases : public testing::DataDirTest {};

TEST_F(FileCases, EveryCallGivesItsResultAndLeavesItsFile) {
  const std::vector<testing::Case> cases = testing::load_cases("files.cases");
  ASSERT_GE(cases.size(), 60u);
  std::string before;
  for (const testing::Case& c : cases) {
    const std::string where = "files.cases:" + std::to_string(c.line);
    const std::string& f = c.fields.at(0);
    const std::size_t n = c.fields.size() - (writes(f) ? 4 : 3);
    if (c.fields[n + 1] != "^") before = c.fields[n + 1];  // "^": as in the case above
    std::filesystem::remove(dir_.file(c.section));
    if (before != "-") dir_.write(c.section, before);
    Store& s = fresh();
    EXPECT_EQ(call(f, s, w(), Args(c.fields.begin() + 1, c.fields.begin() + 1 + n)),
              c.fields[n + 2])
        << where;
    if (writes(f)) {
      EXPECT_EQ(dir_.exists(c.section) ? dir_.read(c.section) : "-", c.fields[n + 3]) << where;
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
    dir_.write(file, before);
    const std::string first = run(reader, fresh(), w());
    dir_.write(file, c.fields[1]);
    if (flags.find("afresh") == std::string::npos) {
      EXPECT_EQ(run(reader, store(), w()), first) << "read again within the request";
    }
    const std::string changed = run(reader, fresh(), w());
    EXPECT_NE(changed, first) << "a new request reads the file";
    EXPECT_EQ(run(writer, store(), w()), "true");
    EXPECT_NE(run(reader, store(), w()), changed) << "the request's own write is seen";
    // A blocked work file changes nothing.
    dir_.write(file, before);
    block(c.fields[4]);
    EXPECT_EQ(run(writer, fresh(), w()), "false");
    EXPECT_EQ(dir_.read(file), before);
    EXPECT_EQ(run(reader, store(), w()), run(reader, fresh(), w()));
    unblock(c.fields[4]);
    // A trailing partial record or line is none; a missing file reads empty.
    dir_.write(file, before + c.fields[1].substr(0, 3));
    EXPECT_EQ(run(reader, fresh(), w()), first);
    std::filesystem::remove(dir_.file(file));
    EXPECT_NE(run(reader, fresh(), w()), first);
    EXPECT_EQ(dir_.exists(file) ? dir_.read(file) : "-", flags.find("created") == 0 ? "" : "-");
  }
}

}  // namespace
}  // namespace plazet
