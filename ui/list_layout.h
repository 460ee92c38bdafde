#pragma once

// The file list's persisted layout: four column widths and the sort key (bits 0-30 the column,
// bit 31 set for descending). Read from AppSettings before the list exists, written at close.
constexpr int kListColumnCount = 4;

struct ListLayout {
    int widths[kListColumnCount] = {120, 80, 120, 240};
    int sortKey = 0;
};

ListLayout& CurrentListLayout();
void LoadListLayout();
// Takes the widths from the list control when it exists, then writes both keys.
void StoreListLayout();
