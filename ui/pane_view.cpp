#include "ui/pane_view.h"

#include <shellapi.h>

#include "project/entry_names.h"
#include "project/project_node.h"
#include "project/project_view.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"
#include "ui/main_window.h"
#include "ui/split_layout.h"

namespace {

class PaneView : public ProjectView {
public:
    void ResetTree() override { ResetFolderTree(); }
    void AddFolderItem(ProjectNode* folder) override { AddFolderTreeItem(folder); }
    void DeleteFolderItem(ProjectNode* folder) override { DeleteFolderTreeItem(folder); }
    void ExpandFolderItem(ProjectNode* folder) override { ExpandFolderTreeItem(folder); }
    void AppendRow(ProjectNode* entry) override;
    void DeleteRow(ProjectNode* entry) override { DeleteEntryRow(entry); }
    void SelectOnlyRow(ProjectNode* entry) override { SelectOnlyEntryRow(entry); }
    void EditRowLabel(ProjectNode* entry) override { EditEntryRowLabel(entry); }
    bool ListHasFocus() override { return ::ListHasFocus; }
    std::vector<ProjectNode*> SelectedEntries() override { return SelectedRowEntries(); }
    void LockUpdates(bool locked) override { LockPaneUpdates(locked); }
    void SetStatusText(const char* text) override;
};

void PaneView::AppendRow(ProjectNode* entry)
{
    if (entry->IsFolder())
        AddFolderRow(entry);
    else
        AddFileRow(entry);
}

void PaneView::SetStatusText(const char* text)
{
    if (HWND status = Panes().statusBar)
        SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

PaneView g_paneView;
int g_lockDepth;

// A visible list or tree redraws itself, scroll bars included, for every row it gains or loses;
// thousands of rows would take minutes. Held, they are drawn once at the end.
void SetPanesRedraw(bool on)
{
    for (HWND control : {FolderTreeWindow(), FileListWindow()}) {
        if (control == nullptr)
            continue;
        SendMessageA(control, WM_SETREDRAW, on, 0);
        if (on)
            InvalidateRect(control, nullptr, TRUE);
    }
}

}  // namespace

void CreatePanes(HWND treePane, HWND listPane)
{
    CreateFolderTree(treePane);
    CreateFileList(listPane);
    SetProjectView(&g_paneView);
    ResetFolderTree();
}

void DetachPanes()
{
    SetProjectView(nullptr);
    ForgetFolderTree();
    ForgetFileList();
    g_lockDepth = 0;
}

HIMAGELIST SystemSmallImages()
{
    static HIMAGELIST images;
    if (images == nullptr) {
        SHFILEINFOA info = {};
        images = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoA("", 0, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_OPENICON | SHGFI_SMALLICON));
        if (info.hIcon != nullptr)
            DestroyIcon(info.hIcon);  // only the list is wanted
    }
    return images;
}

const FolderImages& SystemFolderImages()
{
    static FolderImages images = {-1, -1};
    if (images.closed < 0) {
        const UINT flags = SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
        SHFILEINFOA info = {};
        SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags);
        images.closed = info.iIcon;
        SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags | SHGFI_OPENICON);
        images.open = info.iIcon;
    }
    return images;
}

void LockPaneUpdates(bool locked)
{
    if (locked) {
        if (g_lockDepth++ == 0)
            SetPanesRedraw(false);
    } else if (g_lockDepth > 0 && --g_lockDepth == 0) {
        SetPanesRedraw(true);
    }
}

bool RenameFromLabelEdit(ProjectNode* node, const char* text)
{
    static bool renaming;
    if (renaming || node == nullptr)
        return false;
    renaming = true;
    bool renamed = RenameEntry(node, text);
    renaming = false;
    return renamed;
}
