#include "archive/zip_verify.h"

#include <zlib.h>

#include <cstdint>
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

uint32_t Get(const unsigned char* at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | at[i];
    return value;
}

uint64_t Get64(const unsigned char* at)
{
    return static_cast<uint64_t>(Get(at + 4, 4)) << 32 | Get(at, 4);
}

// Reads exact byte ranges of the archive.
class ArchiveFile {
public:
    explicit ArchiveFile(const char* path) : file_(OpenSourceFile(path))
    {
        SourceFileInfo info;
        if (file_ != kInvalidFile && ReadSourceFileInfo(path, &info))
            size_ = info.size;
    }
    ~ArchiveFile()
    {
        if (file_ != kInvalidFile)
            CloseFile(file_);
    }
    bool Open() const { return file_ != kInvalidFile; }
    uint64_t Size() const { return size_; }
    // Moves to `offset` inside the file; ReadOn goes on from there.
    bool SeekTo(uint64_t offset) { return offset <= size_ && SeekFile(file_, offset); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size)
    {
        return offset <= size_ && size <= size_ - offset && SeekTo(offset) && ReadOn(buffer, size);
    }
    // Goes on from where the last read ended.
    bool ReadOn(void* buffer, size_t size)
    {
        unsigned char* bytes = static_cast<unsigned char*>(buffer);
        while (size > 0) {
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

// The fields that the central record and the local header must agree on.
struct EntryHeader {
    uint32_t flags = 0, method = 0, dosTime = 0, crc = 0;
    uint64_t compressed = 0, size = 0, offset = 0;
    std::string name, extra;
};

// The data of the extra field `id`, when the extra block holds it and holds together.
bool FindExtraField(const std::string& extra, uint32_t id, const unsigned char** data, size_t* size)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(extra.data());
    for (size_t at = 0; at + 4 <= extra.size();) {
        size_t length = Get(bytes + at + 2, 2);
        if (at + 4 + length > extra.size())
            return false;
        if (Get(bytes + at, 2) == id) {
            *data = bytes + at + 4;
            *size = length;
            return true;
        }
        at += 4 + length;
    }
    return false;
}

// The ZIP64 extended information: present only for the fields whose classic field is full.
bool ApplyZip64Extra(EntryHeader* header, bool sizeFull, bool compressedFull, bool offsetFull)
{
    const unsigned char* value = nullptr;
    size_t size = 0;
    if (!FindExtraField(header->extra, 0x0001, &value, &size))
        return !sizeFull && !compressedFull && !offsetFull;
    for (uint64_t* target : {sizeFull ? &header->size : nullptr,
                             compressedFull ? &header->compressed : nullptr,
                             offsetFull ? &header->offset : nullptr}) {
        if (target == nullptr)
            continue;
        if (size < 8)
            return false;
        *target = Get64(value);
        value += 8;
        size -= 8;
    }
    return true;
}

constexpr uint32_t kAesMethod = 99;

// The AES extra field (0x9901): AE-1 or AE-2, "AE", strength 3 (AES-256), the real method.
bool ReadAesExtra(const std::string& extra, int* version, uint32_t* method)
{
    const unsigned char* field = nullptr;
    size_t size = 0;
    if (!FindExtraField(extra, 0x9901, &field, &size) || size != 7)
        return false;
    *version = static_cast<int>(Get(field, 2));
    *method = Get(field + 5, 2);
    return (*version == 1 || *version == 2) && field[2] == 'A' && field[3] == 'E' && field[4] == 3;
}

struct Problem {
    const char* reason = nullptr;
    bool Set(const char* text)
    {
        if (reason == nullptr)
            reason = text;
        return false;
    }
};

// Decrypts, inflates and checks the data of one entry; one object serves every entry.
class EntryCheck {
public:
    EntryCheck(ArchiveFile* file, const std::atomic<int>& abort) : file_(file), abort_(abort) {}

    bool Run(const EntryHeader& header, const std::string& password, uint64_t dataOffset,
             Problem* problem)
    {
        bool encrypted = (header.flags & 1) != 0;
        if (encrypted != !password.empty())
            return problem->Set("暗号化");
        uint32_t method = header.method;
        int aesVersion = 0;
        if (method == kAesMethod && (!encrypted || !ReadAesExtra(header.extra, &aesVersion, &method)))
            return problem->Set("AES");
        if (method != 0 && method != Z_DEFLATED)
            return problem->Set("圧縮方式");
        if (!file_->SeekTo(dataOffset))
            return problem->Set("データの位置");
        uint64_t remaining = header.compressed;
        std::unique_ptr<ZipCryptKeys> keys;
        std::unique_ptr<ZipAesCipher> aes;
        if (aesVersion != 0) {
            unsigned char salt[kZipAesSaltSize], stored[kZipAesVerifierSize], derived[kZipAesVerifierSize];
            std::string utf8;
            aes.reset(new ZipAesCipher);
            if (remaining < kZipAesOverhead || !file_->ReadOn(salt, sizeof salt) ||
                !file_->ReadOn(stored, sizeof stored))
                return problem->Set("AES");
            if (!Cp932ToUtf8(password.c_str(), &utf8) || !aes->Start(utf8, salt, derived) ||
                memcmp(stored, derived, sizeof stored) != 0)
                return problem->Set("パスワード");
            remaining -= kZipAesOverhead;
        } else if (encrypted) {
            unsigned char check[kZipCryptHeaderSize];
            if (remaining < sizeof check || !file_->ReadOn(check, sizeof check))
                return problem->Set("暗号ヘッダ");
            keys.reset(new ZipCryptKeys(password.c_str()));
            keys->Decrypt(check, sizeof check);
            if (check[kZipCryptHeaderSize - 1] != static_cast<unsigned char>(header.crc >> 24))
                return problem->Set("パスワード");
            remaining -= sizeof check;
        }
        crc_ = crc32(0, nullptr, 0);
        produced_ = 0;
        z_stream stream = {};
        bool deflated = method == Z_DEFLATED;
        if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return problem->Set("展開");
        bool ok = Stream(deflated ? &stream : nullptr, remaining, keys.get(), aes.get(), problem);
        if (deflated)
            inflateEnd(&stream);
        if (!ok)
            return false;
        if (aes != nullptr) {
            unsigned char stored[kZipAesMacSize], computed[kZipAesMacSize];
            if (!file_->ReadOn(stored, sizeof stored) || !aes->Finish(computed) ||
                memcmp(stored, computed, sizeof stored) != 0)
                return problem->Set("認証コード");
        }
        if (produced_ != header.size)
            return problem->Set("サイズ");
        // AE-2 leaves the CRC out: the authentication code stands for it.
        if (crc_ != header.crc && aesVersion != 2)
            return problem->Set("CRC");
        return true;
    }

private:
    // Reads `remaining` bytes of data; `stream` is none for stored data.
    bool Stream(z_stream* stream, uint64_t remaining, ZipCryptKeys* keys, ZipAesCipher* aes,
                Problem* problem)
    {
        bool ended = false;
        while (remaining > 0) {
            if (abort_)
                return problem->Set("中止");
            size_t take = remaining < kChunk ? static_cast<size_t>(remaining) : kChunk;
            if (!file_->ReadOn(buffer_, take))
                return problem->Set("読み込み");
            remaining -= take;
            if (keys != nullptr)
                keys->Decrypt(buffer_, take);
            if (aes != nullptr && !aes->Decrypt(buffer_, take))
                return problem->Set("AES");
            if (stream == nullptr) {
                Produce(buffer_, take);
                continue;
            }
            if (ended)
                return problem->Set("展開");  // data beyond the end of the deflate stream
            stream->next_in = buffer_;
            stream->avail_in = static_cast<uInt>(take);
            do {
                stream->next_out = out_;
                stream->avail_out = sizeof out_;
                int code = inflate(stream, Z_NO_FLUSH);
                if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
                    return problem->Set("展開");
                Produce(out_, sizeof out_ - stream->avail_out);
                ended = code == Z_STREAM_END;
                if (code == Z_BUF_ERROR)
                    break;  // no progress without more input
            } while (!ended && (stream->avail_in > 0 || stream->avail_out == 0));
            if (ended && stream->avail_in > 0)
                return problem->Set("展開");
        }
        if (stream != nullptr && !ended)
            return problem->Set("展開");  // the deflate stream is cut short
        return true;
    }

    void Produce(const unsigned char* data, size_t size)
    {
        crc_ = crc32(crc_, data, static_cast<uInt>(size));
        produced_ += size;
    }

    ArchiveFile* file_;
    const std::atomic<int>& abort_;
    unsigned char buffer_[kChunk];
    unsigned char out_[kChunk];
    uLong crc_ = 0;
    uint64_t produced_ = 0;
};

// The central directory's place and size, from the end record and, where it points there, the
// ZIP64 end record. The archive carries no comment, so the end record is its last 22 bytes.
bool ReadDirectoryPlace(ArchiveFile* file, uint64_t* offset, uint64_t* size, uint64_t* count)
{
    unsigned char end[kEndSize];
    if (file->Size() < kEndSize || !file->ReadAt(file->Size() - kEndSize, end, sizeof end) ||
        Get(end, 4) != kEndSignature || Get(end + 20, 2) != 0)
        return false;
    *count = Get(end + 10, 2);
    *size = Get(end + 12, 4);
    *offset = Get(end + 16, 4);
    if (*count != 0xFFFF && *size != 0xFFFFFFFF && *offset != 0xFFFFFFFF)
        return *offset + *size == file->Size() - kEndSize;
    unsigned char locator[kLocatorSize], record[kZip64EndSize];
    uint64_t locatorAt = file->Size() - kEndSize - kLocatorSize;
    if (file->Size() < kEndSize + kLocatorSize || !file->ReadAt(locatorAt, locator, sizeof locator) ||
        Get(locator, 4) != kZip64LocatorSignature)
        return false;
    uint64_t recordAt = Get64(locator + 8);
    if (recordAt + kZip64EndSize != locatorAt || !file->ReadAt(recordAt, record, sizeof record) ||
        Get(record, 4) != kZip64EndSignature)
        return false;
    *count = Get64(record + 32);
    *size = Get64(record + 40);
    *offset = Get64(record + 48);
    return *offset + *size == recordAt;
}

// Parses one central record from `at`; false when it does not hold together.
bool ParseCentral(const std::string& directory, size_t* at, EntryHeader* header)
{
    if (directory.size() - *at < kCentralSize)
        return false;
    const unsigned char* record = reinterpret_cast<const unsigned char*>(directory.data()) + *at;
    if (Get(record, 4) != kCentralSignature)
        return false;
    size_t nameLength = Get(record + 28, 2), extraLength = Get(record + 30, 2),
           commentLength = Get(record + 32, 2);
    size_t total = kCentralSize + nameLength + extraLength + commentLength;
    if (directory.size() - *at < total)
        return false;
    header->flags = Get(record + 8, 2);
    header->method = Get(record + 10, 2);
    header->dosTime = Get(record + 12, 4);
    header->crc = Get(record + 16, 4);
    header->compressed = Get(record + 20, 4);
    header->size = Get(record + 24, 4);
    header->offset = Get(record + 42, 4);
    header->name.assign(directory, *at + kCentralSize, nameLength);
    header->extra.assign(directory, *at + kCentralSize + nameLength, extraLength);
    *at += total;
    return ApplyZip64Extra(header, header->size == 0xFFFFFFFF, header->compressed == 0xFFFFFFFF,
                           header->offset == 0xFFFFFFFF);
}

// The local header must say what the central record says; returns where the data starts.
bool MatchLocal(ArchiveFile* file, const EntryHeader& central, uint64_t* dataOffset)
{
    unsigned char fixed[kLocalSize];
    if (!file->ReadAt(central.offset, fixed, sizeof fixed) || Get(fixed, 4) != kLocalSignature)
        return false;
    EntryHeader local;
    local.flags = Get(fixed + 6, 2);
    local.method = Get(fixed + 8, 2);
    local.dosTime = Get(fixed + 10, 4);
    local.crc = Get(fixed + 14, 4);
    local.compressed = Get(fixed + 18, 4);
    local.size = Get(fixed + 22, 4);
    local.name.resize(Get(fixed + 26, 2));
    local.extra.resize(Get(fixed + 28, 2));
    if (!file->ReadOn(&local.name[0], local.name.size()) ||
        !file->ReadOn(&local.extra[0], local.extra.size()))
        return false;
    // In a local header the ZIP64 field holds both sizes whenever either is full.
    bool full = local.size == 0xFFFFFFFF || local.compressed == 0xFFFFFFFF;
    if (!ApplyZip64Extra(&local, full, full, false))
        return false;
    *dataOffset = central.offset + kLocalSize + local.name.size() + local.extra.size();
    return local.flags == central.flags && local.method == central.method &&
           local.dosTime == central.dosTime && local.crc == central.crc &&
           local.compressed == central.compressed && local.size == central.size &&
           local.name == central.name;
}

void LogProblem(BuildReporter* reporter, const char* reason, const std::string& name)
{
    char line[512];
    FormatText(line, sizeof line, "error : 検査で誤りが見つかりました(%s) : %.*s\r\n", reason,
               static_cast<int>(WholeCharacterLength(name.c_str())), name.c_str());
    reporter->LogLine(line);
}

}  // namespace

bool VerifyArchive(const char* path, const std::vector<WrittenEntry>& written,
                   BuildReporter* reporter, const std::atomic<int>& abort)
{
    ArchiveFile file(path);
    uint64_t directoryAt = 0, directorySize = 0, count = 0;
    std::string directory;
    if (!file.Open() || !ReadDirectoryPlace(&file, &directoryAt, &directorySize, &count) ||
        count != written.size() || directorySize > file.Size()) {
        reporter->LogLine("error : 検査で誤りが見つかりました(書庫の構造)\r\n");
        return false;
    }
    directory.resize(static_cast<size_t>(directorySize));
    bool readable = file.ReadAt(directoryAt, &directory[0], directory.size());
    std::unique_ptr<EntryCheck> check(new EntryCheck(&file, abort));
    int failed = 0;
    size_t at = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        EntryHeader header;
        Problem problem;
        uint64_t dataOffset = 0;
        if (!readable || !ParseCentral(directory, &at, &header)) {
            problem.Set("中央ディレクトリ");
            readable = false;
        } else if ((header.flags & 0x800) == 0 && header.name != written[i].name) {
            problem.Set("名前");
        } else if (!MatchLocal(&file, header, &dataOffset) ||
                   dataOffset + header.compressed > directoryAt) {
            problem.Set("ローカルヘッダ");
        } else {
            check->Run(header, written[i].password, dataOffset, &problem);
        }
        if (problem.reason != nullptr) {
            LogProblem(reporter, problem.reason, written[i].name);
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
