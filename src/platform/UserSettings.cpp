#include "platform/UserSettings.h"

#include <cstdint>
#include <limits>

#include "common/Failure.h"

namespace tolvane::platform {
namespace {

std::string SettingsKeyPath(const std::string& application, const std::string& section) {
    return "Software\\VB and VBA Program Settings\\" + application + "\\" + section;
}

}  // namespace

void SaveUserSetting(Registry& registry, const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value, const std::string& where) {
    if (application.empty() || section.empty()) {
        throw Failure(failure_number::kInvalidProcedureCall, "Tolvane",
                      "No se puede guardar la configuración \"" + key +
                          "\": faltan la aplicación o la sección");
    }
    ScopedKey handle(registry);
    long status = registry.CreateKey(RegistryRoot::CurrentUser,
                                     SettingsKeyPath(application, section), handle.out());
    if (status == kSuccess)
        status = registry.SetValue(handle.get(), key, kRegSz, value + '\0');
    if (status != kSuccess) {
        throw Failure(failure_number::kInvalidProcedureCall, "Tolvane",
                      "No se puede guardar la configuración " + application + "\\" + section +
                          "\\" + key + " en " + where);
    }
}

std::string GetUserSetting(Registry& registry, const std::string& application,
                           const std::string& section, const std::string& key,
                           const std::string& defaultValue) {
    ScopedKey handle(registry);
    if (registry.OpenKey(RegistryRoot::CurrentUser, SettingsKeyPath(application, section),
                         kKeyAllAccessButDelete, handle.out()) != kSuccess) {
        return defaultValue;
    }
    std::uint32_t type = 0;
    std::uint32_t size = std::numeric_limits<std::uint32_t>::max();
    std::string data;
    const long status = registry.QueryValue(handle.get(), key, type, size, &data);
    if (status != kSuccess || type != kRegSz)
        return defaultValue;
    return data.substr(0, data.find('\0'));
}

}  // namespace tolvane::platform
