#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <winioctl.h>

#include <string>

#include "core/file_io.h"
#include "core/wide_names_win32.h"
#include "tests/support/temp_dir.h"

TempDir::TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    SHCreateDirectoryExA(nullptr, base, nullptr);  // a fresh prefix may not have made it yet
    static unsigned counter = 0;
    do
        path_ = std::string(base) + "packwren-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
    while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TempDir::~TempDir()
{
    // Wide, so that names outside the code page (which the ANSI calls see as best-fit guesses) go
    // too; the shell's delete takes read-only files as well. The list ends in two NULs.
    std::wstring from = Widen(path_.c_str()) + L'\0';
    SHFILEOPSTRUCTW remove = {nullptr, FO_DELETE, from.c_str(), nullptr, FOF_NO_UI, FALSE, {}, {}};
    SHFileOperationW(&remove);
}

std::string TempDir::MakeDir(const std::string& name) const
{
    std::string path = Join(name);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

bool MakeReadOnly(const std::string& path)
{
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute,
                       int second)
{
    auto w = [](int value) { return static_cast<WORD>(value); };
    SYSTEMTIME local = {w(year), w(month), 0, w(day), w(hour), w(minute), w(second), 0};
    FILETIME localTime, utc;
    HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    bool done = SystemTimeToFileTime(&local, &localTime) &&
                LocalFileTimeToFileTime(&localTime, &utc) &&
                SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
    return done;
}

bool MakeSparseFile(const std::string& path, unsigned long long size)
{
    HANDLE file = CreateForWrite(path.c_str());
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    bool done = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    return CloseHandle(file) && done;
}
