#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileServices.h"

namespace tolvane::components::uploader {

// One local file to send, held open from the check that it exists to the end of its upload.
class SourceFile {
  public:
    // The files named in a "|"-joined text, in order; nothing when a part is empty or names no
    // existing regular file. A file that exists but cannot be opened fails.
    static std::optional<std::vector<SourceFile>> OpenAll(std::string_view joinedPaths);

    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&&) = delete;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    ~SourceFile() = default;

    const std::string& path() const { return path_; }
    // The name the file takes on the server: the path's last component.
    const std::string& name() const { return name_; }
    std::uint64_t size() const { return file_.size(); }
    // Up to `count` bytes from `offset`; 0 at the end, -1 with errno set on a read error.
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t count) const;

  private:
    SourceFile(std::string path, std::string name, platform::InputFile file);

    std::string path_, name_;
    // Reading at an offset leaves the file as it was: logically const.
    mutable platform::InputFile file_;
};

// The name a file carries while it is being written.
std::string TemporaryName(const std::string& name);

}  // namespace tolvane::components::uploader
