#pragma once
#include <cstddef>

// Shared by both platform files: how many of `count` bytes the fault seams let through.
size_t WriteFaultAllowance(size_t count);
// Called with the bytes a read got; false when the read seam makes that read fail.
bool ReadFaultAllows(size_t done);
