#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/zip_crypt.h"
#include "tests/support/zip_check.h"

namespace {

constexpr uint64_t kLimit = 0xFFFFFFFFu;
constexpr uint32_t kDosDate = 0x5A8C6B21;  // 2025-04-12 13:25:02

uint32_t Crc(const std::string& data)
{
    return crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
}

bool FixedRandom(void* buffer, size_t size)
{
    memset(buffer, 0xA5, size);
    return true;
}

// An entry opened with no time, attributes or extra fields; raw data with `raw`.
int OpenEntry(zipFile zf, const char* name, int level, const char* password = nullptr,
              unsigned long crc = 0, int raw = 0)
{
    return zipOpenNewFileInZip3(zf, name, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                level != 0 ? Z_DEFLATED : 0, level, raw, -MAX_WBITS, 8, 0,
                                password, crc);
}

// Archives written into a Sink with `options`; Close reads them back (encrypted entries with "pw")
// and has the outside readers check them too.
class ZipWriter : public testing::Test {
protected:
    ~ZipWriter() override { SetZipRandomSourceForTesting(nullptr); }
    zipFile Open(const Sink& fresh = Sink())
    {
        sink = fresh;
        zlib_filefunc_def def{OpenSink, &sink};
        zf = zipOpen2("memory", APPEND_STATUS_CREATE, nullptr, &def);
        if (zf != nullptr && (options.nameCode != 0 || options.encryption != 0)) {
            EXPECT_EQ(zipSetArchiveOptions(zf, &options), ZIP_OK);
        }
        return zf;
    }
    // As the archive builder adds an entry: a CRC pre-pass for a password, stored at level 0, the
    // data in pieces.
    int Add(const std::string& name, const std::string& data, int level,
            const char* password = nullptr, int zip64 = 0)
    {
        zip_fileinfo info{{}, kDosDate, 0, 0x20};
        int err = zipOpenNewFileInZip3_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          level != 0 ? Z_DEFLATED : 0, level, 0, -MAX_WBITS, 8, 0,
                                          password, password ? Crc(data) : 0, zip64);
        for (size_t at = 0; err == ZIP_OK && at < data.size(); at += 16384) {
            size_t chunk = std::min<size_t>(16384, data.size() - at);
            err = zipWriteInFileInZip(zf, data.data() + at, static_cast<unsigned>(chunk));
        }
        return err != ZIP_OK ? err : zipCloseFileInZip(zf);
    }
    ZipParsed Close(bool outsideReaders = true)
    {
        EXPECT_EQ(zipClose(zf, nullptr), ZIP_OK);
        return Read(outsideReaders);
    }
    ZipParsed Read(bool outsideReaders = true)
    {
        ZipParsed parsed;
        EXPECT_TRUE(ParseZip(sink, &parsed, "pw"));
        if (outsideReaders)
            ExpectReadersAccept(sink, parsed, "pw");
        return parsed;
    }

    Sink sink;
    zipFile zf = nullptr;
    ArchiveOptions options;  // what Open sets on the archive
};

// The name goes in as its code page 932 bytes, untouched: ソ ends in 0x5C, which is no "\" there.
// Extra fields and comments go in as given; the time comes from the date fields when the DOS
// date is 0.
TEST_F(ZipWriter, WritesTheHeadersOfAnEntryByteByByte)
{
    Open();
    const std::string data = CompressibleText(5000);
    const std::string local("\x55\x54\x05\x00\x01\x10\x32\x54\x76", 9), global("UT\1\0\1", 5);
    zip_fileinfo info{{2, 25, 13, 12, 3, 2025}, 0, 0, 0x21};
    ASSERT_EQ(zipOpenNewFileInZip3(zf, "ソース/a.txt", &info, local.data(), 9, global.data(), 5,
                                   "note", Z_DEFLATED, 6, 0, -MAX_WBITS, 8, 0, nullptr, 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, data.data(), 5000), ZIP_OK);
    ASSERT_EQ(zipClose(zf, "archive note"), ZIP_OK);

    const std::string name = "\x83\x5c\x81\x5b\x83\x58/a.txt";
    std::string deflated = RawDeflate(data, 6);
    auto le = [](uint64_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(v >> (8 * i));
        return s;
    };
    std::string common = le(20, 2) + le(0, 2) + le(8, 2) + le(kDosDate, 4) + le(Crc(data), 4) +
                         le(deflated.size(), 4) + le(5000, 4) + le(name.size(), 2);
    std::string header = "PK\3\4" + common + le(9, 2) + name + local;
    std::string central = "PK\1\2" + le(0, 2) + common + le(5, 2) + le(4, 2) + le(0, 4) +
                          le(0x21, 4) + le(0, 4) + name + global + "note";
    std::string end = "PK\5\6" + le(0, 4) + le(0x10001, 4) + le(central.size(), 4) +
                      le(header.size() + deflated.size(), 4) + le(12, 2) + "archive note";
    EXPECT_EQ(sink.Bytes(), header + deflated + central + end);
}

// Traditional encryption or AES (AE-2, the salt from the random seam, which makes output
// repeatable); a wrong password or a changed byte fails the reader. The gain is what deflate
// saved, the encryption's overhead left out.
TEST_F(ZipWriter, EncryptsTheTraditionalWayOrWithAes)
{
    const std::string data = CompressibleText(40000), noise = RandomBytes(50000, 3);
    const struct {
        const char* name;
        const std::string& data;
        int level;
        const char* password;
        unsigned method;
    } entries[] = {{"stored", data, 0, "pw", 0},
                   {"deflated", data, 9, "pw", 8},
                   {"plain", data, 9, nullptr, 8},
                   {"noise", noise, 9, "pw", 8}};
    for (int encryption : {0, 1}) {
        SCOPED_TRACE(encryption);
        options.encryption = encryption;
        std::string archives[4];
        int32_t gains[4];
        for (int round = 0; round < 4; ++round) {
            SetZipRandomSourceForTesting(round < 2 ? FixedRandom : nullptr);
            Open();
            EXPECT_EQ(zipLastFileGain(zf), 0);
            for (int i = 0; i < 4; ++i) {
                ASSERT_EQ(Add(entries[i].name, entries[i].data, entries[i].level,
                              entries[i].password),
                          ZIP_OK);
                gains[i] = zipLastFileGain(zf);
            }
            ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
            archives[round] = sink.Bytes();
        }
        EXPECT_EQ(archives[0], archives[1]);
        EXPECT_NE(archives[2], archives[3]);
        EXPECT_EQ(archives[3].find(data.substr(0, 64)), std::string::npos);  // no plain text
        ZipParsed parsed;
        EXPECT_FALSE(ParseZip(archives[3], &parsed, "wrong"));
        std::string changed = archives[3];
        changed[30 + 6 + (encryption ? 11 + 18 : 12) + 100] ^= 1;  // in the data of "stored"
        EXPECT_FALSE(ParseZip(changed, &parsed, "pw"));
        if (encryption) {
            EXPECT_EQ(archives[0].substr(30 + 6 + 11, 16), std::string(16, '\xA5'));  // the salt
        }
        parsed = Read();
        ASSERT_EQ(parsed.entries.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const ZipEntry& e = parsed.entries[i];
            SCOPED_TRACE(e.name);
            bool aes = encryption && entries[i].password != nullptr;
            EXPECT_EQ(e.data, entries[i].data);
            EXPECT_EQ(aes ? e.aesMethod : e.method, entries[i].method);
            EXPECT_EQ(e.method == 99, aes);
            EXPECT_EQ(e.flags & 1, entries[i].password != nullptr ? 1u : 0u);
            EXPECT_EQ(gains[i], static_cast<int32_t>(e.size - e.payload.size()));
        }
        EXPECT_GT(gains[1], 0);
        EXPECT_LT(gains[3], 0);
    }
    EXPECT_EQ(zipLastFileGain(nullptr), 0);
}

// Each name code beside the ZIP64 and AES fields; all options 0 change no byte. A name that does
// not convert is refused and leaves nothing.
TEST_F(ZipWriter, WritesEachNameCodeBesideTheZip64AndAesFields)
{
    const std::string cp932 = "ソース/表.txt", utf8 = u8"ソース/表.txt";
    const std::string data = CompressibleText(3000);
    Open();
    ASSERT_EQ(Add(cp932, data, 6), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    const std::string untouched = sink.Bytes();
    struct Row {
        int nameCode, encryption, zip64;
        std::string name, unicodeName;
        unsigned flag11;
    } rows[] = {
        {0, 0, 0, cp932, "", 0},         {1, 0, 0, cp932, utf8, 0}, {2, 0, 0, utf8, "", 0x800},
        {1, 1, 1, cp932, utf8, 0},       {2, 1, 0, utf8, "", 0x800},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "name code " << row.nameCode << ", encryption "
                                        << row.encryption << ", zip64 " << row.zip64);
        options.nameCode = row.nameCode;
        options.encryption = row.encryption;
        Open();
        EXPECT_EQ(OpenEntry(zf, "a\x81", 6), row.nameCode != 0 ? ZIP_BADTEXT : ZIP_OK);
        ASSERT_EQ(Add(cp932, data, 6, row.encryption ? "pw" : nullptr, row.zip64), ZIP_OK);
        ZipParsed parsed = Close();
        ASSERT_EQ(parsed.entries.size(), row.nameCode != 0 ? 1u : 2u);
        const ZipEntry& e = parsed.entries.back();
        EXPECT_EQ(e.name, row.name);
        EXPECT_EQ(e.unicodeName, row.unicodeName);
        EXPECT_EQ(e.flags & 0x800, row.flag11);
        EXPECT_EQ(e.aesVersion, row.encryption ? 2u : 0u);
        EXPECT_EQ(e.localZip64, row.zip64 != 0);
        EXPECT_EQ(e.data, data);
    }
    options = ArchiveOptions();
    Open();
    ASSERT_EQ(Add(cp932, data, 6), ZIP_OK);
    ASSERT_EQ(zipSetArchiveOptions(zf, &options), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    EXPECT_EQ(sink.Bytes(), untouched);
    EXPECT_EQ(zipSetArchiveOptions(nullptr, &options), ZIP_PARAMERROR);
}

// The last entry goes whether still open (inside the write buffer, or by seeking back) or closed
// (the builder's store fallback, also across the 4 GiB mark); what follows takes its place.
TEST_F(ZipWriter, RemovesTheLastEntryOpenOrClosed)
{
    EXPECT_EQ(zipRemoveLastFile(nullptr), ZIP_PARAMERROR);
    const std::string noise = RandomBytes(300000, 5);
    struct Row {
        size_t size;
        bool closed;
        const char* password;
        bool another;
        int zip64;
        uint64_t base;
    } rows[] = {{100, false, nullptr, true, 0, 0},  {300000, false, nullptr, true, 0, 0},
                {100000, true, nullptr, true, 0, 0}, {100000, true, "pw", true, 0, 0},
                {100000, true, nullptr, false, 0, 0},
                {100000, true, "pw", true, 1, kLimit - 50000},
                {100000, true, nullptr, false, 1, kLimit - 50000}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << (row.closed ? " closed" : " open")
                                        << (row.zip64 ? " zip64" : ""));
        Sink fresh;
        fresh.base = row.base;
        Open(fresh);
        EXPECT_EQ(zipRemoveLastFile(zf), ZIP_PARAMERROR);  // nothing to remove yet
        ASSERT_EQ(Add("kept", "alpha", 6), ZIP_OK);
        const std::string data = noise.substr(0, row.size);
        if (row.closed) {
            ASSERT_EQ(Add("removed", data, 9, row.password, row.zip64), ZIP_OK);
            ASSERT_LE(zipLastFileGain(zf), 0);
        } else {
            ASSERT_EQ(OpenEntry(zf, "removed", 9), ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(row.size)),
                      ZIP_OK);
        }
        EXPECT_EQ(zipRemoveLastFile(zf), 0);
        EXPECT_EQ(zipLastFileGain(zf), 0);
        EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);  // nothing open any more
        // After an open entry, the compressor starts afresh for the next.
        const std::string next = row.closed ? data : CompressibleText(2000);
        if (row.another) {
            ASSERT_EQ(Add("next", next, row.closed ? 0 : 9, row.password, row.zip64), ZIP_OK);
        }
        ZipParsed parsed = Close();
        EXPECT_EQ(sink.Bytes().find("removed"), std::string::npos);
        std::vector<std::string> names{"kept"};
        if (row.another)
            names.push_back("next");
        ASSERT_EQ(parsed.Names(), names);
        EXPECT_EQ(parsed.entries[0].data, "alpha");
        EXPECT_EQ(parsed.entries.back().data, row.another ? next : "alpha");
    }
}

// Archives that need ZIP64 somewhere; the reader holds them to its layout rules. (ZIP64 sizes in a
// small archive: the name codes' test.)
TEST_F(ZipWriter, UsesZip64WhereAValueDoesNotFitAndOnlyThere)
{
    const uint64_t kFiveGiB = 5ull << 30;
    struct Entry {
        const char* name;
        uint64_t size;  // zeros when over a megabyte, noise otherwise
        int level;
        const char* password;
        int zip64;
    };
    struct Row {
        const char* what;
        uint64_t base;
        std::vector<Entry> entries;
    } rows[] = {
        {"an entry of 5 GiB and one past 4 GiB", 0,
         {{"big", kFiveGiB, 0, nullptr, 1}, {"after", 3000, 6, "pw", 0}}},
        {"a directory past 4 GiB", kLimit - 1000,
         {{"opened-64", 500, 6, nullptr, 1}, {"crossing", 2000, 0, nullptr, 0},
          {"beyond", 3000, 9, "pw", 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bool huge = row.entries[0].size > kFiveGiB / 2;
        Sink fresh;
        fresh.base = row.base;
        Open(fresh);
        for (const Entry& e : row.entries) {
            if (e.size <= (1 << 20)) {
                std::string data = RandomBytes(e.size, 7);
                ASSERT_EQ(Add(e.name, data, e.level, e.password, e.zip64), ZIP_OK);
                continue;
            }
            ASSERT_EQ(zipOpenNewFileInZip3_64(zf, e.name, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                              0, 0, 0, -MAX_WBITS, 8, 0, nullptr, 0, e.zip64),
                      ZIP_OK);
            const std::string zeros(1 << 20, '\0');
            for (uint64_t left = e.size; left > 0; left -= zeros.size())
                ASSERT_EQ(zipWriteInFileInZip(zf, zeros.data(), 1 << 20), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
        }
        // The outside readers would read gigabytes.
        ZipParsed parsed = Close(!huge);
        EXPECT_LT(sink.pages.size(), 10u);  // the output kept no gigabytes of zeros
        EXPECT_TRUE(parsed.zip64End);
        ASSERT_EQ(parsed.entries.size(), row.entries.size());
        for (size_t i = 0; i < row.entries.size(); ++i) {
            SCOPED_TRACE(row.entries[i].name);
            EXPECT_EQ(parsed.entries[i].name, row.entries[i].name);
            EXPECT_EQ(parsed.entries[i].size, row.entries[i].size);
            EXPECT_EQ(parsed.entries[i].localZip64, row.entries[i].zip64 != 0);
        }
    }
}

// The local ZIP64 field is chosen before the data: for what deflate may make of the size, the
// encryption header and a source that grows while it is read.
TEST_F(ZipWriter, DecidesOnZip64FromTheSizeBeforeTheData)
{
    // The largest size that a sixteenth more still keeps below 0xFFFFFFFF.
    const uint64_t kEdge = 4042322159u;
    struct Row {
        uint64_t size;
        int method, encrypted, expected;
    } rows[] = {{0, Z_DEFLATED, 1, 0},           {1ull << 30, Z_DEFLATED, 0, 0},
                {3500ull << 20, 0, 0, 0},        {3500ull << 20, Z_DEFLATED, 0, 1},
                {kEdge, 0, 0, 0},                {kEdge, 0, 1, 1},
                {kEdge + 1, 0, 0, 1},            {5ull << 30, 0, 0, 1}};
    for (const Row& row : rows)
        EXPECT_EQ(zipEntryNeedsZip64(row.size, row.method, row.encrypted), row.expected)
            << row.size << " method " << row.method << " encrypted " << row.encrypted;
}

// Without the local ZIP64 field (a source that grew past what it measured, or raw data whose
// size comes too late), however the broken entry is ended, it must not reach the archive.
TEST_F(ZipWriter, RefusesAnEntryOfFourGibibytesWithoutZip64AndDropsIt)
{
    enum { kCloseIt, kOpenNext, kCloseArchive, kRawSize };
    for (int ending : {kCloseIt, kOpenNext, kCloseArchive, kRawSize}) {
        SCOPED_TRACE(ending);
        Open();
        ASSERT_EQ(Add("kept", "k", 9), ZIP_OK);
        ASSERT_EQ(OpenEntry(zf, "huge", 9, nullptr, 0, ending == kRawSize), ZIP_OK);
        std::string start = CompressibleText(100000);
        ASSERT_EQ(zipWriteInFileInZip(zf, start.data(), 100000), ZIP_OK);
        if (ending == kRawSize) {
            EXPECT_EQ(zipCloseFileInZipRaw64(zf, kLimit, 1), ZIP_PARAMERROR);
        } else {
            // 0xFFFFFFFF bytes in all; the buffer is never read (ASan would object).
            EXPECT_EQ(zipWriteInFileInZip(zf, start.data(), 0xFFFFFFFFu - 100000), ZIP_PARAMERROR);
            EXPECT_EQ(zipWriteInFileInZip(zf, "x", 1), ZIP_PARAMERROR);  // it stays broken
        }
        if (ending == kCloseIt) {
            EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);
        } else if (ending == kOpenNext) {
            EXPECT_EQ(Add("next", "n", 6), ZIP_OK);
        }
        std::vector<std::string> names{"kept"};
        if (ending == kOpenNext)
            names.push_back("next");
        EXPECT_EQ(Close().Names(), names);
    }
}

// Every failing call of the output fails the archive, and the calls that met it say so; the
// scenario seeks to patch a large entry and removes a flushed one.
TEST_F(ZipWriter, ReportsEveryFailureOfTheOutput)
{
    bool sawErrno = true;
    auto scenario = [this, &sawErrno](const Sink& fresh) {
        Open(fresh);
        std::string secret = CompressibleText(70000);
        std::vector<int> results = {Add("small", "s", 6), Add("big", RandomBytes(200000, 2), 6),
                                    Add("secret", secret, 9, "pw"), zipRemoveLastFile(zf),
                                    Add("secret", secret, 0, "pw")};
        sawErrno = std::find(results.begin(), results.end(), ZIP_ERRNO) != results.end();
        return zipClose(zf, nullptr);
    };
    ASSERT_EQ(scenario(Sink()), ZIP_OK);
    ASSERT_FALSE(sawErrno);
    const Sink clean = sink;
    ASSERT_GT(clean.seeks, 1);
    EXPECT_EQ(Read(false).entries.size(), 3u);
    for (int call = 1; call <= clean.writes; ++call) {
        Sink failing;
        failing.failWrite = call;
        EXPECT_EQ(scenario(failing), ZIP_ERRNO) << "write " << call;
        EXPECT_TRUE(sawErrno || call == clean.writes) << "write " << call;  // the close's own
    }
    for (int call = 1; call <= clean.seeks; ++call) {
        Sink failing;
        failing.failSeek = call;
        EXPECT_EQ(scenario(failing), ZIP_ERRNO) << "seek " << call;
        EXPECT_TRUE(sawErrno) << "seek " << call;
    }
    for (int which = 0; which < 2; ++which) {
        Sink failing;
        (which == 0 ? failing.failTruncate : failing.failClose) = true;
        EXPECT_EQ(scenario(failing), ZIP_ERRNO) << which;
        EXPECT_FALSE(sawErrno);
    }
}

TEST_F(ZipWriter, GathersSmallEntriesIntoFewWrites)
{
    Open();
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(Add("f" + std::to_string(i), CompressibleText(200), i % 2 == 0 ? 6 : 0), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    EXPECT_LE(sink.writes, static_cast<int>(sink.Bytes().size() / 65536 + 2));
    EXPECT_EQ(sink.seeks, 0);
}

// An entry left open is finished with what it has when the next opens or the archive closes.
TEST_F(ZipWriter, FinishesAnEntryLeftOpen)
{
    Open();
    for (const char* name : {"left-open-1", "left-open-2"}) {
        ASSERT_EQ(OpenEntry(zf, name, 6, "pw", Crc("left-o")), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, name, 6), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, nullptr, 0), ZIP_OK);
    }
    ZipParsed parsed = Close();
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].data + parsed.entries[1].data, "left-oleft-o");
}

TEST_F(ZipWriter, RefusesWhatItCannotWrite)
{
    Open();
    struct Row {
        int method, level, raw, windowBits, memLevel, expected;
    } rows[] = {{12, 6, 0, -15, 8, ZIP_PARAMERROR},
                {12, 6, 1, -15, 8, ZIP_PARAMERROR},
                {Z_DEFLATED, 6, 0, 15, 8, ZIP_PARAMERROR},
                {Z_DEFLATED, 10, 0, -15, 8, Z_STREAM_ERROR},
                {Z_DEFLATED, 6, 0, -15, 0, Z_STREAM_ERROR}};
    for (const Row& r : rows)
        EXPECT_EQ(zipOpenNewFileInZip3(zf, "bad", nullptr, nullptr, 0, nullptr, 0, nullptr,
                                       r.method, r.level, r.raw, r.windowBits, r.memLevel, 0,
                                       nullptr, 0),
                  r.expected)
            << "method " << r.method << " level " << r.level << " raw " << r.raw;
    EXPECT_EQ(zipWriteInFileInZip(zf, "x", 1), ZIP_PARAMERROR);  // no entry open
    EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);
    EXPECT_TRUE(Close().entries.empty());
    EXPECT_EQ(sink.Bytes().size(), 22u);  // nothing of the refused entries was written

    EXPECT_EQ(zipOpen2("memory", 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(zipOpen2("/no/such/directory/out.zip", APPEND_STATUS_CREATE, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(OpenEntry(nullptr, "x", 0), ZIP_PARAMERROR);
    EXPECT_EQ(zipWriteInFileInZip(nullptr, "x", 1), ZIP_PARAMERROR);
    EXPECT_EQ(zipCloseFileInZip(nullptr), ZIP_PARAMERROR);
    EXPECT_EQ(zipClose(nullptr, nullptr), ZIP_PARAMERROR);
}

}  // namespace
