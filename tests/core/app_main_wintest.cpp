// packwren.exe run as a process of its own: command-line messages, exit codes and the settings
// file at start-up.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/file_io.h"
#include "tests/support/job_dialog_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/packwren_process_win32.h"

namespace {
const char kSettingsTitle[] = "パックレン：設定ファイル";
const char kSettingsMessage[] = "設定ファイルの読込に失敗しました";
// A project that loads, so that batch runs get past it without a message box.
const char kProject[] =
    "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";
// A project without files stops its job with "処理を中断しました", and the dialog then stays
// open for the user: close it once the worker has ended.
ProcessResult RunAndCloseTheJob(const PackwrenSandbox& sandbox)
{
    JobDriver driver([](HWND dialog) {
        WaitForJobEnd(dialog);
        PressJobButton(dialog, IDOK);
    });
    ProcessResult run = sandbox.Run("p.pwp -o out.zip");
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(run.exitCode, 1u);
    return run;
}
}  // namespace

TEST(AppMainProcess, PrintsCommandLineMessagesInCodePage932)
{
    PackwrenSandbox sandbox;
    sandbox.Dir().WriteFile("packwren.ini", "[broken");  // stop right after the messages
    ModalWatcher watcher(kSettingsTitle);
    ProcessResult run = sandbox.Run("-x a.pwp b.pwp -o x.zip -o y.zip -O");
    watcher.Wait();
    ASSERT_TRUE(run.finished);
    // Standard output is a text-mode stream, so each "\n" arrives as CR LF, as from any
    // Windows program.
    EXPECT_EQ(run.output,
              "Unknown option(-x)\r\n"
              "すでにファイルが指定されています。(b.pwp)\r\n"
              "すでに出力ファイルが指定されています。(x.zip)\r\n"
              "Unknown option(-O)\r\n");
    // The same texts as raw code page 932 bytes, to catch a wrong execution character set.
    EXPECT_NE(run.output.find("\x82\xb7\x82\xc5\x82\xc9"), std::string::npos);
}

TEST(AppMainProcess, BrokenSettingsFileStopsBothModes)
{
    for (const char* arguments : {"", "p.pwp -o out.zip"}) {
        PackwrenSandbox sandbox;
        const std::string broken = "\r\n[INFOMATION]\r\n";
        sandbox.Dir().WriteFile("packwren.ini", broken);
        ModalWatcher watcher(kSettingsTitle);
        ProcessResult run = sandbox.Run(arguments);
        DialogReport box = watcher.Wait();
        ASSERT_TRUE(run.finished) << arguments;
        EXPECT_TRUE(box.found) << arguments;
        EXPECT_TRUE(box.HasText(kSettingsMessage)) << arguments;
        EXPECT_EQ(run.exitCode, 1u) << arguments;
        EXPECT_EQ(ReadWholeFile(sandbox.IniPath()), broken) << arguments;
        EXPECT_FALSE(PathExists(sandbox.Dir().Join("out.zip").c_str())) << arguments;
    }
}

TEST(AppMainProcess, BatchModeDoesNotCreateAMissingSettingsFile)
{
    PackwrenSandbox sandbox;
    sandbox.Dir().WriteFile("p.pwp", kProject);
    ProcessResult run = RunAndCloseTheJob(sandbox);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(GetFileAttributesA(sandbox.IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(AppMainProcess, BatchModeLeavesAForeignSettingsFileUntouched)
{
    PackwrenSandbox sandbox;
    const std::string foreign =
        "[INFOMATION]\r\nAPPLICATIONNAME=other\r\nAPPLICATIONVERSION=9.9.9\r\n[X]\r\nk=v\r\n";
    sandbox.Dir().WriteFile("packwren.ini", foreign);
    sandbox.Dir().WriteFile("p.pwp", kProject);
    ProcessResult run = RunAndCloseTheJob(sandbox);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(ReadWholeFile(sandbox.IniPath()), foreign);
}
