#include "archive/zip_output.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace {

class PosixFileOutput : public ZipOutput {
public:
    explicit PosixFileOutput(int fd) : fd_(fd) {}
    ~PosixFileOutput() override
    {
        if (fd_ >= 0)
            close(fd_);
    }

    bool Write(const void* data, size_t size) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t done = write(fd_, bytes, size);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return false;
            bytes += done;
            size -= static_cast<size_t>(done);
        }
        return true;
    }

    bool Seek(uint64_t offset) override
    {
        return lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
    }

    bool Tell(uint64_t* offset) override
    {
        off_t at = lseek(fd_, 0, SEEK_CUR);
        if (at < 0)
            return false;
        *offset = static_cast<uint64_t>(at);
        return true;
    }

    bool Truncate() override
    {
        off_t at = lseek(fd_, 0, SEEK_CUR);
        return at >= 0 && ftruncate(fd_, at) == 0;
    }

    bool Close() override
    {
        int fd = fd_;
        fd_ = -1;
        return fd >= 0 && close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace

ZipOutput* OpenZipFileOutput(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    return new PosixFileOutput(fd);
}
