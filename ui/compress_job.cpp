#include "ui/compress_job.h"

#include <commctrl.h>
#include <process.h>

#include <atomic>
#include <mutex>
#include <string>

#include "archive/archive_builder.h"
#include "archive/archive_job.h"
#include "core/format_text.h"
#include "core/report.h"
#include "resources/resource.h"

namespace {

// Written before the dialog opens, read by the worker.
char g_outputPath[260];
bool g_autoClose;
// Sizes at opening: the dialog's minimum and the base of the log's resizing. Zero until then.
SIZE g_dialogSize;
SIZE g_logSize;
HANDLE g_worker;
bool g_running;
// Written by the worker, read once it has ended.
bool g_built;

SIZE WindowSize(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// What the worker has to show goes through here to the dialog's thread, which shows it on a
// timer. Under Wine each message to a shown control costs a repaint: a progress step per file,
// sent from the worker, took longer than reading and deflating a small file.
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowInterval = 100;  // ms
std::atomic<int> g_filesDone;
std::mutex g_pendingLock;
std::string g_pendingLog;

class JobReporter : public BuildReporter {
public:
    explicit JobReporter(HWND dialog) : dialog_(dialog) {}
    void LogLine(const char* line) override
    {
        std::lock_guard<std::mutex> hold(g_pendingLock);
        g_pendingLog += line;
    }
    void Step() override { ++g_filesDone; }
    // A 32-bit range: a 16-bit one would wrap for projects of more than 65,535 files.
    void SetFileCount(int count) override
    {
        SendDlgItemMessageA(dialog_, IDC_JOB_PROGRESS, PBM_SETRANGE32, 0, count);
    }

private:
    HWND dialog_;
};

// Hands the pending log lines and the file count to the controls. Called on the dialog's thread
// by the timer and by the worker at its end; the lines keep their order either way, as the
// dialog's thread takes and inserts them without handling messages in between.
void ShowJobState(HWND dialog)
{
    std::string lines;
    {
        std::lock_guard<std::mutex> hold(g_pendingLock);
        lines.swap(g_pendingLog);
    }
    if (!lines.empty()) {
        SendDlgItemMessageA(dialog, IDC_JOB_LOG, EM_REPLACESEL, 0,
                            reinterpret_cast<LPARAM>(lines.c_str()));
    }
    SendDlgItemMessageA(dialog, IDC_JOB_PROGRESS, PBM_SETPOS, g_filesDone, 0);
}

// The close button doubles as the sign that the worker has ended.
bool WorkerRunning(HWND dialog)
{
    return !IsWindowEnabled(GetDlgItem(dialog, IDOK));
}

INT_PTR OnInitDialog(HWND dialog)
{
    HWND log = GetDlgItem(dialog, IDC_JOB_LOG);
    g_dialogSize = WindowSize(dialog);
    g_logSize = WindowSize(log);
    // The edit control's default limit would cut a long log.
    SendMessageA(log, EM_SETLIMITTEXT, 0, 0);
    SetTimer(dialog, kShowTimer, kShowInterval, nullptr);
    // Disabled before the worker exists, so that nothing closes the dialog under it.
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    unsigned threadId = 0;
    g_worker = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, CompressJobThread, dialog, 0, &threadId));
    if (g_worker == nullptr) {
        SendMessageA(log, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("処理を中断しました\r\n"));
        EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
        EnableWindow(GetDlgItem(dialog, IDC_JOB_ABORT), FALSE);
    }
    return TRUE;
}

// The log takes whatever the dialog gains or loses; the top row keeps its place and size.
INT_PTR OnSize(HWND dialog)
{
    if (g_dialogSize.cx == 0)
        return TRUE;
    SIZE now = WindowSize(dialog);
    SetWindowPos(GetDlgItem(dialog, IDC_JOB_LOG), nullptr, 0, 0,
                 g_logSize.cx + now.cx - g_dialogSize.cx, g_logSize.cy + now.cy - g_dialogSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return TRUE;
}

INT_PTR OnGetMinMaxInfo(HWND dialog, MINMAXINFO* info)
{
    if (g_dialogSize.cx != 0) {
        info->ptMinTrackSize.x = g_dialogSize.cx;
        info->ptMinTrackSize.y = g_dialogSize.cy;
    }
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:  // the close button, or the worker's auto-close
        if (!WorkerRunning(dialog))
            EndDialog(dialog, 1);
        return TRUE;
    case IDC_JOB_ABORT:
        RequestArchiveAbort();
        return TRUE;
    case IDCANCEL:  // Esc aborts while the worker runs and closes afterwards
        if (WorkerRunning(dialog))
            RequestArchiveAbort();
        else
            EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

bool StartCompressJob(HWND owner, const char* outputPath, bool autoClose)
{
    g_autoClose = autoClose;
    if (FormatText(g_outputPath, sizeof g_outputPath, "%s", outputPath) < 0)
        return false;
    // Batch mode has no main window that would have registered the progress bar's class.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = owner != nullptr
                             ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                             : GetModuleHandleA(nullptr);
    g_dialogSize = SIZE{};
    g_logSize = SIZE{};
    g_worker = nullptr;
    g_built = false;
    g_filesDone = 0;
    g_pendingLog.clear();
    // Before the dialog exists: an abort from its first moment on must hold.
    ResetArchiveAbort();
    g_running = true;
    INT_PTR shown = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_COMPRESS_JOB), owner,
                                    CompressJobDialogProc, 0);
    // The dialog closes only after the build; the worker's last steps follow at once. Messages
    // it might still send are served meanwhile, so that it can never wait on this thread.
    if (g_worker != nullptr) {
        while (MsgWaitForMultipleObjects(1, &g_worker, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(g_worker);
        g_worker = nullptr;
    }
    g_running = false;
    if (shown == -1) {
        ReportError("圧縮処理の画面を開けませんでした", "パックレン：圧縮処理");
        return false;
    }
    return g_built;
}

bool CompressJobRunning()
{
    return g_running;
}

INT_PTR CALLBACK CompressJobDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_SIZE:
        return OnSize(dialog);
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(dialog, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_TIMER:
        if (wParam != kShowTimer)
            return FALSE;
        ShowJobState(dialog);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kShowTimer);
        return TRUE;
    default:
        return FALSE;
    }
}

unsigned __stdcall CompressJobThread(void* parameter)
{
    HWND dialog = static_cast<HWND>(parameter);
    JobReporter reporter(dialog);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_JOB_ABORT), TRUE);
    SetDlgItemTextA(dialog, IDC_JOB_LOG, "");

    bool built = RunArchiveJob(g_outputPath, &reporter);
    ShowJobState(dialog);
    g_built = built;
    EnableWindow(GetDlgItem(dialog, IDC_JOB_ABORT), FALSE);
    // The dialog may close from here on: nothing is sent to it any more.
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    if (built && g_autoClose)
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    _endthreadex(0);
    return 0;
}
