#include "components/Disk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::components {
namespace {

constexpr const char* kSource = "Pellam.Disk";
constexpr std::int32_t kFileAlreadyExists = 58;

bool IsMissing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

Failure FileNotFound(const std::string& path) {
    return Failure(failure_number::kFileNotFound, kSource, "No se encontró el archivo " + path);
}

Failure CopyFailure(const std::string& source, const std::string& destination,
                    const std::string& why) {
    return Failure(failure_number::kPathFileAccess, kSource,
                   "No se pudo copiar el archivo " + source + " en " + destination + ": " + why);
}

Failure DeleteFailure(const std::string& path, const std::string& why) {
    return Failure(failure_number::kPathFileAccess, kSource,
                   "No se pudo eliminar el archivo " + path + ": " + why);
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // 0, or the error of a close that failed (a write that never reached the disk).
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int OpenFile(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// 0, or the error that stopped the copy.
int CopyContent(int from, platform::DurableFile& to) {
    if (to.error() != 0)
        return to.error();
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (const int error =
                to.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return error;
    }
}

// The temporary name of a copy into a folder: short, whatever the length of the name (a file
// name may take 255 bytes), and the same for every copy of one name, so that a copy cut short
// by a death is replaced, not left behind, the next time that file is copied there.
std::string TemporaryName(const std::string& name) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = ".tolvane-tmp-";
    for (int shift = 60; shift >= 0; shift -= 4)
        text += kDigits[(hash >> shift) & 0xF];
    return text;
}

}  // namespace

bool LocalDisk::ExisteCarpeta(const std::string& folder) {
    if (folder.empty())
        return false;
    // Reachable means listable: a folder that exists but cannot be read is of no use.
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return false;
    ::closedir(listing);
    return true;
}

bool LocalDisk::ExisteArchivo(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void LocalDisk::CopiarArchivo(const std::string& source, const std::string& destination,
                              bool overwrite) {
    // Non-blocking so that a pipe given as the source cannot hang the program.
    Descriptor in(OpenFile(source, O_RDONLY | O_NONBLOCK));
    if (!in.valid()) {
        const int error = errno;
        if (IsMissing(error))
            throw FileNotFound(source);
        throw CopyFailure(source, destination, SystemErrorText(error));
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        throw CopyFailure(source, destination, SystemErrorText(errno));
    if (!S_ISREG(info.st_mode))
        throw CopyFailure(source, destination, "no es un archivo");

    const auto slash = destination.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? destination : destination.substr(slash + 1);
    if (!overwrite && ::access(destination.c_str(), F_OK) == 0) {
        throw Failure(kFileAlreadyExists, kSource, "El archivo ya existe: " + destination);
    }

    platform::DurableFile out(destination, TemporaryName(name), info.st_mode & 0777);
    if (IsMissing(out.error())) {
        throw Failure(failure_number::kPathNotFound, kSource,
                      "No se encontró la ruta de acceso " + platform::FolderOf(destination));
    }
    if (const int error = CopyContent(in.get(), out))
        throw CopyFailure(source, destination, SystemErrorText(error));
    if (const int error = out.Commit())
        throw CopyFailure(source, destination, SystemErrorText(error));
}

void LocalDisk::EliminarArchivo(const std::string& path, bool force) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (IsMissing(error))
            throw FileNotFound(path);
        throw DeleteFailure(path, SystemErrorText(error));
    }
    if (S_ISDIR(info.st_mode))
        throw DeleteFailure(path, "es una carpeta");
    if (!force && !S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
        throw DeleteFailure(path, "es de solo lectura");
    }
    if (::unlink(path.c_str()) != 0) {
        const int error = errno;
        if (IsMissing(error))
            throw FileNotFound(path);
        throw DeleteFailure(path, SystemErrorText(error));
    }
}

std::string LocalDisk::getDirectorioProgramFiles() {
    return os_.ProgramFilesFolder();
}

}  // namespace tolvane::components
