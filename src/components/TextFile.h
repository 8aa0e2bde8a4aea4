#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "components/Contracts.h"
#include "platform/FileServices.h"

namespace tolvane::components {

// "Pellam.TextFile": ISO-8859-1 files on disk, UTF-8 text for the program. Every byte read
// comes back unchanged when the text is written again; characters that ISO-8859-1 cannot hold
// are written as '?'. Failures carry the source "Pellam.TextFile".
class LocalTextFile final : public TextFile {
  public:
    LocalTextFile() = default;
    ~LocalTextFile() override = default;
    LocalTextFile(const LocalTextFile&) = delete;
    LocalTextFile& operator=(const LocalTextFile&) = delete;

    // Selects the file for the next Abrir_Archivo or Crear_Archivo; an open file stays open.
    void setUbicacion_Archivo(const std::string& path) override;
    // Mode 1 opens for reading; any other mode is refused (5).
    void Abrir_Archivo(int mode) override;
    // The rest of the open file, from where the last reading stopped.
    std::string LeerTodo() override;
    // Opens the file for writing; it takes its name, replacing an existing one, when closed.
    // A name held by a link, a pipe or a folder fails then (75), and is left alone.
    void Crear_Archivo() override;
    // Appends the text as it is: nothing is added after it. Called again, it goes on after
    // what the last call wrote, so a large text can be written in pieces.
    void Escribir(const std::string& text) override;
    // Closing with nothing open does nothing.
    void Cerrar_Archivo() override;

  private:
    enum class Mode { Closed, Reading, Writing };

    void Open(Mode mode);
    void RequireOpen(Mode mode) const;
    void WriteBytes(std::string_view bytes);

    std::string path_;      // the selected file
    std::string openPath_;  // the file open now, named in failures
    std::unique_ptr<platform::InputFile> input_;
    std::unique_ptr<platform::DurableFile> output_;
    Mode mode_ = Mode::Closed;
};

}  // namespace tolvane::components
