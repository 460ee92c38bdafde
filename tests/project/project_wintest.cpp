// Disk additions on Windows itself: real directories with hidden and system files and Japanese
// names whose trail bytes are "\" (表, ソ, 能): a split that took one for a separator loses names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "project/child_links.h"
#include "project/project_tree.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

using WindowsDiskTest = ProjectTest;

TEST_F(WindowsDiskTest, HiddenSystemAndJapaneseEntriesAreAllAdded)
{
    TempDir dir;
    std::string top = dir.MakeDir("表示"), secret = dir.MakeDir("表示\\秘密");
    dir.MakeDir("表示\\空");
    for (const char* file : {"表示\\ソース.txt", "表示\\能力.dat", "表示\\system.sys", "表示\\秘密\\中身.txt"})
        dir.WriteFile(file, "data");
    SetFileAttributesA((top + "\\能力.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((top + "\\system.sys").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(secret.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    RecordingView view;
    SetProjectView(&view);
    const char* paths[] = {top.c_str()};
    AddDroppedPaths(paths, 1, Root());
    const char shape[] = "表示{system.sys ソース.txt 空{} 能力.dat 秘密{中身.txt}}";
    EXPECT_EQ(SortedShape(Root()), shape);
    ProjectNode* folder = FindChildNamed(Root(), "表示");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(FindChildNamed(folder, "ソース.txt")->sourcePath, top + "\\ソース.txt");
    EXPECT_EQ(FindChildNamed(FindChildNamed(folder, "秘密"), "中身.txt")->sourcePath, secret + "\\中身.txt");
    EXPECT_EQ(view.calls.front() + view.calls.back(), "LockUnlock");
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "AddFolderItem 秘密"), 1);

    // Dropped again, and one of its files into its folder: nothing new appears.
    view.calls.clear();
    AddDroppedPaths(paths, 1, Root());
    std::string again = top + "\\ソース.txt";
    const char* file[] = {again.c_str()};
    AddDroppedPaths(file, 1, folder);
    EXPECT_EQ(SortedShape(Root()), shape);
    EXPECT_EQ(view.calls, (Calls{"Lock", "ExpandFolderItem 新規書庫", "Unlock", "Lock", "ExpandFolderItem 表示",
                                 "Unlock"}));
}
