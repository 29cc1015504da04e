// The folder pages: the folder list, where new and moved folders go,
// deleting a subtree with everything it owns, and the tree file's download
// and upload. What others are refused is in data/admin_refusals.txt, a move
// killed half-way in crash_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cgi_site.h"
#include "folders/acl_files.h"
#include "folders/folder_settings.h"

namespace plazet::testing {
namespace {

namespace fs = std::filesystem;

// A (Dir, 1), inside it A1 (Board, 2), then B (Dir, 3).
constexpr const char* kTree = "A,1,Dir,\n A1,2,Board,\nB,3,Dir,\n";

struct FolderSite {
  FolderSite() {
    site.users("boss,Boss,100,,pw,0,1,1,1,,,0,\ntaro,Taro,1,,pw,0,1,1,1,,,0,\n");
    tree(kTree);
  }
  void tree(const std::string& text) const {
    site.write_file(site.data_dir() + "b_title.mst", text);
  }
  [[nodiscard]] std::string tree() const {
    return CgiSite::read_file(site.data_dir() + "b_title.mst");
  }
  [[nodiscard]] std::string settings() const {
    return CgiSite::read_file(site.data_dir() + "b_title2.mst");
  }
  CgiSite site;
};

bool is_folder_list(const std::string& page) {
  return has(page, "<B>" + text(184) + "</B>") && has(page, "value=\"FOLDER_UPLOAD\"");
}

TEST(FolderListGoldenTest, TheTreeIsListedWithItsLinks) {
  FolderSite f;
  f.tree("A,1,Dir,\n A1,2,Board,\nB & C,3,Chat,\n");
  f.site.with_store([](Store& s, const WriteToken& w) {
    B_TITLE2 own;
    own.FOLDER_NO = 2;
    own.DIRPIC = "own.gif";
    (void)ReWriteB_TITLE2(s, w, own);
  });
  EXPECT_EQ(f.site.as("boss", "JOB=FOLDERLIST"), golden("folderlist.html", f.site.key("boss")));
}

TEST(NewFolderTest, PlacementDepthAndNumberFollowTheChosenFolder) {
  for (const std::vector<std::string>& c : table("new_folder.txt")) {
    SCOPED_TRACE(c[0]);
    FolderSite f;
    const std::string page = f.site.post_as("boss", "JOB=NEWFOLDERWR&" + c[1]);
    if (c[2].starts_with("error:")) {
      EXPECT_EQ(page, expected_page(c[2]));
      EXPECT_EQ(f.tree(), kTree);
      EXPECT_EQ(f.settings(), "");
      continue;
    }
    EXPECT_TRUE(is_folder_list(page));
    EXPECT_EQ(f.tree(), c[2]);
    const std::string records = f.settings();
    ASSERT_EQ(records.size(), 8800u);
    B_TITLE2 r = BTitle2Codec::decode(reinterpret_cast<const unsigned char*>(records.data()));
    EXPECT_EQ(std::vector<int>(
                  {r.FOLDER_NO, r.READ_CHK, r.REWRITE_FLG, r.READ_LEVEL, r.WRITE_LEVEL, r.ADD_MAX}),
              std::vector<int>({4, 1, 1, 0, 0, 0}));
  }
}

TEST(MoveFolderTest, SubtreesMoveWholeOrNotAtAll) {
  for (const std::vector<std::string>& c : table("move_folder.txt")) {
    SCOPED_TRACE(c[0]);
    FolderSite f;
    const std::string before =
        c[1] == "small" ? kTree : "A,1,Dir,\n A1,2,Dir,\n  A2,3,Board,\nB,4,Board,\n";
    f.tree(before);
    const std::string page = f.site.post_as("boss", "JOB=BORDMOVEWR&" + c[2]);
    const bool refused = c[3].starts_with("error:");
    EXPECT_EQ(refused ? page : f.tree(), refused ? expected_page(c[3]) : c[3]);
    EXPECT_TRUE(refused ? f.tree() == before : is_folder_list(page));
    EXPECT_FALSE(CgiSite::exists(f.site.data_dir() + "b_title.mst.tmp"));
  }
}

TEST(DeleteFolderTest, ASubtreeGoesWithItsRecordsRightsAndFiles) {
  FolderSite f;
  f.tree("");
  for (const char* name : {"A", "A1", "B"}) (void)f.site.new_board(name);
  f.tree(kTree);
  f.site.with_store([](Store& s, const WriteToken& w) {
    for (int folder : {1, 2, 3}) {
      (void)WriteB_G_ACL(s, w, B_G_ACL{folder, 5, 2});
      (void)WriteB_U_ACL(s, w, B_U_ACL{folder, "taro", 3});
    }
  });
  for (const std::string& dir : {f.site.data_dir(), f.site.pic_dir()}) {
    for (const std::string folder : {"1", "2", "3"}) {
      fs::create_directories(dir + folder + "/x1/1");
      CgiSite::write_file(dir + folder + "/x1.dat", "body");
    }
  }
  EXPECT_TRUE(is_folder_list(f.site.post_as("boss", "JOB=DELFOLDERWR&DISPNO=1")));
  EXPECT_EQ(f.tree(), "B,3,Dir,\n");
  std::string left;
  f.site.with_store([&](Store& s, const WriteToken&) {
    for (int folder : {1, 2, 3}) {
      left += std::to_string(ReadB_TITLE2(s, folder).has_value()) +
              std::to_string(group_entries(s, folder).size()) +
              std::to_string(user_entries(s, folder).size()) + " ";
    }
  });
  EXPECT_EQ(left, "000 000 111 ");
  for (const std::string& dir : {f.site.data_dir(), f.site.pic_dir()}) {
    EXPECT_TRUE(fs::is_empty(dir + "1") && fs::is_empty(dir + "2"));
    EXPECT_TRUE(CgiSite::exists(dir + "3/x1.dat"));
  }
  // B was the highest: the next folder gets its number back, without its rights.
  EXPECT_TRUE(is_folder_list(f.site.post_as("boss", "JOB=DELFOLDERWR&DISPNO=1")));
  EXPECT_EQ(f.tree(), "");
  for (const char* fields :
       {"DISPNO=0&CLASS=1&MODE=2&NAME=New", "DISPNO=1&CLASS=1&MODE=2&NAME=Next",
        "DISPNO=2&CLASS=1&MODE=2&NAME=Third"})
    (void)f.site.post_as("boss", std::string("JOB=NEWFOLDERWR&") + fields);
  EXPECT_EQ(f.tree(), "New,1,Board,\nNext,2,Board,\nThird,3,Board,\n");
  // taro was manager of the old folder 3; of the new one he is not.
  EXPECT_FALSE(has(f.site.as("taro", "JOB=BORDCONFIG&FOLDER_NO=3"), "BORDCONFIGWR"));
  f.site.with_store([](Store& s, const WriteToken&) { EXPECT_TRUE(group_entries(s, 3).empty()); });
  // A display number with no line deletes nothing.
  EXPECT_TRUE(is_folder_list(f.site.post_as("boss", "JOB=DELFOLDERWR&DISPNO=7")));
  EXPECT_EQ(f.tree(), "New,1,Board,\nNext,2,Board,\nThird,3,Board,\n");
}

TEST(TreeFileTest, TheDownloadIsTheFileAndOnlyAGoodTreeIsTakenBack) {
  FolderSite f;
  EXPECT_EQ(f.site.as("boss", "JOB=FOLDER_DOWNLOAD"),
            std::string("Content-Type: application/octet-stream\n"
                        "Content-Disposition: attachment; filename=b_title.mst\n\n") +
                kTree);
  const std::string users = CgiSite::read_file(f.site.data_dir() + "user.mst");
  for (const std::vector<std::string>& c : table("tree_upload.txt")) {
    SCOPED_TRACE(c[0]);
    f.tree(kTree);
    const std::string page =
        f.site.post_as("boss", "JOB=FOLDER_UPLOAD", Multipart().file("FILE1", c[1], c[2]));
    const bool taken = c[3] == "yes";
    EXPECT_EQ(f.tree(), taken ? c[2] : kTree);
    EXPECT_TRUE(taken ? is_folder_list(page) : page == error_page(184, 384));
    EXPECT_EQ(CgiSite::read_file(f.site.data_dir() + "user.mst"), users);
    EXPECT_FALSE(CgiSite::exists(f.site.data_dir() + "user.mst.new"));
  }
}

// A file that cannot be written (it, or the work file of its rewrite, is a
// directory) gives the error page, and the site stays as it was.
TEST(UnwritableFileTest, TheErrorPageSaysSoAndNothingChanges) {
  struct Row {
    const char* name;
    const char* blocked;
    const char* fields;
    int title, message;
  };
  const Row rows[] = {
      {"new folder", "b_title.mst.TMP", "JOB=NEWFOLDERWR&DISPNO=0&CLASS=1&MODE=2&NAME=N", 193, 385},
      {"move", "b_title.mst.tmp", "JOB=BORDMOVEWR&SRC_DISPNO=3&DISPNO=0&CLASS=1", 239, 385},
      {"delete", "b_title.mst.tmp", "JOB=DELFOLDERWR&DISPNO=3", 186, 385},
      {"folder settings", "b_title2.mst", "JOB=BORDCONFIGWR&FOLDER_NO=2&NAME=New name", 190, 386},
      {"ID application", "g_user.dat", "JOB=IDSINSEIWR&USER_ID=newbie&USER_NAME=N", 311, 386},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FolderSite f;
    (void)f.site.key("boss");
    fs::create_directory(f.site.data_dir() + r.blocked);
    const std::string before = f.site.snapshot();
    EXPECT_EQ(f.site.post_as("boss", r.fields), error_page(r.title, r.message));
    EXPECT_EQ(f.site.snapshot(), before);
  }
}

}  // namespace
}  // namespace plazet::testing
