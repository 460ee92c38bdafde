// packwren.exe running on its own takes files that another process (drag_files.exe) drags onto
// its panes; the project it then saves shows where they went.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/drag_files_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/packwren_process_win32.h"

namespace {

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControlId(HWND child, LPARAM data)
{
    ControlSearch* search = reinterpret_cast<ControlSearch*>(data);
    if (GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

// The panes sit in containers of their own, so the controls are looked for at any depth.
HWND FindControl(HWND window, int id)
{
    ControlSearch search = {id, nullptr};
    EnumChildWindows(window, MatchControlId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

POINT Screen(HWND control, POINT point)
{
    ClientToScreen(control, &point);
    return point;
}

}  // namespace

TEST(ShellDropProcess, FilesDroppedOnTheRunningWindowAreSavedInTheirFolders)
{
    PackwrenSandbox sandbox;
    const TempDir& dir = sandbox.Dir();
    std::string project = dir.WriteFile("start.pwp",
                                        "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n"
                                        "[PROJECT]\r\nPROJECTNAME=drop\r\n[FILELIST]\r\n0\t\t-1\t>\tdocs\r\n\t\t\t<\r\n\t\t\t<\r\n");
    std::vector<std::string> toList = {dir.WriteFile("one.txt", "1"), dir.WriteFile("two.txt", "2")};
    std::vector<std::string> toFolder = {dir.WriteFile("three.txt", "3"), dir.WriteFile("four.txt", "4")};
    std::string saved = dir.Join("saved");
    ProcessResult listDrop, folderDrop;
    bool chooserFound = false;
    ModalWatcher mainWindow("パックレン", ModalWatcher::kCloseWindow, 60000, [&](HWND window) {
        HWND tree = FindControl(window, 128);
        HWND list = FindControl(window, 101);
        ASSERT_NE(tree, nullptr);
        ASSERT_NE(list, nullptr);
        // docs is the second row (the load expands the root); a first-level label starts one
        // indent and one small icon in. Messages that carry no pointer work across processes.
        int rowHeight = static_cast<int>(SendMessageA(tree, TVM_GETITEMHEIGHT, 0, 0));
        int indent = static_cast<int>(SendMessageA(tree, TVM_GETINDENT, 0, 0));
        POINT docs = Screen(tree, {indent + 16 + 4, rowHeight + rowHeight / 2});
        RECT client;
        GetClientRect(list, &client);
        POINT belowTheRows = Screen(list, {client.right / 2, client.bottom - 8});
        const POINT away = {800, 600};
        listDrop = RunWhilePumping(DragFilesCommandLine({away, belowTheRows}, toList));
        folderDrop = RunWhilePumping(DragFilesCommandLine({away, docs}, toFolder));

        ModalWatcher chooser("パックレン：プロジェクトを名前を付けて保存", IDOK, 20000, [&](HWND dialog) {
            SetDlgItemTextA(dialog, 0x047c, saved.c_str());
            SetDlgItemTextA(dialog, 0x0480, saved.c_str());
        });
        PostMessageA(window, WM_COMMAND, IDC_SAVE_PROJECT, 0);
        chooserFound = chooser.Wait().found;
    });
    ProcessResult run = sandbox.Run("\"" + project + "\"");
    ASSERT_TRUE(mainWindow.Wait().found);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(listDrop.exitCode, 0u) << listDrop.output;
    EXPECT_EQ(folderDrop.exitCode, 0u) << folderDrop.output;
    ASSERT_TRUE(chooserFound);

    std::string file = ReadWholeFile(saved + ".pwp");
    std::string expected = "[FILELIST]\r\n0\t\t-1\t>\tdocs\r\n0\t\t-1\tthree.txt\t" + toFolder[0] +
                           "\r\n0\t\t-1\tfour.txt\t" + toFolder[1] + "\r\n\t\t\t<\r\n0\t\t-1\tone.txt\t" +
                           toList[0] + "\r\n0\t\t-1\ttwo.txt\t" + toList[1] + "\r\n\t\t\t<\r\n";
    ASSERT_GE(file.size(), expected.size()) << file;
    EXPECT_EQ(file.substr(file.size() - expected.size()), expected) << file;
}
