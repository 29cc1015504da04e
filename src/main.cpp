// plazet.cgi: started by the web server once per HTTP request.
#include <unistd.h>

#include <exception>
#include <string>

#include "boards/mark_summary.h"
#include "jobs.h"
#include "store/file_io.h"

int main(int argc, char** argv) {
  const std::string program = argc > 0 && argv[0] ? argv[0] : "plazet.cgi";
  std::string response;
  try {
    response = plazet::serve_request(program, plazet::CgiEnv::from_environment(), STDIN_FILENO, ".",
                                     plazet::job_table(), plazet::keep_mark_summaries);
  } catch (const std::exception&) {
    // Nothing of a page that failed half-way reaches the browser.
    response = "Status: 500 Internal Server Error\nContent-type: text/plain\n\n";
  }
  (void)plazet::write_all(STDOUT_FILENO, response);
  return 0;
}
