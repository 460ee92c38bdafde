#pragma once

struct ProjectNode;
class SettingsDocument;

// A project file is a settings document with the sections INFOMATION (identity), PROPERTY (the
// project's settings), PROJECT (PROJECTNAME) and FILELIST: the tree as TAB-separated lines in
// pre-order, one per folder start, file entry and folder end:
//   folder start  flag TAB password TAB level TAB ">" TAB name
//   file entry    flag TAB password TAB level TAB name TAB source path
//   folder end    TAB TAB TAB "<"
// The flag is "1" when the entry has its own password. Every child list, the top level included,
// ends with a folder-end line.

extern const char kProjectIdentity[];
// The project file last opened or saved; empty for a new project and after a failed open.
extern char CurrentProjectPath[260];

// Writes the project name and the tree into `document` before it is saved. Refuses, with a
// message and leaving the document as it was, when an entry would not read back as it is.
bool StoreProject(SettingsDocument* document);

// Appends the lines of one child list (and of everything below it) to FILELIST, then its
// folder-end line. False when a line could not be stored.
bool SaveFileList(SettingsDocument* document, const ProjectNode* firstOfList);

// Rebuilds the tree, the project name and the folder tree from a loaded document.
void LoadProjectTree(SettingsDocument* document);

// Starts a new project (empty path) or loads a project file into ProjectDocument and rebuilds the
// tree, also after a failure. 0 on success; 1 after a message when the file could not be read or
// is not a project file.
int OpenProject(const char* path);
