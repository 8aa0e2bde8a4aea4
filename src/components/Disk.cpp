#include "components/Disk.h"

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

// 0, or the error that stopped the copy.
int CopyContent(platform::InputFile& from, platform::DurableFile& to) {
    if (to.error() != 0)
        return to.error();
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const std::int64_t got = from.Read(buffer.data(), buffer.size());
        if (got == 0)
            return 0;
        if (got < 0)
            return from.error();
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
    return platform::IsListableFolder(folder);
}

bool LocalDisk::ExisteArchivo(const std::string& path) {
    return platform::IsRegularFile(path);
}

void LocalDisk::CopiarArchivo(const std::string& source, const std::string& destination,
                              bool overwrite) {
    platform::InputFile in(source);
    if (const int error = in.error()) {
        if (IsMissing(error))
            throw FileNotFound(source);
        if (error == EISDIR || error == EINVAL)
            throw CopyFailure(source, destination, "no es un archivo");
        throw CopyFailure(source, destination, SystemErrorText(error));
    }
    if (!overwrite && platform::PathExists(destination))
        throw Failure(failure_number::kFileAlreadyExists, kSource,
                      "El archivo ya existe: " + destination);

    platform::DurableFile out(destination, TemporaryName(platform::NameOf(destination)),
                              in.permissions());
    if (IsMissing(out.error())) {
        throw Failure(failure_number::kPathNotFound, kSource,
                      "No se encontró la ruta de acceso " + platform::FolderOf(destination));
    }
    if (const int error = CopyContent(in, out))
        throw CopyFailure(source, destination, SystemErrorText(error));
    if (const int error = out.Commit())
        throw CopyFailure(source, destination, SystemErrorText(error));
}

void LocalDisk::EliminarArchivo(const std::string& path, bool force) {
    switch (const int error = platform::RemoveFile(path, force)) {
        case 0:
            return;
        case EISDIR:
            throw DeleteFailure(path, "es una carpeta");
        case platform::kErrorReadOnly:
            throw DeleteFailure(path, "es de solo lectura");
        default:
            if (IsMissing(error))
                throw FileNotFound(path);
            throw DeleteFailure(path, SystemErrorText(error));
    }
}

std::string LocalDisk::getDirectorioProgramFiles() {
    return os_.ProgramFilesFolder();
}

}  // namespace tolvane::components
