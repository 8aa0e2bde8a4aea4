#include <openssl/sha.h>

#include "platform/Digest.h"

namespace tolvane::platform {

std::string Sha256(std::string_view bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

}  // namespace tolvane::platform
