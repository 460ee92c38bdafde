#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/project_view.h"
#include "tests/support/error_recorder.h"

// A view that writes down what the model asks of it, one "Call name" text per call, and answers
// the queries with what the test sets.
class RecordingView : public ProjectView {
public:
    std::vector<std::string> calls;
    bool listHasFocus = false;
    std::vector<ProjectNode*> selected;

    void ResetTree() override { calls.push_back("ResetTree"); }
    void AddFolderItem(ProjectNode* folder) override { Note("AddFolderItem", folder); }
    void DeleteFolderItem(ProjectNode* folder) override { Note("DeleteFolderItem", folder); }
    void ExpandFolderItem(ProjectNode* folder) override { Note("ExpandFolderItem", folder); }
    void AppendRow(ProjectNode* entry) override { Note("AppendRow", entry); }
    void DeleteRow(ProjectNode* entry) override { Note("DeleteRow", entry); }
    void SelectOnlyRow(ProjectNode* entry) override { Note("SelectOnlyRow", entry); }
    void EditRowLabel(ProjectNode* entry) override { Note("EditRowLabel", entry); }
    bool ListHasFocus() override { return listHasFocus; }
    std::vector<ProjectNode*> SelectedEntries() override { return selected; }
    void LockUpdates(bool locked) override { calls.push_back(locked ? "Lock" : "Unlock"); }
    void SetStatusText(const char* text) override { calls.push_back(std::string("Status ") + text); }

private:
    void Note(const char* call, ProjectNode* node) { calls.push_back(std::string(call) + " " + node->name); }
};

// Every test starts with an empty project named as new, no view and a recorder for messages; the
// tree is freed again at the end.
class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

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
    // The names of a folder's children in list order, joined by spaces.
    static std::string Names(const ProjectNode* folder)
    {
        std::string joined;
        for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling)
            joined += (joined.empty() ? "" : " ") + std::string(child->name);
        return joined;
    }
    // The whole tree below a folder, as "name{children}" in list order.
    static std::string Shape(const ProjectNode* folder)
    {
        // Iterative, so that it serves deep trees too.
        std::string text;
        const ProjectNode* node = folder->firstChild;
        while (node != nullptr) {
            if (!text.empty() && text.back() != '{')
                text += ' ';
            text += node->name;
            if (node->IsFolder()) {
                text += '{';
                if (node->firstChild != nullptr) {
                    node = node->firstChild;
                    continue;
                }
                text += '}';
            }
            while (node->nextSibling == nullptr && node->parent != folder) {
                node = node->parent;
                text += '}';
            }
            node = node->nextSibling;
        }
        return text;
    }

    // The same with each folder's children sorted by name, for trees read from disk, whose
    // listing order is the file system's.
    static std::string SortedShape(const ProjectNode* folder)
    {
        std::vector<std::string> parts;
        for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling) {
            std::string part = child->name;
            if (child->IsFolder())
                part += "{" + SortedShape(child) + "}";
            parts.push_back(part);
        }
        std::sort(parts.begin(), parts.end());
        std::string joined;
        for (const std::string& part : parts)
            joined += (joined.empty() ? "" : " ") + part;
        return joined;
    }

    ErrorRecorder errors;
};
