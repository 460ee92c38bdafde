#include "ui/list_layout.h"

#include <windows.h>
#include <commctrl.h>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "ui/file_list.h"

ListLayout& CurrentListLayout()
{
    static ListLayout layout;
    return layout;
}

void LoadListLayout()
{
    ListLayout& layout = CurrentListLayout();
    AppSettings->GetIntList("WINDOW", "ListColumnWidth", layout.widths, kListColumnCount);
    AppSettings->GetInt("WINDOW", "ListSortColumn", &layout.sortKey);
}

void StoreListLayout()
{
    ListLayout& layout = CurrentListLayout();
    if (HWND list = FileListWindow()) {
        for (int i = 0; i < kListColumnCount; ++i)
            layout.widths[i] = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    }
    AppSettings->SetIntList("WINDOW", "ListColumnWidth", layout.widths, kListColumnCount);
    AppSettings->SetInt("WINDOW", "ListSortColumn", layout.sortKey);
}
