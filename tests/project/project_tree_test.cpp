#include "project/project_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "core/paths.h"
#include "project/child_links.h"
#include "project/entry_names.h"
#include "project/properties.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

using TreeTest = ProjectTest;

// Each row adds a file entry to the root; `made` is the name it gets, none when it is not added.
TEST_F(TreeTest, NewEntriesTakeTheirNameOrACounterAndFoldersMerge)
{
    const std::string base(255, 'p');  // the base part of a split path holds 255 bytes
    struct { std::string path; const char *name, *made; } rows[] = {
        {"C:\\a\\x.txt", nullptr, "x.txt"},
        {"C:\\b\\x.txt", nullptr, "x(1).txt"},  // the counter goes before the extension
        {"C:\\c\\X.TXT", nullptr, "X(2).TXT"},  // names compare without case
        {"c:\\A\\X.txt", nullptr, nullptr},     // the same file again: paths compare without case
        {"C:\\b\\X.TXT", nullptr, nullptr},     // meets x(1).txt, its own copy
        {"C:\\n\\1", "a.txt", "a.txt"},         // a name given as text gets the counter at its end
        {"C:\\n\\2", "A.TXT", "A.TXT(1)"},
        {"C:\\a\\.cfg", nullptr, ".cfg"},       // a leading dot is an extension, as on Windows
        {"C:\\b\\.cfg", nullptr, "(1).cfg"},
        {"C:\\src\\表.txt", nullptr, "表.txt"},  // the trail byte of 表 is "\"
        {"C:\\src\\a,b;c.txt", nullptr, "a,b;c.txt"},  // disk names skip the typed-name rules
        {"C:\\" + std::string(256, 'p'), nullptr, base.c_str()},  // 259 bytes fit
        {"D:\\" + std::string(257, 'p'), nullptr, nullptr},       // 260 do not
    };
    std::string names;
    for (const auto& row : rows) {
        ProjectNode* node = File(Root(), row.path.c_str(), row.name);
        EXPECT_EQ(node ? node->name : "-", std::string(row.made ? row.made : "-")) << row.path;
        names += node ? (names.empty() ? "" : " ") + std::string(row.made) : "";
    }
    EXPECT_EQ(Shape(Root()), names);
    // A 259-byte name keeps 255 bytes as its base: "(99)" fits, "(100)" does not, and is refused.
    ProjectNode* folder = Folder(Root(), "long");
    std::string name(259, 'n');
    for (int i = 0; i < 100; ++i) {
        ProjectNode* node = File(folder, ("C:\\" + std::to_string(i)).c_str(), name.c_str());
        ASSERT_NE(node, nullptr) << i;
        EXPECT_EQ(node->name, i ? std::string(255, 'n') + "(" + std::to_string(i) + ")" : name);
    }
    EXPECT_EQ(File(folder, "C:\\last", name.c_str()), nullptr);

    // Folders keep no source, entries their own copy of a password; folders merge.
    ProjectNode* kinds = Folder(Root(), "kinds");
    ProjectNode* source = InsertChild(kinds, "C:\\src\\ソース", true, nullptr, 4, nullptr, nullptr);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->name + std::string("|") + source->sourcePath, "ソース|");  // 0x5C trail too
    char text[] = "secret";
    ProjectNode* file = InsertChild(kinds, "C:\\d\\Note", false, text, -1, nullptr, nullptr);
    text[0] = 'X';
    EXPECT_STREQ(file->password, "secret");
    // Nothing goes below a file entry, nor in with a password a project file cannot carry.
    EXPECT_EQ(File(file, "C:\\g.txt"), nullptr);
    EXPECT_EQ(InsertChild(kinds, "C:\\h", false, "tab\there", -1, nullptr, nullptr), nullptr);
    EXPECT_EQ(Folder(kinds, "ソース"), source);
    EXPECT_EQ(Folder(kinds, "note"), file);  // InsertChild: a folder meeting a file gives the file
    // The model's own callers keep such a folder under a free name; folders still merge.
    bool created = false;
    auto keep = [&](const char* name) {
        return InsertEntry(kinds, nullptr, true, nullptr, -1, name, nullptr, true, &created);
    };
    EXPECT_TRUE(keep("note")->IsFolder() && created);
    EXPECT_STREQ(keep("NOTE")->name, "NOTE(2)");
    EXPECT_EQ(keep("ソース"), source);
    EXPECT_FALSE(created);
    EXPECT_EQ(Shape(kinds), "ソース{} Note note(1){} NOTE(2){}");
}

// Nothing left pointing at freed memory; a reset empties tree and index, keeping the settings.
TEST_F(TreeTest, DeleteLeavesNothingPointingAtFreedMemoryAndResetEmptiesTheProject)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    ProjectNode* g = Folder(Folder(b, "c"), "g");
    File(b, "C:\\f1");
    ProjectNode* keep = Folder(Root(), "keep");
    SetCurrentFolder(g);
    ShowEntryStatus(g);
    RecordingView view;
    SetProjectView(&view);
    DeleteEntry(b);
    EXPECT_EQ(CurrentFolder(), a);  // without a view that moves it, the nearest folder left
    EXPECT_EQ(StatusNode(), nullptr);
    DeleteEntry(a);
    DeleteEntry(Root());  // never deleted
    EXPECT_EQ(keep->prevSibling, nullptr);
    EXPECT_EQ(Shape(Root()), "keep{}");

    view.calls.clear();
    SetCurrentFolder(keep);
    ASSERT_TRUE(RenameEntry(Root(), "Release"));
    char projectPassword[] = "kept";
    Root()->password = projectPassword;
    ResetProject();
    EXPECT_EQ(view.calls, Calls{"ResetTree"});  // one reset, no item by item
    EXPECT_EQ(Shape(Root()) + "|" + Root()->name, "|新規書庫");
    EXPECT_EQ(Root()->password, projectPassword);
    EXPECT_EQ(CurrentFolder(), Root());
    EXPECT_STREQ(File(Root(), "C:\\other\\keep")->name, "keep");  // the index was emptied too
}

// Targets refused; then subtrees with their settings, merges, a duplicate, a folder meeting a file,
// an entry below another one listed and one listed twice, in one move.
TEST_F(TreeTest, MovesAreRefusedIntoThemselvesOrElseKeepSubtreesMergeAndTellTheView)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* src = Folder(from, "src");
    ProjectNode* lib = InsertChild(src, nullptr, true, "", 2, "lib", nullptr);
    ProjectNode* ac = InsertChild(lib, "C:\\w\\a.c", false, "p\xe9", 9, nullptr, nullptr);
    InsertChild(lib, "C:\\w\\b.c", false, nullptr, -1, "renamed.c", nullptr);
    Folder(lib, "empty");
    ProjectNode* nested = Folder(src, "nested");
    ProjectNode* docs = Folder(from, "Docs");
    File(docs, "C:\\d\\same.txt");
    File(docs, "C:\\d\\new.txt");
    ProjectNode* dup = File(from, "C:\\x\\dup.txt");
    ProjectNode* report = Folder(from, "report");
    File(report, "C:\\r\\page.txt");
    ProjectNode* to = Folder(Root(), "to");
    ProjectNode* existing = Folder(to, "docs");
    File(existing, "C:\\d\\same.txt");
    File(existing, "C:\\z\\new.txt");
    File(to, "C:\\x\\dup.txt");
    File(to, "C:\\other\\REPORT");
    struct { ProjectNode *entry, *target; bool allowed; } targets[] = {
        {from, from, false}, {src, from, false} /* its own folder */, {from, lib, false},
        {src, lib, false}, {from, to, true}, {lib, from, true}, {ac, nested, true},
        {ac, lib, false}, {nested, dup, false} /* a file is no target */, {Root(), to, false},
    };
    for (const auto& row : targets)
        EXPECT_EQ(CanMoveInto(&row.entry, 1, row.target), row.allowed)
            << row.entry->name << " -> " << row.target->name;
    ProjectNode* pair[] = {to, src};
    EXPECT_FALSE(MoveEntries(pair, 2, lib));  // one refused entry refuses the whole move
    EXPECT_FALSE(IsInSubtree(to, from));      // before the start of the list
    EXPECT_FALSE(IsInSubtree(nullptr, from));
    RecordingView view;
    SetProjectView(&view);
    SetCurrentFolder(from);
    ProjectNode* moving[] = {src, docs, dup, report, nested, src};
    ASSERT_TRUE(MoveEntries(moving, 6, to));
    EXPECT_EQ(Shape(Root()), "from{} to{docs{same.txt new.txt new(1).txt} dup.txt REPORT "
                             "src{lib{a.c renamed.c empty{}} nested{}} report(1){page.txt}}");
    // New folders get items (the target is not current: no rows); the old ones go innermost first.
    EXPECT_EQ(view.calls, (Calls{"Lock", "AddFolderItem src", "AddFolderItem lib",
                                 "AddFolderItem empty", "AddFolderItem nested",
                                 "AddFolderItem report(1)", "DeleteRow src",
                                 "DeleteFolderItem empty", "DeleteFolderItem lib",
                                 "DeleteFolderItem nested", "DeleteFolderItem src",
                                 "DeleteRow Docs", "DeleteFolderItem Docs", "DeleteRow dup.txt",
                                 "DeleteRow report", "DeleteFolderItem report", "ExpandFolderItem to", "Unlock"}));
    const ProjectNode* movedLib = FindChildNamed(FindChildNamed(to, "src"), "lib");
    EXPECT_EQ(movedLib->level, 2);
    EXPECT_STREQ(movedLib->password, "");
    const ProjectNode* c = movedLib->firstChild;
    EXPECT_EQ(c->sourcePath + std::string("|") + c->password + std::to_string(c->level),
              "C:\\w\\a.c|p\xe9" "9");
}

// A real directory of this platform (the Windows tests add attributes and Japanese names).
TEST_F(TreeTest, DiskPathsAddEverythingBelowThemAndMergeWhenAddedAgain)
{
    TempDir dir;
    const std::string sep(1, kPathSeparator), data = dir.MakeDir("data");
    const std::string sub = "data" + sep + "sub";
    dir.MakeDir(sub);
    dir.MakeDir(sub + sep + "deeper");
    dir.MakeDir("data" + sep + "empty");
    dir.WriteFile("data" + sep + ".hidden", "x");
    dir.WriteFile("data" + sep + "top.txt", "x");
    const std::string deep = dir.WriteFile(sub + sep + "deeper" + sep + "deep.txt", "x");
    // A path ending in a separator is named by what comes before; added again it merges.
    ProjectNode* added = AddDiskPath((data + sep).c_str(), true, Root());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(Shape(Root(), true), "data{.hidden empty{} sub{deeper{deep.txt}} top.txt}");
    EXPECT_EQ(FindChildNamed(FindChildNamed(FindChildNamed(added, "sub"), "deeper"), "deep.txt")
                  ->sourcePath,
              deep);
    RecordingView view;
    SetProjectView(&view);
    EXPECT_EQ(AddDiskPath(data.c_str(), true, Root()), added);
    EXPECT_TRUE(view.calls.empty());
    // Nothing to name it by adds nothing; nor does a directory meeting a file entry.
    EXPECT_EQ(AddDiskPath("/", true, Root()), nullptr);
    ProjectNode* other = Folder(Root(), "other");
    File(other, "C:\\elsewhere\\DATA");
    EXPECT_EQ(AddDiskPath(data.c_str(), true, other), nullptr);
}
