#include "platform/FileServices.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tolvane::platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0  ? errno
                : S_ISDIR(info.st_mode)  ? EISDIR
                : !S_ISREG(info.st_mode) ? EINVAL
                                         : 0;
    if (error == 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[64 * 1024];
    while (error == 0) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            error = errno;
        else if (count == 0)
            break;
        else
            bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    return bytes;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

DurableFile::DurableFile(std::string destination, const std::string& temporaryName,
                         std::uint32_t mode)
    : destination_(std::move(destination)), folder_(FolderOf(destination_)) {
    temporary_ = (folder_ == "/" ? "" : folder_) + "/" + temporaryName;
    do {
        descriptor_ =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                   static_cast<mode_t>(mode));
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0)
        error_ = errno;
    created_ = descriptor_ >= 0;
}

DurableFile::~DurableFile() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (created_ && !committed_)
        ::unlink(temporary_.c_str());
}

int DurableFile::Write(std::string_view bytes) {
    if (error_ != 0)
        return error_;
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return error_ = errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int DurableFile::SetMode(std::uint32_t mode) {
    if (error_ == 0 && ::fchmod(descriptor_, static_cast<mode_t>(mode)) != 0)
        error_ = errno;
    return error_;
}

int DurableFile::Commit(bool folderToo) {
    if (error_ != 0)
        return error_;
    if (::fsync(descriptor_) != 0)
        return error_ = errno;
    const int fd = std::exchange(descriptor_, -1);
    // Some file systems report a failed write only when the file is closed.
    if (::close(fd) != 0 && errno != EINTR)
        return error_ = errno;
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0)
        return error_ = errno;
    committed_ = true;
    return folderToo ? SyncFolder(folder_) : 0;
}

}  // namespace tolvane::platform
