#pragma once

// The services of the operating system that the program uses, behind one interface: the
// Linux backend emulates the Windows ones (registry, private profile files, per-user settings
// store); a Win32 backend can sit beside it and call the real functions.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/DateTime.h"

namespace tolvane::platform {

enum class RegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
};

using RegistryKey = std::uintptr_t;  // 0 stands for a key that could not be opened

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kKeyAllAccessButDelete = 0x3F;
inline constexpr std::uint32_t kKeyRead = 0x20019;

// Status codes, as the platform numbers them.
inline constexpr long kSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorMoreData = 234;

// The end of QueryValue in every backend: the value's bytes into `data` when the room
// announced in `size` holds them (kErrorMoreData otherwise), and their size.
inline long DeliverValue(std::string bytes, std::uint32_t& size, std::string* data) {
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (data != nullptr) {
        if (size < needed) {
            size = needed;
            return kErrorMoreData;
        }
        *data = std::move(bytes);
    }
    size = needed;
    return kSuccess;
}

class Registry {
  public:
    virtual ~Registry() = default;

    // Opens an existing key; a missing key gives kErrorFileNotFound and key 0. Key paths and
    // value names match without regard to case.
    virtual long OpenKey(RegistryRoot root, const std::string& subKey, std::uint32_t access,
                         RegistryKey& key) = 0;
    // Opens a key, creating it and its missing parents.
    virtual long CreateKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) = 0;
    // The value's type and size in bytes (a string's size counts its terminating NUL). With
    // `data` given, `size` is the room available on entry; the bytes are put into `data`
    // (kErrorMoreData when the room is too small).
    virtual long QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                            std::uint32_t& size, std::string* data) = 0;
    // Stores raw bytes: for a string, its UTF-8 text and the terminating NUL; for a number,
    // four bytes, least significant first.
    virtual long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                          const std::string& data) = 0;
    virtual long CloseKey(RegistryKey key) = 0;
    // Where a root's keys are kept, as a clerk would look for them.
    virtual std::string Location(RegistryRoot root) const = 0;
};

// A key open in a registry, closed with its owner. Filled by OpenKey or CreateKey through
// `out()`; a key that could not be opened (0) is not closed.
class ScopedKey {
  public:
    explicit ScopedKey(Registry& registry) : registry_(registry) {}
    ~ScopedKey() {
        if (key_ != 0)
            registry_.CloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    RegistryKey& out() { return key_; }
    RegistryKey get() const { return key_; }

  private:
    Registry& registry_;
    RegistryKey key_ = 0;
};

// What the program needs to know of a file to tell whether it changed, read without following
// a symbolic link.
struct FileState {
    enum class Kind { Missing, Regular, Link, Folder, Pipe, Other };

    Kind kind = Kind::Missing;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // nanoseconds since the epoch
    // When the file itself last changed (its content or its record, the modification time
    // included), which no program can set back: a rewrite that restores the modification
    // time still shows here.
    std::int64_t changedNs = 0;
    std::uint64_t identity = 0;  // the file system's number for the file: a replacement differs

    bool operator==(const FileState&) const = default;
};

// An exclusive claim on a folder, seen by every program and computer that uses the folder;
// released when the object goes, which also takes its lock file away.
class FolderClaim {
  public:
    virtual ~FolderClaim() = default;
};

class Platform {
  public:
    virtual ~Platform() = default;

    virtual Registry& registry() = 0;

    // Private profile files with the platform's rules: names compared without regard to case,
    // blanks trimmed, one pair of enclosing quotes removed, at most 254 characters.
    virtual std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                                const std::string& defaultValue,
                                                const std::string& file) = 0;
    // Replaces the key's line or adds it, creating the file and the section when missing;
    // every other line stays. False when the file could not be written.
    virtual bool WritePrivateProfileString(const std::string& section, const std::string& key,
                                           const std::string& value, const std::string& file) = 0;

    // The per-user settings store shared with other programs. Saving throws a Failure when
    // the store cannot be written.
    virtual void SaveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
    virtual std::string GetSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;

    // The logon name of the user who runs the program; nothing when the platform has none.
    virtual std::optional<std::string> LogonName() = 0;

    // Claims this user's single instance; true when another instance already holds it. The
    // claim lasts as long as the process.
    virtual bool PreviousInstanceRunning() = 0;

    // Folder of the program's executable, without a final separator.
    virtual std::string ProgramFolder() = 0;
    // File name of the program's executable.
    virtual std::string ExecutableName() = 0;
    // What starts the program, as the start-at-logon entry names it: the executable in the
    // program's folder.
    virtual std::string ProgramPath() {
        return ProgramFolder() + PathSeparator() + ExecutableName();
    }
    // The system's folder for installed programs.
    virtual std::string ProgramFilesFolder() = 0;

    virtual char PathSeparator() const = 0;
    // The line end of the platform's text files.
    virtual const char* LineEnd() const = 0;
    // The local date and time now, to the second.
    virtual DateTime LocalNow() = 0;
    // Where the activity log's day files go: $TOLVANE_REGISTRO, else registro/ in the user's
    // state folder (~/.local/state/tolvane, %LOCALAPPDATA%\Tolvane).
    virtual std::string ActivityLogFolder() = 0;
    // The user's list of trusted SSH host keys (OpenSSH's known_hosts in the user's home).
    virtual std::string KnownHostsFile() = 0;
    // Whether the program itself keeps the kit folder's registry value: on Windows the kit
    // writes it; on Linux no kit does, and the program's own command and settings window do.
    virtual bool OwnsKitFolderValue() const = 0;

    // The file as it is now; a missing file or one that cannot be examined is Missing.
    virtual FileState Examine(const std::string& path) = 0;

    // Points the ODBC driver manager at the driver list installed beside the program (its
    // drivers' logs all off) unless the environment names another one; called before the first
    // connection. Nothing where drivers are registered with the system itself.
    virtual void UseProgramOdbcDrivers() = 0;

    // Gives memory that the program has freed back to the system: after a large dispatch the
    // allocator would otherwise keep it for the rest of the process.
    virtual void ReturnFreeMemory() = 0;

    // Claims the folder for this process; nothing when another process holds it. Throws a
    // Failure when the claim cannot be made (a folder that refuses the lock file).
    virtual std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) = 0;

    // The platform's date recognition under the user's regional settings: the date a text
    // stands for, or nothing when it is no date.
    virtual std::optional<DateTime> RecognizeDate(const std::string& text) = 0;
    // The general date form: the user's short date, with the time only when not midnight.
    virtual std::string GeneralDate(const DateTime& value) = 0;
};

// The backend of the platform the program was built for, configured from the environment.
std::unique_ptr<Platform> CreatePlatform();

}  // namespace tolvane::platform
