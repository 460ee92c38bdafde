#include "core/paths.h"

#include <algorithm>
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

// The counter goes on across calls, so successive saves rarely try a taken name first.
FileHandle CreateTemporaryBeside(const char* target, std::string* temporary)
{
    constexpr size_t kLongestPath = 259;
    static unsigned counter = 0;
    size_t cut = PathComponentOffset(target);
    size_t room = cut < kLongestPath ? kLongestPath - cut : 1;
    const char* prefix = room >= 11 ? "~pw" : room >= 2 ? "~" : "";
    const char* suffix = room >= 11 ? ".tmp" : "";
    int digits = room >= 11 ? 4 : static_cast<int>(std::min<size_t>(room >= 2 ? room - 1 : 1, 4));
    unsigned names = 1u << (4 * digits);
    for (unsigned tried = 0; tried < names; ++tried) {
        char name[16];
        FormatText(name, sizeof name, "%s%0*x%s", prefix, digits, ++counter % names, suffix);
        if (SamePath(name, target + cut))
            continue;
        *temporary = std::string(target, cut) + name;
        FileHandle file = CreateNewForWrite(temporary->c_str());
        if (file != kInvalidFile || !PathExists(temporary->c_str()))
            return file;
    }
    return kInvalidFile;
}
