#include "ui/pane_drag.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/app_state_win32.h"
#include "core/file_io.h"
#include "dnd/entry_payload.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "ui/compress_job.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"

namespace {

// The marked row, or -1; the marked tree item, or none.
int g_listMark = -1;
HTREEITEM g_treeMark;

// Window rectangles and item bounds count their right and bottom edges as inside.
bool Contains(const RECT& box, POINT point)
{
    return point.x >= box.left && point.x <= box.right && point.y >= box.top && point.y <= box.bottom;
}

bool InWindow(HWND window, POINT screenPoint)
{
    RECT box;
    return window != nullptr && GetWindowRect(window, &box) && Contains(box, screenPoint);
}

POINT ToClient(HWND window, POINT screenPoint)
{
    ScreenToClient(window, &screenPoint);
    return screenPoint;
}

// Node references are addresses in the process that made the payload: only this window's count.
bool ForeignPayload(const EntryPayload* payload)
{
    return payload != nullptr && payload->window != nullptr && payload->window != g_mainWindow;
}

// Without a payload any folder may take the drop.
bool Takes(const EntryPayload* payload, const ProjectNode* folder)
{
    return payload == nullptr || CanMoveInto(EntryPayloadNodes(payload), payload->count, folder);
}

// The first visible tree item whose whole row holds the point (client coordinates) and whose
// folder can be read.
HTREEITEM TreeRowAt(HWND tree, POINT point, ProjectNode** folder)
{
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(SendMessageA(
                                tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
        RECT row = {};
        memcpy(&row, &item, sizeof item);  // the item goes in, its row comes out
        if (!SendMessageA(tree, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&row)) || !Contains(row, point))
            continue;
        if ((*folder = TreeItemNode(item)) != nullptr)
            return item;
    }
    return nullptr;
}

// The first folder row whose icon and label hold the point (client coordinates), or -1.
int FolderRowAt(HWND list, POINT point, ProjectNode** folder)
{
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        RECT bounds = {};
        bounds.left = LVIR_SELECTBOUNDS;
        if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)) ||
            !Contains(bounds, point))
            continue;
        ProjectNode* node = ListRowNode(row);
        if (node != nullptr && node->IsFolder()) {
            *folder = node;
            return row;
        }
    }
    return -1;
}

void MarkRow(int row)
{
    if (row == g_listMark)
        return;
    if (g_listMark >= 0)
        SetListRowState(g_listMark, 0, LVIS_SELECTED);
    SetListRowState(row, LVIS_SELECTED, LVIS_SELECTED);
    g_listMark = row;
}

// Selecting is the mark; the suppressed selection change keeps the current folder and the list.
void MarkTreeItem(HTREEITEM item)
{
    TreeSelectionSuppressed = true;
    SendMessageA(FolderTreeWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    g_treeMark = item;
    TreeSelectionSuppressed = false;
}

}  // namespace

void StartEntryDrag(ProjectNode* node)
{
    g_listMark = -1;
    g_treeMark = nullptr;
    std::vector<ProjectNode*> entries;
    if (node != nullptr)
        entries.push_back(node);
    else
        entries = SelectedRowEntries();
    int32_t count = static_cast<int32_t>(entries.size());
    void* buffer = nullptr;
    AllocPageBuffer(&buffer, EntryPayloadSize(count));
    if (buffer == nullptr)
        return;
    EntryPayload* payload = static_cast<EntryPayload*>(buffer);
    payload->window = g_mainWindow;
    payload->count = count;
    std::copy(entries.begin(), entries.end(), EntryPayloadNodes(payload));
    DoEntryDragDrop(payload);
    FreePageBuffer(&buffer);
}

ProjectNode* ResolveDropTarget(POINT screenPoint, const EntryPayload* payload)
{
    if (ForeignPayload(payload))
        return nullptr;
    ProjectNode* result = nullptr;
    HWND list = FileListWindow();
    HWND tree = FolderTreeWindow();
    ProjectNode* folder = nullptr;
    if (InWindow(list, screenPoint)) {
        int row = FolderRowAt(list, ToClient(list, screenPoint), &folder);
        if (row >= 0 && payload == nullptr)
            return folder;
        if (row >= 0 && Takes(payload, folder)) {
            MarkRow(row);
            return folder;
        }
        // Over the list's background, or over a row the entries cannot go into: the folder shown.
        ProjectNode* current = CurrentFolder();
        if (Takes(payload, current))
            result = current;
    } else if (InWindow(tree, screenPoint)) {
        HTREEITEM item = TreeRowAt(tree, ToClient(tree, screenPoint), &folder);
        if (item != nullptr && payload == nullptr)
            return folder;
        if (item != nullptr && Takes(payload, folder)) {
            MarkTreeItem(item);
            return folder;
        }
    }
    ClearDropMarks();
    return result;
}

void ClearDropMarks()
{
    if (g_listMark >= 0) {
        SetListRowState(g_listMark, 0, LVIS_SELECTED);
        g_listMark = -1;
    }
    if (g_treeMark != nullptr) {
        TreeSelectionSuppressed = true;
        SelectFolder(CurrentFolder());
        g_treeMark = nullptr;
        TreeSelectionSuppressed = false;
    }
}

bool DropInternalEntries(POINT screenPoint, const EntryPayload* payload)
{
    ProjectNode* target = ResolveDropTarget(screenPoint, nullptr);
    if (target == nullptr || payload == nullptr || ForeignPayload(payload))
        return false;
    // Unmarked before the move: the move may delete the current folder's item, and only while
    // that item is selected does the tree select another folder for the list to follow; under a
    // mark the list would keep rows of freed entries. The row indexes change with the move too.
    ClearDropMarks();
    return MoveEntries(EntryPayloadNodes(payload), payload->count, target);
}

ProjectNode* ShellDropFolder()
{
    // The folder the hover marked, also where the cursor is beside a folder's label rather than
    // on it; the list's background and file rows stand for the folder it shows.
    POINT cursor;
    GetCursorPos(&cursor);
    ProjectNode* folder = ResolveDropTarget(cursor, nullptr);
    return folder != nullptr ? folder : CurrentFolder();
}

DropPanes& PaneDrops()
{
    static class : public DropPanes {
    public:
        bool Busy() override { return CompressJobRunning(); }
        ProjectNode* ResolveTarget(POINT point, const EntryPayload* payload) override
        {
            return ResolveDropTarget(point, payload);
        }
        void ClearMarks() override { ClearDropMarks(); }
        bool DropEntries(POINT point, const EntryPayload* payload) override
        {
            return DropInternalEntries(point, payload);
        }
        ProjectNode* ShellFolder() override { return ShellDropFolder(); }
    } panes;
    return panes;
}
