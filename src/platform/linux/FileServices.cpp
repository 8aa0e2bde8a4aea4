#include "platform/FileServices.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "common/SystemError.h"

namespace tolvane::platform {
namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int Descriptor(const FileHandle& handle) {
    return static_cast<int>(handle.get());
}

}  // namespace

int FileHandle::Close() {
    if (value_ == kNone)
        return 0;
    // After EINTR the descriptor is closed all the same on Linux: it must not be closed again.
    const int fd = static_cast<int>(std::exchange(value_, kNone));
    return ::close(fd) != 0 && errno != EINTR ? errno : 0;
}

InputFile::InputFile(const std::string& path) {
    // Non-blocking so that a pipe cannot hang the program before it is refused below.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    handle_ = FileHandle(fd);
    struct stat info {};
    error_ = ::fstat(fd, &info) != 0  ? errno
             : S_ISDIR(info.st_mode)  ? EISDIR
             : !S_ISREG(info.st_mode) ? EINVAL
                                      : 0;
    size_ = static_cast<std::uint64_t>(info.st_size);
    permissions_ = info.st_mode & 0777;
}

std::int64_t InputFile::Read(char* buffer, std::size_t count) {
    if (error_ != 0)
        return -1;
    for (;;) {
        const ssize_t got = ::read(Descriptor(handle_), buffer, count);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            error_ = errno;
            return -1;
        }
    }
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t count) {
    if (error_ != 0)
        return -1;
    for (;;) {
        const ssize_t got = ::pread(Descriptor(handle_), buffer, count, static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            error_ = errno;
            return -1;
        }
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsListableFolder(const std::string& path) {
    if (path.empty())
        return false;
    DIR* listing = ::opendir(path.c_str());
    if (listing == nullptr)
        return false;
    ::closedir(listing);
    return true;
}

bool PathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

int RemoveFile(const std::string& path, bool evenReadOnly) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (!evenReadOnly && !S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0)
        return kErrorReadOnly;
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

TemporaryFile OpenTemporaryFile() {
    return TemporaryFile(std::tmpfile());
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int SyncFolder(const std::string& folder) {
    const FileHandle folderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderHandle)
        return errno;
    return ::fsync(Descriptor(folderHandle)) == 0 || errno == EINVAL ? 0 : errno;
}

DurableFile::DurableFile(std::string destination, const std::string& temporaryName,
                         std::uint32_t mode)
    : destination_(std::move(destination)), folder_(FolderOf(destination_)) {
    const std::string prefix = (folder_ == "/" ? "" : folder_) + "/";
    // Created here and now (O_EXCL): no link is followed and no pipe is opened, which would
    // hold the writer until someone read it.
    const auto create = [&](const std::string& path) {
        return OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW,
                            static_cast<mode_t>(mode));
    };
    temporary_ = prefix + temporaryName;
    int fd = create(temporary_);
    int error = fd < 0 ? errno : 0;
    // A regular file there is what a writer that died left: it goes.
    struct stat left {};
    if (error == EEXIST && ::lstat(temporary_.c_str(), &left) == 0 && S_ISREG(left.st_mode) &&
        ::unlink(temporary_.c_str()) == 0) {
        fd = create(temporary_);
        error = fd < 0 ? errno : 0;
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; error == EEXIST && attempt < 16; ++attempt) {
        temporary_ = prefix + temporaryName + "." + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++);
        fd = create(temporary_);
        error = fd < 0 ? errno : 0;
    }
    if (fd < 0)
        error_ = error;
    else
        handle_ = FileHandle(fd);
    created_ = static_cast<bool>(handle_);
}

DurableFile::~DurableFile() {
    handle_.Close();
    if (created_ && !committed_)
        ::unlink(temporary_.c_str());
}

int DurableFile::Write(std::string_view bytes) {
    if (error_ != 0)
        return error_;
    while (!bytes.empty()) {
        const ssize_t written = ::write(Descriptor(handle_), bytes.data(), bytes.size());
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
    if (error_ == 0 && ::fchmod(Descriptor(handle_), static_cast<mode_t>(mode)) != 0)
        error_ = errno;
    return error_;
}

int DurableFile::Commit(bool folderToo) {
    if (error_ != 0)
        return error_;
    if (::fsync(Descriptor(handle_)) != 0)
        return error_ = errno;
    if (const int error = Replace(); error != 0)
        return error;
    return folderToo ? SyncFolder(folder_) : 0;
}

int DurableFile::TakeName(unsigned) {
    struct stat existing {};
    if (::lstat(destination_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
        return error_ = kErrorNotRegularFile;
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0)
        return error_ = errno;
    committed_ = true;
    return 0;
}

}  // namespace tolvane::platform
