// The file wrappers that a held settings file meets.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/file_io.h"
#include "core/settings_document.h"
#include "tests/support/temp_dir.h"

// A held settings file loads empty and is never overwritten; a saved one replaces the old file.
TEST(FileWrappers, HeldFilesAreNeverOverwrittenAndSavedOnesReplaced)
{
    TempDir dir;
    const std::string original = "[WINDOW]\r\nSplitPos=200\r\n";
    std::string path = dir.WriteFile("packwren.ini", original);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SettingsDocument document;
    EXPECT_TRUE(document.Load(path.c_str(), true));
    EXPECT_EQ(document.FindSection("WINDOW"), nullptr);
    document.SetValue("WINDOW", "SplitPos", "128");
    EXPECT_FALSE(document.Save(path.c_str()));
    CloseHandle(held);
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(ReadWholeFile(path), original);
    FileHandle mine = OpenForRead(path.c_str());
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    CloseFile(mine);

    dir.MakeDir("ソ");
    std::string saved = dir.WriteFile("ソ\\表示.pwp", "old");
    ASSERT_TRUE(document.Save(saved.c_str()));
    EXPECT_EQ(ReadWholeFile(saved), "[WINDOW]\r\nSplitPos=128\r\n");
    EXPECT_EQ(dir.ListNames(), "packwren.ini ソ");
}
