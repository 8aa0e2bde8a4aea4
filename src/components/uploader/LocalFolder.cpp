#include "components/uploader/LocalFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/SystemError.h"
#include "components/uploader/UploaderFailure.h"
#include "platform/linux/PosixFile.h"

namespace tolvane::components::uploader {
namespace {

Failure CannotWrite(const SourceFile& file, const std::string& folder, const std::string& why) {
    return UploaderFailure("No se pudo subir el archivo " + file.name() + " a la carpeta local " +
                           folder + ": " + why);
}

// 0, or the error that stopped the copy.
int Copy(const SourceFile& file, int to, bool& readFailed) {
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
        if (const int error = platform::posix::WriteAll(
                to, std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return error;
    }
}

void WriteOne(const std::string& folder, const SourceFile& file) {
    const std::string temporary = folder + "/" + TemporaryName(file.name());
    const std::string destination = folder + "/" + file.name();
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0)
        throw CannotWrite(file, folder, SystemErrorText(errno));

    bool readFailed = false;
    int error = Copy(file, out, readFailed);
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), destination.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        if (readFailed) {
            throw CannotWrite(
                file, folder,
                "no se pudo leer el archivo " + file.path() + ": " + SystemErrorText(error));
        }
        throw CannotWrite(file, folder, SystemErrorText(error));
    }
}

}  // namespace

void UploadToLocalFolder(const std::string& folder, bool createFolders,
                         const std::vector<SourceFile>& files) {
    std::error_code error;
    if (createFolders) {
        std::filesystem::create_directories(folder, error);
        if (error) {
            throw UploaderFailure("No se pudo crear la carpeta local " + folder + ": " +
                                  SystemErrorText(error.value()));
        }
    } else if (!std::filesystem::is_directory(folder, error)) {
        throw UploaderFailure("No existe la carpeta local " + folder);
    }
    for (const auto& file : files)
        WriteOne(folder, file);

    // The new names reach the disk with the folder.
    if (const int synced = platform::posix::SyncFolder(folder)) {
        throw UploaderFailure("No se pudo asegurar en el disco la carpeta local " + folder + ": " +
                              SystemErrorText(synced));
    }
}

}  // namespace tolvane::components::uploader
