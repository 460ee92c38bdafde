#include "tests/support/modal_watcher_win32.h"

bool DialogReport::HasText(const std::string& text) const
{
    for (const std::string& t : texts) {
        if (t == text)
            return true;
    }
    return false;
}

ModalWatcher::ModalWatcher(std::string title, int buttonId, DWORD timeoutMs,
                           std::function<void(HWND)> beforePress)
    : title_(std::move(title)), buttonId_(buttonId), timeoutMs_(timeoutMs),
      beforePress_(std::move(beforePress))
{
    // Wine connects a process to its desktop on the first window call. Done first on a second
    // thread while this one starts a process, that connection deadlocks; make it here.
    FindWindowA(nullptr, title_.c_str());
    thread_ = std::thread([this] { Run(); });
}

ModalWatcher::~ModalWatcher()
{
    if (thread_.joinable())
        thread_.join();
}

DialogReport ModalWatcher::Wait()
{
    if (thread_.joinable())
        thread_.join();
    return report_;
}

namespace {
BOOL CALLBACK CollectText(HWND child, LPARAM data)
{
    char text[1024];
    GetWindowTextA(child, text, sizeof text);
    reinterpret_cast<std::vector<std::string>*>(data)->push_back(text);
    return TRUE;
}
}  // namespace

void ModalWatcher::Run()
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs_) {
        HWND dialog = FindWindowA(nullptr, title_.c_str());
        // A dialog is shown once its initialisation has set its texts and place; a message box
        // gets its controls just after its window: wait for both.
        bool ready = dialog != nullptr && IsWindowVisible(dialog) &&
                     (buttonId_ == kCloseWindow || GetDlgItem(dialog, buttonId_) != nullptr);
        if (ready) {
            report_.found = true;
            report_.title = title_;
            GetWindowRect(dialog, &report_.rect);
            EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&report_.texts));
            if (beforePress_)
                beforePress_(dialog);
            if (buttonId_ == kCloseWindow)
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            else
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId_, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId_)));
            return;
        }
        Sleep(20);
    }
}
