#include "ui/split_layout.h"

#include <cstdlib>
#include <cstring>

#include "core/app_state.h"
#include "core/format_text.h"
#include "core/settings_document.h"
#include "ui/list_layout.h"
#include "ui/main_window.h"
#include "ui/pane_view.h"

namespace {

// Measured once after the toolbar and status bar exist; later size changes do not re-measure.
int g_paneTop;
int g_verticalMargin;
const int g_paneLeft = 0;
const int g_horizontalMargin = 0;

int WindowHeight(HWND window)
{
    RECT box;
    GetWindowRect(window, &box);
    return box.bottom - box.top;
}

void ClampSplit(int width)
{
    int& split = SplitPosition();
    if (split >= width)
        split = width - 1;
    if (split <= kSplitBarWidth)
        split = kSplitBarWidth + 1;
}

void RegisterPaneClasses(HINSTANCE instance)
{
    WNDCLASSA bar = {};
    bar.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
    bar.lpfnWndProc = SplitBarProc;
    bar.hInstance = instance;
    bar.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    bar.hbrBackground = GetSysColorBrush(COLOR_MENU);
    bar.lpszClassName = "SPLITBAR";
    RegisterClassA(&bar);

    WNDCLASSA child = {};
    child.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
    child.lpfnWndProc = DefWindowProcA;
    child.hInstance = instance;
    child.lpszClassName = "SPLITCHILD";
    RegisterClassA(&child);
}

// Reads up to `count` integers of a WINDOW key; false when it gives none.
bool ReadInts(const char* key, int* values, int count)
{
    return AppSettings->GetIntList("WINDOW", key, values, count) > 0;
}

void WriteInts(const char* key, const int* values, int count)
{
    AppSettings->SetIntList("WINDOW", key, values, count);
}

}  // namespace

PaneWindows& Panes()
{
    static PaneWindows panes;
    return panes;
}

int& SplitPosition()
{
    static int split = 128;
    return split;
}

void CreateMainChildren(HWND mainWindow)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    PaneWindows& panes = Panes();
    LoadListLayout();
    if (const char* split = AppSettings->GetValue("WINDOW", "SplitPos"))
        SplitPosition() = atoi(split);

    panes.toolbar = CreateMainToolbar(mainWindow);
    panes.statusBar = CreateMainStatusBar(mainWindow);
    g_paneTop = WindowHeight(panes.toolbar);
    g_verticalMargin = g_paneTop + WindowHeight(panes.statusBar);

    RECT client;
    GetClientRect(mainWindow, &client);
    int width = client.right - g_horizontalMargin;
    int height = client.bottom - g_verticalMargin;
    ClampSplit(width);

    RegisterPaneClasses(instance);
    int split = SplitPosition();
    panes.bar = CreateWindowExA(0, "SPLITBAR", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, g_paneLeft,
                                g_paneTop, split, height, mainWindow, nullptr, instance, nullptr);
    panes.leftPane = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, "SPLITCHILD", "",
                                     WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, g_paneLeft, 0,
                                     split - kSplitBarWidth, height, panes.bar, nullptr, instance, nullptr);
    panes.rightPane = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, "SPLITCHILD", "",
                                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, split + g_paneLeft,
                                      g_paneTop, width - split, height, mainWindow, nullptr, instance,
                                      nullptr);
    CreatePanes(panes.leftPane, panes.rightPane);
}

void LayoutPanes(HWND mainWindow)
{
    PaneWindows& panes = Panes();
    RECT client;
    GetClientRect(mainWindow, &client);
    int width = client.right - g_horizontalMargin;
    int height = client.bottom - g_verticalMargin;
    ClampSplit(width);
    int split = SplitPosition();
    SetWindowPos(panes.bar, nullptr, g_paneLeft, g_paneTop, split, height, SWP_NOZORDER);
    if (panes.rightPane == nullptr)
        return;
    // The nested size message of the bar may have moved the split again: take it afresh.
    split = SplitPosition();
    SetWindowPos(panes.leftPane, nullptr, g_paneLeft, 0, split - kSplitBarWidth, height, SWP_NOZORDER);
    SetWindowPos(panes.rightPane, nullptr, split + g_paneLeft, g_paneTop, width - split, height,
                 SWP_NOZORDER);
}

void FitViewToPane(HWND view, HWND pane)
{
    if (view == nullptr || pane == nullptr)
        return;
    RECT client;
    GetClientRect(pane, &client);
    MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
}

LRESULT CALLBACK SplitBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCHITTEST: {
        RECT box;
        GetWindowRect(window, &box);
        if (static_cast<short>(LOWORD(lParam)) >= box.right - kSplitBarWidth)
            return HTRIGHT;
        break;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
            SplitPosition() = LOWORD(lParam);
            LayoutPanes(GetParent(window));
        }
        break;
    case WM_DESTROY:
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RestoreWindowPlacement(HWND mainWindow, int showCommand)
{
    const char* mode = AppSettings->GetValue("WINDOW", "MainWindowMode");
    if (mode != nullptr && strcmp(mode, "MAXIMIZED") == 0)
        PostMessageA(mainWindow, WM_SYSCOMMAND, SC_MAXIMIZE, 0);

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    placement.showCmd = showCommand;
    int normal[4] = {};
    int minimized[2] = {};
    int maximized[2] = {};
    bool complete = ReadInts("MainWindowPos", normal, 4) && ReadInts("MainWindowMinPos", minimized, 2) &&
                    ReadInts("MainWindowMaxPos", maximized, 2);
    if (complete) {
        placement.rcNormalPosition = {normal[0], normal[1], normal[2], normal[3]};
        placement.ptMinPosition = {minimized[0], minimized[1]};
        placement.ptMaxPosition = {maximized[0], maximized[1]};
        SetWindowPlacement(mainWindow, &placement);
    } else {
        ShowWindow(mainWindow, showCommand);
        UpdateWindow(mainWindow);
    }
}

void SaveWindowLayout(HWND mainWindow)
{
    StoreListLayout();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(mainWindow, &placement);
    AppSettings->SetValue("WINDOW", "MainWindowMode",
                          placement.showCmd == SW_SHOWMAXIMIZED ? "MAXIMIZED" : "NORMAL");
    const RECT& normal = placement.rcNormalPosition;
    const int position[4] = {normal.left, normal.top, normal.right, normal.bottom};
    const int minimized[2] = {placement.ptMinPosition.x, placement.ptMinPosition.y};
    const int maximized[2] = {placement.ptMaxPosition.x, placement.ptMaxPosition.y};
    WriteInts("MainWindowPos", position, 4);
    WriteInts("MainWindowMinPos", minimized, 2);
    WriteInts("MainWindowMaxPos", maximized, 2);
    char split[16];
    FormatText(split, sizeof split, "%d", SplitPosition());
    AppSettings->SetValue("WINDOW", "SplitPos", split);
    AppSettings->Save();
}
