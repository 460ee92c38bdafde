#include <windows.h>
#include <bcrypt.h>

#include "archive/zip_crypt.h"

// The system's cryptographic generator, the one CNG gives every program.
bool SystemRandomBytes(void* buffer, size_t size)
{
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ULONG chunk = size > 0x10000 ? 0x10000 : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}
