#include "ui/shell_dialogs.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "tests/support/watchers_win32.h"
#include "tests/support/temp_dir.h"

namespace {

// A plain visible top-level window to own the dialogs.
struct OwnerWindow {
    HWND window;
    OwnerWindow(int x, int y, int width, int height)
    {
        window = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                                 height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(window); }
};

}  // namespace

// The default extension of a proposed name, the build date as shown, and the chooser's record in
// the version-4 layout, which ends before the places bar's fields.
TEST(ShellDialogs, ExtensionsDatesAndChooserRecords)
{
    struct { const char *name, *extension; } names[] = {
        {"新規書庫.pwp", "pwp"}, {"a.b.zip", "zip"}, {"noext", ""}, {"x.abcdefghijklmnopqrstu", "abcdefghijklmno"},
        {"trailing.", ""}};
    for (const auto& row : names) {
        char extension[16];
        DefaultExtensionOf(row.name, extension);
        EXPECT_STREQ(extension, row.extension) << row.name;
    }
    struct { const char *compiled, *shown; } dates[] = {
        {"Mar 14 2005", "2005/3/14"}, {"Feb  3 2005", "2005/2/3"}, {"Dec 31 1999", "1999/12/31"},
        {"Foo 1 2000", "2000/Foo/1"}};
    for (const auto& row : dates) {
        char shown[64];
        FormatBuildDate(row.compiled, shown, sizeof shown);
        EXPECT_STREQ(shown, row.shown) << row.compiled;
    }
    struct { bool save; const char* name; DWORD flags; const char* extension; } rows[] = {
        {false, "", 0x1006, nullptr}, {true, "新規書庫.pwp", 0x0006, "pwp"}, {true, "書庫.zip", 0x0006, "zip"}};
    for (const auto& row : rows) {
        char path[260], extension[16];
        strcpy(path, row.name);
        OPENFILENAMEA record = ChooserRecord(nullptr, "t", path, kZipFileFilter, row.save, extension);
        EXPECT_EQ(record.lStructSize, offsetof(OPENFILENAMEA, pvReserved)) << row.name;
        EXPECT_EQ(record.Flags, row.flags) << row.name;
        EXPECT_STREQ(record.lpstrDefExt, row.extension) << row.name;
        EXPECT_TRUE(record.lpstrFile == path && record.nMaxFile == 260u && record.nFilterIndex == 1u);
    }
}

TEST(ShellDialogs, AboutBoxShowsItsTextCentredOverTheOwner)
{
    OwnerWindow owner(100, 80, 600, 400);
    ModalWatcher watcher("バージョン情報", IDOK);
    INT_PTR result = ShowAboutBox(owner.window, "パックレン", "1.0.0", "作者", "https://w.example/",
                                  "m@w.example");
    DialogReport box = watcher.Wait();
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(box.found);
    char date[64];
    FormatBuildDate(__DATE__, date, sizeof date);
    std::string expected = std::string("タイトル    ： パックレン\r\nバージョン  ： 1.0.0\r\nコンパイル日： ") +
                           date + "\r\n\r\n作った人    ： 作者\r\nWebPage     ： https://w.example/\r\n"
                                  "EMAIL       ： m@w.example";
    EXPECT_TRUE(box.HasText(expected));
    EXPECT_TRUE(box.HasText("閉じる"));
    EXPECT_TRUE(box.HasText("メール"));
    int width = box.rect.right - box.rect.left;
    int height = box.rect.bottom - box.rect.top;
    EXPECT_EQ(box.rect.left, 100 + (600 - width) / 2);
    EXPECT_EQ(box.rect.top, 80 + (400 - height) / 2);
}

TEST(ShellDialogs, CenterOverOwnerKeepsWindowsInsideTheWorkArea)
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    OwnerWindow owner(work.right - 50, work.bottom - 50, 100, 100);
    OwnerWindow small(0, 0, 200, 100);
    CenterOverOwner(small.window, owner.window);
    RECT placed;
    GetWindowRect(small.window, &placed);
    EXPECT_EQ(placed.right, work.right);
    EXPECT_EQ(placed.bottom, work.bottom);

    // Larger than the work area: the top left corner wins.
    OwnerWindow huge(0, 0, work.right - work.left + 400, work.bottom - work.top + 300);
    CenterOverOwner(huge.window, owner.window);
    GetWindowRect(huge.window, &placed);
    EXPECT_EQ(placed.left, work.left);
    EXPECT_EQ(placed.top, work.top);
}
