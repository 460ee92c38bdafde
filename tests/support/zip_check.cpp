#include "tests/support/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "tests/support/temp_dir.h"

std::string RandomBytes(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string CompressibleText(size_t size)
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

bool MemoryOutput::Write(const void* data, size_t size)
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

bool MemoryOutput::Seek(uint64_t offset)
{
    if (++sink_->seeks == sink_->failSeek || offset < sink_->base)
        return false;
    pos_ = offset;
    return true;
}

bool MemoryOutput::Tell(uint64_t* offset)
{
    *offset = pos_;
    return true;
}

bool MemoryOutput::Truncate()
{
    sink_->bytes.resize(static_cast<size_t>(pos_ - sink_->base));
    return !sink_->failTruncate;
}

bool MemoryOutput::Close()
{
    return !sink_->failClose;
}

ZipOutput* OpenSink(void* opaque, const char*)
{
    return new MemoryOutput(static_cast<Sink*>(opaque));
}

namespace {

constexpr uint64_t kPageSize = 64 * 1024;
const char kZeroPage[kPageSize] = {};

class SparseOutput : public ZipOutput {
public:
    explicit SparseOutput(SparseSink* sink) : sink_(sink) {}
    bool Write(const void* data, size_t size) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            uint64_t page = pos_ / kPageSize;
            size_t within = static_cast<size_t>(pos_ % kPageSize);
            size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, kPageSize - within));
            auto found = sink_->pages.find(page);
            if (found != sink_->pages.end())
                memcpy(&found->second[within], bytes, chunk);
            else if (memcmp(bytes, kZeroPage, chunk) != 0)
                memcpy(&(sink_->pages[page] = std::string(kPageSize, '\0'))[within], bytes, chunk);
            pos_ += chunk;
            bytes += chunk;
            size -= chunk;
        }
        sink_->size = std::max(sink_->size, pos_);
        return true;
    }
    bool Seek(uint64_t offset) override
    {
        pos_ = offset;
        return true;
    }
    bool Tell(uint64_t* offset) override
    {
        *offset = pos_;
        return true;
    }
    bool Truncate() override
    {
        sink_->size = pos_;
        sink_->pages.erase(sink_->pages.lower_bound((pos_ + kPageSize - 1) / kPageSize),
                           sink_->pages.end());
        auto last = sink_->pages.find(pos_ / kPageSize);
        if (last != sink_->pages.end()) {
            size_t within = static_cast<size_t>(pos_ % kPageSize);
            memset(&last->second[within], 0, kPageSize - within);
        }
        return true;
    }
    bool Close() override { return true; }

private:
    SparseSink* sink_;
    uint64_t pos_ = 0;
};

}  // namespace

void SparseSink::Read(uint64_t at, size_t count, std::string* bytes) const
{
    bytes->assign(count, '\0');
    for (size_t done = 0; done < count;) {
        uint64_t page = (at + done) / kPageSize;
        size_t within = static_cast<size_t>((at + done) % kPageSize);
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, kPageSize - within));
        auto found = pages.find(page);
        if (found != pages.end())
            memcpy(&(*bytes)[done], &found->second[within], chunk);
        done += chunk;
    }
}

ZipOutput* OpenSparseSink(void* opaque, const char*)
{
    return new SparseOutput(static_cast<SparseSink*>(opaque));
}

const ZipEntry* ZipParsed::Find(const std::string& name) const
{
    for (const ZipEntry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

namespace {

constexpr uint64_t kMarker32 = 0xFFFFFFFFu;
constexpr uint32_t kMarker16 = 0xFFFF;
constexpr uint64_t kKeptSize = 64 << 20;  // entries up to this size keep payload and data
constexpr size_t kChunk = 1 << 20;

uint32_t U16(const std::string& b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
uint32_t U32(const std::string& b, size_t at)
{
    return U16(b, at) | U16(b, at + 2) << 16;
}
uint64_t U64(const std::string& b, size_t at)
{
    return U32(b, at) | static_cast<uint64_t>(U32(b, at + 4)) << 32;
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

// The archive's bytes from `begin` to `end`, whatever holds them.
struct Image {
    uint64_t begin, end;
    std::function<void(uint64_t at, size_t size, std::string* out)> read;
    bool Get(uint64_t at, uint64_t size, std::string* out) const
    {
        if (at < begin || at > end || size > end - at)
            return false;
        read(at, static_cast<size_t>(size), out);
        return true;
    }
};

testing::AssertionResult Fail(const std::string& why)
{
    return testing::AssertionFailure() << why;
}

// Reads the entry's data from `at`: decrypts it, inflates it and checks CRC-32 and size.
testing::AssertionResult ReadData(const Image& image, uint64_t at, const char* password,
                                  ZipEntry* e)
{
    bool keep = e->compressed <= kKeptSize;
    std::unique_ptr<PkwareDecryptor> keys;
    uint64_t left = e->compressed;
    std::string chunk;
    if (e->flags & 1) {
        if (password == nullptr || left < 12 || !image.Get(at, 12, &chunk))
            return Fail("encrypted entry " + e->name);
        keys.reset(new PkwareDecryptor(password));
        for (char& c : chunk)
            c = static_cast<char>(keys->Decrypt(static_cast<unsigned char>(c)));
        memcpy(e->cryptCheck, &chunk[10], 2);
        at += 12;
        left -= 12;
    }
    if (e->method != 0 && e->method != 8)
        return Fail("unknown method");
    uLong crc = crc32(0, nullptr, 0);
    uint64_t produced = 0;
    auto take = [&](const char* bytes, size_t size) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(size));
        produced += size;
        if (keep)
            e->data.append(bytes, size);
    };
    z_stream s{};
    std::unique_ptr<z_stream, int (*)(z_stream*)> ending(nullptr, inflateEnd);
    if (e->method == 8) {
        inflateInit2(&s, -MAX_WBITS);
        ending.reset(&s);
    }
    std::string out(e->method == 0 ? 0 : std::min<uint64_t>(kChunk, e->size + 1), '\0');
    int err = e->method == 0 ? Z_STREAM_END : Z_OK;
    do {
        uint64_t size = std::min<uint64_t>(left, kChunk);
        if (!image.Get(at, size, &chunk))
            return Fail("data of " + e->name + " beyond the end");
        at += size;
        left -= size;
        if (keys) {
            for (char& c : chunk)
                c = static_cast<char>(keys->Decrypt(static_cast<unsigned char>(c)));
        }
        if (keep)
            e->payload += chunk;
        if (e->method == 0) {
            take(chunk.data(), chunk.size());
            continue;
        }
        s.next_in = reinterpret_cast<Bytef*>(&chunk[0]);
        s.avail_in = static_cast<uInt>(chunk.size());
        do {
            s.next_out = reinterpret_cast<Bytef*>(&out[0]);
            s.avail_out = static_cast<uInt>(out.size());
            err = inflate(&s, Z_NO_FLUSH);
            take(out.data(), out.size() - s.avail_out);
        } while (err == Z_OK && (s.avail_in > 0 || s.avail_out == 0));
        if (err != Z_OK && err != Z_STREAM_END)
            return Fail("deflate stream of " + e->name + " is broken");
    } while (left > 0);
    if (err != Z_STREAM_END || s.avail_in != 0)
        return Fail("deflate stream of " + e->name + " is broken");
    if (produced != e->size || crc != e->crc)
        return Fail("size or CRC-32 of " + e->name);
    return testing::AssertionSuccess();
}

// The end records: ZIP64 ones exactly when a value does not fit the classic record.
testing::AssertionResult ParseEnd(const Image& image, ZipParsed* out, uint64_t* count,
                                  uint64_t* directoryEnd)
{
    std::string end, locator, record;
    if (!image.Get(image.end - std::min<uint64_t>(22, image.end - image.begin), 22, &end) ||
        U32(end, 0) != 0x06054b50)
        return Fail("file does not end with an end record");
    uint32_t count16 = U16(end, 8), size32 = U32(end, 12), offset32 = U32(end, 16);
    if (U32(end, 4) != 0 || U16(end, 10) != count16 || U16(end, 20) != 0)
        return Fail("bad end record");
    *count = count16;
    out->centralSize = size32;
    out->centralOffset = offset32;
    *directoryEnd = image.end - 22;
    out->zip64End = image.Get(image.end - 42, 20, &locator) && U32(locator, 0) == 0x07064b50;
    if (!out->zip64End) {
        if (count16 == kMarker16 || size32 == kMarker32 || offset32 == kMarker32)
            return Fail("marker in the end record without ZIP64 end record");
        return testing::AssertionSuccess();
    }
    uint64_t recordOffset = U64(locator, 8);
    if (U32(locator, 4) != 0 || U32(locator, 16) != 1 || recordOffset != image.end - 42 - 56 ||
        !image.Get(recordOffset, 56, &record))
        return Fail("bad ZIP64 end record locator");
    *count = U64(record, 32);
    out->centralSize = U64(record, 40);
    out->centralOffset = U64(record, 48);
    *directoryEnd = recordOffset;
    if (U32(record, 0) != 0x06064b50 || U64(record, 4) != 44 || U16(record, 12) != 0 ||
        U16(record, 14) != 45 || U32(record, 16) != 0 || U32(record, 20) != 0 ||
        U64(record, 24) != *count)
        return Fail("bad ZIP64 end record");
    if (count16 != std::min<uint64_t>(*count, kMarker16) ||
        size32 != std::min(out->centralSize, kMarker32) ||
        offset32 != std::min(out->centralOffset, kMarker32))
        return Fail("end record does not match the ZIP64 end record");
    if (*count < kMarker16 && out->centralSize < kMarker32 && out->centralOffset < kMarker32)
        return Fail("ZIP64 end record without need");
    return testing::AssertionSuccess();
}

// The central record's ZIP64 field: the values whose fixed field holds the marker, in order.
testing::AssertionResult ParseCentralField(const std::string& extra, ZipEntry* e)
{
    e->central64 = 0;
    if (extra.empty())
        return testing::AssertionSuccess();
    if (extra.size() < 4 || U16(extra, 0) != 1 || U16(extra, 2) + 4u != extra.size())
        return Fail("extra field of " + e->name + " is not only the ZIP64 field");
    size_t at = 4;
    uint64_t* values[] = {&e->size, &e->compressed, &e->offset};
    for (unsigned i = 0; i < 3; ++i) {
        if (*values[i] != kMarker32)
            continue;
        if (at + 8 > extra.size() || U64(extra, at) < kMarker32)
            return Fail("ZIP64 field of " + e->name + " does not match its markers");
        *values[i] = U64(extra, at);
        e->central64 |= 1u << i;
        at += 8;
    }
    if (at != extra.size() || at == 4)
        return Fail("ZIP64 field of " + e->name + " does not match its markers");
    return testing::AssertionSuccess();
}

// The local header at the entry's offset must say what its central record says: the sizes in
// its own fields, or both in its ZIP64 field behind markers.
testing::AssertionResult ParseLocal(const Image& image, ZipEntry* e, uint64_t* dataStart)
{
    std::string local, name, extra;
    if (!image.Get(e->offset, 30, &local) || U32(local, 0) != 0x04034b50 ||
        U16(local, 4) != e->version || U16(local, 6) != e->flags || U16(local, 8) != e->method ||
        U32(local, 10) != e->dosDate || U32(local, 14) != e->crc ||
        !image.Get(e->offset + 30, U16(local, 26), &name) || name != e->name ||
        !image.Get(e->offset + 30 + name.size(), U16(local, 28), &extra))
        return Fail("local header does not match central record of " + e->name);
    e->localZip64 = !extra.empty();
    bool sizes = e->localZip64
                     ? extra.size() == 20 && U16(extra, 0) == 1 && U16(extra, 2) == 16 &&
                           U32(local, 18) == kMarker32 && U32(local, 22) == kMarker32 &&
                           U64(extra, 4) == e->size && U64(extra, 12) == e->compressed
                     : U32(local, 18) == e->compressed && U32(local, 22) == e->size;
    if (!sizes)
        return Fail("sizes in the local header of " + e->name);
    if (e->version != (e->localZip64 || e->offset >= kMarker32 ? 45u : 20u))
        return Fail("version needed of " + e->name);
    *dataStart = e->offset + 30 + name.size() + extra.size();
    return testing::AssertionSuccess();
}

// `passwordOf` gives the password of an encrypted entry, or none.
template <typename PasswordOf>
testing::AssertionResult Parse(const Image& image, ZipParsed* out, PasswordOf passwordOf)
{
    uint64_t count, directoryEnd;
    testing::AssertionResult result = ParseEnd(image, out, &count, &directoryEnd);
    std::string b;
    if (!result)
        return result;
    if (out->centralOffset + out->centralSize != directoryEnd ||
        !image.Get(out->centralOffset, out->centralSize, &b))
        return Fail("bad end record");
    size_t at = 0;
    uint64_t expectedOffset = image.begin;
    for (uint64_t i = 0; i < count; ++i) {
        ZipEntry e;
        if (at + 46 > b.size() || U32(b, at) != 0x02014b50 || U16(b, at + 4) != 0 ||
            U16(b, at + 32) != 0 || U16(b, at + 34) != 0 ||
            at + 46 + U16(b, at + 28) + U16(b, at + 30) > b.size())
            return Fail("bad central record " + std::to_string(i));
        e.version = U16(b, at + 6), e.flags = U16(b, at + 8), e.method = U16(b, at + 10);
        e.dosDate = U32(b, at + 12), e.crc = U32(b, at + 16), e.compressed = U32(b, at + 20);
        e.size = U32(b, at + 24), e.internal = U16(b, at + 36), e.external = U32(b, at + 38);
        e.offset = U32(b, at + 42);
        e.name = b.substr(at + 46, U16(b, at + 28));
        std::string extra = b.substr(at + 46 + e.name.size(), U16(b, at + 30));
        at += 46 + e.name.size() + extra.size();
        uint64_t dataStart;
        if (!(result = ParseCentralField(extra, &e)) || !(result = ParseLocal(image, &e, &dataStart)))
            return result;
        if (e.offset != expectedOffset)
            return Fail("gap before the local header of " + e.name);
        if ((e.flags & ~7u) != 0)
            return Fail("unexpected flags in " + e.name);
        expectedOffset = dataStart + e.compressed;
        if (!(result = ReadData(image, dataStart, passwordOf(e.name), &e)))
            return result;
        out->entries.push_back(e);
    }
    if (at != b.size())
        return Fail("central directory holds more than its records");
    if (expectedOffset != out->centralOffset)
        return Fail("gap before the central directory");
    return testing::AssertionSuccess();
}

Image BytesImage(const std::string& bytes, uint64_t base)
{
    return Image{base, base + bytes.size(), [&bytes, base](uint64_t at, size_t size, std::string* out) {
                     out->assign(bytes, static_cast<size_t>(at - base), size);
                 }};
}

}  // namespace

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out, const char* password,
                                  uint64_t base)
{
    return Parse(BytesImage(bytes, base), out,
                 [password](const std::string&) { return password; });
}

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const PasswordMap& passwords)
{
    auto passwordOf = [&passwords](const std::string& name) -> const char* {
        auto found = passwords.find(name);
        return found != passwords.end() ? found->second.c_str() : nullptr;
    };
    return Parse(BytesImage(bytes, 0), out, passwordOf);
}

testing::AssertionResult ParseZip(const SparseSink& sink, ZipParsed* out, const char* password)
{
    Image image{0, sink.size, [&sink](uint64_t at, size_t size, std::string* bytes) {
                    sink.Read(at, size, bytes);
                }};
    return Parse(image, out, [password](const std::string&) { return password; });
}

#ifdef _WIN32

void ExpectReadersAccept(const std::string&, const ZipParsed&, const char*, uint64_t) {}
void ExpectReadersAcceptFile(const std::string&, const ZipParsed&, const PasswordMap&) {}

#else

namespace {

bool HaveReaders()
{
    return system("command -v unzip >/dev/null 2>&1 && command -v 7zz >/dev/null 2>&1 && "
                  "command -v python3 >/dev/null 2>&1") == 0;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (unsigned char c : bytes) {
        hex += "0123456789abcdef"[c >> 4];
        hex += "0123456789abcdef"[c & 15];
    }
    return hex;
}

// unzip and 7-Zip test the archive once per password (none for plain entries), each time on the
// entries that use it, named only when there is more than one. Python reads every entry with its
// own password.
void RunReaders(const std::string& path, const ZipParsed& parsed, const PasswordMap& passwords,
                bool with7zip)
{
    if (!HaveReaders())
        GTEST_SKIP() << "unzip, 7zz or python3 is missing";
    std::map<std::string, std::vector<std::string>> groups;  // password ("" none) -> names
    for (const ZipEntry& e : parsed.entries) {
        auto found = passwords.find(e.name);
        groups[found != passwords.end() ? found->second : ""].push_back(e.name);
    }
    const std::string quiet = " >/dev/null 2>&1";
    for (const auto& group : groups) {
        std::string members;
        if (groups.size() > 1) {
            for (const std::string& name : group.second)
                members += " " + Quote(name);
        }
        std::string pw = group.first;
        std::string unzip = "unzip -tqq " + (pw.empty() ? "" : "-P " + Quote(pw) + " ") +
                            Quote(path) + members;
        EXPECT_EQ(system((unzip + quiet).c_str()), 0) << unzip;
        // 7-Zip takes bytes before the archive for damage, so it sees only archives at the start.
        if (with7zip) {
            std::string sevenZip = "7zz t " + (pw.empty() ? "" : Quote("-p" + pw) + " ") +
                                   Quote(path) + members;
            EXPECT_EQ(system((sevenZip + quiet).c_str()), 0) << sevenZip;
        }
    }

    TempDir dir;
    std::string map;
    for (const auto& p : passwords)
        map += Hex(p.first) + " " + Hex(p.second) + "\n";
    std::string mapPath = dir.WriteFile("passwords.txt", map);
    std::string script =
        "import sys, zipfile, zlib\n"
        "pw = dict(l.split(' ') for l in open(sys.argv[2]).read().split('\\n') if l)\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "for i in z.infolist():\n"
        "    n = i.filename.encode('cp437')\n"
        "    d = z.read(i, pwd=bytes.fromhex(pw.get(n.hex(), '')) or None)\n"
        "    print(n.hex(), i.flag_bits, i.compress_type, zlib.crc32(d), len(d))\n";
    std::string scriptPath = dir.WriteFile("read.py", script);
    FILE* pipe = popen(("python3 " + scriptPath + " " + Quote(path) + " " + mapPath).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string seen;
    char line[1024];
    while (fgets(line, sizeof line, pipe) != nullptr)
        seen += line;
    EXPECT_EQ(pclose(pipe), 0);
    std::ostringstream expected;
    for (const ZipEntry& e : parsed.entries)
        expected << Hex(e.name) << ' ' << e.flags << ' ' << e.method << ' ' << e.crc << ' '
                 << e.size << '\n';
    EXPECT_EQ(seen, expected.str());
}

}  // namespace

void ExpectReadersAccept(const std::string& bytes, const ZipParsed& parsed, const char* password,
                         uint64_t base)
{
    TempDir dir;
    std::string path = dir.Join("t.zip");
    {
        std::ofstream file(path, std::ios::binary);
        file.seekp(static_cast<std::streamoff>(base));  // a sparse file when base is large
        file << bytes;
    }
    PasswordMap passwords;
    if (password != nullptr) {
        for (const ZipEntry& e : parsed.entries) {
            if (e.flags & 1)
                passwords[e.name] = password;
        }
    }
    RunReaders(path, parsed, passwords, base == 0);
}

void ExpectReadersAcceptFile(const std::string& path, const ZipParsed& parsed,
                             const PasswordMap& passwords)
{
    RunReaders(path, parsed, passwords, true);
}

#endif
