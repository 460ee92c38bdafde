#include <sys/random.h>

#include <cerrno>

#include "archive/zip_crypt.h"

bool SystemRandomBytes(void* buffer, size_t size)
{
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t done = getrandom(bytes, size, 0);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}
