// The job dispatcher: one static table maps each JOB value to its handler,
// the lock it needs and, for jobs that store data, what follows each result.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

using PageHandler = void (*)(Request&);
using WriteHandler = int (*)(Request&);

// What follows a write handler's result `code`: the page `next`, or the
// error page with texts `error_title` and `error_text`.
struct Outcome {
  int code;
  PageHandler next;
  int error_title;
  int error_text;
};

struct JobRow {
  std::string_view job;
  LockMode lock;
  // A page job runs `page`. A storing job runs `write`, then the page its
  // result names in `outcomes`, or `then` whatever the result.
  PageHandler page = nullptr;
  WriteHandler write = nullptr;
  std::span<const Outcome> outcomes = {};
  PageHandler then = nullptr;
  // Settings are read again before `then` (the settings page saved them).
  bool reload_settings = false;
  // The job prints nothing unless this holds.
  bool (*allowed)(const Request&) = nullptr;
};

// The row for `job`, or nullptr: an unknown job prints nothing at all.
[[nodiscard]] const JobRow* find_job(std::string_view job);
[[nodiscard]] std::span<const JobRow> job_table();

// Serves one request: `program_path` is the program's path as the web server
// started it, `body_fd` the request body. Returns the whole response.
[[nodiscard]] std::string serve_request(const std::string& program_path, const CgiEnv& env,
                                        int body_fd, const std::string& upload_dir);

}  // namespace plazet
