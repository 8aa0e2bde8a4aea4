#include "components/uploader/SourceFile.h"

#include <cerrno>
#include <utility>

#include "common/SystemError.h"
#include "components/uploader/UploaderFailure.h"

namespace tolvane::components::uploader {

SourceFile::SourceFile(std::string path, std::string name, platform::InputFile file)
    : path_(std::move(path)), name_(std::move(name)), file_(std::move(file)) {}

SourceFile::SourceFile(SourceFile&& other) noexcept
    : path_(std::move(other.path_)), name_(std::move(other.name_)), file_(std::move(other.file_)) {}

std::optional<std::vector<SourceFile>> SourceFile::OpenAll(std::string_view joinedPaths) {
    std::vector<SourceFile> files;
    std::size_t start = 0;
    for (;;) {
        const auto bar = joinedPaths.find('|', start);
        const std::string path(joinedPaths.substr(start, bar - start));
        if (path.empty())
            return std::nullopt;
        platform::InputFile opened(path);
        switch (const int error = opened.error()) {
            case 0:
                break;
            case ENOENT:
            case ENOTDIR:
            case EISDIR:
            case EINVAL:
                return std::nullopt;
            default:
                throw UploaderFailure("No se pudo leer el archivo " + path + ": " +
                                      SystemErrorText(error));
        }
        const std::string name = platform::NameOf(path);
        SourceFile file(path, name, std::move(opened));
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
    const std::int64_t got = file_.ReadAt(offset, buffer, count);
    if (got < 0)
        errno = file_.error();
    return got;
}

std::string TemporaryName(const std::string& name) {
    return "." + name + ".part";
}

}  // namespace tolvane::components::uploader
