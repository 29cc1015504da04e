// Generated sites for benchmarks: many boards full of messages, written
// straight through the store (no per-file sync), for measuring pages on
// data of a realistic size.
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

}  // namespace plazet
