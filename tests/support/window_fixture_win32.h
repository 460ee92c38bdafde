#pragma once
// The real main window in the test's process, with empty settings and an empty project.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/child_links.h"
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
        folder = folder != nullptr ? folder : ProjectRoot();
        ProjectNode* found = name != nullptr ? FindChildNamed(folder, name) : folder;
        for (ProjectNode* child = folder->firstChild; !found && child; child = child->nextSibling)
            found = Node(name, child);
        return found;
    }
    // The cells of one column, joined by spaces; with LVNI_SELECTED only the selected rows'.
    std::string Column(int column = 0, UINT which = LVNI_ALL)
    {
        std::string texts;
        for (int row = -1, n = 0; (row = ListView_GetNextItem(list, row, which)) >= 0; ++n)
            texts += (n > 0 ? " " : "") + Cell(row, column);
        return texts;
    }
    std::string Cell(int row, int column)
    {
        char text[260] = "";
        ListView_GetItemText(list, row, column, text, sizeof text);
        return text;
    }
    int Row(const char* name)
    {
        LVFINDINFOA find = {LVFI_PARAM, nullptr, reinterpret_cast<LPARAM>(Node(name)), {}, 0};
        return ListView_FindItem(list, -1, &find);
    }
    void SelectRows(std::vector<const char*> names)
    {
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        for (const char* name : names)
            ListView_SetItemState(list, Row(name), state, state);
    }
    // Screen points on a row's label, a folder's tree item (none: the root) and below the rows.
    POINT RowPoint(const char* name)
    {
        RECT label;
        ListView_GetItemRect(list, Row(name), &label, LVIR_LABEL);
        return Screen(list, {label.left + 2, (label.top + label.bottom) / 2});
    }
    POINT TreePoint(const char* folder)
    {
        RECT label;
        TreeView_GetItemRect(tree, static_cast<HTREEITEM>(Node(folder)->treeItem), &label, TRUE);
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
