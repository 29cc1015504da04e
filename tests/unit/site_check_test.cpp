// plazetctl check: one planted fault of each kind in a site written through
// the data modules, each reported once with its file and record; the demo
// site is clean; the check changes nothing.
#include "site_check.h"

#include <sys/time.h>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "boards/mark_summary.h"
#include "boards/message_service.h"
#include "boards/read_marks.h"
#include "cases.h"
#include "chat/chat_store.h"
#include "data_dir_test.h"
#include "demo_seed.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "users/group_files.h"
#include "users/guest_user.h"
#include "users/session_file.h"
#include "users/system_log.h"
#include "users/user_file.h"

namespace plazet {
namespace {

namespace fs = std::filesystem;

class SiteCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"data", "pics", "cgi"}) fs::create_directories(dir_.file(d));
  }
  SitePlaces places() const {
    return {dir_.prefix() + "data/", dir_.prefix() + "pics/", dir_.prefix() + "cgi/"};
  }
  // Every finding with the paths taken from the site's directory.
  std::string check() const {
    std::string out;
    for (const Finding& f : check_site(places(), std::time(nullptr))) {
      std::string line = format_finding(f);
      if (line.starts_with(dir_.prefix())) line.erase(0, dir_.prefix().size());
      out += (out.empty() ? "" : " | ") + line;
    }
    return out;
  }
  // The site of the case table (data/site_check.cases), written as the
  // program writes it.
  void lay_out() {
    DataLock lock = DataLock::acquire(places().data_dir, LockMode::kExclusive);
    const WriteToken& w = lock.write_token();
    Store s(places().data_dir);
    ASSERT_EQ(create_folder(s, w, 0, Placement::kAfter, B_TITLE::kDir, "D"), kFolderCreated);
    ASSERT_EQ(create_folder(s, w, 1, Placement::kInside, B_TITLE::kBoard, "B"), kFolderCreated);
    ASSERT_EQ(create_folder(s, w, 0, Placement::kAfter, B_TITLE::kChat, "C"), kFolderCreated);
    ASSERT_EQ(create_folder(s, w, 0, Placement::kAfter, B_TITLE::kBoard, "E"), kFolderCreated);
    B_TITLE2 board = ReadB_TITLE2(s, 2).value();
    board.ADD_MAX = 3;
    ASSERT_TRUE(ReWriteB_TITLE2(s, w, board));
    dir_.write("cgi/CGI1", "how to\n");
    Posting post;
    post.record = {2, 0, 0, 0, 0, 0, "2024/05/01 09:30", "hana", "Hello", 1, 0, 1};
    post.body = "Hi\r";
    post.slots.push_back({1, UploadName{"guide.txt", "CGI1"}, false});
    const AttachmentPlace place{places().attachment_dir, places().program_dir};
    long number = 0;
    ASSERT_EQ(post_message(s, w, post, place, true, &number), PostResult::kStored);
    post.record = {2, 1, 0, 0, 0, 0, "2024/05/01 10:00", "taro", "Re", 0, 0, 1};
    post.slots.clear();
    ASSERT_EQ(post_message(s, w, post, place, false, &number), PostResult::kStored);
    ASSERT_TRUE(WriteREAD_POINT(s, w, 2, {1, "taro"}));
    for (const char* line : {"hana,Hana,1,,pw,0,1,1,1,,,0,", "taro,Taro,100,,pw,0,1,1,1,,,0,"}) {
      ASSERT_TRUE(InsertMST_USER(s, w, parse_user_line(line).value()));
    }
    ASSERT_TRUE(ReWriteMST_GROUP(s, w, {1, "G"}));
    ASSERT_TRUE(WriteGROUP_USER(s, w, {1, "hana"}));
    (void)WriteB_G_ACL(s, w, {2, 1, 1});
    (void)WriteB_U_ACL(s, w, {2, "taro", 2});
    ASSERT_TRUE(WriteMST_SKEY(s, w, {5, "hana", "", ""}, {"192.0.2.1", "Agent"}));
    ASSERT_TRUE(WriteGUEST_USER(s, w, {"jiro", "Jiro", "", "", "2024/05/01 11:00", "", "", "", 0}));
    dir_.write("data/3/chat.idx", std::string(72, '\0'));
    dir_.write("data/3/chat.dat", std::string(884, '\0'));
  }
  void plant(const std::string& how, const std::string& file, const std::string& contents) {
    if (how == "mkdir") fs::create_directories(dir_.file(file));
    if (how == "remove") fs::remove_all(dir_.file(file));
    if (how == "append")
      std::ofstream(dir_.file(file), std::ios::binary | std::ios::app) << contents;
    if (how == "write" || how == "old") dir_.write(file, contents);
    if (how == "patch") {
      std::fstream f(dir_.file(file), std::ios::binary | std::ios::in | std::ios::out);
      f.seekp((static_cast<unsigned char>(contents[2]) << 8) |
              static_cast<unsigned char>(contents[3]));
      f << contents.substr(4);
    }
    if (how == "old") {
      const timeval two_hours_ago{std::time(nullptr) - 7200, 0};
      const timeval times[2] = {two_hours_ago, two_hours_ago};
      ASSERT_EQ(::utimes(dir_.file(file).c_str(), times), 0);
    }
  }

  testing::TempDir dir_;
};

// Every file and directory under `root`, with a hash of its contents.
std::map<std::string, std::size_t> snapshot(const std::string& root) {
  std::map<std::string, std::size_t> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::ifstream in(e.path(), std::ios::binary);
    files[e.path().string()] = std::hash<std::string>{}(
        e.is_directory() ? "dir" : std::string(std::istreambuf_iterator<char>(in), {}));
  }
  return files;
}

TEST_F(SiteCheckTest, EachPlantedFaultIsReportedWithItsFileAndRecordAndNothingChanges) {
  const std::vector<testing::Case> cases = testing::load_cases("site_check.cases");
  ASSERT_GE(cases.size(), 55u);
  for (const testing::Case& c : cases) {
    SCOPED_TRACE("site_check.cases:" + std::to_string(c.line));
    ASSERT_EQ(c.fields.size(), 4u);
    for (const char* d : {"data", "pics", "cgi"}) fs::remove_all(dir_.file(d));
    SetUp();
    lay_out();
    if (c.section == "summaries") {
      DataLock lock = DataLock::acquire(places().data_dir, LockMode::kExclusive);
      Store s(places().data_dir);
      keep_mark_summaries(s, lock.write_token());
      ASSERT_TRUE(dir_.exists("data/2/marks.idx"));
    }
    ASSERT_EQ(check(), "") << "the site before the fault";
    plant(c.fields[0], c.fields[1], c.fields[2]);
    const auto before = snapshot(dir_.file("."));
    EXPECT_EQ(check(), c.fields[3]);
    EXPECT_EQ(snapshot(dir_.file(".")), before) << "the check changed the site";
  }
}

TEST_F(SiteCheckTest, TheDemoSiteIsClean) {
  Store s(places().data_dir);
  {
    DataLock lock = DataLock::acquire(places().data_dir, LockMode::kExclusive);
    ASSERT_EQ(seed_demo_tree(s, lock.write_token()), "");
    DemoContent content;
    content.ADD_FILE_PATH = places().attachment_dir;
    content.upload_dir = places().program_dir;
    content.log = true;
    ASSERT_EQ(seed_demo_content(s, lock.write_token(), content), "");
  }
  EXPECT_EQ(check(), "");  // it takes the shared lock the seeding held
  // The content is there: threads on three boards and a club board, the
  // deleted parent kept, the attachment in its slot, the application.
  EXPECT_EQ(folder_tree(s)->size(), 8u);
  EXPECT_EQ(CountINDEX_DATA(s, 4), 3u);
  EXPECT_EQ(ReadINDEX_DATA(s, 4, 1, IndexKey::kSelNo).value().DEL_FLG, 1);
  EXPECT_TRUE(dir_.exists("pics/5/x1/1/guide.txt"));
  EXPECT_FALSE(dir_.exists("cgi/CGIdemo"));
  EXPECT_EQ(ReadGUEST_USERall(s).size(), 1u);
  EXPECT_TRUE(ReadCHAT_DATA(s, 6, 2).has_value());  // three lines in the Lobby
  EXPECT_FALSE(ReadCHAT_DATA(s, 6, 3).has_value());
}

}  // namespace
}  // namespace plazet
