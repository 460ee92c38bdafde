#pragma once
#include <cstddef>

// Shared by both platform files: how many of `count` bytes the write-fault seam lets through.
size_t WriteFaultAllowance(size_t count);
