#pragma once

struct ProjectNode;

// The name of a new project.
extern const char kDefaultProjectName[];

// The one project of the run: its root lives for the whole program and stands for the project
// (its name is the project name, its level and password the project's effective settings).
ProjectNode* ProjectRoot();
// The folder whose entries the file list shows; the default target of additions.
ProjectNode* CurrentFolder();
void SetCurrentFolder(ProjectNode* folder);
// The entry whose effective settings the status bar showed last; none at first.
ProjectNode* StatusNode();
void SetStatusNode(ProjectNode* node);
