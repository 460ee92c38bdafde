// Walks through the real main window as a user would, with real messages: the panes, then the
// menus and dialogs, a project made, saved, reopened and built.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "project/child_links.h"
#include "project/project_tree.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/window_fixture_win32.h"
#include "tests/support/zip_check.h"
#include "ui/shell_dialogs.h"

namespace {

// Notes a pane's context menu and the state of "プロパティ(&P)"; closes it unless a key chooses.
WNDPROC g_paneProc;
int g_menusShown;
bool g_propertiesGrayed, g_endMenu;

LRESULT CALLBACK MenuSpy(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENUPOPUP) {
        ++g_menusShown;
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        g_propertiesGrayed = (GetMenuState(menu, IDC_PROPERTIES, MF_BYCOMMAND) & MF_GRAYED) != 0;
        if (g_endMenu)
            EndMenu();
    }
    return CallWindowProcA(g_paneProc, pane, message, wParam, lParam);
}

constexpr char kSaveTitle[] = "パックレン：プロジェクトを名前を付けて保存";

class WindowWalk : public WindowFixture {
protected:
    // A right click as the control reports it; `key` chooses a menu item by its access key.
    void RightClick(HWND control, POINT at, char key = 0)
    {
        HWND pane = GetParent(control);
        g_paneProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuSpy)));
        g_menusShown = 0;
        g_endMenu = key == 0;
        SetCursorPos(at.x, at.y);
        if (key != 0)
            PostMessageA(pane, WM_CHAR, key, 0);  // waits in the queue for the menu's loop
        UINT_PTR id = GetDlgCtrlID(control);
        NMHDR click = {control, id, static_cast<UINT>(NM_RCLICK)};
        SendMessageA(pane, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&click));
        SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_paneProc));
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    // A key through the panes' accelerators, as the message loop translates it.
    bool PressKey(HWND target, WPARAM key)
    {
        MSG msg = {target, WM_KEYDOWN, key, 1, GetTickCount(), {}};
        HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDA_PANES));
        return TranslatePaneAccelerator(window, table, &msg);
    }
    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr = {list, static_cast<UINT_PTR>(kFileListId), static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&click));
    }
    void DoubleClick(const char* row)
    {
        POINT at = RowPoint(row);
        ScreenToClient(list, &at);
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    // Types a name into the label editor the list or tree has open, and ends the edit.
    void TypeLabel(HWND control, UINT getEdit, const char* name)
    {
        HWND edit = reinterpret_cast<HWND>(SendMessageA(control, getEdit, 0, 0));
        ASSERT_NE(edit, nullptr);
        SetWindowTextA(edit, name);
        SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    }
    // Ticks `box` and types `text` in the property dialog of list rows, opened by their menu.
    bool SetProperty(std::vector<const char*> rows, int box, int edit, const char* text)
    {
        ModalWatcher dialog("ファイルの設定", IDOK, 20000, [=](HWND found) {
            SendDlgItemMessageA(found, box, BM_CLICK, 0, 0);
            SetDlgItemTextA(found, edit, text);
        });
        SelectRows(rows);
        RightClick(list, RowPoint(rows[0]), 'p');
        return dialog.Wait().found;
    }
    // The texts of the tree's items from `item` on, each folder's items after it in braces.
    std::string TreeOutline(HTREEITEM item)
    {
        std::string outline;
        for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
            char text[260] = "";
            TVITEMA data = {};
            data.mask = TVIF_TEXT;
            data.hItem = item;
            data.pszText = text;
            data.cchTextMax = sizeof text;
            TreeView_GetItem(tree, &data);
            HTREEITEM child = TreeView_GetChild(tree, item);
            outline += (outline.empty() ? "" : " ") + std::string(text) +
                       (child != nullptr ? "{" + TreeOutline(child) + "}" : "");
        }
        return outline;
    }
    // Chooses a menu command whose modal dialog gets `fill` before `button` is pressed.
    DialogReport Through(int command, const char* title, std::function<void(HWND)> fill = nullptr,
                         int button = IDOK)
    {
        ModalWatcher dialog(title, button, 20000, std::move(fill));
        Command(command);
        return dialog.Wait();
    }
    // Answers a file chooser with `path`, in the file name box of the common dialog.
    static std::function<void(HWND)> Typing(const std::string& path)
    {
        return [path](HWND chooser) {
            SetDlgItemTextA(chooser, 0x047c /* cmb13 */, path.c_str());
            SetDlgItemTextA(chooser, 0x0480 /* edt1 */, path.c_str());
        };
    }
    // OK pressed from a dialog's watcher: whether the password's refusal came instead (answered).
    static bool Refused(HWND dialog)
    {
        ModalWatcher box("パックレン：パスワード", IDOK, 2000);
        PressButton(dialog, IDOK);
        return box.Wait().HasText("このパスワードは保存できません。\r\n"
                                  "(タブ・改行などの制御文字を含むか、259バイトを超えています)");
    }

    TempDir disk;
};

}  // namespace

TEST_F(WindowWalk, ThePanesShowAndEditTheProject)
{
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    const PaneWindows& panes = Panes();
    // The split stays inside the frame; only the bar's right edge sizes it (a drag sizes it).
    auto sizeBar = [&](int width) {
        SetWindowPos(panes.bar, nullptr, 0, 0, width, 100, SWP_NOMOVE | SWP_NOZORDER);
        return SplitPosition();
    };
    RECT client, bar, left;
    GetClientRect(window, &client);
    GetWindowRect(panes.bar, &bar);
    GetWindowRect(panes.leftPane, &left);
    EXPECT_EQ((bar.right - bar.left) * 1000 + left.right - left.left, 128124);
    EXPECT_EQ(sizeBar(4), 5);  // never on the bar's own width
    EXPECT_EQ(sizeBar(5000), client.right - 1);
    sizeBar(200);  // kept at close
    GetWindowRect(panes.bar, &bar);
    std::string hits;
    for (int inset : {1, 4, 5}) {
        LPARAM at = MAKELPARAM(bar.right - inset, (bar.top + bar.bottom) / 2);
        hits += SendMessageA(panes.bar, WM_NCHITTEST, 0, at) == HTRIGHT ? "R" : "-";
    }
    EXPECT_EQ(hits, "RR-");

    // Inside zeta, hidden and system entries whose names end in the trail byte "\" (ソ, 能).
    disk.WriteFile("a.txt", "x");
    disk.WriteFile("B.txt", "y");
    ASSERT_TRUE(MakeSparseFile(disk.Join("big.bin"), 3000000000ULL));
    ASSERT_TRUE(SetLocalWriteTime(disk.Join("a.txt"), 2024, 2, 29, 23, 5, 9));
    for (const char* folder : {"zeta", "zeta\\能", "Alpha"})
        disk.MakeDir(folder);
    disk.WriteFile("zeta\\能\\中身ソ", "inner");
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    SetFileAttributesA(disk.Join("zeta\\能").c_str(), hiddenSystem);
    SetFileAttributesA(disk.WriteFile("zeta\\ソ.txt", "so").c_str(), FILE_ATTRIBUTE_HIDDEN);
    for (const char* added : {"zeta", "a.txt", "Alpha", "B.txt", "big.bin"})
        AddDiskPath(disk.Join(added).c_str(), strchr(added, '.') == nullptr, ProjectRoot());
    FillFileList();
    EXPECT_EQ(TreeOutline(TreeView_GetRoot(tree)), "新規書庫{Alpha zeta{能}}");
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    EXPECT_EQ(Column(1), "  1 KB 1 KB 2,929,688 KB");
    EXPECT_EQ(Cell(Row("a.txt"), 2) + " " + Cell(Row("a.txt"), 3),
              "2024/02/29 23:05:09 " + disk.Join("a.txt"));
    EXPECT_EQ(Cell(Row("zeta"), 3), "");
    // A click on a header sorts, again the other way.
    ClickHeader(0);
    EXPECT_EQ(Column(0), "big.bin a.txt B.txt zeta Alpha");
    ClickHeader(0);
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    DeleteFileA(disk.Join("B.txt").c_str());  // gone from disk: 0 KB after F5
    SetFocus(list);
    ASSERT_TRUE(PressKey(list, VK_F5));
    EXPECT_EQ(Cell(Row("B.txt"), 1), "0 KB");

    // Folders open by a double click, Enter and the tree, and close by Backspace.
    SelectRows({"a.txt"});
    EXPECT_EQ(Status(), "圧縮レベル:- パスワード:");
    DoubleClick("B.txt");  // a file row does nothing
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    ProjectNode* zeta = Node("zeta");
    DoubleClick("zeta");
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_EQ(Column(0), "能 ソ.txt");
    EXPECT_EQ(TreeView_GetSelection(tree), zeta->treeItem);
    SelectRows({"能"});
    NMHDR enter = {list, kFileListId, static_cast<UINT>(NM_RETURN)};
    SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&enter));
    EXPECT_EQ(Column(0), "中身ソ");
    for (ProjectNode* expected : {zeta, ProjectRoot(), ProjectRoot()}) {
        SendMessageA(list, WM_KEYDOWN, VK_BACK, 0);
        EXPECT_EQ(CurrentFolder(), expected);
    }
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    zeta->level = 2;
    SelectFolder(zeta);
    EXPECT_EQ(Status(), "圧縮レベル:2 パスワード:");
    SelectFolder(ProjectRoot());

    // F2 in the list renames the row, and the folder's item in the tree with it.
    SelectRows({"zeta"});
    ASSERT_TRUE(PressKey(list, VK_F2));
    TypeLabel(list, LVM_GETEDITCONTROL, "オメガ");
    EXPECT_EQ(Column(0), "Alpha オメガ B.txt a.txt big.bin");
    EXPECT_EQ(TreeOutline(TreeView_GetRoot(tree)), "新規書庫{Alpha オメガ{能}}");
    EXPECT_EQ(zeta, FindChildNamed(ProjectRoot(), "オメガ"));

    // The context menus act on the entry under the cursor, or on the folder shown.
    SetFocus(panes.toolbar);
    RightClick(list, BelowTheRows(list));
    EXPECT_EQ(std::to_string(g_menusShown) + (g_propertiesGrayed ? " grey" : ""), "1 grey");
    EXPECT_EQ(ContextNode, nullptr);
    SendMessageA(GetParent(list), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_NE(FindChildNamed(ProjectRoot(), "新規フォルダ"), nullptr);
    RightClick(list, RowPoint("オメガ"));
    EXPECT_FALSE(g_propertiesGrayed);
    EXPECT_EQ(ContextNode, zeta);
    RightClick(tree, TreePoint("オメガ"));
    EXPECT_EQ(ContextNode, zeta);
    SendMessageA(GetParent(tree), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_EQ(Column(0), "能 ソ.txt 新規フォルダ");
    RightClick(tree, BelowTheRows(tree));
    EXPECT_EQ(g_menusShown, 0);
    // On the folder shown already the list is refilled all the same; the root is never deleted.
    SelectFolder(ProjectRoot());
    Node("Alpha")->level = 7;
    SelectRows({"Alpha"});
    ASSERT_EQ(Status(), "圧縮レベル:7 パスワード:");
    SetFocus(tree);
    RightClick(tree, TreePoint(nullptr), 'd');
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    EXPECT_EQ(Status(), "圧縮レベル:- パスワード:");
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(Column(0), "Alpha オメガ 新規フォルダ B.txt a.txt big.bin");

    // Properties from the list go to every selected row.
    ASSERT_TRUE(SetProperty({"a.txt", "B.txt", "big.bin"}, IDC_LEVEL_ENABLE, IDC_LEVEL_TEXT, "3"));
    for (const char* entry : {"a.txt", "B.txt", "big.bin"})
        EXPECT_EQ(Node(entry)->level, 3) << entry;
    EXPECT_EQ(zeta->level, 2);
    EXPECT_EQ(Status(), "圧縮レベル:3 パスワード:");

    // Keys act only in a focused pane; a sibling's name in another case is refused.
    SelectFolder(zeta);
    SetFocus(panes.toolbar);
    EXPECT_FALSE(PressKey(tree, VK_DELETE));
    SetFocus(tree);
    ASSERT_TRUE(TreeHasFocus);
    ASSERT_TRUE(PressKey(tree, VK_F2));
    {
        ModalWatcher refusal("パックレン：ファイル名の変更");
        TypeLabel(tree, TVM_GETEDITCONTROL, "alpha");
        EXPECT_TRUE(refusal.Wait().HasText("指定されたファイル名はすでに存在します。"));
    }
    EXPECT_STREQ(zeta->name, "オメガ");
    SetFocus(tree);  // the message box took it
    RightClick(tree, TreePoint("オメガ"), 'd');
    EXPECT_EQ(FindChildNamed(ProjectRoot(), "オメガ"), nullptr);
    SelectFolder(ProjectRoot());
    SetFocus(tree);
    PressKey(tree, VK_DELETE);
    EXPECT_EQ(Column(0), "Alpha 新規フォルダ B.txt a.txt big.bin");
    SetFocus(list);
    ASSERT_TRUE(ListHasFocus);
    SelectRows({"Alpha", "a.txt"});
    ASSERT_TRUE(PressKey(list, VK_DELETE));
    EXPECT_EQ(Column(0), "新規フォルダ B.txt big.bin");
    EXPECT_EQ(TreeOutline(TreeView_GetRoot(tree)), "新規書庫{新規フォルダ}");
    EXPECT_EQ(Node("a.txt"), nullptr);

    // Closing writes the layout, the sort order the other way round.
    ClickHeader(0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    window = nullptr;
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "ListSortColumn"), "-2147483648");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "SplitPos"), "200");
}

// A failing project on the command line leaves an empty one; missing column widths keep defaults.
TEST_F(WindowWalk, TheMenusAndDialogsMakeSaveReopenAndBuildAProject)
{
    AppSettings->SetValue("WINDOW", "ListColumnWidth", "50,60");
    AppSettings->SetValue("WINDOW", "ListSortColumn", "-2147483646");
    std::string broken = "[INFOMATION]\r\nAPPLICATIONNAME=x\r\nbad\x01line\r\n";
    strcpy(ProjectArgument, disk.WriteFile("broken.pwp", broken).c_str());
    ModalWatcher box("パックレン：プロジェクト");
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    EXPECT_TRUE(box.Wait().HasText("プロジェクトの読込に失敗しました。\r\n(line:3)"));
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(CurrentProjectPath, "");
    std::string widths;
    for (int i = 0; i < 4; ++i)
        widths += std::to_string(ListView_GetColumnWidth(list, i)) + " ";
    EXPECT_EQ(widths, "50 60 120 240 ");
    EXPECT_EQ(CurrentListLayout().sortKey, 2 | INT32_MIN);
    ClickHeader(0);

    // An inherited archive option shows disabled until the box is checked.
    AppSettings->SetValue("PROPERTY", "NAMECODE", "2");
    std::string opened;
    ASSERT_TRUE(Through(IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション", [&](HWND dialog) {
        HWND choice = GetDlgItem(dialog, IDC_NAMECODE_CHOICE);
        opened = std::to_string(SendMessageA(choice, CB_GETCURSEL, 0, 0)) +
                 (IsWindowEnabled(choice) ? " enabled" : " disabled");
        SendDlgItemMessageA(dialog, IDC_NAMECODE_ENABLE, BM_CLICK, 0, 0);
        SendMessageA(choice, CB_SETCURSEL, 1, 0);
    }).found);
    EXPECT_EQ(opened, "2 disabled");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "NAMECODE"), "1");
    EXPECT_EQ(Status(), "圧縮レベル:- パスワード: 名前:SJIS+Unicode");
    AppSettings->DeleteSection("PROPERTY");
    ProjectDocument->DeleteSection("PROPERTY");

    // The application's level always counts (its box stays checked); the trackbar's keys and
    // thumb reach the text, and level 0 is written as an empty value.
    std::string steps, pasted, refusals;
    ASSERT_TRUE(Through(IDC_APP_SETTINGS, "パックレンの設定", [&](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        HWND bar = GetDlgItem(dialog, IDC_LEVEL_TRACKBAR);
        for (int step = 0; step < 2; ++step) {
            SendMessageA(bar, WM_KEYDOWN, VK_LEFT, 0);
            steps += std::to_string(GetDlgItemInt(dialog, IDC_LEVEL_TEXT, nullptr, FALSE));
        }
        // As a drag does: the thumb moves, then the dialog hears of it.
        SendMessageA(bar, TBM_SETPOS, TRUE, 0);
        SendMessageA(dialog, WM_HSCROLL, TB_THUMBTRACK, reinterpret_cast<LPARAM>(bar));
    }).found);
    EXPECT_EQ(steps, "54");
    EXPECT_STREQ(AppSettings->GetValue("PROPERTY", "COMPLEVELENABLE"), "1");
    EXPECT_STREQ(AppSettings->GetValue("PROPERTY", "COMPRESSLEVEL"), "");
    EXPECT_STREQ(AppSettings->GetValue("PROPERTY", "PASSWORDENABLE"), "0");
    // Pasted control bytes go; a password typed past that filter is refused, box checked or not.
    ASSERT_TRUE(Through(IDC_PROJECT_SETTINGS, "プロジェクトの設定", [&](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_LEVEL_TEXT, "2");
        SendDlgItemMessageA(dialog, IDC_PASSWORD_ENABLE, BM_CLICK, 0, 0);
        const char clip[] = "a\tb\r\nパス";
        OpenClipboard(nullptr);
        EmptyClipboard();
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, sizeof clip);
        memcpy(GlobalLock(data), clip, sizeof clip);
        GlobalUnlock(data);
        SetClipboardData(CF_TEXT, data);
        CloseClipboard();
        SendDlgItemMessageA(dialog, IDC_PASSWORD_TEXT, WM_PASTE, 0, 0);
        char text[64] = "";
        GetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, text, sizeof text);
        pasted = text;
        SetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, "a\tb");
        for (int round = 0; round < 2; ++round) {
            refusals += Refused(dialog) ? "refused " : "closed ";
            SendDlgItemMessageA(dialog, IDC_PASSWORD_ENABLE, BM_CLICK, 0, 0);
        }
        SetDlgItemTextA(dialog, IDC_PASSWORD_TEXT, "");
    }).found);
    EXPECT_EQ(pasted + " " + refusals, "abパス refused refused ");
    EXPECT_EQ(ProjectRoot()->level, 2);
    EXPECT_EQ(Status(), "圧縮レベル:2 パスワード:");
    InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, "docs", nullptr);
    strcpy(ProjectRoot()->name, "Release");
    Command(IDC_NEW_PROJECT);
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(ProjectRoot()->name, "新規書庫");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "COMPLEVELENABLE"), "1");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "COMPRESSLEVEL"), "2");
    // Saving asks, proposing the project's name; cancelling writes nothing.
    EXPECT_TRUE(Through(IDC_SAVE_PROJECT, kSaveTitle, nullptr, IDCANCEL).HasText("新規書庫.pwp"));
    EXPECT_STREQ(CurrentProjectPath, "");

    // A new folder's label edit starts at once; settings come through the context menu.
    std::string plain = disk.WriteFile("plain.txt", std::string(3000, 'p'));
    std::string hidden = disk.WriteFile("hidden.txt", "秘密のメモ");
    const char* added[] = {plain.c_str(), hidden.c_str()};
    AddDroppedPaths(added, 1, nullptr);
    SetFocus(list);
    SendMessageA(GetParent(list), WM_COMMAND, IDC_NEW_FOLDER, 0);
    TypeLabel(list, LVM_GETEDITCONTROL, "金庫");
    ASSERT_GE(Row("金庫"), 0);
    ASSERT_TRUE(SetProperty({"金庫"}, IDC_PASSWORD_ENABLE, IDC_PASSWORD_TEXT, "鍵123"));
    DoubleClick("金庫");
    ASSERT_STREQ(CurrentFolder()->name, "金庫");
    AddDroppedPaths(added + 1, 1, nullptr);
    ASSERT_TRUE(SetProperty({"hidden.txt"}, IDC_LEVEL_ENABLE, IDC_LEVEL_TEXT, "0"));
    EXPECT_EQ(Status(), "圧縮レベル:0 パスワード:鍵123");

    // Saved under a typed name (the extension is added), emptied, reopened.
    std::string project = disk.Join("金庫の書庫");
    ASSERT_TRUE(Through(IDC_SAVE_PROJECT, kSaveTitle, Typing(project)).found);
    EXPECT_EQ(CurrentProjectPath, project + ".pwp");
    Command(IDC_NEW_PROJECT);
    ASSERT_EQ(ProjectRoot()->firstChild, nullptr);
    auto openProject = [&](const std::string& path, const std::string& message) {
        std::unique_ptr<ModalWatcher> box;
        if (!message.empty())
            box = std::make_unique<ModalWatcher>("パックレン：プロジェクト");
        EXPECT_TRUE(Through(IDC_OPEN_PROJECT, "パックレン：プロジェクトを開く", Typing(path)).found)
            << path;
        EXPECT_TRUE(box == nullptr || box->Wait().HasText(message));
        return Status();
    };
    openProject(project + ".pwp", "");
    EXPECT_EQ(Column(0), "金庫 plain.txt");

    // Built: the folder's file is encrypted with the folder's password and stored (level 0).
    std::string archive = disk.Join("out.zip");
    ModalWatcher job(kJobTitle, IDOK, 20000, [](HWND dialog) { WaitForJobEnd(dialog); });
    ASSERT_TRUE(Through(IDC_WRITE_ZIP, "パックレン：ZIPファイル出力", Typing(archive)).found);
    ASSERT_TRUE(job.Wait().found);
    ZipParsed parsed;
    PasswordMap passwords{{"金庫/hidden.txt", "鍵123"}};
    ASSERT_TRUE(ParseZip(ReadWholeFile(archive), &parsed, passwords));
    ASSERT_EQ(parsed.Names(), (std::vector<std::string>{"plain.txt", "金庫/hidden.txt"}));
    const ZipEntry &open = parsed.entries[0], &secret = parsed.entries[1];
    EXPECT_EQ(std::to_string(secret.flags & 1) + " " + std::to_string(secret.method), "1 0");
    EXPECT_EQ(secret.data, "秘密のメモ");
    EXPECT_EQ(std::to_string(open.flags & 1) + " " + std::to_string(open.method), "0 8");

    // The status line shows the project now open, also after one with a password or one held.
    AppSettings->DeleteSection("PROPERTY");  // the level of 0 from above would show
    const std::string header =
        "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";
    std::string locked = disk.WriteFile("secret.pwp", header + "[PROPERTY]\r\nPASSWORDENABLE=1\r\n"
                                                               "PASSWORD=secret\r\n");
    std::string good = disk.WriteFile("good.pwp", header + "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\n"
                                                           "COMPRESSLEVEL=4\r\n");
    HANDLE hold = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(openProject(locked, "プロジェクトの読込に失敗しました。\r\n(line:0)"),
              "圧縮レベル:- パスワード:");
    CloseHandle(hold);
    EXPECT_EQ(openProject(locked, ""), "圧縮レベル:- パスワード:secret");
    EXPECT_EQ(openProject(good, ""), "圧縮レベル:4 パスワード:");
    // What the project held already is not the dialog's doing: kept, though out of range or unfit.
    ProjectDocument->SetValue("PROPERTY", "COMPRESSLEVEL", "12");
    ProjectDocument->SetValue("PROPERTY", "PASSWORDENABLE", "1");
    ProjectDocument->SetValue("PROPERTY", "PASSWORD", "x\x01y");
    LRESULT thumb = -1;
    ASSERT_TRUE(Through(IDC_PROJECT_SETTINGS, "プロジェクトの設定", [&](HWND dialog) {
        thumb = SendDlgItemMessageA(dialog, IDC_LEVEL_TRACKBAR, TBM_GETPOS, 0, 0);
        refusals = Refused(dialog) ? "refused" : "closed";
    }, IDCANCEL).found);
    EXPECT_EQ(std::to_string(thumb) + " " + refusals, "9 closed");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "COMPRESSLEVEL"), "12");
    EXPECT_STREQ(ProjectDocument->GetValue("PROPERTY", "PASSWORD"), "x\x01y");

    // The version box: no border of its own (EDITTEXT gives one unless told not to), centred over
    // the window, and pushed back inside the work area near its corner.
    LONG border = -1;
    auto about = [&] {
        return Through(IDC_ABOUT, "バージョン情報", [&](HWND dialog) {
            HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
            border = (GetWindowLongA(text, GWL_STYLE) & WS_BORDER) |
                     (GetWindowLongA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        });
    };
    RECT r = about().rect;
    EXPECT_EQ(border, 0);
    EXPECT_EQ(r.left * 10000 + r.top,
              (512 - r.right + r.left) / 2 * 10000 + (384 - r.bottom + r.top) / 2);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window, nullptr, work.right - 50, work.bottom - 50, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    r = about().rect;
    EXPECT_EQ(r.right * 10000 + r.bottom, work.right * 10000 + work.bottom);
    // Larger than the work area, a window keeps its top left corner there.
    SetWindowPos(window, nullptr, 0, 0, work.right + 400, work.bottom + 300, SWP_NOZORDER);
    CenterOverOwner(window, nullptr);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left * 10000 + r.top, work.left * 10000 + work.top);
}
