#include "platform/linux/LinuxRegistry.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/Text.h"
#include "common/Version.h"
#include "platform/FileServices.h"
#include "platform/linux/PosixFile.h"

namespace tolvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr long kErrorKeyDeleted = 1018;
constexpr std::string_view kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kDesktopSuffix = ".desktop";

std::string_view RootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
    }
    return {};
}

// The path without empty components, so that "A\\B\" names the key A\B.
std::string NormalizedKeyPath(std::string_view subKey) {
    std::string out;
    while (!subKey.empty()) {
        const std::size_t slash = subKey.find('\\');
        const std::string_view part = subKey.substr(0, slash);
        if (!part.empty())
            out.append(out.empty() ? "" : "\\").append(part);
        subKey.remove_prefix(slash == std::string_view::npos ? subKey.size() : slash + 1);
    }
    return out;
}

// Desktop entry values escape backslashes and control characters; a leading blank would be
// dropped by readers.
std::string EscapeDesktopString(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        switch (s[i]) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out.push_back(s[i]);
        }
    }
    return out;
}

std::string UnescapeDesktopString(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        switch (s[++i]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                out.push_back('\\');
                out.push_back(s[i]);
        }
    }
    return out;
}

// One argument of an Exec line: '%' doubled (it starts field codes), and the whole put in
// double quotes, with the characters that stay special inside them escaped, when it holds any
// character that the launcher would otherwise split on or interpret.
std::string DesktopExecFor(std::string_view program) {
    std::string argument = text::ReplaceAll(program, "%", "%%");
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    if (argument.empty() || argument.find_first_of(kReserved) != std::string::npos) {
        std::string quoted = "\"";
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted.push_back('\\');
            quoted.push_back(c);
        }
        argument = quoted + "\"";
    }
    return EscapeDesktopString(argument);
}

// An Exec line made of one quoted argument gives that argument; any other line is taken as
// the command itself.
std::string ProgramOfDesktopExec(std::string_view exec) {
    std::string command = UnescapeDesktopString(exec);
    if (command.size() >= 2 && command.front() == '"') {
        std::string argument;
        std::size_t i = 1;
        for (; i < command.size() && command[i] != '"'; ++i) {
            if (command[i] == '\\' && i + 1 < command.size())
                ++i;
            argument.push_back(command[i]);
        }
        if (i + 1 == command.size())
            command = argument;
    }
    return text::ReplaceAll(command, "%%", "%");
}

std::string ExecOfDesktopEntry(std::string_view content) {
    bool inMainGroup = false;
    while (!content.empty()) {
        const std::size_t newline = content.find('\n');
        std::string_view line = content.substr(0, newline);
        content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inMainGroup && equals != std::string_view::npos &&
            text::TrimBlanks(line.substr(0, equals)) == "Exec") {
            return std::string(text::TrimBlanks(line.substr(equals + 1)));
        }
    }
    return {};
}

bool IsUsableFileName(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// The entry of that value name: the file of exactly that name, else one whose name differs
// only in case (value names ignore case); empty when there is none.
std::string FindDesktopFile(const std::string& folder, std::string_view name) {
    const std::string fileName = std::string(name) + std::string(kDesktopSuffix);
    std::error_code error;
    if (fs::is_regular_file(folder + "/" + fileName, error))
        return folder + "/" + fileName;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (text::EqualsNoCase(it->path().filename().string(), fileName)) {
            return it->path().string();
        }
    }
    return {};
}

// The registry files hold the upload password in clear: only their owner may read them,
// whatever mode a file edited by hand had. Every tick saves the same four settings, so a file
// that already says it all is left alone rather than written and flushed again.
bool WriteRootFile(const std::string& file, const std::string& content) {
    constexpr mode_t kPrivate = 0600;
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0 && (info.st_mode & 07777) == kPrivate) {
        const auto current = ReadWholeFile(file);
        if (current && *current == content)
            return true;
    }
    return posix::ReplaceFile(file, content, kPrivate, posix::FileMode::Exactly);
}

}  // namespace

LinuxRegistry::LinuxRegistry(std::string registryDir, std::string autostartDir)
    : registryDir_(std::move(registryDir)), autostartDir_(std::move(autostartDir)) {}

std::string LinuxRegistry::RootFile(RegistryRoot root) const {
    return registryDir_ + "/" + std::string(RootName(root)) + ".reg";
}

RegistryKey LinuxRegistry::Register(OpenedKey opened) {
    const RegistryKey key = nextKey_++;
    keys_.emplace(key, std::move(opened));
    return key;
}

std::optional<RegDocument> LinuxRegistry::Load(RegistryRoot root) const {
    const auto bytes = ReadWholeFile(RootFile(root));
    if (bytes)
        return ParseRegFile(*bytes);
    if (errno == ENOENT || errno == ENOTDIR)
        return RegDocument{};
    return std::nullopt;
}

long LinuxRegistry::OpenKey(RegistryRoot root, const std::string& subKey, std::uint32_t access,
                            RegistryKey& key) {
    key = 0;
    const std::string_view rootName = RootName(root);
    if (rootName.empty())
        return kErrorInvalidHandle;
    const std::string path = NormalizedKeyPath(subKey);
    const std::string fullPath = std::string(rootName) + (path.empty() ? "" : "\\" + path);
    const bool autostart = root == RegistryRoot::LocalMachine && text::EqualsNoCase(path, kRunKey);
    if (autostart) {
        // A fresh user has no autostart folder: opened to write, the key stands for one made now
        // (on Windows the Run key is always there).
        std::error_code error;
        const bool writing = (access & ~kKeyRead) != 0;
        if (!fs::is_directory(autostartDir_, error) &&
            !(writing && posix::MakeFolders(autostartDir_, 0700)))
            return kErrorFileNotFound;
    } else if (!path.empty()) {
        const auto document = Load(root);
        if (!document)
            return kErrorAccessDenied;
        if (!RegKeyExists(*document, fullPath))
            return kErrorFileNotFound;
    }
    key = Register({root, fullPath, autostart});
    return kSuccess;
}

long LinuxRegistry::CreateKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) {
    key = 0;
    const std::string_view rootName = RootName(root);
    if (rootName.empty())
        return kErrorInvalidHandle;
    const std::string path = NormalizedKeyPath(subKey);
    const std::string fullPath = std::string(rootName) + (path.empty() ? "" : "\\" + path);
    const bool autostart = root == RegistryRoot::LocalMachine && text::EqualsNoCase(path, kRunKey);
    if (autostart) {
        if (!posix::MakeFolders(autostartDir_, 0777))
            return kErrorAccessDenied;
    } else if (!path.empty()) {
        if (!posix::MakeFolders(registryDir_, 0700))
            return kErrorAccessDenied;
        const posix::FolderLock lock(registryDir_);
        auto document = Load(root);
        if (!document)
            return kErrorAccessDenied;
        if (!RegKeyExists(*document, fullPath)) {
            EnsureRegKey(*document, fullPath);
            if (!WriteRootFile(RootFile(root), SerializeRegFile(*document))) {
                return kErrorAccessDenied;
            }
        }
    }
    key = Register({root, fullPath, autostart});
    return kSuccess;
}

long LinuxRegistry::QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                               std::uint32_t& size, std::string* data) {
    const auto opened = keys_.find(key);
    if (opened == keys_.end())
        return kErrorInvalidHandle;
    std::uint32_t foundType = 0;
    std::string bytes;
    if (opened->second.autostart) {
        if (const long status = QueryAutostart(name, foundType, bytes); status != kSuccess) {
            return status;
        }
    } else {
        auto document = Load(opened->second.root);
        if (!document)
            return kErrorAccessDenied;
        const RegSection* section = FindRegSection(*document, opened->second.fullPath);
        const RegEntry* value = section ? FindRegValue(*section, name) : nullptr;
        if (!value)
            return kErrorFileNotFound;
        foundType = value->type;
        bytes = value->data;
    }
    type = foundType;
    return DeliverValue(std::move(bytes), size, data);
}

long LinuxRegistry::SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                             const std::string& data) {
    const auto opened = keys_.find(key);
    if (opened == keys_.end())
        return kErrorInvalidHandle;
    if (opened->second.autostart)
        return SetAutostart(name, type, data);
    const std::string& fullPath = opened->second.fullPath;
    if (!posix::MakeFolders(registryDir_, 0700))
        return kErrorAccessDenied;
    const posix::FolderLock lock(registryDir_);
    auto document = Load(opened->second.root);
    if (!document)
        return kErrorAccessDenied;
    const bool isRoot = fullPath.find('\\') == std::string::npos;
    if (!isRoot && !RegKeyExists(*document, fullPath))
        return kErrorKeyDeleted;
    // Every tick stores the upload settings again: a value that is already so is not written
    // (nor flushed to disk) once more.
    const std::string before = SerializeRegFile(*document);
    SetRegValue(EnsureRegKey(*document, fullPath), name, type, data);
    std::string after = SerializeRegFile(*document);
    if (after == before)
        return kSuccess;
    return WriteRootFile(RootFile(opened->second.root), std::move(after)) ? kSuccess
                                                                          : kErrorAccessDenied;
}

long LinuxRegistry::CloseKey(RegistryKey key) {
    return keys_.erase(key) == 1 ? kSuccess : kErrorInvalidHandle;
}

long LinuxRegistry::QueryAutostart(const std::string& name, std::uint32_t& type,
                                   std::string& bytes) const {
    if (!IsUsableFileName(name))
        return kErrorFileNotFound;
    const std::string file = FindDesktopFile(autostartDir_, name);
    if (file.empty())
        return kErrorFileNotFound;
    const auto content = ReadWholeFile(file);
    if (!content)
        return kErrorAccessDenied;
    type = kRegSz;
    bytes = ProgramOfDesktopExec(ExecOfDesktopEntry(*content));
    bytes.push_back('\0');
    return kSuccess;
}

long LinuxRegistry::SetAutostart(const std::string& name, std::uint32_t type,
                                 std::string_view data) const {
    if (type != kRegSz || !IsUsableFileName(name))
        return kErrorInvalidParameter;
    std::error_code error;
    if (!fs::is_directory(autostartDir_, error))
        return kErrorKeyDeleted;
    std::string file = FindDesktopFile(autostartDir_, name);
    if (file.empty())
        file = autostartDir_ + "/" + name + std::string(kDesktopSuffix);
    // The file keeps the value's name, by which it is found again; a desktop shows the
    // program's, and ignores the entry once its program is gone (TryExec).
    const std::string_view program = data.substr(0, data.find('\0'));
    const std::string content =
        "[Desktop Entry]\nType=Application\nName=" + std::string(version::kTitle) +
        "\nComment=Sends the customs kit's dispatches to the office's server and backs them up"
        "\nComment[es]=Envía los despachos del kit de aduana al servidor de la oficina y los "
        "respalda"
        "\nIcon=tolvane\nTryExec=" +
        EscapeDesktopString(program) + "\nExec=" + DesktopExecFor(program) +
        "\nX-GNOME-Autostart-enabled=true\n";
    return posix::ReplaceFile(file, content, 0666) ? kSuccess : kErrorAccessDenied;
}

}  // namespace tolvane::platform
