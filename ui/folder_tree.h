#pragma once
#include <windows.h>
#include <commctrl.h>

struct ProjectNode;

// The left pane: the project root and every folder. Its selection is the current folder.
constexpr int kFolderTreeId = 128;

// Turns the pane container into the tree's pane and creates the control in it.
HWND CreateFolderTree(HWND pane);
// The control, none until it exists and after the main window has begun to go.
HWND FolderTreeWindow();
// The control is going with the main window: nothing may reach it any more.
void ForgetFolderTree();

// Every item goes; the root's item is made and selected.
void ResetFolderTree();
void AddFolderTreeItem(ProjectNode* folder);
void DeleteFolderTreeItem(ProjectNode* folder);
void ExpandFolderTreeItem(ProjectNode* folder);
// The folder of an item; none when the item's data cannot be read.
ProjectNode* TreeItemNode(HTREEITEM item);
// The folder whose item's icon or label is under the mouse cursor, or none.
ProjectNode* TreeNodeAtCursor();
// Makes the folder current by selecting its item; the selection change refills the list.
void SelectFolder(ProjectNode* folder);
// The parent of the current folder becomes current; nothing at the root.
void GoToParentFolder();
// The delete command: the tree's selected folder (never the root) while the tree has the focus,
// then the list's selected rows while the list has it.
void DeleteSelection();
// The rename command for the tree: edits the current folder's label while the tree has the focus.
void StartTreeRename();

// Set while a drag marks a folder by selecting it, so that the mark does not change the current
// folder.
extern bool TreeSelectionSuppressed;

// The entry the last context menu of either pane was opened for.
extern ProjectNode* ContextNode;
// Shows context menu 112 at the cursor, owned by the pane; "プロパティ(&P)" greyed on request.
void ShowEntryMenu(HWND pane, bool grayProperties);
