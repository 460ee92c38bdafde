#pragma once
#include <windows.h>

#include "dnd/drop_target.h"

struct EntryPayload;
struct ProjectNode;

// The panes' side of drag and drop: entries dragged out of either pane, and the folder under the
// cursor while a drag hovers over them. A hovering drag marks that folder by selecting it: a
// folder row of the file list, or the folder tree's item, without making it the current folder.

// Drags `node` (from the folder tree) or, with none, the file list's selected rows; returns when
// the drag has ended.
void StartEntryDrag(ProjectNode* node);

// The folder a drop at the screen point would go to, or none. With a payload, the folder must be
// able to take the payload's entries and is marked; the entries of another main window are
// refused. Without one, any folder under the point answers and nothing is marked.
ProjectNode* ResolveDropTarget(POINT screenPoint, const EntryPayload* payload);

// Unmarks both panes; the tree selects the current folder again.
void ClearDropMarks();

// Moves the payload's entries into the folder under the point; true when they moved.
bool DropInternalEntries(POINT screenPoint, const EntryPayload* payload);

// Where shell files dropped at the mouse cursor go: the folder the hover showed there, else the
// current folder.
ProjectNode* ShellDropFolder();

// The panes' answers to the main window's drop target, refusing everything while a build runs.
DropPanes& PaneDrops();
