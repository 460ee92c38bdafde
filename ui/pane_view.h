#pragma once
#include <windows.h>
#include <commctrl.h>

// The folder tree and the file list, as the project model sees them.

// Creates both panes in their containers and installs them as the model's views; the project's
// tree is then shown from the root.
void CreatePanes(HWND treePane, HWND listPane);
// Before the project is freed with the main window: the model stops talking to the panes and
// their notifications are ignored.
void DetachPanes();

// The shell's small-icon list, shared by both panes and never destroyed by them.
HIMAGELIST SystemSmallImages();
// Where the shell's folder icons stand in that list. The fixed positions of some systems' lists
// (3, 4, 5) hold other icons elsewhere, so they are asked for.
struct FolderImages {
    int closed;
    int open;
};
const FolderImages& SystemFolderImages();
// Holds the panes' drawing while many rows and items change; calls nest.
void LockPaneUpdates(bool locked);

struct ProjectNode;
// The end of a label edit in either pane: RenameEntry once. A refusal's message box takes the
// focus from the edit, which ends the edit a second time; that second end is refused quietly.
bool RenameFromLabelEdit(ProjectNode* node, const char* text);
