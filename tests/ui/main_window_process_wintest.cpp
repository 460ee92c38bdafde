// The windowed start-up as a process: first start, the settings file written at close, and the
// placement restored from it.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/modal_watcher_win32.h"
#include "tests/support/packwren_process_win32.h"

TEST(MainWindowProcess, FirstStartOpensTheDefaultLayoutAndWritesTheSettingsAtClose)
{
    PackwrenSandbox sandbox;
    ModalWatcher watcher("パックレン", ModalWatcher::kCloseWindow);
    ProcessResult run = sandbox.Run("");
    DialogReport window = watcher.Wait();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_TRUE(window.found);
    EXPECT_EQ(window.rect.left, 0);
    EXPECT_EQ(window.rect.top, 0);
    EXPECT_EQ(window.rect.right, 512);
    EXPECT_EQ(window.rect.bottom, 384);

    std::string ini = ReadWholeFile(sandbox.IniPath());
    EXPECT_EQ(ini.find("[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n"), 0u);
    // The sections in the order the program creates them; PROPERTY is made, empty, when the empty
    // project's settings are first worked out.
    size_t window_section = ini.find("APPLICATIONVERSION=1.0.0\r\n[PROPERTY]\r\n[WINDOW]\r\nListColumnWidth=120,80,120,240\r\nListSortColumn=0\r\n"
                                     "MainWindowMode=NORMAL\r\nMainWindowPos=0,0,512,384\r\n");
    EXPECT_NE(window_section, std::string::npos) << ini;
    EXPECT_NE(ini.find("SplitPos=128\r\n"), std::string::npos) << ini;
}

TEST(MainWindowProcess, PlacementAndSplitAreRestored)
{
    PackwrenSandbox sandbox;
    sandbox.Dir().WriteFile("packwren.ini",
                            "[WINDOW]\r\nMainWindowMode=NORMAL\r\nMainWindowPos=40,30,640,480\r\n"
                            "MainWindowMinPos=-1,-1\r\nMainWindowMaxPos=-1,-1\r\nSplitPos=200\r\n"
                            "[EXTRA]\r\nfoo=bar\r\n");
    ModalWatcher watcher("パックレン", ModalWatcher::kCloseWindow);
    ProcessResult run = sandbox.Run("");
    DialogReport window = watcher.Wait();
    ASSERT_TRUE(run.finished);
    ASSERT_TRUE(window.found);
    EXPECT_EQ(window.rect.left, 40);
    EXPECT_EQ(window.rect.top, 30);
    EXPECT_EQ(window.rect.right, 640);
    EXPECT_EQ(window.rect.bottom, 480);
    std::string ini = ReadWholeFile(sandbox.IniPath());
    EXPECT_NE(ini.find("MainWindowPos=40,30,640,480\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SplitPos=200\r\n"), std::string::npos) << ini;
    // Sections the program does not know survive in place; the identity is appended.
    EXPECT_EQ(ini.find("[WINDOW]"), 0u);
    EXPECT_LT(ini.find("[EXTRA]\r\nfoo=bar\r\n"), ini.find("[INFOMATION]"));
}
