// The main window created in this process under the null graphics driver, driven with real
// messages.
#include "ui/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings_document.h"
#include "resources/resource.h"
#include "ui/split_layout.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        AppSettings = new SettingsDocument;
        Panes() = PaneWindows();
        SplitPosition() = 128;
        RegisterMainWindowClass(GetModuleHandleA(nullptr));
        window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 512, 384,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        // Drain the quit message posted by the destruction.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyDocuments();
    }
    int Width(HWND child)
    {
        RECT box;
        GetWindowRect(child, &box);
        return box.right - box.left;
    }
    int ClientWidth()
    {
        RECT client;
        GetClientRect(window, &client);
        return client.right;
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(MainWindowTest, ChildrenAndToolbar)
{
    const PaneWindows& panes = Panes();
    EXPECT_EQ(GetDlgCtrlID(panes.statusBar), kStatusBarId);
    EXPECT_EQ(SendMessageA(panes.statusBar, SB_GETPARTS, 0, 0), 1);
    char name[64];
    GetClassNameA(panes.bar, name, sizeof name);
    EXPECT_STREQ(name, "SPLITBAR");
    GetClassNameA(panes.leftPane, name, sizeof name);
    EXPECT_STREQ(name, "SPLITCHILD");
    EXPECT_EQ(GetParent(panes.leftPane), panes.bar);
    EXPECT_EQ(GetParent(panes.rightPane), window);

    std::vector<int> commands;
    int count = static_cast<int>(SendMessageA(panes.toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        SendMessageA(panes.toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        commands.push_back(button.fsStyle & BTNS_SEP ? 0 : button.idCommand);
    }
    EXPECT_EQ(commands, (std::vector<int>{40002, 40003, 40004, 0, 40007}));
}

TEST_F(MainWindowTest, TooltipsComeFromTheTable)
{
    struct {
        UINT_PTR id;
        LRESULT result;
        const char* text;
    } rows[] = {{40002, 1, "新規プロジェクト"}, {40003, 1, "プロジェクトを開く"}, {40004, 1, "プロジェクト保存"},
                {40007, 1, "ZIPファイル出力"}, {40001, 0, nullptr}};
    for (const auto& row : rows) {
        NMTTDISPINFOA info = {};
        info.hdr.code = TTN_NEEDTEXTA;
        info.hdr.idFrom = row.id;
        EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), row.result);
        if (row.text != nullptr) {
            EXPECT_STREQ(info.lpszText, row.text);
        }
    }
}

TEST_F(MainWindowTest, SplitIsClampedWhileDraggingAndWhenNarrowing)
{
    const PaneWindows& panes = Panes();
    EXPECT_EQ(SplitPosition(), 128);
    EXPECT_EQ(Width(panes.bar), 128);
    EXPECT_EQ(Width(panes.leftPane), 124);

    // Dragging the bar is sizing the bar window.
    SetWindowPos(panes.bar, nullptr, 0, 0, 2, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), 5);
    EXPECT_EQ(Width(panes.bar), 5);
    SetWindowPos(panes.bar, nullptr, 0, 0, 5000, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);
    EXPECT_EQ(Width(panes.rightPane), 1);

    SetWindowPos(panes.bar, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), 300);
    SetWindowPos(window, nullptr, 0, 0, 200, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SplitPosition(), ClientWidth() - 1);

    // Minimising does not lay the panes out again.
    SetWindowPos(window, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(panes.bar, nullptr, 0, 0, 250, 100, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(SplitPosition(), 250);
}

TEST_F(MainWindowTest, OnlyTheBarsRightEdgeStartsSizing)
{
    const PaneWindows& panes = Panes();
    RECT bar;
    GetWindowRect(panes.bar, &bar);
    int y = (bar.top + bar.bottom) / 2;
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 1, y)), HTRIGHT);
    EXPECT_EQ(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 4, y)), HTRIGHT);
    EXPECT_NE(SendMessageA(panes.bar, WM_NCHITTEST, 0, MAKELPARAM(bar.right - 5, y)), HTRIGHT);
}

TEST_F(MainWindowTest, CloseWritesTheLayoutKeysInOrder)
{
    SetWindowPos(Panes().bar, nullptr, 0, 0, 150, 100, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(window, WM_CLOSE, 0, 0);
    window = nullptr;
    std::vector<std::string> keys;
    for (SettingsEntry* e = AppSettings->FirstEntry("WINDOW"); e != nullptr; e = e->next)
        keys.push_back(e->key);
    EXPECT_EQ(keys, (std::vector<std::string>{"ListColumnWidth", "ListSortColumn", "MainWindowMode",
                                              "MainWindowPos", "MainWindowMinPos", "MainWindowMaxPos",
                                              "SplitPos"}));
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "SplitPos"), "150");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowPos"), "0,0,512,384");
}

TEST_F(MainWindowTest, MaximisedStateIsSavedWithTheRestoredRectangle)
{
    ShowWindow(window, SW_MAXIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "MAXIMIZED");
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowPos"), "0,0,512,384");
    ShowWindow(window, SW_MINIMIZE);
    SaveWindowLayout(window);
    EXPECT_STREQ(AppSettings->GetValue("WINDOW", "MainWindowMode"), "NORMAL");
}
