// A user's whole session with keyboard and mouse, through the real window, dialogs and job:
// a folder made and named, its password and a file's level set, the project saved, reopened
// and built into an archive whose entries carry those settings.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "resources/resource.h"
#include "tests/support/job_dialog_win32.h"
#include "tests/support/main_window_fixture_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_check.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"

namespace {

class WalkthroughTest : public MainWindowFixture {
protected:
    HWND List() { return FileListWindow(); }
    POINT RowCentre(int row)
    {
        RECT box = {};
        box.left = LVIR_LABEL;
        SendMessageA(List(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&box));
        POINT at = {box.left + 2, (box.top + box.bottom) / 2};
        ClientToScreen(List(), &at);
        return at;
    }
    // A right click on a row, then the menu item chosen by its access key.
    void MenuOnRow(int row, char key)
    {
        POINT at = RowCentre(row);
        SetCursorPos(at.x, at.y);
        LVITEMA select = {};
        select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&select));
        HWND pane = GetParent(List());
        PostMessageA(pane, WM_CHAR, key, 0);  // waits in the queue for the menu's loop
        NMHDR click = {List(), static_cast<UINT_PTR>(kFileListId), static_cast<UINT>(NM_RCLICK)};
        SendMessageA(pane, WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&click));
        // The chosen command is posted, as a menu does; the message loop delivers it.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    int FindRow(const char* name)
    {
        LVFINDINFOA find = {};
        find.flags = LVFI_STRING;
        find.psz = name;
        return static_cast<int>(SendMessageA(List(), LVM_FINDITEMA, -1, reinterpret_cast<LPARAM>(&find)));
    }
    // Answers a file chooser with `path`.
    static std::function<void(HWND)> Type(const std::string& path)
    {
        return [path](HWND dialog) {
            SetDlgItemTextA(dialog, 0x047c, path.c_str());
            SetDlgItemTextA(dialog, 0x0480, path.c_str());
        };
    }
    TempDir disk;
};

}  // namespace

TEST_F(WalkthroughTest, BuildsTheArchiveOfAProjectMadeSavedAndReopened)
{
    std::string plain = disk.WriteFile("plain.txt", std::string(3000, 'p'));
    std::string hidden = disk.WriteFile("hidden.txt", "秘密のメモ");
    const char* added[] = {plain.c_str()};
    AddDroppedPaths(added, 1, nullptr);

    // A new folder from the list's menu starts its label edit at once; the name is typed.
    SetFocus(List());
    SendMessageA(GetParent(List()), WM_COMMAND, IDC_NEW_FOLDER, 0);
    HWND edit = reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "金庫");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_GE(FindRow("金庫"), 0);

    // The folder's password, then a file inside it, then that file's level.
    ModalWatcher folderDialog("ファイルの設定", IDOK, 20000, [](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_PASSWORD_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, "鍵123");
    });
    MenuOnRow(FindRow("金庫"), 'p');
    ASSERT_TRUE(folderDialog.Wait().found);
    POINT folder = RowCentre(FindRow("金庫"));
    ScreenToClient(List(), &folder);
    SendMessageA(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(folder.x, folder.y));
    SendMessageA(List(), WM_LBUTTONUP, 0, MAKELPARAM(folder.x, folder.y));
    ASSERT_STREQ(CurrentFolder()->name, "金庫");
    const char* inside[] = {hidden.c_str()};
    AddDroppedPaths(inside, 1, nullptr);
    ModalWatcher fileDialog("ファイルの設定", IDOK, 20000, [](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_LEVEL_TEXT, "0");
    });
    MenuOnRow(FindRow("hidden.txt"), 'p');
    ASSERT_TRUE(fileDialog.Wait().found);
    char status[128] = "";
    SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, "圧縮レベル:0 パスワード:鍵123");

    // Saved, emptied, reopened.
    std::string project = disk.Join("金庫の書庫.pwp");
    {
        ModalWatcher saver("パックレン：プロジェクトを名前を付けて保存", IDOK, 20000, Type(project));
        SendMessageA(window, WM_COMMAND, IDC_SAVE_PROJECT, 0);
        ASSERT_TRUE(saver.Wait().found);
    }
    SendMessageA(window, WM_COMMAND, IDC_NEW_PROJECT, 0);
    ASSERT_EQ(ProjectRoot()->firstChild, nullptr);
    {
        ModalWatcher opener("パックレン：プロジェクトを開く", IDOK, 20000, Type(project));
        SendMessageA(window, WM_COMMAND, IDC_OPEN_PROJECT, 0);
        ASSERT_TRUE(opener.Wait().found);
    }
    EXPECT_GE(FindRow("金庫"), 0);
    EXPECT_GE(FindRow("plain.txt"), 0);

    // Built: the folder's file is encrypted with the folder's password and stored (level 0).
    std::string archive = disk.Join("out.zip");
    JobDriver job([](HWND dialog) {
        WaitForJobEnd(dialog);
        PressJobButton(dialog, IDOK);
    });
    {
        ModalWatcher chooser("パックレン：ZIPファイル出力", IDOK, 20000, Type(archive));
        SendMessageA(window, WM_COMMAND, IDC_WRITE_ZIP, 0);
        ASSERT_TRUE(chooser.Wait().found);
    }
    ASSERT_TRUE(job.Finish());
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(ReadWholeFile(archive), &parsed, PasswordMap{{"金庫/hidden.txt", "鍵123"}}));
    const ZipEntry* secret = parsed.Find("金庫/hidden.txt");
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(secret->flags & 1, 1u);
    EXPECT_EQ(secret->method, 0u);
    EXPECT_EQ(secret->data, "秘密のメモ");
    const ZipEntry* open = parsed.Find("plain.txt");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->flags & 1, 0u);
    EXPECT_EQ(open->method, 8u);
}
