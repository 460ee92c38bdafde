#include "core/file_io.h"

#include <windows.h>

#include <string>

#include "core/paths.h"
#include "core/wide_names_win32.h"
#include "core/write_fault.h"

const FileHandle kInvalidFile = INVALID_HANDLE_VALUE;

FileHandle OpenForRead(const char* path)
{
    return CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileHandle CreateForWrite(const char* path)
{
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileHandle CreateNewForWrite(const char* path)
{
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool CloseFile(FileHandle file)
{
    return CloseHandle(file) != FALSE;
}

size_t ReadBytes(FileHandle file, void* buffer, size_t count)
{
    DWORD done = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return done;
}

size_t WriteBytes(FileHandle file, const void* buffer, size_t count)
{
    count = WriteFaultAllowance(count);
    DWORD done = 0;
    if (count == 0 || !WriteFile(file, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return done;
}

bool FlushFile(FileHandle file)
{
    return FlushFileBuffers(file) != FALSE;
}

uint32_t FileSize32(FileHandle file)
{
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    return high != 0 ? 0 : low;
}

bool IsDirectoryPath(const char* path)
{
    return (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool ReplaceFileWith(const char* source, const char* target)
{
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool DeleteFilePath(const char* path)
{
    return DeleteFileA(path) != FALSE;
}

bool FullPathName(const char* path, char* buffer, size_t size)
{
    DWORD length = GetFullPathNameA(path, static_cast<DWORD>(size), buffer, nullptr);
    return length > 0 && length < size;
}

bool ReadSourceFileInfo(const char* path, SourceFileInfo* info)
{
    // One lookup by path. FindFirstFileA gives the same time and size for every real file, but
    // under Wine it scans the whole directory, which on trees of small files costs as much as
    // reading and deflating the file itself.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    info->attributes = data.dwFileAttributes;
    info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
        FileTimeToDosDateTime(&local, &date, &time))
        info->dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
    else
        info->dosDateTime = kEarliestDosDateTime;
    return true;
}

FileHandle OpenSourceFile(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool ReadChunk(FileHandle file, void* buffer, size_t count, size_t* done)
{
    DWORD got = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(count), &got, nullptr) || !ReadFaultAllows(got))
        return false;
    *done = got;
    return true;
}

bool SeekFile(FileHandle file, uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

bool RewindFile(FileHandle file)
{
    return SeekFile(file, 0);
}

bool AllocPageBuffer(void** pointer, size_t size)
{
    if (*pointer != nullptr)
        return false;
    *pointer = VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    return true;
}

bool FreePageBuffer(void** pointer)
{
    if (*pointer == nullptr)
        return false;
    VirtualFree(*pointer, 0, MEM_RELEASE);
    *pointer = nullptr;
    return true;
}

bool ListDirectory(const char* directory,
                   const std::function<void(const char* name, bool isDirectory)>& visit,
                   const std::function<void(const char* shownName)>& unfit)
{
    // "%s\*.*" in a buffer one byte larger than a path; a directory named by a drive root
    // already ends in its separator.
    char pattern[261];
    if (!JoinPath(pattern, sizeof pattern, directory, "*.*"))
        return false;
    // The wide listing: FindFirstFileA would hand out best-fit names ("cafe.txt" for "café.txt",
    // "??.txt" for "한국.txt") that name another file or none.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    std::string name;
    do {
        bool exact = NarrowExactly(found.cFileName, &name);
        if (name == "." || name == "..")
            continue;
        if (exact)
            visit(name.c_str(), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        else
            unfit(name.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}
