#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/zip_output.h"

// Test data.
std::string RandomBytes(size_t size, uint32_t seed);
std::string CompressibleText(size_t size);
// Bytes as lower-case hex digits, and back.
std::string Hex(const std::string& bytes);
std::string Unhex(const std::string& hex);
// zlib's raw deflate output at `level` (windowBits -15, memLevel 8, default strategy), and the
// whole of a raw deflate stream back, or false unless it ends at its last byte and makes at most
// `limit` bytes.
std::string RawDeflate(const std::string& data, int level);
bool RawInflate(std::string packed, size_t limit, std::string* out);

// An in-memory ZIP output that can pretend `base` bytes precede the archive and can fail on
// demand. For zlib_filefunc_def: {OpenSink, &sink}.
struct Sink {
    std::string bytes;  // from `base` on
    uint64_t base = 0;
    int failWrite = 0, failSeek = 0;  // fail that call (1-based); 0: never
    bool failTruncate = false, failClose = false;
    int writes = 0, seeks = 0;
};
ZipOutput* OpenSink(void* opaque, const char* path);

// An output that keeps only what is not zero, in 64 KiB pages: archives of gigabytes of zeros fit
// in a few pages. For zlib_filefunc_def: {OpenSparseSink, &sparse}.
struct SparseSink {
    std::map<uint64_t, std::string> pages;  // by page number
    uint64_t size = 0;                      // where the file ends
    void Read(uint64_t at, size_t size, std::string* bytes) const;
};
ZipOutput* OpenSparseSink(void* opaque, const char* path);

// ---- An independent reader: the layout rules, the APPNOTE decryption and zlib's inflate. ----

// Which values of an entry its central record keeps in the ZIP64 field.
enum : unsigned { kSizeIn64 = 1, kCompressedIn64 = 2, kOffsetIn64 = 4 };

struct ZipEntry {
    // payload: the stored bytes after decryption. Both are kept for entries up to 64 MiB only.
    std::string name, payload, data;
    uint32_t version, flags, method, dosDate, crc, external;
    uint64_t compressed, size, offset;
    bool localZip64;          // the local header carries both sizes in the ZIP64 field
    unsigned central64;       // kSizeIn64 | kCompressedIn64 | kOffsetIn64
    std::string unicodeName;  // the UTF-8 name of the Unicode Path field (0x7075), if any
    // The AES field (0x9901), if any: AE-1 or AE-2, and the real method behind method 99.
    unsigned aesVersion = 0, aesMethod = 0;
};
struct ZipParsed {
    std::vector<ZipEntry> entries;
    uint64_t centralOffset = 0;
    bool zip64End = false;  // the ZIP64 end record and its locator precede the end record
    const ZipEntry* Find(const std::string& name) const;
    std::vector<std::string> Names() const;
};
// Entry name -> password, for archives whose entries use different passwords.
using PasswordMap = std::map<std::string, std::string>;
// The passwords of encrypted entries: one for all, or one per name.
struct Passwords {
    Passwords(const char* all = nullptr) : all(all) {}
    Passwords(PasswordMap byName) : all(nullptr), byName(std::move(byName)) {}
    const char* Of(const std::string& name) const;
    const char* all;
    PasswordMap byName;
};

// Parses an archive that starts at `base` and must end with its end record; checks that entries,
// central directory and end records follow each other without gaps, that every entry's data
// matches its CRC-32 and sizes (and the header of traditional encryption the CRC's two high
// bytes), and the ZIP64 rules: version needed 45 exactly for entries with a ZIP64 field or a local
// header at 4 GiB or beyond, fixed fields holding the marker exactly when a value does not fit,
// the ZIP64 end records exactly when the count, the directory's size or its offset do not fit.
testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const Passwords& passwords = {}, uint64_t base = 0);
testing::AssertionResult ParseZip(const SparseSink& sink, ZipParsed* out,
                                  const Passwords& passwords = {});

// ---- Readers nobody here wrote: Info-ZIP unzip, 7-Zip and Python's zipfile. ----
// Each must accept the archive (7-Zip only one at the start of its file), and Python's CRC-32 and
// length of every entry's data must match `parsed`. They run natively only: under Wine this does
// nothing. Where one of them is missing, the test is marked skipped.
void ExpectReadersAccept(const std::string& path, const ZipParsed& parsed,
                         const Passwords& passwords = {}, bool at0 = true);
// The same for the archive in `sink`, written to a file at its base.
void ExpectReadersAccept(const Sink& sink, const ZipParsed& parsed, const Passwords& passwords);
