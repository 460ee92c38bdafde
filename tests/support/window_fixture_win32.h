#pragma once
// The real main window created in the test's own process under the null graphics driver, with
// empty settings and an empty project; tests drive it with real messages and read its panes.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"
#include "ui/list_layout.h"
#include "ui/main_window.h"
#include "ui/split_layout.h"

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        AppSettings = new SettingsDocument;
        OpenProject("");
        Panes() = PaneWindows();
        SplitPosition() = 128;
        CurrentListLayout() = ListLayout();
        RegisterMainWindowClass(GetModuleHandleA(nullptr));
    }
    void CreateMain()
    {
        window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                                 512, 384, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        tree = FolderTreeWindow();
        list = FileListWindow();
    }
    void TearDown() override
    {
        if (window != nullptr)
            DestroyWindow(window);
        ProjectArgument[0] = '\0';
        MSG msg;  // the quit message posted by the destruction
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyDocuments();
    }

    void Command(int id) { SendMessageA(window, WM_COMMAND, id, 0); }
    std::string Status()
    {
        char text[256] = "";
        SendMessageA(Panes().statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // The first entry of that name, depth first; none: the root.
    ProjectNode* Node(const char* name, ProjectNode* folder = nullptr)
    {
        if (name == nullptr)
            return ProjectRoot();
        for (ProjectNode* child = (folder ? folder : ProjectRoot())->firstChild; child;
             child = child->nextSibling) {
            if (strcmp(child->name, name) == 0)
                return child;
            if (ProjectNode* below = Node(name, child))
                return below;
        }
        return nullptr;
    }
    HTREEITEM TreeItem(HTREEITEM from, UINT relation)
    {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
    }
    // The cells of one column, joined by spaces; with LVNI_SELECTED only the selected rows'.
    std::string Column(int column = 0, UINT which = LVNI_ALL)
    {
        std::string texts;
        for (int row = -1, n = 0; (row = Next(row, which)) >= 0; ++n)
            texts += (n > 0 ? " " : "") + Cell(row, column);
        return texts;
    }
    int Next(int row, UINT which)
    {
        return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, which));
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
    int Row(const char* name)
    {
        LVFINDINFOA find = {LVFI_PARAM, nullptr, reinterpret_cast<LPARAM>(Node(name)), {}, 0};
        LPARAM found = reinterpret_cast<LPARAM>(&find);
        return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, -1, found));
    }
    void SelectRows(std::vector<const char*> names)
    {
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&none));
        for (const char* name : names) {
            LVITEMA item = {};
            item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(list, LVM_SETITEMSTATE, Row(name), reinterpret_cast<LPARAM>(&item));
        }
    }
    // Screen points on the label of a row, of a folder's tree item (none: the root's), and at
    // the bottom of a control, below its rows.
    POINT RowPoint(const char* name)
    {
        RECT label = {};
        label.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, Row(name), reinterpret_cast<LPARAM>(&label));
        return Screen(list, {label.left + 2, (label.top + label.bottom) / 2});
    }
    POINT TreePoint(const char* folder)
    {
        RECT label = {};
        void* item = Node(folder)->treeItem;
        memcpy(&label, &item, sizeof item);
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
        return Screen(tree, {label.left + 2, (label.top + label.bottom) / 2});
    }
    POINT BelowTheRows(HWND control)
    {
        RECT client;
        GetClientRect(control, &client);
        return Screen(control, {client.right / 2, client.bottom - 4});
    }
    static POINT Screen(HWND control, POINT point)
    {
        ClientToScreen(control, &point);
        return point;
    }

    HWND window = nullptr, tree = nullptr, list = nullptr;
};

// Answers a file chooser with `path`, in the file name box of the common dialog.
inline void TypePath(HWND chooser, const std::string& path)
{
    SetDlgItemTextA(chooser, 0x047c /* cmb13 */, path.c_str());
    SetDlgItemTextA(chooser, 0x0480 /* edt1 */, path.c_str());
}
