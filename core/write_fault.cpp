#include "core/write_fault.h"

#include <atomic>

#include "core/file_io.h"

namespace {
std::atomic<long long> g_bytesLeft{-1};
}

void SetWriteFaultAfterForTesting(long long bytes)
{
    g_bytesLeft = bytes;
}

size_t WriteFaultAllowance(size_t count)
{
    long long left = g_bytesLeft.load();
    if (left < 0)
        return count;
    size_t allowed = static_cast<unsigned long long>(left) < count ? static_cast<size_t>(left) : count;
    g_bytesLeft = left - static_cast<long long>(allowed);
    return allowed;
}
