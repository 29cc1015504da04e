// Deleting a user or a group: each touches several files (the user or group
// master, memberships, sessions, access entries), so they are services that
// run their steps in an order that leaves nothing behind for a successor.
// What could give rights goes first and the master line last: when a step
// fails the service stops there, the user or group is still listed, and
// deleting it again finishes the work; a later user of the same ID or group
// of the same number never finds rights or memberships of its predecessor.
#pragma once

#include <string_view>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

enum class RemoveResult { kRemoved, kNotStored };

// Removes the user `user_id` (its stored case): session keys, memberships,
// access entries on every folder, then the user.mst line. The user's picture
// directory stays.
[[nodiscard]] RemoveResult remove_user(Store& store, const WriteToken& w, std::string_view user_id);

// Removes group `group_no`: its access entries on every folder, its
// memberships, the primary group of its users (set to 0), then its
// group.mst line.
[[nodiscard]] RemoveResult remove_group(Store& store, const WriteToken& w, long group_no);

}  // namespace plazet
