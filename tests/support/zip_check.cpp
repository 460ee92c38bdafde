#include "tests/support/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (unsigned char c : bytes) {
        hex += "0123456789abcdef"[c >> 4];
        hex += "0123456789abcdef"[c & 15];
    }
    return hex;
}

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
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

const ZipEntry* ZipParsed::Find(const std::string& name) const
{
    for (const ZipEntry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

namespace {

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

// `passwordOf` gives the password of an encrypted entry, or none.
template <typename PasswordOf>
testing::AssertionResult Parse(const std::string& b, ZipParsed* out, PasswordOf passwordOf,
                               uint64_t base)
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
        ZipEntry e;
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
            const char* password = passwordOf(e.name);
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

}  // namespace

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out, const char* password,
                                  uint64_t base)
{
    return Parse(bytes, out, [password](const std::string&) { return password; }, base);
}

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const PasswordMap& passwords)
{
    auto passwordOf = [&passwords](const std::string& name) -> const char* {
        auto found = passwords.find(name);
        return found != passwords.end() ? found->second.c_str() : nullptr;
    };
    return Parse(bytes, out, passwordOf, 0);
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
