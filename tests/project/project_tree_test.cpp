#include "project/project_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/format_text.h"
#include "core/paths.h"
#include "project/child_links.h"
#include "project/entry_names.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/properties.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

using TreeTest = ProjectTest;

// Each row adds a file entry to the root; `made` is the name it gets, none when it is not added.
TEST_F(TreeTest, NewEntriesTakeTheirNameAndACounterWhenItIsTaken)
{
    const std::string base(255, 'p');  // the base part of a split path holds 255 bytes
    struct Row {
        std::string path;
        const char* name;
        const char* made;
    } rows[] = {
        {"C:\\a\\x.txt", nullptr, "x.txt"},
        {"C:\\b\\x.txt", nullptr, "x(1).txt"},  // the counter goes before the extension
        {"C:\\c\\X.TXT", nullptr, "X(2).TXT"},  // names compare without case
        {"C:\\a\\x.txt", nullptr, nullptr},     // the same file twice
        {"c:\\A\\X.txt", nullptr, nullptr},     // paths compare without case
        {"C:\\b\\X.TXT", nullptr, nullptr},     // meets x(1).txt, its own copy
        {"C:\\d\\x", nullptr, "x"},
        {"C:\\e\\x.txt", nullptr, "x(3).txt"},
        {"C:\\n\\1", "a.txt", "a.txt"},         // a name given as text gets the counter at its end
        {"C:\\n\\2", "A.TXT", "A.TXT(1)"},
        {"C:\\n\\3", "a.txt", "a.txt(2)"},
        {"C:\\a\\.cfg", nullptr, ".cfg"},       // a leading dot is an extension, as on Windows
        {"C:\\b\\.cfg", nullptr, "(1).cfg"},
        {"C:\\src\\表.txt", nullptr, "表.txt"},  // the trail byte of 表 is "\"
        {"C:\\src\\a,b;c.txt", nullptr, "a,b;c.txt"},  // disk names skip the typed-name rules
        {"C:\\" + std::string(256, 'p'), nullptr, base.c_str()},  // 259 bytes fit
        {"D:\\" + std::string(257, 'p'), nullptr, nullptr},       // 260 do not
    };
    std::string names;
    for (const Row& row : rows) {
        ProjectNode* node = File(Root(), row.path.c_str(), row.name);
        if (row.made == nullptr) {
            EXPECT_EQ(node, nullptr) << row.path;
            continue;
        }
        ASSERT_NE(node, nullptr) << row.path;
        EXPECT_STREQ(node->name, row.made) << row.path;
        EXPECT_EQ(node->sourcePath, row.path);
        names += (names.empty() ? "" : " ") + std::string(row.made);
    }
    EXPECT_EQ(Shape(Root()), names);
}

TEST_F(TreeTest, FoldersHaveNoSourcePathAndEntriesOwnACopyOfTheirPassword)
{
    ProjectNode* folder = InsertChild(Root(), "C:\\src\\ソース", true, nullptr, 4, nullptr, nullptr);
    ASSERT_NE(folder, nullptr);
    EXPECT_STREQ(folder->name, "ソース");  // its trail byte is "\" too
    EXPECT_STREQ(folder->sourcePath, "");
    char text[] = "secret";
    ProjectNode* file = InsertChild(Root(), "C:\\o", false, text, -1, nullptr, nullptr);
    text[0] = 'X';
    EXPECT_STREQ(file->password, "secret");
    EXPECT_EQ(file->ownsPassword, 1);
    // Nothing goes below a file entry, nor in with a password a project file cannot carry.
    EXPECT_EQ(File(file, "C:\\g.txt"), nullptr);
    EXPECT_EQ(InsertChild(Root(), "C:\\h", false, "tab\there", -1, nullptr, nullptr), nullptr);
    EXPECT_EQ(Shape(Root()), "ソース{} o");
}

TEST_F(TreeTest, CountersStopWhenTheyNoLongerFit)
{
    // A 259-byte name keeps 255 bytes as its base, so "(1)" to "(99)" still fit and "(100)" does
    // not: the hundred-and-first file of that name is not added (instead of looping for ever).
    std::string name(259, 'n');
    for (int i = 0; i < 100; ++i) {
        std::string path = "C:\\" + std::to_string(i);
        ProjectNode* node = File(Root(), path.c_str(), name.c_str());
        ASSERT_NE(node, nullptr) << i;
        std::string expected = i == 0 ? name : std::string(255, 'n') + "(" + std::to_string(i) + ")";
        EXPECT_EQ(node->name, expected);
    }
    EXPECT_EQ(File(Root(), "C:\\last", name.c_str()), nullptr);
}

// Counters are remembered per folder instead of walked from 1 for every newcomer; through a long
// run of adds, moves, renames, deletes and new folders over a few names, every name given is the
// one the walk over the folder's list gives ("" for a duplicate).
TEST_F(TreeTest, RememberedCountersGiveTheNamesOfTheWalkFromOne)
{
    auto walked = [](const ProjectNode* folder, std::string name, const std::string& base,
                     const std::string& extension, const char* source) {
        for (int counter = 1;; ++counter) {
            const ProjectNode* clash = nullptr;
            for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling)
                clash = NamesEqual(child->name, name.c_str()) ? child : clash;
            if (clash == nullptr)
                return name;
            if (source != nullptr && NamesEqual(clash->sourcePath, source))
                return std::string();
            name = (base + "(" + std::to_string(counter) + ")" + extension).substr(0, 259);
        }
    };
    auto split = [](const char* path, std::string* base, std::string* extension) {
        char b[kNamePartSize], e[kNamePartSize];
        SplitEntryName(path, b, e);
        *base = b;
        *extension = e;
    };
    const std::string names[] = {"x.txt", "X.TXT", "x(1).txt", "x(2).txt", "x", "x(1)", "(1).txt",
                                 std::string(249, 'L') + ".text"};  // its path just fits
    std::mt19937 random(20261207);
    ProjectNode* folders[] = {Folder(Root(), "one"), Folder(Root(), "two")};
    auto pick = [&](ProjectNode* folder) {
        std::vector<ProjectNode*> children;
        for (ProjectNode* child = folder->firstChild; child; child = child->nextSibling)
            children.push_back(child);
        return children.empty() ? nullptr : children[random() % children.size()];
    };
    for (int step = 0; step < 4000; ++step) {
        SCOPED_TRACE(step);
        ProjectNode* folder = folders[random() % 2];
        const std::string& name = names[random() % std::size(names)];
        std::string base, extension, expected;
        ProjectNode* made = nullptr;
        switch (random() % 8) {
        case 0:
        case 1:
        case 2: {  // a file from one of a few places, named by its path or by a text
            std::string path = "C:\\" + std::to_string(random() % 5) + "\\" + name;
            bool asText = random() % 4 == 0;
            if (asText)
                base = name;
            else
                split(path.c_str(), &base, &extension);
            expected = walked(folder, base + extension, base, extension, path.c_str());
            made = File(folder, path.c_str(), asText ? name.c_str() : nullptr);
            break;
        }
        case 3:
        case 4:
            if (ProjectNode* gone = pick(folder))
                DeleteEntry(gone);
            continue;
        case 5:
            if (ProjectNode* renamed = pick(folder))
                RenameEntry(renamed, name.c_str());
            continue;
        case 6: {  // a file moved to the other folder keeps its name, or takes a counter
            ProjectNode* moving = pick(folder);
            ProjectNode* target = folders[folder == folders[0] ? 1 : 0];
            if (moving == nullptr || moving->IsFolder())
                continue;
            split(moving->name, &base, &extension);
            expected = walked(target, moving->name, base, extension, moving->sourcePath);
            ProjectNode* last = target->firstChild;
            while (last != nullptr && last->nextSibling != nullptr)
                last = last->nextSibling;
            ASSERT_TRUE(MoveEntries(&moving, 1, target));
            made = last != nullptr && last->nextSibling != nullptr ? last->nextSibling
                   : last == nullptr                               ? target->firstChild
                                                                   : nullptr;
            break;
        }
        default: {
            char made[64];
            ASSERT_TRUE(MakeNewFolderName(folder, made, sizeof made));
            EXPECT_EQ(made, walked(folder, "新規フォルダ", "新規フォルダ", "", nullptr));
            Folder(folder, made);
            continue;
        }
        }
        if (expected.empty()) {
            EXPECT_EQ(made, nullptr);
        } else {
            ASSERT_NE(made, nullptr) << expected;
            EXPECT_EQ(made->name, expected);
        }
    }
}

TEST_F(TreeTest, FoldersMergeWithWhateverHasTheirName)
{
    ProjectNode* docs = Folder(Root(), "docs");
    File(docs, "C:\\d\\a.txt");
    ProjectNode* file = File(Root(), "C:\\d\\Note");
    EXPECT_EQ(Folder(Root(), "DOCS"), docs);
    // InsertChild itself: a folder meeting a file entry gives that file entry.
    EXPECT_EQ(Folder(Root(), "note"), file);

    // The model's own callers keep such a folder under a free name instead, passing over folders
    // of that name too; a folder meeting a folder still merges.
    bool created = false;
    auto keepFolder = [&](const char* name) {
        return InsertEntry(Root(), nullptr, true, nullptr, -1, name, nullptr, true, &created);
    };
    ProjectNode* kept = keepFolder("note");
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(created);
    EXPECT_TRUE(kept->IsFolder());
    EXPECT_STREQ(keepFolder("NOTE")->name, "NOTE(2)");
    EXPECT_EQ(keepFolder("Docs"), docs);
    EXPECT_FALSE(created);
    EXPECT_EQ(Shape(Root()), "docs{a.txt} Note note(1){} NOTE(2){}");
}

// A deleted entry goes with everything below it, the items of its folders innermost first, and
// leaves no current folder or status entry behind that points at freed memory.
TEST_F(TreeTest, DeleteFreesTheSubtreeInnermostFirstAndLeavesNoDanglingReferences)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    ProjectNode* g = Folder(Folder(b, "c"), "g");
    File(b, "C:\\f1");
    Folder(a, "d");
    InsertChild(a, "C:\\f2", false, "pw", 3, nullptr, nullptr);
    ProjectNode* keep = Folder(Root(), "keep");
    SetCurrentFolder(g);
    ShowEntryStatus(g);
    RecordingView view;
    SetProjectView(&view);
    DeleteEntry(b);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"DeleteFolderItem g", "DeleteFolderItem c",
                                                    "DeleteFolderItem b"}));
    // Without a view that moves the selection, the nearest remaining folder takes over.
    EXPECT_EQ(CurrentFolder(), a);
    EXPECT_EQ(StatusNode(), nullptr);
    view.calls.clear();
    DeleteEntry(a);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"DeleteFolderItem d", "DeleteFolderItem a"}));
    EXPECT_EQ(Root()->firstChild, keep);
    EXPECT_EQ(keep->prevSibling, nullptr);
    DeleteEntry(Root());  // never deleted
    EXPECT_EQ(Shape(Root()), "keep{}");

    // With a view that selects another folder as the item goes, the view's choice stands.
    class SelectingView : public RecordingView {
    public:
        void DeleteFolderItem(ProjectNode* folder) override
        {
            RecordingView::DeleteFolderItem(folder);
            if (CurrentFolder() == folder)
                SetCurrentFolder(ProjectRoot());
        }
    } selecting;
    ProjectNode* e = Folder(keep, "e");
    SetProjectView(&selecting);
    SetCurrentFolder(e);
    DeleteEntry(e);
    EXPECT_EQ(CurrentFolder(), Root());
}

TEST_F(TreeTest, ClearAndResetEmptyTheProject)
{
    ProjectNode* a = Folder(Root(), "a");
    File(a, "C:\\x");
    SetCurrentFolder(a);
    RecordingView view;
    SetProjectView(&view);
    ClearProject();
    EXPECT_TRUE(view.calls.empty());  // the caller resets the tree
    EXPECT_EQ(Root()->firstChild, nullptr);
    EXPECT_EQ(CurrentFolder(), Root());

    File(Root(), "C:\\y");
    FormatText(Root()->name, sizeof Root()->name, "Release");
    Root()->level = 7;
    char projectPassword[] = "kept";
    Root()->password = projectPassword;
    ResetProject();
    EXPECT_EQ(view.calls, std::vector<std::string>{"ResetTree"});
    EXPECT_STREQ(Root()->name, "新規書庫");
    EXPECT_EQ(Root()->level, -1);
    EXPECT_EQ(Root()->password, projectPassword);  // the project settings stay in force
    EXPECT_EQ(Root()->firstChild, nullptr);
    EXPECT_EQ(CurrentFolder(), Root());
    // The index was emptied as well: the names are free again.
    EXPECT_STREQ(File(Root(), "C:\\other\\y")->name, "y");
}

TEST_F(TreeTest, MoveTargetsThatAreRefused)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    ProjectNode* c = Folder(b, "c");
    ProjectNode* d = Folder(Root(), "d");
    ProjectNode* f = File(b, "C:\\f");
    struct Row {
        ProjectNode* entry;
        ProjectNode* target;
        bool allowed;
    } rows[] = {
        {a, a, false},  // onto itself
        {b, a, false},  // onto its own parent
        {a, b, false},  // below itself
        {a, c, false},
        {b, c, false},
        {a, d, true},
        {c, a, true},
        {c, d, true},
        {f, c, true},
        {f, b, false},
        {c, f, false},  // a file is no target
        {Root(), d, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CanMoveInto(&row.entry, 1, row.target), row.allowed)
            << row.entry->name << " -> " << row.target->name;
    }
    ProjectNode* pair[] = {d, b};
    EXPECT_FALSE(CanMoveInto(pair, 2, c));  // one refused entry refuses the whole move
    std::string before = Shape(Root());
    EXPECT_FALSE(MoveEntries(pair, 2, c));
    EXPECT_EQ(Shape(Root()), before);
}

TEST_F(TreeTest, IsInSubtreeCoversTheListFromItsStartAndEverythingBelow)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(Root(), "b");
    ProjectNode* c = Folder(Root(), "c");
    ProjectNode* deep = Folder(Folder(b, "b1"), "b2");
    EXPECT_TRUE(IsInSubtree(a, c));
    EXPECT_TRUE(IsInSubtree(a, deep));
    EXPECT_TRUE(IsInSubtree(b, deep));
    EXPECT_FALSE(IsInSubtree(c, a));  // before the start of the list
    EXPECT_FALSE(IsInSubtree(c, deep));
    EXPECT_FALSE(IsInSubtree(b->firstChild, b));
    EXPECT_FALSE(IsInSubtree(nullptr, a));
    EXPECT_TRUE(IsInSubtree(Root(), deep));
}

// One move of every kind of entry: a folder with everything below it and its settings, a folder
// that merges into one of its name (one file there already, one of its name from elsewhere), a
// duplicate, a folder meeting a file entry of its name, an entry below another one listed and an
// entry listed twice.
TEST_F(TreeTest, AMoveKeepsSubtreesMergesFoldersAndDropsDuplicates)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* src = Folder(from, "src");
    ProjectNode* lib = InsertChild(src, nullptr, true, "", 2, "lib", nullptr);
    InsertChild(lib, "C:\\w\\a.c", false, "p\xe9", 9, nullptr, nullptr);
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

    ProjectNode* moving[] = {src, docs, dup, report, nested, src};
    ASSERT_TRUE(MoveEntries(moving, 6, to));
    EXPECT_EQ(Shape(Root()), "from{} to{docs{same.txt new.txt new(1).txt} dup.txt REPORT "
                             "src{lib{a.c renamed.c empty{}} nested{}} report(1){page.txt}}");
    EXPECT_EQ(to->firstChild, existing);
    const ProjectNode* movedLib = FindChildNamed(FindChildNamed(to, "src"), "lib");
    EXPECT_EQ(movedLib->level, 2);
    ASSERT_NE(movedLib->password, nullptr);
    EXPECT_STREQ(movedLib->password, "");
    EXPECT_EQ(movedLib->ownsPassword, 1);
    const ProjectNode* a = movedLib->firstChild;
    EXPECT_STREQ(a->sourcePath, "C:\\w\\a.c");
    EXPECT_STREQ(a->password, "p\xe9");
    EXPECT_EQ(a->level, 9);
    EXPECT_STREQ(a->nextSibling->sourcePath, "C:\\w\\b.c");
}

TEST_F(TreeTest, MovesTellTheViewsAboutRowsAndItems)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* sub = Folder(from, "sub");
    File(sub, "C:\\s\\inner.txt");
    ProjectNode* file = File(from, "C:\\s\\top.txt");
    ProjectNode* more = Folder(from, "more");
    File(more, "C:\\m\\m.txt");
    ProjectNode* to = Folder(Root(), "to");
    Folder(to, "SUB");  // sub merges: no item, no row
    RecordingView view;
    SetProjectView(&view);
    SetCurrentFolder(from);
    ProjectNode* moving[] = {file, sub};
    ASSERT_TRUE(MoveEntries(moving, 2, to));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "DeleteRow top.txt", "DeleteRow sub",
                                                    "DeleteFolderItem sub", "ExpandFolderItem to",
                                                    "Unlock"}));
    EXPECT_EQ(Shape(to), "SUB{inner.txt} top.txt");

    // Into the current folder: new copies get rows, new folders items.
    view.calls.clear();
    SetCurrentFolder(to);
    ASSERT_TRUE(MoveEntries(&more, 1, to));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "AddFolderItem more", "AppendRow more",
                                                    "DeleteFolderItem more", "ExpandFolderItem to",
                                                    "Unlock"}));

    // The current folder moved: its copy becomes current and the copy's entries rows of the list.
    ProjectNode* copy = FindChildNamed(to, "more");
    view.calls.clear();
    SetCurrentFolder(copy);
    ASSERT_TRUE(MoveEntries(&copy, 1, from));
    EXPECT_EQ(CurrentFolder(), FindChildNamed(from, "more"));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "AddFolderItem more", "AppendRow m.txt",
                                                    "DeleteFolderItem more", "ExpandFolderItem from",
                                                    "Unlock"}));
}

// A new folder in the current folder: the first free name, its item and row, its row selected
// and, only when the list has the focus, its name edited.
TEST_F(TreeTest, NewFoldersTakeTheFirstFreeNameAndAreEditedOnlyWhenTheListHasTheFocus)
{
    struct Row {
        std::vector<const char*> existing;
        bool focus;
        std::string made;
    } rows[] = {
        {{}, false, "新規フォルダ"},
        {{"新規フォルダ"}, true, "新規フォルダ(1)"},
        {{"新規フォルダ", "新規フォルダ(1)"}, false, "新規フォルダ(2)"},
        {{"新規フォルダ(1)"}, true, "新規フォルダ"},
        {{"新規フォルダ", "新規フォルダ(2)"}, false, "新規フォルダ(1)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.made);
        ClearProject();
        ProjectNode* here = Folder(Root(), "here");
        for (const char* name : row.existing)
            File(here, "C:\\n", name);
        SetCurrentFolder(here);
        RecordingView view;
        view.listHasFocus = row.focus;
        SetProjectView(&view);
        ProjectNode* made = CreateNewFolder();
        SetProjectView(nullptr);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->name, row.made);
        EXPECT_TRUE(made->IsFolder());
        EXPECT_EQ(made->parent, here);
        std::vector<std::string> expected{"AddFolderItem " + row.made, "AppendRow " + row.made,
                                          "SelectOnlyRow " + row.made, "ExpandFolderItem here"};
        if (row.focus)
            expected.push_back("EditRowLabel " + row.made);
        EXPECT_EQ(view.calls, expected);
    }
}

// Disk additions on a real directory of this platform (the Windows tests add hidden and system
// files and Japanese names on top).
class DiskTreeTest : public ProjectTest {
protected:
    void SetUp() override
    {
        ProjectTest::SetUp();
        for (const char* name : {"data", "data/sub", "data/sub/deeper", "data/empty"})
            dir.MakeDir(Native(name));
        for (const char* name : {"data/top.txt", "data/.hidden", "data/sub/inner.txt",
                                 "data/sub/deeper/deep.txt"})
            dir.WriteFile(Native(name), "x");
    }
    // "/" in a relative path stands for the platform's separator.
    static std::string Native(std::string relative)
    {
        std::replace(relative.begin(), relative.end(), '/', kPathSeparator);
        return relative;
    }
    std::string Path(const std::string& relative) const { return dir.Join(Native(relative)); }

    TempDir dir;
};

TEST_F(DiskTreeTest, AddsADirectoryWithEverythingBelowItAndMergesItWhenAddedAgain)
{
    ProjectNode* data = AddDiskPath(Path("data").c_str(), true, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->sourcePath, "");
    const std::string shape = "data{.hidden empty{} sub{deeper{deep.txt} inner.txt} top.txt}";
    EXPECT_EQ(SortedShape(Root()), shape);
    EXPECT_EQ(FindChildNamed(data, "top.txt")->sourcePath, Path("data/top.txt"));
    const ProjectNode* deeper = FindChildNamed(FindChildNamed(data, "sub"), "deeper");
    EXPECT_EQ(FindChildNamed(deeper, "deep.txt")->sourcePath, Path("data/sub/deeper/deep.txt"));

    RecordingView view;
    SetProjectView(&view);
    EXPECT_EQ(AddDiskPath(Path("data").c_str(), true, Root()), data);
    EXPECT_TRUE(view.calls.empty());  // no new items or rows
    EXPECT_EQ(SortedShape(Root()), shape);
}

TEST_F(DiskTreeTest, DroppedPathsGetItemsForNewFoldersAndRowsInTheCurrentFolder)
{
    ProjectNode* target = Folder(Root(), "target");
    SetCurrentFolder(target);
    RecordingView view;
    SetProjectView(&view);
    const std::string sub = Path("data/sub");
    const std::string top = Path("data/top.txt");
    const char* paths[] = {sub.c_str(), top.c_str()};
    AddDroppedPaths(paths, 2, target);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "AddFolderItem sub", "AppendRow sub",
                                                    "AddFolderItem deeper", "AppendRow top.txt",
                                                    "ExpandFolderItem target", "Unlock"}));
    EXPECT_EQ(SortedShape(target), "sub{deeper{deep.txt} inner.txt} top.txt");

    view.calls.clear();
    SetCurrentFolder(FindChildNamed(target, "sub"));
    AddDiskPath(top.c_str(), false, nullptr);  // no target: the current folder
    EXPECT_EQ(view.calls, std::vector<std::string>{"AppendRow top.txt"});
    EXPECT_EQ(SortedShape(target), "sub{deeper{deep.txt} inner.txt top.txt} top.txt");
}

TEST_F(DiskTreeTest, ADirectoryMeetingAFileEntryOfItsNameIsNotAdded)
{
    ProjectNode* file = File(Root(), "C:\\elsewhere\\DATA");
    EXPECT_EQ(AddDiskPath(Path("data").c_str(), true, Root()), nullptr);
    EXPECT_EQ(file->firstChild, nullptr);
    EXPECT_EQ(Shape(Root()), "DATA");
}

TEST_F(DiskTreeTest, PathsEndingInASeparatorAreNamedByWhatComesBefore)
{
    ProjectNode* data = AddDiskPath((Path("data") + kPathSeparator).c_str(), true, Root());
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->name, "data");
    EXPECT_EQ(FindChildNamed(data, "top.txt")->sourcePath, Path("data/top.txt"));
    // A drive root is named after its letter (this one cannot be listed: an empty folder).
    ProjectNode* drive = AddDiskPath("Q:\\", true, Root());
    ASSERT_NE(drive, nullptr);
    EXPECT_STREQ(drive->name, "Q");
    // Nothing at all to name it by: nothing is added.
    EXPECT_EQ(AddDiskPath("\\", true, Root()), nullptr);
    EXPECT_EQ(AddDiskPath("/", true, Root()), nullptr);
    EXPECT_EQ(Shape(Root()), "data{" + Shape(data) + "} Q{}");
}

TEST_F(TreeTest, TreesOfAnyDepthAreWalkedWithoutRecursion)
{
    // Deep enough to overflow the stack of any recursive walk, under Wine's 1 MiB main thread
    // stack and under the sanitizers' larger frames alike.
    constexpr int kDepth = 100000;
    ProjectNode* top = Folder(Root(), "top");
    ProjectNode* folder = top;
    for (int i = 0; i < kDepth; ++i)
        folder = Folder(folder, "d");
    File(folder, "C:\\leaf");
    ProjectNode* target = Folder(Root(), "target");
    EXPECT_TRUE(IsInSubtree(top, folder));
    EXPECT_FALSE(CanMoveInto(&top, 1, folder));
    ASSERT_TRUE(MoveEntries(&top, 1, target));
    int depth = 0;
    const ProjectNode* node = target->firstChild;
    while (node->firstChild != nullptr && node->firstChild->IsFolder()) {
        node = node->firstChild;
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_STREQ(node->firstChild->name, "leaf");
    DeleteEntry(target->firstChild);
    EXPECT_EQ(target->firstChild, nullptr);
    folder = target;
    for (int i = 0; i < kDepth; ++i)
        folder = Folder(folder, "e");
    ClearProject();
    EXPECT_EQ(Root()->firstChild, nullptr);
}
