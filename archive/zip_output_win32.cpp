#include "archive/zip_output.h"

#include <windows.h>

namespace {

class Win32FileOutput : public ZipOutput {
public:
    explicit Win32FileOutput(HANDLE file) : file_(file) {}
    ~Win32FileOutput() override
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }

    bool Write(const void* data, size_t size) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            DWORD done = 0;
            if (!WriteFile(file_, bytes, chunk, &done, nullptr) || done == 0)
                return false;
            bytes += done;
            size -= done;
        }
        return true;
    }

    bool Seek(uint64_t offset) override
    {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) != 0;
    }

    bool Tell(uint64_t* offset) override
    {
        LARGE_INTEGER zero, at;
        zero.QuadPart = 0;
        if (!SetFilePointerEx(file_, zero, &at, FILE_CURRENT))
            return false;
        *offset = static_cast<uint64_t>(at.QuadPart);
        return true;
    }

    bool Truncate() override { return SetEndOfFile(file_) != 0; }

    bool Close() override
    {
        HANDLE file = file_;
        file_ = INVALID_HANDLE_VALUE;
        return file != INVALID_HANDLE_VALUE && CloseHandle(file) != 0;
    }

private:
    HANDLE file_;
};

}  // namespace

ZipOutput* OpenZipFileOutput(const char* path)
{
    // No sharing while the archive is written: nobody should read a half-built file.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return new Win32FileOutput(file);
}
