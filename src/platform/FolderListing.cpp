#include "platform/FolderListing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <type_traits>

#include "common/Failure.h"
#include "platform/FileServices.h"

namespace tolvane::platform {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Match(std::string_view name, std::string_view pattern) {
    // Iterative wildcard match with one backtracking point for the last '*'.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The last component of a path in UTF-8: a view into the path where the system's names are
// UTF-8 already, else into `converted`.
template <class Path>
std::string_view LastComponent(const Path& path, std::string& converted) {
    if constexpr (std::is_same_v<typename Path::value_type, char>) {
        const std::string& full = path.native();
        return std::string_view(full).substr(full.rfind('/') + 1);
    } else {
        converted = Utf8Path(path.filename());
        return converted;
    }
}

bool CaseBlindLess(std::string_view a, std::string_view b) {
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) == Lower(y); });
    if (mismatch.first != a.end() && mismatch.second != b.end()) {
        return static_cast<unsigned char>(Lower(*mismatch.first)) <
               static_cast<unsigned char>(Lower(*mismatch.second));
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    return pattern == "*.*" || Match(name, pattern);
}

std::vector<std::string> ListFolder(const std::string& folder,
                                    std::initializer_list<std::string_view> patterns,
                                    std::vector<std::string>* others) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(NativePath(folder), ec);
    if (ec) {
        throw Failure(failure_number::kPathNotFound, "lst",
                      "No se encontró la ruta de acceso: " + folder);
    }
    std::string converted;
    for (const auto& entry : it) {
        // The name first, without a copy where the system's names are UTF-8 already: a kit
        // folder may hold thousands of files that are none of ours, and a file's type may
        // cost a look at its inode.
        const std::string_view name = LastComponent(entry.path(), converted);
        if (std::none_of(patterns.begin(), patterns.end(),
                         [&](std::string_view pattern) { return MatchesPattern(name, pattern); }))
            continue;
        std::error_code typeError;
        if (entry.is_regular_file(typeError))
            names.emplace_back(name);
        else if (others != nullptr)
            others->emplace_back(name);
    }
    std::sort(names.begin(), names.end(), CaseBlindLess);
    if (others != nullptr)
        std::sort(others->begin(), others->end(), CaseBlindLess);
    return names;
}

}  // namespace tolvane::platform
