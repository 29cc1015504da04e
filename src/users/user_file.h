// user.mst: one user a line, twelve fields each followed by a comma,
//   USER_ID,USER_NAME,USER_LEVEL,E_MAIL_ADDR,USER_PASS,P_GROUP,
//   USER_DISP_DEF,MODE,WRITE_MODE,LANGUAGE,PICFILE,NO_READ_MODE,
// in insertion order. IDs are looked up without regard to letter case but
// stored, replaced and deleted in the case they were created in.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_lock.h"
#include "store/line_reader.h"
#include "store/store.h"
#include "users/mst_user.h"

namespace plazet {

// The record a line holds; nullopt when one of the first eleven commas is
// missing (such a line is not a record).
[[nodiscard]] std::optional<MST_USER> parse_user_line(std::string_view line);
[[nodiscard]] std::string format_user_line(const MST_USER& user);

// Looks a user up by ID, ignoring the case of the letters a-z. On success
// `id` becomes the ID as stored; otherwise it holds its upper-cased form.
[[nodiscard]] std::optional<MST_USER> ReadMST_USER(Store& store, std::string& id);

// The n-th record (from 0) in file order.
[[nodiscard]] std::optional<MST_USER> ReadMST_USERcount(Store& store, std::size_t n);

// Replaces every line whose ID equals `user.USER_ID` exactly. False when no
// line matched (lines without any comma are dropped all the same).
[[nodiscard]] bool ReWriteMST_USER(Store& store, const WriteToken& w, const MST_USER& user);

// Removes every line whose ID equals `id` exactly.
[[nodiscard]] bool DeleteMST_USER(Store& store, const WriteToken& w, std::string_view id);

// Appends the record; callers check for an existing ID first.
[[nodiscard]] bool InsertMST_USER(Store& store, const WriteToken& w, const MST_USER& user);

// The file as the readers cut it: pieces of at most 999 bytes, each ending
// after its line feed when it has one. Read once per request.
[[nodiscard]] std::shared_ptr<const LinedText> user_file_lines(Store& store);

// Gives every user whose primary group is `group_no` the primary group 0 (a
// group is being deleted), in one rewrite; other lines stay as they are.
// True when there was nothing to change or the file was written.
[[nodiscard]] bool reset_primary_group(Store& store, const WriteToken& w, long group_no);

}  // namespace plazet
