#include "platform/linux/KitClaim.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "platform/FileServices.h"

namespace tolvane::platform::posix {

bool ClaimWatch::UnchangedLongEnough(const std::string& path, const std::string& content) {
    const std::lock_guard lock(mutex_);
    const auto now = clock_.Now();
    auto [at, added] = seen_.try_emplace(path, Seen{content, now});
    if (!added && at->second.content != content)
        at->second = Seen{content, now};
    return now - at->second.since >= times_.staleAfter;
}

void ClaimWatch::Forget(const std::string& path) {
    const std::lock_guard lock(mutex_);
    seen_.erase(path);
}

std::string ComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

namespace {

// "tolvane <computer> <process> <rewrites> <claim>": the rewrites change at every rewrite, so
// that a watcher sees the holder live even where the share keeps coarse modification times; the
// claim tells this process's claims apart.
std::string HolderLine(unsigned long rewrites, unsigned long claim) {
    return "tolvane " + ComputerName() + " " + std::to_string(::getpid()) + " " +
           std::to_string(rewrites) + " " + std::to_string(claim) + "\n";
}

void WriteHolder(int fd, unsigned long rewrites, unsigned long claim) {
    const std::string line = HolderLine(rewrites, claim);
    // Nothing to do about a failed rewrite: the watchers would only take the claim as stale.
    if (::pwrite(fd, line.data(), line.size(), 0) == static_cast<ssize_t>(line.size())) {
        [[maybe_unused]] const int truncated = ::ftruncate(fd, static_cast<off_t>(line.size()));
    }
}

// The lock file's content; empty when it is no regular file or cannot be read (as after a
// holder died between creating and writing it). False when it is gone.
bool ReadHolder(const std::string& path, std::string& content) {
    content.clear();
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!file)
        return errno != ENOENT;
    struct stat info {};
    const int fd = static_cast<int>(file.get());
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    char buffer[256];
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, 0);
    if (got > 0)
        content.assign(buffer, static_cast<std::size_t>(got));
    return true;
}

// The claims this process holds: a lock file naming this process for a claim it no longer holds
// was left behind (its folder was renamed while a pass held it, say) and holds no one.
std::mutex heldMutex;
std::set<unsigned long> held;
unsigned long lastClaim = 0;

// Whether the holder is a process of this computer that no longer runs, or this process, which
// no longer holds that file.
bool HolderEnded(const std::string& content) {
    std::istringstream fields(content);
    std::string tag, computer;
    long pid = 0;
    if (!(fields >> tag >> computer >> pid) || tag != "tolvane" || pid <= 0 || pid > INT_MAX ||
        computer != ComputerName())
        return false;
    if (pid == ::getpid()) {
        unsigned long rewrites = 0, claim = 0;
        fields >> rewrites >> claim;
        const std::lock_guard lock(heldMutex);
        return !fields || held.count(claim) == 0;
    }
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Moves a stale lock file out of the way under a name of this process, so that of two programs
// taking it over at once only one removes it. True when the name is free again.
bool TakeAway(const std::string& path, const std::string& stale) {
    const std::string aside = path + "." + ComputerName() + "." + std::to_string(::getpid());
    if (::rename(path.c_str(), aside.c_str()) != 0)
        return errno == ENOENT;
    std::string moved;
    ReadHolder(aside, moved);
    if (moved == stale) {
        ::unlink(aside.c_str());
        return true;
    }
    // A live holder's, made between the look and the move: it goes back, unless yet another
    // holder took the name meanwhile.
    if (::link(aside.c_str(), path.c_str()) == 0 || errno == EEXIST)
        ::unlink(aside.c_str());
    else
        ::rename(aside.c_str(), path.c_str());
    return false;
}

class LockFileClaim final : public FolderClaim {
  public:
    LockFileClaim(std::string path, FileHandle file, std::chrono::milliseconds refreshEvery)
        : path_(std::move(path)),
          file_(std::move(file)),
          claim_(Hold()),
          refresher_([this, refreshEvery] {
              std::unique_lock lock(mutex_);
              for (unsigned long n = 1;
                   !ended_.wait_for(lock, refreshEvery, [this] { return done_; }); ++n)
                  WriteHolder(fd(), n, claim_);
          }) {
        // Named only once held: a file naming this process that it does not hold is a leftover.
        const std::lock_guard lock(mutex_);
        WriteHolder(fd(), 0, claim_);
    }
    ~LockFileClaim() override {
        {
            const std::lock_guard lock(heldMutex);
            held.erase(claim_);
        }
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        refresher_.join();
        // Only while the name still leads to this file: a program that took the claim for
        // stale keeps its own.
        struct stat mine {
        }, named{};
        if (::fstat(fd(), &mine) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
            ::unlink(path_.c_str());
    }
    LockFileClaim(const LockFileClaim&) = delete;
    LockFileClaim& operator=(const LockFileClaim&) = delete;

  private:
    int fd() const { return static_cast<int>(file_.get()); }

    // A number of its own, recorded as held by this process.
    static unsigned long Hold() {
        const std::lock_guard lock(heldMutex);
        held.insert(++lastClaim);
        return lastClaim;
    }

    std::string path_;
    FileHandle file_;
    unsigned long claim_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread refresher_;  // last: it uses the members above
};

}  // namespace

std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder, ClaimWatch& watch) {
    const std::string path =
        folder + (folder.empty() || folder.back() == '/' ? "" : "/") + kClaimFileName;
    // A few rounds at most: each one that fails found the file taken away by another program.
    for (int attempt = 0; attempt < 20; ++attempt) {
        FileHandle lock(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (lock) {
            // Every user who may write the kit's folder must be able to read who holds it.
            ::fchmod(static_cast<int>(lock.get()), 0644);
            watch.Forget(path);
            return std::make_unique<LockFileClaim>(path, std::move(lock),
                                                   watch.times().refreshEvery);
        }
        if (errno != EEXIST) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "No se pudo crear el archivo de bloqueo " + path +
                              " en la carpeta del kit: " + SystemErrorText(errno));
        }
        std::string holder;
        if (!ReadHolder(path, holder))
            continue;  // its holder's end took it away meanwhile
        if (!HolderEnded(holder) && !watch.UnchangedLongEnough(path, holder))
            return nullptr;
        watch.Forget(path);
        if (!TakeAway(path, holder))
            return nullptr;
    }
    return nullptr;
}

}  // namespace tolvane::platform::posix
