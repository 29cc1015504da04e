// The data check of `plazetctl check`: reads every data file of a site and
// reports what does not parse or does not fit together, with the file and
// the record or line. It only reads: no file is created, changed or removed,
// so it is safe on a live site (it takes the shared data lock when the site
// has one) and repairing stays a separate, deliberate step.
//
// What it reports:
//   - a record file that is not a whole number of its records;
//   - a line of a text master with the wrong number of fields, or a field
//     that the file's readers cannot take (a kind word, a number, a time);
//   - a folder tree with impossible depths (a first line that is indented, a
//     line more than one step deeper than the one above, a folder inside a
//     Board or Chat) or a folder number used twice;
//   - a message number used twice in a board's index, settings of a folder
//     given twice or of a folder that does not exist;
//   - read marks, attachment records and attachment files of messages that
//     do not exist;
//   - a board's read-mark summary that claims to match the files (its stamp
//     is current) but counts other marks than the mark files hold;
//   - directories of folders that no longer exist that still hold files
//     (deleting a folder leaves its directories behind, empty);
//   - temporary files left behind by an interrupted rewrite, and uploads the
//     program should have swept (older than an hour).
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace plazet {

// Where a site keeps its files (absolute, each ending in "/").
struct SitePlaces {
  std::string data_dir;        // DATA_FILE_PATH
  std::string attachment_dir;  // ADD_FILE_PATH
  std::string program_dir;     // the program's working directory: upload temporaries
};

struct Finding {
  std::string file;     // full path
  std::string where;    // "record 3", "line 5", or "" for the whole file
  std::string problem;  // what is wrong, in a few words
};

// Every problem found, in the order the files are read. `now` decides which
// uploads are old enough to count as left behind.
[[nodiscard]] std::vector<Finding> check_site(const SitePlaces& places, std::time_t now);

// "FILE: WHERE: PROBLEM" (without WHERE when it is empty).
[[nodiscard]] std::string format_finding(const Finding& finding);

}  // namespace plazet
