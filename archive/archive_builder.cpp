#include "archive/archive_builder.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "archive/zip_verify.h"
#include "core/format_text.h"
#include "core/paths.h"
#include "core/strings.h"
#include "project/project_file.h"
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

// The build's options, and what it has written so far, for the read-back.
ArchiveOptions g_options;
std::vector<WrittenEntry> g_written;

void (*g_beforeVerify)(const char* path);
bool g_haveTestOutput;
zlib_filefunc_def g_testOutput;

// One path step of an entry name that every extractor puts where it belongs: not empty, no "/",
// "\" or ":" (a drive or an alternate data stream), not made of dots and spaces alone (Windows
// trims those to "." or ".."), and whole double-byte characters only (a lead byte would take the
// byte after it, "/" included, into its character; 0x5C after one is no backslash).
bool IsUsableComponent(const char* name)
{
    bool dotsAndSpaces = true;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at != 0; ++at) {
        // 0x80 and 0xFD-0xFF stand alone in code page 932: the byte after them, "\" too, is a
        // character of its own to an extractor.
        if (IsLeadByte(*at) && *at != 0x80 && *at < 0xFD) {
            if (!IsTrailByte(at[1]))
                return false;
            ++at;
            dotsAndSpaces = false;
        } else if (*at == '/' || *at == '\\' || *at == ':') {
            return false;
        } else if (*at != '.' && *at != ' ') {
            dotsAndSpaces = false;
        }
    }
    return !dotsAndSpaces;
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
    case ZIP_BADTEXT:
        format = "error : UTF-8に変換できません : %s(%s)\r\n";
        break;
    case ZIP_SOURCEGREW:
        format = "error : 読み込み中に4GBを超えました : %s(%s)\r\n";
        break;
    default:
        format = "error : %s(%s)\r\n";
        break;
    }
    // A lead byte at the end of either text would swallow the "(" or ")" after it.
    char name[kNameSize];
    char source[kPathSize];
    FormatText(name, sizeof name, "%.*s", static_cast<int>(WholeCharacterLength(g_name)), g_name);
    FormatText(source, sizeof source, "%.*s", static_cast<int>(WholeCharacterLength(sourcePath)),
               sourcePath);
    char line[kLogLineSize];
    FormatText(line, sizeof line, format, name, source);
    reporter->LogLine(line);
}

void LogOutputError(BuildReporter* reporter, const char* format, const char* outputPath)
{
    char line[kLogLineSize];
    FormatText(line, sizeof line, format, outputPath);
    reporter->LogLine(line);
}

// The archive is written under `writePath`: a new file beside the target, which replaces the
// target only once the archive is complete. The test output stands in for both.
zipFile OpenArchive(const char* outputPath, char* writePath, size_t size)
{
    zlib_filefunc_def output;
    if (g_haveTestOutput) {
        output = g_testOutput;
        FormatText(writePath, size, "%s", outputPath);
    } else {
        fill_win32_filefunc(&output);
        // A folder at the target would only refuse the archive at the very end.
        if (PathExists(outputPath) && IsDirectoryPath(outputPath))
            return nullptr;
        std::string temporary;
        FileHandle file = CreateTemporaryBeside(outputPath, &temporary);
        if (file == kInvalidFile)
            return nullptr;
        CloseFile(file);  // the output opens it again; the name stays ours
        FormatText(writePath, size, "%s", temporary.c_str());
    }
    zipFile handle = zipOpen2(writePath, APPEND_STATUS_CREATE, nullptr, &output);
    if (handle == nullptr && !g_haveTestOutput)
        DeleteFilePath(writePath);
    return handle;
}

// Closes the archive and puts it in the target's place, or, when the build failed, removes it and
// leaves whatever was at the target as it was. False when the archive could not be put in place.
bool FinishArchive(zipFile handle, int result, const char* writePath, const char* outputPath,
                   BuildReporter* reporter)
{
    bool closed = zipClose(handle, nullptr) == ZIP_OK;
    if (!closed)
        LogOutputError(reporter, "error : 書庫を書き終えられません : %s\r\n", outputPath);
    if (g_haveTestOutput)
        return closed;
    bool good = result == 0 && closed;
    if (good && g_options.verify == 1) {
        if (g_beforeVerify != nullptr)
            g_beforeVerify(writePath);
        good = VerifyArchive(writePath, g_written, reporter, g_copyAbort);
    }
    if (good) {
        if (ReplaceFileWith(writePath, outputPath))
            return true;
        LogOutputError(reporter, "error : 書庫を書き終えられません : %s\r\n", outputPath);
    }
    DeleteFilePath(writePath);
    if (PathExists(outputPath))
        LogOutputError(reporter, "前の書庫はそのまま残しました : %s\r\n", outputPath);
    return false;
}

// An output that would replace the open project file or a file that an entry reads: the source
// would be lost. Paths are compared in full, as the file system compares them.
bool OutputIsProjectFile(const char* outputPath, BuildReporter* reporter)
{
    char output[kPathSize];
    char full[kPathSize];
    if (!FullPathName(outputPath, output, sizeof output))
        return false;
    bool clash = CurrentProjectPath[0] != '\0' && FullPathName(CurrentProjectPath, full, sizeof full) &&
                 SamePath(output, full);
    const ProjectNode* root = ProjectRoot();
    for (const ProjectNode* node = NextInTree(root, root); node != nullptr && !clash;
         node = NextInTree(node, root)) {
        clash = !node->IsFolder() && FullPathName(node->sourcePath, full, sizeof full) &&
                SamePath(output, full);
    }
    if (clash)
        LogOutputError(reporter, "error : 出力先がプロジェクトのファイルです : %s\r\n", outputPath);
    return clash;
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

// Walks the tree depth first, in list order, with a stack of its own: projects may be far deeper
// than the worker's stack. A file that fails is logged and the rest of its folder is still
// written; when that folder's list ends, the build stops.
int WriteTree(zipFile handle, BuildReporter* reporter)
{
    struct OpenFolder {
        const ProjectNode* folder;
        size_t nameLength;  // the entry-name buffer's length inside this folder
        bool usable;        // its name can stand in the archive
        bool failed;        // a file of its own list failed
    };
    std::vector<OpenFolder> open{{ProjectRoot(), 0, true, false}};
    int unusableFolders = 0;
    const ProjectNode* node = ProjectRoot()->firstChild;
    for (;;) {
        if (node == nullptr) {
            OpenFolder done = open.back();
            open.pop_back();
            if (done.failed)
                return 1;
            if (open.empty())
                return 0;
            unusableFolders -= done.usable ? 0 : 1;
            CutName(open.back().nameLength);
            node = done.folder->nextSibling;
            continue;
        }
        if (g_walkAbort)
            return 1;
        bool usable = AppendComponent(node->name, node->IsFolder());
        if (node->IsFolder()) {
            unusableFolders += usable ? 0 : 1;
            open.push_back({node, g_nameLength, usable, false});
            node = node->firstChild;
            continue;
        }
        int code = ZIP_BADNAME;
        if (usable && unusableFolders == 0)
            code = AddFileToArchive(handle, node->sourcePath, g_name, EffectiveLevel(node),
                                    EffectivePassword(node), g_options);
        if (code != ZIP_OK) {
            LogFileError(reporter, code, node->sourcePath);
            open.back().failed = true;
        } else if (g_options.verify == 1) {
            const char* password = EffectivePassword(node);
            g_written.push_back({g_name, password != nullptr ? password : ""});
        }
        reporter->Step();
        CutName(open.back().nameLength);
        node = node->nextSibling;
    }
}

}  // namespace

int CountArchiveFiles()
{
    const ProjectNode* root = ProjectRoot();
    int count = 0;
    for (const ProjectNode* node = NextInTree(root, root); node != nullptr; node = NextInTree(node, root))
        count += node->IsFolder() ? 0 : 1;
    return count;
}

int BuildArchive(const char* outputPath, BuildReporter* reporter, const ArchiveOptions& options)
{
    g_options = options;
    g_written.clear();
    ApplyProjectProperties();
    if (OutputIsProjectFile(outputPath, reporter))
        return 1;
    char writePath[kPathSize];
    zipFile handle = OpenArchive(outputPath, writePath, sizeof writePath);
    if (handle == nullptr) {
        LogOutputError(reporter, "error : 書庫を作成できません : %s\r\n", outputPath);
        return 1;
    }
    CutName(0);
    int result = WriteTree(handle, reporter);
    if (!FinishArchive(handle, result, writePath, outputPath, reporter))
        result = 1;
    return result;
}

void ResetArchiveAbort()
{
    g_walkAbort = 0;
    g_copyAbort = 0;
}

void RequestArchiveAbort()
{
    g_walkAbort = 1;
    g_copyAbort = 1;
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
        code = ComputeFileCrc(source, g_copyBuffer, sizeof g_copyBuffer, &crc);
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

void SetBeforeVerifyForTesting(void (*hook)(const char* path))
{
    g_beforeVerify = hook;
}

void SetArchiveOutputForTesting(const zlib_filefunc_def* def)
{
    g_haveTestOutput = def != nullptr;
    if (def != nullptr)
        g_testOutput = *def;
}
