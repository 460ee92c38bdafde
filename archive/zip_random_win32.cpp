#include <windows.h>
#include <ntsecapi.h>

#include "archive/zip_crypt.h"

// RtlGenRandom (advapi32's SystemFunction036) is the system's cryptographic generator and needs
// no provider handle.
bool SystemRandomBytes(void* buffer, size_t size)
{
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ULONG chunk = size > 0x10000 ? 0x10000 : static_cast<ULONG>(size);
        if (!RtlGenRandom(bytes, chunk))
            return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}
