#include "archive/archive_builder.h"

#include <atomic>
#include <cstdint>
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

constexpr size_t kNameSize = 1024;
constexpr size_t kLogLineSize = 512;

// Polled by the walk and set from the dialog's thread.
std::atomic<int> g_walkAbort{0};
int g_threads;  // 0: DefaultDeflateThreads()

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

void LogFileError(BuildReporter* reporter, int code, const char* entryName, const char* sourcePath)
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
    FormatText(name, sizeof name, "%.*s", static_cast<int>(WholeCharacterLength(entryName)), entryName);
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
        good = VerifyArchive(writePath, g_written, reporter, EntryAbortFlag());
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

// Where the pipeline's items come back, in the walk's order: a file that failed is logged, and
// the build stops when the list of the folder it was in ends.
class TreeReporter : public ItemReporter {
public:
    explicit TreeReporter(BuildReporter* reporter) : reporter_(reporter) {}
    bool failed = false;
    size_t files = 0;  // reported

    bool ItemDone(const ArchiveItem& item, int code) override
    {
        if (!item.write && item.code == 0)  // the end of a folder
            return item.folder != failedFolder_;
        ++files;
        if (code != ZIP_OK) {
            LogFileError(reporter_, code, item.name.c_str(), item.sourcePath.c_str());
            failed = true;
            failedFolder_ = item.folder;
        } else if (g_options.verify == 1) {
            g_written.push_back({item.name, item.password});
        }
        reporter_->Step();
        return true;
    }

private:
    BuildReporter* reporter_;
    // The folder of the file that failed last: the build stops where its list ends (a later
    // failure lies inside it, so its folder's list ends first).
    uint64_t failedFolder_ = UINT64_MAX;
};

constexpr size_t kStopped = SIZE_MAX;

// Walks the tree depth first, in list order, with a stack of its own: projects may be far deeper
// than the worker's stack. Each file goes to the pipeline with its full name; the end of a folder
// that had files goes too, so the build can stop there when one of them failed. The number of
// files, or kStopped when it stopped before the end.
size_t WalkTree(EntryPipeline& pipeline)
{
    size_t files = 0;
    struct OpenFolder {
        const ProjectNode* folder;
        size_t nameLength;  // the entry-name buffer's length inside this folder
        bool usable;        // its name can stand in the archive
        uint64_t serial;
        bool hasFiles;
    };
    uint64_t serials = 0;
    std::vector<OpenFolder> open{{ProjectRoot(), 0, true, serials++, false}};
    int unusableFolders = 0;
    const ProjectNode* node = ProjectRoot()->firstChild;
    for (;;) {
        if (node == nullptr) {
            OpenFolder done = open.back();
            open.pop_back();
            if (done.hasFiles) {
                ArchiveItem end;
                end.write = false;
                end.folder = done.serial;
                if (!pipeline.Add(std::move(end)))
                    return kStopped;
            }
            if (open.empty())
                return files;
            unusableFolders -= done.usable ? 0 : 1;
            CutName(open.back().nameLength);
            node = done.folder->nextSibling;
            continue;
        }
        if (g_walkAbort)
            return kStopped;
        bool usable = AppendComponent(node->name, node->IsFolder());
        if (node->IsFolder()) {
            unusableFolders += usable ? 0 : 1;
            open.push_back({node, g_nameLength, usable, serials++, false});
            node = node->firstChild;
            continue;
        }
        ArchiveItem item;
        item.folder = open.back().serial;
        item.name = g_name;
        item.sourcePath = node->sourcePath;
        int level = EffectiveLevel(node);
        item.level = level >= -1 ? level : -1;
        const char* password = EffectivePassword(node);
        item.password = password != nullptr ? password : "";
        if (!usable || unusableFolders != 0) {
            item.write = false;
            item.code = ZIP_BADNAME;
        }
        open.back().hasFiles = true;
        ++files;
        if (!pipeline.Add(std::move(item)))
            return kStopped;
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
    TreeReporter items(reporter);
    bool finished;
    {
        EntryPipeline pipeline(handle, g_options, &items, g_threads > 0 ? g_threads : DefaultDeflateThreads());
        size_t files = WalkTree(pipeline);
        pipeline.Finish();
        finished = files == items.files;
    }
    int result = finished && !items.failed ? 0 : 1;
    if (!FinishArchive(handle, result, writePath, outputPath, reporter))
        result = 1;
    return result;
}

void ResetArchiveAbort()
{
    g_walkAbort = 0;
    ResetEntryAbort();
}

void RequestArchiveAbort()
{
    g_walkAbort = 1;
    RequestEntryAbort();
}

void SetArchiveThreads(int threads)
{
    g_threads = threads;
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
