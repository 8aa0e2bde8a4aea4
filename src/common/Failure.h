#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tolvane {

// The one failure type of the program. Every procedure that traps failures raises a new
// Failure to its caller with its own number, a source that starts with
// "Procedure.module.Tolvane" followed by the caught source, and the caught description
// (sometimes extended with context).
class Failure : public std::exception {
  public:
    // What a failure concerns: something every item of work shares (a database, a server, a
    // folder, the disk), or only the item in hand (its file, its name, its values), which a
    // change to that item alone can cure.
    enum class Scope { Shared, Item };

    Failure(std::int32_t number, std::string source, std::string description,
            Scope scope = Scope::Shared);

    std::int32_t number() const noexcept { return number_; }
    Scope scope() const noexcept { return scope_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
    Scope scope_;
};

// Well-known numbers.
namespace failure_number {
inline constexpr std::int32_t kArchivarXML = 1119111;
inline constexpr std::int32_t kFormatFechaSQL = 1119111;
inline constexpr std::int32_t kGetFechaAltaById = 1119111;
inline constexpr std::int32_t kLeerINI = -2146102393;
inline constexpr std::int32_t kSubirArchivo = -2146102393;
inline constexpr std::int32_t kMoverArchivo = -2147218070;
inline constexpr std::int32_t kLoadXmlFailure = 11111;  // a kit file that is no (whole) document
// The runtime's own.
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kDivisionByZero = 11;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternal = 51;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kBadFileMode = 54;
inline constexpr std::int32_t kFileAlreadyExists = 58;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kInvalidPropertyValue = 380;
inline constexpr std::int32_t kCannotCreateComponent = 429;
}  // namespace failure_number

// "Procedure.module.Tolvane" → the prefix every composed source starts with.
std::string ProcedureSource(std::string_view procedure, std::string_view module);

// The failure in flight inside a catch block, whatever its type, as a Failure: a Failure as
// it is, a standard exception as an internal failure whose description is its message.
Failure CurrentFailure();

}  // namespace tolvane
