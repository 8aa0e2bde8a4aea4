#pragma once

#include "platform/Platform.h"

namespace tolvane::platform::win32 {

// The real registry, with text in UTF-8 for the program. Keys of HKEY_LOCAL_MACHINE opened only
// to read are opened with read access alone (a standard user may not open them for writing)
// and in both views: a value is looked for in the 32-bit one first, where the programs of
// 32-bit installers (the customs kit among them) keep theirs, then in the 64-bit one.
class WindowsRegistry final : public Registry {
  public:
    long OpenKey(RegistryRoot root, const std::string& subKey, std::uint32_t access,
                 RegistryKey& key) override;
    long CreateKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) override;
    long QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                    std::uint32_t& size, std::string* data) override;
    long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                  const std::string& data) override;
    long CloseKey(RegistryKey key) override;
    std::string Location(RegistryRoot root) const override;
};

}  // namespace tolvane::platform::win32
