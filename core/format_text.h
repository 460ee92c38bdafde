#pragma once
#include <cstddef>

// The bounded printf-style formatter through which every path, key value and message is built.
// Always terminates. Returns the number of bytes stored when the whole text fitted, -1 when it
// was cut (the cut text holds its first size - 1 bytes).
int FormatText(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

// The size of every fixed path buffer: 259 bytes of text plus the terminator.
constexpr size_t kPathSize = 260;
