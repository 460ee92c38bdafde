#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

// Thin wrappers over the platform's file functions. On Windows they are CreateFileA and friends
// with the exact access and share modes below; the native build maps them onto POSIX calls so the
// code above them is tested under the sanitizers too.

using FileHandle = void*;
extern const FileHandle kInvalidFile;

// Read access, no sharing, existing files only.
FileHandle OpenForRead(const char* path);
// Write access, no sharing, created or truncated.
FileHandle CreateForWrite(const char* path);
// Write access, no sharing, created only when nothing exists at the path yet.
FileHandle CreateNewForWrite(const char* path);
bool CloseFile(FileHandle file);
// One read or write call each; the number of bytes moved, 0 on failure.
size_t ReadBytes(FileHandle file, void* buffer, size_t count);
size_t WriteBytes(FileHandle file, const void* buffer, size_t count);
// Forces written data to the disk; false on failure.
bool FlushFile(FileHandle file);
// The size when it is below 4 GiB, else 0.
uint32_t FileSize32(FileHandle file);

// True when the path names a directory, and also when its attributes cannot be read at all:
// callers adding dropped paths then try it as a directory, which lists nothing.
bool IsDirectoryPath(const char* path);
// Calls `visit` for every entry directly inside `directory`, in the order the system lists them,
// with its name and whether it is a directory. Hidden and system entries are included; "." and
// ".." are left out. An entry whose name code page 932 cannot spell exactly goes to `unfit`
// instead, with the name as it can be shown ("?" for each character lost): no text of the
// program could open it. False when the directory cannot be listed (nothing is visited then).
bool ListDirectory(const char* directory,
                   const std::function<void(const char* name, bool isDirectory)>& visit,
                   const std::function<void(const char* shownName)>& unfit);
// True when anything exists at the path (even if it cannot be opened).
bool PathExists(const char* path);
// Replaces `target` by `source` in one step, even when `target` exists; written through.
bool ReplaceFileWith(const char* source, const char* target);
bool DeleteFilePath(const char* path);
// The full path of `path` as the system resolves it against the current directory, without
// looking at the disk. False when it does not fit in `size` bytes.
bool FullPathName(const char* path, char* buffer, size_t size);

// 1980-01-01 00:00:00, the earliest DOS date and time.
constexpr uint32_t kEarliestDosDateTime = 0x00210000;

// Source files of an archive. What the builder needs to know about one before reading it.
struct SourceFileInfo {
    uint32_t attributes = 0;   // Windows attribute bits, as GetFileAttributesA gives them
    uint32_t dosDateTime = 0;  // last write in local time: DOS date high, DOS time low 16 bits
    uint64_t size = 0;
};
// False when nothing exists at the path. One metadata call (GetFileAttributesExA on Windows).
// A time the DOS format cannot hold (before 1980, after 2107) reads as 1980-01-01 00:00:00.
bool ReadSourceFileInfo(const char* path, SourceFileInfo* info);
// Opens an existing file for reading while others may go on reading and writing it, as the C
// runtime's fopen(path, "rb") does. Directories do not open.
FileHandle OpenSourceFile(const char* path);
// One read call. False on failure; *done is 0 at the end of the file.
bool ReadChunk(FileHandle file, void* buffer, size_t count, size_t* done);
// To `offset` bytes from the start; RewindFile to the first byte.
bool SeekFile(FileHandle file, uint64_t offset);
bool RewindFile(FileHandle file);

// Whole-file buffers: zero-filled page memory. Alloc does nothing and returns false when the
// pointer is already set (an existing buffer is never replaced or leaked); otherwise it stores the
// address (none when the allocation failed) and returns true.
bool AllocPageBuffer(void** pointer, size_t size);
bool FreePageBuffer(void** pointer);

// Test seam: after this many more bytes, WriteBytes writes short (as on a full disk).
// A negative limit switches the fault off.
void SetWriteFaultAfterForTesting(long long bytes);
// Test seam: the ReadChunk that would pass this many more bytes fails, once (as on a bad sector
// or a lost share). A negative limit switches the fault off.
void SetReadFaultAfterForTesting(long long bytes);
