// Commit-or-discard replacement of a file: the new contents go to a
// temporary file in the same directory, which is synced and renamed over the
// target only on commit(). Readers see the old file or the new one, never a
// missing or half-written one. Destroyed uncommitted, the temporary file is
// removed and the target stays untouched.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "store/data_lock.h"
#include "store/fd.h"

namespace plazet {

// Whether commit() waits until the new contents and the rename are on the
// disk. Scratch files that are rebuilt whenever they are read (the sorted
// user files) skip the wait; readers still see the old file or the new one.
enum class Sync { kSynced, kUnsynced };

class AtomicReplace {
 public:
  // `temp_path` is the fixed work name of the operation (e.g.
  // "<data>user.mst.tmp"); the exclusive lock makes a fixed name safe.
  AtomicReplace(const WriteToken& token, std::string target, std::string temp_path,
                mode_t mode = 0600, Sync sync = Sync::kSynced);
  AtomicReplace(const AtomicReplace&) = delete;
  AtomicReplace& operator=(const AtomicReplace&) = delete;
  ~AtomicReplace();

  [[nodiscard]] bool ok() const { return fd_.valid() && !failed_; }
  // Appends to the new contents; a failure is remembered and makes commit() fail.
  void write(std::string_view data);
  [[nodiscard]] bool commit();

 private:
  std::string target_;
  std::string temp_;
  UniqueFd fd_;
  Sync sync_;
  bool failed_ = false;
  bool committed_ = false;
};

// Makes a file that was moved into place durable: the file's data, then its
// directory entry. False when the file cannot be opened or synced.
[[nodiscard]] bool sync_file(const std::string& path);

// Replaces `target` with `contents` in one step.
[[nodiscard]] bool replace_file(const WriteToken& token, const std::string& target,
                                const std::string& temp_path, std::string_view contents,
                                mode_t mode = 0600, Sync sync = Sync::kSynced);

// Appends `lines` to a text master (created with the default permissions
// when missing). A last line without its line feed gets one first, so it
// never swallows the new text.
[[nodiscard]] bool append_text_lines(const WriteToken& token, const std::string& path,
                                     std::string_view lines);

// Creates `target` with `contents` only when no file of that name exists,
// without ever exposing a partly written file. Creating a missing file with
// its first contents is not a change to stored data, so no token is needed.
[[nodiscard]] bool create_file_exclusive(const std::string& target, std::string_view contents,
                                         mode_t mode);

}  // namespace plazet
