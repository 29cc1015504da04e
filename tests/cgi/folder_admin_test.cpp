// The folder pages: the folder list, where new and moved folders go,
// deleting a subtree with everything it owns, the tree file's download and
// upload, and what others are refused.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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
    site.write_file(site.data_dir() + "user.mst",
                    "boss,Boss,100,,pw,0,1,1,1,,,0,\ntaro,Taro,1,,pw,0,1,1,1,,,0,\n");
    tree(kTree);
  }
  void tree(const std::string& text) const {
    site.write_file(site.data_dir() + "b_title.mst", text);
  }
  [[nodiscard]] std::string tree() const {
    return CgiSite::read_file(site.data_dir() + "b_title.mst");
  }
  std::string post(const std::string& user, const std::string& fields, Multipart form = {}) {
    form.text("SKEY", site.key(user));
    return site.post(fields.empty() ? form : form.texts(fields));
  }
  CgiSite site;
};

std::string error_page(int title, int message) {
  std::string page = golden("error.html");
  page.replace(page.find(text(278)), text(278).size(), text(title));
  page.replace(page.find(text(295)), text(295).size(), text(message));
  return page;
}

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
  struct Case {
    const char* name;
    const char* fields;
    std::string tree;  // afterwards; "" = unchanged, with the page `error`
    std::string error;
  };
  const Case cases[] = {
      {"after A and its subtree", "DISPNO=1&CLASS=1&MODE=2&NAME=N",
       "A,1,Dir,\n A1,2,Board,\nN,4,Board,\nB,3,Dir,\n", ""},
      {"inside A, first", "DISPNO=1&CLASS=2&MODE=3&NAME=N",
       "A,1,Dir,\n N,4,Chat,\n A1,2,Board,\nB,3,Dir,\n", ""},
      {"no folder chosen: the end", "DISPNO=0&CLASS=2&MODE=1&NAME=N",
       "A,1,Dir,\n A1,2,Board,\nB,3,Dir,\nN,4,Dir,\n", ""},
      {"after A1, at its depth", "DISPNO=2&CLASS=1&MODE=2&NAME=N",
       "A,1,Dir,\n A1,2,Board,\n N,4,Board,\nB,3,Dir,\n", ""},
      {"inside a board", "DISPNO=2&CLASS=2&MODE=2&NAME=N", "", "error:193:207"},
      {"empty name", "DISPNO=0&CLASS=1&MODE=2&NAME=", "", "error:193:206"},
      {"name with a comma", "DISPNO=0&CLASS=1&MODE=2&NAME=a,b", "", "error:193:382"},
      {"name with leading blanks", "DISPNO=0&CLASS=1&MODE=2&NAME= a", "", "error:193:382"},
      {"unknown kind", "DISPNO=0&CLASS=1&MODE=4&NAME=N", "", "error:193:383"},
      {"no kind", "DISPNO=0&CLASS=1&NAME=N", "", "error:193:383"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FolderSite f;
    const std::string page = f.post("boss", std::string("JOB=NEWFOLDERWR&") + c.fields);
    if (c.tree.empty()) {
      const std::string e = c.error;
      const std::size_t colon = e.find(':', 6);
      EXPECT_EQ(page,
                error_page(std::stoi(e.substr(6, colon - 6)), std::stoi(e.substr(colon + 1))));
      EXPECT_EQ(f.tree(), kTree);
      EXPECT_FALSE(CgiSite::exists(f.site.data_dir() + "b_title2.mst") &&
                   !CgiSite::read_file(f.site.data_dir() + "b_title2.mst").empty());
      continue;
    }
    EXPECT_TRUE(is_folder_list(page));
    EXPECT_EQ(f.tree(), c.tree);
    const std::string records = CgiSite::read_file(f.site.data_dir() + "b_title2.mst");
    ASSERT_EQ(records.size(), 8800u);
    B_TITLE2 r = BTitle2Codec::decode(reinterpret_cast<const unsigned char*>(records.data()));
    EXPECT_EQ(r.FOLDER_NO, 4);
    EXPECT_EQ(r.READ_CHK, 1);
    EXPECT_EQ(r.REWRITE_FLG, 1);
    EXPECT_EQ(r.READ_LEVEL + r.WRITE_LEVEL + r.ADD_MAX, 0);
  }
}

TEST(MoveFolderTest, SubtreesMoveWholeOrNotAtAll) {
  constexpr const char* kDeep = "A,1,Dir,\n A1,2,Dir,\n  A2,3,Board,\nB,4,Board,\n";
  struct Case {
    const char* name;
    const char* before;
    const char* fields;
    std::string after;  // "" = unchanged with the error
    int error;
  };
  const Case cases[] = {
      {"A1 after B", kTree, "SRC_DISPNO=2&DISPNO=3&CLASS=1", "A,1,Dir,\nB,3,Dir,\nA1,2,Board,\n",
       0},
      {"A1 into B", kTree, "SRC_DISPNO=2&DISPNO=3&CLASS=2", "A,1,Dir,\nB,3,Dir,\n A1,2,Board,\n",
       0},
      {"B to the top", kTree, "SRC_DISPNO=3&DISPNO=0&CLASS=2", "B,3,Dir,\nA,1,Dir,\n A1,2,Board,\n",
       0},
      {"A with its subtree after B", kTree, "SRC_DISPNO=1&DISPNO=3&CLASS=1",
       "B,3,Dir,\nA,1,Dir,\n A1,2,Board,\n", 0},
      {"A into B keeps A1 one deeper", kTree, "SRC_DISPNO=1&DISPNO=3&CLASS=2",
       "B,3,Dir,\n A,1,Dir,\n  A1,2,Board,\n", 0},
      {"A1 of the deep tree to the top", kDeep, "SRC_DISPNO=2&DISPNO=0",
       "A1,2,Dir,\n A2,3,Board,\nA,1,Dir,\nB,4,Board,\n", 0},
      {"B where it already is", kTree, "SRC_DISPNO=3&DISPNO=1&CLASS=1", "", 242},
      {"A into its own A1", kDeep, "SRC_DISPNO=1&DISPNO=2&CLASS=2", "", 242},
      {"A after its last folder A2", kDeep, "SRC_DISPNO=1&DISPNO=3&CLASS=1", "", 242},
      {"A into itself", kTree, "SRC_DISPNO=1&DISPNO=1&CLASS=2", "", 242},
      {"into a board", kDeep, "SRC_DISPNO=1&DISPNO=4&CLASS=2", "", 207},
      {"no such folder", kTree, "SRC_DISPNO=9&DISPNO=1&CLASS=1", "", 207},
      {"no such target", kTree, "SRC_DISPNO=1&DISPNO=9&CLASS=1", "", 207},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FolderSite f;
    f.tree(c.before);
    const std::string page = f.post("boss", std::string("JOB=BORDMOVEWR&") + c.fields);
    if (c.after.empty()) {
      EXPECT_EQ(page, error_page(239, c.error));
      EXPECT_EQ(f.tree(), c.before);
    } else {
      EXPECT_TRUE(is_folder_list(page));
      EXPECT_EQ(f.tree(), c.after);
    }
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
    for (int folder : {1, 2, 3}) {
      fs::create_directories(dir + std::to_string(folder) + "/x1/1");
      CgiSite::write_file(dir + std::to_string(folder) + "/x1.dat", "body");
    }
  }
  EXPECT_TRUE(is_folder_list(f.post("boss", "JOB=DELFOLDERWR&DISPNO=1")));
  EXPECT_EQ(f.tree(), "B,3,Dir,\n");
  std::string rights;
  f.site.with_store([&](Store& s, const WriteToken&) {
    for (int folder : {1, 2, 3}) {
      const bool settings = ReadB_TITLE2(s, folder).has_value();
      rights += std::to_string(folder) + ":" + std::to_string(settings) +
                std::to_string(group_entries(s, folder).size()) +
                std::to_string(user_entries(s, folder).size()) + " ";
    }
  });
  EXPECT_EQ(rights, "1:000 2:000 3:111 ");
  for (const std::string& dir : {f.site.data_dir(), f.site.pic_dir()}) {
    for (int folder : {1, 2}) {
      EXPECT_TRUE(fs::is_directory(dir + std::to_string(folder)));
      EXPECT_TRUE(fs::is_empty(dir + std::to_string(folder)));
    }
    EXPECT_TRUE(CgiSite::exists(dir + "3/x1.dat"));
  }
  // B was the highest: the next folder gets its number back, without its rights.
  EXPECT_TRUE(is_folder_list(f.post("boss", "JOB=DELFOLDERWR&DISPNO=1")));
  EXPECT_EQ(f.tree(), "");
  (void)f.post("boss", "JOB=NEWFOLDERWR&DISPNO=0&CLASS=1&MODE=2&NAME=New");
  EXPECT_EQ(f.tree(), "New,1,Board,\n");
  (void)f.post("boss", "JOB=NEWFOLDERWR&DISPNO=1&CLASS=1&MODE=2&NAME=Next");
  (void)f.post("boss", "JOB=NEWFOLDERWR&DISPNO=2&CLASS=1&MODE=2&NAME=Third");
  EXPECT_EQ(f.tree(), "New,1,Board,\nNext,2,Board,\nThird,3,Board,\n");
  // taro was manager of the old folder 3; of the new one he is not.
  EXPECT_FALSE(has(f.site.as("taro", "JOB=BORDCONFIG&FOLDER_NO=3"), "BORDCONFIGWR"));
  f.site.with_store([](Store& s, const WriteToken&) {
    EXPECT_TRUE(group_entries(s, 3).empty());
    EXPECT_TRUE(user_entries(s, 3).empty());
  });
  // A display number with no line deletes nothing.
  EXPECT_TRUE(is_folder_list(f.post("boss", "JOB=DELFOLDERWR&DISPNO=7")));
  EXPECT_EQ(f.tree(), "New,1,Board,\nNext,2,Board,\nThird,3,Board,\n");
}

TEST(TreeFileTest, TheDownloadIsTheFileAndOnlyAGoodTreeIsTakenBack) {
  FolderSite f;
  EXPECT_EQ(f.site.as("boss", "JOB=FOLDER_DOWNLOAD"),
            std::string("Content-Type: application/octet-stream\n"
                        "Content-Disposition: attachment; filename=b_title.mst\n\n") +
                kTree);
  struct Case {
    const char* name;
    const char* file_name;
    std::string contents;
    bool taken;
  };
  const Case cases[] = {
      {"a good tree", "C:\\edit\\b_title.mst", "X,7,Board,\n Y,8,Chat,\nZ,9,Dir,\n", true},
      {"an empty tree", "b_title.mst", "", true},
      {"another file name", "user.mst", "X,7,Board,\n", false},
      {"a line without its columns", "b_title.mst", "X,7,Board,\nnothing here\n", false},
      {"an unknown kind", "b_title.mst", "X,7,Room,\n", false},
      {"a number twice", "b_title.mst", "X,7,Dir,\n Y,7,Board,\n", false},
      {"a line two levels deeper", "b_title.mst", "X,7,Dir,\n  Y,8,Board,\n", false},
      {"a first line that is indented", "b_title.mst", " X,7,Board,\n", false},
      {"a number below 1", "b_title.mst", "X,0,Board,\n", false},
      {"text after the kind", "b_title.mst", "X,7,Board,more\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.tree(kTree);
    const std::string page =
        f.post("boss", "JOB=FOLDER_UPLOAD", Multipart().file("FILE1", c.file_name, c.contents));
    EXPECT_EQ(f.tree(), c.taken ? c.contents : kTree);
    if (c.taken) {
      EXPECT_TRUE(is_folder_list(page));
    } else {
      EXPECT_EQ(page, error_page(184, 384));
    }
    EXPECT_FALSE(CgiSite::exists(f.site.data_dir() + "user.mst.new"));
    EXPECT_TRUE(has(CgiSite::read_file(f.site.data_dir() + "user.mst"), "boss,"));
  }
}

TEST(FolderRefusalTest, OthersChangeNothing) {
  FolderSite f;
  const std::string refusal = golden("admin_refusal.html");
  struct Case {
    const char* name;
    const char* fields;
    std::string page;
  };
  const Case cases[] = {
      {"list", "JOB=FOLDERLIST", refusal},
      {"new folder form", "JOB=NEWFOLDER", refusal},
      {"delete form", "JOB=DELFOLDER", refusal},
      {"move form", "JOB=BORDMOVE&DISPNO=1", refusal},
      {"new folder", "JOB=NEWFOLDERWR&DISPNO=0&CLASS=1&MODE=2&NAME=N", error_page(193, 3)},
      {"deletion", "JOB=DELFOLDERWR&DISPNO=1", refusal},
      {"move", "JOB=BORDMOVEWR&SRC_DISPNO=3&DISPNO=0", error_page(239, 3)},
      {"download", "JOB=FOLDER_DOWNLOAD", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string page =
        f.post("taro", c.fields, Multipart().file("FILE1", "b_title.mst", "X,9,Board,\n"));
    EXPECT_EQ(page, c.page);
    EXPECT_EQ(f.tree(), kTree);
    EXPECT_FALSE(CgiSite::exists(f.site.data_dir() + "b_title2.mst") &&
                 !CgiSite::read_file(f.site.data_dir() + "b_title2.mst").empty());
  }
  const std::string upload =
      f.post("taro", "JOB=FOLDER_UPLOAD", Multipart().file("FILE1", "b_title.mst", "X,9,Board,\n"));
  EXPECT_EQ(upload, refusal);
  EXPECT_EQ(f.tree(), kTree);
}

// A move killed at any system call that changes a file leaves the old tree
// or the new one, never a missing or partial file.
TEST(MoveFolderTest, AKilledMoveLeavesTheOldTreeOrTheNew) {
  constexpr const char* kStrace = "/usr/bin/strace";
  if (::access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  FolderSite f;
  const std::string moved = "A,1,Dir,\nB,3,Dir,\n A1,2,Board,\n";
  Multipart form;
  form.texts("SKEY=" + f.site.key("boss") + "&JOB=BORDMOVEWR&SRC_DISPNO=2&DISPNO=3&CLASS=2");
  const Env env = {
      {"CONTENT_TYPE", std::string("multipart/form-data; boundary=") + Multipart::kBoundary},
      {"ASAN_OPTIONS", "detect_leaks=0"}};
  int kills = 0;
  for (const char* call : {"openat", "write", "rename", "fsync", "unlink"}) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(call) + " #" + std::to_string(n));
      f.tree(kTree);
      std::string page;
      const int status = f.site.run_wrapped(
          {kStrace, "-f", "-qq", "-o", "/dev/null", "-e", std::string("trace=") + call, "-e",
           std::string("inject=") + call + ":signal=KILL:when=" + std::to_string(n)},
          env, form.done(), page);
      const std::string tree = f.tree();
      EXPECT_TRUE(tree == kTree || tree == moved) << tree;
      if (WIFEXITED(status)) {
        EXPECT_EQ(tree, moved);
        break;
      }
      ++kills;
    }
  }
  EXPECT_GT(kills, 3);
}

}  // namespace
}  // namespace plazet::testing
