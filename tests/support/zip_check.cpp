#include "tests/support/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
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

std::string CompressibleText(size_t size)
{
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line % 97) + " of some compressible text\r\n";
    return text.substr(0, size);
}

std::string Prose(size_t size, uint32_t seed)
{
    std::string text;
    for (uint32_t i = seed; text.size() < size; ++i)
        text += std::to_string(i * 7919u % 100003) + (i % 13 != 0 ? " " : "\n");
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

bool RawInflate(std::string packed, size_t limit, std::string* out)
{
    z_stream s{};
    inflateInit2(&s, -MAX_WBITS);
    out->assign(limit + 1, '\0');  // room for one byte too many
    s.next_in = reinterpret_cast<Bytef*>(&packed[0]);
    s.avail_in = static_cast<uInt>(packed.size());
    s.next_out = reinterpret_cast<Bytef*>(&(*out)[0]);
    s.avail_out = static_cast<uInt>(out->size());
    bool whole = inflate(&s, Z_FINISH) == Z_STREAM_END && s.avail_in == 0;
    out->resize(s.total_out);
    inflateEnd(&s);
    return whole;
}

namespace {

constexpr uint64_t kPageSize = 64 * 1024;

class MemoryOutput : public ZipOutput {
public:
    explicit MemoryOutput(Sink* sink) : sink_(sink), pos_(sink->base) {}
    bool Write(const void* data, size_t size) override
    {
        if (++sink_->writes == sink_->failWrite)
            return false;
        for (const char* bytes = static_cast<const char*>(data); size > 0;) {
            size_t within = static_cast<size_t>(pos_ % kPageSize);
            size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, kPageSize - within));
            auto page = sink_->pages.find(pos_ / kPageSize);
            bool zeros = std::all_of(bytes, bytes + chunk, [](char c) { return c == 0; });
            if (page == sink_->pages.end() && !zeros)
                page = sink_->pages.emplace(pos_ / kPageSize, std::string(kPageSize, '\0')).first;
            if (page != sink_->pages.end())
                memcpy(&page->second[within], bytes, chunk);
            pos_ += chunk, bytes += chunk, size -= chunk;
        }
        sink_->end = std::max(sink_->end, pos_);
        return true;
    }
    bool Seek(uint64_t offset) override
    {
        if (++sink_->seeks == sink_->failSeek || offset < sink_->base)
            return false;
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
        sink_->end = pos_;
        sink_->pages.erase(sink_->pages.upper_bound(pos_ / kPageSize), sink_->pages.end());
        auto last = sink_->pages.find(pos_ / kPageSize);
        if (last != sink_->pages.end())
            memset(&last->second[pos_ % kPageSize], 0, kPageSize - pos_ % kPageSize);
        return !sink_->failTruncate;
    }
    bool Close() override { return !sink_->failClose; }

private:
    Sink* sink_;
    uint64_t pos_;
};

const char* PasswordOf(const PasswordMap& passwords, const std::string& name)
{
    auto found = passwords.find(name);
    found = found != passwords.end() ? found : passwords.find("");
    return found != passwords.end() ? found->second.c_str() : nullptr;
}

}  // namespace

ZipOutput* OpenSink(void* opaque, const char*)
{
    return new MemoryOutput(static_cast<Sink*>(opaque));
}

bool Sink::Read(uint64_t at, void* buffer, size_t count) const
{
    char* bytes = static_cast<char*>(buffer);
    for (size_t done = 0; done < count;) {
        size_t within = static_cast<size_t>((at + done) % kPageSize);
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, kPageSize - within));
        auto page = pages.find((at + done) / kPageSize);
        if (page != pages.end())
            memcpy(bytes + done, &page->second[within], chunk);
        else
            memset(bytes + done, 0, chunk);
        done += chunk;
    }
    return true;
}

std::string Sink::Bytes() const
{
    std::string bytes(static_cast<size_t>(End() - base), '\0');
    Read(base, &bytes[0], bytes.size());
    return bytes;
}

std::vector<std::string> ZipParsed::Names() const
{
    std::vector<std::string> names;
    for (const ZipEntry& e : entries)
        names.push_back(e.name);
    return names;
}

testing::AssertionResult ParseZip(const ZipSource& source, ZipParsed* out,
                                  const PasswordMap& passwords)
{
    static const std::atomic<int> kNoAbort{0};
    ZipReader reader(&source, kNoAbort);
    *out = ZipParsed();
    if (!reader.ReadEnd())
        return testing::AssertionFailure() << reader.reason;
    out->zip64End = reader.zip64End;
    for (uint64_t i = 0; i < reader.count; ++i) {
        ZipEntry e;
        if (reader.NextCentral(&e) && reader.MatchLocal(&e)) {
            const char* password = e.flags & 1 ? PasswordOf(passwords, e.name) : nullptr;
            // Entries of gigabytes (of zeros) are left unread: what counts there are headers.
            if (std::max(e.size, e.compressed) > (64 << 20) ||
                reader.CheckData(e, password != nullptr ? password : "", &e.payload, &e.data)) {
                out->entries.push_back(std::move(e));
                continue;
            }
        }
        return testing::AssertionFailure() << reader.reason << " : " << e.name;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const PasswordMap& passwords)
{
    Sink sink;
    MemoryOutput(&sink).Write(bytes.data(), bytes.size());
    return ParseZip(sink, out, passwords);
}

void ExpectReadersAccept(const Sink& sink, const ZipParsed& parsed, const PasswordMap& passwords)
{
    TempDir dir;
    std::string path = dir.Join("t.zip");
    {
        std::ofstream file(path, std::ios::binary);
        file.seekp(static_cast<std::streamoff>(sink.base));  // a sparse file when base is large
        file << sink.Bytes();
    }
    ExpectReadersAccept(path, parsed, passwords, sink.base == 0);
}

#ifdef _WIN32

void ExpectReadersAccept(const std::string&, const ZipParsed&, const PasswordMap&, bool) {}

#else

namespace {

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (unsigned char c : bytes)
        hex += std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    return hex;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Python reads every entry with its own password ("name:password" in hex as arguments), AES
// entries excepted: zipfile has no AES, so only their headers count.
const char kPythonReader[] =
    "import sys, zipfile, zlib\n"
    "pw = dict(a.split(':') for a in sys.argv[2:])\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "for i in z.infolist():\n"
    "    n = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437').hex()\n"
    "    if i.compress_type == 99:\n"
    "        print(n, i.flag_bits, 99, i.CRC, i.file_size)\n"
    "        continue\n"
    "    d = z.read(i, pwd=bytes.fromhex(pw[n]) if n in pw else None)\n"
    "    print(n, i.flag_bits, i.compress_type, zlib.crc32(d), len(d))\n";

}  // namespace

void ExpectReadersAccept(const std::string& path, const ZipParsed& parsed,
                         const PasswordMap& passwords, bool at0)
{
    if (system("(command -v 7zz && command -v python3) >/dev/null 2>&1"))
        GTEST_SKIP() << "7zz or python3 is missing";
    // 7-Zip tests the entries of each password (none for plain ones) apart, named when there are
    // others.
    std::map<std::string, std::string> groups;
    std::string pythonArgs;
    std::ostringstream expected;
    for (const ZipEntry& e : parsed.entries) {
        const char* password = e.flags & 1 ? PasswordOf(passwords, e.name) : nullptr;
        groups[password != nullptr ? password : ""] += " " + Quote(e.name);
        if (password != nullptr)
            pythonArgs += " " + Hex(e.name) + ":" + Hex(password);
        expected << Hex(e.name) << ' ' << e.flags << ' ' << e.method << ' ' << e.crc << ' '
                 << e.size << '\n';
    }
    if (!at0)
        groups.clear();  // 7-Zip takes bytes before the archive for damage
    for (const auto& group : groups) {
        std::string command = "7zz t " + (group.first.empty() ? "" : Quote("-p" + group.first)) +
                              " " + Quote(path) + (groups.size() > 1 ? group.second : "") +
                              " >/dev/null 2>&1";
        EXPECT_EQ(system(command.c_str()), 0) << command;
    }
    std::string command = "python3 -c " + Quote(kPythonReader) + " " + Quote(path) + pythonArgs;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string seen;
    char line[1024];
    while (fgets(line, sizeof line, pipe) != nullptr)
        seen += line;
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(seen, expected.str());
}

#endif
