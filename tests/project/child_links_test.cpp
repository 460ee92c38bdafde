#include "project/child_links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "project/entry_names.h"
#include "project/project_node.h"
#include "tests/support/project_fixture.h"

TEST(NamesEqual, FoldsAsciiLettersOnly)
{
    struct Row {
        const char* a;
        const char* b;
        bool equal;
    } rows[] = {
        {"readme.TXT", "README.txt", true},
        {"a", "a ", false},
        {"", "", true},
        {"[", "{", false},          // _stricmp folds letters only
        {"\x82\x60", "\x82\x81", false},  // Ａ and ａ are different bytes
        {"\x83\x41", "\x83\x61", true},   // a trail byte that is a letter folds too, as _stricmp does
    };
    for (const Row& row : rows)
        EXPECT_EQ(NamesEqual(row.a, row.b), row.equal) << row.a << " / " << row.b;
}

using ChildLinksTest = ProjectTest;

// Random inserts, renames and deletes over a few folders, then checked against a plain map: every
// live name is found under its folder, every list is linked both ways, no removed name is found.
TEST_F(ChildLinksTest, TheIndexAgreesWithTheTreeThroughManyChanges)
{
    std::mt19937 random(20240611);
    std::vector<ProjectNode*> folders{Root(), Folder(Root(), "f1"), Folder(Root(), "f2")};
    std::map<std::pair<ProjectNode*, std::string>, ProjectNode*> expected;
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return text;
    };
    for (ProjectNode* folder : {folders[1], folders[2]})
        expected[{Root(), folder->name}] = folder;
    std::vector<std::string> removed;
    for (int step = 0; step < 6000; ++step) {
        ProjectNode* folder = folders[random() % folders.size()];
        std::string name = "n" + std::to_string(random() % 700) + (random() % 2 ? "A" : "a");
        int action = random() % 3;
        auto it = expected.find({folder, lower(name)});
        if (action == 0 || it == expected.end()) {
            ProjectNode* node = File(folder, ("C:\\" + std::to_string(step)).c_str(), name.c_str());
            ASSERT_NE(node, nullptr);
            if (it == expected.end())
                expected[{folder, lower(name)}] = node;
            else
                expected[{folder, lower(node->name)}] = node;  // renamed with a counter
        } else if (action == 1) {
            if (it->second->IsFolder())
                continue;
            removed.push_back(it->second->name);
            DeleteEntry(it->second);
            expected.erase(it);
        } else {
            std::string renamed = "r" + std::to_string(random() % 700);
            if (it->second->IsFolder() || expected.count({folder, renamed}))
                continue;
            ProjectNode* node = it->second;
            ASSERT_TRUE(RenameEntry(node, renamed.c_str()));
            expected.erase(it);
            expected[{folder, renamed}] = node;
        }
    }
    for (auto& [key, node] : expected) {
        std::string upper = key.second;
        for (char& c : upper)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        EXPECT_EQ(FindChildNamed(key.first, upper.c_str()), node) << key.second;
    }
    size_t linked = 0;
    for (ProjectNode* folder : folders) {
        const ProjectNode* previous = nullptr;
        for (ProjectNode* child = folder->firstChild; child; previous = child, child = child->nextSibling) {
            ++linked;
            EXPECT_EQ(child->parent, folder) << child->name;
            EXPECT_EQ(child->prevSibling, previous) << child->name;
            EXPECT_EQ(expected.count({folder, lower(child->name)}), 1u) << child->name;
        }
    }
    EXPECT_EQ(linked, expected.size());
    for (const std::string& name : removed) {
        for (ProjectNode* folder : folders) {
            if (expected.count({folder, lower(name)}) == 0) {
                EXPECT_EQ(FindChildNamed(folder, name.c_str()), nullptr) << name;
            }
        }
    }
}
