#pragma once

struct ProjectNode;

// The one project of the run: its root lives for the whole program and stands for the project
// (its name is the project name, its level and password the project's effective settings).
ProjectNode* ProjectRoot();
// The folder whose entries the file list shows; the default target of additions.
ProjectNode* CurrentFolder();
void SetCurrentFolder(ProjectNode* folder);
