#include "ui/main_window.h"

#include <commctrl.h>

#include "core/app_state.h"
#include "core/app_state_win32.h"
#include "core/format_text.h"
#include "core/report.h"
#include "core/settings_document.h"
#include "dnd/drop_target.h"
#include "project/project_file.h"
#include "project/project_node.h"
#include "project/project_state.h"
#include "project/project_tree.h"
#include "project/properties.h"
#include "resources/resource.h"
#include "ui/compress_job.h"
#include "ui/file_list.h"
#include "ui/folder_tree.h"
#include "ui/options_dialog.h"
#include "ui/pane_drag.h"
#include "ui/pane_view.h"
#include "ui/property_dialog.h"
#include "ui/shell_dialogs.h"
#include "ui/split_layout.h"

bool TreeHasFocus;
bool ListHasFocus;

namespace {

const char kAuthor[] = "パックレン開発チーム";
const char kWebPage[] = "https://packwren.example.jp/";
const char kMail[] = "support@packwren.example.jp";

struct Tooltip {
    int command;
    const char* text;
};
const Tooltip kTooltips[] = {
    {IDC_NEW_PROJECT, "新規プロジェクト"},
    {IDC_OPEN_PROJECT, "プロジェクトを開く"},
    {IDC_SAVE_PROJECT, "プロジェクト保存"},
    {IDC_WRITE_ZIP, "ZIPファイル出力"},
};

// The load appends rows in stored order and leaves the status line of the project before:
// the list is refilled in its sort order and the loaded settings are shown.
void OpenProjectInPanes(const char* path)
{
    LockPaneUpdates(true);
    OpenProject(path);
    FillFileList();
    LockPaneUpdates(false);
    ShowEntryStatus(nullptr);
}

void OnCreate(HWND window)
{
    g_mainWindow = window;
    CreateMainChildren(window);
    if (ProjectArgument[0] != '\0')
        OpenProjectInPanes(ProjectArgument);
    // Last, so that no drop arrives while a failed load's message box is up.
    RegisterDropTarget(window, &PaneDrops());
}

void OnOpenProject(HWND window)
{
    char path[260] = "";
    if (!ChooseFile(window, "パックレン：プロジェクトを開く", path, kProjectFileFilter, false))
        return;
    OpenProjectInPanes(path);
}

void OnSize(HWND window, WPARAM wParam, LPARAM lParam)
{
    const PaneWindows& panes = Panes();
    // The toolbar and the status bar re-dock themselves on the frame's own size message.
    SendMessageA(panes.toolbar, WM_SIZE, wParam, lParam);
    SendMessageA(panes.statusBar, WM_SIZE, wParam, lParam);
    if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
        LayoutPanes(window);
}

LRESULT OnNotify(NMHDR* header)
{
    if (header->code != TTN_NEEDTEXTA)
        return 0;
    NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->hinst = GetModuleHandleA(nullptr);
    for (const Tooltip& tip : kTooltips) {
        if (static_cast<UINT_PTR>(tip.command) == header->idFrom) {
            info->lpszText = const_cast<char*>(tip.text);
            return 1;
        }
    }
    return 0;
}

void OnWriteZip(HWND window)
{
    char path[260];
    FormatText(path, sizeof path, "%s.zip", ProjectRoot()->name);
    if (ChooseFile(window, "パックレン：ZIPファイル出力", path, kZipFileFilter, true))
        StartCompressJob(window, path, false);
}

// Returns true when the command was handled and its result is `*result`.
bool OnCommand(HWND window, int command, LRESULT* result)
{
    switch (command) {
    case IDC_NEW_PROJECT:
        ResetProject();
        return false;
    case IDC_OPEN_PROJECT:
        OnOpenProject(window);
        return false;
    case IDC_SAVE_PROJECT:
        SaveProject();
        return false;
    case IDC_WRITE_ZIP:
        OnWriteZip(window);
        return false;
    case IDC_RENAME:
        StartTreeRename();
        StartListRename();
        return false;
    case IDC_DELETE:
        DeleteSelection();
        return false;
    case IDC_REFRESH:
        FillFileList();
        return false;
    case IDC_APP_SETTINGS:
        EditApplicationDefaults();
        return false;
    case IDC_PROJECT_SETTINGS:
        EditProjectSettings();
        return false;
    case IDC_APP_OPTIONS:
        EditApplicationOptions();
        return false;
    case IDC_PROJECT_OPTIONS:
        EditProjectOptions();
        return false;
    case IDC_EXIT:
        PostMessageA(window, WM_CLOSE, 0, 0);
        *result = 0;
        return true;
    case IDC_HELP_FILE:
        OpenHelpFile(window);
        *result = 1;
        return true;
    case IDC_ABOUT:
        ShowAboutBox(window, kMainWindowTitle, "1.0.0", kAuthor, kWebPage, kMail);
        return false;
    default:
        return false;
    }
}

void OnClose(HWND window)
{
    RevokeDropTarget(window);
    SaveWindowLayout(window);
}

void OnDestroy()
{
    DetachPanes();
    ClearProject();
    g_mainWindow = nullptr;
    PostQuitMessage(0);
}

}  // namespace

bool SaveProject()
{
    if (ProjectDocument == nullptr || !StoreProject(ProjectDocument))
        return false;
    char path[260];
    FormatText(path, sizeof path, "%s.pwp", ProjectRoot()->name);
    if (!ChooseFile(g_mainWindow, "パックレン：プロジェクトを名前を付けて保存", path, kProjectFileFilter, true))
        return false;
    FormatText(CurrentProjectPath, sizeof CurrentProjectPath, "%s", path);
    // A save that did not reach the disk must not pass for one that did.
    if (!ProjectDocument->Save(path)) {
        ReportError("プロジェクトの保存に失敗しました。", "パックレン：プロジェクト");
        return false;
    }
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_SIZE:
        OnSize(window, wParam, lParam);
        break;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {64, 64};
        break;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND: {
        LRESULT result = 0;
        if (OnCommand(window, LOWORD(wParam), &result))
            return result;
        break;
    }
    case WM_CLOSE:
        OnClose(window);
        break;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSA frame = {};
    frame.style = CS_BYTEALIGNWINDOW;
    frame.lpfnWndProc = MainWindowProc;
    frame.hInstance = instance;
    frame.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    frame.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    frame.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    frame.lpszClassName = kMainWindowClass;
    return RegisterClassA(&frame) != 0;
}

HWND CreateMainToolbar(HWND mainWindow)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    TBBUTTON standard[] = {
        {STD_FILENEW, IDC_NEW_PROJECT, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {STD_FILEOPEN, IDC_OPEN_PROJECT, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {STD_FILESAVE, IDC_SAVE_PROJECT, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, 0, BTNS_SEP, {}, 0, 0},
    };
    HWND toolbar = CreateToolbarEx(mainWindow, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, 0, 15,
                                   HINST_COMMCTRL, IDB_STD_SMALL_COLOR, standard, 4, 0, 0, 0, 0,
                                   sizeof(TBBUTTON));
    HBITMAP strip = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_TOOLBAR), IMAGE_BITMAP,
                                                    0, 0, LR_LOADMAP3DCOLORS));
    TBADDBITMAP own = {nullptr, reinterpret_cast<UINT_PTR>(strip)};
    LRESULT first = SendMessageA(toolbar, TB_ADDBITMAP, 4, reinterpret_cast<LPARAM>(&own));
    TBBUTTON zip = {static_cast<int>(first) + 3, IDC_WRITE_ZIP, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0};
    SendMessageA(toolbar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&zip));
    return toolbar;
}

HWND CreateMainStatusBar(HWND mainWindow)
{
    HWND status = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, "", mainWindow,
                                      kStatusBarId);
    int edge = -1;
    SendMessageA(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&edge));
    return status;
}

// The pane accelerators (Delete, F2, F5) are offered only while a pane has the focus, so the
// keys reach label editors and dialogs unchanged.
bool TranslatePaneAccelerator(HWND mainWindow, HACCEL paneAccelerators, MSG* msg)
{
    HACCEL table = (TreeHasFocus || ListHasFocus) ? paneAccelerators : nullptr;
    return TranslateAcceleratorA(mainWindow, table, msg) != 0;
}
