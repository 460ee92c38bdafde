#include "ui/shell_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "tests/support/watchers_win32.h"

// The version box shows its text, with no border of its own (EDITTEXT gives one unless told not
// to), centred over its owner. Near the work area's corner a window is pushed back inside; one
// larger than the work area keeps its top left corner there.
TEST(ShellDialogs, TheVersionBoxAndWindowsCentredInsideTheWorkArea)
{
    auto make = [](int x, int y, int width, int height) {
        return CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                               height, nullptr, nullptr, nullptr, nullptr);
    };
    HWND owner = make(100, 80, 600, 400);
    LONG border = -1;
    ModalWatcher watcher("バージョン情報", IDOK, 20000, [&](HWND dialog) {
        HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
        border = (GetWindowLongA(text, GWL_STYLE) & WS_BORDER) |
                 (GetWindowLongA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    });
    EXPECT_EQ(ShowAboutBox(owner, "パックレン", "1.0.0", "作者", "https://w.example/",
                           "m@w.example"), 1);
    DialogReport box = watcher.Wait();
    char date[64];
    FormatBuildDate(__DATE__, date, sizeof date);
    EXPECT_TRUE(box.HasText(std::string("タイトル    ： パックレン\r\nバージョン  ： 1.0.0\r\n"
                                        "コンパイル日： ") + date +
                            "\r\n\r\n作った人    ： 作者\r\nWebPage     ： https://w.example/\r\n"
                            "EMAIL       ： m@w.example"));
    EXPECT_EQ(border, 0);
    const RECT& r = box.rect;
    EXPECT_EQ(std::to_string(r.left) + "," + std::to_string(r.top),
              std::to_string(100 + (600 - (r.right - r.left)) / 2) + "," +
                  std::to_string(80 + (400 - (r.bottom - r.top)) / 2));

    RECT work, small, huge;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(owner, nullptr, work.right - 50, work.bottom - 50, 100, 100, SWP_NOZORDER);
    HWND windows[] = {make(0, 0, 200, 100),
                      make(0, 0, work.right - work.left + 400, work.bottom - work.top + 300)};
    for (HWND window : windows)
        CenterOverOwner(window, owner);
    GetWindowRect(windows[0], &small);
    GetWindowRect(windows[1], &huge);
    EXPECT_EQ(small.right * 10000 + small.bottom, work.right * 10000 + work.bottom);
    EXPECT_EQ(huge.left * 10000 + huge.top, work.left * 10000 + work.top);
    for (HWND window : {owner, windows[0], windows[1]})
        DestroyWindow(window);
}
