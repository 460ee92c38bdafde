#pragma once
#include <cstddef>

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

// A name for a temporary file in the directory of `target` that does not exist yet and that fits
// in `size` bytes whenever `target` itself does, so that writing it and renaming it over the target
// stays on one volume. False when no such name was found.
bool TemporaryPathBeside(const char* target, char* buffer, size_t size);
