#include "platform/win32/WindowsRegistry.h"

#include "platform/win32/WindowsHeaders.h"

#include <array>
#include <vector>

#include "platform/win32/Wide.h"

namespace tolvane::platform::win32 {
namespace {

// What a RegistryKey stands for: one key, or the same key in the two views of the registry.
struct OpenedKey {
    std::array<HKEY, 2> views{};
};

OpenedKey* Opened(RegistryKey key) {
    return reinterpret_cast<OpenedKey*>(key);
}

HKEY RootKey(RegistryRoot root) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(root)) |
                                  (std::uintptr_t{0xFFFFFFFF} << 32));
}

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

RegistryKey Handle(OpenedKey* key) {
    return reinterpret_cast<RegistryKey>(key);
}

// A value's data from one key, as the interface gives it: UTF-8 text with its terminator for
// strings, the raw bytes otherwise.
long ReadValue(HKEY key, const std::wstring& name, std::uint32_t& type, std::string& bytes) {
    DWORD foundType = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &foundType, nullptr, &size);
    std::vector<BYTE> raw;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        raw.resize(size + sizeof(wchar_t));
        DWORD room = size;
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &foundType, raw.data(), &room);
        if (status == ERROR_SUCCESS) {
            size = room;
            break;
        }
        size = room;
    }
    if (status != ERROR_SUCCESS)
        return status;
    type = foundType;
    if (foundType == REG_SZ || foundType == REG_EXPAND_SZ) {
        std::wstring_view text(reinterpret_cast<const wchar_t*>(raw.data()),
                               size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.remove_suffix(1);
        bytes = Narrow(text) + '\0';
        type = REG_SZ;
    } else {
        bytes.assign(reinterpret_cast<const char*>(raw.data()), size);
    }
    return ERROR_SUCCESS;
}

}  // namespace

long WindowsRegistry::OpenKey(RegistryRoot root, const std::string& subKey, std::uint32_t access,
                              RegistryKey& key) {
    key = 0;
    const std::wstring path = Widen(subKey);
    auto opened = std::make_unique<OpenedKey>();
    LSTATUS status;
    if (root == RegistryRoot::LocalMachine && (access & kWriteRights) == 0) {
        std::size_t found = 0;
        status = ERROR_FILE_NOT_FOUND;
        for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
            HKEY handle = nullptr;
            status = ::RegOpenKeyExW(RootKey(root), path.c_str(), 0, KEY_READ | view, &handle);
            if (status == ERROR_SUCCESS)
                opened->views[found++] = handle;
        }
        if (found > 0)
            status = ERROR_SUCCESS;
    } else {
        // Written values go to the program's own view.
        status = ::RegOpenKeyExW(RootKey(root), path.c_str(), 0, static_cast<REGSAM>(access),
                                 &opened->views[0]);
    }
    if (status != ERROR_SUCCESS) {
        for (HKEY view : opened->views) {
            if (view != nullptr)
                ::RegCloseKey(view);
        }
        return status;
    }
    key = Handle(opened.release());
    return kSuccess;
}

long WindowsRegistry::CreateKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) {
    key = 0;
    auto opened = std::make_unique<OpenedKey>();
    const LSTATUS status =
        ::RegCreateKeyExW(RootKey(root), Widen(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &opened->views[0], nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    key = Handle(opened.release());
    return kSuccess;
}

long WindowsRegistry::QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                                 std::uint32_t& size, std::string* data) {
    if (key == 0)
        return kErrorInvalidHandle;
    const std::wstring wideName = Widen(name);
    long status = kErrorFileNotFound;
    std::string bytes;
    for (HKEY view : Opened(key)->views) {
        if (view == nullptr)
            continue;
        status = ReadValue(view, wideName, type, bytes);
        if (status != ERROR_FILE_NOT_FOUND)
            break;
    }
    if (status != ERROR_SUCCESS)
        return status;
    return DeliverValue(std::move(bytes), size, data);
}

long WindowsRegistry::SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                               const std::string& data) {
    if (key == 0 || Opened(key)->views[0] == nullptr)
        return kErrorInvalidHandle;
    const HKEY target = Opened(key)->views[0];
    const std::wstring wideName = Widen(name);
    if (type == kRegSz) {
        std::string_view text(data);
        while (!text.empty() && text.back() == '\0')
            text.remove_suffix(1);
        const std::wstring wide = Widen(text);
        return ::RegSetValueExW(target, wideName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(wide.c_str()),
                                static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    return ::RegSetValueExW(target, wideName.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
}

long WindowsRegistry::CloseKey(RegistryKey key) {
    if (key == 0)
        return kErrorInvalidHandle;
    const std::unique_ptr<OpenedKey> opened(Opened(key));
    for (HKEY view : opened->views) {
        if (view != nullptr)
            ::RegCloseKey(view);
    }
    return kSuccess;
}

std::string WindowsRegistry::Location(RegistryRoot root) const {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        default:
            return "HKEY_LOCAL_MACHINE";
    }
}

}  // namespace tolvane::platform::win32
