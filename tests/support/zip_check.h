#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/zip_output.h"
#include "archive/zip_verify.h"

// Test data.
std::string RandomBytes(size_t size, uint32_t seed);
std::string CompressibleText(size_t size);
// Numbers in an order no short rule predicts: deflate keeps about 40 %, as of prose, where
// CompressibleText's few repeating lines deflate to almost nothing.
std::string Prose(size_t size, uint32_t seed);
// Bytes as lower-case hex digits, and back.
std::string Hex(const std::string& bytes);
std::string Unhex(const std::string& hex);
// zlib's raw deflate output at `level` (windowBits -15, memLevel 8, default strategy), and the
// whole of a raw deflate stream back, or false unless it ends at its last byte and makes at most
// `limit` bytes.
std::string RawDeflate(const std::string& data, int level);
bool RawInflate(std::string packed, size_t limit, std::string* out);

// An in-memory ZIP output that can pretend `base` bytes precede the archive and can fail on
// demand. It keeps only what is not zero, in 64 KiB pages: archives of gigabytes of zeros fit in a
// few pages. For zlib_filefunc_def: {OpenSink, &sink}.
struct Sink : ZipSource {
    std::map<uint64_t, std::string> pages;  // by page number
    uint64_t base = 0, end = 0;             // end: where the file ends
    int failWrite = 0, failSeek = 0;        // fail that call (1-based); 0: never
    bool failTruncate = false, failClose = false;
    int writes = 0, seeks = 0;
    std::string Bytes() const;  // from base to the end
    uint64_t Begin() const override { return base; }
    uint64_t End() const override { return std::max(base, end); }
    bool Read(uint64_t at, void* buffer, size_t count) const override;
};
ZipOutput* OpenSink(void* opaque, const char* path);

// ---- The program's own reader (ZipReader, the verify pass's), its layout rules included. ----

struct ZipEntry : ZipEntryInfo {
    // payload: the stored bytes after decryption. Both are kept for entries up to 64 MiB only.
    std::string payload, data;
};
struct ZipParsed {
    std::vector<ZipEntry> entries;
    bool zip64End = false;
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

// Reads an archive with ZipReader; the failure names the reader's reason and the entry.
testing::AssertionResult ParseZip(const ZipSource& source, ZipParsed* out,
                                  const Passwords& passwords = {});
testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const Passwords& passwords = {});

// ---- Readers nobody here wrote: 7-Zip and Python's zipfile. ----
// Each must accept the archive (7-Zip only one at its file's start), Python's CRC-32 and length of
// every entry matching `parsed`. Native only (nothing under Wine); skipped where one is missing.
void ExpectReadersAccept(const std::string& path, const ZipParsed& parsed,
                         const Passwords& passwords = {}, bool at0 = true);
// The same for the archive in `sink`, written to a file at its base.
void ExpectReadersAccept(const Sink& sink, const ZipParsed& parsed, const Passwords& passwords);
