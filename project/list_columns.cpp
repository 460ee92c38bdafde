#include "project/list_columns.h"

#include <cstring>

#include "core/format_text.h"
#include "project/project_node.h"

void FormatSizeKB(int64_t size, char* buffer, size_t bufferSize)
{
    // Rounded up: one byte is shown as 1 KB, never as 0.
    uint64_t kilobytes = size > 0 ? (static_cast<uint64_t>(size) + 1023) / 1024 : 0;
    char digits[32];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + kilobytes % 10);
        kilobytes /= 10;
    } while (kilobytes != 0);
    char grouped[48];
    size_t length = 0;
    for (int i = count - 1; i >= 0; --i) {
        grouped[length++] = digits[i];
        if (i > 0 && i % 3 == 0)
            grouped[length++] = ',';
    }
    grouped[length] = '\0';
    FormatText(buffer, bufferSize, "%s KB", grouped);
}

int CompareEntries(const ProjectNode* a, const ProjectNode* b, int32_t key)
{
    int column = key & ~kSortDescending;
    int direction = (key & kSortDescending) != 0 ? -1 : 1;
    int order = 0;
    switch (column) {
    case 0:
        if (a->IsFolder() != b->IsFolder())
            return a->IsFolder() ? -direction : direction;
        break;
    case 1:
        order = a->fileSize < b->fileSize ? -1 : (a->fileSize > b->fileSize ? 1 : 0);
        break;
    case 2:
        order = strcmp(a->timeText, b->timeText);
        break;
    case 3:
        order = strcmp(a->sourcePath, b->sourcePath);
        break;
    }
    if (order == 0)
        order = strcmp(a->name, b->name);
    return order * direction;
}

int32_t NextSortKey(int32_t key, int column)
{
    if (column == (key & ~kSortDescending))
        return key ^ kSortDescending;
    return column;
}
