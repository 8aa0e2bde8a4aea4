#include "ui/FileList.h"

#include <filesystem>
#include <system_error>

#include "common/Failure.h"
#include "platform/FileServices.h"
#include "platform/FolderListing.h"
#include "ui/Window.h"

namespace tolvane::ui {

void FileList::setPattern(const std::string& pattern) {
    pattern_ = pattern;
    if (!path_.empty())
        Fill();
}

void FileList::RequireFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(platform::NativePath(folder), ec)) {
        throw Failure(failure_number::kPathNotFound, "lst",
                      "No se encontró la ruta de acceso: " + folder);
    }
}

void FileList::setPath(const std::string& folder) {
    RequireFolder(folder);
    path_ = folder;
    Fill();
}

void FileList::Point(const std::string& folder, const std::string& pattern) {
    RequireFolder(folder);
    path_ = folder;
    pattern_ = pattern;
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

void FileList::Fill() {
    Show(platform::ListFolder(path_, {pattern_}));
}

void FileList::Show(std::vector<std::string> names) {
    if (names.size() > static_cast<std::size_t>(kMaxCount))
        names.resize(kMaxCount);
    names_ = std::move(names);
    window_.ShowFileList(names_);
}

}  // namespace tolvane::ui
