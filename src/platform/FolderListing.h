#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::platform {

// Wildcard match in the manner of the platform's file patterns: '*' and '?', letter case not
// significant; "*.*" stands for every name, also those without a dot.
bool MatchesPattern(std::string_view name, std::string_view pattern);

enum class Entries { RegularFiles, All };

// The names, without folder, of the regular files (or of every entry) of a folder that match
// any of the patterns, sorted by name regardless of letter case, from one reading of the
// folder. Fails with "path not found" (76) when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder,
                                    std::initializer_list<std::string_view> patterns,
                                    Entries which = Entries::RegularFiles);

}  // namespace tolvane::platform
