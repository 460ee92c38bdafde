#pragma once
#include <vector>

struct ProjectNode;

// What the project model asks of the two panes and the main window when it changes the tree.
// The folder tree shows the root and every folder; the file list shows the entries of the current
// folder. The model decides when each call is due; a view only carries it out. Batch mode has no
// views: with none installed every call does nothing and the queries answer "no focus" and "no
// selection".
class ProjectView {
public:
    virtual ~ProjectView() = default;

    // Folder tree.
    // Every item goes; the root's item is made and selected (the root becomes the current folder
    // and the file list empties).
    virtual void ResetTree() = 0;
    // A new folder's item under its parent's item; the view keeps the item in `treeItem`.
    virtual void AddFolderItem(ProjectNode* folder) = 0;
    // The folder's item goes. The items of the folders below it have gone before it. The node
    // is already out of its parent's list; the tree may now select another folder.
    virtual void DeleteFolderItem(ProjectNode* folder) = 0;
    virtual void ExpandFolderItem(ProjectNode* folder) = 0;

    // File list: rows are appended at the end and stay unsorted until the next refill.
    virtual void AppendRow(ProjectNode* entry) = 0;
    virtual void DeleteRow(ProjectNode* entry) = 0;
    // Clears the selection of every row, then selects and focuses this entry's row.
    virtual void SelectOnlyRow(ProjectNode* entry) = 0;
    // Starts editing the label of this entry's row.
    virtual void EditRowLabel(ProjectNode* entry) = 0;
    virtual bool ListHasFocus() = 0;
    // The entries of the selected rows, in row order.
    virtual std::vector<ProjectNode*> SelectedEntries() = 0;

    // Main window.
    // Locks or unlocks the window's drawing around changes of many rows and items.
    virtual void LockUpdates(bool locked) = 0;
    virtual void SetStatusText(const char* text) = 0;
};

// Installs the views of the main window; none when it goes (and in batch mode).
void SetProjectView(ProjectView* view);
// The installed views, or a stand-in that does nothing.
ProjectView& ActiveView();
