// Directories of the data and attachment trees.
#pragma once

#include <sys/types.h>

#include <string>

#include "store/data_lock.h"

namespace plazet {

// Creates `path` (mode 0700) when it is missing. Making an empty directory
// that a later write needs is not itself a change to stored data.
bool ensure_directory(const std::string& path, mode_t mode = 0700);

// Removes everything inside `path`, subdirectories included; the directory
// itself stays. Links are removed, never followed. Entries that cannot be
// examined or removed are left alone. True when nothing is left inside (or
// there is no such directory).
[[nodiscard]] bool DelDIR(const WriteToken& token, const std::string& path);

// DelDIR, then removes the emptied directory itself. True when `path` is
// gone (or never was).
[[nodiscard]] bool remove_directory(const WriteToken& token, const std::string& path);

}  // namespace plazet
