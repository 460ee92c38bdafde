#include "project/project_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/format_text.h"
#include "core/paths.h"
#include "project/child_links.h"
#include "project/entry_names.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/properties.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

using TreeTest = ProjectTest;

// Checks the links of a folder's list in both directions.
void ExpectLinked(const ProjectNode* folder)
{
    const ProjectNode* previous = nullptr;
    for (const ProjectNode* child = folder->firstChild; child; child = child->nextSibling) {
        EXPECT_EQ(child->parent, folder) << child->name;
        EXPECT_EQ(child->prevSibling, previous) << child->name;
        previous = child;
    }
}

}  // namespace

TEST_F(TreeTest, FilesOfOneNameFromDifferentPlacesGetCountersBeforeTheExtension)
{
    struct Row {
        const char* path;
        bool added;
        const char* names;
    } rows[] = {
        {"C:\\a\\x.txt", true, "x.txt"},
        {"C:\\b\\x.txt", true, "x.txt x(1).txt"},
        {"C:\\c\\X.TXT", true, "x.txt x(1).txt X(2).TXT"},
        {"C:\\a\\x.txt", false, "x.txt x(1).txt X(2).TXT"},  // the same file twice
        {"c:\\A\\X.txt", false, "x.txt x(1).txt X(2).TXT"},  // paths compare without case
        {"C:\\b\\X.TXT", false, "x.txt x(1).txt X(2).TXT"},  // meets x(1).txt, its own copy
        {"C:\\d\\x", true, "x.txt x(1).txt X(2).TXT x"},
        {"C:\\e\\x.txt", true, "x.txt x(1).txt X(2).TXT x x(3).txt"},
    };
    for (const Row& row : rows) {
        ProjectNode* node = File(Root(), row.path);
        EXPECT_EQ(node != nullptr, row.added) << row.path;
        if (node != nullptr) {
            EXPECT_STREQ(node->sourcePath, row.path);
            EXPECT_EQ(node->parent, Root());
        }
        EXPECT_EQ(Names(Root()), row.names) << row.path;
    }
    ExpectLinked(Root());
}

TEST_F(TreeTest, NamesGivenAsTextGetTheCounterAtTheEnd)
{
    File(Root(), "C:\\a\\one", "a.txt");
    File(Root(), "C:\\a\\two", "A.TXT");
    File(Root(), "C:\\a\\three", "a.txt");
    EXPECT_EQ(Names(Root()), "a.txt A.TXT(1) a.txt(2)");
    // A leading dot is an extension to the split, as on Windows.
    File(Root(), "C:\\a\\.cfg");
    File(Root(), "C:\\b\\.cfg");
    EXPECT_EQ(Names(Root()), "a.txt A.TXT(1) a.txt(2) .cfg (1).cfg");
}

TEST_F(TreeTest, NamesComeFromTheLastComponentAndPasswordsAreCopied)
{
    // The trail bytes of 表 and ソ are "\": they must not split the name.
    ProjectNode* file = File(Root(), "C:\\src\\表.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file->name, "表.txt");
    ProjectNode* folder = InsertChild(Root(), "C:\\src\\ソース", true, nullptr, 4, nullptr, nullptr);
    ASSERT_NE(folder, nullptr);
    EXPECT_STREQ(folder->name, "ソース");
    EXPECT_STREQ(folder->sourcePath, "");  // folders exist only in the project
    // Names from disk are not held to the rules for typed names.
    EXPECT_STREQ(File(Root(), "C:\\src\\a,b;c.txt")->name, "a,b;c.txt");

    char text[] = "secret";
    ProjectNode* other = InsertChild(Root(), "C:\\o", false, text, -1, nullptr, nullptr);
    text[0] = 'X';
    EXPECT_STREQ(other->password, "secret");
    EXPECT_EQ(other->ownsPassword, 1);
}

TEST_F(TreeTest, OverlongSourcePathsAndUnusableTargetsAddNothing)
{
    std::string path = "C:\\" + std::string(256, 'p');  // 259 bytes fit
    EXPECT_NE(File(Root(), path.c_str()), nullptr);
    path = "D:\\" + std::string(257, 'p');  // 260 bytes do not
    EXPECT_EQ(File(Root(), path.c_str()), nullptr);
    ProjectNode* file = File(Root(), "C:\\f.txt");
    EXPECT_EQ(File(file, "C:\\g.txt"), nullptr);  // a file entry holds no entries
    EXPECT_EQ(file->firstChild, nullptr);
    EXPECT_EQ(InsertChild(Root(), "C:\\h", false, "tab\there", -1, nullptr, nullptr), nullptr);
    // The base part of a split path holds 255 bytes, as file names on disk do.
    EXPECT_EQ(Names(Root()), std::string(255, 'p') + " f.txt");
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

TEST_F(TreeTest, FoldersMergeWithWhateverHasTheirName)
{
    ProjectNode* docs = Folder(Root(), "docs");
    File(docs, "C:\\d\\a.txt");
    ProjectNode* file = File(Root(), "C:\\d\\Note");
    EXPECT_EQ(Folder(Root(), "DOCS"), docs);
    // InsertChild itself: a folder meeting a file entry gives that file entry.
    EXPECT_EQ(Folder(Root(), "note"), file);
    EXPECT_EQ(Names(Root()), "docs Note");

    // The model's own callers keep such a folder under a free name instead.
    bool created = false;
    ProjectNode* kept = InsertEntry(Root(), nullptr, true, nullptr, -1, "note", nullptr, true, &created);
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(created);
    EXPECT_TRUE(kept->IsFolder());
    EXPECT_STREQ(kept->name, "note(1)");
    // A further one skips the folder note(1) as well: it must not merge into another folder.
    ProjectNode* again = InsertEntry(Root(), nullptr, true, nullptr, -1, "NOTE", nullptr, true, &created);
    EXPECT_STREQ(again->name, "NOTE(2)");
    // A folder meeting a folder still merges.
    EXPECT_EQ(InsertEntry(Root(), nullptr, true, nullptr, -1, "Docs", nullptr, true, &created), docs);
    EXPECT_FALSE(created);
}

TEST_F(TreeTest, TheNameIndexFollowsRenamesAndDeletes)
{
    ProjectNode* x = File(Root(), "C:\\a\\x.txt");
    File(Root(), "C:\\b\\y.txt");
    ASSERT_TRUE(RenameEntry(x, "z.txt"));
    EXPECT_STREQ(File(Root(), "C:\\c\\x.txt")->name, "x.txt");
    EXPECT_STREQ(File(Root(), "C:\\c\\Z.TXT")->name, "Z(1).TXT");
    DeleteEntry(FindChildNamed(Root(), "y.txt"));
    EXPECT_STREQ(File(Root(), "C:\\d\\y.txt")->name, "y.txt");
    EXPECT_EQ(Names(Root()), "z.txt x.txt Z(1).TXT y.txt");
    ExpectLinked(Root());
}

TEST_F(TreeTest, DeleteFreesTheSubtreeInnermostFirst)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    Folder(b, "c");
    File(b, "C:\\f1");
    Folder(a, "d");
    InsertChild(a, "C:\\f2", false, "pw", 3, nullptr, nullptr);
    ProjectNode* keep = Folder(Root(), "keep");
    RecordingView view;
    SetProjectView(&view);
    DeleteEntry(a);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"DeleteFolderItem c", "DeleteFolderItem b",
                                                    "DeleteFolderItem d", "DeleteFolderItem a"}));
    EXPECT_EQ(Names(Root()), "keep");
    EXPECT_EQ(Root()->firstChild, keep);
    EXPECT_EQ(keep->prevSibling, nullptr);
    DeleteEntry(Root());  // never deleted
    EXPECT_EQ(Names(Root()), "keep");
}

TEST_F(TreeTest, DeletingTheCurrentFolderLeavesNoDanglingReferences)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    ProjectNode* c = Folder(b, "c");
    SetCurrentFolder(c);
    ShowEntryStatus(c);
    DeleteEntry(b);
    // Without a tree view to move the selection, the nearest remaining folder takes over.
    EXPECT_EQ(CurrentFolder(), a);
    EXPECT_EQ(StatusNode(), nullptr);

    // With a view that selects another folder as its item goes, the view's choice stands.
    class SelectingView : public RecordingView {
    public:
        void DeleteFolderItem(ProjectNode* folder) override
        {
            RecordingView::DeleteFolderItem(folder);
            if (CurrentFolder() == folder)
                SetCurrentFolder(ProjectRoot());
        }
    } view;
    ProjectNode* d = Folder(a, "d");
    SetProjectView(&view);
    SetCurrentFolder(d);
    DeleteEntry(d);
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

TEST_F(TreeTest, MovingAFolderKeepsItsWholeSubtree)
{
    ProjectNode* src = Folder(Root(), "src");
    ProjectNode* lib = InsertChild(src, nullptr, true, "", 2, "lib", nullptr);
    InsertChild(lib, "C:\\w\\a.c", false, "p\xe9", 9, nullptr, nullptr);
    InsertChild(lib, "C:\\w\\b.c", false, nullptr, -1, "renamed.c", nullptr);
    Folder(lib, "empty");
    ProjectNode* dest = Folder(Root(), "dest");
    ASSERT_TRUE(MoveEntries(&src, 1, dest));
    EXPECT_EQ(Shape(Root()), "dest{src{lib{a.c renamed.c empty{}}}}");
    ProjectNode* movedLib = dest->firstChild->firstChild;
    EXPECT_EQ(movedLib->level, 2);
    ASSERT_NE(movedLib->password, nullptr);
    EXPECT_STREQ(movedLib->password, "");
    EXPECT_EQ(movedLib->ownsPassword, 1);
    ProjectNode* a = movedLib->firstChild;
    EXPECT_STREQ(a->sourcePath, "C:\\w\\a.c");
    EXPECT_STREQ(a->password, "p\xe9");
    EXPECT_EQ(a->level, 9);
    EXPECT_STREQ(a->nextSibling->sourcePath, "C:\\w\\b.c");
    ExpectLinked(dest->firstChild);
}

TEST_F(TreeTest, MovesMergeFoldersAndDropDuplicates)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* docs = Folder(from, "Docs");
    File(docs, "C:\\d\\same.txt");
    File(docs, "C:\\d\\new.txt");
    ProjectNode* dup = File(from, "C:\\x\\dup.txt");
    ProjectNode* clash = File(from, "C:\\y\\dup.txt");
    ProjectNode* to = Folder(Root(), "to");
    ProjectNode* existing = Folder(to, "docs");
    File(existing, "C:\\d\\same.txt");
    File(to, "C:\\x\\dup.txt");
    ProjectNode* moving[] = {docs, dup, clash};
    ASSERT_TRUE(MoveEntries(moving, 3, to));
    // Docs merged into docs; the file already there was dropped, the other one joined it;
    // the duplicate left its old folder; a different file of that name got a counter.
    EXPECT_EQ(Shape(Root()), "from{} to{docs{same.txt new.txt} dup.txt dup(1).txt}");
    EXPECT_EQ(to->firstChild, existing);
}

TEST_F(TreeTest, AFolderMovedOntoAFileEntryKeepsItsEntries)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* report = Folder(from, "report");
    File(report, "C:\\r\\page.txt");
    ProjectNode* to = Folder(Root(), "to");
    File(to, "C:\\other\\REPORT");
    ASSERT_TRUE(MoveEntries(&report, 1, to));
    EXPECT_EQ(Shape(to), "REPORT report(1){page.txt}");
}

TEST_F(TreeTest, EntriesListedTwiceOrNestedMoveOnce)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* b = Folder(a, "b");
    File(b, "C:\\f");
    ProjectNode* to = Folder(Root(), "to");
    ProjectNode* moving[] = {a, b, a};
    ASSERT_TRUE(MoveEntries(moving, 3, to));
    EXPECT_EQ(Shape(Root()), "to{a{b{f}}}");
}

TEST_F(TreeTest, MoveTellsTheViewsAboutRowsAndItems)
{
    ProjectNode* from = Folder(Root(), "from");
    ProjectNode* sub = Folder(from, "sub");
    File(sub, "C:\\s\\inner.txt");
    ProjectNode* file = File(from, "C:\\s\\top.txt");
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
    ProjectNode* back = Folder(Root(), "back");
    ProjectNode* more = Folder(back, "more");
    File(more, "C:\\m\\m.txt");
    view.calls.clear();
    SetCurrentFolder(to);
    ASSERT_TRUE(MoveEntries(&more, 1, to));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "AddFolderItem more", "AppendRow more",
                                                    "DeleteFolderItem more", "ExpandFolderItem to",
                                                    "Unlock"}));
}

TEST_F(TreeTest, MovingTheCurrentFolderMakesItsCopyCurrent)
{
    ProjectNode* a = Folder(Root(), "a");
    ProjectNode* to = Folder(Root(), "to");
    File(a, "C:\\a\\x");
    SetCurrentFolder(a);
    RecordingView view;
    SetProjectView(&view);
    ASSERT_TRUE(MoveEntries(&a, 1, to));
    ASSERT_EQ(to->firstChild->IsFolder(), true);
    EXPECT_EQ(CurrentFolder(), to->firstChild);
    // Once current, the copy's own entries are rows of the list.
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "AddFolderItem a", "AppendRow x",
                                                    "DeleteFolderItem a", "ExpandFolderItem to",
                                                    "Unlock"}));
}

TEST_F(TreeTest, NewFolderNamesTakeTheFirstFreeCounter)
{
    struct Row {
        std::vector<const char*> existing;
        const char* made;
    } rows[] = {
        {{}, "新規フォルダ"},
        {{"新規フォルダ"}, "新規フォルダ(1)"},
        {{"新規フォルダ", "新規フォルダ(1)"}, "新規フォルダ(2)"},
        {{"新規フォルダ(1)"}, "新規フォルダ"},
        {{"新規フォルダ", "新規フォルダ(2)"}, "新規フォルダ(1)"},
    };
    for (const Row& row : rows) {
        ClearProject();
        for (const char* name : row.existing)
            File(Root(), "C:\\n", name);
        ProjectNode* made = CreateNewFolder();
        ASSERT_NE(made, nullptr);
        EXPECT_STREQ(made->name, row.made);
        EXPECT_TRUE(made->IsFolder());
        EXPECT_EQ(made->parent, Root());
    }
}

TEST_F(TreeTest, NewFolderIsSelectedAndEditedOnlyWhenTheListHasTheFocus)
{
    ProjectNode* here = Folder(Root(), "here");
    SetCurrentFolder(here);
    for (bool focus : {false, true}) {
        RecordingView view;
        view.listHasFocus = focus;
        SetProjectView(&view);
        ProjectNode* made = CreateNewFolder();
        ASSERT_NE(made, nullptr);
        std::vector<std::string> expected{"AddFolderItem " + std::string(made->name),
                                          "AppendRow " + std::string(made->name),
                                          "SelectOnlyRow " + std::string(made->name),
                                          "ExpandFolderItem here"};
        if (focus)
            expected.push_back("EditRowLabel " + std::string(made->name));
        EXPECT_EQ(view.calls, expected);
        EXPECT_EQ(made->parent, here);
    }
}

// Disk additions on a real directory of this platform (the Windows tests add hidden and system
// files and Japanese names on top).
class DiskTreeTest : public ProjectTest {
protected:
    void SetUp() override
    {
        ProjectTest::SetUp();
        WriteFile("top.txt");
        WriteFile(".hidden");
        MakeDir("sub");
        WriteFile("sub" + Sep() + "inner.txt");
        MakeDir("sub" + Sep() + "deeper");
        WriteFile("sub" + Sep() + "deeper" + Sep() + "deep.txt");
        MakeDir("empty");
    }
    static std::string Sep() { return std::string(1, kPathSeparator); }
    void WriteFile(const std::string& name) { dir.WriteFile("data" + Sep() + name, "x"); }
    void MakeDir(const std::string& name) { ASSERT_TRUE(MakeDirectory(dir.Join("data" + Sep() + name))); }
    static bool MakeDirectory(const std::string& path);
    std::string Data() const { return dir.Join("data"); }

    TempDir dir;
    bool made = MakeDirectory(dir.Join("data"));
};

#ifdef _WIN32
bool DiskTreeTest::MakeDirectory(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}
#else
bool DiskTreeTest::MakeDirectory(const std::string& path)
{
    return mkdir(path.c_str(), 0755) == 0;
}
#endif


TEST_F(DiskTreeTest, AddsADirectoryWithEverythingBelowIt)
{
    ASSERT_TRUE(made);
    ProjectNode* data = AddDiskPath(Data().c_str(), true, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->name, "data");
    EXPECT_STREQ(data->sourcePath, "");
    EXPECT_EQ(SortedShape(Root()),
              "data{.hidden empty{} sub{deeper{deep.txt} inner.txt} top.txt}");
    const ProjectNode* top = FindChildNamed(data, "top.txt");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->sourcePath, Data() + Sep() + "top.txt");
    const ProjectNode* deep = FindChildNamed(FindChildNamed(FindChildNamed(data, "sub"), "deeper"), "deep.txt");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->sourcePath, Data() + Sep() + "sub" + Sep() + "deeper" + Sep() + "deep.txt");
}

TEST_F(DiskTreeTest, AddingTheSameDirectoryAgainMergesWithoutNewItemsOrRows)
{
    ASSERT_TRUE(made);
    AddDiskPath(Data().c_str(), true, Root());
    std::string before = SortedShape(Root());
    RecordingView view;
    SetProjectView(&view);
    ASSERT_NE(AddDiskPath(Data().c_str(), true, Root()), nullptr);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(SortedShape(Root()), before);
}

TEST_F(DiskTreeTest, NewFoldersGetItemsAndEntriesOfTheCurrentFolderGetRows)
{
    ASSERT_TRUE(made);
    ProjectNode* target = Folder(Root(), "target");
    SetCurrentFolder(target);
    RecordingView view;
    SetProjectView(&view);
    AddDiskPath(dir.Join("data" + Sep() + "sub").c_str(), true, target);
    std::sort(view.calls.begin(), view.calls.end());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"AddFolderItem deeper", "AddFolderItem sub",
                                                    "AppendRow sub"}));
    view.calls.clear();
    SetCurrentFolder(FindChildNamed(target, "sub"));
    AddDiskPath(dir.Join("data" + Sep() + "top.txt").c_str(), false, nullptr);  // the current folder
    EXPECT_EQ(view.calls, std::vector<std::string>{"AppendRow top.txt"});
}

TEST_F(DiskTreeTest, ADirectoryMeetingAFileEntryOfItsNameIsNotAdded)
{
    ASSERT_TRUE(made);
    ProjectNode* file = File(Root(), "C:\\elsewhere\\DATA");
    EXPECT_EQ(AddDiskPath(Data().c_str(), true, Root()), nullptr);
    EXPECT_EQ(file->firstChild, nullptr);
    EXPECT_EQ(Shape(Root()), "DATA");
}

TEST_F(DiskTreeTest, DroppedPathsAreAddedWithUpdatesLockedAndTheTargetExpanded)
{
    ASSERT_TRUE(made);
    ProjectNode* target = Folder(Root(), "target");
    RecordingView view;
    SetProjectView(&view);
    std::string sub = dir.Join("data" + Sep() + "sub");
    std::string top = dir.Join("data" + Sep() + "top.txt");
    const char* paths[] = {sub.c_str(), top.c_str()};
    AddDroppedPaths(paths, 2, target);
    ASSERT_GE(view.calls.size(), 4u);
    EXPECT_EQ(view.calls.front(), "Lock");
    EXPECT_EQ(view.calls[view.calls.size() - 2], "ExpandFolderItem target");
    EXPECT_EQ(view.calls.back(), "Unlock");
    EXPECT_EQ(SortedShape(target), "sub{deeper{deep.txt} inner.txt} top.txt");
}

TEST_F(DiskTreeTest, PathsEndingInASeparatorAreNamedByWhatComesBefore)
{
    ASSERT_TRUE(made);
    std::string withSeparator = Data() + Sep();
    ProjectNode* data = AddDiskPath(withSeparator.c_str(), true, Root());
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->name, "data");
    EXPECT_EQ(FindChildNamed(data, "top.txt")->sourcePath, Data() + Sep() + "top.txt");
    // A drive root is named after its letter (this one cannot be listed: an empty folder).
    ProjectNode* drive = AddDiskPath("Q:\\", true, Root());
    ASSERT_NE(drive, nullptr);
    EXPECT_STREQ(drive->name, "Q");
    // Nothing at all to name it by: nothing is added.
    EXPECT_EQ(AddDiskPath("\\", true, Root()), nullptr);
    EXPECT_EQ(AddDiskPath("/", true, Root()), nullptr);
    for (const ProjectNode* child = Root()->firstChild; child; child = child->nextSibling)
        EXPECT_STRNE(child->name, "");
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
