// The resources as the program loads them: every text must come back in code page 932.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/packwren_process_win32.h"
#include "tests/support/temp_dir.h"

namespace {

// "text#id" per item, "-" for a separator, "[popup]" for a submenu.
std::vector<std::string> MenuItems(HMENU menu)
{
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        if (GetSubMenu(menu, i) != nullptr)
            items.push_back(std::string("[") + text + "]");
        else if (text[0] == '\0')
            items.push_back("-");
        else
            items.push_back(std::string(text) + "#" + std::to_string(id));
    }
    return items;
}

}  // namespace

TEST(Resources, MenusAndPaneAccelerators)
{
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_MAIN));
    HMENU context = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_CONTEXT));
    ASSERT_TRUE(menu != nullptr && context != nullptr);
    using Items = std::vector<std::string>;
    EXPECT_EQ(MenuItems(menu), (Items{"[ファイル(&F)]", "[ZIP書庫(&Z)]", "[ヘルプ(&H)]"}));
    EXPECT_EQ(MenuItems(GetSubMenu(menu, 0)),
              (Items{"新規プロジェクト(&N)#40002", "プロジェクトを開く(&O)#40003", "プロジェクト保存(&S)#40004", "-",
                     "デフォルト設定(&P)...#40009", "デフォルト書庫オプション(&A)...#40016", "-", "終了(&X)#40001"}));
    EXPECT_EQ(MenuItems(GetSubMenu(menu, 1)),
              (Items{"プロジェクト設定(&P)...#40010", "書庫オプション(&A)...#40017", "-", "ZIPファイル出力(&O)...#40007"}));
    EXPECT_EQ(MenuItems(GetSubMenu(menu, 2)), (Items{"ヘルプファイルを開く(&H)#40014", "バージョン情報(&A)#40015"}));
    EXPECT_EQ(MenuItems(GetSubMenu(context, 0)),
              (Items{"プロパティ(&P)#40011", "削除(&D)#40013", "-", "新規フォルダ(&F)#40012"}));
    DestroyMenu(menu);
    DestroyMenu(context);
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDA_PANES));
    ACCEL entries[8];
    int count = CopyAcceleratorTableA(table, entries, 8);
    Items seen;
    for (int i = 0; i < count; ++i)
        seen.push_back(std::to_string(entries[i].key) + ":" + std::to_string(entries[i].cmd) + ":" +
                       std::to_string(entries[i].fVirt & ~0x80));
    EXPECT_EQ(seen, (Items{"46:40006:3", "113:40005:3", "116:40008:3"}));  // Delete, F2, F5
    DestroyAcceleratorTable(table);
}

TEST(Resources, ToolbarStripAndIcon)
{
    HBITMAP strip = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TOOLBAR),
                                                    IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    ASSERT_NE(strip, nullptr);
    BITMAP info;
    GetObjectA(strip, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 64);
    EXPECT_EQ(info.bmHeight, 15);
    DeleteObject(strip);
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        DestroyIcon(icon);
    }
}

// The text box of the version dialog has no border of its own: EDITTEXT gives one unless told not
// to, and the dialog manager would draw it as a sunken client edge.
TEST(Resources, AboutTextHasNoBorder)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dialog, nullptr);
    HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
    ASSERT_NE(text, nullptr);
    LONG_PTR style = GetWindowLongPtrA(text, GWL_STYLE);
    LONG_PTR wanted = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP;
    EXPECT_EQ(style & (wanted | WS_BORDER), wanted);
    EXPECT_EQ(GetWindowLongPtrA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    DestroyWindow(dialog);
}

// Shipped beside the program in its code page and with CR LF, which every Notepad shows as lines.
TEST(Resources, HelpFileBesideTheProgram)
{
    std::string exe = BuiltPackwrenPath();
    std::string help = ReadWholeFile(exe.substr(0, exe.find_last_of('\\') + 1) + "packwren.txt");
    ASSERT_EQ(help.rfind("パックレン 1.0.0 ヘルプ\r\n", 0), 0u) << help.substr(0, 40);
    size_t lines = 0;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1), ++lines)
        ASSERT_EQ(help[at - 1], '\r') << "a bare LF at byte " << at;
    EXPECT_GT(lines, 20u);
    EXPECT_EQ(help.find("\r\r"), std::string::npos);
    EXPECT_EQ(help.back(), '\n');
}
