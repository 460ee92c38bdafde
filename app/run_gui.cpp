#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/app_main.h"
#include "core/app_state.h"
#include "core/app_state_win32.h"
#include "core/report.h"
#include "dnd/entry_payload.h"
#include "project/project_file.h"
#include "resources/resource.h"
#include "ui/main_window.h"
#include "ui/split_layout.h"

namespace {

void RunMessageLoop(HWND mainWindow, HACCEL paneAccelerators)
{
    MSG msg;
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            WaitMessage();
            continue;
        }
        if (GetMessageA(&msg, nullptr, 0, 0) == 0)
            break;
        if (!TranslatePaneAccelerator(mainWindow, paneAccelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace

int RunGui(HINSTANCE instance, HINSTANCE previousInstance, int showCommand)
{
    CoInitialize(nullptr);
    if (OleInitialize(nullptr) != S_OK) {
        ReportError("OLEの初期化に失敗しました。", "パックレン：OLE初期化");
        return 0;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_internalClipboardFormat = RegisterClipboardFormatA("PACKWREN_INTERNAL_CLIPBOARDTYPE");
    if (!OpenAppSettings()) {
        DestroyDocuments();
        OleUninitialize();
        return 1;
    }
    OpenProject("");
    if (previousInstance == nullptr)
        RegisterMainWindowClass(instance);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 512,
                                  384, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        DestroyDocuments();
        OleUninitialize();
        return 1;
    }
    RestoreWindowPlacement(window, showCommand);
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_PANES));
    RunMessageLoop(window, accelerators);
    DestroyDocuments();
    OleUninitialize();
    return 0;
}
