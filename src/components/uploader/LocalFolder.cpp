#include "components/uploader/LocalFolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/SystemError.h"
#include "components/uploader/UploaderFailure.h"
#include "platform/FileServices.h"

namespace tolvane::components::uploader {
namespace {

Failure CannotWrite(const SourceFile& file, const std::string& folder, const std::string& why) {
    return UploaderFailure("No se pudo subir el archivo " + file.name() + " a la carpeta local " +
                           folder + ": " + why);
}

// 0, or the error that stopped the copy.
int Copy(const SourceFile& file, platform::DurableFile& to, bool& readFailed) {
    if (to.error() != 0)
        return to.error();
    std::array<char, 64 * 1024> buffer;
    std::uint64_t offset = 0;
    for (;;) {
        const std::int64_t got = file.ReadAt(offset, buffer.data(), buffer.size());
        if (got == 0)
            return 0;
        if (got < 0) {
            readFailed = true;
            return errno;
        }
        offset += static_cast<std::uint64_t>(got);
        if (const int error =
                to.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return error;
    }
}

void WriteOne(const std::string& folder, const SourceFile& file) {
    // The temporary name a copy cut short by a death left is replaced, not kept.
    platform::DurableFile out(folder + "/" + file.name(), TemporaryName(file.name()), 0666);
    bool readFailed = false;
    int error = Copy(file, out, readFailed);
    if (error == 0)
        error = out.Commit(false);  // the folder is flushed once, after every file
    if (error != 0) {
        if (readFailed) {
            throw CannotWrite(
                file, folder,
                "no se pudo leer el archivo " + file.path() + ": " + SystemErrorText(error));
        }
        throw CannotWrite(file, folder, SystemErrorText(error));
    }
}

}  // namespace

void UploadToLocalFolder(const std::string& root, const std::string& folder, bool createFolders,
                         const std::vector<SourceFile>& files) {
    std::error_code error;
    // A link inside the server's folder must not take the files, or the folders made for
    // them, anywhere else: checked with every link that exists followed, before anything is
    // made.
    const auto base = std::filesystem::weakly_canonical(platform::NativePath(root), error);
    const auto target = std::filesystem::weakly_canonical(platform::NativePath(folder), error);
    if (!error &&
        std::mismatch(base.begin(), base.end(), target.begin(), target.end()).first != base.end()) {
        throw UploaderFailure("La carpeta remota " + folder +
                              " sale por un enlace de la carpeta del servidor " + root +
                              ": quite el enlace o corrija DIRECTORIO en el archivo Config.ini");
    }
    error.clear();
    if (createFolders) {
        std::filesystem::create_directories(platform::NativePath(folder), error);
        if (error) {
            throw UploaderFailure("No se pudo crear la carpeta local " + folder + ": " +
                                  SystemErrorText(error.value()));
        }
    } else if (!std::filesystem::is_directory(platform::NativePath(folder), error)) {
        throw UploaderFailure("No existe la carpeta local " + folder);
    }
    for (const auto& file : files)
        WriteOne(folder, file);

    // The new names reach the disk with the folder.
    if (const int synced = platform::SyncFolder(folder)) {
        throw UploaderFailure("No se pudo asegurar en el disco la carpeta local " + folder + ": " +
                              SystemErrorText(synced));
    }
}

}  // namespace tolvane::components::uploader
