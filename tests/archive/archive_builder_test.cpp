#include "archive/archive_builder.h"
#include "archive/archive_job.h"
#include "archive/zip_crypt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/format_text.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_builder.h"
#include "tests/support/zip_check.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

class ArchiveBuild : public testing::Test {
protected:
    ~ArchiveBuild() override
    {
        SetArchiveOutputForTesting(nullptr);
        SetBeforeVerifyForTesting(nullptr);
        SetZipRandomSourceForTesting(nullptr);
        SetReadFaultAfterForTesting(-1);
        SetArchiveThreads(0);
        DestroyDocuments();
    }

    // As a job starts it: an abort from before does not count.
    int Build(const ArchiveOptions& options = {})
    {
        ResetArchiveAbort();
        return BuildArchive(out.c_str(), &report, options);
    }
    // A failed build leaves nothing at the target: what it wrote goes into `sink` instead.
    void KeepInMemory(uint64_t base = 0)
    {
        sink = Sink();
        sink.base = base;
        SetArchiveOutputForTesting(&memory);
    }
    // The output (`sink` once kept in memory), checked by the outside readers too with `readers`.
    ZipParsed Read(const PasswordMap& passwords = {}, bool readers = false)
    {
        ZipParsed parsed;
        bool inMemory = sink.End() > sink.base;
        EXPECT_TRUE(inMemory ? ParseZip(sink, &parsed, passwords)
                             : ParseZip(ReadWholeFile(out), &parsed, passwords));
        if (readers && inMemory)
            ExpectReadersAccept(sink, parsed, passwords);
        else if (readers)
            ExpectReadersAccept(out, parsed, passwords);
        return parsed;
    }
#ifndef _WIN32
    // Builds with a pipe at `pipePath` as one source, into which `feed` writes from another thread.
    int BuildFeeding(const std::string& pipePath, const std::function<void(int fd)>& feed)
    {
        signal(SIGPIPE, SIG_IGN);
        EXPECT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
        std::thread writer([&] {
            int fd = open(pipePath.c_str(), O_WRONLY);
            feed(fd);
            close(fd);
        });
        int result = Build();
        writer.join();
        return result;
    }
#endif

    TempDir dir;
    TreeBuilder tree;
    CollectingReporter report;
    std::string out = dir.Join("out.zip");
    Sink sink;
    zlib_filefunc_def memory{OpenSink, &sink};
};

// Each file under its code page 932 names (ソ and 表 end in 0x5C) with its data, time and
// attributes; level and password from the file, its nearest folder or the project ("" switches
// encryption off).
TEST_F(ArchiveBuild, WritesEachFileWithItsTimeAttributesAndInheritedLevelAndPassword)
{
    AppSettings = new SettingsDocument;
    ProjectDocument = new SettingsDocument;
    AppSettings->SetValue("PROPERTY", "COMPRESSLEVEL", "1");
    const char* const settings[][2] = {{"COMPLEVELENABLE", "1"}, {"COMPRESSLEVEL", "9"},
                                       {"PASSWORDENABLE", "1"}, {"PASSWORD", "project-pw"}};
    for (const auto& setting : settings)
        ProjectDocument->SetValue("PROPERTY", setting[0], setting[1]);
    const std::string text = CompressibleText(20000), noise = RandomBytes(50000, 2), r = "r";
    const std::string kanji = "\x92\x86\x90\x67";
    const std::string readOnly = dir.WriteFile("read-only", r), textPath = dir.WriteFile("t", text);
    const std::string noisePath = dir.WriteFile("n", noise);
    ASSERT_TRUE(MakeReadOnly(readOnly));
    ProjectNode* root = tree.Root();
    tree.Folder(tree.Folder(root, "empty"), "emptier");
    tree.File(root, "first.txt", readOnly);
    ProjectNode* two = tree.Folder(root, "two", 2, "folder-pw");
    tree.File(tree.Folder(two, "deeper"), "grand-folder", textPath);
    tree.File(two, "own-0", textPath, 0, "file-pw");
    tree.File(two, "noise", noisePath);
    tree.File(two, "plain", textPath, -1, "");
    ProjectNode* open = tree.Folder(tree.Folder(root, "nine", 9), "open", -1, "");
    tree.File(open, "below", textPath);
    tree.File(open, "own-1", textPath, 1, "again-pw");
    tree.File(open, "six", textPath, 6);
    tree.File(tree.Folder(root, "ソース"), "表示.txt", dir.WriteFile("データ.txt", "中身"));
    // Last, so that the longer deflated attempt would reach past the end record.
    tree.File(root, "noise-last", noisePath, 9, "");
    for (const char* name : {"t", "n", "データ.txt"})
        ASSERT_TRUE(SetLocalWriteTime(dir.Join(name), 2021, 3, 4, 5, 6, 9));
    ASSERT_TRUE(SetLocalWriteTime(readOnly, 2099, 12, 31, 23, 59, 58));
    struct Row {
        const char* name;
        const std::string& data;
        int level;       // of the deflated data; 0: stored
        unsigned flags;  // the level's bits and bit 0 for a password
    } rows[] = {{"first.txt", r, 0, 1},
                {"two/deeper/grand-folder", text, 2, 4 | 1},
                {"two/own-0", text, 0, 1},
                {"two/noise", noise, 0, 1},
                {"two/plain", text, 2, 4},
                {"nine/open/below", text, 9, 2},
                {"nine/open/own-1", text, 1, 6 | 1},
                {"nine/open/six", text, 6, 0},
                {"\x83\x5c\x81\x5b\x83\x58/\x95\x5c\x8e\xa6.txt", kanji, 0, 1},
                {"noise-last", noise, 0, 0}};
    PasswordMap passwords{{"", "project-pw"}, {"two/deeper/grand-folder", "folder-pw"},
                          {"two/noise", "folder-pw"}, {"two/own-0", "file-pw"},
                          {"nine/open/own-1", "again-pw"}};
    EXPECT_EQ(CountArchiveFiles(), 10);
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(report.log, "");
    EXPECT_EQ(report.steps, 10);
    ZipParsed parsed = Read(passwords, true);
    ASSERT_EQ(parsed.entries.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const ZipEntry& e = parsed.entries[i];
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(e.name, rows[i].name);
        EXPECT_EQ(e.flags, rows[i].flags);
        EXPECT_EQ(e.data, rows[i].data);
        EXPECT_EQ(e.method, rows[i].level != 0 ? 8u : 0u);
        if (rows[i].level != 0) {
            EXPECT_EQ(e.payload, RawDeflate(rows[i].data, rows[i].level));
        }
        // DOS times count seconds in twos.
        EXPECT_EQ(e.dosDate, i == 0 ? (119u << 9 | 12 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29)
                                    : (41u << 9 | 3 << 5 | 4) << 16 | (5 << 11 | 6 << 5 | 4));
        EXPECT_EQ(e.external, i == 0 ? 0x21u : 0x20u);
    }
}

// A failed file is logged, the rest of its folder is written and the walk stops after it.
TEST_F(ArchiveBuild, AFailedFileIsLoggedItsFolderFinishedAndNothingAfterIt)
{
    struct Row {
        std::string name, source;
        int level;
        std::string why;
    } rows[] = {
        {"missing", dir.Join("missing"), -1, "見つかりません : "},
        {"no-path", "", -1, "見つかりません : "},
        {"a-folder", dir.MakeDir("folder"), -1, "使用中です : "},
        {"read-fault", dir.WriteFile("fault", RandomBytes(100000, 5)), 6, ""},
        {"level-12", dir.WriteFile("l12", "x"), 12, ""},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    // Names that cannot be used; a lead byte at the end is left out of the line (it would take the
    // "(" with it).
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "half\x83", "C:x.txt", "a.txt:stream",
                             ".. ", " . ", "\x81/..", "\xfd\\.."})
        all.push_back({name, dir.WriteFile("x", "x"), -1, "書庫内の名前に使えません : "});
    KeepInMemory();
    for (const Row& row : all) {
        SCOPED_TRACE(row.name);
        tree.Clear();
        report = CollectingReporter();
        sink = Sink();
        ProjectNode* folder = tree.Folder(tree.Root(), "F");
        tree.File(folder, "good1", dir.WriteFile("good1", "1"));
        tree.File(folder, row.name, row.source, row.level);
        tree.File(tree.Folder(folder, "sub"), "good2",
                  dir.WriteFile("good2", CompressibleText(40000)));
        tree.File(tree.Folder(tree.Root(), "after"), "never1", dir.WriteFile("never1", "x"));
        tree.File(tree.Root(), "never2", dir.WriteFile("never2", "x"));
        // The fault counts the bytes of every read: one thread reads the files in their order.
        SetReadFaultAfterForTesting(row.name == "read-fault" ? 1 + 30000 : -1);
        SetArchiveThreads(row.name == "read-fault" ? 1 : 0);

        EXPECT_EQ(Build(), 1);
        std::string shown = row.name == "half\x83" ? "half" : row.name;
        EXPECT_EQ(report.log, "error : " + row.why + "F/" + shown + "(" + row.source + ")\r\n");
        EXPECT_EQ(report.steps, 3);
        EXPECT_EQ(Read({}, true).Names(), (std::vector<std::string>{"F/good1", "F/sub/good2"}));
    }
}

// Each file below such a folder fails with its line, cut to 511 bytes; so does the file of a
// project far deeper than the worker's stack (the count and the walk keep stacks of their own).
TEST_F(ArchiveBuild, FilesBelowAFolderWhoseNameCannotBeUsedFailEachWithALine)
{
    const std::string n255(255, 'n');
    struct Row {
        std::vector<std::string> folders;
        std::string shown;  // the folders as the log line shows them
    } rows[] = {
        {{"ok", ".."}, "ok/../"},
        // 4 x 256 bytes pass the 1023 of an entry name; the line shows what fits.
        {{n255, n255, n255, n255}, n255 + "/" + n255 + "/" + n255 + "/" + n255},
        {std::vector<std::string>(100000, "d"), ""},
    };
    KeepInMemory();
    const std::string source = dir.WriteFile("f", "x"), prefix = "error : 書庫内の名前に使えません : ";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folders.size());
        tree.Clear();
        sink = Sink();
        report = CollectingReporter();
        ProjectNode* folder = tree.Root();
        for (const std::string& name : row.folders)
            folder = tree.Folder(folder, name);
        tree.File(folder, "f", source);
        tree.File(folder, "g", source);
        EXPECT_EQ(CountArchiveFiles(), 2);
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(report.steps, 2);
        EXPECT_TRUE(Read().entries.empty());
        if (row.shown.empty()) {
            EXPECT_EQ(report.log.rfind(prefix + "d/d/d/", 0), 0u) << report.log.substr(0, 80);
            continue;
        }
        bool cut = row.folders.size() == 4;
        std::string lineF = prefix + row.shown + (cut ? "" : "f") + "(" + source + ")\r\n";
        std::string lineG = prefix + row.shown + (cut ? "" : "g") + "(" + source + ")\r\n";
        EXPECT_EQ(report.log, lineF.substr(0, 511) + lineG.substr(0, 511));
    }
}

// Asked for while the job counted the files: the build that follows writes nothing.
TEST_F(ArchiveBuild, AnAbortWhileTheFilesAreCountedWritesNothing)
{
    for (int i = 0; i < 4; ++i)
        tree.File(tree.Root(), "f" + std::to_string(i), dir.WriteFile("f", "data"));
    report.abortAtLine = "ファイル数計測中\r\n";
    KeepInMemory();
    ResetArchiveAbort();
    EXPECT_FALSE(RunArchiveJob(out.c_str(), &report));
    EXPECT_EQ(report.log, "ファイル数計測中\r\nファイル数:4\r\n圧縮開始\r\n処理を中断しました\r\n");
    EXPECT_EQ(Read().Names(), std::vector<std::string>{});
}

#ifndef _WIN32
// The abort is requested while the builder waits for a large file's data.
TEST_F(ArchiveBuild, AnAbortWhileAFileIsReadDropsItsEntry)
{
    for (bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted);
        tree.Clear();
        report = CollectingReporter();
        KeepInMemory();
        std::string pipePath = dir.Join(encrypted ? "pipe2" : "pipe1");
        tree.File(tree.Root(), "before", dir.WriteFile("before", "b"));
        tree.File(tree.Root(), "large", pipePath, 6, encrypted ? "pw" : nullptr);
        tree.File(tree.Root(), "after", dir.WriteFile("after", "a"));
        std::atomic<int> steps{0};
        report.stepSignal = &steps;
        int result = BuildFeeding(pipePath, [&steps](int fd) {
            std::string chunk = CompressibleText(40000);
            EXPECT_EQ(write(fd, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
            // The file before is written while this one is read, on another thread (a minute
            // at most, as a loaded machine may take long).
            for (int i = 0; i < 6000 && steps == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            RequestArchiveAbort();
            // Fits in the pipe; the builder may have stopped reading already (EPIPE then).
            if (write(fd, chunk.data(), 20000) < 0) {
                EXPECT_EQ(errno, EPIPE);
            }
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(report.log, "error : large(" + pipePath + ")\r\n");
        EXPECT_EQ(report.steps, 2);
        EXPECT_EQ(Read().Names(), (std::vector<std::string>{"before"}));
    }
}

// A file that measured nothing grows past 4 GiB while it is read: its entry, begun without ZIP64
// sizes, is dropped and the line says why.
TEST_F(ArchiveBuild, AFileThatGrowsPastFourGibibytesWhileReadFailsWithItsLine)
{
    KeepInMemory();
    std::string pipePath = dir.Join("growing");
    tree.File(tree.Root(), "before", dir.WriteFile("before", "b"));
    tree.File(tree.Root(), "growing", pipePath, 0);
    int result = BuildFeeding(pipePath, [](int fd) {
        const std::string zeros(1 << 20, '\0');
        // Stops with EPIPE once the builder has given up on it.
        for (uint64_t sent = 0; sent <= 0xFFFFFFFFu; sent += zeros.size()) {
            if (write(fd, zeros.data(), zeros.size()) < 0)
                break;
        }
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(report.log, "error : 読み込み中に4GBを超えました : growing(" + pipePath + ")\r\n");
    EXPECT_EQ(Read().Names(), (std::vector<std::string>{"before"}));
}
#endif

// Only a complete archive replaces the target: a failed, aborted or refused build leaves the old
// file and no file of its own; an output that cannot be made or finished is said once.
TEST_F(ArchiveBuild, OnlyAFinishedArchiveReplacesTheTarget)
{
    const std::string old = "the previous archive";
    std::string good = dir.WriteFile("good", CompressibleText(3000));
    std::string large = dir.WriteFile("large", RandomBytes(200000, 7));
    const std::string kept = "前の書庫はそのまま残しました : " + out + "\r\n";
    const std::string unfinished = "error : 書庫を書き終えられません : " + out + "\r\n";
    // The open project file, named in another case and by a relative path.
    std::string project = dir.WriteFile("Project.pwp", "[INFOMATION]");
    std::string sameFile = dir.Join("PROJECT.PWP");
#ifdef _WIN32
    sameFile = dir.Path() + "\\.\\project.pwp";
#endif
    FormatText(CurrentProjectPath, sizeof CurrentProjectPath, "%s", project.c_str());
    // Failing outputs are kept in memory. All but a large entry fit in the writer's buffer, so
    // the first write is the close's; the large one fills it twice, then every file after fails.
    struct Row {
        const char* what;
        std::string output, source;
        int abortAtStep, failWrite;
        std::string log;
    } rows[] = {
        {"aborted", out, good, 1, 0, kept},
        {"output is a source", good, good, 0, 0,
         "error : 出力先がプロジェクトのファイルです : " + good + "\r\n"},
        {"output is the project", sameFile, good, 0, 0,
         "error : 出力先がプロジェクトのファイルです : " + sameFile + "\r\n"},
        {"no such folder", dir.Join("no-such-folder/out.zip"), good, 0, 0,
         "error : 書庫を作成できません : " + dir.Join("no-such-folder/out.zip") + "\r\n"},
        {"output is a folder", dir.MakeDir("folder.zip"), good, 0, 0,
         "error : 書庫を作成できません : " + dir.Join("folder.zip") + "\r\n"},
        {"first write fails", out, good, 0, 1, unfinished},
        {"second write fails", out, large, 0, 2,
         "error : b(" + large + ")\r\nerror : c(" + good + ")\r\n" + unfinished},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        tree.Clear();
        report = CollectingReporter();
        report.abortAtStep = row.abortAtStep;
        SetArchiveOutputForTesting(nullptr);
        if (row.failWrite != 0) {
            KeepInMemory();
            sink.failWrite = row.failWrite;
        }
        dir.WriteFile("out.zip", old);
        const std::string before = dir.ListNames();
        tree.File(tree.Root(), "a", good);
        tree.File(tree.Root(), "b", row.source, row.source == large ? 0 : -1);
        tree.File(tree.Root(), "c", good);
        ResetArchiveAbort();
        EXPECT_EQ(BuildArchive(row.output.c_str(), &report), 1);
        EXPECT_EQ(report.log, row.log);
        EXPECT_EQ(ReadWholeFile(out), old);
        EXPECT_EQ(ReadWholeFile(good), CompressibleText(3000));
        EXPECT_EQ(ReadWholeFile(project), "[INFOMATION]");
        EXPECT_EQ(dir.ListNames(), before);
    }
    CurrentProjectPath[0] = '\0';
    SetArchiveOutputForTesting(nullptr);
    sink = Sink();
    tree.Clear();
    tree.File(tree.Root(), "a", good);
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(Read().Names(), std::vector<std::string>{"a"});
    EXPECT_EQ(dir.ListNames().find("~"), std::string::npos);
}

// What a fault does to the finished temporary archive before it is read back.
std::string g_fault;
void InjectFault(const char* path)
{
    std::string bytes = ReadWholeFile(path);
    if (g_fault == "data")
        bytes[45] ^= 1;  // the data of "stored.txt", the first entry
    else if (g_fault == "name")
        bytes[bytes.rfind("deflated.txt")] = 'D';  // the central record's copy
    else if (g_fault == "local")
        bytes[bytes.find("PK\x03\x04", 4)] = 'Q';  // the second entry's local header
    else if (g_fault == "cut")
        bytes.pop_back();
    else if (g_fault == "password")
        bytes[bytes.find("secret.txt") + 10 + 11] ^= 0x40;  // the header's check byte, always
    FILE* file = fopen(path, "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// The read-back passes what the build wrote (also AES, with a stored fallback, and UTF-8 names)
// and catches a fault in any part of the archive, which then never replaces the target.
TEST_F(ArchiveBuild, TheReadBackCatchesAFaultBeforeTheTargetIsReplaced)
{
    tree.File(tree.Root(), "stored.txt", dir.WriteFile("s", "hello, stored world"), 0);
    tree.File(tree.Root(), "deflated.txt", dir.WriteFile("d", CompressibleText(200000)), 6);
    tree.File(tree.Root(), "empty", dir.WriteFile("e", ""), 6);
    tree.File(tree.Root(), "secret.txt", dir.WriteFile("p", CompressibleText(5000)), 9, "pw");
    tree.File(tree.Folder(tree.Root(), "表"), "noise", dir.WriteFile("n", RandomBytes(40000, 4)), 9,
              "pw");
    SetBeforeVerifyForTesting(InjectFault);
    const std::string one = "\r\n検査で 1 ファイルに誤りが見つかりました\r\n";
    struct Row {
        const char* fault;
        int nameCode, encryption;
        std::string log;
    } rows[] = {
        {"data", 0, 0, "error : 検査で誤りが見つかりました(CRC) : stored.txt" + one},
        {"name", 0, 0, "error : 検査で誤りが見つかりました(名前) : deflated.txt" + one},
        {"local", 0, 0, "error : 検査で誤りが見つかりました(ローカルヘッダ) : deflated.txt" + one},
        {"password", 0, 0, "error : 検査で誤りが見つかりました(パスワード) : secret.txt" + one},
        {"cut", 0, 0, "error : 検査で誤りが見つかりました(書庫の構造)\r\n"},
        {"", 0, 0, "検査しました : 5 ファイル\r\n"},
        {"", 2, 1, "検査しました : 5 ファイル\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        g_fault = row.fault;
        report = CollectingReporter();
        dir.WriteFile("out.zip", "previous");
        ArchiveOptions options;
        options.nameCode = row.nameCode;
        options.encryption = row.encryption;
        options.verify = 1;
        EXPECT_EQ(Build(options), g_fault.empty() ? 0 : 1);
        std::string kept = "前の書庫はそのまま残しました : " + out + "\r\n";
        EXPECT_EQ(report.log, row.log + (g_fault.empty() ? "" : kept));
        EXPECT_EQ(ReadWholeFile(out) == "previous", !g_fault.empty());
    }
    ZipParsed parsed = Read(PasswordMap{{"secret.txt", "pw"}, {u8"表/noise", "pw"}}, true);
    ASSERT_EQ(parsed.Names(), (std::vector<std::string>{"stored.txt", "deflated.txt", "empty",
                                                        "secret.txt", u8"表/noise"}));
    EXPECT_EQ(parsed.entries[3].aesMethod, 8u);
    EXPECT_EQ(parsed.entries[4].aesMethod, 0u);
    EXPECT_EQ(parsed.entries[4].data, RandomBytes(40000, 4));
    for (size_t i = 0; i < parsed.entries.size(); ++i)
        EXPECT_EQ(parsed.entries[i].flags & 0x801, i < 3 ? 0x800u : 0x801u) << i;
}

// 65,535 entries already need the ZIP64 end record: the count field's largest value is its
// marker. The read-back, which holds the end records to that, counts them.
TEST_F(ArchiveBuild, TakesAsManyFilesAsTheZip64EndRecordCounts)
{
    std::string source = dir.WriteFile("empty", "");
    ArchiveOptions verify;
    verify.verify = 1;
    int added = 0;
    for (int count : {65535, 65537}) {
        SCOPED_TRACE(count);
        for (; added < count; ++added)
            tree.File(tree.Root(), std::to_string(added), source, 0);
        report = CollectingReporter();
        EXPECT_EQ(Build(verify), 0);
        EXPECT_EQ(report.log, "検査しました : " + std::to_string(count) + " ファイル\r\n");
        EXPECT_EQ(report.steps, count);
    }
}

// Files of several blocks, stored fallbacks and both encryptions, crossing the 4 GiB mark: the same
// bytes for every number of threads; an abort after any entry keeps the entries before it.
TEST_F(ArchiveBuild, EveryNumberOfThreadsWritesTheSameBytes)
{
    SetZipRandomSourceForTesting([](void* bytes, size_t size) {
        memset(bytes, 0x33, size);
        return true;
    });
    std::string text = Prose(2 * kDeflateBlockSize + 100, 0);
    std::string noise = RandomBytes(kDeflateBlockSize + 1, 7);
    ProjectNode* big = tree.Folder(tree.Root(), "big");
    tree.File(big, "text", dir.WriteFile("text", text), 6);
    tree.File(big, "noise", dir.WriteFile("noise", noise), 9);
    tree.File(big, "text-pw", dir.Join("text"), 1, "pw");
    tree.File(tree.Root(), "small", dir.WriteFile("small", "abc"));
    tree.File(tree.Root(), "noise-pw", dir.Join("noise"), 6, "other");
    tree.File(tree.Root(), "empty", dir.WriteFile("empty", ""), 6);
    const std::vector<std::string> names{"big/text", "big/noise", "big/text-pw", "small",
                                         "noise-pw", "empty"};
    PasswordMap passwords{{"big/text-pw", "pw"}, {"noise-pw", "other"}};
    for (int encryption : {0, 1}) {
        std::string first;
        for (int threads : {1, 2, 8}) {
            SCOPED_TRACE(threads);
            SetArchiveThreads(threads);
            KeepInMemory(0xFFFFFFFFu - 3000);
            ArchiveOptions options;
            options.encryption = encryption;
            ASSERT_EQ(Build(options), 0);
            if (first.empty())
                first = sink.Bytes();
            EXPECT_TRUE(sink.Bytes() == first);
        }
        ZipParsed parsed = Read(passwords, true);
        ASSERT_EQ(parsed.Names(), names);
        for (const ZipEntry& e : parsed.entries) {
            bool isNoise = e.name.find("noise") != std::string::npos;
            EXPECT_EQ(e.data, e.name == "small"   ? "abc"
                              : e.name == "empty" ? ""
                              : isNoise           ? noise
                                                  : text)
                << e.name;
            unsigned method = e.method == 99 ? e.aesMethod : e.method;
            EXPECT_EQ(method == 0, isNoise || e.name == "empty" || e.name == "small") << e.name;
        }
        // Blocks cost next to nothing against one stream.
        EXPECT_LE(parsed.entries[0].payload.size(), RawDeflate(text, 6).size() * 1.005);
    }
    for (int threads : {1, 8}) {
        for (int step = 1; step <= 6; ++step) {
            SCOPED_TRACE(testing::Message() << threads << " threads, abort at " << step);
            SetArchiveThreads(threads);
            report = CollectingReporter();
            report.abortAtStep = step;
            KeepInMemory(0xFFFFFFFFu - 3000);
            EXPECT_EQ(Build(), step == 6 ? 0 : 1);
            EXPECT_EQ(report.log, "");
            EXPECT_EQ(report.steps, step);
            EXPECT_EQ(Read(passwords).Names(),
                      std::vector<std::string>(names.begin(), names.begin() + step));
        }
    }
}

}  // namespace
