#include "tests/support/watchers_win32.h"

#include "resources/resource.h"

bool WaitFor(DWORD timeoutMs, const std::function<bool()>& done)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
    return true;
}

ModalWatcher::ModalWatcher(std::string title, int buttonId, DWORD timeoutMs,
                           std::function<void(HWND)> beforePress)
{
    FindWindowA(nullptr, title.c_str());
    thread_ = std::thread([this, title, buttonId, timeoutMs, beforePress] {
        HWND dialog = nullptr;
        // A dialog is shown once its initialisation has set its texts and place; a message box
        // gets its controls just after its window: wait for both.
        if (!WaitFor(timeoutMs, [&] {
                dialog = FindWindowA(nullptr, title.c_str());
                return dialog != nullptr && IsWindowVisible(dialog) &&
                       (buttonId == kCloseWindow || GetDlgItem(dialog, buttonId) != nullptr);
            }))
            return;
        report_.found = true;
        GetWindowRect(dialog, &report_.rect);
        EnumChildWindows(dialog, [](HWND child, LPARAM texts) {
            char text[1024];
            GetWindowTextA(child, text, sizeof text);
            reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&report_.texts));
        if (beforePress)
            beforePress(dialog);
        if (!IsWindow(dialog))
            return;
        if (buttonId == kCloseWindow)
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        else
            PressButton(dialog, buttonId);
    });
}

DialogReport ModalWatcher::Wait()
{
    if (thread_.joinable())
        thread_.join();
    return report_;
}

bool WaitForJobEnd(HWND dialog, DWORD timeoutMs)
{
    return WaitFor(timeoutMs, [&] {
        return !IsWindow(dialog) || IsWindowEnabled(GetDlgItem(dialog, IDOK));
    }) && IsWindow(dialog);
}

std::string JobLogText(HWND dialog)
{
    // Sent rather than GetWindowTextA, which does not ask a control of another process.
    HWND log = GetDlgItem(dialog, IDC_JOB_LOG);
    std::string text(SendMessageA(log, WM_GETTEXTLENGTH, 0, 0) + 1, '\0');
    text.resize(SendMessageA(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])));
    return text;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
