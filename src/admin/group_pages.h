// The administrator's group pages: the list, the new-group and rename forms
// with their common write, and deletion.
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of saving a group.
inline constexpr int kGroupSaved = 0;
inline constexpr int kGroupNotAllowed = -1;
inline constexpr int kGroupNumberEmpty = 2;
inline constexpr int kGroupNameEmpty = 3;
inline constexpr int kGroupNumberBelowOne = 4;

// Every group, each name linking to its rename form. Fields: SKEY.
void j_GROUPLIST(Request& req);
// The groups and a row for a new one, its number one above the last listed.
// Fields: SKEY.
void j_NEWGROUP(Request& req);
// The groups with the chosen one's name in a field. Fields: SKEY, T02_GROUP_ID.
void j_EDITGROUP(Request& req);
// Adds a group or renames one. Fields: T02_GROUP_ID, T02_GROUP_NAME.
int j_NEWGROUPWR(Request& req, const WriteToken& w);
// The groups and a choice of the one to delete. Fields: SKEY.
void j_DELGROUP(Request& req);
// Deletes a group with its rights and memberships; its users' primary group
// becomes 0. Fields: T02_GROUP_ID.
int j_DELGROUPWR(Request& req, const WriteToken& w);

}  // namespace plazet
