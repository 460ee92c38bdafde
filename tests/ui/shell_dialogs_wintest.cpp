#include "ui/shell_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "tests/support/watchers_win32.h"

namespace {

// A plain visible top-level window.
struct Owner {
    HWND window;
    Owner(int x, int y, int width, int height)
        : window(CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                 width, height, nullptr, nullptr, nullptr, nullptr)) {}
    ~Owner() { DestroyWindow(window); }
    RECT Rect() const
    {
        RECT box;
        GetWindowRect(window, &box);
        return box;
    }
};

}  // namespace

// The version box shows its text, with no border of its own (EDITTEXT gives one unless told not
// to), centred over its owner.
TEST(ShellDialogs, AboutBoxShowsItsTextCentredOverTheOwner)
{
    Owner owner(100, 80, 600, 400);
    LONG style = 0, exStyle = 0;
    ModalWatcher watcher("バージョン情報", IDOK, 20000, [&](HWND dialog) {
        style = GetWindowLongA(GetDlgItem(dialog, IDC_ABOUT_TEXT), GWL_STYLE);
        exStyle = GetWindowLongA(GetDlgItem(dialog, IDC_ABOUT_TEXT), GWL_EXSTYLE);
    });
    EXPECT_EQ(ShowAboutBox(owner.window, "パックレン", "1.0.0", "作者", "https://w.example/",
                           "m@w.example"), 1);
    DialogReport box = watcher.Wait();
    ASSERT_TRUE(box.found);
    char date[64];
    FormatBuildDate(__DATE__, date, sizeof date);
    EXPECT_TRUE(box.HasText(std::string("タイトル    ： パックレン\r\nバージョン  ： 1.0.0\r\n"
                                        "コンパイル日： ") + date +
                            "\r\n\r\n作った人    ： 作者\r\nWebPage     ： https://w.example/\r\n"
                            "EMAIL       ： m@w.example"));
    EXPECT_EQ((style & WS_BORDER) | (exStyle & WS_EX_CLIENTEDGE), 0);
    int width = box.rect.right - box.rect.left, height = box.rect.bottom - box.rect.top;
    EXPECT_EQ(box.rect.left, 100 + (600 - width) / 2);
    EXPECT_EQ(box.rect.top, 80 + (400 - height) / 2);
}

// Near the work area's corner a window is pushed back inside; one larger than the work area
// keeps its top left corner there.
TEST(ShellDialogs, CenterOverOwnerKeepsWindowsInsideTheWorkArea)
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    Owner owner(work.right - 50, work.bottom - 50, 100, 100);
    Owner small(0, 0, 200, 100);
    Owner huge(0, 0, work.right - work.left + 400, work.bottom - work.top + 300);
    CenterOverOwner(small.window, owner.window);
    CenterOverOwner(huge.window, owner.window);
    EXPECT_EQ(small.Rect().right * 10000 + small.Rect().bottom, work.right * 10000 + work.bottom);
    EXPECT_EQ(huge.Rect().left * 10000 + huge.Rect().top, work.left * 10000 + work.top);
}
