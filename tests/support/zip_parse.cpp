#include "tests/support/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "archive/zip_aes.h"
#include "core/text_utf8.h"

// The test support's own ZIP reader (ParseZip): the layout rules, the APPNOTE decryption and
// zlib's inflate; AES entries through the program's own primitives, which their own tests check
// against published vectors.

const ZipEntry* ZipParsed::Find(const std::string& name) const
{
    for (const ZipEntry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

std::vector<std::string> ZipParsed::Names() const
{
    std::vector<std::string> names;
    for (const ZipEntry& e : entries)
        names.push_back(e.name);
    return names;
}

namespace {

constexpr uint64_t kMarker32 = 0xFFFFFFFFu;
constexpr uint32_t kMarker16 = 0xFFFF;
constexpr uint64_t kKeptSize = 64 << 20;  // entries up to this size keep payload and data

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
    void Decrypt(std::string* bytes)
    {
        for (char& c : *bytes) {
            uint32_t temp = (k2 & 0xFFFF) | 2;
            c = static_cast<char>(c ^ static_cast<char>((temp * (temp ^ 1)) >> 8));
            Update(static_cast<unsigned char>(c));
        }
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

// Reads the entry's data from `at`: decrypts it, inflates it and checks CRC-32 and size. Entries
// of gigabytes (of zeros, in the tests) are left unread: what counts there are their headers.
testing::AssertionResult ReadData(const Image& image, uint64_t at, const char* password,
                                  ZipEntry* e)
{
    std::string& p = e->payload;
    if (e->compressed > kKeptSize || e->size > kKeptSize)
        return testing::AssertionSuccess();
    if (!image.Get(at, e->compressed, &p))
        return Fail("data of " + e->name + " beyond the end");
    auto bytes = [&p](size_t at) { return reinterpret_cast<unsigned char*>(&p[at]); };
    unsigned method = e->method;
    if (e->aesVersion != 0) {
        std::string utf8;
        unsigned char verifier[kZipAesVerifierSize], mac[kZipAesMacSize];
        ZipAesCipher aes;
        if (password == nullptr || p.size() < kZipAesOverhead || !Cp932ToUtf8(password, &utf8) ||
            !aes.Start(utf8, bytes(0), verifier) ||
            memcmp(verifier, bytes(kZipAesSaltSize), sizeof verifier) != 0)
            return Fail("password verifier of " + e->name);
        std::string code = p.substr(p.size() - kZipAesMacSize);
        p = p.substr(kZipAesSaltSize + kZipAesVerifierSize, p.size() - kZipAesOverhead);
        if ((!p.empty() && !aes.Decrypt(bytes(0), p.size())) || !aes.Finish(mac) ||
            memcmp(mac, code.data(), sizeof mac) != 0)
            return Fail("authentication code of " + e->name);
        method = e->aesMethod;
    } else if (e->flags & 1) {
        if (password == nullptr || p.size() < 12)
            return Fail("encrypted entry " + e->name);
        PkwareDecryptor(password).Decrypt(&p);
        // Readers check the password against the last byte; older ones against both.
        if (U16(p, 10) != e->crc >> 16)
            return Fail("encryption header of " + e->name + " does not end in the CRC's top");
        p.erase(0, 12);
    }
    if (method == 0)
        e->data = p;
    else if (method != 8 || !RawInflate(p, e->size, &e->data))
        return Fail("unknown method or broken deflate stream in " + e->name);
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e->data.data()),
                         static_cast<uInt>(e->data.size()));
    // AE-2 keeps no CRC-32: the authentication code stands for it.
    if (e->data.size() != e->size || (e->aesVersion != 2 ? crc != e->crc : e->crc != 0))
        return Fail("size or CRC-32 of " + e->name);
    return testing::AssertionSuccess();
}

// The end records: ZIP64 ones exactly when a value does not fit the classic record.
testing::AssertionResult ParseEnd(const Image& image, ZipParsed* out, uint64_t* count,
                                  uint64_t* centralSize, uint64_t* directoryEnd)
{
    std::string end, locator, record;
    if (!image.Get(image.end - std::min<uint64_t>(22, image.end - image.begin), 22, &end) ||
        U32(end, 0) != 0x06054b50)
        return Fail("file does not end with an end record");
    uint32_t count16 = U16(end, 8), size32 = U32(end, 12), offset32 = U32(end, 16);
    if (U32(end, 4) != 0 || U16(end, 10) != count16 || U16(end, 20) != 0)
        return Fail("bad end record");
    *count = count16;
    *centralSize = size32;
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
    *centralSize = U64(record, 40);
    out->centralOffset = U64(record, 48);
    *directoryEnd = recordOffset;
    if (U32(record, 0) != 0x06064b50 || U64(record, 4) != 44 || U16(record, 12) != 0 ||
        U16(record, 14) != 45 || U32(record, 16) != 0 || U32(record, 20) != 0 ||
        U64(record, 24) != *count)
        return Fail("bad ZIP64 end record");
    if (count16 != std::min<uint64_t>(*count, kMarker16) ||
        size32 != std::min(*centralSize, kMarker32) ||
        offset32 != std::min(out->centralOffset, kMarker32))
        return Fail("end record does not match the ZIP64 end record");
    if (*count < kMarker16 && *centralSize < kMarker32 && out->centralOffset < kMarker32)
        return Fail("ZIP64 end record without need");
    return testing::AssertionSuccess();
}

// Splits extra fields into the ZIP64 field and the others, which must be the Unicode Path field
// (0x7075) and the AES field (0x9901), each at most once and well formed; they are decoded into
// `e`. `others` gets their bytes as they stand.
testing::AssertionResult SplitExtra(const std::string& extra, ZipEntry* e, std::string* zip64,
                                    std::string* others)
{
    zip64->clear();
    others->clear();
    e->unicodeName.clear();
    e->aesVersion = e->aesMethod = 0;
    bool seen7075 = false;
    uint32_t nameCrc = crc32(0, reinterpret_cast<const Bytef*>(e->name.data()),
                             static_cast<uInt>(e->name.size()));
    for (size_t at = 0; at < extra.size();) {
        if (at + 4 > extra.size() || at + 4 + U16(extra, at + 2) > extra.size())
            return Fail("extra fields of " + e->name + " overrun");
        unsigned tag = U16(extra, at);
        std::string field = extra.substr(at, 4 + U16(extra, at + 2)), data = field.substr(4);
        at += field.size();
        if (tag == 1 && zip64->empty()) {
            *zip64 = field;
            continue;
        }
        *others += field;
        if (tag == 0x7075 && !seen7075 && data.size() > 5 && data[0] == 1 &&
            U32(data, 1) == nameCrc) {
            seen7075 = true;
            e->unicodeName = data.substr(5);
        } else if (tag == 0x9901 && e->aesVersion == 0 && data.size() == 7 &&
                   (U16(data, 0) == 1 || U16(data, 0) == 2) && data.substr(2, 2) == "AE" &&
                   data[4] == 3) {
            e->aesVersion = U16(data, 0);
            e->aesMethod = U16(data, 5);
        } else {
            return Fail("unexpected extra field " + std::to_string(tag) + " in " + e->name);
        }
    }
    return testing::AssertionSuccess();
}

// The central record's ZIP64 field: the values whose fixed field holds the marker, in order.
testing::AssertionResult ParseCentralField(const std::string& extra, ZipEntry* e)
{
    e->central64 = 0;
    if (extra.empty())
        return testing::AssertionSuccess();
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

// The local header at the entry's offset must say what its central record says (`others`: its
// extra fields beside ZIP64's): the sizes in its own fields, or both in its ZIP64 field behind
// markers.
testing::AssertionResult ParseLocal(const Image& image, const std::string& others, ZipEntry* e,
                                    uint64_t* dataStart)
{
    std::string local, name, allExtra, extra, localOthers;
    if (!image.Get(e->offset, 30, &local) || U32(local, 0) != 0x04034b50 ||
        U16(local, 4) != e->version || U16(local, 6) != e->flags || U16(local, 8) != e->method ||
        U32(local, 10) != e->dosDate || U32(local, 14) != e->crc ||
        !image.Get(e->offset + 30, U16(local, 26), &name) || name != e->name ||
        !image.Get(e->offset + 30 + name.size(), U16(local, 28), &allExtra))
        return Fail("local header does not match central record of " + e->name);
    testing::AssertionResult result = SplitExtra(allExtra, e, &extra, &localOthers);
    if (!result)
        return result;
    if (localOthers != others)
        return Fail("extra fields of the local header of " + e->name);
    e->localZip64 = !extra.empty();
    bool sizes = e->localZip64
                     ? extra.size() == 20 &&
                           U32(local, 18) == kMarker32 && U32(local, 22) == kMarker32 &&
                           U64(extra, 4) == e->size && U64(extra, 12) == e->compressed
                     : U32(local, 18) == e->compressed && U32(local, 22) == e->size;
    if (!sizes)
        return Fail("sizes in the local header of " + e->name);
    unsigned version = e->localZip64 || e->offset >= kMarker32 ? 45u : 20u;
    if (e->version != (e->aesVersion != 0 ? 51u : version))
        return Fail("version needed of " + e->name);
    if ((e->method == 99) != (e->aesVersion != 0) || (e->method == 99 && !(e->flags & 1)))
        return Fail("method 99 without the AES field or encryption in " + e->name);
    *dataStart = e->offset + 30 + name.size() + allExtra.size();
    return testing::AssertionSuccess();
}

testing::AssertionResult Parse(const Image& image, ZipParsed* out, const Passwords& passwords)
{
    uint64_t count, centralSize, directoryEnd;
    *out = ZipParsed();
    testing::AssertionResult result = ParseEnd(image, out, &count, &centralSize, &directoryEnd);
    std::string b;
    if (!result)
        return result;
    if (out->centralOffset + centralSize != directoryEnd ||
        !image.Get(out->centralOffset, centralSize, &b))
        return Fail("bad end record");
    size_t at = 0;
    uint64_t expectedOffset = image.begin;
    for (uint64_t i = 0; i < count; ++i) {
        ZipEntry e;
        // Made on MS-DOS, or on NTFS (version 2.0) for UTF-8 names.
        if (at + 46 > b.size() || U32(b, at) != 0x02014b50 ||
            U16(b, at + 4) != (U16(b, at + 8) & 0x800 ? 0x0B14u : 0u) ||
            U16(b, at + 32) != 0 || U16(b, at + 34) != 0 || U16(b, at + 36) != 0 ||
            at + 46 + U16(b, at + 28) + U16(b, at + 30) > b.size())
            return Fail("bad central record " + std::to_string(i));
        e.version = U16(b, at + 6), e.flags = U16(b, at + 8), e.method = U16(b, at + 10);
        e.dosDate = U32(b, at + 12), e.crc = U32(b, at + 16), e.compressed = U32(b, at + 20);
        e.size = U32(b, at + 24), e.external = U32(b, at + 38), e.offset = U32(b, at + 42);
        e.name = b.substr(at + 46, U16(b, at + 28));
        std::string extra = b.substr(at + 46 + e.name.size(), U16(b, at + 30));
        at += 46 + e.name.size() + extra.size();
        uint64_t dataStart;
        std::string zip64, others;
        if (!(result = SplitExtra(extra, &e, &zip64, &others)) ||
            !(result = ParseCentralField(zip64, &e)) ||
            !(result = ParseLocal(image, others, &e, &dataStart)))
            return result;
        if (e.offset != expectedOffset)
            return Fail("gap before the local header of " + e.name);
        if ((e.flags & ~0x807u) != 0)
            return Fail("unexpected flags in " + e.name);
        expectedOffset = dataStart + e.compressed;
        if (!(result = ReadData(image, dataStart, passwords.Of(e.name), &e)))
            return result;
        out->entries.push_back(e);
    }
    if (at != b.size())
        return Fail("central directory holds more than its records");
    if (expectedOffset != out->centralOffset)
        return Fail("gap before the central directory");
    return testing::AssertionSuccess();
}

}  // namespace

testing::AssertionResult ParseZip(const std::string& bytes, ZipParsed* out,
                                  const Passwords& passwords, uint64_t base)
{
    Image image{base, base + bytes.size(), [&bytes, base](uint64_t at, size_t size,
                                                        std::string* read) {
                    read->assign(bytes, static_cast<size_t>(at - base), size);
                }};
    return Parse(image, out, passwords);
}

testing::AssertionResult ParseZip(const SparseSink& sink, ZipParsed* out,
                                  const Passwords& passwords)
{
    Image image{0, sink.size, [&sink](uint64_t at, size_t size, std::string* bytes) {
                    sink.Read(at, size, bytes);
                }};
    return Parse(image, out, passwords);
}
