#include "core/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/format_text.h"
#include "core/paths.h"
#include "core/write_fault.h"

// Native stand-ins for the Win32 wrappers. POSIX has no share modes; the behaviour that depends
// on them is tested under Wine.

const FileHandle kInvalidFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));

namespace {
int Fd(FileHandle file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file)) - 1;
}
FileHandle Handle(int fd)
{
    return fd < 0 ? kInvalidFile : reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd + 1));
}
}  // namespace

FileHandle OpenForRead(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0 || S_ISDIR(info.st_mode))
        return kInvalidFile;
    return Handle(open(path, O_RDONLY));
}

FileHandle CreateForWrite(const char* path)
{
    return Handle(open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644));
}

FileHandle CreateNewForWrite(const char* path)
{
    return Handle(open(path, O_WRONLY | O_CREAT | O_EXCL, 0644));
}

bool CloseFile(FileHandle file)
{
    return close(Fd(file)) == 0;
}

size_t ReadBytes(FileHandle file, void* buffer, size_t count)
{
    ssize_t done = read(Fd(file), buffer, count);
    return done < 0 ? 0 : static_cast<size_t>(done);
}

size_t WriteBytes(FileHandle file, const void* buffer, size_t count)
{
    count = WriteFaultAllowance(count);
    if (count == 0)
        return 0;
    ssize_t done = write(Fd(file), buffer, count);
    return done < 0 ? 0 : static_cast<size_t>(done);
}

bool FlushFile(FileHandle file)
{
    return fsync(Fd(file)) == 0;
}

uint32_t FileSize32(FileHandle file)
{
    struct stat info;
    if (fstat(Fd(file), &info) != 0 || info.st_size >= (1LL << 32))
        return 0;
    return static_cast<uint32_t>(info.st_size);
}

bool IsDirectoryPath(const char* path)
{
    struct stat info;
    return stat(path, &info) != 0 || S_ISDIR(info.st_mode);
}

bool FullPathName(const char* path, char* buffer, size_t size)
{
    if (path[0] == '/')
        return FormatText(buffer, size, "%s", path) >= 0;
    char directory[4096];
    return getcwd(directory, sizeof directory) != nullptr &&
           JoinPath(buffer, size, directory, path);
}

bool PathExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

bool ReplaceFileWith(const char* source, const char* target)
{
    return rename(source, target) == 0;
}

bool DeleteFilePath(const char* path)
{
    return unlink(path) == 0;
}

bool ReadSourceFileInfo(const char* path, SourceFileInfo* info)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return false;
    // The attributes Wine reports for a Unix file.
    info->attributes = S_ISDIR(st.st_mode) ? 0x10 : 0x20;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        info->attributes |= 0x01;
    info->size = static_cast<uint64_t>(st.st_size);
    struct tm local;
    info->dosDateTime = kEarliestDosDateTime;
    if (localtime_r(&st.st_mtime, &local) != nullptr && local.tm_year >= 80 &&
        local.tm_year <= 207) {
        uint32_t date = (local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday;
        uint32_t time = local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2;
        info->dosDateTime = date << 16 | time;
    }
    return true;
}

FileHandle OpenSourceFile(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kInvalidFile;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return kInvalidFile;
    }
    return Handle(fd);
}

bool ReadChunk(FileHandle file, void* buffer, size_t count, size_t* done)
{
    ssize_t got;
    do {
        got = read(Fd(file), buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0 || !ReadFaultAllows(static_cast<size_t>(got)))
        return false;
    *done = static_cast<size_t>(got);
    return true;
}

bool SeekFile(FileHandle file, uint64_t offset)
{
    return lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool RewindFile(FileHandle file)
{
    return SeekFile(file, 0);
}

bool AllocPageBuffer(void** pointer, size_t size)
{
    if (*pointer != nullptr)
        return false;
    *pointer = calloc(size == 0 ? 1 : size, 1);
    return true;
}

bool FreePageBuffer(void** pointer)
{
    if (*pointer == nullptr)
        return false;
    free(*pointer);
    *pointer = nullptr;
    return true;
}

// Names here are bytes, taken as they are: none is unfit.
bool ListDirectory(const char* directory,
                   const std::function<void(const char* name, bool isDirectory)>& visit,
                   const std::function<void(const char* shownName)>&)
{
    DIR* listing = opendir(directory);
    if (listing == nullptr)
        return false;
    while (dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            // The entry type is not always known from the listing; ask the file itself, following
            // links as the Windows side sees junctions.
            char path[4096];
            struct stat info;
            isDirectory = JoinPath(path, sizeof path, directory, name) && stat(path, &info) == 0 &&
                          S_ISDIR(info.st_mode);
        }
        visit(name, isDirectory);
    }
    closedir(listing);
    return true;
}
