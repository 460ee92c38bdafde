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

// An entry opened with no time or attributes; raw data with `raw`.
int OpenEntry(zipFile zf, const char* name, int level, int raw = 0)
{
    return zipOpenNewFileInZip3(zf, name, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                level != 0 ? Z_DEFLATED : 0, level, raw, -MAX_WBITS, 8, 0, nullptr,
                                0);
}

// Archives written into a Sink with `options`, read back (passwords "pw") by all the readers.
class ZipWriter : public testing::Test {
protected:
    ~ZipWriter() override { SetZipRandomSourceForTesting(nullptr); }
    void Open(const Sink& fresh = Sink())
    {
        sink = fresh;
        zlib_filefunc_def def{OpenSink, &sink};
        zf = zipOpen2("memory", APPEND_STATUS_CREATE, nullptr, &def);
        EXPECT_EQ(zipSetArchiveOptions(zf, &options), ZIP_OK);  // as the builder, even all 0
    }
    // As the builder adds an entry: a CRC pre-pass for a password, the data in pieces.
    int Add(const std::string& name, const std::string& data, int level,
            const char* password = nullptr, int zip64 = 0)
    {
        zip_fileinfo info{{}, 0x5A8C6B21, 0, 0x20};  // 2025-04-12 13:25:02
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
        int err = zipOpenNewFileInZip3_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          level != 0 ? Z_DEFLATED : 0, level, 0, -MAX_WBITS, 8, 0,
                                          password, password ? crc : 0, zip64);
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
        EXPECT_TRUE(ParseZip(sink, &parsed, {{"", "pw"}}));
        if (outsideReaders)
            ExpectReadersAccept(sink, parsed, {{"", "pw"}});
        return parsed;
    }

    Sink sink;
    zipFile zf = nullptr;
    ArchiveOptions options;  // what Open sets on the archive
};

// Traditional encryption or AES (AE-2): headers and salts come from the random seam, so a fixed
// one repeats the archive and the real one never does; a wrong password or a changed byte fails
// the reader. The gain is what deflate saved, the encryption's overhead left out.
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
        auto fixed = [](void* bytes, size_t size) { return memset(bytes, 0xA5, size) != nullptr; };
        std::string archives[3];
        int32_t gains[4];
        for (int round = 0; round < 3; ++round) {
            SetZipRandomSourceForTesting(round < 2 ? +fixed : nullptr);
            Open();
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
        EXPECT_NE(archives[1], archives[2]);
        ZipParsed parsed;
        EXPECT_FALSE(ParseZip(archives[2], &parsed, {{"", "wrong"}}));
        archives[2][30 + 6 + (encryption ? 11 + 18 : 12) + 100] ^= 1;  // in the data of "stored"
        EXPECT_FALSE(ParseZip(archives[2], &parsed, {{"", "pw"}}));
        parsed = Read();
        ASSERT_EQ(parsed.entries.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const ZipEntry& e = parsed.entries[i];
            SCOPED_TRACE(e.name);
            bool aes = encryption && entries[i].password != nullptr;
            EXPECT_EQ(e.data, entries[i].data);
            EXPECT_EQ(e.method, aes ? 99 : entries[i].method);
            EXPECT_EQ(e.aesMethod, aes ? entries[i].method : 0);
            EXPECT_EQ(gains[i], static_cast<int32_t>(e.size - e.payload.size()));
        }
    }
}

// Each name code beside the ZIP64 and AES fields; a name that does not convert leaves nothing.
TEST_F(ZipWriter, WritesEachNameCodeBesideTheZip64AndAesFields)
{
    const std::string cp932 = "ソース/表.txt", utf8 = u8"ソース/表.txt";
    const std::string data = CompressibleText(3000);
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
}

// The last entry goes whether still open (inside the write buffer, or by seeking back) or closed
// across the 4 GiB mark (the builder's store fallback); what follows takes its place.
TEST_F(ZipWriter, RemovesTheLastEntryOpenOrClosed)
{
    const std::string noise = RandomBytes(300000, 5);
    struct Row {
        size_t size;
        bool closed;
        const char* password;
        bool another;
    } rows[] = {{100, false, nullptr, true}, {300000, false, nullptr, true},
                {100000, true, "pw", true}, {100000, true, nullptr, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << (row.closed ? " closed" : " open"));
        Sink fresh;
        fresh.base = row.closed ? kLimit - 50000 : 0;
        Open(fresh);
        EXPECT_EQ(zipRemoveLastFile(zf), ZIP_PARAMERROR);  // nothing to remove yet
        ASSERT_EQ(Add("kept", "alpha", 6), ZIP_OK);
        const std::string data = noise.substr(0, row.size);
        if (row.closed) {
            ASSERT_EQ(Add("removed", data, 9, row.password, 1), ZIP_OK);
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
            ASSERT_EQ(Add("next", next, row.closed ? 0 : 9, row.password, row.closed), ZIP_OK);
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

// 5 GiB of zeros (the sink keeps no page of them) take ZIP64 sizes and put the next entry past
// 4 GiB. (A directory past 4 GiB: the builder's thread test.)
TEST_F(ZipWriter, UsesZip64WhereAValueDoesNotFitAndOnlyThere)
{
    Open();
    ASSERT_EQ(zipOpenNewFileInZip3_64(zf, "big", nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0,
                                      -MAX_WBITS, 8, 0, nullptr, 0, 1),
              ZIP_OK);
    const std::string zeros(1 << 20, '\0');
    for (int mebibytes = 0; mebibytes < 5 << 10; ++mebibytes)
        ASSERT_EQ(zipWriteInFileInZip(zf, zeros.data(), 1 << 20), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    ASSERT_EQ(Add("after", RandomBytes(3000, 7), 6, "pw"), ZIP_OK);
    ZipParsed parsed = Close(false);  // the outside readers would read gigabytes
    EXPECT_LT(sink.pages.size(), 10u);
    EXPECT_TRUE(parsed.zip64End);
    ASSERT_EQ(parsed.Names(), (std::vector<std::string>{"big", "after"}));
    EXPECT_EQ(parsed.entries[0].size, 5ull << 30);
    EXPECT_TRUE(parsed.entries[0].localZip64);
    EXPECT_FALSE(parsed.entries[1].localZip64);
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
    for (bool raw : {false, true}) {
        SCOPED_TRACE(raw);
        Open();
        ASSERT_EQ(Add("kept", "k", 9), ZIP_OK);
        ASSERT_EQ(OpenEntry(zf, "huge", 9, raw), ZIP_OK);
        std::string start = CompressibleText(100000);
        ASSERT_EQ(zipWriteInFileInZip(zf, start.data(), 100000), ZIP_OK);
        if (raw) {
            EXPECT_EQ(zipCloseFileInZipRaw64(zf, kLimit, 1), ZIP_PARAMERROR);
        } else {
            // 0xFFFFFFFF bytes in all; the buffer is never read (ASan would object).
            EXPECT_EQ(zipWriteInFileInZip(zf, start.data(), 0xFFFFFFFFu - 100000), ZIP_PARAMERROR);
            EXPECT_EQ(zipWriteInFileInZip(zf, "x", 1), ZIP_PARAMERROR);  // it stays broken
            EXPECT_EQ(zipCloseFileInZip(zf), ZIP_PARAMERROR);
        }
        EXPECT_EQ(Close().Names(), std::vector<std::string>{"kept"});  // the raw one still open
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

}  // namespace
