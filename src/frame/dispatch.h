// The job runner: one static table (src/jobs.cpp) maps each JOB value to its
// handler, the lock it needs, who may run it and, for jobs that store data,
// what follows each result.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

using PageHandler = void (*)(Request&);
// A page that also writes (the message page writes the reader's mark).
using WritingPage = void (*)(Request&, const WriteToken&);
using WriteHandler = int (*)(Request&, const WriteToken&);

// What follows a write handler's result `code`: the page of the job `next`
// (run with that job's own need and refusal), or, when `next` is empty, the
// error page with texts `error_title` and `error_text`.
struct Outcome {
  int code;
  std::string_view next;
  int error_title;
  int error_text;
};

// Who may run a job. The board needs are rights on the folder FOLDER_NO
// (read 1, write 2, manage 3); the runner computes that right once, into
// Request::right, before the handler runs.
enum class Need {
  kNone,  // no log-in at all
  kLogin,
  kPersonal,  // a personal account (MODE 1)
  kAdmin,
  kBoardRead,
  kBoardWrite,
  kBoardManage,
  kPersonalBoardWrite,  // both of the above
};

enum class Handler { kNone, kPage, kWritingPage, kWrite };

struct JobRow {
  std::string_view job;
  LockMode lock = LockMode::kShared;
  Need need = Need::kLogin;
  Handler kind = Handler::kNone;
  // A page job runs `page` (or `writing_page`). A storing job runs `write`,
  // then the page its result names in `outcomes`, or the page of the job
  // `then` whatever the result.
  PageHandler page = nullptr;
  WritingPage writing_page = nullptr;
  WriteHandler write = nullptr;
  std::span<const Outcome> outcomes = {};
  std::string_view then = {};
  // When the need is not met, a page job prints `refused` instead (nothing
  // when it is null), and a storing job goes on as if it had returned
  // `refused_code`, without running.
  PageHandler refused = nullptr;
  int refused_code = 0;
  // Settings are read again before `then` (the settings page saved them).
  bool reload_settings = false;
  // The job prints nothing unless this holds (a setting turns it off).
  bool (*enabled)(const Request&) = nullptr;
};

// The rows are made by these, so that a handler that writes always comes
// with the exclusive lock and one that only reads with the shared lock.
[[nodiscard]] constexpr JobRow page_job(std::string_view job, Need need, PageHandler page,
                                        PageHandler refused = nullptr) {
  return {.job = job, .need = need, .kind = Handler::kPage, .page = page, .refused = refused};
}
[[nodiscard]] constexpr JobRow writing_page_job(std::string_view job, Need need, WritingPage page,
                                                PageHandler refused = nullptr) {
  return {.job = job,
          .lock = LockMode::kExclusive,
          .need = need,
          .kind = Handler::kWritingPage,
          .writing_page = page,
          .refused = refused};
}
[[nodiscard]] constexpr JobRow storing_job(std::string_view job, Need need, WriteHandler write,
                                           std::span<const Outcome> outcomes, std::string_view then,
                                           int refused_code) {
  return {.job = job,
          .lock = LockMode::kExclusive,
          .need = need,
          .kind = Handler::kWrite,
          .write = write,
          .outcomes = outcomes,
          .then = then,
          .refused_code = refused_code};
}
// The row, printing nothing unless `enabled` holds (a setting turns it off).
[[nodiscard]] constexpr JobRow enabled_when(JobRow row, bool (*enabled)(const Request&)) {
  row.enabled = enabled;
  return row;
}
// The row, reading the settings again before its follow-up page.
[[nodiscard]] constexpr JobRow reloading_settings(JobRow row) {
  row.reload_settings = true;
  return row;
}

// A handler that writes only ever runs under the exclusive lock: the runner
// hands out the write proof for these rows alone.
[[nodiscard]] constexpr bool writers_lock_exclusively(std::span<const JobRow> table) {
  for (const JobRow& row : table) {
    const bool writes = row.kind == Handler::kWritingPage || row.kind == Handler::kWrite;
    if (writes && row.lock != LockMode::kExclusive) return false;
  }
  return true;
}

// The logged-in user's right on a folder (0 without a user): for pages that
// list folders; a job's own folder is checked by the runner.
[[nodiscard]] int right_on(Request& req, long folder_no);

// The row for `job` in `table`, or nullptr: an unknown job prints nothing.
[[nodiscard]] const JobRow* find_job(std::span<const JobRow> table, std::string_view job);

// Run at the end of every request that held the exclusive lock, before the
// lock is released (the program keeps its boards' read-mark summaries).
using AfterWrites = void (*)(Store&, const WriteToken&);

// Serves one request: `program_path` is the program's path as the web server
// started it, `body_fd` the request body, `jobs` the job table. Returns the
// whole response.
[[nodiscard]] std::string serve_request(const std::string& program_path, const CgiEnv& env,
                                        int body_fd, const std::string& upload_dir,
                                        std::span<const JobRow> jobs,
                                        AfterWrites after_writes = nullptr);

}  // namespace plazet
