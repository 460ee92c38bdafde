#include "archive/zip_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip_aes.h"
#include "archive/zip_crypt.h"
#include "archive/zip_layout.h"
#include "core/text_utf8.h"

namespace {

constexpr size_t kMaxFieldLength = 0xFFFF;

// Output is gathered so that small entries cost no write call of their own and a local header
// still in the buffer is completed without seeking.
constexpr size_t kBufferSize = 64 * 1024;

uint32_t DosDateTime(const zip_fileinfo* info)
{
    if (info == nullptr)
        return 0;
    if (info->dosDate != 0)
        return static_cast<uint32_t>(info->dosDate);
    const tm_zip& t = info->tmz_date;
    unsigned year = t.tm_year;
    if (year >= 1980)
        year -= 1980;
    else if (year >= 80)
        year -= 80;
    uint32_t date = t.tm_mday + 32 * (t.tm_mon + 1) + 512 * year;
    uint32_t time = t.tm_sec / 2 + 32 * t.tm_min + 2048 * t.tm_hour;
    return (date << 16) | (time & 0xFFFF);
}

unsigned LevelFlags(int level)
{
    switch (level) {
    case 1: return 6;
    case 2: return 4;
    case 8:
    case 9: return 2;
    default: return 0;
    }
}

struct OpenEntry {
    bool open = false;
    int brokenBy = 0;  // the error that broke its data; such an entry is never finished
    bool deflating = false;
    bool raw = false;  // the data comes compressed; its size and CRC-32 come with the close
    bool encrypted = false;
    bool aes = false;  // encrypted with the archive's cipher rather than the keys
    ZipCryptKeys keys{""};
    ZipEntryHeader header;
    // Kept for the central record, which is made once the sizes are known.
    std::string name, extra, comment;
};

// An entry that has its central record.
struct ClosedEntry {
    size_t recordStart;
    uint64_t headerOffset;
};

class Archive {
public:
    Archive(ZipOutput* output, uint64_t start)
        : output_(output), buffer_(new unsigned char[kBufferSize]), bufferStart_(start)
    {
    }
    ~Archive()
    {
        if (streamReady_)
            deflateEnd(&stream_);
    }

    int OpenFile(const char* name, const zip_fileinfo* info, const void* extraLocal,
                 unsigned extraLocalSize, const void* extraGlobal, unsigned extraGlobalSize,
                 const char* comment, int method, int level, int raw, int windowBits,
                 int memLevel, int strategy, const char* password, unsigned long crc, int zip64);
    int Write(const void* data, unsigned size);
    int CloseFile(const uint64_t* rawSize = nullptr, uint32_t rawCrc = 0);
    int RemoveLast();
    int Finish(const char* comment);
    int32_t LastGain() const { return lastGain_; }
    void SetOptions(const ArchiveOptions& options) { options_ = options; }
    void SetNextKeys(const ZipAesKeys* keys)
    {
        if (keys != nullptr)
            nextKeys_ = *keys;
        haveNextKeys_ = keys != nullptr;
    }

private:
    uint64_t Position() const { return bufferStart_ + buffered_; }
    // How many more bytes the open entry's data may take.
    uint64_t DataRoom() const
    {
        // An AES entry keeps room for its authentication code.
        uint64_t used = entry_.header.compressed + (entry_.aes ? kZipAesMacSize : 0);
        return (entry_.header.zip64 ? UINT64_MAX : kMaxClassicSize) - used;
    }
    int Fail()
    {
        failed_ = true;
        return ZIP_ERRNO;
    }
    int Break(int code)
    {
        entry_.brokenBy = code;
        return code;
    }

    int Flush();
    int FlushFull();
    int Put(const void* data, size_t size);
    int Patch(uint64_t at, const unsigned char* bytes, size_t size);
    int Rewind(uint64_t to);
    int PrepareCompressor(int level, int windowBits, int memLevel, int strategy);
    int Deflate(int flush);
    bool Encrypt(unsigned char* data, size_t size);
    int DropLast();

    std::unique_ptr<ZipOutput> output_;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t buffered_ = 0;
    uint64_t bufferStart_;  // where buffer_[0] belongs; the output always stands there
    bool failed_ = false;

    std::vector<unsigned char> central_;  // records of the closed entries
    std::vector<ClosedEntry> closed_;
    OpenEntry entry_;
    std::vector<unsigned char> localHeader_;
    ArchiveOptions options_;
    ZipAesCipher aes_;  // the open entry's, when it is an AES entry
    ZipAesKeys nextKeys_;  // derived elsewhere for the next entry
    bool haveNextKeys_ = false;
    int32_t lastGain_ = 0;

    // One compressor for the whole archive, reset per entry rather than reallocated.
    z_stream stream_{};
    bool streamReady_ = false;
    int streamLevel_ = 0, streamWindowBits_ = 0, streamMemLevel_ = 0, streamStrategy_ = 0;
};

int Archive::Flush()
{
    if (buffered_ == 0)
        return ZIP_OK;
    if (!output_->Write(buffer_.get(), buffered_))
        return Fail();
    bufferStart_ += buffered_;
    buffered_ = 0;
    return ZIP_OK;
}

// Makes room in a full buffer. The open entry's local header is kept back when it can be, so
// that an entry smaller than the buffer gets its CRC-32 and sizes without a seek.
int Archive::FlushFull()
{
    size_t keep = 0;
    if (entry_.open && entry_.header.headerOffset > bufferStart_)
        keep = static_cast<size_t>(Position() - entry_.header.headerOffset);
    if (keep == 0 || keep == buffered_)
        return Flush();
    size_t done = buffered_ - keep;
    if (!output_->Write(buffer_.get(), done))
        return Fail();
    memmove(buffer_.get(), buffer_.get() + done, keep);
    bufferStart_ += done;
    buffered_ = keep;
    return ZIP_OK;
}

int Archive::Put(const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (buffered_ == kBufferSize && FlushFull() != ZIP_OK)
            return ZIP_ERRNO;
        size_t chunk = std::min(size, kBufferSize - buffered_);
        memcpy(buffer_.get() + buffered_, bytes, chunk);
        buffered_ += chunk;
        bytes += chunk;
        size -= chunk;
    }
    return ZIP_OK;
}

// Overwrites bytes already written, in the buffer when they are still there.
int Archive::Patch(uint64_t at, const unsigned char* bytes, size_t size)
{
    if (at >= bufferStart_) {
        memcpy(buffer_.get() + (at - bufferStart_), bytes, size);
        return ZIP_OK;
    }
    if (Flush() != ZIP_OK)
        return ZIP_ERRNO;
    if (!output_->Seek(at) || !output_->Write(bytes, size) || !output_->Seek(bufferStart_))
        return Fail();
    return ZIP_OK;
}

// Moves the write position back; what lay beyond is written over later or cut off at the end.
int Archive::Rewind(uint64_t to)
{
    if (to >= bufferStart_) {
        buffered_ = static_cast<size_t>(to - bufferStart_);
        return ZIP_OK;
    }
    buffered_ = 0;
    if (!output_->Seek(to))
        return Fail();
    bufferStart_ = to;
    return ZIP_OK;
}

int Archive::PrepareCompressor(int level, int windowBits, int memLevel, int strategy)
{
    if (streamReady_ && windowBits == streamWindowBits_ && memLevel == streamMemLevel_) {
        int err = deflateReset(&stream_);
        // Changing level or strategy before any input leaves the stream as a fresh one would be.
        if (err == Z_OK && (level != streamLevel_ || strategy != streamStrategy_)) {
            err = deflateParams(&stream_, level, strategy);
            if (err == Z_OK) {
                streamLevel_ = level;
                streamStrategy_ = strategy;
            }
        }
        return err;
    }
    if (streamReady_) {
        deflateEnd(&stream_);
        streamReady_ = false;
    }
    stream_ = z_stream{};
    int err = deflateInit2(&stream_, level, Z_DEFLATED, windowBits, memLevel, strategy);
    if (err != Z_OK)
        return err;
    streamReady_ = true;
    streamLevel_ = level;
    streamWindowBits_ = windowBits;
    streamMemLevel_ = memLevel;
    streamStrategy_ = strategy;
    return Z_OK;
}

// One deflate call straight into the output buffer, never beyond the room left.
int Archive::Deflate(int flush)
{
    if (buffered_ == kBufferSize && FlushFull() != ZIP_OK)
        return ZIP_ERRNO;
    uint64_t space = std::min<uint64_t>(kBufferSize - buffered_, DataRoom());
    if (space == 0)
        return Break(ZIP_PARAMERROR);
    unsigned char* out = buffer_.get() + buffered_;
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(space);
    int err = deflate(&stream_, flush);
    size_t produced = static_cast<size_t>(space - stream_.avail_out);
    bool encryptedOk = Encrypt(out, produced);
    buffered_ += produced;
    entry_.header.compressed += produced;
    if (!encryptedOk)
        return Break(ZIP_INTERNALERROR);
    if (err != Z_OK && err != Z_STREAM_END)
        return Break(err == Z_BUF_ERROR ? ZIP_INTERNALERROR : err);
    return err;
}

bool Archive::Encrypt(unsigned char* data, size_t size)
{
    if (entry_.aes)
        return aes_.Encrypt(data, size);
    if (entry_.encrypted)
        entry_.keys.Encrypt(data, size);
    return true;
}

int Archive::OpenFile(const char* name, const zip_fileinfo* info, const void* extraLocal,
                      unsigned extraLocalSize, const void* extraGlobal, unsigned extraGlobalSize,
                      const char* comment, int method, int level, int raw, int windowBits,
                      int memLevel, int strategy, const char* password, unsigned long crc,
                      int zip64)
{
    bool haveKeys = haveNextKeys_;
    haveNextKeys_ = false;  // for this call only, whatever comes of it
    if (failed_)
        return ZIP_ERRNO;
    if (entry_.open) {
        int err = entry_.brokenBy != 0 ? DropLast() : CloseFile();
        if (err != ZIP_OK)
            return err;
    }
    if (name == nullptr)
        name = "-";
    size_t commentSize = comment != nullptr ? strlen(comment) : 0;
    bool deflating = method == Z_DEFLATED;
    if ((method != 0 && !deflating) || (deflating && raw == 0 && windowBits >= 0))
        return ZIP_PARAMERROR;
    bool encrypted = password != nullptr;
    bool aes = encrypted && options_.encryption == 1;
    // Names and the AES password go out in UTF-8 where the options say so; the writer's own
    // fields follow the caller's in both headers.
    std::string headerName = name, utf8Name, utf8Password, fields;
    if ((options_.nameCode != 0 && !Cp932ToUtf8(name, &utf8Name)) ||
        (aes && !Cp932ToUtf8(password, &utf8Password)))
        return ZIP_BADTEXT;
    if (options_.nameCode == 1)
        AppendUnicodePathField(headerName, utf8Name, &fields);
    else if (options_.nameCode == 2)
        headerName = utf8Name;
    if (aes)
        AppendAesField(static_cast<unsigned>(method), &fields);
    size_t nameSize = headerName.size();
    // The ZIP64 fields share the length of the extra fields with the caller's.
    size_t localFieldSize = (zip64 != 0 ? kLocalZip64FieldSize : 0) + fields.size();
    if (nameSize > kMaxFieldLength || commentSize > kMaxFieldLength ||
        extraLocalSize + localFieldSize > kMaxFieldLength ||
        extraGlobalSize + fields.size() + kCentralZip64FieldRoom > kMaxFieldLength ||
        (extraLocalSize != 0 && extraLocal == nullptr) ||
        (extraGlobalSize != 0 && extraGlobal == nullptr))
        return ZIP_PARAMERROR;

    if (deflating && raw == 0) {
        int err = PrepareCompressor(level, windowBits, memLevel, strategy);
        if (err != Z_OK)
            return err;
    }
    // Traditional: the 12-byte header. AES: the salt and the password verifier.
    unsigned char cryptHeader[kZipAesSaltSize + kZipAesVerifierSize];
    size_t cryptHeaderSize = 0;
    ZipCryptKeys keys(encrypted && !aes ? password : "");
    if (aes) {
        cryptHeaderSize = kZipAesSaltSize + kZipAesVerifierSize;
        bool started;
        if (haveKeys) {
            memcpy(cryptHeader, nextKeys_.salt, kZipAesSaltSize);
            started = aes_.Start(nextKeys_, cryptHeader + kZipAesSaltSize);
        } else {
            started = ZipRandomBytes(cryptHeader, kZipAesSaltSize) &&
                      aes_.Start(utf8Password, cryptHeader, cryptHeader + kZipAesSaltSize);
        }
        if (!started)
            return ZIP_INTERNALERROR;
    } else if (encrypted) {
        cryptHeaderSize = kZipCryptHeaderSize;
        if (!MakeZipCryptHeader(&keys, static_cast<uint32_t>(crc), cryptHeader))
            return ZIP_INTERNALERROR;
    }

    entry_ = OpenEntry{};
    entry_.deflating = deflating && raw == 0;
    entry_.raw = raw != 0;
    entry_.encrypted = encrypted;
    entry_.aes = aes;
    entry_.keys = keys;
    ZipEntryHeader& header = entry_.header;
    header.zip64 = zip64 != 0;
    header.aes = aes;
    header.flags = LevelFlags(level) | (encrypted ? 1 : 0) | (options_.nameCode == 2 ? 0x800 : 0);
    header.method = aes ? kAesMethod : static_cast<unsigned>(method);
    header.dosDate = DosDateTime(info);
    if (info != nullptr) {
        header.internalAttributes = static_cast<uint32_t>(info->internal_fa);
        header.externalAttributes = static_cast<uint32_t>(info->external_fa);
    }
    header.headerOffset = Position();
    header.compressed = cryptHeaderSize;
    entry_.name = headerName;
    if (extraGlobalSize != 0)
        entry_.extra.assign(static_cast<const char*>(extraGlobal), extraGlobalSize);
    entry_.extra += fields;
    std::string localExtra;
    if (extraLocalSize != 0)
        localExtra.assign(static_cast<const char*>(extraLocal), extraLocalSize);
    localExtra += fields;
    if (commentSize != 0)
        entry_.comment.assign(comment, commentSize);
    // Opened before its header is written, so that a filling buffer keeps the header back.
    // CRC-32 and sizes stay zero until the data is done.
    entry_.open = true;
    MakeLocalHeader(header, headerName.data(), nameSize, localExtra.data(), localExtra.size(),
                    &localHeader_);
    if (Put(localHeader_.data(), localHeader_.size()) != ZIP_OK ||
        Put(cryptHeader, cryptHeaderSize) != ZIP_OK)
        return ZIP_ERRNO;
    return ZIP_OK;
}

int Archive::Write(const void* data, unsigned size)
{
    if (failed_)
        return ZIP_ERRNO;
    if (!entry_.open || (size != 0 && data == nullptr))
        return ZIP_PARAMERROR;
    if (entry_.brokenBy != 0)
        return entry_.brokenBy;
    if (size == 0)
        return ZIP_OK;  // crc32() would restart on a null buffer
    ZipEntryHeader& header = entry_.header;
    // Without the local ZIP64 field neither size may reach 4 GiB: the original size always grows
    // by `size`, the stored data too. Raw data counts only as compressed bytes.
    if (!header.zip64 && ((!entry_.raw && header.uncompressed + size > kMaxClassicSize) ||
                          (!entry_.deflating && size > DataRoom())))
        return Break(ZIP_PARAMERROR);
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!entry_.raw) {
        header.crc = static_cast<uint32_t>(crc32(header.crc, bytes, size));
        header.uncompressed += size;
    }
    if (!entry_.deflating) {
        while (size > 0) {
            if (buffered_ == kBufferSize && FlushFull() != ZIP_OK)
                return ZIP_ERRNO;
            size_t chunk = std::min<size_t>(size, kBufferSize - buffered_);
            unsigned char* out = buffer_.get() + buffered_;
            memcpy(out, bytes, chunk);
            bool encryptedOk = Encrypt(out, chunk);
            buffered_ += chunk;
            header.compressed += chunk;
            if (!encryptedOk)
                return Break(ZIP_INTERNALERROR);
            bytes += chunk;
            size -= static_cast<unsigned>(chunk);
        }
        return ZIP_OK;
    }
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = size;
    while (stream_.avail_in > 0) {
        int err = Deflate(Z_NO_FLUSH);
        if (err != Z_OK)
            return err == Z_STREAM_END ? Break(ZIP_INTERNALERROR) : err;
    }
    return ZIP_OK;
}

int Archive::CloseFile(const uint64_t* rawSize, uint32_t rawCrc)
{
    if (failed_)
        return ZIP_ERRNO;
    if (!entry_.open)
        return ZIP_PARAMERROR;
    if (entry_.raw) {
        // As minizip: a raw entry closed without its counts says 0 and 0.
        entry_.header.uncompressed = rawSize != nullptr ? *rawSize : 0;
        entry_.header.crc = rawSize != nullptr ? rawCrc : 0;
        if (!entry_.header.zip64 && entry_.header.uncompressed > kMaxClassicSize)
            Break(ZIP_PARAMERROR);
    }
    if (entry_.brokenBy != 0) {
        int code = entry_.brokenBy;
        return DropLast() != ZIP_OK ? ZIP_ERRNO : code;
    }
    if (entry_.deflating) {
        stream_.next_in = nullptr;
        stream_.avail_in = 0;
        int err;
        while ((err = Deflate(Z_FINISH)) == Z_OK) {
        }
        if (err != Z_STREAM_END) {
            if (failed_)
                return ZIP_ERRNO;
            return DropLast() != ZIP_OK ? ZIP_ERRNO : err;
        }
    }
    ZipEntryHeader& header = entry_.header;
    if (entry_.aes) {
        unsigned char mac[kZipAesMacSize];
        if (!aes_.Finish(mac))
            return DropLast() != ZIP_OK ? ZIP_ERRNO : ZIP_INTERNALERROR;
        if (Put(mac, sizeof mac) != ZIP_OK)
            return ZIP_ERRNO;
        header.compressed += sizeof mac;
        header.crc = 0;  // AE-2 (see AppendAesField)
    }
    LocalHeaderPatch patches[2];
    int count = MakeLocalHeaderPatches(header, entry_.name.size(), patches);
    for (int i = 0; i < count; ++i) {
        if (Patch(header.headerOffset + patches[i].offset, patches[i].bytes, patches[i].size) !=
            ZIP_OK)
            return ZIP_ERRNO;
    }
    closed_.push_back(ClosedEntry{central_.size(), header.headerOffset});
    AppendCentralRecord(header, entry_.name.data(), entry_.name.size(), entry_.extra.data(),
                        entry_.extra.size(), entry_.comment.data(), entry_.comment.size(),
                        &central_);

    size_t overhead = entry_.aes ? kZipAesOverhead : entry_.encrypted ? kZipCryptHeaderSize : 0;
    int64_t produced = static_cast<int64_t>(header.compressed) - static_cast<int64_t>(overhead);
    int64_t gain = static_cast<int64_t>(header.uncompressed) - produced;
    gain = std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, gain));
    lastGain_ = static_cast<int32_t>(gain);
    entry_.open = false;
    return ZIP_OK;
}

// Forgets the last entry: the open one, or else the one closed last.
int Archive::DropLast()
{
    uint64_t headerOffset;
    if (entry_.open) {
        headerOffset = entry_.header.headerOffset;
        entry_.open = false;
    } else {
        headerOffset = closed_.back().headerOffset;
        central_.resize(closed_.back().recordStart);
        closed_.pop_back();
    }
    lastGain_ = 0;
    return Rewind(headerOffset);
}

int Archive::RemoveLast()
{
    if (failed_)
        return ZIP_ERRNO;
    if (!entry_.open && closed_.empty())
        return ZIP_PARAMERROR;
    return DropLast() == ZIP_OK ? 0 : -1;
}

int Archive::Finish(const char* comment)
{
    int err = ZIP_OK;
    if (!failed_ && entry_.open)
        err = entry_.brokenBy != 0 ? DropLast() : CloseFile();
    if (!failed_) {
        size_t commentSize = comment != nullptr ? strlen(comment) : 0;
        // A comment that does not fit is left out rather than leaving the archive unfinished.
        if (commentSize > kMaxFieldLength) {
            commentSize = 0;
            err = ZIP_PARAMERROR;
        }
        unsigned char end[kEndRecordsRoom];
        size_t endSize = MakeEndRecords(closed_.size(), central_.size(), Position(), commentSize,
                                        end);
        if (Put(central_.data(), central_.size()) == ZIP_OK && Put(end, endSize) == ZIP_OK &&
            Put(comment, commentSize) == ZIP_OK && Flush() == ZIP_OK) {
            // A stored rewrite may have left a longer attempt's bytes beyond this point.
            if (!output_->Truncate())
                Fail();
        }
    }
    if (!output_->Close())
        Fail();
    return failed_ ? ZIP_ERRNO : err;
}

Archive* AsArchive(zipFile file)
{
    return static_cast<Archive*>(file);
}

ZipOutput* OpenPlatformFile(void*, const char* path)
{
    return OpenZipFileOutput(path);
}

}  // namespace

void fill_win32_filefunc(zlib_filefunc_def* pzlib_filefunc_def)
{
    pzlib_filefunc_def->zopen_file = OpenPlatformFile;
    pzlib_filefunc_def->opaque = nullptr;
}

zipFile zipOpen2(const char* pathname, int append, const char** globalcomment,
                 zlib_filefunc_def* pzlib_filefunc_def)
{
    if (append != APPEND_STATUS_CREATE || pathname == nullptr)
        return nullptr;
    zlib_filefunc_def platform;
    if (pzlib_filefunc_def == nullptr) {
        fill_win32_filefunc(&platform);
        pzlib_filefunc_def = &platform;
    }
    std::unique_ptr<ZipOutput> output(
        pzlib_filefunc_def->zopen_file(pzlib_filefunc_def->opaque, pathname));
    if (!output)
        return nullptr;
    uint64_t start = 0;
    if (!output->Tell(&start)) {
        output->Close();
        return nullptr;
    }
    return new Archive(output.release(), start);
}

int zipOpenNewFileInZip3_64(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                            const void* extrafield_local, unsigned size_extrafield_local,
                            const void* extrafield_global, unsigned size_extrafield_global,
                            const char* comment, int method, int level, int raw, int windowBits,
                            int memLevel, int strategy, const char* password,
                            unsigned long crcForCrypting, int zip64)
{
    if (file == nullptr)
        return ZIP_PARAMERROR;
    return AsArchive(file)->OpenFile(filename, zipfi, extrafield_local, size_extrafield_local,
                                     extrafield_global, size_extrafield_global, comment, method,
                                     level, raw, windowBits, memLevel, strategy, password,
                                     crcForCrypting, zip64);
}

int zipOpenNewFileInZip3(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                         const void* extrafield_local, unsigned size_extrafield_local,
                         const void* extrafield_global, unsigned size_extrafield_global,
                         const char* comment, int method, int level, int raw, int windowBits,
                         int memLevel, int strategy, const char* password,
                         unsigned long crcForCrypting)
{
    return zipOpenNewFileInZip3_64(file, filename, zipfi, extrafield_local, size_extrafield_local,
                                   extrafield_global, size_extrafield_global, comment, method,
                                   level, raw, windowBits, memLevel, strategy, password,
                                   crcForCrypting, 0);
}

int zipEntryNeedsZip64(uint64_t size, int method, int encrypted)
{
    // A source may grow while it is read; a sixteenth more is allowed for.
    uint64_t worst = size + size / 16;
    if (method == Z_DEFLATED) {
        // deflateBound takes a uLong, 32 bits on Windows: the bound of 1 MiB serves each MiB,
        // which holds as zlib's bound grows by a fixed share plus a constant.
        constexpr uLong kPiece = 1 << 20;
        worst = (worst / kPiece + 1) * deflateBound(nullptr, kPiece);
    }
    // Either encryption's bytes: the larger, AES's, holds for both.
    if (encrypted != 0)
        worst += kZipAesOverhead;
    return worst > kMaxClassicSize ? 1 : 0;
}

int zipSetNextEntryAesKeys(zipFile file, const ZipAesKeys* keys)
{
    if (file == nullptr)
        return ZIP_PARAMERROR;
    AsArchive(file)->SetNextKeys(keys);
    return ZIP_OK;
}

int zipSetArchiveOptions(zipFile file, const ArchiveOptions* options)
{
    if (file == nullptr || options == nullptr)
        return ZIP_PARAMERROR;
    AsArchive(file)->SetOptions(*options);
    return ZIP_OK;
}

int zipWriteInFileInZip(zipFile file, const void* buf, unsigned len)
{
    return file != nullptr ? AsArchive(file)->Write(buf, len) : ZIP_PARAMERROR;
}

int zipCloseFileInZip(zipFile file)
{
    return file != nullptr ? AsArchive(file)->CloseFile() : ZIP_PARAMERROR;
}

int zipCloseFileInZipRaw64(zipFile file, uint64_t uncompressed_size, unsigned long crc32)
{
    return file != nullptr ? AsArchive(file)->CloseFile(&uncompressed_size, static_cast<uint32_t>(crc32))
                           : ZIP_PARAMERROR;
}

int zipClose(zipFile file, const char* global_comment)
{
    if (file == nullptr)
        return ZIP_PARAMERROR;
    int err = AsArchive(file)->Finish(global_comment);
    delete AsArchive(file);
    return err;
}

int32_t zipLastFileGain(zipFile file)
{
    return file != nullptr ? AsArchive(file)->LastGain() : 0;
}

int zipRemoveLastFile(zipFile file)
{
    return file != nullptr ? AsArchive(file)->RemoveLast() : ZIP_PARAMERROR;
}
