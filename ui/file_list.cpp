#include "ui/file_list.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/format_text.h"
#include "project/list_columns.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "ui/folder_tree.h"
#include "ui/list_layout.h"
#include "ui/main_window.h"
#include "ui/pane_drag.h"
#include "ui/pane_view.h"
#include "ui/property_dialog.h"
#include "ui/split_layout.h"

namespace {

// 1980-01-01 00:00:00 in UTC+9: what a file that cannot be read shows.
const ULONGLONG kUnreadableFileTime = 0x01A8E75471EDD800ULL;
const int kAppendIndex = 2147483647;

HWND g_list;
WNDPROC g_listControlProc;
// The node of the row selected last, shown again in the status bar when the list gets the focus.
ProjectNode* g_lastSelected;

struct Column {
    const char* title;
    int format;
};
const Column kColumns[kListColumnCount] = {
    {"名前", LVCFMT_LEFT}, {"サイズ", LVCFMT_RIGHT}, {"更新日時", LVCFMT_LEFT}, {"元ファイル", LVCFMT_LEFT}};

int FindRow(const ProjectNode* node)
{
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(node);
    return static_cast<int>(SendMessageA(g_list, LVM_FINDITEMA, -1, reinterpret_cast<LPARAM>(&find)));
}

int NextRow(int after, UINT state)
{
    return static_cast<int>(SendMessageA(g_list, LVM_GETNEXTITEM, after, state));
}

void SetSubItemText(int row, int column, char* text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = text;
    SendMessageA(g_list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int InsertRow(ProjectNode* node, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = kAppendIndex;
    item.pszText = node->name;
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(node);
    return static_cast<int>(SendMessageA(g_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

// Size and time as the file is now: a refill shows changes made on disk since it was added.
void ReadFileState(ProjectNode* node)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME written;
    if (GetFileAttributesExA(node->sourcePath, GetFileExInfoStandard, &data)) {
        node->fileSize = static_cast<int64_t>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) |
                                              data.nFileSizeLow);
        written = data.ftLastWriteTime;
    } else {
        node->fileSize = 0;
        written.dwLowDateTime = static_cast<DWORD>(kUnreadableFileTime);
        written.dwHighDateTime = static_cast<DWORD>(kUnreadableFileTime >> 32);
    }
    FormatSizeKB(node->fileSize, node->sizeText, sizeof node->sizeText);
    FILETIME local;
    SYSTEMTIME time;
    if (FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &time))
        FormatText(node->timeText, sizeof node->timeText, "%4d/%02d/%02d %02d:%02d:%02d", time.wYear,
                   time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM key)
{
    return CompareEntries(reinterpret_cast<ProjectNode*>(a), reinterpret_cast<ProjectNode*>(b),
                          static_cast<int32_t>(key));
}

void OnGetDisplayInfo(NMLVDISPINFOA* info)
{
    LVITEMA& item = info->item;
    if (item.iSubItem != 0 || (item.mask & LVIF_IMAGE) == 0)
        return;
    ProjectNode* node = ListRowNode(item.iItem);
    if (node == nullptr)
        return;
    SHFILEINFOA file = {};
    SHGetFileInfoA(node->sourcePath, 0, &file, sizeof file,
                   SHGFI_SYSICONINDEX | SHGFI_ATTRIBUTES | SHGFI_SMALLICON);
    item.iImage = file.iIcon;
    item.state = 0;
    item.stateMask = 0;
    item.mask |= LVIF_DI_SETITEM;
    if (file.dwAttributes & SFGAO_LINK) {
        item.mask |= LVIF_STATE;
        item.state = INDEXTOOVERLAYMASK(2);
        item.stateMask = LVIS_OVERLAYMASK;
    }
}

LRESULT OnEndLabelEdit(const NMLVDISPINFOA* edit)
{
    if ((edit->item.mask & LVIF_TEXT) == 0 || edit->item.pszText == nullptr)
        return 0;
    ProjectNode* node = ListRowNode(edit->item.iItem);
    if (!RenameFromLabelEdit(node, edit->item.pszText))
        return 0;
    HWND tree = FolderTreeWindow();
    if (node->treeItem != nullptr && tree != nullptr) {
        TVITEMA item = {};
        item.mask = TVIF_HANDLE | TVIF_TEXT;
        item.hItem = static_cast<HTREEITEM>(node->treeItem);
        item.pszText = node->name;
        SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return 1;
}

void OnItemChanged(const NMLISTVIEW* change)
{
    if ((change->uNewState & LVIS_SELECTED) == 0)
        return;
    ProjectNode* node = ListRowNode(change->iItem);
    if (node == nullptr)
        return;
    g_lastSelected = node;
    ShowEntryStatus(node);
}

void OnSetFocus()
{
    ListHasFocus = true;
    if (g_lastSelected != nullptr)
        ShowEntryStatus(g_lastSelected);
}

// A folder row opens the folder; a file row does nothing.
void OpenRow(int row)
{
    ProjectNode* node = ListRowNode(row);
    if (node != nullptr && node->IsFolder())
        SelectFolder(node);
}

void OnColumnClick(const NMLISTVIEW* click)
{
    if (click->iSubItem < 0)
        return;
    int32_t& key = CurrentListLayout().sortKey;
    key = NextSortKey(key, click->iSubItem);
    SortFileList();
}

void OnRightClick(HWND pane)
{
    ContextNode = ListNodeAtCursor();
    ShowEntryMenu(pane, ContextNode == nullptr);
}

LRESULT OnNotify(HWND pane, NMHDR* header)
{
    if (g_list == nullptr || header->idFrom != kFileListId)
        return 0;
    switch (header->code) {
    case LVN_GETDISPINFOA:
        OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOA*>(header));
        break;
    case LVN_COLUMNCLICK:
        OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header));
        break;
    case LVN_ENDLABELEDITA:
        return OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOA*>(header));
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<NMLISTVIEW*>(header));
        break;
    case NM_SETFOCUS:
        OnSetFocus();
        break;
    case NM_KILLFOCUS:
        ListHasFocus = false;
        break;
    case NM_DBLCLK:
        OpenRow(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        break;
    case NM_RETURN:
        OpenRow(NextRow(-1, LVNI_FOCUSED));
        break;
    case NM_RCLICK:
        OnRightClick(pane);
        break;
    case LVN_BEGINDRAG:
        StartEntryDrag(nullptr);  // the selected rows
        break;
    }
    return DefWindowProcA(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header));
}

void OnCommand(int command)
{
    switch (command) {
    case IDC_PROPERTIES:
        if (ContextNode != nullptr && EditEntryProperties(ContextNode, IDD_ENTRY_SETTINGS, RunEntryDialog)) {
            ApplyPropertiesToSelection(ContextNode);
            ShowEntryStatus(nullptr);  // the entry shown may be one of the others
        }
        break;
    case IDC_NEW_FOLDER:
        CreateNewFolder();
        break;
    case IDC_DELETE_ENTRY:
        DeleteSelection();
        break;
    }
}

LRESULT CALLBACK ListPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        return OnNotify(pane, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        break;
    case WM_SIZE:
        FitViewToPane(g_list, pane);
        break;
    }
    return DefWindowProcA(pane, message, wParam, lParam);
}

// Backspace goes up one folder, as in the shell's own windows.
LRESULT CALLBACK ListControlProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_BACK)
        GoToParentFolder();
    return CallWindowProcA(g_listControlProc, list, message, wParam, lParam);
}

}  // namespace

ProjectNode* ListRowNode(int row)
{
    if (row < 0 || g_list == nullptr)
        return nullptr;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(g_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<ProjectNode*>(item.lParam);
}

ProjectNode* ListNodeAtCursor()
{
    if (g_list == nullptr)
        return nullptr;
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(g_list, &hit.pt);
    int row = static_cast<int>(SendMessageA(g_list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) != 0 ? ListRowNode(row) : nullptr;
}

void SetListRowState(int row, UINT state, UINT mask)
{
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(g_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

HWND CreateFileList(HWND pane)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(pane, GWLP_HINSTANCE));
    SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListPaneProc));
    g_list = CreateWindowExA(0, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS |
                                 LVS_EDITLABELS,
                             0, 0, 0, 0, pane, reinterpret_cast<HMENU>(kFileListId), instance, nullptr);
    if (g_list == nullptr)
        return nullptr;
    const ListLayout& layout = CurrentListLayout();
    for (int i = 0; i < kListColumnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = kColumns[i].format;
        column.cx = layout.widths[i];
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.iSubItem = i;
        SendMessageA(g_list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(g_list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SystemSmallImages()));
    g_listControlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListControlProc)));
    SortFileList();
    FitViewToPane(g_list, pane);
    return g_list;
}

HWND FileListWindow()
{
    return g_list;
}

void ForgetFileList()
{
    g_list = nullptr;
    g_lastSelected = nullptr;
    ListHasFocus = false;
}

void FillFileList()
{
    if (g_list == nullptr)
        return;
    // The rows' nodes may be gone after this; so may the one selected last.
    g_lastSelected = nullptr;
    LockPaneUpdates(true);
    SendMessageA(g_list, LVM_DELETEALLITEMS, 0, 0);
    if (ProjectNode* folder = CurrentFolder()) {
        for (ProjectNode* child = folder->firstChild; child != nullptr; child = child->nextSibling) {
            if (child->IsFolder())
                AddFolderRow(child);
            else
                AddFileRow(child);
        }
        SortFileList();
    }
    LockPaneUpdates(false);
}

void SortFileList()
{
    if (g_list != nullptr)
        SendMessageA(g_list, LVM_SORTITEMS, static_cast<WPARAM>(CurrentListLayout().sortKey),
                     reinterpret_cast<LPARAM>(CompareRows));
}

void AddFileRow(ProjectNode* node)
{
    ReadFileState(node);
    if (g_list == nullptr)
        return;
    int row = InsertRow(node, I_IMAGECALLBACK);
    SetSubItemText(row, 1, node->sizeText);
    SetSubItemText(row, 2, node->timeText);
    SetSubItemText(row, 3, node->sourcePath);
}

void AddFolderRow(ProjectNode* node)
{
    if (g_list == nullptr)
        return;
    node->sizeText[0] = '\0';
    node->timeText[0] = '\0';
    node->fileSize = 0;
    int row = InsertRow(node, SystemFolderImages().closed);
    SetSubItemText(row, 1, node->sizeText);
    SetSubItemText(row, 2, node->timeText);
}

void DeleteEntryRow(ProjectNode* node)
{
    if (g_list == nullptr)
        return;
    if (g_lastSelected == node)
        g_lastSelected = nullptr;
    int row = FindRow(node);
    if (row >= 0)
        SendMessageA(g_list, LVM_DELETEITEM, row, 0);
}

void DeleteSelectedRows()
{
    if (g_list == nullptr)
        return;
    g_lastSelected = nullptr;
    LockPaneUpdates(true);
    for (int row = static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row) {
        if ((SendMessageA(g_list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) == 0)
            continue;
        ProjectNode* node = ListRowNode(row);
        SendMessageA(g_list, LVM_DELETEITEM, row, 0);
        DeleteEntry(node);
    }
    LockPaneUpdates(false);
}

void SelectOnlyEntryRow(ProjectNode* node)
{
    if (g_list == nullptr)
        return;
    SetListRowState(-1, 0, LVIS_SELECTED);
    int row = FindRow(node);
    if (row < 0)
        return;
    SetListRowState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(g_list, LVM_ENSUREVISIBLE, row, FALSE);
}

void EditEntryRowLabel(ProjectNode* node)
{
    if (g_list == nullptr)
        return;
    int row = FindRow(node);
    if (row >= 0)
        SendMessageA(g_list, LVM_EDITLABELA, row, 0);
}

void StartListRename()
{
    if (ListHasFocus && g_list != nullptr) {
        int row = NextRow(-1, LVNI_FOCUSED);
        if (row >= 0)
            SendMessageA(g_list, LVM_EDITLABELA, row, 0);
    }
}

std::vector<ProjectNode*> SelectedRowEntries()
{
    std::vector<ProjectNode*> entries;
    if (g_list == nullptr)
        return entries;
    for (int row = NextRow(-1, LVNI_SELECTED); row >= 0; row = NextRow(row, LVNI_SELECTED)) {
        if (ProjectNode* node = ListRowNode(row))
            entries.push_back(node);
    }
    return entries;
}
