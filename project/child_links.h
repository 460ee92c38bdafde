#pragma once
#include <cstdint>

struct ProjectNode;

// Linking entries into their folders. A folder's children stay a plain linked list in insertion
// order, but folders of tens of thousands of entries must not be walked on every insert: for each
// folder a name index (names folded as within a folder, ASCII letters only) and its last child
// are kept beside the tree. Every link and unlink of a child goes through here, and a folder's
// record goes when the folder is freed.

// True when two entry names are equal as names within one folder: ASCII letters folded, every
// other byte compared as it stands (trail bytes included).
bool NamesEqual(const char* a, const char* b);

// A hash of a name that equal names (see NamesEqual) share.
uint64_t NameHash(const char* name);

// The child of `folder` whose name equals `name` (see NamesEqual), or none.
ProjectNode* FindChildNamed(const ProjectNode* folder, const char* name);

// Appends `child` at the end of `folder`'s list and indexes it under its current name.
void LinkChild(ProjectNode* folder, ProjectNode* child);
// Takes `child` out of its parent's list and the index; its `parent` link stays for the caller.
void UnlinkChild(ProjectNode* child);

// Freeing a whole folder: its first child leaves the list only (no index upkeep), since the
// folder's record is dropped with ForgetFolder before the folder itself is freed.
void DetachFirstChild(ProjectNode* folder);
// Drops the record of a folder that is being freed (or emptied at once); must come before the
// folder's memory is released.
void ForgetFolder(const ProjectNode* folder);

// A linked child changes its name: unindex it before and index it again after.
void UnindexChild(ProjectNode* child);
void IndexChild(ProjectNode* child);
