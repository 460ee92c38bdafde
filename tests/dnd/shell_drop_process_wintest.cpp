// packwren.exe running on its own takes files that another process (drag_files.exe, a file
// manager's stand-in) drags onto its panes; the project it then saves shows where they went.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/packwren_process_win32.h"
#include "tests/support/watchers_win32.h"

namespace {

POINT Screen(HWND control, POINT point)
{
    ClientToScreen(control, &point);
    return point;
}

// Drags the files from far away to `to`; drag_files.exe ends with 0 when the drop was copied.
ProcessResult DragFiles(POINT to, const std::vector<std::string>& paths, const std::string& directory)
{
    std::string line = "\"" + BesideTests("drag_files.exe") + "\" 800,600 " + std::to_string(to.x) + "," +
                       std::to_string(to.y) + " --";
    for (const std::string& path : paths)
        line += " \"" + path + "\"";
    return RunProcess(line, directory, 60000, true);
}

}  // namespace

TEST(ShellDropProcess, FilesDroppedOnTheRunningWindowAreSavedInTheirFolders)
{
    PackwrenSandbox sandbox;
    const TempDir& dir = sandbox.Dir();
    std::string project = dir.WriteFile("start.pwp", "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\n"
                                                     "APPLICATIONVERSION=1.0.0\r\n[PROJECT]\r\nPROJECTNAME=drop\r\n"
                                                     "[FILELIST]\r\n0\t\t-1\t>\tdocs\r\n\t\t\t<\r\n\t\t\t<\r\n");
    std::vector<std::string> toList = {dir.WriteFile("one.txt", "1"), dir.WriteFile("two.txt", "2")};
    std::vector<std::string> toFolder = {dir.WriteFile("three.txt", "3"), dir.WriteFile("four.txt", "4")};
    std::string saved = dir.Join("saved");
    ProcessResult listDrop, folderDrop;
    bool chooserFound = false;
    ModalWatcher mainWindow("パックレン", ModalWatcher::kCloseWindow, 60000, [&](HWND window) {
        // The panes sit in containers of their own; messages that carry no pointer work across
        // processes. docs is the tree's second row (the load expands the root); a first-level
        // label starts one indent and one small icon in.
        HWND tree = FindWindowExA(FindWindowExA(FindWindowExA(window, nullptr, "SPLITBAR", nullptr), nullptr,
                                                "SPLITCHILD", nullptr), nullptr, WC_TREEVIEWA, nullptr);
        HWND list = FindWindowExA(FindWindowExA(window, nullptr, "SPLITCHILD", nullptr), nullptr, WC_LISTVIEWA,
                                  nullptr);
        ASSERT_TRUE(tree != nullptr && list != nullptr);
        int rowHeight = static_cast<int>(SendMessageA(tree, TVM_GETITEMHEIGHT, 0, 0));
        int indent = static_cast<int>(SendMessageA(tree, TVM_GETINDENT, 0, 0));
        RECT client;
        GetClientRect(list, &client);
        listDrop = DragFiles(Screen(list, {client.right / 2, client.bottom - 8}), toList, dir.Path());
        folderDrop = DragFiles(Screen(tree, {indent + 16 + 4, rowHeight + rowHeight / 2}), toFolder, dir.Path());
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
    std::string expected = "[FILELIST]\r\n0\t\t-1\t>\tdocs\r\n0\t\t-1\tthree.txt\t" + toFolder[0] + "\r\n0\t\t-1\tfour.txt\t" +
                           toFolder[1] + "\r\n\t\t\t<\r\n0\t\t-1\tone.txt\t" + toList[0] + "\r\n0\t\t-1\ttwo.txt\t" +
                           toList[1] + "\r\n\t\t\t<\r\n";
    ASSERT_GE(file.size(), expected.size()) << file;
    EXPECT_EQ(file.substr(file.size() - expected.size()), expected) << file;
}
