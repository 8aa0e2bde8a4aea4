#include "platform/win32/WindowsHeaders.h"
// After windows.h:
#include <bcrypt.h>

#include "platform/Digest.h"

namespace tolvane::platform {

std::string Sha256(std::string_view bytes) {
    std::string digest(32, '\0');
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return digest;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        // The data is only read; the API has no const pointer for it.
        ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                         static_cast<ULONG>(bytes.size()), 0);
        ::BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()),
                           static_cast<ULONG>(digest.size()), 0);
        ::BCryptDestroyHash(hash);
    }
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    return digest;
}

}  // namespace tolvane::platform
