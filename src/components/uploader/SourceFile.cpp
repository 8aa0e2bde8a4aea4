#include "components/uploader/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/SystemError.h"
#include "components/uploader/UploaderFailure.h"

namespace tolvane::components::uploader {

SourceFile::SourceFile(std::string path, std::string name, int fd, std::uint64_t size)
    : path_(std::move(path)), name_(std::move(name)), fd_(fd), size_(size) {}

SourceFile::SourceFile(SourceFile&& other) noexcept
    : path_(std::move(other.path_)),
      name_(std::move(other.name_)),
      fd_(std::exchange(other.fd_, -1)),
      size_(other.size_) {}

SourceFile::~SourceFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::vector<SourceFile>> SourceFile::OpenAll(std::string_view joinedPaths) {
    std::vector<SourceFile> files;
    std::size_t start = 0;
    for (;;) {
        const auto bar = joinedPaths.find('|', start);
        const std::string path(joinedPaths.substr(start, bar - start));
        if (path.empty())
            return std::nullopt;
        // Non-blocking so that a pipe given as a path cannot hang the upload.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const int error = errno;
            if (error == ENOENT || error == ENOTDIR)
                return std::nullopt;
            throw UploaderFailure("No se pudo leer el archivo " + path + ": " +
                                  SystemErrorText(error));
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return std::nullopt;
        }
        const auto slash = path.find_last_of('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        SourceFile file(path, name, fd, static_cast<std::uint64_t>(info.st_size));
        // A line break in a name would end the server command that renames the file.
        for (char c : name) {
            if (static_cast<unsigned char>(c) < 0x20)
                throw UploaderFailure("El nombre del archivo " + path +
                                      " tiene caracteres que no se pueden enviar");
        }
        files.push_back(std::move(file));
        if (bar == std::string_view::npos)
            return files;
        start = bar + 1;
    }
}

std::int64_t SourceFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t count) const {
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

std::string TemporaryName(const std::string& name) {
    return "." + name + ".part";
}

}  // namespace tolvane::components::uploader
