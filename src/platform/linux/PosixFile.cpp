#include "platform/linux/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/FileServices.h"

namespace tolvane::platform::posix {
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, FileMode policy) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

    // A name of its own for every writer: readers in other processes see either the old or
    // the new content.
    static std::atomic<unsigned> counter{0};
    DurableFile file(
        target, "." + name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++),
        exists || policy == FileMode::Exactly ? S_IRUSR | S_IWUSR : mode);
    const bool setMode = policy == FileMode::Exactly || exists;
    const mode_t finalMode = policy == FileMode::Exactly ? mode : existing.st_mode & 07777;
    if (file.Write(bytes) != 0 || (setMode && file.SetMode(finalMode) != 0) || file.Commit() != 0) {
        errno = file.error();
        return false;
    }
    return true;
}

bool MakeFolders(const std::string& path, mode_t mode) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (!level.empty() && ::mkdir(level.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileState Examine(const std::string& path) {
    struct stat info {};
    FileState state;
    if (::lstat(path.c_str(), &info) != 0)
        return state;
    state.kind = S_ISREG(info.st_mode)    ? FileState::Kind::Regular
                 : S_ISLNK(info.st_mode)  ? FileState::Kind::Link
                 : S_ISDIR(info.st_mode)  ? FileState::Kind::Folder
                 : S_ISFIFO(info.st_mode) ? FileState::Kind::Pipe
                                          : FileState::Kind::Other;
    state.size = static_cast<std::uint64_t>(info.st_size);
    state.modifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    state.changedNs =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    state.identity = static_cast<std::uint64_t>(info.st_ino);
    return state;
}

FolderLock::FolderLock(const std::string& folder)
    : folder_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    // Without the lock the cycle still runs; it only loses its guard against another writer.
    while (folder_ && ::flock(static_cast<int>(folder_.get()), LOCK_EX) != 0 && errno == EINTR) {
    }
}

}  // namespace tolvane::platform::posix
