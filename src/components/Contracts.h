#pragma once

// What the program requires of the in-house components it creates by name. Every operation
// reports failure by throwing tolvane::Failure; callers never test a result for failure.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "common/DateTime.h"

namespace tolvane::components {

class Component {
  public:
    virtual ~Component() = default;
};

// "Pellam.Disk": questions about folders and files, whole-file copies and deletions.
class Disk : public Component {
  public:
    virtual bool ExisteCarpeta(const std::string& folder) = 0;
    virtual bool ExisteArchivo(const std::string& path) = 0;
    // `overwrite` is always true in the program: a file of the same name is replaced.
    virtual void CopiarArchivo(const std::string& source, const std::string& destination,
                               bool overwrite) = 0;
    virtual void EliminarArchivo(const std::string& path, bool force) = 0;
    virtual std::string getDirectorioProgramFiles() = 0;
};

// "Pellam.TextFile": one ISO-8859-1 text file at a time, seen as UTF-8 by the program.
class TextFile : public Component {
  public:
    virtual void setUbicacion_Archivo(const std::string& path) = 0;
    virtual void Abrir_Archivo(int mode) = 0;
    virtual std::string LeerTodo() = 0;
    virtual void Crear_Archivo() = 0;
    virtual void Escribir(const std::string& text) = 0;
    virtual void Cerrar_Archivo() = 0;
};

using DbDate = DateTime;

// One column of the current row: null, text, a whole number, a real number or a date.
using DbValue = std::variant<std::monostate, std::string, std::int64_t, double, DbDate>;

class RecordSet {
  public:
    virtual ~RecordSet() = default;
    // The column of the current row, found by name without regard to case.
    virtual DbValue Field(const std::string& column) const = 0;
};

class Connection {
  public:
    virtual ~Connection() = default;
    virtual void setSQL(std::string statement) = 0;
    // Runs the statement as a query; true when at least one row came back, the record set
    // then standing on the first row.
    virtual bool CrearRs(std::unique_ptr<RecordSet>& recordSet) = 0;
    virtual void ejecutar() = 0;
};

// "Quillon.Broker": the program's only road to its databases, by entity name.
class Broker : public Component {
  public:
    virtual void setParametersPath(const std::string& path) = 0;
    virtual void LoadParameters() = 0;
    // The same object for the same entity name, for the life of the broker.
    virtual Connection& getDataConnectionByEntity(const std::string& entity) = 0;
};

// "Sorvik.Uploader": sends the files named in one "|"-joined text to the server.
class Uploader : public Component {
  public:
    virtual void setSERVIDOR(const std::string& server) = 0;
    virtual void setUSUARIO(const std::string& user) = 0;
    virtual void setPassword(const std::string& password) = 0;
    virtual void setdirectorio(const std::string& folder) = 0;
    virtual void setautomatico(bool automatic) = 0;
    // A PEM file of authorities trusted for the server besides the system's; empty for none.
    // Uploaders that use no certificates ignore it.
    virtual void setCertificados(const std::string& /*pemFile*/) {}
    virtual bool SubirArchivo(const std::string& joinedPaths) = 0;
};

}  // namespace tolvane::components
