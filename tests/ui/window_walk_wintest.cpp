// Walks through the real main window as a user would, with real messages: the panes filled from
// disk, sorted, opened, renamed, deleted and given settings through their menus and keys; then
// the menus and dialogs, a project made, saved, reopened and built into an archive whose entries
// carry those settings.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

namespace {

// Records the state of "プロパティ(&P)" when a pane's context menu opens; with a key, chooses
// that item as the user would, else closes the menu.
WNDPROC g_paneProc;
int g_menusShown;
bool g_propertiesGrayed, g_endMenu;

LRESULT CALLBACK MenuSpy(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENUPOPUP) {
        ++g_menusShown;
        g_propertiesGrayed =
            (GetMenuState(reinterpret_cast<HMENU>(wParam), IDC_PROPERTIES, MF_BYCOMMAND) & MF_GRAYED) != 0;
        if (g_endMenu)
            EndMenu();
    }
    return CallWindowProcA(g_paneProc, pane, message, wParam, lParam);
}

class WindowWalk : public WindowFixture {
protected:
    // Right-clicks a control at a screen point, as the control reports it to its pane; `key`
    // chooses a menu item by its access key (the chosen command is posted, as a menu does).
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
    int Width(HWND child)
    {
        RECT box;
        GetWindowRect(child, &box);
        return box.right - box.left;
    }
    int ClientWidth()
    {
        RECT client;
        GetClientRect(window, &client);
        return client.right;
    }
    void SizeBar(int width) { SetWindowPos(Panes().bar, nullptr, 0, 0, width, 100, SWP_NOMOVE | SWP_NOZORDER); }
    // The keys of the archive options and of the level and password in a PROPERTY section.
    static std::string Keys(SettingsDocument* document, std::vector<const char*> keys)
    {
        std::string text;
        for (const char* key : keys) {
            const char* value = document->GetValue("PROPERTY", key);
            text += std::string(text.empty() ? "" : " ") + (value != nullptr ? value : "-");
        }
        return text;
    }

    TempDir disk;
};

}  // namespace

TEST_F(WindowWalk, ThePanesShowAndEditTheProject)
{
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    const PaneWindows& panes = Panes();
    // The toolbar's buttons, and the default columns of the list.
    std::vector<int> commands;
    for (int i = 0; i < SendMessageA(panes.toolbar, TB_BUTTONCOUNT, 0, 0); ++i) {
        TBBUTTON button = {};
        SendMessageA(panes.toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        commands.push_back(button.fsStyle & BTNS_SEP ? 0 : button.idCommand);
    }
    EXPECT_EQ(commands, (std::vector<int>{IDC_NEW_PROJECT, IDC_OPEN_PROJECT, IDC_SAVE_PROJECT, 0, IDC_WRITE_ZIP}));
    std::string widths;
    for (int i = 0; i < 4; ++i)
        widths += std::to_string(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)) + " ";
    EXPECT_EQ(widths, "120 80 120 240 ");
    EXPECT_EQ(TreeOutline(), "新規書庫\n");

    // Dragging the bar is sizing the bar window: the split stays inside the frame, also when the
    // frame narrows, and minimising lays nothing out again. Only the bar's right edge sizes it.
    EXPECT_EQ(Width(panes.bar) * 1000 + Width(panes.leftPane), 128124);
    SizeBar(2);
    EXPECT_EQ(SplitPosition(), 5);
    EXPECT_EQ(Width(panes.bar), 5);
    SizeBar(5000);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);
    EXPECT_EQ(Width(panes.rightPane), 1);
    SizeBar(300);
    SetWindowPos(window, nullptr, 0, 0, 200, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);
    SetWindowPos(window, nullptr, 0, 0, 512, 384, SWP_NOMOVE | SWP_NOZORDER);
    SizeBar(250);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(SplitPosition(), 250);
    ShowWindow(window, SW_RESTORE);
    SizeBar(200);
    RECT bar, pane, control;
    GetWindowRect(panes.bar, &bar);
    int y = (bar.top + bar.bottom) / 2;
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 1, y)), HTRIGHT);
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 4, y)), HTRIGHT);
    EXPECT_NE(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 5, y)), HTRIGHT);
    GetClientRect(panes.leftPane, &pane);
    GetClientRect(tree, &control);
    EXPECT_EQ(control.right, pane.right);  // each control fills its pane after the move
    GetClientRect(panes.rightPane, &pane);
    EXPECT_EQ(Width(list), pane.right);

    // On disk: a.txt and B.txt of one byte, big.bin of 3 GB (sparse), zeta\inner and Alpha.
    disk.WriteFile("a.txt", "x");
    disk.WriteFile("B.txt", "y");
    ASSERT_TRUE(MakeSparseFile(disk.Join("big.bin"), 3000000000ULL));
    ASSERT_TRUE(SetLocalWriteTime(disk.Join("a.txt"), 2024, 2, 29, 23, 5, 9));
    for (const char* folder : {"zeta", "zeta\\inner", "Alpha"})
        disk.MakeDir(folder);
    disk.WriteFile("zeta\\inner.txt", "inner");
    for (const char* added : {"zeta", "a.txt", "Alpha", "B.txt", "big.bin"})
        AddDiskPath(disk.Join(added).c_str(), strchr(added, '.') == nullptr, ProjectRoot());
    FillFileList();
    // The control sorts the folders whatever their order in the project.
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n  zeta\n    inner\n");
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    EXPECT_EQ(Column(1), "  1 KB 1 KB 2,929,688 KB");
    EXPECT_EQ(Cell(Row("a.txt"), 2) + " " + Cell(Row("a.txt"), 3), "2024/02/29 23:05:09 " + disk.Join("a.txt"));
    EXPECT_EQ(Cell(Row("zeta"), 3), "");
    // A click on a header sorts, again the other way; another column starts ascending.
    ClickHeader(0);
    EXPECT_EQ(Column(0), "big.bin a.txt B.txt zeta Alpha");
    ClickHeader(1);
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");  // empty folders before 1 KB
    ClickHeader(0);
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    DeleteFileA(disk.Join("B.txt").c_str());  // gone from disk: 0 KB after F5
    Command(IDC_REFRESH);
    EXPECT_EQ(Cell(Row("B.txt"), 1), "0 KB");

    // Folders open by a double click, Enter and the tree, and close by Backspace; the status line
    // follows the selected entry.
    SelectRows({"a.txt"});
    EXPECT_EQ(Status(), "圧縮レベル:- パスワード:");
    DoubleClick("B.txt");  // a file row does nothing
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    ProjectNode* zeta = Node("zeta");
    DoubleClick("zeta");
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_EQ(Column(0), "inner inner.txt");
    EXPECT_EQ(TreeItem(nullptr, TVGN_CARET), zeta->treeItem);
    SelectRows({"inner"});
    NMHDR enter = {list, kFileListId, static_cast<UINT>(NM_RETURN)};
    SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&enter));
    EXPECT_STREQ(CurrentFolder()->name, "inner");
    for (ProjectNode* expected : {zeta, ProjectRoot(), ProjectRoot()}) {
        SendMessageA(list, WM_KEYDOWN, VK_BACK, 0);
        EXPECT_EQ(CurrentFolder(), expected);
    }
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    zeta->level = 2;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(zeta->treeItem));
    EXPECT_EQ(Status(), "圧縮レベル:2 パスワード:");
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ProjectRoot()->treeItem));

    // F2 in the list renames the row, and the folder's item in the tree with it.
    SetFocus(list);
    SelectRows({"zeta"});
    Command(IDC_RENAME);
    TypeLabel(list, LVM_GETEDITCONTROL, "オメガ");
    EXPECT_EQ(Column(0), "Alpha オメガ B.txt a.txt big.bin");
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n  オメガ\n    inner\n");
    EXPECT_EQ(zeta, FindChildNamed(ProjectRoot(), "オメガ"));

    // The context menus act on the entry under the cursor: over the list's empty space
    // "プロパティ" is grey and a new folder still works; in the tree a new folder goes into the
    // folder clicked, which becomes current; nothing but an item opens the tree's menu.
    SetFocus(panes.toolbar);
    RightClick(list, BelowTheRows(list));
    EXPECT_EQ(g_menusShown, 1);
    EXPECT_TRUE(g_propertiesGrayed);
    EXPECT_EQ(ContextNode, nullptr);
    SendMessageA(GetParent(list), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_NE(FindChildNamed(ProjectRoot(), "新規フォルダ"), nullptr);
    RightClick(list, RowPoint("オメガ"));
    EXPECT_FALSE(g_propertiesGrayed);
    EXPECT_EQ(ContextNode, zeta);
    POINT label = TreePoint("オメガ");
    RightClick(tree, label);
    EXPECT_EQ(g_menusShown, 1);
    EXPECT_EQ(ContextNode, zeta);
    SendMessageA(GetParent(tree), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_EQ(Column(0), "inner inner.txt 新規フォルダ");
    RightClick(tree, BelowTheRows(tree));
    EXPECT_EQ(g_menusShown, 0);
    // On the folder that is current already, the list is refilled and the status line shows the
    // folder all the same; "削除(&D)" leaves the root.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ProjectRoot()->treeItem));
    Node("Alpha")->level = 7;
    SelectRows({"Alpha"});
    ASSERT_EQ(Status(), "圧縮レベル:7 パスワード:");
    RightClick(tree, TreePoint(nullptr));
    SetFocus(tree);
    SendMessageA(GetParent(tree), WM_COMMAND, IDC_DELETE_ENTRY, 0);
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    EXPECT_EQ(Status(), "圧縮レベル:- パスワード:");
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(Column(0), "Alpha オメガ 新規フォルダ B.txt a.txt big.bin");

    // Properties from the list go to every selected row.
    SelectRows({"B.txt", "a.txt", "big.bin"});
    ModalWatcher properties("ファイルの設定", IDOK, 20000, [](HWND box) {
        SendDlgItemMessageA(box, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(box, IDC_LEVEL_TEXT, "3");
        SendDlgItemMessageA(box, IDC_PASSWORD_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(box, IDC_PASSWORD_TEXT, "pw");
    });
    RightClick(list, RowPoint("a.txt"), 'p');
    ASSERT_TRUE(properties.Wait().found);
    for (const char* entry : {"a.txt", "B.txt", "big.bin"}) {
        ProjectNode* node = Node(entry);
        EXPECT_EQ(std::to_string(node->level) + (node->password ? node->password : "-"), "3pw") << entry;
    }
    EXPECT_EQ(zeta->level, 2);
    EXPECT_EQ(Status(), "圧縮レベル:3 パスワード:pw");

    // Keys act only in a focused pane. Renaming to a sibling's name in another case is refused
    // with its message; Delete removes the folder, never the root, and in the list every
    // selected row with its entry.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(zeta->treeItem));
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
    ASSERT_TRUE(PressKey(tree, VK_DELETE));
    EXPECT_EQ(FindChildNamed(ProjectRoot(), "オメガ"), nullptr);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ProjectRoot()->treeItem));
    PressKey(tree, VK_DELETE);
    EXPECT_EQ(Column(0), "Alpha 新規フォルダ B.txt a.txt big.bin");
    SetFocus(list);
    ASSERT_TRUE(ListHasFocus);
    SelectRows({"Alpha", "a.txt"});
    ASSERT_TRUE(PressKey(list, VK_DELETE));
    EXPECT_EQ(Column(0), "新規フォルダ B.txt big.bin");
    EXPECT_EQ(TreeOutline(), "新規書庫\n  新規フォルダ\n");
    EXPECT_EQ(Node("a.txt"), nullptr);

    // A shortcut shows the shell's icon with the link overlay.
    std::string target = disk.WriteFile("target.txt", "t"), shortcut = disk.Join("link.lnk");
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)), S_OK);
    link->SetPath(target.c_str());
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(file->Save(wide, TRUE), S_OK);
    file->Release();
    link->Release();
    for (const std::string& path : {target, shortcut})
        AddDiskPath(path.c_str(), false, ProjectRoot());
    FillFileList();
    std::vector<int> overlays;
    for (const char* entry : {"link.lnk", "target.txt"}) {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE | LVIF_STATE;
        item.iItem = Row(entry);
        item.stateMask = LVIS_OVERLAYMASK;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_GE(item.iImage, 0) << entry;
        overlays.push_back((item.state & LVIS_OVERLAYMASK) >> 8);
    }
    EXPECT_EQ(overlays, (std::vector<int>{2, 0}));
    CoUninitialize();

    // Closing writes the layout keys in their order, the sort order the other way round and the
    // place the window had when it was minimised included.
    ClickHeader(0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    window = nullptr;
    std::string keys;
    for (SettingsEntry* e = AppSettings->FirstEntry("WINDOW"); e != nullptr; e = e->next)
        keys += std::string(e->key) + "=" + e->value + " ";
    EXPECT_EQ(keys, "ListColumnWidth=120,80,120,240 ListSortColumn=-2147483648 MainWindowMode=NORMAL "
                    "MainWindowPos=0,0,512,384 MainWindowMinPos=-32000,-32000 MainWindowMaxPos=-1,-1 SplitPos=200 ");
}

TEST_F(WindowWalk, TheMenusAndDialogsMakeSaveReopenAndBuildAProject)
{
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    // The archive options dialogs show inherited choices and store own ones on OK. Per option
    // "+" for a checked box with its list enabled, "-" for a cleared box with its list disabled,
    // then the choice shown, on opening and just before the button is pressed; then NAMECODE
    // ENCRYPTION VERIFY of each document afterwards ("-" a missing key) and the status line.
    using Pairs = std::vector<std::pair<const char*, const char*>>;
    struct Step { int control, choice; };  // choice -1: click the box
    struct {
        int command;
        const char* title;
        Pairs application, project;
        std::vector<Step> steps;
        int button;
        const char *opened, *pressed, *applicationAfter, *projectAfter, *status;
    } rows[] = {
        {IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション", {{"NAMECODE", "2"}}, {},
         {{IDC_NAMECODE_ENABLE, -1}, {IDC_NAMECODE_CHOICE, 1}, {IDC_ENCRYPTION_ENABLE, -1}, {IDC_ENCRYPTION_CHOICE, 1}},
         IDOK, "-2 -0 -0", "+1 +1 -0", "2 - -", "1 1 -", "圧縮レベル:- パスワード: 名前:SJIS+Unicode"},
        // A cleared box removes the project's key.
        {IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション", {{"VERIFY", "0"}}, {{"VERIFY", "1"}, {"ENCRYPTION", "1"}},
         {{IDC_VERIFY_ENABLE, -1}}, IDOK, "-0 +1 +1", "-0 +1 -0", "- - 0", "- 1 -", "圧縮レベル:- パスワード:"},
        // Cancel keeps the project's keys.
        {IDC_PROJECT_OPTIONS, "プロジェクトの書庫オプション", {}, {{"NAMECODE", "2"}}, {{IDC_NAMECODE_ENABLE, -1}},
         IDCANCEL, "+2 -0 -0", "-0 -0 -0", "- - -", "2 - -", "圧縮レベル:- パスワード: 名前:UTF-8"},
        // The application's own choice comes back when its box is checked again.
        {IDC_APP_OPTIONS, "パックレンの書庫オプション", {{"NAMECODE", "1"}, {"ENCRYPTION", "7"}}, {},
         {{IDC_NAMECODE_ENABLE, -1}, {IDC_NAMECODE_ENABLE, -1}, {IDC_VERIFY_ENABLE, -1}, {IDC_VERIFY_CHOICE, 1}},
         IDOK, "+1 -0 -0", "+1 -0 +1", "1 - 1", "- - -", "圧縮レベル:- パスワード: 名前:SJIS+Unicode 検査:する"},
    };
    const int boxes[] = {IDC_NAMECODE_ENABLE, IDC_ENCRYPTION_ENABLE, IDC_VERIFY_ENABLE};
    auto state = [&](HWND dialog) {
        std::string shown;
        for (int box : boxes) {
            bool checked = IsDlgButtonChecked(dialog, box) == BST_CHECKED;
            bool enabled = IsWindowEnabled(GetDlgItem(dialog, box + 1)) != FALSE;
            shown += std::string(shown.empty() ? "" : " ") + (checked != enabled ? "?" : checked ? "+" : "-") +
                     std::to_string(SendDlgItemMessageA(dialog, box + 1, CB_GETCURSEL, 0, 0));
        }
        return shown;
    };
    const std::vector<const char*> options = {"NAMECODE", "ENCRYPTION", "VERIFY"};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.opened);
        AppSettings->DeleteSection("PROPERTY");
        ProjectDocument->DeleteSection("PROPERTY");
        for (auto& [key, value] : row.application)
            AppSettings->SetValue("PROPERTY", key, value);
        for (auto& [key, value] : row.project)
            ProjectDocument->SetValue("PROPERTY", key, value);
        std::string opened, pressed;
        ModalWatcher watcher(row.title, row.button, 20000, [&](HWND dialog) {
            opened = state(dialog);
            for (const Step& step : row.steps)
                SendDlgItemMessageA(dialog, step.control, step.choice < 0 ? BM_CLICK : CB_SETCURSEL,
                                    step.choice < 0 ? 0 : step.choice, 0);
            pressed = state(dialog);
        });
        Command(row.command);
        ASSERT_TRUE(watcher.Wait().found);
        EXPECT_EQ(opened + " | " + pressed, std::string(row.opened) + " | " + row.pressed);
        EXPECT_EQ(Keys(AppSettings, options), row.applicationAfter);
        EXPECT_EQ(Keys(ProjectDocument, options), row.projectAfter);
        EXPECT_EQ(Status(), row.status);
    }
    AppSettings->DeleteSection("PROPERTY");
    ProjectDocument->DeleteSection("PROPERTY");

    // The defaults on the first run write level six; the project's own level, switched on in its
    // dialog, reaches the root and the status bar, and a new project keeps it.
    // The defaults' level box stays checked when clicked: the application's level always counts.
    ModalWatcher defaults("パックレンの設定", IDOK, 20000,
                          [](HWND dialog) { SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0); });
    Command(IDC_APP_SETTINGS);
    ASSERT_TRUE(defaults.Wait().found);
    EXPECT_EQ(Keys(AppSettings, {"COMPLEVELENABLE", "COMPRESSLEVEL", "PASSWORDENABLE"}), "1 6 0");
    EXPECT_EQ(ProjectRoot()->level, 6);
    ModalWatcher projectDialog("プロジェクトの設定", IDOK, 20000, [](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, IDC_LEVEL_TEXT, "2");
    });
    Command(IDC_PROJECT_SETTINGS);
    ASSERT_TRUE(projectDialog.Wait().found);
    EXPECT_EQ(ProjectRoot()->level, 2);
    EXPECT_EQ(Status(), "圧縮レベル:2 パスワード:");
    InsertChild(ProjectRoot(), nullptr, true, nullptr, -1, "docs", nullptr);
    strcpy(ProjectRoot()->name, "Release");
    Command(IDC_NEW_PROJECT);
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(ProjectRoot()->name, "新規書庫");
    EXPECT_EQ(Keys(ProjectDocument, {"COMPLEVELENABLE", "COMPRESSLEVEL"}), "1 2");
    // Saving always asks, proposing the project's name; cancelling writes nothing.
    for (int round = 0; round < 2; ++round) {
        ModalWatcher chooser("パックレン：プロジェクトを名前を付けて保存", IDCANCEL);
        Command(IDC_SAVE_PROJECT);
        EXPECT_TRUE(chooser.Wait().HasText("新規書庫.pwp")) << round;
    }
    EXPECT_STREQ(CurrentProjectPath, "");

    // A new folder from the list's menu starts its label edit at once; the name is typed. Its
    // password, then a file inside it, then that file's level, all through the context menu.
    std::string plain = disk.WriteFile("plain.txt", std::string(3000, 'p'));
    std::string hidden = disk.WriteFile("hidden.txt", "秘密のメモ");
    const char* added[] = {plain.c_str()};
    AddDroppedPaths(added, 1, nullptr);
    SetFocus(list);
    SendMessageA(GetParent(list), WM_COMMAND, IDC_NEW_FOLDER, 0);
    TypeLabel(list, LVM_GETEDITCONTROL, "金庫");
    ASSERT_GE(Row("金庫"), 0);
    // Ticks `box` in the row's property dialog and types `text` beside it.
    auto setProperty = [&](const char* row, int box, int edit, const char* text) {
        ModalWatcher dialog("ファイルの設定", IDOK, 20000, [=](HWND found) {
            SendDlgItemMessageA(found, box, BM_CLICK, 0, 0);
            SetDlgItemTextA(found, edit, text);
        });
        SelectRows({row});
        RightClick(list, RowPoint(row), 'p');
        return dialog.Wait().found;
    };
    ASSERT_TRUE(setProperty("金庫", IDC_PASSWORD_ENABLE, IDC_PASSWORD_TEXT, "鍵123"));
    DoubleClick("金庫");
    ASSERT_STREQ(CurrentFolder()->name, "金庫");
    const char* inside[] = {hidden.c_str()};
    AddDroppedPaths(inside, 1, nullptr);
    ASSERT_TRUE(setProperty("hidden.txt", IDC_LEVEL_ENABLE, IDC_LEVEL_TEXT, "0"));
    EXPECT_EQ(Status(), "圧縮レベル:0 パスワード:鍵123");

    // Saved under a typed name (the extension is added), emptied, reopened.
    std::string project = disk.Join("金庫の書庫");
    ModalWatcher saver("パックレン：プロジェクトを名前を付けて保存", IDOK, 20000, Type(project));
    Command(IDC_SAVE_PROJECT);
    ASSERT_TRUE(saver.Wait().found);
    EXPECT_EQ(CurrentProjectPath, project + ".pwp");
    Command(IDC_NEW_PROJECT);
    ASSERT_EQ(ProjectRoot()->firstChild, nullptr);
    ModalWatcher opener("パックレン：プロジェクトを開く", IDOK, 20000, Type(project + ".pwp"));
    Command(IDC_OPEN_PROJECT);
    ASSERT_TRUE(opener.Wait().found);
    EXPECT_EQ(Column(0), "金庫 plain.txt");

    // Built: the folder's file is encrypted with the folder's password and stored (level 0).
    std::string archive = disk.Join("out.zip");
    JobDriver job([](HWND dialog) {
        WaitForJobEnd(dialog);
        PressJobButton(dialog, IDOK);
    });
    ModalWatcher chooser("パックレン：ZIPファイル出力", IDOK, 20000, Type(archive));
    Command(IDC_WRITE_ZIP);
    ASSERT_TRUE(chooser.Wait().found);
    ASSERT_TRUE(job.Finish());
    ZipParsed parsed;
    ASSERT_TRUE(ParseZip(ReadWholeFile(archive), &parsed, PasswordMap{{"金庫/hidden.txt", "鍵123"}}));
    const ZipEntry* secret = parsed.Find("金庫/hidden.txt");
    const ZipEntry* open = parsed.Find("plain.txt");
    ASSERT_TRUE(secret != nullptr && open != nullptr);
    EXPECT_EQ(std::to_string(secret->flags & 1) + " " + std::to_string(secret->method), "1 0");
    EXPECT_EQ(secret->data, "秘密のメモ");
    EXPECT_EQ(std::to_string(open->flags & 1) + " " + std::to_string(open->method), "0 8");

    // Opening any project after one with its own password: the tree of the next one is built
    // while the old document is gone, and the status line shows the settings of the project now
    // open. The open dialog offers only files that exist: one that cannot be read is held open
    // unshared, which fails the load as a missing file does.
    AppSettings->DeleteSection("PROPERTY");  // the level of six from above would show in the status
    const std::string header = "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";
    const std::string failed = "プロジェクトの読込に失敗しました。\r\n(line:";
    std::string secretProject = disk.WriteFile("secret.pwp", header + "[PROPERTY]\r\nPASSWORDENABLE=1\r\nPASSWORD=secret\r\n");
    struct { const char* name; std::string text; bool locked; std::string message; const char* status; } opens[] = {
        {"locked.pwp", header, true, failed + "0)", "圧縮レベル:- パスワード:"},
        {"malformed.pwp", "\r\n" + header, false, failed + "1)", "圧縮レベル:- パスワード:"},
        {"good.pwp", header + "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\nCOMPRESSLEVEL=4\r\nPASSWORDENABLE=1\r\nPASSWORD=other\r\n",
         false, "", "圧縮レベル:4 パスワード:other"},
    };
    auto openProject = [&](const std::string& path, const std::string& message) {
        std::unique_ptr<ModalWatcher> box;
        if (!message.empty())
            box = std::make_unique<ModalWatcher>("パックレン：プロジェクト");
        ModalWatcher chooser("パックレン：プロジェクトを開く", IDOK, 20000, Type(path));
        Command(IDC_OPEN_PROJECT);
        EXPECT_TRUE(chooser.Wait().found);
        if (box != nullptr)
            EXPECT_TRUE(box->Wait().HasText(message));
        return Status();
    };
    for (const auto& row : opens) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(openProject(secretProject, ""), "圧縮レベル:- パスワード:secret");
        std::string path = disk.WriteFile(row.name, row.text);
        HANDLE hold = row.locked ? CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
        EXPECT_EQ(openProject(path, row.message), row.status);
        if (hold != INVALID_HANDLE_VALUE)
            CloseHandle(hold);
    }

    // A maximised window is saved with its restored rectangle; a minimised one as normal.
    ShowWindow(window, SW_MAXIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "MAXIMIZED");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowPos"), "0,0,512,384");
    ShowWindow(window, SW_MINIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "NORMAL");
}

// A project on the command line that fails is reported and leaves an empty project; column
// widths missing from the settings keep their defaults.
TEST_F(WindowWalk, AStartWithABrokenProjectAndShortColumnWidths)
{
    AppSettings->SetValue("WINDOW", "ListColumnWidth", "50,60");
    AppSettings->SetValue("WINDOW", "ListSortColumn", "-2147483646");
    strcpy(ProjectArgument, disk.WriteFile("broken.pwp", "[INFOMATION]\r\nAPPLICATIONNAME=x\r\nbad\x01line\r\n").c_str());
    ModalWatcher box("パックレン：プロジェクト");
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    EXPECT_TRUE(box.Wait().HasText("プロジェクトの読込に失敗しました。\r\n(line:3)"));
    EXPECT_EQ(ProjectRoot()->firstChild, nullptr);
    EXPECT_STREQ(CurrentProjectPath, "");
    std::string widths;
    for (int i = 0; i < 4; ++i)
        widths += std::to_string(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)) + " ";
    EXPECT_EQ(widths, "50 60 120 240 ");
    EXPECT_EQ(CurrentListLayout().sortKey, 2 | INT32_MIN);
}
