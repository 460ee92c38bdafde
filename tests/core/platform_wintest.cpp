// The Windows platform itself: the code page the tests run in, texts compiled into resources, and
// the share modes of the file wrappers, which a settings file held by another program meets.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/file_io.h"
#include "core/settings_document.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"

TEST(Platform, TextsAreCodePage932)
{
    // A prefix set up without the Japanese locale would garble every text: fail loudly here.
    ASSERT_EQ(GetACP(), 932u);
    ASSERT_EQ(std::string("パ"), "\x83\x70");
    char text[64] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_APP_TITLE, text, sizeof text), 0);
    EXPECT_STREQ(text, "パックレン");
}

TEST(FileWrappers, OpenWithoutSharingDirectoriesAndPageBuffers)
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
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize32(mine), 10u);
    CloseFile(mine);

    EXPECT_TRUE(IsDirectoryPath(dir.Path().c_str()));
    EXPECT_FALSE(IsDirectoryPath(path.c_str()));
    EXPECT_TRUE(IsDirectoryPath(dir.Join("does-not-exist").c_str()));

    void* buffer = nullptr;
    ASSERT_TRUE(AllocPageBuffer(&buffer, 100));
    EXPECT_EQ(static_cast<char*>(buffer)[99], 0);
    void* same = buffer;
    EXPECT_FALSE(AllocPageBuffer(&buffer, 100));
    EXPECT_EQ(buffer, same);
    EXPECT_TRUE(FreePageBuffer(&buffer));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_FALSE(FreePageBuffer(&buffer));
}

// A held settings file loads as empty and is never overwritten, not even once it is released;
// a held target is left alone; no temporary file remains; a Japanese directory whose names end
// in the byte "\" still takes the temporary file.
TEST(FileWrappers, HeldFilesAreNeverOverwritten)
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
    EXPECT_EQ(dir.ListNames(), "packwren.ini");

    std::string sub = dir.MakeDir("ソース");
    ASSERT_TRUE(document.Save((sub + "\\表示.pwp").c_str()));
    EXPECT_EQ(ReadWholeFile(sub + "\\表示.pwp"), "[WINDOW]\r\nSplitPos=128\r\n");
    EXPECT_EQ(dir.ListNames(), "packwren.ini ソース");
}
