#include "core/write_fault.h"

#include <atomic>

#include "core/file_io.h"

namespace {
std::atomic<long long> g_bytesLeft{-1};
std::atomic<long long> g_readBytesLeft{-1};
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

void SetReadFaultAfterForTesting(long long bytes)
{
    g_readBytesLeft = bytes;
}

bool ReadFaultAllows(size_t done)
{
    long long left = g_readBytesLeft.load(std::memory_order_relaxed);
    if (left < 0)
        return true;
    // One read fails, then the seam is off again.
    if (static_cast<unsigned long long>(left) < done) {
        g_readBytesLeft = -1;
        return false;
    }
    g_readBytesLeft = left - static_cast<long long>(done);
    return true;
}
