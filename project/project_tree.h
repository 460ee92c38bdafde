#pragma once
#include <string>
#include <vector>

struct ProjectNode;

// The operations that change the project tree. Each one tells the views (ActiveView) what to
// show; none of them walks the tree recursively, so trees of any depth are safe.

// Creates an entry under `folder` and applies the collision rules, or re-links `movedNode` (a
// node of a move, see CopyEntryInto) there. A new entry takes `name` as given, or else the last
// component of `sourcePath`; a file entry keeps `sourcePath` (260 bytes or longer: none), gets its
// own copy of `password` when one is given, and keeps `level`.
// Within a folder names are unique, compared case-insensitively:
//  - a folder meeting an entry of its name merges: the result is that entry, whatever its kind;
//  - a file meeting a file with the same source path is a duplicate: none;
//  - otherwise the newcomer is renamed "base(n)ext" (a name given as text: "name(n)").
// A node that is not linked (merged, duplicate, failed) is freed. None also when the folder is
// not a folder, on allocation failure, and when no "(n)" name fits in 259 bytes.
ProjectNode* InsertChild(ProjectNode* folder, const char* sourcePath, bool isFolder,
                         const char* password, int level, const char* name, ProjectNode* movedNode);

// InsertChild for the model's own callers. `created` tells a new entry from a merge. With
// `keepFolder`, a folder meeting a file entry of its name is not merged into that file entry but
// takes a free name by the same "(n)" rule, so the entries that come with it keep a folder.
ProjectNode* InsertEntry(ProjectNode* folder, const char* sourcePath, bool isFolder,
                         const char* password, int level, const char* name, ProjectNode* movedNode,
                         bool keepFolder, bool* created);

// Adds the file, or the directory with everything below it, at `path` to `targetFolder` (none:
// the current folder). New folders get tree items, new entries of the current folder get rows. A
// directory that merges into a file entry of its name is not added. The result is the added or
// merged entry, or none. Files and directories below whose names code page 932 cannot spell are
// left out; their paths, as they can be shown, go to `skipped` when it is given.
ProjectNode* AddDiskPath(const char* path, bool isDirectory, ProjectNode* targetFolder,
                         std::vector<std::string>* skipped = nullptr);

// Adds the paths of a shell drop, in order, with window updates locked, then expands the target.
// What the directories hold but could not be added goes to `skipped`, as AddDiskPath tells.
void AddDroppedPaths(const char* const* paths, int count, ProjectNode* targetFolder,
                     std::vector<std::string>* skipped = nullptr);

// Makes a new folder with a free name in the current folder, selects its row and, when the file
// list has the focus, starts editing its name. None when no folder could be made.
ProjectNode* CreateNewFolder();

// Takes an entry out of its folder and frees it with everything below it; the tree items of the
// folders among them go (innermost first). The row of the entry itself is the caller's to remove.
// The root is never deleted.
void DeleteEntry(ProjectNode* node);

// Frees every entry; the root becomes empty and current. Tree items are left to the caller.
void ClearProject();

// Resets the root to a new project's: no links, a folder without tree item, level -1 and the
// default name; it becomes the current folder. Its password is left alone.
void ResetProjectRoot();

// The new-project command: clears the tree and resets the root's name, level and links, and the
// folder tree. The root's password and the project document stay as they are.
void ResetProject();

// True when `node` is an entry of the sibling list that starts at `firstOfList`, or lies below one.
bool IsInSubtree(const ProjectNode* firstOfList, const ProjectNode* node);

// Whether the entries may be moved into `target`: not when the target is one of them, the folder
// one of them is already in, or lies below one of them.
bool CanMoveInto(const ProjectNode* const* entries, int count, const ProjectNode* target);

// Moves the entries with everything below them into `target`, merging folders and dropping
// duplicates as InsertChild does. Rows of moved entries of the current folder go. False (and
// nothing changes) when CanMoveInto refuses.
bool MoveEntries(ProjectNode* const* entries, int count, ProjectNode* target);

// One entry of a move: copies it and everything below it into `target` (the copies take over the
// passwords). The sources stay for MoveEntries to delete. The result is where the entry ended up:
// its copy, the folder it merged into, or none for a dropped duplicate.
ProjectNode* CopyEntryInto(ProjectNode* entry, ProjectNode* target);
