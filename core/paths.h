#pragma once
#include <cstddef>
#include <string>

#include "core/file_io.h"

// Path texts in code page 932. A "\" may be the trail byte of a double-byte character, so paths
// are scanned from the start, never searched backwards byte by byte.

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The offset at which the last component of a path begins: just past its last "\", "/" or ":".
size_t PathComponentOffset(const char* path);

// True when the path ends in a separator ("\", "/" or ":"), such as a drive root "C:\".
bool EndsWithSeparator(const char* path);

// Directory, a separator (left out when the directory already ends in one) and name, into a
// buffer of `size` bytes. False when the result did not fit; the buffer then holds a cut text.
bool JoinPath(char* buffer, size_t size, const char* directory, const char* name);

// True when two paths name the same file as the Windows file system compares them: ASCII letters
// folded outside double-byte characters, "/" and "\" alike. Both should be full paths.
bool SamePath(const char* a, const char* b);

// Creates a new, empty file beside `target` for writing, to be renamed over the target once
// complete (the rename then stays on one volume). Its name is no longer than the room the target's
// directory leaves in a 259-byte path: "~pwNNNN.tmp" where that fits, else "~" and fewer hex
// digits, at the least one, so a target whose own path fits never fails for it. Names that
// something already has are passed over, the target's own included even while it does not exist.
// kInvalidFile when no such file could be made.
FileHandle CreateTemporaryBeside(const char* target, std::string* temporary);
