#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/project_view.h"
#include "tests/support/error_recorder.h"

using Calls = std::vector<std::string>;

// A view that writes down each call as "Call name" and answers the selection query as set.
class RecordingView : public ProjectView {
public:
    Calls calls;
    std::vector<ProjectNode*> selected;

    void ResetTree() override { calls.push_back("ResetTree"); }
    void AddFolderItem(ProjectNode* folder) override { Note("AddFolderItem", folder); }
    void DeleteFolderItem(ProjectNode* folder) override { Note("DeleteFolderItem", folder); }
    void ExpandFolderItem(ProjectNode* folder) override { Note("ExpandFolderItem", folder); }
    void AppendRow(ProjectNode* entry) override { Note("AppendRow", entry); }
    void DeleteRow(ProjectNode* entry) override { Note("DeleteRow", entry); }
    void SelectOnlyRow(ProjectNode* entry) override { Note("SelectOnlyRow", entry); }
    void EditRowLabel(ProjectNode* entry) override { Note("EditRowLabel", entry); }
    bool ListHasFocus() override { return false; }
    std::vector<ProjectNode*> SelectedEntries() override { return selected; }
    void LockUpdates(bool locked) override { calls.push_back(locked ? "Lock" : "Unlock"); }
    void SetStatusText(const char* text) override { calls.push_back(std::string("Status ") + text); }

private:
    void Note(const char* call, ProjectNode* node) { calls.push_back(std::string(call) + " " + node->name); }
};

// An empty new project, no view, a message recorder and documents of its own for every test.
class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        std::swap(AppSettings, appSlot_);
        std::swap(ProjectDocument, projectSlot_);
    }
    void TearDown() override
    {
        Reset();
        std::swap(AppSettings, appSlot_);
        std::swap(ProjectDocument, projectSlot_);
        CurrentProjectPath[0] = '\0';
    }
    static void Reset()
    {
        SetProjectView(nullptr);
        ClearProject();
        ResetProjectRoot();
        ProjectRoot()->password = nullptr;
        SetStatusNode(nullptr);
    }

    static ProjectNode* Root() { return ProjectRoot(); }
    static ProjectNode* Folder(ProjectNode* parent, const char* name)
    {
        return InsertChild(parent, nullptr, true, nullptr, -1, name, nullptr);
    }
    static ProjectNode* File(ProjectNode* parent, const char* path, const char* name = nullptr)
    {
        return InsertChild(parent, path, false, nullptr, -1, name, nullptr);
    }
    // The tree below a folder as "name{children}"; `sorted` for trees in the disk's listing order.
    static std::string Shape(const ProjectNode* folder, bool sorted = false)
    {
        std::vector<std::string> parts;
        for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling)
            parts.push_back(child->name + (child->IsFolder() ? "{" + Shape(child, sorted) + "}" : ""));
        if (sorted)
            std::sort(parts.begin(), parts.end());
        std::string joined;
        for (const std::string& part : parts)
            joined += (joined.empty() ? "" : " ") + part;
        return joined;
    }

    ErrorRecorder errors;
    SettingsDocument app;
    SettingsDocument project;

private:
    SettingsDocument* appSlot_ = &app;
    SettingsDocument* projectSlot_ = &project;
};
