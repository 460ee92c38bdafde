// The folder tree and the file list of the real main window, driven with real messages and
// checked both in the controls and in the project model.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "resources/resource.h"
#include "tests/support/main_window_fixture_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/temp_dir.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"

namespace {

class PanesTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        tree = FolderTreeWindow();
        list = FileListWindow();
    }

    // The texts of the tree's items, depth first, each indented by its depth.
    std::string TreeOutline()
    {
        std::string outline;
        std::vector<HTREEITEM> stack;
        HTREEITEM item = TreeItem(nullptr, TVGN_ROOT);
        int depth = 0;
        while (item != nullptr) {
            outline += std::string(depth * 2, ' ') + ItemText(item) + "\n";
            HTREEITEM child = TreeItem(item, TVGN_CHILD);
            if (child != nullptr) {
                stack.push_back(item);
                ++depth;
                item = child;
                continue;
            }
            while (item != nullptr && TreeItem(item, TVGN_NEXT) == nullptr) {
                item = stack.empty() ? nullptr : stack.back();
                if (!stack.empty())
                    stack.pop_back();
                --depth;
            }
            if (item != nullptr)
                item = TreeItem(item, TVGN_NEXT);
        }
        return outline;
    }
    HTREEITEM TreeItem(HTREEITEM from, UINT relation)
    {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
    }
    std::string ItemText(HTREEITEM item)
    {
        char text[260] = "";
        TVITEMA data = {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        return text;
    }
    // Row texts of one column, joined by spaces.
    std::string Column(int column)
    {
        std::string texts;
        int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row)
            texts += (row > 0 ? " " : "") + Cell(row, column);
        return texts;
    }
    std::string Cell(int row, int column)
    {
        char text[260] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    void SelectRows(std::vector<int> rows)
    {
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&none));
        for (int row : rows) {
            LVITEMA item = {};
            item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
    }
    POINT RowPoint(int row)
    {
        RECT box = {};
        box.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&box));
        return {box.left + 2, (box.top + box.bottom) / 2};
    }
    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr = {list, static_cast<UINT_PTR>(kFileListId), static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&click));
    }
    std::string StatusText()
    {
        char text[256] = "";
        SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void Command(int id) { SendMessageA(window, WM_COMMAND, id, 0); }
    ProjectNode* Child(ProjectNode* folder, const char* name)
    {
        for (ProjectNode* child = folder->firstChild; child != nullptr; child = child->nextSibling) {
            if (strcmp(child->name, name) == 0)
                return child;
        }
        return nullptr;
    }

    // On disk: a.txt (1 byte), B.txt (1 byte), big.bin (3 GB, sparse), and the directories
    // zeta\inner and Alpha, added to the project root.
    void AddSampleFiles()
    {
        disk.WriteFile("a.txt", "x");
        disk.WriteFile("B.txt", "y");
        ASSERT_TRUE(MakeSparseFile(disk.Join("big.bin"), 3000000000ULL));
        disk.MakeDir("zeta");
        disk.WriteFile("zeta\\inner.txt", "inner");
        disk.MakeDir("zeta\\inner");
        disk.MakeDir("Alpha");
        for (const char* name : {"zeta", "a.txt", "Alpha", "B.txt", "big.bin"}) {
            std::string path = disk.Join(name);
            AddDiskPath(path.c_str(), strchr(name, '.') == nullptr, ProjectRoot());
        }
        FillFileList();
    }

    TempDir disk;
    HWND tree = nullptr;
    HWND list = nullptr;
};

}  // namespace

TEST_F(PanesTest, ControlsAreMadeAsTheirPanesWant)
{
    ASSERT_NE(tree, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetDlgCtrlID(tree), 128);
    EXPECT_EQ(GetDlgCtrlID(list), 101);
    EXPECT_EQ(GetParent(tree), Panes().leftPane);
    EXPECT_EQ(GetParent(list), Panes().rightPane);
    LONG treeStyle = GetWindowLongA(tree, GWL_STYLE);
    EXPECT_EQ(treeStyle & (TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | TVS_SHOWSELALWAYS | TVS_LINESATROOT),
              TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | TVS_SHOWSELALWAYS);
    LONG listStyle = GetWindowLongA(list, GWL_STYLE);
    EXPECT_EQ(listStyle & (LVS_TYPEMASK | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_EDITLABELS),
              LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_EDITLABELS);

    // Each control fills its pane, also after the split moves.
    SetWindowPos(Panes().bar, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT pane, control;
    GetClientRect(Panes().leftPane, &pane);
    GetClientRect(tree, &control);
    EXPECT_EQ(control.right, pane.right);
    GetClientRect(Panes().rightPane, &pane);
    GetWindowRect(list, &control);
    EXPECT_EQ(control.right - control.left, pane.right);

    std::string titles;
    for (int i = 0; i < 4; ++i) {
        char text[64] = "";
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        titles += std::string(text) + ((column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? "> " : " ");
        EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0), CurrentListLayout().widths[i]);
    }
    EXPECT_EQ(titles, "名前 サイズ> 更新日時 元ファイル ");
    EXPECT_EQ(TreeOutline(), "新規書庫\n");
}

TEST_F(PanesTest, FoldersAndRowsShowTheProject)
{
    AddSampleFiles();
    ASSERT_TRUE(SetLocalWriteTime(disk.Join("a.txt"), 2024, 2, 29, 23, 5, 9));
    FillFileList();
    // The control sorts the folders whatever their order in the project.
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n  zeta\n    inner\n");
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    EXPECT_EQ(Column(1), "  1 KB 1 KB 2,929,688 KB");
    EXPECT_EQ(Cell(3, 2), "2024/02/29 23:05:09");
    EXPECT_EQ(Cell(3, 3), disk.Join("a.txt"));
    EXPECT_EQ(Cell(0, 3), "");

    // A file gone from disk shows 0 KB after the next refill.
    DeleteFileA(disk.Join("a.txt").c_str());
    Command(IDC_REFRESH);
    EXPECT_EQ(Cell(3, 1), "0 KB");
}

TEST_F(PanesTest, HeaderClicksSortAndTheKeyIsSaved)
{
    AddSampleFiles();
    ClickHeader(0);
    EXPECT_EQ(Column(0), "big.bin a.txt B.txt zeta Alpha");
    ClickHeader(1);
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");  // empty folders before 1-byte files
    ClickHeader(0);  // another column starts ascending
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
    ClickHeader(0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    window = nullptr;
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "ListSortColumn"), "-2147483648");
}

TEST_F(PanesTest, FoldersOpenByDoubleClickEnterAndTheTreeAndCloseByBackspace)
{
    AddSampleFiles();
    ProjectNode* zeta = Child(ProjectRoot(), "zeta");
    // A file row does nothing.
    POINT file = RowPoint(2);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(file.x, file.y));
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    POINT folder = RowPoint(1);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(folder.x, folder.y));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(folder.x, folder.y));
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_EQ(Column(0), "inner inner.txt");
    EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(zeta->treeItem));

    SelectRows({0});
    NMHDR enter = {list, kFileListId, static_cast<UINT>(NM_RETURN)};
    SendMessageA(GetParent(list), WM_NOTIFY, kFileListId, reinterpret_cast<LPARAM>(&enter));
    EXPECT_STREQ(CurrentFolder()->name, "inner");

    for (ProjectNode* expected : {zeta, ProjectRoot(), ProjectRoot()}) {
        SendMessageA(list, WM_KEYDOWN, VK_BACK, 0);
        EXPECT_EQ(CurrentFolder(), expected);
    }
    EXPECT_EQ(Column(0), "Alpha zeta B.txt a.txt big.bin");
}

namespace {

// Records the state of "プロパティ(&P)" when a pane's context menu opens, then closes the menu.
WNDPROC g_paneProc;
int g_menusShown;
bool g_propertiesGrayed;

LRESULT CALLBACK MenuSpy(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENUPOPUP) {
        ++g_menusShown;
        g_propertiesGrayed =
            (GetMenuState(reinterpret_cast<HMENU>(wParam), IDC_PROPERTIES, MF_BYCOMMAND) & MF_GRAYED) != 0;
        EndMenu();
    }
    return CallWindowProcA(g_paneProc, pane, message, wParam, lParam);
}

// Right-clicks a control at a point of its client area, as the control reports it to its pane.
void RightClick(HWND control, int id, POINT at)
{
    HWND pane = GetParent(control);
    g_paneProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuSpy)));
    g_menusShown = 0;
    ClientToScreen(control, &at);
    SetCursorPos(at.x, at.y);
    NMHDR click = {control, static_cast<UINT_PTR>(id), static_cast<UINT>(NM_RCLICK)};
    SendMessageA(pane, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&click));
    SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_paneProc));
}

bool PressKey(HWND mainWindow, HWND target, WPARAM key)
{
    MSG msg = {target, WM_KEYDOWN, key, 1, GetTickCount(), {}};
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDA_PANES));
    return TranslatePaneAccelerator(mainWindow, table, &msg);
}

}  // namespace

TEST_F(PanesTest, KeysActOnlyInAFocusedPane)
{
    AddSampleFiles();
    ProjectNode* zeta = Child(ProjectRoot(), "zeta");
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(zeta->treeItem));
    SetFocus(Panes().toolbar);
    EXPECT_FALSE(PressKey(window, tree, VK_DELETE));
    EXPECT_EQ(Child(ProjectRoot(), "zeta"), zeta);

    SetFocus(tree);
    ASSERT_TRUE(TreeHasFocus);
    // Renaming to a sibling's name, in another case, is refused with its message.
    ASSERT_TRUE(PressKey(window, tree, VK_F2));
    HWND edit = reinterpret_cast<HWND>(SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "alpha");
    {
        ModalWatcher refusal("パックレン：ファイル名の変更");
        SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
        DialogReport shown = refusal.Wait();
        EXPECT_TRUE(shown.HasText("指定されたファイル名はすでに存在します。"));
    }
    EXPECT_STREQ(zeta->name, "zeta");
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n  zeta\n    inner\n");

    SetFocus(tree);  // the message box took it
    ASSERT_TRUE(PressKey(window, tree, VK_DELETE));
    EXPECT_EQ(Child(ProjectRoot(), "zeta"), nullptr);
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n");
    // The root stays: Delete with it selected removes nothing.
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    PressKey(window, tree, VK_DELETE);
    EXPECT_EQ(Column(0), "Alpha B.txt a.txt big.bin");

    // In the list, Delete removes every selected row and its entry.
    SetFocus(list);
    ASSERT_TRUE(ListHasFocus);
    SelectRows({0, 2});
    ASSERT_TRUE(PressKey(window, list, VK_DELETE));
    EXPECT_EQ(Column(0), "B.txt big.bin");
    EXPECT_EQ(TreeOutline(), "新規書庫\n");
    EXPECT_EQ(Child(ProjectRoot(), "a.txt"), nullptr);
}

TEST_F(PanesTest, RenamingARowRenamesTheFolderInTheTree)
{
    AddSampleFiles();
    SetFocus(list);
    SelectRows({1});
    SendMessageA(window, WM_COMMAND, IDC_RENAME, 0);
    HWND edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "オメガ");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Cell(1, 0), "オメガ");
    EXPECT_EQ(TreeOutline(), "新規書庫\n  Alpha\n  オメガ\n    inner\n");
    EXPECT_NE(Child(ProjectRoot(), "オメガ"), nullptr);
}

TEST_F(PanesTest, ContextMenusActOnTheEntryUnderTheCursor)
{
    AddSampleFiles();
    ProjectNode* zeta = Child(ProjectRoot(), "zeta");
    // Over the list's empty space the menu greys its properties; a new folder still works.
    RightClick(list, kFileListId, {20, 300});
    EXPECT_EQ(g_menusShown, 1);
    EXPECT_TRUE(g_propertiesGrayed);
    EXPECT_EQ(ContextNode, nullptr);
    SendMessageA(GetParent(list), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_NE(Child(ProjectRoot(), "新規フォルダ"), nullptr);

    POINT row = RowPoint(1);
    RightClick(list, kFileListId, row);
    EXPECT_FALSE(g_propertiesGrayed);
    EXPECT_EQ(ContextNode, Child(ProjectRoot(), "zeta")) << ContextNode;

    // In the tree a new folder goes into the folder clicked, which becomes current.
    auto labelOf = [&](ProjectNode* folder) {
        RECT label = {};
        *reinterpret_cast<HTREEITEM*>(&label) = static_cast<HTREEITEM>(folder->treeItem);
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
        return label;
    };
    RECT label = labelOf(zeta);
    RightClick(tree, kFolderTreeId, {label.left + 2, (label.top + label.bottom) / 2});
    EXPECT_EQ(g_menusShown, 1);
    EXPECT_EQ(ContextNode, zeta);
    SendMessageA(GetParent(tree), WM_COMMAND, IDC_NEW_FOLDER, 0);
    EXPECT_EQ(CurrentFolder(), zeta);
    EXPECT_NE(Child(zeta, "新規フォルダ"), nullptr);
    EXPECT_EQ(Column(0), "inner inner.txt 新規フォルダ");

    // Nothing but an item opens the tree's menu.
    RightClick(tree, kFolderTreeId, {label.left + 2, 300});
    EXPECT_EQ(g_menusShown, 0);

    // On the folder that is current already, the list is refilled and the status line shows the
    // folder all the same; "削除(&D)" leaves the root.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ProjectRoot()->treeItem));
    Child(ProjectRoot(), "a.txt")->level = 7;
    SelectRows({4});
    ASSERT_EQ(Cell(4, 0), "a.txt");
    ASSERT_EQ(StatusText(), "圧縮レベル:7 パスワード:");
    label = labelOf(ProjectRoot());
    RightClick(tree, kFolderTreeId, {label.left + 2, (label.top + label.bottom) / 2});
    SetFocus(tree);
    SendMessageA(GetParent(tree), WM_COMMAND, IDC_DELETE_ENTRY, 0);
    EXPECT_EQ(CurrentFolder(), ProjectRoot());
    EXPECT_EQ(StatusText(), "圧縮レベル:- パスワード:");
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(Column(0), "Alpha zeta 新規フォルダ B.txt a.txt big.bin");
}

TEST_F(PanesTest, TheStatusLineFollowsTheSelectedEntry)
{
    AddSampleFiles();
    SelectRows({3});
    EXPECT_EQ(StatusText(), "圧縮レベル:- パスワード:");
    ProjectNode* zeta = Child(ProjectRoot(), "zeta");
    zeta->level = 2;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(zeta->treeItem));
    EXPECT_EQ(StatusText(), "圧縮レベル:2 パスワード:");
}

TEST_F(PanesTest, PropertiesFromTheListGoToEverySelectedRow)
{
    AddSampleFiles();
    SelectRows({2, 3, 4});
    RightClick(list, kFileListId, RowPoint(3));
    ProjectNode* clicked = ContextNode;
    ASSERT_NE(clicked, nullptr);
    ModalWatcher dialog("ファイルの設定", IDOK, 20000, [](HWND box) {
        SendDlgItemMessageA(box, IDC_LEVEL_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(box, IDC_LEVEL_TEXT, "3");
        SendDlgItemMessageA(box, IDC_PASSWORD_ENABLE, BM_CLICK, 0, 0);
        SetDlgItemTextA(box, IDC_PASSWORD_TEXT, "pw");
    });
    SendMessageA(GetParent(list), WM_COMMAND, IDC_PROPERTIES, 0);
    ASSERT_TRUE(dialog.Wait().found);
    for (const char* name : {"a.txt", "B.txt", "big.bin"}) {
        ProjectNode* entry = Child(ProjectRoot(), name);
        EXPECT_EQ(entry->level, 3) << name;
        ASSERT_NE(entry->password, nullptr) << name;
        EXPECT_STREQ(entry->password, "pw") << name;
    }
    EXPECT_EQ(Child(ProjectRoot(), "zeta")->level, -1);
    EXPECT_EQ(StatusText(), "圧縮レベル:3 パスワード:pw");
}

TEST_F(PanesTest, AShortcutShowsTheShellsIconWithTheLinkOverlay)
{
    std::string target = disk.WriteFile("target.txt", "t");
    std::string shortcut = disk.Join("link.lnk");
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(file->Save(wide, TRUE), S_OK);
    file->Release();
    link->Release();

    for (const std::string& path : {target, shortcut})
        AddDiskPath(path.c_str(), false, ProjectRoot());
    FillFileList();
    std::vector<UINT> overlays;
    for (int row = 0; row < 2; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE | LVIF_STATE;
        item.iItem = row;
        item.stateMask = LVIS_OVERLAYMASK;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_GE(item.iImage, 0) << row;
        overlays.push_back(item.state & LVIS_OVERLAYMASK);
    }
    EXPECT_EQ(Cell(0, 0), "link.lnk");
    EXPECT_EQ(overlays, (std::vector<UINT>{INDEXTOOVERLAYMASK(2), 0}));
    CoUninitialize();
}

class PanesStartTest : public PanesTest {
protected:
    bool CreatesWindowInSetUp() override { return false; }
};

TEST_F(PanesStartTest, MissingColumnWidthsKeepTheirDefaults)
{
    AppSettings->SetValue("WINDOW", "ListColumnWidth", "50,60");
    AppSettings->SetValue("WINDOW", "ListSortColumn", "-2147483646");
    CreateMain();
    list = FileListWindow();
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i)
        widths.push_back(static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)));
    EXPECT_EQ(widths, (std::vector<int>{50, 60, 120, 240}));
    EXPECT_EQ(CurrentListLayout().sortKey, 2 | INT32_MIN);
}
