#pragma once
#include <cstddef>
#include <cstdint>

// Where the ZIP writer puts its bytes. The writer buffers on its side, so an output sees few,
// large writes; every call reports success or failure and the writer turns a failure into
// ZIP_ERRNO. Positions are absolute byte offsets from the start of the underlying file.
class ZipOutput {
public:
    virtual ~ZipOutput() = default;
    // Writes all `size` bytes at the current position, or fails.
    virtual bool Write(const void* data, size_t size) = 0;
    // Moves the current position to `offset` from the start.
    virtual bool Seek(uint64_t offset) = 0;
    virtual bool Tell(uint64_t* offset) = 0;
    // Makes the current position the end of the file, cutting off whatever lies beyond it.
    virtual bool Truncate() = 0;
    // Releases the file; called once, last. A failure here can mean lost data.
    virtual bool Close() = 0;
};

// The platform's file output: the file is created, replacing an existing one, and opened for
// writing only. Null when it cannot be created. Windows: CreateFileA with CREATE_ALWAYS;
// native build: open(2) with O_CREAT | O_TRUNC. The caller deletes the object after Close().
ZipOutput* OpenZipFileOutput(const char* path);
