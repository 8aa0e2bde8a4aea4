#pragma once

#include <string>
#include <string_view>

namespace tolvane::platform {

// The 32-byte SHA-256 digest of the bytes, from the system's (or its usual library's) crypto.
std::string Sha256(std::string_view bytes);

}  // namespace tolvane::platform
