// Listing files of a directory by a name pattern: the language choice of the
// user forms offers the "*.lng" files next to the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plazet {

// Whether `name` matches `pattern`, both taken as they are (callers upper-case
// them first to ignore letter case). Without a star the two are equal; with
// one star in front the name is longer than the rest of the pattern and ends
// with it; with a star at both ends the name holds the text between them;
// with one star at the end the name begins with the text before it. A star
// anywhere else matches nothing.
[[nodiscard]] bool check_name(std::string_view pattern, std::string_view name);

// The regular files of `directory` whose names match `pattern` with the
// letters a-z of both upper-cased, in their own case and in byte order of
// their names (so a form lists them the same way on every file system).
[[nodiscard]] std::vector<std::string> filefind(const std::string& directory,
                                                std::string_view pattern);

}  // namespace plazet
