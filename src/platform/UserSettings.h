#pragma once

#include <string>

#include "platform/Platform.h"

namespace tolvane::platform {

// The per-user settings store that programs share, as Windows keeps it: text values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, over any
// registry.

// Throws a Failure (5) when the application or the section is empty, or when the value cannot
// be stored; `where` names the store in that message.
void SaveUserSetting(Registry& registry, const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value, const std::string& where);

// `defaultValue` when the key, its value or a text in it is missing.
std::string GetUserSetting(Registry& registry, const std::string& application,
                           const std::string& section, const std::string& key,
                           const std::string& defaultValue);

}  // namespace tolvane::platform
