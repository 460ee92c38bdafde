// packwren.exe run as a process of its own: command-line messages, exit codes, the settings file
// at start-up and at close, and batch runs of projects that load or fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/file_io.h"
#include "tests/support/packwren_process_win32.h"
#include "tests/support/watchers_win32.h"

namespace {
const char kHeader[] = "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";
const char kFailed[] = "プロジェクトの読込に失敗しました。";
std::string Rect(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}
}  // namespace

TEST(AppProcess, CommandLineMessagesAndBrokenSettingsFiles)
{
    // Stopped by a broken settings file right after the messages, in code page 932: the raw
    // bytes catch a wrong execution character set. Standard output is a text stream: CR LF.
    for (const char* arguments : {"-x a.pwp b.pwp -o x.zip -o y.zip -O", "", "p.pwp -o out.zip"}) {
        PackwrenSandbox sandbox;
        sandbox.Dir().WriteFile("packwren.ini", "\r\n[INFOMATION]\r\n");
        ModalWatcher watcher("パックレン：設定ファイル");
        ProcessResult run = sandbox.Run(arguments);
        DialogReport box = watcher.Wait();
        ASSERT_TRUE(run.finished) << arguments;
        EXPECT_TRUE(box.HasText("設定ファイルの読込に失敗しました")) << arguments;
        EXPECT_EQ(run.exitCode, 1u) << arguments;
        EXPECT_EQ(ReadWholeFile(sandbox.IniPath()), "\r\n[INFOMATION]\r\n") << arguments;
        EXPECT_FALSE(PathExists(sandbox.Dir().Join("out.zip").c_str())) << arguments;
        if (arguments[0] == '-') {
            EXPECT_EQ(run.output, "Unknown option(-x)\r\nすでにファイルが指定されています。(b.pwp)\r\n"
                                  "すでに出力ファイルが指定されています。(x.zip)\r\nUnknown option(-O)\r\n");
            EXPECT_NE(run.output.find("\x82\xb7\x82\xc5\x82\xc9"), std::string::npos);
        }
    }
}

// Batch runs: a project that fails shows its message; one that loads goes on to the build, whose
// sources are missing here, so the job's dialog stays open with its log until it is closed. A
// missing settings file is not created, a foreign one is left as it was.
TEST(AppProcess, BatchRunsOfProjectsThatFailOrLoad)
{
    const std::string foreignIni = "[INFOMATION]\r\nAPPLICATIONNAME=other\r\nAPPLICATIONVERSION=9.9.9\r\n[X]\r\nk=v\r\n";
    struct { const char* what; std::string project, ini, message; } rows[] = {
        {"broken at line 4", std::string(kHeader) + "bad\rline\r\n", "", kFailed + std::string("\r\n(line:4)")},
        {"blank first line", "\r\n[INFOMATION]\r\n", "", kFailed + std::string("\r\n(line:1)")},
        {"missing", "", "", kFailed + std::string("\r\n(line:0)")},
        {"foreign", "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n", "", kFailed},
        {"loads", std::string(kHeader) + "[FILELIST]\r\n0\t\t9\t>\tdocs\r\n0\t\t-1\t表示.txt\tC:\\work\\表示.txt\r\n"
                  "\t\t\t<\r\n\t\t\t<\r\n", "", ""},
        {"loads, foreign settings", kHeader, foreignIni, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PackwrenSandbox sandbox;
        if (!row.project.empty())
            sandbox.Dir().WriteFile("p.pwp", row.project);
        if (!row.ini.empty())
            sandbox.Dir().WriteFile("packwren.ini", row.ini);
        // A project that loads shows no box: a short watch is enough to see that none came.
        ModalWatcher box("パックレン：プロジェクト", IDOK, row.message.empty() ? 3000 : 20000);
        std::string log;
        std::unique_ptr<JobDriver> job;
        if (row.message.empty())
            job = std::make_unique<JobDriver>([&](HWND dialog) {
                WaitForJobEnd(dialog);
                log = JobLogText(dialog);
                PressJobButton(dialog, IDOK);
            });
        ProcessResult run = sandbox.Run("p.pwp -o out.zip");
        DialogReport shown = box.Wait();
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_EQ(shown.found, !row.message.empty());
        EXPECT_TRUE(row.message.empty() || shown.HasText(row.message));
        EXPECT_FALSE(PathExists(sandbox.Dir().Join("out.zip").c_str()));
        EXPECT_EQ(ReadWholeFile(sandbox.IniPath()), row.ini);  // missing stays missing
        if (job != nullptr) {
            EXPECT_TRUE(job->Finish());
            EXPECT_EQ(log.rfind("ファイル数計測中\r\nファイル数:", 0), 0u) << log;
            EXPECT_NE(log.find("処理を中断しました"), std::string::npos) << log;
        }
    }
}

// The windowed start-up: the first start opens the default layout and writes the settings at
// close; a second start restores the placement and split, keeping sections it does not know.
TEST(AppProcess, TheWindowsPlacementIsWrittenAtCloseAndRestored)
{
    PackwrenSandbox sandbox;
    ModalWatcher first("パックレン", ModalWatcher::kCloseWindow);
    ProcessResult run = sandbox.Run("");
    DialogReport window = first.Wait();
    ASSERT_TRUE(run.finished && window.found);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Rect(window.rect), "0,0,512,384");
    // The sections in the order the program creates them; PROPERTY is made, empty, when the empty
    // project's settings are first worked out.
    EXPECT_EQ(ReadWholeFile(sandbox.IniPath()),
              "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n[PROPERTY]\r\n"
              "[WINDOW]\r\nListColumnWidth=120,80,120,240\r\nListSortColumn=0\r\nMainWindowMode=NORMAL\r\n"
              "MainWindowPos=0,0,512,384\r\nMainWindowMinPos=-1,-1\r\nMainWindowMaxPos=-1,-1\r\nSplitPos=128\r\n");

    sandbox.Dir().WriteFile("packwren.ini", "[WINDOW]\r\nMainWindowMode=NORMAL\r\nMainWindowPos=40,30,640,480\r\n"
                                            "MainWindowMinPos=-1,-1\r\nMainWindowMaxPos=-1,-1\r\nSplitPos=200\r\n"
                                            "[EXTRA]\r\nfoo=bar\r\n");
    ModalWatcher second("パックレン", ModalWatcher::kCloseWindow);
    run = sandbox.Run("");
    window = second.Wait();
    ASSERT_TRUE(run.finished && window.found);
    EXPECT_EQ(Rect(window.rect), "40,30,640,480");
    std::string ini = ReadWholeFile(sandbox.IniPath());
    EXPECT_NE(ini.find("MainWindowPos=40,30,640,480\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SplitPos=200\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("[WINDOW]"), 0u);  // unknown sections stay in place; the identity follows
    EXPECT_LT(ini.find("[EXTRA]\r\nfoo=bar\r\n"), ini.find("[INFOMATION]"));
}
