#pragma once
#include <windows.h>

#include <vector>

struct ProjectNode;

// The right pane: the entries of the current folder in four columns.
constexpr int kFileListId = 101;

// Turns the pane container into the list's pane and creates the control in it, with the widths
// and sort key of the list layout.
HWND CreateFileList(HWND pane);
// The control, none until it exists and after the main window has begun to go.
HWND FileListWindow();
void ForgetFileList();

// Rebuilds every row from the current folder and sorts them.
void FillFileList();
// Appends one row; a file's size and time are read again from disk.
void AddFileRow(ProjectNode* node);
void AddFolderRow(ProjectNode* node);
void DeleteEntryRow(ProjectNode* node);
// Deletes the entries of the selected rows with their rows.
void DeleteSelectedRows();
void SelectOnlyEntryRow(ProjectNode* node);
// The entry of a row; none when the row's data cannot be read.
ProjectNode* ListRowNode(int row);
// The entry whose row's icon or label is under the mouse cursor, or none.
ProjectNode* ListNodeAtCursor();
// LVM_SETITEMSTATE on one row, or on every row with -1.
void SetListRowState(int row, UINT state, UINT mask);
void EditEntryRowLabel(ProjectNode* node);
// The rename command for the list: edits the focused row while the list has the focus.
void StartListRename();
std::vector<ProjectNode*> SelectedRowEntries();
void SortFileList();
