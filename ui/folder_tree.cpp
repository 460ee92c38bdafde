#include "ui/folder_tree.h"

#include <commctrl.h>
#include <shellapi.h>

#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "ui/file_list.h"
#include "ui/main_window.h"
#include "ui/pane_drag.h"
#include "ui/pane_view.h"
#include "ui/property_dialog.h"
#include "ui/split_layout.h"

bool TreeSelectionSuppressed;
ProjectNode* ContextNode;

namespace {

HWND g_tree;
WNDPROC g_treeControlProc;

}  // namespace

ProjectNode* TreeItemNode(HTREEITEM item)
{
    if (item == nullptr)
        return nullptr;
    TVITEMA data = {};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!SendMessageA(g_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data)))
        return nullptr;
    return reinterpret_cast<ProjectNode*>(data.lParam);
}

ProjectNode* TreeNodeAtCursor()
{
    if (g_tree == nullptr)
        return nullptr;
    TVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(g_tree, &hit.pt);
    SendMessageA(g_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if ((hit.flags & TVHT_ONITEM) == 0)
        return nullptr;
    return TreeItemNode(hit.hItem);
}

namespace {

HTREEITEM InsertItem(ProjectNode* node, HTREEITEM parent, HTREEITEM after, int image, int selectedImage)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = node->name;
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(g_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void OnSelectionChanged(const NMTREEVIEWA* change)
{
    if (TreeSelectionSuppressed)
        return;
    ProjectNode* folder = TreeItemNode(change->itemNew.hItem);
    if (folder == nullptr)
        return;  // the items are going
    SetCurrentFolder(folder);
    FillFileList();
    ShowEntryStatus(folder);
}

LRESULT OnEndLabelEdit(const NMTVDISPINFOA* edit)
{
    if (edit->item.pszText == nullptr)
        return 0;
    return RenameFromLabelEdit(TreeItemNode(edit->item.hItem), edit->item.pszText) ? 1 : 0;
}

void OnSetFocus()
{
    TreeHasFocus = true;
    if (ProjectNode* current = CurrentFolder())
        ShowEntryStatus(current);
}

void OnRightClick(HWND pane)
{
    ProjectNode* node = TreeNodeAtCursor();
    if (node == nullptr)
        return;
    ContextNode = node;
    ShowEntryMenu(pane, false);
}

// Without a node the drag would take the list's selection instead; an unreadable item drags nothing.
void OnBeginDrag(const NMTREEVIEWA* drag)
{
    if (ProjectNode* node = TreeItemNode(drag->itemNew.hItem))
        StartEntryDrag(node);
}

LRESULT OnNotify(HWND pane, NMHDR* header)
{
    if (g_tree == nullptr || header->idFrom != kFolderTreeId)
        return 0;
    switch (header->code) {
    case TVN_SELCHANGEDA:
        OnSelectionChanged(reinterpret_cast<NMTREEVIEWA*>(header));
        break;
    case TVN_ENDLABELEDITA:
        return OnEndLabelEdit(reinterpret_cast<NMTVDISPINFOA*>(header));
    case NM_SETFOCUS:
        OnSetFocus();
        break;
    case NM_KILLFOCUS:
        TreeHasFocus = false;
        break;
    case NM_RCLICK:
        OnRightClick(pane);
        break;
    case TVN_BEGINDRAGA:
        OnBeginDrag(reinterpret_cast<NMTREEVIEWA*>(header));
        break;
    }
    return DefWindowProcA(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header));
}

// The context node becomes the current folder before a menu command acts on "the selection",
// with the list refilled and the status line showing it, also when it was current already.
void OpenContextFolder()
{
    bool wasCurrent = CurrentFolder() == ContextNode;
    SelectFolder(ContextNode);
    if (!wasCurrent && CurrentFolder() == ContextNode)
        return;  // the selection change did it
    SetCurrentFolder(ContextNode);
    FillFileList();
    ShowEntryStatus(ContextNode);
}

void OnCommand(int command)
{
    if (ContextNode == nullptr)
        return;
    switch (command) {
    case IDC_PROPERTIES:
        if (ContextNode == ProjectRoot())
            EditProjectSettings();
        else
            EditEntryProperties(ContextNode, IDD_ENTRY_SETTINGS, RunEntryDialog);
        break;
    case IDC_NEW_FOLDER:
        OpenContextFolder();
        CreateNewFolder();
        break;
    case IDC_DELETE_ENTRY:
        OpenContextFolder();
        DeleteSelection();
        break;
    }
}

LRESULT CALLBACK TreePaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        return OnNotify(pane, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        break;
    case WM_SIZE:
        FitViewToPane(g_tree, pane);
        break;
    }
    return DefWindowProcA(pane, message, wParam, lParam);
}

// Files reach the program only through OLE; old-style drops stop here.
LRESULT CALLBACK TreeControlProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DROPFILES)
        return 1;
    return CallWindowProcA(g_treeControlProc, tree, message, wParam, lParam);
}

}  // namespace

HWND CreateFolderTree(HWND pane)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(pane, GWLP_HINSTANCE));
    SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreePaneProc));
    g_tree = CreateWindowExA(0, WC_TREEVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | TVS_HASBUTTONS | TVS_HASLINES |
                                 TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                             0, 0, 0, 0, pane, reinterpret_cast<HMENU>(kFolderTreeId), instance, nullptr);
    if (g_tree == nullptr)
        return nullptr;
    SendMessageA(g_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(SystemSmallImages()));
    g_treeControlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeControlProc)));
    FitViewToPane(g_tree, pane);
    return g_tree;
}

HWND FolderTreeWindow()
{
    return g_tree;
}

void ForgetFolderTree()
{
    g_tree = nullptr;
    TreeHasFocus = false;
    ContextNode = nullptr;
}

void ResetFolderTree()
{
    if (g_tree == nullptr)
        return;
    // The items' nodes are already freed: no selection change may reach them while they go.
    bool suppressed = TreeSelectionSuppressed;
    TreeSelectionSuppressed = true;
    SendMessageA(g_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    TreeSelectionSuppressed = suppressed;
    ProjectNode* root = ProjectRoot();
    const FolderImages& images = SystemFolderImages();
    HTREEITEM item = InsertItem(root, TVI_ROOT, TVI_LAST, images.closed, images.closed);
    root->treeItem = item;
    SendMessageA(g_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void AddFolderTreeItem(ProjectNode* folder)
{
    if (g_tree == nullptr || folder->parent == nullptr)
        return;
    HTREEITEM parent = static_cast<HTREEITEM>(folder->parent->treeItem);
    const FolderImages& images = SystemFolderImages();
    folder->treeItem = InsertItem(folder, parent, TVI_SORT, images.closed, images.open);
}

void DeleteFolderTreeItem(ProjectNode* folder)
{
    if (g_tree == nullptr || folder->treeItem == nullptr)
        return;
    SendMessageA(g_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(folder->treeItem));
    folder->treeItem = nullptr;
}

void ExpandFolderTreeItem(ProjectNode* folder)
{
    if (g_tree != nullptr && folder != nullptr && folder->treeItem != nullptr)
        SendMessageA(g_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(folder->treeItem));
}

void SelectFolder(ProjectNode* folder)
{
    if (g_tree != nullptr && folder != nullptr && folder->treeItem != nullptr)
        SendMessageA(g_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(folder->treeItem));
}

void GoToParentFolder()
{
    ProjectNode* current = CurrentFolder();
    if (current != nullptr && current->parent != nullptr)
        SelectFolder(current->parent);
}

void DeleteSelection()
{
    if (TreeHasFocus && g_tree != nullptr) {
        LockPaneUpdates(true);
        HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageA(g_tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        ProjectNode* node = TreeItemNode(selected);
        if (node != nullptr && node != ProjectRoot())
            DeleteEntry(node);
        LockPaneUpdates(false);
    }
    if (ListHasFocus)
        DeleteSelectedRows();
}

void StartTreeRename()
{
    ProjectNode* current = CurrentFolder();
    if (TreeHasFocus && g_tree != nullptr && current != nullptr && current->treeItem != nullptr)
        SendMessageA(g_tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(current->treeItem));
}

void ShowEntryMenu(HWND pane, bool grayProperties)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(pane, GWLP_HINSTANCE));
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_CONTEXT));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    if (grayProperties) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STATE;
        item.fState = MFS_GRAYED;
        SetMenuItemInfoA(popup, IDC_PROPERTIES, FALSE, &item);
    }
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, pane, nullptr);
    DestroyMenu(menu);
}
