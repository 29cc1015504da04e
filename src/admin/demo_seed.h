// Generated sites for benchmarks: many boards full of messages, written
// straight through the store (no per-file sync), for measuring pages on
// data of a realistic size.
#pragma once

#include <string>

#include "frame/request.h"

namespace plazet {

struct BulkSeed {
  int boards = 200;     // spread over Dirs of 10 boards each
  int messages = 1000;  // per board; every fourth a reply
  std::string writer = "admin";
};

// Adds the boards and messages to the site's tree; returns an error text or "".
[[nodiscard]] std::string seed_bulk(Request& req, const BulkSeed& seed);

}  // namespace plazet
