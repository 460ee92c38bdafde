#include "core/strings.h"

#include <cstring>

void StripQuotes(char* text)
{
    if (text == nullptr || text[0] != '"')
        return;
    size_t length = strlen(text);
    memmove(text, text + 1, length);  // the terminator moves along
    --length;
    if (length > 0 && text[length - 1] == '"')
        text[length - 1] = '\0';
}

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9F) || byte >= 0xE0;
}

bool IsTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

size_t WholeCharacterLength(const char* text)
{
    size_t i = 0;
    for (; text[i] != '\0'; ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (text[i + 1] == '\0')
                return i;
            ++i;
        }
    }
    return i;
}

int SplitTabFields(const char* line, const char** starts, int* lengths, int capacity)
{
    int count = 0;
    const char* p = line;
    if (p == nullptr || *p == '\0')
        return 0;
    for (;;) {
        const char* start = p;
        while (*p != '\0' && *p != '\t')
            ++p;
        if (count < capacity) {
            starts[count] = start;
            lengths[count] = static_cast<int>(p - start);
        }
        ++count;
        if (*p == '\t')
            ++p;
        if (*p == '\0')
            return count;
    }
}

void CopyField(const char* source, char* destination, size_t destinationSize, int length)
{
    if (destinationSize == 0)
        return;
    if (length < 0 || source == nullptr) {
        destination[0] = '\0';
        return;
    }
    size_t wanted = static_cast<size_t>(length);
    if (wanted >= destinationSize)
        wanted = destinationSize - 1;
    size_t i = 0;
    for (; i < wanted && source[i] != '\0'; ++i)
        destination[i] = source[i];
    destination[i] = '\0';
}
