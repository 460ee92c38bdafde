#include "archive/archive_builder.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "core/format_text.h"
#include "core/strings.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/properties.h"

namespace {

constexpr size_t kCopyBufferSize = 16384;
constexpr size_t kNameSize = 1024;
constexpr size_t kLogLineSize = 512;

// Both are polled by the worker and set from the dialog's thread.
std::atomic<int> g_walkAbort{0};
std::atomic<int> g_copyAbort{0};

// The CRC pre-pass and the copy of every file share this buffer.
unsigned char g_copyBuffer[kCopyBufferSize];

// The full name of the entry being written: folder names are appended on the way down and cut
// off on the way back.
char g_name[kNameSize];
size_t g_nameLength;
// Enclosing folders whose names cannot stand in the archive: every file below them fails.
int g_unusableFolders;

bool g_haveTestOutput;
zlib_filefunc_def g_testOutput;

// One path step of an entry name: not empty, "." or "..", and without "/" or "\" (the byte after
// a lead byte belongs to its character: 0x5C ends ソ and 表). A name that ends in half a
// character could swallow the "/" after it.
bool IsUsableComponent(const char* name)
{
    if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return false;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at != 0; ++at) {
        if (IsLeadByte(*at)) {
            if (at[1] == 0)
                return false;
            ++at;
        } else if (*at == '/' || *at == '\\') {
            return false;
        }
    }
    return true;
}

// Appends a name, and "/" after a folder's; false when it cannot be used in the archive or the
// whole name would pass 1023 bytes (what fits is kept, for the log line).
bool AppendComponent(const char* name, bool folder)
{
    bool usable = IsUsableComponent(name);
    size_t length = strlen(name);
    size_t needed = length + (folder ? 1 : 0);
    if (g_nameLength + needed >= kNameSize) {
        usable = false;
        length = kNameSize - 1 - g_nameLength;
        needed = length;
        folder = false;
    }
    memcpy(g_name + g_nameLength, name, length);
    if (folder)
        g_name[g_nameLength + length] = '/';
    g_nameLength += needed;
    g_name[g_nameLength] = '\0';
    return usable;
}

void CutName(size_t length)
{
    g_nameLength = length;
    g_name[length] = '\0';
}

void LogFileError(BuildReporter* reporter, int code, const char* sourcePath)
{
    const char* format;
    switch (code) {
    case ZIP_SOURCENOTFOUND:
        format = "error : 見つかりません : %s(%s)\r\n";
        break;
    case ZIP_SOURCEINUSE:
        format = "error : 使用中です : %s(%s)\r\n";
        break;
    case ZIP_BADNAME:
        format = "error : 書庫内の名前に使えません : %s(%s)\r\n";
        break;
    case ZIP_SOURCEGREW:
        format = "error : 読み込み中に4GBを超えました : %s(%s)\r\n";
        break;
    default:
        format = "error : %s(%s)\r\n";
        break;
    }
    char line[kLogLineSize];
    FormatText(line, sizeof line, format, g_name, sourcePath);
    reporter->LogLine(line);
}

zipFile OpenArchive(const char* path)
{
    zlib_filefunc_def output;
    if (g_haveTestOutput)
        output = g_testOutput;
    else
        fill_win32_filefunc(&output);
    zipFile handle = zipOpen2(path, APPEND_STATUS_CREATE, nullptr, &output);
    g_copyAbort = 0;
    return handle;
}

// The data of an entry opened without ZIP64 sizes fails with ZIP_PARAMERROR when it reaches
// 4 GiB: the file grew while it was read.
int DataCode(zipFile handle, int code)
{
    return code == ZIP_PARAMERROR && handle != nullptr ? ZIP_SOURCEGREW : code;
}

// Copies the rest of the source into the open entry; `crc` (when given) follows the data.
int CopySource(zipFile handle, FileHandle source, unsigned long* crc)
{
    for (;;) {
        if (g_copyAbort)
            return ZIP_ABORTED;
        size_t got = 0;
        if (!ReadChunk(source, g_copyBuffer, sizeof g_copyBuffer, &got))
            return ZIP_ERRNO;
        if (got == 0)
            return ZIP_OK;
        if (crc != nullptr)
            *crc = crc32(*crc, g_copyBuffer, static_cast<uInt>(got));
        int code = zipWriteInFileInZip(handle, g_copyBuffer, static_cast<unsigned>(got));
        if (code != ZIP_OK)
            return code;
    }
}

// One attempt at the entry from the start of the open source. `crc` is the data's CRC-32 when
// there is a password.
int WriteEntry(zipFile handle, FileHandle source, const SourceFileInfo& info, const char* name,
               int level, const char* password, unsigned long crc)
{
    zip_fileinfo fileInfo = {};
    fileInfo.dosDate = info.dosDateTime;
    fileInfo.external_fa = info.attributes;
    int compressorLevel = level >= -1 ? level : -1;
    int method = compressorLevel != 0 ? Z_DEFLATED : 0;
    int zip64 = zipEntryNeedsZip64(info.size, method, password != nullptr);
    int code = zipOpenNewFileInZip3_64(handle, name, &fileInfo, nullptr, 0, nullptr, 0, nullptr,
                                       method, compressorLevel, 0, -MAX_WBITS, 8,
                                       Z_DEFAULT_STRATEGY, password, crc, zip64);
    if (code != ZIP_OK)
        return code;
    unsigned long copied = 0;
    code = CopySource(handle, source, password != nullptr ? &copied : nullptr);
    // The encryption header carries the CRC of the pre-pass: a file that changed in between
    // would make an entry whose password check fails.
    if (code == ZIP_OK && password != nullptr && copied != crc)
        code = ZIP_ERRNO;
    if (code != ZIP_OK) {
        // Cut short: drop it rather than let the close finish it with part of the data. A failed
        // removal fails the archive, which the close then reports.
        zipRemoveLastFile(handle);
        return DataCode(handle, code);
    }
    code = zipCloseFileInZip(handle);
    if (code != ZIP_OK)
        return DataCode(handle, code);

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

int WriteFolderToArchive(zipFile handle, const ProjectNode* first, BuildReporter* reporter)
{
    size_t mark = g_nameLength;
    bool failed = false;
    for (const ProjectNode* node = first; node != nullptr; node = node->nextSibling) {
        if (g_walkAbort)
            return 1;
        bool usable = AppendComponent(node->name, node->IsFolder());
        if (node->IsFolder()) {
            g_unusableFolders += usable ? 0 : 1;
            int result = WriteFolderToArchive(handle, node->firstChild, reporter);
            g_unusableFolders -= usable ? 0 : 1;
            CutName(mark);
            if (result != 0)
                return 1;
            continue;
        }
        int code = ZIP_BADNAME;
        if (usable && g_unusableFolders == 0)
            code = AddFileToArchive(handle, node->sourcePath, g_name, EffectiveLevel(node),
                                    EffectivePassword(node));
        if (code != ZIP_OK) {
            LogFileError(reporter, code, node->sourcePath);
            failed = true;
        }
        reporter->Step();
        CutName(mark);
    }
    return failed ? 1 : 0;
}

int CountFiles(const ProjectNode* first)
{
    int count = 0;
    for (const ProjectNode* node = first; node != nullptr; node = node->nextSibling)
        count += node->IsFolder() ? CountFiles(node->firstChild) : 1;
    return count;
}

}  // namespace

int CountArchiveFiles()
{
    return CountFiles(ProjectRoot()->firstChild);
}

int BuildArchive(const char* outputPath, BuildReporter* reporter)
{
    ApplyProjectProperties();
    g_walkAbort = 0;
    zipFile handle = OpenArchive(outputPath);
    CutName(0);
    g_unusableFolders = 0;
    int result = WriteFolderToArchive(handle, ProjectRoot()->firstChild, reporter);
    // Without a handle every file has failed already; with one, a failed close leaves no
    // complete archive, whatever the entries did.
    if (handle != nullptr && zipClose(handle, nullptr) != ZIP_OK) {
        char line[kLogLineSize];
        FormatText(line, sizeof line, "error : 書庫を書き終えられません : %s\r\n", outputPath);
        reporter->LogLine(line);
        result = 1;
    }
    return result;
}

void RequestArchiveAbort()
{
    g_walkAbort = 1;
    g_copyAbort = 1;
}

int AddFileToArchive(zipFile handle, const char* sourcePath, const char* name, int level,
                     const char* password)
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
    unsigned long crc = 0;
    int code = ZIP_OK;
    if (password != nullptr) {
        code = ComputeFileCrc(source, g_copyBuffer, sizeof g_copyBuffer, &crc);
        if (code == ZIP_OK && !RewindFile(source))
            code = ZIP_ERRNO;
    }
    if (code == ZIP_OK)
        code = WriteEntry(handle, source, info, name, level, password, crc);
    // Only read from: closing it cannot lose anything.
    CloseFile(source);
    return code;
}

int ComputeFileCrc(FileHandle source, void* buffer, size_t size, unsigned long* crc)
{
    unsigned long sum = 0;
    int result = 0;
    for (;;) {
        if (g_copyAbort) {
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

void SetArchiveOutputForTesting(const zlib_filefunc_def* def)
{
    g_haveTestOutput = def != nullptr;
    if (def != nullptr)
        g_testOutput = *def;
}
