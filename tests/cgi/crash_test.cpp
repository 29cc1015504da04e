// Every job that writes, killed at each system call that changes a file
// (strace's fault injection): afterwards every data file still parses, the
// next requests work, each message shows its own body or is absent, the
// folder tree is the old or the new one, and what was stored before the job
// is intact.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cgi_site.h"

namespace plazet::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStrace = "/usr/bin/strace";
constexpr const char* kChanging[] = {"openat", "write", "pwrite64", "rename",
                                     "unlink", "fsync", "mkdir",    "link"};

// Record sizes of the binary files, by name.
std::size_t record_size(const std::string& name) {
  static const std::map<std::string, std::size_t> sizes = {
      {"index.dat", 160},     {"add_file.dat", 260}, {"skey.mst", 532},
      {"b_title2.mst", 8800}, {"chat.dat", 884},     {"chat.idx", 72}};
  if (name.size() > 5 && name[0] == 'r' && name.ends_with(".dat")) return 32;
  return sizes.count(name) ? sizes.at(name) : 0;
}

struct Job {
  const char* name;
  std::string body;
  // Bodies the job may leave for a message number besides the baseline's.
  std::map<int, std::string> new_bodies = {};
  Env env = multipart_env();
  std::string tree = "";  // the folder tree the job leaves when it ends; "" the old one
};

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    site_.add_user("taro");
    site_.add_user("hana");
    site_.add_user("boss", 100);
    site_.setting("LOG_DATE", "365");
    ASSERT_EQ(site_.new_board("B", [](B_TITLE2& s) { s.ADD_MAX = 2, s.REWRITE_FLG = 2; }), 1);
    ASSERT_EQ(site_.new_board("Lobby", {}, B_TITLE::kChat), 2);
    ASSERT_EQ(tree(), "B,1,Board,\nLobby,2,Chat,\n");
    post("taro", 0, "first");
    post("hana", 1, "second");
    post("taro", 0, "third");
    (void)site_.key("boss");
    ASSERT_EQ(site_.index(1).size(), 3u);
    fs::create_directories(saved_);
    fs::copy(site_.data_dir(), saved_ + "/data", fs::copy_options::recursive);
    fs::copy(site_.pic_dir(), saved_ + "/pic", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(saved_); }

  std::string tree() const { return CgiSite::read_file(site_.data_dir() + "b_title.mst"); }
  Multipart posting(const std::string& user, const std::string& fjob, int sel_no,
                    const std::string& title) {
    return Multipart()
        .texts("SKEY=" + site_.key(user) + "&JOB=BORDWRITEWR&FJOB=" + fjob +
               "&FOLDER_NO=1&SEL_NO=" + std::to_string(sel_no))
        .text("WRITE_TITLE", title)
        .text("WRITE_DATA", "body of " + title);
  }
  void post(const std::string& user, int parent, const std::string& title) {
    (void)site_.post(posting(user, "BORDWRITE", parent, title));
  }
  void restore() const {
    for (const auto& [from, to] :
         {std::pair{saved_ + "/data", site_.data_dir()}, {saved_ + "/pic", site_.pic_dir()}}) {
      fs::remove_all(to);
      fs::copy(from, to, fs::copy_options::recursive);
    }
  }

  // The ordinals (1-based, per system call) of the calls that change a file.
  std::vector<std::pair<std::string, int>> kill_points(const Job& job) const {
    const std::string trace = saved_ + "/trace";
    std::string page,
        calls = "trace=close,pipe2";  // close and pipe2 tell which descriptors are files
    for (const char* c : kChanging) calls += std::string(",") + c;
    (void)site_.run_wrapped({kStrace, "-f", "-qq", "-o", trace, "-e", calls}, job.env, job.body,
                            page);
    std::map<std::string, int> seen;
    std::set<std::string> file_fds;  // descriptors open on a file for writing
    std::vector<std::pair<std::string, int>> points;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string pid, call;
      words >> pid >> call;
      call = call.substr(0, call.find('('));
      const std::string result = line.substr(line.rfind('=') + 1);
      const std::string fd = line.substr(line.find('(') + 1, line.find(',') - line.find('(') - 1);
      if (call == "close") file_fds.erase(fd.substr(0, fd.find(')')));
      if (call == "close" || call == "pipe2") continue;
      const int n = ++seen[call];
      if (call == "openat") {
        if (has(line, "O_WRONLY") || has(line, "O_RDWR"))
          file_fds.insert(std::to_string(std::atoi(result.c_str())));
        // Opening a file that is there already changes nothing.
        if (!has(line, "O_CREAT")) continue;
      }
      // The page, the error stream and the sanitizer's own pipes are no files.
      if ((call == "write" || call == "pwrite64") && !file_fds.count(fd)) continue;
      points.emplace_back(call, n);
    }
    return points;
  }

  // What must hold after the job died anywhere (or ran to its end).
  void check_site(const Job& job) {
    for (const auto& entry : fs::recursive_directory_iterator(site_.data_dir())) {
      if (!entry.is_regular_file()) continue;
      const std::string name = entry.path().filename();
      if (const std::size_t size = record_size(name)) {
        EXPECT_EQ(entry.file_size() % size, 0u) << entry.path();
      } else if (name.ends_with(".mst") || name == "system.log") {
        const std::string text = CgiSite::read_file(entry.path());
        EXPECT_TRUE(text.empty() || text.back() == '\n') << entry.path();
      }
    }
    EXPECT_TRUE(tree() == "B,1,Board,\nLobby,2,Chat,\n" || tree() == job.tree) << tree();
    std::set<int> present;
    for (const INDEX_DATA& r : site_.index(1)) {
      present.insert(r.SEL_NO);
      const std::string body =
          CgiSite::read_file(site_.board_file(1, "x" + std::to_string(r.SEL_NO) + ".dat"));
      const char* titles[] = {"", "first", "second", "third"};
      const bool old = r.SEL_NO <= 3 && body == std::string("body of ") + titles[r.SEL_NO];
      EXPECT_TRUE(old || (job.new_bodies.count(r.SEL_NO) && job.new_bodies.at(r.SEL_NO) == body))
          << "message " << r.SEL_NO << " shows \"" << body << "\"";
    }
    for (int n : {1, 2}) EXPECT_TRUE(present.count(n)) << "message " << n << " was lost";
    // The next requests work.
    for (const std::string& query :
         {std::string("JOB=ROOM&FOLDER_NO=1"),
          "JOB=DETAILS&FOLDER_NO=1&SEL_NO=" + std::to_string(*present.rbegin())}) {
      std::string page;
      const int status = site_.run_wrapped(
          {},
          {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "SKEY=" + site_.key("hana") + "&" + query}},
          "", page);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << query;
      EXPECT_TRUE(has(page, "</HTML>\n")) << query;
    }
  }

  CgiSite site_;
  std::string saved_ = site_.cgi_dir() + "/../saved";
};

TEST_F(CrashTest, EveryWriteSurvivesAKillAtEveryFileChange) {
  auto form = [&](const std::string& user, const std::string& fields) {
    return Multipart().texts("SKEY=" + site_.key(user) + "&" + fields).done();
  };
  const std::vector<Job> jobs = {
      {"log-in",
       "uid=hana&upw=pw&JOB=TOP",
       {},
       {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}}},
      {"new thread with an attachment",
       posting("taro", "BORDWRITE", 0, "new").file("FILE1", "a.txt", "attached").done(),
       {{4, "body of new"}}},
      {"reply", posting("taro", "BORDWRITE", 1, "answer").done(), {{4, "body of answer"}}},
      {"edit", posting("taro", "EDITMSG", 3, "third again").done(), {{3, "body of third again"}}},
      {"delete a leaf", form("taro", "JOB=DELMSG&FOLDER_NO=1&SEL_NO=3")},
      {"delete an answered message", form("taro", "JOB=DELMSG&FOLDER_NO=1&SEL_NO=1")},
      {"read a message",
       "",
       {},
       {{"REQUEST_METHOD", "GET"},
        {"QUERY_STRING", "SKEY=" + site_.key("taro") + "&JOB=DETAILS&FOLDER_NO=1&SEL_NO=2"}}},
      {"mark all read", form("taro", "JOB=BORDALLFLG&FOLDER_NO=1")},
      {"chat line", form("taro", "JOB=CHAT_DOWN&FOLDER_NO=2&USER_NAME=T&MTALK=hi")},
      {"move a folder",
       form("boss", "JOB=BORDMOVEWR&SRC_DISPNO=2&DISPNO=0"),
       {},
       multipart_env(),
       "Lobby,2,Chat,\nB,1,Board,\n"},
      {"log-off", form("taro", "JOB=LOGOFF")},
  };
  for (Job job : jobs) {
    job.env["ASAN_OPTIONS"] = "detect_leaks=0";  // the leak checker cannot run traced
    restore();
    const auto points = kill_points(job);
    EXPECT_FALSE(points.empty()) << job.name;
    EXPECT_TRUE(job.tree.empty() || tree() == job.tree) << job.name;  // the job ran to its end
    std::map<std::string, int> per_call;
    for (const auto& [call, n] : points) {
      SCOPED_TRACE(std::string(job.name) + ", killed at " + call + " #" + std::to_string(n));
      restore();
      std::string page;
      (void)site_.run_wrapped({kStrace, "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call, "-e",
                               "inject=" + call + ":signal=KILL:when=" + std::to_string(n)},
                              job.env, job.body, page);
      check_site(job);
      ++per_call[call];
    }
    std::string tried;
    for (const auto& [call, n] : per_call) tried += " " + call + " " + std::to_string(n);
    std::printf("  %-30s killed at%s\n", job.name, tried.c_str());
  }
}

// Writers and readers as separate processes, as a busy server runs them:
// every posting is kept under a number of its own, with its own body, and
// no reader ever gets a broken page.
TEST(ParallelTest, EightWritersAndFourReadersLoseNothing) {
  constexpr int kWriters = 8, kPosts = 100, kReaders = 4;
  CgiSite site;
  site.add_user("taro");
  ASSERT_EQ(site.new_board("B"), 1);
  const std::string key = site.key("taro");
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters + kReaders; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid > 0) {
      children.push_back(pid);
      continue;
    }
    int bad = 0;
    try {
      for (int k = 0; k < kPosts; ++k) {
        const std::string title = "w" + std::to_string(i) + "-" + std::to_string(k);
        // Leaks are looked for by every other test; here the time goes to the requests.
        Env env = {{"ASAN_OPTIONS", "detect_leaks=0"}};
        std::string page;
        if (i < kWriters) {
          env.merge(multipart_env());
          page = site.run(env, Multipart()
                                   .texts("SKEY=" + key + "&JOB=BORDWRITEWR&FOLDER_NO=1&SEL_NO=0")
                                   .text("WRITE_TITLE", title)
                                   .text("WRITE_DATA", "body of " + title)
                                   .done());
        } else {
          env["REQUEST_METHOD"] = "GET";
          env["QUERY_STRING"] = "SKEY=" + key + (k % 2 ? "&JOB=ROOM&FOLDER_NO=1" : "&JOB=FRM21");
          page = site.run(env);
        }
        bad += !has(page, "</HTML>\n");
      }
    } catch (...) {
      bad = 1;
    }
    ::_exit(bad ? 1 : 0);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<INDEX_DATA> index = site.index(1);
  EXPECT_EQ(index.size(), static_cast<std::size_t>(kWriters * kPosts));
  std::set<int> numbers;
  for (const INDEX_DATA& r : index) {
    numbers.insert(r.SEL_NO);
    EXPECT_EQ(CgiSite::read_file(site.board_file(1, "x" + std::to_string(r.SEL_NO) + ".dat")),
              "body of " + r.WRITE_TITLE);
  }
  EXPECT_EQ(numbers.size(), index.size());
}

}  // namespace
}  // namespace plazet::testing
