#include "tests/support/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

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
    // (password, "" none; AES) -> names
    std::map<std::pair<std::string, bool>, std::vector<std::string>> groups;
    for (const ZipEntry& e : parsed.entries) {
        auto found = passwords.find(e.name);
        groups[{found != passwords.end() ? found->second : "", e.aesVersion != 0}].push_back(e.name);
    }
    const std::string quiet = " >/dev/null 2>&1";
    for (const auto& group : groups) {
        std::string members;
        if (groups.size() > 1) {
            for (const std::string& name : group.second)
                members += " " + Quote(name);
        }
        std::string pw = group.first.first;
        // Info-ZIP unzip 6.0 cannot decrypt AES: its test skips such entries ("need PK compat.
        // v5.1") and exits with 81, so for them it only has to list the archive.
        std::string unzip = group.first.second
                                ? "unzip -l " + Quote(path) + members
                                : "unzip -tqq " + (pw.empty() ? "" : "-P " + Quote(pw) + " ") +
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
        "    n = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
        "    if i.compress_type == 99:\n"  // no AES in zipfile: its headers only
        "        print(n.hex(), i.flag_bits, 99, i.CRC, i.file_size)\n"
        "        continue\n"
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
