#pragma once
#include <cstddef>
#include <cstdint>

struct ProjectNode;

// The file list's columns: name, size, last write time, source path. A sort key holds the column
// in bits 0-30 and sets bit 31 for descending order.
constexpr int32_t kSortDescending = INT32_MIN;

// "1,464,844 KB": the size rounded up to whole kilobytes, digits grouped by three. Sizes of 2 GiB
// and more are shown as they are.
void FormatSizeKB(int64_t size, char* buffer, size_t bufferSize);

// The order of two rows under a sort key: negative when `a` comes first. Column 0 puts folders
// first (last when descending); the other columns do not group folders. Ties go by name, compared
// byte for byte.
int CompareEntries(const ProjectNode* a, const ProjectNode* b, int32_t key);

// The key after a click on a column header: the same column flips the direction, another column
// sorts ascending.
int32_t NextSortKey(int32_t key, int column);
