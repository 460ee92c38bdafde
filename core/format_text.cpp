#include "core/format_text.h"

#include <cstdarg>
#include <cstdio>

int FormatText(char* buffer, size_t size, const char* format, ...)
{
    if (buffer == nullptr || size == 0)
        return -1;
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(buffer, size, format, args);
    va_end(args);
    // Some C runtimes return -1 on a cut and leave the buffer unterminated; terminate in any case.
    buffer[size - 1] = '\0';
    if (needed < 0 || static_cast<size_t>(needed) >= size)
        return -1;
    return needed;
}
