#include "config/Registry.h"

#include <cmath>
#include <limits>

#include "common/Failure.h"
#include "common/Numbers.h"

namespace tolvane::config {
namespace {

std::int32_t ToInt32(const RegValue& value) {
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return *number;
    const std::string text = RegValueText(value);
    const double parsed = LeadingNumber(text);
    if (text.find_first_not_of(" \t") == std::string::npos || (parsed == 0 && text != "0")) {
        throw Failure(failure_number::kTypeMismatch, "AsignarValor",
                      "No coinciden los tipos: \"" + text + "\" no es un número");
    }
    const double rounded = RoundHalfEven(parsed);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        throw Failure(failure_number::kOverflow, "AsignarValor", "Desbordamiento: " + text);
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace

std::string RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return std::to_string(*number);
    return {};
}

long ConsultarValor(platform::Registry& registry, platform::RegistryKey key,
                    const std::string& valueName, RegValue& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    long status = registry.QueryValue(key, valueName, type, size, nullptr);
    if (status != platform::kSuccess)
        return status;

    if (type == platform::kRegSz) {
        std::string buffer(size, '\0');
        status = registry.QueryValue(key, valueName, type, size, &buffer);
        // The stored terminator is dropped.
        if (status == platform::kSuccess)
            value = buffer.substr(0, size > 0 ? size - 1 : 0);
        return status;
    }
    if (type == platform::kRegDword) {
        std::string buffer(4, '\0');
        size = 4;
        status = registry.QueryValue(key, valueName, type, size, &buffer);
        if (status == platform::kSuccess) {
            std::uint32_t raw = 0;
            for (std::size_t i = 0; i < 4 && i < buffer.size(); ++i) {
                raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer[i])) << (8 * i);
            }
            value = static_cast<std::int32_t>(raw);
        }
        return status;
    }
    return -1;
}

long AsignarValor(platform::Registry& registry, platform::RegistryKey key,
                  const std::string& valueName, std::uint32_t type, const RegValue& value) {
    if (type == platform::kRegSz) {
        std::string data = RegValueText(value);
        data.push_back('\0');
        return registry.SetValue(key, valueName, type, data);
    }
    if (type == platform::kRegDword) {
        const auto raw = static_cast<std::uint32_t>(ToInt32(value));
        std::string data(4, '\0');
        for (std::size_t i = 0; i < 4; ++i)
            data[i] = static_cast<char>((raw >> (8 * i)) & 0xFF);
        return registry.SetValue(key, valueName, type, data);
    }
    return platform::kErrorInvalidParameter;
}

RegValue LeerRegistro(platform::Registry& registry, platform::RegistryRoot root,
                      const std::string& subKey, const std::string& valueName) {
    platform::ScopedKey key(registry);
    // A failed open leaves the handle 0, and the query on it then fails. Read access alone:
    // a standard user may read keys of the machine that it may not write.
    registry.OpenKey(root, subKey, platform::kKeyRead, key.out());
    RegValue value;
    ConsultarValor(registry, key.get(), valueName, value);
    return value;
}

bool EscribirRegistro(platform::Registry& registry, platform::RegistryRoot root,
                      const std::string& subKey, const std::string& valueName,
                      const RegValue& value, std::uint32_t type) {
    platform::ScopedKey key(registry);
    registry.OpenKey(root, subKey, platform::kKeyAllAccessButDelete, key.out());
    return AsignarValor(registry, key.get(), valueName, type, value) == platform::kSuccess;
}

}  // namespace tolvane::config
