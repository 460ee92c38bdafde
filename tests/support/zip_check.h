#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_builder.h"
#include "archive/zip_output.h"
#include "archive/zip_verify.h"

std::string RandomBytes(size_t size, uint32_t seed);
std::string CompressibleText(size_t size);
// Numbers in an order no short rule predicts: deflate keeps about 40 %, as of prose, where
// CompressibleText's few repeating lines deflate to almost nothing.
std::string Prose(size_t size, uint32_t seed);
// zlib's raw deflate at `level` (memLevel 8, default strategy), and back: false unless the stream
// ends at its last byte and makes at most `limit` bytes.
std::string RawDeflate(const std::string& data, int level);
bool RawInflate(std::string packed, size_t limit, std::string* out);

// An in-memory output (zlib_filefunc_def{OpenSink, &sink}) that can pretend `base` bytes precede
// the archive and fail on demand; 64 KiB pages of zeros are not kept.
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

// Keeps a build's log and steps; asks for the abort at a line or step.
class CollectingReporter : public BuildReporter {
public:
    void LogLine(const char* line) override
    {
        log += line;
        if (abortAtLine == line)
            RequestArchiveAbort();
    }
    void Step() override
    {
        ++steps;
        if (stepSignal != nullptr)
            *stepSignal = steps;
        if (abortAtStep == steps)
            RequestArchiveAbort();
    }
    std::string log;
    int steps = 0;
    int abortAtStep = 0;
    std::string abortAtLine;
    std::atomic<int>* stepSignal = nullptr;  // the steps, for another thread
};

// ---- The program's own reader (ZipReader, the verify pass's), its layout rules included. ----

struct ZipEntry : ZipEntryInfo {
    // payload: the stored bytes after decryption. Both are kept for entries up to 64 MiB only.
    std::string payload, data;
};
struct ZipParsed {
    std::vector<ZipEntry> entries;
    bool zip64End = false;
    std::vector<std::string> Names() const;
};
// The passwords of encrypted entries by name; the name "" stands for every other entry.
using PasswordMap = std::map<std::string, std::string>;

// Reads an archive with ZipReader; the failure names the reader's reason and the entry.
testing::AssertionResult ParseZip(const ZipSource& source, ZipParsed* out,
                                  const PasswordMap& passwords = {});
testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const PasswordMap& passwords = {});

// ---- Readers nobody here wrote: 7-Zip and Python's zipfile. ----
// Each must accept the archive (7-Zip only one at its file's start), Python's CRC-32 and length of
// every entry matching `parsed`. Native only (nothing under Wine); skipped where one is missing.
void ExpectReadersAccept(const std::string& path, const ZipParsed& parsed,
                         const PasswordMap& passwords = {}, bool at0 = true);
// The same for the archive in `sink`, written to a file at its base.
void ExpectReadersAccept(const Sink& sink, const ZipParsed& parsed, const PasswordMap& passwords);
