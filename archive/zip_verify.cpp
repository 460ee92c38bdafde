#include "archive/zip_verify.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/archive_builder.h"
#include "archive/zip_aes.h"
#include "archive/zip_crypt.h"
#include "core/file_io.h"
#include "core/format_text.h"
#include "core/strings.h"
#include "core/text_utf8.h"

namespace {

constexpr size_t kChunk = 65536;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kEndSize = 22, kLocatorSize = 20, kZip64EndSize = 56;
constexpr size_t kCentralSize = 46, kLocalSize = 30;
constexpr uint64_t kMarker16 = 0xFFFF, kMarker32 = 0xFFFFFFFF;
constexpr uint32_t kAesMethod = 99;
constexpr uint64_t kUnknownOffset = ~uint64_t{0};  // after a header that could not be read

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

class ArchiveFile : public ZipSource {
public:
    explicit ArchiveFile(const char* path) : file_(OpenSourceFile(path))
    {
        SourceFileInfo info;
        if (file_ != kInvalidFile && ReadSourceFileInfo(path, &info))
            size_ = info.size;
    }
    ~ArchiveFile() override
    {
        if (file_ != kInvalidFile)
            CloseFile(file_);
    }
    uint64_t End() const override { return size_; }
    bool Read(uint64_t offset, void* buffer, size_t size) const override
    {
        if (!SeekFile(file_, offset))
            return false;
        for (unsigned char* bytes = static_cast<unsigned char*>(buffer); size > 0;) {
            size_t got = 0;
            if (!ReadChunk(file_, bytes, size, &got) || got == 0)
                return false;
            bytes += got;
            size -= got;
        }
        return true;
    }

private:
    FileHandle file_;
    uint64_t size_ = 0;
};

// Splits extra fields into the ZIP64 field and the others, which may be the Unicode Path field
// of this name and the AES field (AE-1 or AE-2, "AE", AES-256, the real method), each once;
// decodes those into `e`.
bool SplitExtra(const std::string& extra, ZipEntryInfo* e, std::string* zip64, std::string* others)
{
    zip64->clear();
    others->clear();
    e->unicodeName.clear();
    e->aesVersion = e->aesMethod = 0;
    bool unicode = false;
    uint32_t nameCrc = crc32(0, reinterpret_cast<const Bytef*>(e->name.data()),
                             static_cast<uInt>(e->name.size()));
    for (size_t at = 0; at < extra.size();) {
        if (extra.size() - at < 4 || extra.size() - at - 4 < U16(extra, at + 2))
            return false;
        unsigned tag = U16(extra, at);
        std::string field = extra.substr(at, 4 + U16(extra, at + 2)), data = field.substr(4);
        at += field.size();
        if (tag == 1 && zip64->empty()) {
            *zip64 = field;
            continue;
        }
        *others += field;
        if (tag == 0x7075 && !unicode && data.size() > 5 && data[0] == 1 &&
            U32(data, 1) == nameCrc) {
            unicode = true;
            e->unicodeName = data.substr(5);
        } else if (tag == 0x9901 && e->aesVersion == 0 && data.size() == 7 &&
                   (U16(data, 0) == 1 || U16(data, 0) == 2) && data.substr(2, 3) == "AE\3") {
            e->aesVersion = U16(data, 0);
            e->aesMethod = U16(data, 5);
        } else {
            return false;
        }
    }
    return true;
}

// Takes the values whose fixed field holds the marker from the ZIP64 field, in order; the field
// holds nothing else. `large`: each must need it.
bool ApplyZip64(const std::string& zip64, uint64_t* const* values, int count, bool large)
{
    size_t at = 4;
    for (int i = 0; i < count; ++i) {
        if (*values[i] != kMarker32)
            continue;
        if (zip64.size() < at + 8 || (large && U64(zip64, at) < kMarker32))
            return false;
        *values[i] = U64(zip64, at);
        at += 8;
    }
    return zip64.empty() || (at > 4 && at == zip64.size());
}

void LogProblem(BuildReporter* reporter, const char* reason, const std::string& name)
{
    char line[512];
    FormatText(line, sizeof line, "error : 検査で誤りが見つかりました(%s) : %.*s\r\n", reason,
               static_cast<int>(WholeCharacterLength(name.c_str())), name.c_str());
    reporter->LogLine(line);
}

}  // namespace

ZipReader::ZipReader(const ZipSource* source, const std::atomic<int>& abort)
    : source_(source), abort_(abort), in_(kChunk), out_(kChunk)
{
}

bool ZipReader::Fail(const char* why)
{
    if (reason == nullptr)
        reason = why;
    return false;
}

bool ZipReader::ReadAt(uint64_t offset, void* buffer, size_t size)
{
    return offset >= source_->Begin() && offset <= source_->End() &&
           size <= source_->End() - offset && (size == 0 || source_->Read(offset, buffer, size));
}

// The archive carries no comment, so the end record is its last 22 bytes.
bool ZipReader::ReadEnd()
{
    std::string end(kEndSize, '\0'), locator(kLocatorSize, '\0'), record(kZip64EndSize, '\0');
    uint64_t begin = source_->Begin(), directoryEnd = source_->End() - kEndSize;
    if (source_->End() - begin < kEndSize || !ReadAt(directoryEnd, &end[0], kEndSize) ||
        U32(end, 0) != kEndSignature || U32(end, 4) != 0 || U16(end, 10) != U16(end, 8) ||
        U16(end, 20) != 0)
        return Fail("書庫の構造");
    uint64_t count16 = U16(end, 8), size32 = U32(end, 12), offset32 = U32(end, 16);
    count = count16;
    uint64_t size = size32;
    directoryOffset = offset32;
    zip64End = directoryEnd - begin >= kLocatorSize &&
               ReadAt(directoryEnd - kLocatorSize, &locator[0], kLocatorSize) &&
               U32(locator, 0) == kZip64LocatorSignature;
    if (zip64End) {
        uint64_t recordAt = U64(locator, 8);
        if (U32(locator, 4) != 0 || U32(locator, 16) != 1 ||
            recordAt + kZip64EndSize + kLocatorSize != directoryEnd ||
            !ReadAt(recordAt, &record[0], kZip64EndSize) || U32(record, 0) != kZip64EndSignature ||
            U64(record, 4) != 44 || U16(record, 12) != 0 || U16(record, 14) != 45 ||
            U64(record, 16) != 0 || U64(record, 24) != U64(record, 32))
            return Fail("書庫の構造");
        count = U64(record, 32);
        size = U64(record, 40);
        directoryOffset = U64(record, 48);
        directoryEnd = recordAt;
        // The end record keeps what fits and the marker for the rest; the ZIP64 one only when
        // something does not fit.
        if (count16 != std::min(count, kMarker16) || size32 != std::min(size, kMarker32) ||
            offset32 != std::min(directoryOffset, kMarker32) ||
            (count < kMarker16 && size < kMarker32 && directoryOffset < kMarker32))
            return Fail("書庫の構造");
    } else if (count16 == kMarker16 || size32 == kMarker32 || offset32 == kMarker32) {
        return Fail("書庫の構造");
    }
    if (directoryOffset > directoryEnd || directoryEnd - directoryOffset != size ||
        (count == 0 && (size != 0 || directoryOffset != begin)))
        return Fail("書庫の構造");
    directory_.resize(static_cast<size_t>(size));
    expectedOffset_ = begin;
    return ReadAt(directoryOffset, &directory_[0], directory_.size()) || Fail("書庫の構造");
}

bool ZipReader::NextCentral(ZipEntryInfo* e)
{
    const std::string& b = directory_;
    size_t at = at_;
    if (broken_ || b.size() - at < kCentralSize || U32(b, at) != kCentralSignature ||
        b.size() - at - kCentralSize < U16(b, at + 28) + U16(b, at + 30)) {
        broken_ = true;
        return Fail("中央ディレクトリ");
    }
    e->version = U16(b, at + 6), e->flags = U16(b, at + 8), e->method = U16(b, at + 10);
    e->dosDate = U32(b, at + 12), e->crc = U32(b, at + 16), e->compressed = U32(b, at + 20);
    e->size = U32(b, at + 24), e->external = U32(b, at + 38), e->offset = U32(b, at + 42);
    e->name = b.substr(at + kCentralSize, U16(b, at + 28));
    std::string extra = b.substr(at + kCentralSize + e->name.size(), U16(b, at + 30)), zip64;
    at_ += kCentralSize + e->name.size() + extra.size();
    uint64_t* const values[] = {&e->size, &e->compressed, &e->offset};
    // Made on MS-DOS, or on NTFS (version 2.0) for UTF-8 names; no comment, one disk; the last
    // record ends the directory.
    broken_ = U16(b, at + 4) != (e->flags & 0x800 ? 0x0B14u : 0u) || U16(b, at + 32) != 0 ||
              U16(b, at + 34) != 0 || U16(b, at + 36) != 0 ||
              !SplitExtra(extra, e, &zip64, &e->others) || !ApplyZip64(zip64, values, 3, true) ||
              (++read_ == count && at_ != b.size());
    return !broken_ || Fail("中央ディレクトリ");
}

bool ZipReader::MatchLocal(ZipEntryInfo* e)
{
    std::string local(kLocalSize, '\0'), rest, zip64, others;
    bool follows = expectedOffset_ == kUnknownOffset || e->offset == expectedOffset_;
    if (!ReadAt(e->offset, &local[0], kLocalSize) || U32(local, 0) != kLocalSignature) {
        expectedOffset_ = kUnknownOffset;  // one unreadable header is one fault, not two
        return Fail("ローカルヘッダ");
    }
    rest.resize(U16(local, 26) + U16(local, 28));
    e->dataOffset = e->offset + kLocalSize + rest.size();
    expectedOffset_ = e->dataOffset + e->compressed;
    if (U16(local, 4) != e->version || U16(local, 6) != e->flags || U16(local, 8) != e->method ||
        U32(local, 10) != e->dosDate || U32(local, 14) != e->crc ||
        !ReadAt(e->offset + kLocalSize, &rest[0], rest.size()) ||
        rest.compare(0, U16(local, 26), e->name) != 0 ||
        !SplitExtra(rest.substr(U16(local, 26)), e, &zip64, &others) || others != e->others)
        return Fail("ローカルヘッダ");
    // Both sizes in the ZIP64 field, or both in their own fields.
    uint64_t size = U32(local, 22), compressed = U32(local, 18);
    uint64_t* const values[] = {&size, &compressed};
    e->localZip64 = !zip64.empty();
    unsigned version = e->aesVersion != 0 ? 51 : e->localZip64 || e->offset >= kMarker32 ? 45 : 20;
    if ((e->localZip64 && (size != kMarker32 || compressed != kMarker32)) ||
        !ApplyZip64(zip64, values, 2, false) || size != e->size || compressed != e->compressed ||
        e->version != version || (e->method == kAesMethod) != (e->aesVersion != 0) ||
        (e->aesVersion != 0 && !(e->flags & 1)) || (e->aesVersion == 2 && e->crc != 0) ||
        (e->flags & ~0x807u) != 0 || !follows ||
        (read_ == count && expectedOffset_ != directoryOffset))
        return Fail("ローカルヘッダ");
    return true;
}

bool ZipReader::CheckData(const ZipEntryInfo& header, const std::string& password,
                          std::string* payload, std::string* data)
{
    bool encrypted = (header.flags & 1) != 0;
    if (encrypted != !password.empty())
        return Fail("暗号化");
    unsigned aesVersion = header.aesVersion;
    uint32_t method = aesVersion != 0 ? header.aesMethod : header.method;
    if (method != 0 && method != Z_DEFLATED)
        return Fail("圧縮方式");
    uint64_t at = header.dataOffset, remaining = header.compressed;
    std::unique_ptr<ZipCryptKeys> keys;
    std::unique_ptr<ZipAesCipher> aes;
    if (aesVersion != 0) {
        unsigned char salt[kZipAesSaltSize], stored[kZipAesVerifierSize], derived[kZipAesVerifierSize];
        std::string utf8;
        aes.reset(new ZipAesCipher);
        if (remaining < kZipAesOverhead || !ReadAt(at, salt, sizeof salt) ||
            !ReadAt(at + sizeof salt, stored, sizeof stored))
            return Fail("AES");
        if (!Cp932ToUtf8(password.c_str(), &utf8) || !aes->Start(utf8, salt, derived) ||
            memcmp(stored, derived, sizeof stored) != 0)
            return Fail("パスワード");
        at += sizeof salt + sizeof stored;
        remaining -= kZipAesOverhead;
    } else if (encrypted) {
        unsigned char check[kZipCryptHeaderSize];
        if (remaining < sizeof check || !ReadAt(at, check, sizeof check))
            return Fail("暗号ヘッダ");
        keys.reset(new ZipCryptKeys(password.c_str()));
        keys->Decrypt(check, sizeof check);
        if (check[kZipCryptHeaderSize - 1] != static_cast<unsigned char>(header.crc >> 24))
            return Fail("パスワード");
        // Older readers check the byte before as well.
        if (check[kZipCryptHeaderSize - 2] != static_cast<unsigned char>(header.crc >> 16))
            return Fail("暗号ヘッダ");
        at += sizeof check;
        remaining -= sizeof check;
    }
    crc_ = crc32(0, nullptr, 0);
    produced_ = 0;
    z_stream stream = {};
    bool deflated = method == Z_DEFLATED;
    if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return Fail("展開");
    bool ok = Stream(at, remaining, deflated ? &stream : nullptr, keys.get(), aes.get(), payload,
                     data);
    if (deflated)
        inflateEnd(&stream);
    if (!ok)
        return false;
    if (aes != nullptr) {
        unsigned char stored[kZipAesMacSize], computed[kZipAesMacSize];
        if (!ReadAt(at + remaining, stored, sizeof stored) || !aes->Finish(computed) ||
            memcmp(stored, computed, sizeof stored) != 0)
            return Fail("認証コード");
    }
    if (produced_ != header.size)
        return Fail("サイズ");
    // AE-2 leaves the CRC out: the authentication code stands for it.
    if (crc_ != header.crc && aesVersion != 2)
        return Fail("CRC");
    return true;
}

// Reads `remaining` bytes of data from `at`; `stream` is none for stored data.
bool ZipReader::Stream(uint64_t at, uint64_t remaining, z_stream* stream, ZipCryptKeys* keys,
                       ZipAesCipher* aes, std::string* payload, std::string* data)
{
    bool ended = false;
    unsigned char* in = in_.data();
    auto produce = [&](const unsigned char* bytes, size_t size) {
        crc_ = crc32(crc_, bytes, static_cast<uInt>(size));
        produced_ += size;
        if (data != nullptr)
            data->append(reinterpret_cast<const char*>(bytes), size);
    };
    for (std::string* kept : {payload, data}) {
        if (kept != nullptr)
            kept->clear();
    }
    while (remaining > 0) {
        if (abort_)
            return Fail("中止");
        size_t take = remaining < kChunk ? static_cast<size_t>(remaining) : kChunk;
        if (!ReadAt(at, in, take))
            return Fail("読み込み");
        at += take;
        remaining -= take;
        if (keys != nullptr)
            keys->Decrypt(in, take);
        if (aes != nullptr && !aes->Decrypt(in, take))
            return Fail("AES");
        if (payload != nullptr)
            payload->append(reinterpret_cast<const char*>(in), take);
        if (stream == nullptr) {
            produce(in, take);
            continue;
        }
        if (ended)
            return Fail("展開");  // data beyond the end of the deflate stream
        stream->next_in = in;
        stream->avail_in = static_cast<uInt>(take);
        do {
            stream->next_out = out_.data();
            stream->avail_out = kChunk;
            int code = inflate(stream, Z_NO_FLUSH);
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
                return Fail("展開");
            produce(out_.data(), kChunk - stream->avail_out);
            ended = code == Z_STREAM_END;
            if (code == Z_BUF_ERROR)
                break;  // no progress without more input
        } while (!ended && (stream->avail_in > 0 || stream->avail_out == 0));
        if (ended && stream->avail_in > 0)
            return Fail("展開");
    }
    return stream == nullptr || ended || Fail("展開");  // else the deflate stream is cut short
}

bool VerifyArchive(const char* path, const std::vector<WrittenEntry>& written,
                   BuildReporter* reporter, const std::atomic<int>& abort)
{
    ArchiveFile file(path);
    ZipReader reader(&file, abort);
    if (!reader.ReadEnd() || reader.count != written.size()) {
        reporter->LogLine("error : 検査で誤りが見つかりました(書庫の構造)\r\n");
        return false;
    }
    int failed = 0;
    for (const WrittenEntry& entry : written) {
        ZipEntryInfo e;
        reader.reason = nullptr;
        if (reader.NextCentral(&e)) {
            if ((e.flags & 0x800) == 0 && e.name != entry.name)
                reader.Fail("名前");
            if (reader.MatchLocal(&e))
                reader.CheckData(e, entry.password);
        }
        if (reader.reason != nullptr) {
            LogProblem(reporter, reader.reason, entry.name);
            ++failed;
        }
        if (abort)
            break;
    }
    char line[128];
    if (failed == 0 && !abort)
        FormatText(line, sizeof line, "検査しました : %d ファイル\r\n", static_cast<int>(written.size()));
    else
        FormatText(line, sizeof line, "検査で %d ファイルに誤りが見つかりました\r\n", failed);
    reporter->LogLine(line);
    return failed == 0 && !abort;
}
