#include "platform/linux/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
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

namespace {

class LockFileClaim final : public FolderClaim {
  public:
    LockFileClaim(std::string path, FileHandle lock)
        : path_(std::move(path)), lock_(std::move(lock)) {}
    ~LockFileClaim() override {
        // Removed while still locked: a process that opened the old file before this point
        // finds, once it gets the lock, that the name no longer leads to its file.
        ::unlink(path_.c_str());
    }
    LockFileClaim(const LockFileClaim&) = delete;
    LockFileClaim& operator=(const LockFileClaim&) = delete;

  private:
    std::string path_;
    FileHandle lock_;
};

// 0 when locked, EAGAIN when held elsewhere, else the error.
int LockWhole(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &whole) == 0)
        return 0;
    if (errno == EINVAL && ::fcntl(fd, F_SETLK, &whole) == 0)  // a kernel without OFD locks
        return 0;
    return errno == EACCES ? EAGAIN : errno;
}

// Whether a program holds the lock file `path` that this user may not open for writing (another
// user's). Such a file left by a program that ended holds nobody: it goes, so that a new one,
// open to every user, can be made.
bool HeldByAnotherUser(const std::string& path) {
    const FileHandle look(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!look)
        return false;
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    const int fd = static_cast<int>(look.get());
    if (::fcntl(fd, F_OFD_GETLK, &whole) != 0 &&
        (errno != EINVAL || ::fcntl(fd, F_GETLK, &whole) != 0))
        return false;
    if (whole.l_type != F_UNLCK)
        return true;
    ::unlink(path.c_str());
    return false;
}

}  // namespace

std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) {
    const std::string path =
        folder + (folder.empty() || folder.back() == '/' ? "" : "/") + kClaimFileName;
    // A few rounds at most: each one that fails found the file replaced by its holder's end.
    for (int attempt = 0; attempt < 20; ++attempt) {
        FileHandle lock(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (lock) {
            // Every user who may write the kit's folder must be able to claim it after this.
            ::fchmod(static_cast<int>(lock.get()), 0666);
        } else if (errno == EEXIST) {
            lock = FileHandle(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
            if (!lock && errno == EACCES) {
                if (HeldByAnotherUser(path))
                    return nullptr;
                continue;
            }
            if (!lock && errno == ENOENT)
                continue;  // its holder's end took it away meanwhile
        }
        const int fd = static_cast<int>(lock.get());
        if (!lock) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "No se pudo crear el archivo de bloqueo " + path +
                              " en la carpeta del kit: " + SystemErrorText(errno));
        }
        const int error = LockWhole(fd);
        if (error == EAGAIN)
            return nullptr;
        // A file system without locks (a share mounted without them) guards nothing, but
        // must not hold every dispatch back either: the pass goes on unguarded.
        if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS)
            return std::make_unique<LockFileClaim>(path, std::move(lock));
        if (error != 0) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "No se pudo bloquear el archivo " + path + ": " + SystemErrorText(error));
        }
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            return std::make_unique<LockFileClaim>(path, std::move(lock));
        }
    }
    return nullptr;
}

FolderLock::FolderLock(const std::string& folder)
    : folder_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    // Without the lock the cycle still runs; it only loses its guard against another writer.
    while (folder_ && ::flock(static_cast<int>(folder_.get()), LOCK_EX) != 0 && errno == EINTR) {
    }
}

}  // namespace tolvane::platform::posix
