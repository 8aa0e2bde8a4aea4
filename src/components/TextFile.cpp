#include "components/TextFile.h"

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

// A file that cannot be read is that file's own fault; a file that cannot be written, only when
// its name is what the system refuses (the disk or the folder are everyone's).
Failure AccessFailure(const std::string& what, const std::string& path, int error, bool reading) {
    // A link, a pipe or a folder at the name is the name's fault as well: it is left alone.
    const bool nameRefused = error == ENAMETOOLONG || error == EINVAL || error == EILSEQ ||
                             error == kErrorNotRegularFile;
    return Failure(failure_number::kPathFileAccess, kSource,
                   "No se pudo " + what + " el archivo " + path + ": " + SystemErrorText(error),
                   reading || nameRefused ? Failure::Scope::Item : Failure::Scope::Shared);
}

}  // namespace

void LocalTextFile::setUbicacion_Archivo(const std::string& path) {
    path_ = path;
}

void LocalTextFile::Abrir_Archivo(int mode) {
    if (mode != 1) {
        throw Failure(failure_number::kInvalidProcedureCall, kSource,
                      "Llamada a procedimiento o argumento no válido: el modo " +
                          std::to_string(mode) + " no sirve para abrir el archivo " + path_ +
                          " (solo el modo 1, lectura)");
    }
    Open(Mode::Reading);
}

void LocalTextFile::Crear_Archivo() {
    Open(Mode::Writing);
}

void LocalTextFile::Open(Mode mode) {
    Cerrar_Archivo();
    if (path_.empty()) {
        throw Failure(failure_number::kBadFileName, kSource,
                      "Nombre o número de archivo incorrecto: no se indicó la ubicación del "
                      "archivo");
    }
    int error;
    if (mode == Mode::Reading) {
        input_ = std::make_unique<platform::InputFile>(path_);
        error = input_->error();
    } else {
        // Written under a temporary name, which takes the file's name when it is closed: the
        // file is never seen half written, and never written through a link or into a pipe.
        output_ = std::make_unique<platform::DurableFile>(
            path_, "." + platform::NameOf(path_) + ".tolvane-tmp", 0666);
        error = output_->error();
    }
    if (error != 0) {
        input_.reset();
        output_.reset();
        if (error == ENOENT || error == ENOTDIR) {
            if (mode == Mode::Reading) {
                throw Failure(failure_number::kFileNotFound, kSource,
                              "No se encontró el archivo " + path_, Failure::Scope::Item);
            }
            throw Failure(failure_number::kPathNotFound, kSource,
                          "No se encontró la ruta de acceso del archivo " + path_);
        }
        throw AccessFailure(mode == Mode::Reading ? "abrir" : "crear", path_, error,
                            mode == Mode::Reading);
    }
    mode_ = mode;
    openPath_ = path_;
}

void LocalTextFile::RequireOpen(Mode mode) const {
    const char* operation = mode == Mode::Reading ? "leer" : "escribir";
    if (mode_ == Mode::Closed) {
        throw Failure(failure_number::kBadFileName, kSource,
                      std::string("Nombre o número de archivo incorrecto: no hay un archivo "
                                  "abierto para ") +
                          operation + " (" + path_ + ")");
    }
    if (mode_ != mode) {
        throw Failure(failure_number::kBadFileMode, kSource,
                      std::string("Modo de archivo incorrecto: el archivo ") + openPath_ +
                          " no está abierto para " + operation);
    }
}

std::string LocalTextFile::LeerTodo() {
    RequireOpen(Mode::Reading);
    // Converted as it is read, a piece at a time: the file's bytes are never held beside the
    // text, which a large items file would double.
    std::string text;
    const auto size = static_cast<std::size_t>(input_->size());
    text.reserve(size + size / 16);
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const std::int64_t got = input_->Read(buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0)
            throw AccessFailure("leer", openPath_, input_->error(), true);
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
    if (const int error = output_->Write(bytes))
        throw AccessFailure("escribir", openPath_, error, false);
}

void LocalTextFile::Cerrar_Archivo() {
    if (mode_ == Mode::Closed)
        return;
    mode_ = Mode::Closed;
    input_.reset();
    const std::unique_ptr<platform::DurableFile> output = std::move(output_);
    if (output != nullptr) {
        if (const int error = output->Replace())
            throw AccessFailure("escribir", openPath_, error, false);
    }
}

}  // namespace tolvane::components
