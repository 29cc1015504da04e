// Generated sites for benchmarks: many boards full of messages, written
// straight through the store (no per-file sync), for measuring pages on
// data of a realistic size. And the demo site: its tree and the content a
// first visitor finds in it.
#pragma once

#include <string>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct BulkSeed {
  int boards = 200;     // spread over Dirs of 10 boards each
  int messages = 1000;  // per board; every fourth a reply
  std::string writer = "admin";
};

// Adds the boards and messages to the site's tree; returns an error text or "".
[[nodiscard]] std::string seed_bulk(Store& store, const WriteToken& w, const BulkSeed& seed);

// Lays out a small demo tree in an empty site:
//   Office (Dir) > News (Board), Projects (Dir) > Plans (Board);
//   General (Board); Lobby (Chat). Boards take three attachments a
// message. Returns an error text or "".
[[nodiscard]] std::string seed_demo_tree(Store& store, const WriteToken& w);

// Who and where the demo content is written.
struct DemoContent {
  std::string admin = "admin";  // an administrator of the site
  std::string user = "taro";    // an ordinary user
  std::string ADD_FILE_PATH;    // the site's attachment directory
  std::string upload_dir;       // where the attachment is staged, as uploads are
  bool log = false;             // access-log lines for the postings
};

// Fills the demo tree of seed_demo_tree with Japanese threads, posted
// through the same service as the posting page: replies, a priority
// message, an attachment, a deleted parent kept for its replies; and a few
// lines in the chat room. Adds a Dir
// with a club board that only the members of a group may read, the group
// with the user in it, and one pending ID application. Returns an error
// text or "".
[[nodiscard]] std::string seed_demo_content(Store& store, const WriteToken& w,
                                            const DemoContent& content);

}  // namespace plazet
