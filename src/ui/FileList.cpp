#include "ui/FileList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/Failure.h"
#include "common/Text.h"
#include "platform/FileServices.h"
#include "ui/Window.h"

namespace tolvane::ui {
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

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    // "*.*" stands for every name, also those without a dot.
    if (pattern == "*.*")
        return true;
    return Match(name, pattern);
}

void FileList::setPattern(const std::string& pattern) {
    pattern_ = pattern;
    if (!path_.empty())
        Fill();
}

void FileList::setPath(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(platform::NativePath(folder), ec)) {
        throw Failure(failure_number::kPathNotFound, "lst",
                      "No se encontró la ruta de acceso: " + folder);
    }
    path_ = folder;
    Fill();
}

void FileList::Refresh() {
    if (!path_.empty())
        Fill();
}

const std::string& FileList::List(int index) const {
    if (index < 0 || index >= ListCount()) {
        throw Failure(failure_number::kInvalidPropertyValue, "lst",
                      "Índice fuera de la lista de archivos");
    }
    return names_[static_cast<std::size_t>(index)];
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(platform::NativePath(folder), ec);
    if (ec) {
        throw Failure(failure_number::kPathNotFound, "lst",
                      "No se encontró la ruta de acceso: " + folder);
    }
    for (const auto& entry : it) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError))
            continue;
        std::string name = platform::Utf8Path(entry.path().filename());
        if (MatchesPattern(name, pattern))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = text::ToLowerAscii(a), lb = text::ToLowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

void FileList::Fill() {
    std::vector<std::string> names = ListFolder(path_, pattern_);
    if (names.size() > static_cast<std::size_t>(kMaxCount))
        names.resize(kMaxCount);
    names_ = std::move(names);
    window_.ShowFileList(names_);
}

}  // namespace tolvane::ui
