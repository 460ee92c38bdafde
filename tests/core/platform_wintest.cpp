// Checks of the Windows platform itself: the code page the tests run in, texts compiled into
// resources, and the share modes of the file wrappers.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/file_io.h"
#include "core/settings_document.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"

TEST(Platform, AnsiCodePageIs932)
{
    // Every text of the program is code page 932; a prefix set up without the Japanese locale
    // would garble them all, so fail loudly here.
    ASSERT_EQ(GetACP(), 932u);
    ASSERT_EQ(std::string("パ"), "\x83\x70");
}

TEST(Platform, ResourceTextsComeBackInCodePage932)
{
    char text[64] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_APP_TITLE, text, sizeof text), 0);
    EXPECT_STREQ(text, "パックレン");
}

TEST(FileWrappers, OpenWithoutSharing)
{
    TempDir dir;
    std::string path = dir.WriteFile("held.ini", "[A]\r\nk=v\r\n");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForRead(path.c_str()), kInvalidFile);
    EXPECT_EQ(CreateForWrite(path.c_str()), kInvalidFile);
    CloseHandle(held);

    FileHandle mine = OpenForRead(path.c_str());
    ASSERT_NE(mine, kInvalidFile);
    // While we read, nobody else may open the file.
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize32(mine), 10u);
    CloseFile(mine);
}

TEST(FileWrappers, DirectoryTest)
{
    TempDir dir;
    EXPECT_TRUE(IsDirectoryPath(dir.Path().c_str()));
    EXPECT_FALSE(IsDirectoryPath(dir.WriteFile("f.txt", "x").c_str()));
    EXPECT_TRUE(IsDirectoryPath(dir.Join("does-not-exist").c_str()));
}

TEST(FileWrappers, PageBuffers)
{
    void* buffer = nullptr;
    ASSERT_TRUE(AllocPageBuffer(&buffer, 100));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(static_cast<char*>(buffer)[99], 0);
    void* same = buffer;
    EXPECT_FALSE(AllocPageBuffer(&buffer, 100));
    EXPECT_EQ(buffer, same);
    EXPECT_TRUE(FreePageBuffer(&buffer));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_FALSE(FreePageBuffer(&buffer));
}

TEST(SettingsDocumentLocked, AHeldFileLoadsAsEmptyAndIsNeverOverwritten)
{
    TempDir dir;
    const std::string original = "[WINDOW]\r\nSplitPos=200\r\n";
    std::string path = dir.WriteFile("packwren.ini", original);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SettingsDocument document;
    EXPECT_TRUE(document.Load(path.c_str(), true));
    EXPECT_EQ(document.FindSection("WINDOW"), nullptr);
    CloseHandle(held);
    // Released by now, but its contents were never read: the closing save must not replace them.
    document.SetValue("WINDOW", "SplitPos", "128");
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(ReadWholeFile(path), original);
    EXPECT_EQ(dir.ListNames(), "packwren.ini");
}

TEST(SettingsDocumentSave, ATargetHeldOpenIsLeftAloneAndNoTemporaryRemains)
{
    TempDir dir;
    std::string path = dir.WriteFile("a.pwp", "old");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SettingsDocument document;
    document.SetValue("A", "k", "v");
    EXPECT_FALSE(document.Save(path.c_str()));
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(dir.ListNames(), "a.pwp");
}

TEST(SettingsDocumentSave, JapaneseDirectoryWithBackslashTrailBytes)
{
    // "ソ" ends in the byte 0x5C; the temporary file must still land in the right directory.
    TempDir dir;
    std::string sub = dir.Join("ソース");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    std::string path = sub + "\\表示.pwp";
    SettingsDocument document;
    document.SetValue("A", "k", "v");
    ASSERT_TRUE(document.Save(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), "[A]\r\nk=v\r\n");
    EXPECT_EQ(dir.ListNames(), "ソース");
}
