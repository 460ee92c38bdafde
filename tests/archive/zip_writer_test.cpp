#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/zip_crypt.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint64_t kLimit = 0xFFFFFFFFu;
constexpr uint32_t kDosDate = 0x5A8C6B21;  // 2025-04-12 13:25:02

// In-memory output that can pretend `base` bytes precede the archive and can fail on demand.
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
    bool Write(const void* data, size_t size) override
    {
        if (++sink_->writes == sink_->failWrite)
            return false;
        size_t at = static_cast<size_t>(pos_ - sink_->base);
        if (sink_->bytes.size() < at + size)
            sink_->bytes.resize(at + size);
        memcpy(&sink_->bytes[at], data, size);
        pos_ += size;
        sink_->highWater = std::max(sink_->highWater, pos_);
        return true;
    }
    bool Seek(uint64_t offset) override
    {
        if (++sink_->seeks == sink_->failSeek || offset < sink_->base)
            return false;
        pos_ = offset;
        return true;
    }
    bool Tell(uint64_t* offset) override { return *offset = pos_, true; }
    bool Truncate() override
    {
        sink_->bytes.resize(static_cast<size_t>(pos_ - sink_->base));
        return !sink_->failTruncate;
    }
    bool Close() override { return !sink_->failClose; }

private:
    Sink* sink_;
    uint64_t pos_;
};

ZipOutput* OpenSink(void* opaque, const char*)
{
    return new MemoryOutput(static_cast<Sink*>(opaque));
}

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

std::string RandomBytes(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string Text(size_t size)
{
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line % 97) + " of some compressible text\r\n";
    return text.substr(0, size);
}

std::string RawDeflate(const std::string& data, int level)
{
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, data.size()), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(&out[0]);
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// ---- An independent reader: the layout rules, the APPNOTE decryption and zlib's inflate. ----

uint32_t U16(const std::string& b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
uint32_t U32(const std::string& b, size_t at)
{
    return U16(b, at) | U16(b, at + 2) << 16;
}

struct PkwareDecryptor {
    uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
    explicit PkwareDecryptor(const char* password)
    {
        while (*password != '\0')
            Update(static_cast<unsigned char>(*password++));
    }
    static uint32_t Crc(uint32_t crc, unsigned char byte)
    {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        return crc;
    }
    void Update(unsigned char plain)
    {
        k0 = Crc(k0, plain);
        k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
        k2 = Crc(k2, static_cast<unsigned char>(k1 >> 24));
    }
    unsigned char Decrypt(unsigned char cipher)
    {
        uint32_t temp = (k2 & 0xFFFF) | 2;
        unsigned char plain = cipher ^ static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
        Update(plain);
        return plain;
    }
};

struct Entry {
    std::string name, payload, data;  // payload: the stored bytes after decryption
    uint32_t flags, method, dosDate, crc, compressed, size, internal, external, offset;
    unsigned char cryptCheck[2];
};
struct Parsed {
    std::vector<Entry> entries;
    uint32_t centralOffset = 0, centralSize = 0;
};

// Parses an archive that starts at `base` and must end with its end record; checks that entries,
// central directory and end record follow each other without gaps and that every entry's data
// matches its CRC-32 and sizes.
testing::AssertionResult Parse(const std::string& b, Parsed* out, const char* password = nullptr,
                               uint64_t base = 0)
{
    auto fail = [](const std::string& why) { return testing::AssertionFailure() << why; };
    if (b.size() < 22 || U32(b, b.size() - 22) != 0x06054b50)
        return fail("file does not end with an end record");
    size_t end = b.size() - 22;
    uint32_t count = U16(b, end + 8);
    out->centralSize = U32(b, end + 12);
    out->centralOffset = U32(b, end + 16);
    if (U32(b, end + 4) != 0 || U16(b, end + 10) != count || U16(b, end + 20) != 0 ||
        out->centralOffset - base + out->centralSize != end)
        return fail("bad end record");
    size_t at = out->centralOffset - base;
    uint64_t expectedOffset = base;
    for (uint32_t i = 0; i < count; ++i) {
        Entry e;
        if (U32(b, at) != 0x02014b50 || U16(b, at + 4) != 0 || U16(b, at + 6) != 20 ||
            U16(b, at + 30) != 0 || U16(b, at + 32) != 0 || U16(b, at + 34) != 0)
            return fail("bad central record " + std::to_string(i));
        e.flags = U16(b, at + 8), e.method = U16(b, at + 10), e.dosDate = U32(b, at + 12);
        e.crc = U32(b, at + 16), e.compressed = U32(b, at + 20), e.size = U32(b, at + 24);
        e.internal = U16(b, at + 36), e.external = U32(b, at + 38), e.offset = U32(b, at + 42);
        e.name = b.substr(at + 46, U16(b, at + 28));
        at += 46 + e.name.size();
        size_t local = static_cast<size_t>(e.offset - base);
        if (e.offset != expectedOffset || U32(b, local) != 0x04034b50 || U16(b, local + 4) != 20 ||
            U16(b, local + 6) != e.flags || U16(b, local + 8) != e.method ||
            U32(b, local + 10) != e.dosDate || U32(b, local + 14) != e.crc ||
            U32(b, local + 18) != e.compressed || U32(b, local + 22) != e.size ||
            U16(b, local + 28) != 0 || b.compare(local + 30, U16(b, local + 26), e.name) != 0)
            return fail("local header does not match central record of " + e.name);
        if ((e.flags & ~7u) != 0)
            return fail("unexpected flags in " + e.name);
        e.payload = b.substr(local + 30 + e.name.size(), e.compressed);
        expectedOffset += 30 + e.name.size() + e.compressed;
        if (e.flags & 1) {
            if (password == nullptr || e.payload.size() < 12)
                return fail("encrypted entry " + e.name);
            PkwareDecryptor keys(password);
            for (char& c : e.payload)
                c = static_cast<char>(keys.Decrypt(static_cast<unsigned char>(c)));
            memcpy(e.cryptCheck, &e.payload[10], 2);
            e.payload.erase(0, 12);
        }
        if (e.method == 0) {
            e.data = e.payload;
        } else if (e.method == 8) {
            z_stream s{};
            inflateInit2(&s, -MAX_WBITS);
            e.data.assign(e.size + 1, '\0');
            s.next_in = reinterpret_cast<Bytef*>(&e.payload[0]);
            s.avail_in = static_cast<uInt>(e.payload.size());
            s.next_out = reinterpret_cast<Bytef*>(&e.data[0]);
            s.avail_out = static_cast<uInt>(e.data.size());
            int err = inflate(&s, Z_FINISH);
            e.data.resize(s.total_out);
            inflateEnd(&s);
            if (err != Z_STREAM_END || s.avail_in != 0)
                return fail("deflate stream of " + e.name + " is broken");
        } else {
            return fail("unknown method");
        }
        if (e.data.size() != e.size ||
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), e.size) != e.crc)
            return fail("size or CRC-32 of " + e.name);
        out->entries.push_back(e);
    }
    if (expectedOffset != out->centralOffset)
        return fail("gap before the central directory");
    return testing::AssertionSuccess();
}

// ---- Readers nobody here wrote: unzip, 7-Zip and Python's zipfile (native build only). ----

#ifdef _WIN32
#define EXPECT_READERS_ACCEPT(bytes, parsed, password, base) ((void)0)
#else
bool HaveTool(const char* name)
{
    return system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

#define EXPECT_READERS_ACCEPT(bytes, parsed, password, base)                                  \
    do {                                                                                     \
        if (!HaveTool("unzip") || !HaveTool("7zz") || !HaveTool("python3"))                  \
            GTEST_SKIP() << "unzip, 7zz or python3 is missing";                             \
        ExpectReadersAccept(bytes, parsed, password, base);                                  \
    } while (0)

void ExpectReadersAccept(const std::string& bytes, const Parsed& parsed, const char* password,
                         uint64_t base)
{
    TempDir dir;
    std::string path = dir.Join("t.zip");
    {
        std::ofstream file(path, std::ios::binary);
        file.seekp(static_cast<std::streamoff>(base));  // a sparse file when base is large
        file << bytes;
    }
    std::string pw = password != nullptr ? password : "";
    std::string quiet = " >/dev/null 2>&1";
    EXPECT_EQ(system(("unzip -tqq " + (password ? "-P " + pw + " " : "") + path + quiet).c_str()), 0);
    // 7-Zip takes bytes before the archive for damage, so it sees only archives at the start.
    if (base == 0) {
        EXPECT_EQ(system(("7zz t " + (password ? "-p" + pw + " " : "") + path + quiet).c_str()),
                  0);
    }
    std::string script =
        "import sys, zipfile, zlib\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "for i in z.infolist():\n"
        "    d = z.read(i, pwd=sys.argv[2].encode() or None)\n"
        "    print(i.filename.encode('cp437').hex(), i.flag_bits, i.compress_type, "
        "zlib.crc32(d), len(d))\n";
    std::string scriptPath = dir.WriteFile("read.py", script);
    FILE* pipe = popen(("python3 " + scriptPath + " " + path + " '" + pw + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string seen;
    char line[1024];
    while (fgets(line, sizeof line, pipe) != nullptr)
        seen += line;
    EXPECT_EQ(pclose(pipe), 0);
    std::ostringstream expected;
    for (const Entry& e : parsed.entries) {
        for (unsigned char c : e.name)
            expected << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
        expected << ' ' << e.flags << ' ' << e.method << ' ' << e.crc << ' ' << e.size << '\n';
    }
    EXPECT_EQ(seen, expected.str());
}
#endif

// ---- Tests ----

TEST(ZipWriter, WritesTheHeadersOfAnEntryByteByByte)
{
    Sink sink;
    zipFile zf = OpenMemoryArchive(&sink);
    std::string data = Text(5000);
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

    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
        inputs.push_back(Text(i % 3 == 0 ? 150000 : 3000 + i) + RandomBytes(i * 100, 7 + i));
        ASSERT_EQ(AddEntry(zf, "e" + std::to_string(i), inputs[i], rows[i].level, rows[i].password),
                  ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed, "pw"));
    ASSERT_EQ(parsed.entries.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Entry& e = parsed.entries[i];
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
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
        Parsed parsed;
        ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
    std::string data = Text(40000);
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

    Parsed parsed;
    ASSERT_TRUE(Parse(archives[2], &parsed, "secret"));
    ASSERT_EQ(parsed.entries.size(), 2u);
    for (const Entry& e : parsed.entries) {
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
    } rows[] = {{Text(100000), 9, nullptr, 1}, {Text(100000), 6, "pw", 1},
                {RandomBytes(50000, 3), 9, nullptr, -1}, {"", 5, nullptr, -1},
                {Text(1000), 0, "pw", 0}};
    for (const Row& row : rows) {
        Sink sink;
        zipFile zf = OpenMemoryArchive(&sink);
        EXPECT_EQ(zipLastFileGain(zf), 0);
        ASSERT_EQ(AddEntry(zf, "x", row.data, row.level, row.password), ZIP_OK);
        int32_t gain = zipLastFileGain(zf);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        Parsed parsed;
        ASSERT_TRUE(Parse(sink.bytes, &parsed, "pw"));
        const Entry& e = parsed.entries.at(0);
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
        Parsed parsed;
        ASSERT_TRUE(Parse(bytes, &parsed, "pw"));  // checks that the file ends with the end record
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
        ASSERT_EQ(AddEntry(zf, "c", Text(2000), 9), ZIP_OK);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
        EXPECT_EQ(sink.bytes.find("cut-short"), std::string::npos);
        Parsed parsed;
        ASSERT_TRUE(Parse(sink.bytes, &parsed));
        ASSERT_EQ(parsed.entries.size(), 2u);
        EXPECT_EQ(parsed.entries[1].data, Text(2000));
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
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed, "pw"));
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
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
        Parsed parsed;
        ASSERT_TRUE(Parse(sink.bytes, &parsed, "pw", sink.base));
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
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed, nullptr, sink.base));
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
        std::string start = Text(100000);
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
        Parsed parsed;
        ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
                                AddEntry(zf, "secret", Text(70000), 9, "pw"), zipRemoveLastFile(zf),
                                AddEntry(zf, "secret", Text(70000), 0, "pw")};
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
    Parsed parsed;
    ASSERT_TRUE(Parse(clean.bytes, &parsed, "pw"));
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
        ASSERT_EQ(AddEntry(zf, "f" + std::to_string(i), Text(200), i % 2 == 0 ? 6 : 0), ZIP_OK);
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
    Parsed parsed;
    ASSERT_TRUE(Parse(sink.bytes, &parsed));
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
