#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/zip_output.h"

// Test data.
std::string RandomBytes(size_t size, uint32_t seed);
std::string CompressibleText(size_t size);
// Bytes as lower-case hex digits, and back.
std::string Hex(const std::string& bytes);
std::string Unhex(const std::string& hex);
// zlib's raw deflate output at `level` (windowBits -15, memLevel 8, default strategy).
std::string RawDeflate(const std::string& data, int level);

// An in-memory ZIP output that can pretend `base` bytes precede the archive and can fail on
// demand.
struct Sink {
    std::string bytes;  // from `base` on
    uint64_t base = 0;
    uint64_t highWater = 0;
    int failWrite = 0, failSeek = 0;  // fail that call (1-based); 0: never
    bool failTruncate = false, failClose = false;
    int writes = 0, seeks = 0;
};

class MemoryOutput : public ZipOutput {
public:
    explicit MemoryOutput(Sink* sink) : sink_(sink), pos_(sink->base) {}
    bool Write(const void* data, size_t size) override;
    bool Seek(uint64_t offset) override;
    bool Tell(uint64_t* offset) override;
    bool Truncate() override;
    bool Close() override;

private:
    Sink* sink_;
    uint64_t pos_;
};

// For zlib_filefunc_def::zopen_file with the Sink as opaque.
ZipOutput* OpenSink(void* opaque, const char* path);

// An output that counts and seeks but keeps only what is not zero, in 64 KiB pages: archives of
// gigabytes of zeros fit in a few pages (headers and directory). Reads of the rest give zeros.
struct SparseSink {
    std::map<uint64_t, std::string> pages;  // by page number
    uint64_t size = 0;                      // where the file ends
    void Read(uint64_t at, size_t size, std::string* bytes) const;
};
// For zlib_filefunc_def::zopen_file with the SparseSink as opaque.
ZipOutput* OpenSparseSink(void* opaque, const char* path);

// ---- An independent reader: the layout rules, the APPNOTE decryption and zlib's inflate. ----

// Which values of an entry its central record keeps in the ZIP64 field.
enum : unsigned { kSizeIn64 = 1, kCompressedIn64 = 2, kOffsetIn64 = 4 };

struct ZipEntry {
    // payload: the stored bytes after decryption. Both are kept for entries up to 64 MiB; larger
    // ones are checked as they are read and leave them empty.
    std::string name, payload, data;
    uint32_t version, flags, method, dosDate, crc, internal, external;
    uint64_t compressed, size, offset;
    bool localZip64;     // the local header carries both sizes in the ZIP64 field
    unsigned central64;  // kSizeIn64 | kCompressedIn64 | kOffsetIn64
    std::string unicodeName;  // the UTF-8 name of the Unicode Path field (0x7075), if any
    // The AES field (0x9901), if any: AE-1 or AE-2, and the real method behind method 99.
    unsigned aesVersion = 0, aesMethod = 0;
    unsigned char cryptCheck[2];
};
struct ZipParsed {
    std::vector<ZipEntry> entries;
    uint64_t centralOffset = 0, centralSize = 0;
    bool zip64End = false;  // the ZIP64 end record and its locator precede the end record
    const ZipEntry* Find(const std::string& name) const;
};
// Entry name -> password, for archives whose entries use different passwords.
using PasswordMap = std::map<std::string, std::string>;

// Parses an archive that starts at `base` and must end with its end record; checks that entries,
// central directory and end records follow each other without gaps, that every entry's data
// matches its CRC-32 and sizes, and the ZIP64 rules: version needed 45 exactly for entries with a
// ZIP64 field or a local header at 4 GiB or beyond, fixed fields holding the marker exactly when a
// value does not fit, the ZIP64 end records exactly when the count, the directory's size or its
// offset do not fit. Encrypted entries are read with `password`.
testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const char* password = nullptr, uint64_t base = 0);
testing::AssertionResult ParseZip(const SparseSink& sink, ZipParsed* out,
                                  const char* password = nullptr);
testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const PasswordMap& passwords);

// ---- Readers nobody here wrote: Info-ZIP unzip, 7-Zip and Python's zipfile. ----
// Each must accept the archive, and Python's CRC-32 and length of every entry's extracted data
// must match `parsed`. They run natively only: under Wine these do nothing. Where one of them is
// missing, the test is marked skipped.

// An archive that starts at `base`; encrypted entries use `password`.
void ExpectReadersAccept(const std::string& bytes, const ZipParsed& parsed, const char* password,
                         uint64_t base = 0);
// An archive on disk whose entries may use different passwords (entries not in `passwords` are
// unencrypted).
void ExpectReadersAcceptFile(const std::string& path, const ZipParsed& parsed,
                             const PasswordMap& passwords);
