#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::platform {

// Wildcard match in the manner of the platform's file patterns: '*' and '?', letter case not
// significant; "*.*" stands for every name, also those without a dot.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The names, without folder, of the regular files of a folder that match any of the patterns,
// sorted by name regardless of letter case, from one reading of the folder; the other entries
// that match (folders, pipes, links to no file) go to `others` when given, in the same order.
// Fails with "path not found" (76) when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder,
                                    std::initializer_list<std::string_view> patterns,
                                    std::vector<std::string>* others = nullptr);

}  // namespace tolvane::platform
