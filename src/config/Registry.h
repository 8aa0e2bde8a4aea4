#pragma once

// Reading and writing single registry values of type 1 (text) and 4 (32-bit number).

#include <cstdint>
#include <string>
#include <variant>

#include "platform/Platform.h"

namespace tolvane::config {

// What a registry read gives: nothing, a text, or a whole number.
using RegValue = std::variant<std::monostate, std::string, std::int32_t>;

// The value's text form: nothing is empty text, a number its decimal digits.
std::string RegValueText(const RegValue& value);

// Queries one value of an open key into `value` (left empty unless the read succeeds).
// Returns 0, the platform's status when the value cannot be queried, or -1 for a type that
// is neither 1 nor 4.
long ConsultarValor(platform::Registry& registry, platform::RegistryKey key,
                    const std::string& valueName, RegValue& value);

// Stores `value` under `valueName` as type 1 (its text) or type 4 (converted to a 32-bit
// number). Returns the platform's status.
long AsignarValor(platform::Registry& registry, platform::RegistryKey key,
                  const std::string& valueName, std::uint32_t type, const RegValue& value);

RegValue LeerRegistro(platform::Registry& registry, platform::RegistryRoot root,
                      const std::string& subKey, const std::string& valueName);

// The key must exist: it is opened, never created. True when the value was stored.
bool EscribirRegistro(platform::Registry& registry, platform::RegistryRoot root,
                      const std::string& subKey, const std::string& valueName,
                      const RegValue& value, std::uint32_t type);

}  // namespace tolvane::config
