#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/Platform.h"
#include "platform/linux/RegFile.h"

namespace tolvane::platform {

// The registry of Windows, emulated: each root is a file of the registry editor's text export
// format in `registryDir` (HKEY_LOCAL_MACHINE.reg, ...), read again at every operation since
// other processes may change it, and replaced as a whole at every write. The machine's Run key
// stands for the desktop's autostart folder: each string value is a NAME.desktop entry there.
class LinuxRegistry final : public Registry {
  public:
    LinuxRegistry(std::string registryDir, std::string autostartDir);

    long OpenKey(RegistryRoot root, const std::string& subKey, std::uint32_t access,
                 RegistryKey& key) override;
    long CreateKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) override;
    long QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                    std::uint32_t& size, std::string* data) override;
    long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                  const std::string& data) override;
    long CloseKey(RegistryKey key) override;
    std::string Location(RegistryRoot root) const override { return RootFile(root); }

    // The file that holds the root.
    std::string RootFile(RegistryRoot root) const;

  private:
    struct OpenedKey {
        RegistryRoot root;
        std::string fullPath;  // root name included
        bool autostart;
    };

    RegistryKey Register(OpenedKey opened);
    // Nothing when the file exists but cannot be read; a missing file is an empty root.
    std::optional<RegDocument> Load(RegistryRoot root) const;
    long QueryAutostart(const std::string& name, std::uint32_t& type, std::string& bytes) const;
    long SetAutostart(const std::string& name, std::uint32_t type, std::string_view data) const;

    std::string registryDir_;
    std::string autostartDir_;
    std::unordered_map<RegistryKey, OpenedKey> keys_;
    RegistryKey nextKey_ = 1;
};

}  // namespace tolvane::platform
