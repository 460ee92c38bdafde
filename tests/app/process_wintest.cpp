// packwren.exe run as a process of its own, from a copy in a fresh directory (it reads
// packwren.ini beside itself).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/file_io.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/zip_check.h"

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

// A batch run shows only the job's dialog, which closes by itself after a build; it neither creates
// nor changes the settings.
TEST(AppProcess, ABatchRunLeavesTheSettingsThatAWindowRestoresAndRewrites)
{
    Sandbox sandbox;
    std::string source = sandbox.dir.WriteFile("表示.txt", "shown");
    sandbox.dir.WriteFile("p.pwp", std::string(kHeader) + "[FILELIST]\r\n0\t\t9\t>\tdocs\r\n" +
                                       "0\t\t-1\t表示.txt\t" + source + "\r\n\t\t\t<\r\n\t\t\t<\r\n");
    EXPECT_EQ(sandbox.Run("p.pwp -o out.zip"), 0u);
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(ReadWholeFile(sandbox.dir.Join("out.zip")), &parsed));
    ASSERT_EQ(parsed.Names(), std::vector<std::string>{"docs/表示.txt"});
    EXPECT_EQ(parsed.entries[0].data, "shown");
    EXPECT_FALSE(PathExists(sandbox.dir.Join("packwren.ini").c_str()));

    // A window's run restores the placement at start; the settings are rewritten in place at
    // close, new keys after their section's, unknown sections kept, missing defaults added.
    const std::string window =
        "[WINDOW]\r\nMainWindowMode=NORMAL\r\nMainWindowPos=40,30,640,480\r\n"
        "MainWindowMinPos=-1,-1\r\nMainWindowMaxPos=-1,-1\r\n";
    sandbox.dir.WriteFile("packwren.ini", window + "[EXTRA]\r\nfoo=bar\r\n");
    ModalWatcher main("パックレン", ModalWatcher::kCloseWindow);
    EXPECT_EQ(sandbox.Run(""), 0u);
    const RECT r = main.Wait().rect;
    EXPECT_EQ(std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                  std::to_string(r.right) + "," + std::to_string(r.bottom), "40,30,640,480");
    // PROPERTY is made, empty, when the empty project's settings are first worked out.
    EXPECT_EQ(ReadWholeFile(sandbox.dir.Join("packwren.ini")),
              window + "ListColumnWidth=120,80,120,240\r\nListSortColumn=0\r\nSplitPos=128\r\n"
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
    auto count = [&](char c) { return std::count(help.begin(), help.end(), c); };
    EXPECT_GT(count('\n'), 20);
    EXPECT_EQ(count('\r'), count('\n'));  // no bare LF, no bare CR
    EXPECT_EQ(help.find("\r\r"), std::string::npos);
}
