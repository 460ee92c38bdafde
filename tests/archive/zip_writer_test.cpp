#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/zip_crypt.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_check.h"

namespace {

constexpr uint64_t kLimit = 0xFFFFFFFFu;
constexpr uint32_t kDosDate = 0x5A8C6B21;  // 2025-04-12 13:25:02

zipFile OpenMemoryArchive(Sink* sink)
{
    zlib_filefunc_def def{OpenSink, sink};
    return zipOpen2("memory", APPEND_STATUS_CREATE, nullptr, &def);
}

// Adds one entry the way the archive builder does: CRC pre-pass for a password, stored at level 0.
int AddEntry(zipFile zf, const std::string& name, const std::string& data, int level,
             const char* password = nullptr, uint32_t attributes = 0x20)
{
    zip_fileinfo info{};
    info.dosDate = kDosDate;
    info.external_fa = attributes;
    uLong crc = password != nullptr ? crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                            static_cast<uInt>(data.size()))
                                    : 0;
    int err = zipOpenNewFileInZip3(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   level != 0 ? Z_DEFLATED : 0, level, 0, -MAX_WBITS, 8,
                                   Z_DEFAULT_STRATEGY, password, crc);
    for (size_t at = 0; err == ZIP_OK && at < data.size(); at += 16384) {
        size_t chunk = std::min<size_t>(16384, data.size() - at);
        err = zipWriteInFileInZip(zf, data.data() + at, static_cast<unsigned>(chunk));
    }
    return err != ZIP_OK ? err : zipCloseFileInZip(zf);
}

uint32_t U16(const std::string& b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

// ---- Tests ----

TEST(ZipWriter, WritesTheHeadersOfAnEntryByteByByte)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    std::string data = CompressibleText(5000);
    ASSERT_EQ(AddEntry(zf, "dir/a.txt", data, 6, nullptr, 0x21), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);

    std::string deflated = RawDeflate(data, 6);
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), 5000);
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(v >> (8 * i));
        return s;
    };
    std::string common = le(20, 2) + le(0, 2) + le(8, 2) + le(kDosDate, 4) + le(crc, 4) +
                         le(static_cast<uint32_t>(deflated.size()), 4) + le(5000, 4) +
                         le(9, 2) + le(0, 2);
    std::string local = "PK\3\4" + common + "dir/a.txt";
    std::string central = "PK\1\2" + le(0, 2) + common + le(0, 2) + le(0, 2) + le(0, 2) +
                          le(0x21, 4) + le(0, 4) + "dir/a.txt";
    uint32_t centralOffset = static_cast<uint32_t>(local.size() + deflated.size());
    std::string end = "PK\5\6" + le(0, 4) + le(1, 2) + le(1, 2) + le(55, 4) +
                      le(centralOffset, 4) + le(0, 2);
    EXPECT_EQ(sink.bytes, local + deflated + central + end);

    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
    EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, 0);
}

TEST(ZipWriter, FlagsMethodAndDeflateOutputFollowTheLevel)
{
    // Levels change from entry to entry, so a reused compressor must still give plain zlib output.
    struct Row {
        int level;
        const char* password;
        unsigned flags;
    } rows[] = {{9, nullptr, 2}, {1, nullptr, 6}, {2, "pw", 5}, {-1, nullptr, 0}, {8, "pw", 3},
                {0, nullptr, 0}, {0, "pw", 1},    {3, nullptr, 0},  {5, nullptr, 0}, {9, nullptr, 2},
                {7, "pw", 1},    {4, nullptr, 0}, {6, nullptr, 0},  {1, nullptr, 6}};
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    std::vector<std::string> inputs;
    for (size_t i = 0; i < std::size(rows); ++i) {
        // Large inputs make the compressor slide its window; the random part defeats it.
        inputs.push_back(CompressibleText(i % 3 == 0 ? 150000 : 3000 + i) + RandomBytes(i * 100, 7 + i));
        ASSERT_EQ(AddEntry(zf, "e" + std::to_string(i), inputs[i], rows[i].level, rows[i].password),
                  ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed, "pw"));
    ASSERT_EQ(parsed.entries.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const ZipEntry& e = parsed.entries[i];
        EXPECT_EQ(e.flags, rows[i].flags) << i;
        EXPECT_EQ(e.method, rows[i].level == 0 ? 0u : 8u) << i;
        EXPECT_EQ(e.data, inputs[i]) << i;
        if (rows[i].level != 0) {
            EXPECT_EQ(e.payload, RawDeflate(inputs[i], rows[i].level)) << "level " << rows[i].level;
        }
    }
    EXPECT_READERS_ACCEPT(sink.bytes, parsed, "pw", 0);
}

TEST(ZipWriter, StoresNamesAsTheirCodePage932Bytes)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    ASSERT_EQ(AddEntry(zf, "日本語/ソース.txt", "text", 5), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name,
              "\x93\xfa\x96\x7b\x8c\xea/\x83\x5c\x81\x5b\x83\x58.txt");
    EXPECT_EQ(parsed.entries[0].flags & 0x800, 0u);
    EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, 0);
}

TEST(ZipWriter, TakesTheTimeFromDosDateOrElseFromTheDateFields)
{
    struct Row {
        unsigned long dosDate;
        tm_zip date;
        uint32_t expected;
    } rows[] = {
        {kDosDate, {58, 45, 13, 15, 2, 2024}, kDosDate},
        {0, {58, 45, 13, 15, 2, 2024}, 0x586F6DBDu},  // 2024-03-15 13:45:58
        {0, {0, 0, 0, 1, 0, 80}, 0x00210000u},          // 1980-01-01 as years since 1900
    };
    for (const Row& row : rows) {
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        zip_fileinfo info{row.date, row.dosDate, 0, 0};
        ASSERT_EQ(zipOpenNewFileInZip3(zf, "t", &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0,
                                       -MAX_WBITS, 8, 0, nullptr, 0),
                  ZIP_OK);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
        EXPECT_EQ(parsed.entries.at(0).dosDate, row.expected) << std::hex << row.expected;
    }
}

uint32_t fixedRandomCalls = 0;
bool FixedRandom(void* buffer, size_t size)
{
    ++fixedRandomCalls;
    memset(buffer, 0xA5, size);
    return true;
}

TEST(ZipWriter, EncryptsWithATwelveByteHeaderCheckedByTheCrc)
{
    std::string data = CompressibleText(40000);
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), 40000);
    std::string archives[4];
    for (int round = 0; round < 4; ++round) {
        SetZipRandomSourceForTesting(round < 2 ? FixedRandom : nullptr);
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        ASSERT_EQ(AddEntry(zf, "stored", data, 0, "secret"), ZIP_OK);
        ASSERT_EQ(AddEntry(zf, "deflated", data, 9, "secret"), ZIP_OK);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        archives[round] = sink.bytes;
    }
    SetZipRandomSourceForTesting(nullptr);
    EXPECT_EQ(fixedRandomCalls, 4u);
    EXPECT_EQ(archives[0], archives[1]);  // the seam makes output repeatable...
    EXPECT_NE(archives[2], archives[3]);  // ...and the system source really is random

    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(archives[2], &parsed, "secret"));
    ASSERT_EQ(parsed.entries.size(), 2u);
    for (const ZipEntry& e : parsed.entries) {
        EXPECT_EQ(e.data, data);
        EXPECT_EQ(e.cryptCheck[0], static_cast<unsigned char>(crc >> 16));
        EXPECT_EQ(e.cryptCheck[1], static_cast<unsigned char>(crc >> 24));
        EXPECT_EQ(e.compressed, e.payload.size() + 12);
    }
    EXPECT_EQ(archives[2].find(data.substr(0, 64)), std::string::npos);  // no plain text
    EXPECT_READERS_ACCEPT(archives[2], parsed, "secret", 0);
}

TEST(ZipWriter, LastFileGainIsCompressorInputMinusOutput)
{
    struct Row {
        std::string data;
        int level;
        const char* password;
        int32_t sign;  // of the expected gain
    } rows[] = {{CompressibleText(100000), 9, nullptr, 1}, {CompressibleText(100000), 6, "pw", 1},
                {RandomBytes(50000, 3), 9, nullptr, -1}, {"", 5, nullptr, -1},
                {CompressibleText(1000), 0, "pw", 0}};
    for (const Row& row : rows) {
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        EXPECT_EQ(zipLastFileGain(zf), 0);
        ASSERT_EQ(AddEntry(zf, "x", row.data, row.level, row.password), ZIP_OK);
        int32_t gain = zipLastFileGain(zf);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(sink.bytes, &parsed, "pw"));
        const ZipEntry& e = parsed.entries.at(0);
        // The payload no longer holds the encryption header, which does not count.
        EXPECT_EQ(gain, static_cast<int32_t>(e.size) - static_cast<int32_t>(e.payload.size()));
        EXPECT_EQ(gain > 0 ? 1 : gain < 0 ? -1 : 0, row.sign) << gain;
    }
    EXPECT_EQ(zipLastFileGain(nullptr), 0);
}

TEST(ZipWriter, StoreFallbackLeavesOneEntryAndTheFileEndsAtTheEndRecord)
{
    // A real file, so that the platform output's seeking and truncation are what is tested.
    TempDir dir;
    std::string path = dir.WriteFile("out.zip", std::string(300000, 'j'));  // replaced
    std::string noise = RandomBytes(100000, 11);
    struct Row {
        bool readd;
        const char* password;
    } rows[] = {{true, nullptr}, {true, "pw"}, {false, nullptr}};
    for (const Row& row : rows) {
        zipFile zf = zipOpen2(path.c_str(), APPEND_STATUS_CREATE, nullptr, nullptr);
        ASSERT_NE(zf, nullptr);
        ASSERT_EQ(AddEntry(zf, "first", "kept", 6), ZIP_OK);
        ASSERT_EQ(AddEntry(zf, "noise.bin", noise, 9, row.password), ZIP_OK);
        ASSERT_LE(zipLastFileGain(zf), 0);
        ASSERT_EQ(zipRemoveLastFile(zf), 0);
        EXPECT_EQ(zipLastFileGain(zf), 0);
        if (row.readd) {
            ASSERT_EQ(AddEntry(zf, "noise.bin", noise, 0, row.password), ZIP_OK);
        }
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);

        std::string bytes = ReadWholeFile(path);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(bytes, &parsed, "pw"));  // checks that the file ends with the end record
        ASSERT_EQ(parsed.entries.size(), row.readd ? 2u : 1u);
        EXPECT_EQ(parsed.entries[0].data, "kept");
        if (row.readd) {
            EXPECT_EQ(parsed.entries[1].name, "noise.bin");
            EXPECT_EQ(parsed.entries[1].method, 0u);
            EXPECT_EQ(parsed.entries[1].data, noise);
        }
        EXPECT_READERS_ACCEPT(bytes, parsed, "pw", 0);
    }
}

TEST(ZipWriter, RemovesAnEntryThatWasNeverClosed)
{
    // Small entries are dropped inside the write buffer, large ones by seeking back.
    for (size_t size : {100u, 300000u}) {
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        EXPECT_EQ(zipRemoveLastFile(zf), ZIP_PARAMERROR);  // nothing to remove yet
        ASSERT_EQ(AddEntry(zf, "a", "alpha", 6), ZIP_OK);
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip3(zf, "cut-short", &info, nullptr, 0, nullptr, 0, nullptr,
                                       Z_DEFLATED, 9, 0, -MAX_WBITS, 8, 0, nullptr, 0),
                  ZIP_OK);
        std::string part = RandomBytes(size, 5);
        ASSERT_EQ(zipWriteInFileInZip(zf, part.data(), static_cast<unsigned>(size)), ZIP_OK);
        EXPECT_EQ(zipRemoveLastFile(zf), 0);
        EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);  // nothing open any more
        ASSERT_EQ(AddEntry(zf, "c", CompressibleText(2000), 9), ZIP_OK);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        EXPECT_EQ(sink.bytes.find("cut-short"), std::string::npos);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
        ASSERT_EQ(parsed.entries.size(), 2u);
        EXPECT_EQ(parsed.entries[1].data, CompressibleText(2000));
        EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, 0);
    }
    EXPECT_EQ(zipRemoveLastFile(nullptr), ZIP_PARAMERROR);
}

TEST(ZipWriter, FinishesAnEntryLeftOpenWhenTheNextOpensOrTheArchiveCloses)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    for (const char* name : {"left-open-1", "left-open-2"}) {
        ASSERT_EQ(zipOpenNewFileInZip3(zf, name, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                       Z_DEFLATED, 6, 0, -MAX_WBITS, 8, 0, "pw", 0x12345678),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, name, 6), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, nullptr, 0), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed, "pw"));
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].data, "left-o");
    EXPECT_EQ(parsed.entries[1].data, "left-o");
}

TEST(ZipWriter, TakesAtMost65535Entries)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    for (int i = 0; i < 65535; ++i)
        ASSERT_EQ(AddEntry(zf, std::to_string(i), "", 0), ZIP_OK) << i;
    EXPECT_EQ(AddEntry(zf, "one too many", "", 0), ZIP_PARAMERROR);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
    EXPECT_EQ(parsed.entries.size(), 65535u);
    EXPECT_EQ(parsed.entries.back().name, "65534");
    EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, 0);
}

TEST(ZipWriter, NeverPutsAByteAtOrBeyondFourGibibytes)
{
    // The output claims 0xFFFFFFFF - 1100 bytes before the archive; an entry named "n" takes
    // 31 + 47 bytes of headers and the end record 22, which leaves 1000 bytes for data.
    struct Row {
        int level;
        const char* password;
        std::string data;
        bool fits;
    } rows[] = {{0, nullptr, RandomBytes(1000, 1), true}, {0, nullptr, RandomBytes(1001, 1), false},
                {0, "pw", RandomBytes(988, 1), true},     {0, "pw", RandomBytes(989, 1), false},
                {9, nullptr, std::string(100000, 'z'), true},
                {9, nullptr, RandomBytes(5000, 1), false}};
    for (const Row& row : rows) {
        Sink sink;
        sink.base = kLimit - 1100;
        zipFile zf = OpenMemoryArchive(&sink);
        EXPECT_EQ(AddEntry(zf, "n", row.data, row.level, row.password),
                  row.fits ? ZIP_OK : ZIP_PARAMERROR);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        EXPECT_LE(sink.highWater, kLimit);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(sink.bytes, &parsed, "pw", sink.base));
        ASSERT_EQ(parsed.entries.size(), row.fits ? 1u : 0u);
        if (row.fits) {
            EXPECT_EQ(parsed.entries[0].data, row.data);
        }
        if (row.fits && row.level == 0) {
            EXPECT_EQ(sink.base + sink.bytes.size(), kLimit);
        }
    }
    Sink sink;
    sink.base = kLimit - 1100;
    zipFile zf = OpenMemoryArchive(&sink);
    ASSERT_EQ(AddEntry(zf, "n", RandomBytes(1000, 1), 0), ZIP_OK);
    EXPECT_EQ(AddEntry(zf, "m", "", 0), ZIP_PARAMERROR);  // its headers no longer fit
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed, nullptr, sink.base));
    EXPECT_EQ(parsed.entries.size(), 1u);
    EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, sink.base);
}

TEST(ZipWriter, RefusesAnEntryOfFourGibibytesAndDropsIt)
{
    // However the broken entry is ended, it must not reach the archive.
    enum { kCloseIt, kOpenNext, kCloseArchive };
    for (int ending : {kCloseIt, kOpenNext, kCloseArchive}) {
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        ASSERT_EQ(AddEntry(zf, "kept", "k", 9), ZIP_OK);
        ASSERT_EQ(zipOpenNewFileInZip3(zf, "huge", nullptr, nullptr, 0, nullptr, 0, nullptr,
                                       Z_DEFLATED, 9, 0, -MAX_WBITS, 8, 0, nullptr, 0),
                  ZIP_OK);
        std::string start = CompressibleText(100000);
        ASSERT_EQ(zipWriteInFileInZip(zf, start.data(), 100000), ZIP_OK);
        // 0xFFFFFFFF bytes in all; the buffer is never read (ASan would object).
        EXPECT_EQ(zipWriteInFileInZip(zf, start.data(), 0xFFFFFFFFu - 100000), ZIP_PARAMERROR);
        EXPECT_EQ(zipWriteInFileInZip(zf, "x", 1), ZIP_PARAMERROR);  // it stays broken
        if (ending == kCloseIt) {
            EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);
        } else if (ending == kOpenNext) {
            EXPECT_EQ(AddEntry(zf, "next", "n", 6), ZIP_OK);
        }
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        ZipParsed parsed;
        ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
        ASSERT_EQ(parsed.entries.size(), ending == kOpenNext ? 2u : 1u) << ending;
        EXPECT_EQ(parsed.entries.back().name, ending == kOpenNext ? "next" : "kept");
        EXPECT_READERS_ACCEPT(sink.bytes, parsed, nullptr, 0);
    }
}

// Writes a few entries, one large enough to be patched on the output by seeking, and removes one
// that was already flushed. Returns zipClose's result; `sawErrno` tells whether any call failed so.
int WriteScenario(Sink* sink, bool* sawErrno)
{
    zipFile zf = OpenMemoryArchive(sink);
    std::vector<int> results = {AddEntry(zf, "small", "s", 6), AddEntry(zf, "big", RandomBytes(200000, 2), 6),
                                AddEntry(zf, "secret", CompressibleText(70000), 9, "pw"), zipRemoveLastFile(zf),
                                AddEntry(zf, "secret", CompressibleText(70000), 0, "pw")};
    int closed = zipClose(zf, nullptr);
    *sawErrno = std::find(results.begin(), results.end(), ZIP_ERRNO) != results.end();
    return closed;
}

TEST(ZipWriter, ReportsEveryFailureOfTheOutput)
{
    Sink clean;
    bool sawErrno = true;
    ASSERT_EQ(WriteScenario(&clean, &sawErrno), ZIP_OK);
    ASSERT_FALSE(sawErrno);
    ASSERT_GT(clean.seeks, 1);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(clean.bytes, &parsed, "pw"));
    EXPECT_EQ(parsed.entries.size(), 3u);

    for (int call = 1; call <= clean.writes; ++call) {
        Sink sink;
        sink.failWrite = call;
        EXPECT_EQ(WriteScenario(&sink, &sawErrno), ZIP_ERRNO) << "write " << call;
        EXPECT_TRUE(sawErrno || call == clean.writes) << "write " << call;
    }
    for (int call = 1; call <= clean.seeks; ++call) {
        Sink sink;
        sink.failSeek = call;
        EXPECT_EQ(WriteScenario(&sink, &sawErrno), ZIP_ERRNO) << "seek " << call;
        EXPECT_TRUE(sawErrno) << "seek " << call;
    }
    for (int which = 0; which < 2; ++which) {
        Sink sink;
        (which == 0 ? sink.failTruncate : sink.failClose) = true;
        EXPECT_EQ(WriteScenario(&sink, &sawErrno), ZIP_ERRNO) << which;
        EXPECT_FALSE(sawErrno);
    }
}

TEST(ZipWriter, GathersSmallEntriesIntoFewWrites)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(AddEntry(zf, "f" + std::to_string(i), CompressibleText(200), i % 2 == 0 ? 6 : 0), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    EXPECT_LE(sink.writes, static_cast<int>(sink.bytes.size() / 65536 + 2));
    EXPECT_EQ(sink.seeks, 0);
}

TEST(ZipWriter, RefusesWhatItCannotWrite)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    struct Row {
        int method, level, raw, windowBits, memLevel, expected;
    } rows[] = {{12, 6, 0, -15, 8, ZIP_PARAMERROR}, {Z_DEFLATED, 6, 1, -15, 8, ZIP_PARAMERROR},
                {Z_DEFLATED, 6, 0, 15, 8, ZIP_PARAMERROR}, {Z_DEFLATED, 10, 0, -15, 8, Z_STREAM_ERROR},
                {Z_DEFLATED, 6, 0, -15, 0, Z_STREAM_ERROR}};
    for (const Row& r : rows)
        EXPECT_EQ(zipOpenNewFileInZip3(zf, "bad", nullptr, nullptr, 0, nullptr, 0, nullptr, r.method,
                                       r.level, r.raw, r.windowBits, r.memLevel, 0, nullptr, 0),
                  r.expected);
    EXPECT_EQ(zipWriteInFileInZip(zf, "x", 1), ZIP_PARAMERROR);  // no entry open
    EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(sink.bytes, &parsed));
    EXPECT_EQ(sink.bytes.size(), 22u);  // nothing of the refused entries was written

    EXPECT_EQ(zipOpen2("memory", 1, nullptr, nullptr), nullptr);
    TempDir dir;
    EXPECT_EQ(zipOpen2(dir.Join("missing/out.zip").c_str(), APPEND_STATUS_CREATE, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(zipOpenNewFileInZip3(nullptr, "x", nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0,
                                   -15, 8, 0, nullptr, 0),
              ZIP_PARAMERROR);
    EXPECT_EQ(zipWriteInFileInZip(nullptr, "x", 1), ZIP_PARAMERROR);
    EXPECT_EQ(zipCloseFileInZip(nullptr), ZIP_PARAMERROR);
    EXPECT_EQ(zipClose(nullptr, nullptr), ZIP_PARAMERROR);
}

TEST(ZipWriter, WritesExtraFieldsAndComments)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    const char local[] = "\x55\x54\x05\x00\x01\x10\x32\x54\x76";  // extended timestamp
    const char global[] = "\x55\x54\x05\x00\x01\x10\x32\x54\x76";
    ASSERT_EQ(zipOpenNewFileInZip3(zf, "x", nullptr, local, 9, global, 9, "note", 0, 0, 0, -15, 8, 0,
                                   nullptr, 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, "data", 4), ZIP_OK);
    ASSERT_EQ(zipClose(zf, "archive note"), ZIP_OK);
    const std::string& b = sink.bytes;
    EXPECT_EQ(U16(b, 28), 9u);
    EXPECT_EQ(b.substr(30, 14), std::string("x") + std::string(local, 9) + "data");
    size_t central = 30 + 1 + 9 + 4;
    EXPECT_EQ(U16(b, central + 30), 9u);
    EXPECT_EQ(U16(b, central + 32), 4u);
    EXPECT_EQ(b.substr(central + 46, 14), std::string("x") + std::string(global, 9) + "note");
    size_t end = central + 46 + 14;
    EXPECT_EQ(U16(b, end + 20), 12u);
    EXPECT_EQ(b.substr(end + 22), "archive note");
    EXPECT_EQ(b.size(), end + 22 + 12);
}

}  // namespace
