#pragma once
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "project/project_node.h"
#include "project/project_state.h"

// Builds a project tree by hand, past the naming rules, for tests that only read it; everything
// goes with the builder.
class TreeBuilder {
public:
    TreeBuilder() { Clear(); }
    ~TreeBuilder() { Clear(); }

    ProjectNode* Root() const { return ProjectRoot(); }

    // `password`: none inherits, "" switches encryption off below.
    ProjectNode* Folder(ProjectNode* parent, const std::string& name, int level = -1,
                        const char* password = nullptr)
    {
        ProjectNode* node = File(parent, name, "", level, password);
        node->flags = NODE_FOLDER;
        return node;
    }

    ProjectNode* File(ProjectNode* parent, const std::string& name, const std::string& sourcePath,
                      int level = -1, const char* password = nullptr)
    {
        nodes_.push_back(std::make_unique<ProjectNode>());
        ProjectNode* node = nodes_.back().get();
        strncpy(node->name, name.c_str(), sizeof node->name - 1);
        strncpy(node->sourcePath, sourcePath.c_str(), sizeof node->sourcePath - 1);
        node->level = level;
        if (password != nullptr) {
            passwords_.emplace_back(password);
            node->password = &passwords_.back()[0];
        }
        node->parent = parent;
        ProjectNode*& last = lastChild_[parent];
        if (last == nullptr) {
            parent->firstChild = node;
        } else {
            last->nextSibling = node;
            node->prevSibling = last;
        }
        last = node;
        return node;
    }

    void Clear()
    {
        ProjectNode* root = ProjectRoot();
        root->firstChild = nullptr;
        root->level = -1;
        root->password = nullptr;
        nodes_.clear();
        passwords_.clear();
        lastChild_.clear();
    }

private:
    std::vector<std::unique_ptr<ProjectNode>> nodes_;
    std::deque<std::string> passwords_;  // a deque keeps the texts where they are
    std::unordered_map<ProjectNode*, ProjectNode*> lastChild_;
};
