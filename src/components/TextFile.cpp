#include "components/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "common/Text.h"

namespace tolvane::components {
namespace {

constexpr const char* kSource = "Pellam.TextFile";
constexpr std::int32_t kInvalidCall = 5;
constexpr std::int32_t kBadFileName = 52;
constexpr std::int32_t kBadFileMode = 54;

Failure AccessFailure(const std::string& what, const std::string& path, int error) {
    return Failure(failure_number::kPathFileAccess, kSource,
                   "No se pudo " + what + " el archivo " + path + ": " + SystemErrorText(error));
}

}  // namespace

LocalTextFile::~LocalTextFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void LocalTextFile::setUbicacion_Archivo(const std::string& path) {
    path_ = path;
}

void LocalTextFile::Abrir_Archivo(int mode) {
    if (mode != 1) {
        throw Failure(kInvalidCall, kSource,
                      "Llamada a procedimiento o argumento no válido: el modo " +
                          std::to_string(mode) + " no sirve para abrir el archivo " + path_ +
                          " (solo el modo 1, lectura)");
    }
    // Non-blocking so that a pipe cannot hang the program before it is refused below.
    Open(O_RDONLY | O_NONBLOCK, Mode::Reading);
    struct stat info {};
    int error = ::fstat(fd_, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode))
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (error != 0) {
        Cerrar_Archivo();
        throw AccessFailure("abrir", path_, error);
    }
}

void LocalTextFile::Crear_Archivo() {
    Open(O_WRONLY | O_CREAT | O_TRUNC, Mode::Writing);
}

void LocalTextFile::Open(int flags, Mode mode) {
    Cerrar_Archivo();
    if (path_.empty()) {
        throw Failure(kBadFileName, kSource,
                      "Nombre o número de archivo incorrecto: no se indicó la ubicación del "
                      "archivo");
    }
    int fd;
    do {
        fd = ::open(path_.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            if (mode == Mode::Reading) {
                throw Failure(failure_number::kFileNotFound, kSource,
                              "No se encontró el archivo " + path_);
            }
            throw Failure(failure_number::kPathNotFound, kSource,
                          "No se encontró la ruta de acceso del archivo " + path_);
        }
        throw AccessFailure(mode == Mode::Reading ? "abrir" : "crear", path_, error);
    }
    fd_ = fd;
    mode_ = mode;
    openPath_ = path_;
}

void LocalTextFile::RequireOpen(Mode mode) const {
    const char* operation = mode == Mode::Reading ? "leer" : "escribir";
    if (mode_ == Mode::Closed) {
        throw Failure(kBadFileName, kSource,
                      std::string("Nombre o número de archivo incorrecto: no hay un archivo "
                                  "abierto para ") +
                          operation + " (" + path_ + ")");
    }
    if (mode_ != mode) {
        throw Failure(kBadFileMode, kSource,
                      std::string("Modo de archivo incorrecto: el archivo ") + openPath_ +
                          " no está abierto para " + operation);
    }
}

std::string LocalTextFile::LeerTodo() {
    RequireOpen(Mode::Reading);
    // Converted as it is read, a piece at a time: the file's bytes are never held beside the
    // text, which a large items file would double.
    std::string text;
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_size > 0)
        text.reserve(static_cast<std::size_t>(info.st_size) +
                     static_cast<std::size_t>(info.st_size) / 16);
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw AccessFailure("leer", openPath_, errno);
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i)
            text::AppendUtf8(text, static_cast<unsigned char>(buffer[i]));
    }
    return text;
}

void LocalTextFile::Escribir(const std::string& text) {
    RequireOpen(Mode::Writing);
    // A piece at a time, so that a large text is not copied whole once more.
    constexpr std::size_t kPiece = 64 * 1024;
    const std::string_view all(text);
    for (std::size_t at = 0; at < all.size();) {
        std::size_t length = std::min(kPiece, all.size() - at);
        if (at + length < all.size())
            length = std::max<std::size_t>(text::WholeUtf8Prefix(all.substr(at, length)), 1);
        WriteBytes(text::Utf8ToLatin1(all.substr(at, length)));
        at += length;
    }
}

void LocalTextFile::WriteBytes(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw AccessFailure("escribir", openPath_, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void LocalTextFile::Cerrar_Archivo() {
    if (mode_ == Mode::Closed)
        return;
    const int fd = fd_;
    const Mode mode = mode_;
    fd_ = -1;
    mode_ = Mode::Closed;
    // Some file systems report a failed write only when the file is closed.
    if (::close(fd) != 0 && mode == Mode::Writing && errno != EINTR) {
        throw AccessFailure("escribir", openPath_, errno);
    }
}

}  // namespace tolvane::components
