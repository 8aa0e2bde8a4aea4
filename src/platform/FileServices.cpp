#include "platform/FileServices.h"

#include <cerrno>
#include <utility>

namespace tolvane::platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    InputFile file(path);
    std::string bytes;
    if (file.error() == 0)
        bytes.reserve(static_cast<std::size_t>(file.size()));
    char buffer[64 * 1024];
    for (;;) {
        const std::int64_t count = file.Read(buffer, sizeof buffer);
        if (count < 0) {
            errno = file.error();
            return std::nullopt;
        }
        if (count == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

int DurableFile::Replace() {
    if (error_ != 0)
        return error_;
    // Some file systems report a failed write only when the file is closed.
    if (const int error = handle_.Close(); error != 0)
        return error_ = error;
    return TakeName(0);
}

}  // namespace tolvane::platform
