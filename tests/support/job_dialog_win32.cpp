#include "tests/support/job_dialog_win32.h"

#include <vector>

#include "resources/resource.h"

namespace {
const char kJobTitle[] = "圧縮処理";
}

HWND WaitForJobDialog(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        HWND dialog = FindWindowA(nullptr, kJobTitle);
        // A modal dialog is shown once its initialisation is done; before that its close button
        // would still look enabled.
        if (dialog != nullptr && IsWindowVisible(dialog))
            return dialog;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool WaitForJobEnd(HWND dialog, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) {
        if (!IsWindow(dialog) || GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::string JobLogText(HWND dialog)
{
    // Sent rather than GetWindowTextA, which does not ask a control of another process.
    HWND log = GetDlgItem(dialog, IDC_JOB_LOG);
    std::vector<char> text(SendMessageA(log, WM_GETTEXTLENGTH, 0, 0) + 1);
    LRESULT length =
        SendMessageA(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data(), static_cast<size_t>(length));
}

void PressJobButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

JobDriver::JobDriver(std::function<void(HWND)> drive)
{
    // Wine connects a process to its desktop on the first window call; make it on this thread.
    FindWindowA(nullptr, kJobTitle);
    thread_ = std::thread([this, drive] {
        HWND dialog = WaitForJobDialog();
        found_ = dialog != nullptr;
        if (found_)
            drive(dialog);
    });
}

JobDriver::~JobDriver()
{
    if (thread_.joinable())
        thread_.join();
}

bool JobDriver::Finish()
{
    if (thread_.joinable())
        thread_.join();
    return found_;
}
