// packwren.exe run as a process of its own, from a copy in a fresh directory (it reads
// packwren.ini beside itself).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/file_io.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchers_win32.h"

namespace {

const char kHeader[] =
    "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";

// ctest hands over the Unix path; Wine maps the Unix root to drive Z:.
std::string BuiltPackwren()
{
    const char* path = getenv("PACKWREN_EXE");
    std::string windows = std::string("Z:") + (path != nullptr ? path : "");
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

struct Sandbox {
    TempDir dir;
    Sandbox() { CopyFileA(BuiltPackwren().c_str(), dir.Join("packwren.exe").c_str(), FALSE); }
    // The exit code; 99 when the program had to be killed after a minute.
    DWORD Run(const std::string& arguments)
    {
        std::string line = "\"" + dir.Join("packwren.exe") + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        DWORD code = 98;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            dir.Path().c_str(), &startup, &process))
            return code;
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return code;
    }
};

}  // namespace

// A project that fails shows its message; one that loads goes on to a build whose sources are
// missing here, so the job's dialog stays open. Batch runs neither create nor change the settings.
TEST(AppProcess, BatchRunsOfProjectsThatFailOrLoad)
{
    Sandbox failing;
    const std::string foreign =
        "[INFOMATION]\r\nAPPLICATIONNAME=other\r\nAPPLICATIONVERSION=9.9.9\r\n[X]\r\nk=v\r\n";
    failing.dir.WriteFile("packwren.ini", foreign);
    ModalWatcher box("パックレン：プロジェクト");
    EXPECT_EQ(failing.Run("p.pwp -o out.zip"), 1u);
    EXPECT_TRUE(box.Wait().HasText("プロジェクトの読込に失敗しました。\r\n(line:0)"));
    EXPECT_FALSE(PathExists(failing.dir.Join("out.zip").c_str()));
    EXPECT_EQ(ReadWholeFile(failing.dir.Join("packwren.ini")), foreign);

    Sandbox loading;
    loading.dir.WriteFile("p.pwp", std::string(kHeader) + "[FILELIST]\r\n0\t\t9\t>\tdocs\r\n"
                          "0\t\t-1\t表示.txt\tC:\\work\\表示.txt\r\n\t\t\t<\r\n\t\t\t<\r\n");
    ModalWatcher none("パックレン：プロジェクト", IDOK, 3000);  // long enough to see that none came
    std::string log;
    ModalWatcher job(kJobTitle, IDOK, 20000, [&](HWND dialog) {
        WaitForJobEnd(dialog);
        log = JobLogText(dialog);
    });
    EXPECT_EQ(loading.Run("p.pwp -o out.zip"), 1u);
    EXPECT_FALSE(none.Wait().found);
    EXPECT_TRUE(job.Wait().found);
    EXPECT_EQ(log.rfind("ファイル数計測中\r\nファイル数:", 0), 0u) << log;
    EXPECT_NE(log.find("処理を中断しました"), std::string::npos) << log;
    EXPECT_FALSE(PathExists(loading.dir.Join("out.zip").c_str()));
    EXPECT_FALSE(PathExists(loading.dir.Join("packwren.ini").c_str()));
}

// The settings are written at close and restored at the next start, unknown sections kept.
TEST(AppProcess, TheWindowsPlacementIsWrittenAtCloseAndRestored)
{
    Sandbox sandbox;
    std::string ini = sandbox.dir.Join("packwren.ini");
    ModalWatcher first("パックレン", ModalWatcher::kCloseWindow);
    EXPECT_EQ(sandbox.Run(""), 0u);
    ASSERT_TRUE(first.Wait().found);
    // PROPERTY is made, empty, when the empty project's settings are first worked out.
    EXPECT_EQ(ReadWholeFile(ini),
              "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n"
              "[PROPERTY]\r\n[WINDOW]\r\nListColumnWidth=120,80,120,240\r\nListSortColumn=0\r\n"
              "MainWindowMode=NORMAL\r\nMainWindowPos=0,0,512,384\r\nMainWindowMinPos=-1,-1\r\n"
              "MainWindowMaxPos=-1,-1\r\nSplitPos=128\r\n");

    const std::string window =
        "[WINDOW]\r\nMainWindowMode=NORMAL\r\nMainWindowPos=40,30,640,480\r\n"
        "MainWindowMinPos=-1,-1\r\nMainWindowMaxPos=-1,-1\r\nSplitPos=200\r\n";
    sandbox.dir.WriteFile("packwren.ini", window + "[EXTRA]\r\nfoo=bar\r\n");
    ModalWatcher second("パックレン", ModalWatcher::kCloseWindow);
    EXPECT_EQ(sandbox.Run(""), 0u);
    const RECT r = second.Wait().rect;
    EXPECT_EQ(std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                  std::to_string(r.right) + "," + std::to_string(r.bottom), "40,30,640,480");
    // Rewritten in place: new keys follow their section's, unknown sections stay.
    EXPECT_EQ(ReadWholeFile(ini),
              window + "ListColumnWidth=120,80,120,240\r\nListSortColumn=0\r\n"
                       "[EXTRA]\r\nfoo=bar\r\n[INFOMATION]\r\n"
                       "APPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n"
                       "[PROPERTY]\r\n");
}

// Shipped beside the program in its code page and with CR LF, which every Notepad shows as lines.
TEST(AppProcess, HelpFileBesideTheProgram)
{
    std::string exe = BuiltPackwren();
    std::string help = ReadWholeFile(exe.substr(0, exe.find_last_of('\\') + 1) + "packwren.txt");
    ASSERT_EQ(help.rfind("パックレン 1.0.0 ヘルプ\r\n", 0), 0u) << help.substr(0, 40);
    size_t lines = 0;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1)) {
        ASSERT_EQ(help[at - 1], '\r') << "a bare LF at byte " << at;
        ++lines;
    }
    EXPECT_GT(lines, 20u);
    EXPECT_EQ(help.find("\r\r"), std::string::npos);
}
