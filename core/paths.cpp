#include "core/paths.h"

#include <cstring>

#include "core/format_text.h"
#include "core/strings.h"

size_t PathComponentOffset(const char* path)
{
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        unsigned char byte = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(byte)) {
            if (path[i + 1] == '\0')
                break;
            ++i;
        } else if (byte == '\\' || byte == '/' || byte == ':') {
            start = i + 1;
        }
    }
    return start;
}

bool EndsWithSeparator(const char* path)
{
    size_t length = strlen(path);
    return length > 0 && PathComponentOffset(path) == length;
}

bool JoinPath(char* buffer, size_t size, const char* directory, const char* name)
{
    if (EndsWithSeparator(directory))
        return FormatText(buffer, size, "%s%s", directory, name) >= 0;
    return FormatText(buffer, size, "%s%c%s", directory, kPathSeparator, name) >= 0;
}
