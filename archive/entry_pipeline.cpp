#include "archive/entry_pipeline.h"

#include <zlib.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "archive/zip_crypt.h"
#include "core/text_utf8.h"

namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;

std::atomic<int> g_abort{0};
// The engine of the build under way, so that an abort reaches the thread waiting for data.
std::mutex g_activeMutex;
ParallelDeflate* g_active;

// The data of an entry opened without ZIP64 sizes fails with ZIP_PARAMERROR when it reaches
// 4 GiB: the file grew while it was read.
int DataCode(int code)
{
    return code == ZIP_PARAMERROR ? ZIP_SOURCEGREW : code;
}

// A file's bytes for the engine. It is looked at and opened only when its turn to be read comes,
// on a worker, so the walk never waits for the disk; what fails is kept in the item.
class ItemSource : public DeflateSource {
public:
    ItemSource(ArchiveItem* item, bool prepass, bool aes) : item_(item), prepass_(prepass), aes_(aes) {}
    ~ItemSource() override
    {
        if (file_ != kInvalidFile)
            CloseFile(file_);  // only read from: closing loses nothing
    }

    bool Read(void* buffer, size_t count, size_t* done) override
    {
        if (file_ == kInvalidFile && !Open())
            return false;
        if (g_abort)
            return Fail(ZIP_ABORTED);
        return ReadChunk(file_, buffer, count, done) || Fail(ZIP_ERRNO);
    }

private:
    bool Fail(int code)
    {
        item_->code = code;
        return false;
    }

    bool Open()
    {
        // By path, not from the handle: under Wine that query costs several server calls.
        if (!ReadSourceFileInfo(item_->sourcePath.c_str(), &item_->info))
            return Fail(ZIP_SOURCENOTFOUND);
        file_ = OpenSourceFile(item_->sourcePath.c_str());
        if (file_ == kInvalidFile)
            return Fail(ZIP_SOURCEINUSE);
        // The derivation takes milliseconds; a password without a UTF-8 spelling is left to the
        // writer, which refuses it.
        std::string password;
        if (aes_ && Cp932ToUtf8(item_->password.c_str(), &password))
            item_->aesKeysReady = DeriveZipAesKeys(password, &item_->aesKeys);
        if (!prepass_)
            return true;
        std::vector<unsigned char> buffer(kCopyBufferSize);
        unsigned long crc = 0;
        int code = ComputeFileCrc(file_, buffer.data(), buffer.size(), &crc);
        if (code == ZIP_OK && !RewindFile(file_))
            code = ZIP_ERRNO;
        item_->prepassCrc = static_cast<uint32_t>(crc);
        return code == ZIP_OK || Fail(code);  // a read error's -1 is ZIP_ERRNO
    }

    ArchiveItem* item_;
    bool prepass_;
    bool aes_;
    FileHandle file_ = kInvalidFile;
};

bool UsesAes(const ArchiveItem& item, const ArchiveOptions& options)
{
    return !item.password.empty() && options.encryption == 1;
}

bool UsesPrepass(const ArchiveItem& item, const ArchiveOptions& options)
{
    // AES entries carry no CRC-32.
    return !item.password.empty() && options.encryption != 1;
}

const char* PasswordOf(const ArchiveItem& item)
{
    return item.password.empty() ? nullptr : item.password.c_str();
}

// Copies the rest of the source into the open entry; `crc` (when given) follows the data.
int CopySource(zipFile handle, FileHandle source, unsigned long* crc)
{
    std::vector<unsigned char> buffer(kCopyBufferSize);
    for (;;) {
        if (g_abort)
            return ZIP_ABORTED;
        size_t got = 0;
        if (!ReadChunk(source, buffer.data(), buffer.size(), &got))
            return ZIP_ERRNO;
        if (got == 0)
            return ZIP_OK;
        if (crc != nullptr)
            *crc = crc32(*crc, buffer.data(), static_cast<uInt>(got));
        int code = zipWriteInFileInZip(handle, buffer.data(), static_cast<unsigned>(got));
        if (code != ZIP_OK)
            return code;
    }
}

// One attempt at the entry from the start of the open source. `crc` is the data's CRC-32 from a
// pre-pass when the encryption needs it (traditional encryption's header carries it), else null.
int WriteEntry(zipFile handle, FileHandle source, const SourceFileInfo& info, const char* name,
               int level, const char* password, const unsigned long* crc)
{
    zip_fileinfo fileInfo = {};
    fileInfo.dosDate = info.dosDateTime;
    fileInfo.external_fa = info.attributes;
    int compressorLevel = level >= -1 ? level : -1;
    int method = compressorLevel != 0 ? Z_DEFLATED : 0;
    int zip64 = zipEntryNeedsZip64(info.size, method, password != nullptr);
    int code = zipOpenNewFileInZip3_64(handle, name, &fileInfo, nullptr, 0, nullptr, 0, nullptr,
                                       method, compressorLevel, 0, -MAX_WBITS, 8,
                                       Z_DEFAULT_STRATEGY, password, crc != nullptr ? *crc : 0,
                                       zip64);
    if (code != ZIP_OK)
        return code;
    unsigned long copied = 0;
    code = CopySource(handle, source, crc != nullptr ? &copied : nullptr);
    // The encryption header carries the CRC of the pre-pass: a file that changed in between
    // would make an entry whose password check fails.
    if (code == ZIP_OK && crc != nullptr && copied != *crc)
        code = ZIP_ERRNO;
    if (code != ZIP_OK) {
        // Cut short: drop it rather than let the close finish it with part of the data. A failed
        // removal fails the archive, which the close then reports.
        zipRemoveLastFile(handle);
        return DataCode(code);
    }
    code = zipCloseFileInZip(handle);
    if (code != ZIP_OK)
        return DataCode(code);

    // Stored instead when deflate did not shrink it.
    if (level != 0 && zipLastFileGain(handle) <= 0) {
        code = zipRemoveLastFile(handle);
        if (code != 0)
            return ZIP_ERRNO;
        if (!RewindFile(source))
            return ZIP_ERRNO;
        return WriteEntry(handle, source, info, name, 0, password, crc);
    }
    return ZIP_OK;
}

}  // namespace

EntryPipeline::EntryPipeline(zipFile handle, const ArchiveOptions& options, ItemReporter* reporter,
                             int threads)
    : handle_(handle), options_(options), reporter_(reporter)
{
    zipSetArchiveOptions(handle_, &options_);
    ParallelDeflateSettings settings;
    settings.threads = threads;
    engine_ = std::make_unique<ParallelDeflate>(static_cast<DeflateSink*>(this), settings);
    std::lock_guard<std::mutex> lock(g_activeMutex);
    g_active = engine_.get();
    if (g_abort)
        engine_->Abort();
}

EntryPipeline::~EntryPipeline()
{
    {
        std::lock_guard<std::mutex> lock(g_activeMutex);
        g_active = nullptr;
    }
    engine_.reset();  // its workers still point at the items
}

bool EntryPipeline::Add(ArchiveItem item)
{
    if (stopped_)
        return false;
    items_.push_back(std::move(item));
    ArchiveItem& added = items_.back();
    if (added.write && (added.level < -1 || added.level > 9)) {  // as deflateInit2 refuses it
        added.write = false;
        added.code = Z_STREAM_ERROR;
    }
    bool aes = added.write && UsesAes(added, options_);
    if (aes && !ZipRandomBytes(added.aesKeys.salt, kZipAesSaltSize)) {
        added.write = false;
        added.code = ZIP_INTERNALERROR;  // as the writer says it
    }
    if (!added.write)
        Settle();
    else if (!engine_->Add(std::make_unique<ItemSource>(&added, UsesPrepass(added, options_), aes),
                           added.level))
        Stopped();
    return !stopped_;
}

void EntryPipeline::Finish()
{
    if (!stopped_ && !engine_->Finish())
        Stopped();
    Settle();
}

// Reports the front item, and forgets it unless a worker may still be reading its file. An
// abort that came meanwhile stops the pipeline here, between items.
bool EntryPipeline::Report(int code, bool forget)
{
    bool keep = reporter_->ItemDone(items_.front(), code);
    if (forget)
        items_.pop_front();
    if (!keep || g_abort) {
        stopped_ = true;
        quiet_ = true;
    }
    return !stopped_;
}

// Notes wait only for the files before them.
void EntryPipeline::Settle()
{
    while (!stopped_ && !items_.empty() && !items_.front().write)
        Report(items_.front().code);
}

// The engine stopped without ending the file it was at: the abort came while its data was awaited.
void EntryPipeline::Stopped()
{
    if (!stopped_ && !quiet_ && !items_.empty() && items_.front().write)
        Report(ZIP_ABORTED, false);  // kept until the engine's workers are gone
    stopped_ = true;
}

bool EntryPipeline::BeginEntry(const DeflateResult& known)
{
    const ArchiveItem& item = items_.front();
    opened_ = false;
    entryCode_ = 0;
    if (known.status != DeflateStatus::kDone)
        return true;  // EndEntry says why
    int method = known.stored ? 0 : Z_DEFLATED;
    const char* password = PasswordOf(item);
    zip_fileinfo fileInfo = {};
    fileInfo.dosDate = item.info.dosDateTime;
    fileInfo.external_fa = item.info.attributes;
    int zip64 = zipEntryNeedsZip64(item.info.size, method, password != nullptr);
    if (item.aesKeysReady)
        zipSetNextEntryAesKeys(handle_, &item.aesKeys);
    entryCode_ = zipOpenNewFileInZip3_64(handle_, item.name.c_str(), &fileInfo, nullptr, 0, nullptr,
                                         0, nullptr, method, known.stored ? 0 : item.level, 1,
                                         -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, password,
                                         item.prepassCrc, zip64);
    opened_ = entryCode_ == ZIP_OK;
    return true;
}

bool EntryPipeline::WriteData(const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (opened_ && entryCode_ == ZIP_OK && size > 0) {
        unsigned chunk = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
        entryCode_ = DataCode(zipWriteInFileInZip(handle_, bytes, chunk));
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool EntryPipeline::EndEntry(const DeflateResult& result)
{
    const ArchiveItem& item = items_.front();
    int code = entryCode_;
    if (result.status == DeflateStatus::kAborted)
        code = ZIP_ABORTED;
    else if (result.status == DeflateStatus::kReadError)
        code = item.code != 0 ? item.code : ZIP_ERRNO;
    else if (result.status == DeflateStatus::kNoMemory)
        code = Z_MEM_ERROR;
    // The encryption header carries the pre-pass's CRC: a file that changed in between would
    // make an entry whose password check fails.
    else if (code == ZIP_OK && UsesPrepass(item, options_) && result.crc != item.prepassCrc)
        code = ZIP_ERRNO;
    if (opened_ && code == ZIP_OK)
        code = DataCode(zipCloseFileInZipRaw64(handle_, result.size, result.crc));
    else if (opened_)
        zipRemoveLastFile(handle_);  // a failure here fails the archive, which its close reports
    opened_ = false;
    // Longer than one block and not shrunk: stored instead, read again as its data has gone by.
    if (code == ZIP_OK && !result.stored && item.level != 0 && result.packedSize >= result.size) {
        code = ZIP_ERRNO;
        if (zipRemoveLastFile(handle_) == 0) {
            // The salt drawn for it: no draw of random bytes depends on timing.
            zipSetNextEntryAesKeys(handle_, item.aesKeysReady ? &item.aesKeys : nullptr);
            code = AddFileToArchive(handle_, item.sourcePath.c_str(), item.name.c_str(), 0,
                                    PasswordOf(item), options_);
            zipSetNextEntryAesKeys(handle_, nullptr);  // unused when it failed before opening
        }
    }
    // After these the engine stops, perhaps while a worker still reads on in the file.
    bool last = result.status == DeflateStatus::kAborted || result.status == DeflateStatus::kNoMemory;
    if (Report(code, !last) && !last)
        Settle();
    if (last) {
        stopped_ = true;
        quiet_ = true;
    }
    return !stopped_;
}

void RequestEntryAbort()
{
    std::lock_guard<std::mutex> lock(g_activeMutex);
    g_abort = 1;
    if (g_active != nullptr)
        g_active->Abort();
}

void ResetEntryAbort()
{
    g_abort = 0;
}

const std::atomic<int>& EntryAbortFlag()
{
    return g_abort;
}

int AddFileToArchive(zipFile handle, const char* sourcePath, const char* name, int level,
                     const char* password, const ArchiveOptions& options)
{
    SourceFileInfo info;
    if (!ReadSourceFileInfo(sourcePath, &info))
        return ZIP_SOURCENOTFOUND;
    // Opened before the entry is started, so a file that cannot be read leaves no empty entry.
    FileHandle source = OpenSourceFile(sourcePath);
    if (source == kInvalidFile)
        return ZIP_SOURCEINUSE;
    if (password != nullptr && password[0] == '\0')
        password = nullptr;
    int code = zipSetArchiveOptions(handle, &options);
    // AES entries carry no CRC-32 and need no pre-pass.
    bool prepass = password != nullptr && options.encryption != 1;
    unsigned long crc = 0;
    if (code == ZIP_OK && prepass) {
        std::vector<unsigned char> buffer(kCopyBufferSize);
        code = ComputeFileCrc(source, buffer.data(), buffer.size(), &crc);
        if (code == ZIP_OK && !RewindFile(source))
            code = ZIP_ERRNO;
    }
    if (code == ZIP_OK)
        code = WriteEntry(handle, source, info, name, level, password, prepass ? &crc : nullptr);
    // Only read from: closing it cannot lose anything.
    CloseFile(source);
    return code;
}

int ComputeFileCrc(FileHandle source, void* buffer, size_t size, unsigned long* crc)
{
    unsigned long sum = 0;
    int result = 0;
    for (;;) {
        if (g_abort) {
            result = ZIP_ABORTED;
            break;
        }
        size_t got = 0;
        if (!ReadChunk(source, buffer, size, &got)) {
            result = -1;
            break;
        }
        if (got == 0)
            break;
        sum = crc32(sum, static_cast<const Bytef*>(buffer), static_cast<uInt>(got));
    }
    *crc = sum;
    return result;
}
