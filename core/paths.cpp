#include "core/paths.h"

#include <cstring>

#include "core/file_io.h"
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

namespace {

unsigned char FoldPathByte(unsigned char byte)
{
    if (byte == '/')
        return '\\';
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

bool SamePath(const char* a, const char* b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (; *x != 0 && *y != 0; ++x, ++y) {
        if (IsLeadByte(*x)) {
            // A trail byte is compared as it stands: 0x5C after a lead byte is no separator.
            if (*x != *y || x[1] != y[1])
                return false;
            if (x[1] == 0)
                return true;
            ++x, ++y;
        } else if (FoldPathByte(*x) != FoldPathByte(*y)) {
            return false;
        }
    }
    return *x == *y;
}

bool TemporaryPathBeside(const char* target, char* buffer, size_t size)
{
    size_t directory = PathComponentOffset(target);
    size_t room = strlen(target) - directory;
    if (directory >= size)
        return false;
    // "~pwNNNN.tmp" where it fits; beside a short name in a deep folder, as many hex digits as the
    // target's own name has bytes.
    static unsigned counter = 0;
    for (int tries = 0; tries < 256; ++tries) {
        unsigned n = ++counter;
        char name[32];
        if (room >= 11 || directory + 11 < size)
            FormatText(name, sizeof name, "~pw%04x.tmp", n & 0xFFFF);
        else if (room > 0)
            FormatText(name, sizeof name, "%0*x", static_cast<int>(room < 8 ? room : 8),
                       room < 8 ? n & ((1u << (4 * room)) - 1) : n);
        else
            return false;
        if (FormatText(buffer, size, "%.*s%s", static_cast<int>(directory), target, name) >= 0 &&
            !PathExists(buffer))
            return true;
    }
    return false;
}
