// Times a CGI program answering one GET request, run after run: wall time
// per run (median, mean) and CPU time of the process (user + system, mean),
// read from the children's resource usage.
//
//   cgi_timer RUNS PROGRAM QUERY_STRING [USER_AGENT]
//
// The program runs in the current directory with standard output to
// /dev/null; a run that does not exit 0 stops the measurement.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct Run {
  double wall_ms;
  double cpu_ms;
};

double ms(const timeval& t) {
  return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

Run run_once(const char* program, const std::string& query, const std::string& agent) {
  timespec t0{}, t1{};
  clock_gettime(CLOCK_MONOTONIC, &t0);
  pid_t pid = fork();
  if (pid < 0) {
    perror("fork");
    exit(2);
  }
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    std::string q = "QUERY_STRING=" + query, a = "HTTP_USER_AGENT=" + agent;
    char* env[] = {const_cast<char*>("REQUEST_METHOD=GET"), q.data(), a.data(),
                   const_cast<char*>("REMOTE_ADDR=127.0.0.1"), nullptr};
    char* argv[] = {const_cast<char*>(program), nullptr};
    execve(program, argv, env);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  clock_gettime(CLOCK_MONOTONIC, &t1);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s: exit status %d\n", program, status);
    exit(2);
  }
  return {(t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6,
          ms(usage.ru_utime) + ms(usage.ru_stime)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: cgi_timer RUNS PROGRAM QUERY_STRING [USER_AGENT]\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  const std::string agent = argc > 4 ? argv[4] : "bench";
  std::vector<double> wall, cpu;
  run_once(argv[2], argv[3], agent);  // warm the page cache
  for (int i = 0; i < runs; ++i) {
    Run r = run_once(argv[2], argv[3], agent);
    wall.push_back(r.wall_ms);
    cpu.push_back(r.cpu_ms);
  }
  std::sort(wall.begin(), wall.end());
  double median = runs % 2 ? wall[runs / 2] : (wall[runs / 2 - 1] + wall[runs / 2]) / 2;
  printf("%8.2f ms wall (median)  %8.2f ms wall (mean)  %8.2f ms cpu (mean)\n", median,
         std::accumulate(wall.begin(), wall.end(), 0.0) / runs,
         std::accumulate(cpu.begin(), cpu.end(), 0.0) / runs);
  return 0;
}
