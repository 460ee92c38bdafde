#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Drives the compression job's progress dialog "圧縮処理" from a second thread while the test's
// thread sits in the dialog's modal loop (or while another process shows it).

// The dialog once it is shown (initialised), or none when it has not appeared within the time.
HWND WaitForJobDialog(DWORD timeoutMs = 20000);
// True once the worker has ended (the close button is enabled again).
bool WaitForJobEnd(HWND dialog, DWORD timeoutMs = 60000);
// True once the window is gone.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);
std::string JobLogText(HWND dialog);
// Sends a command as the dialog's buttons and keys do (IDOK close, 1002 abort, IDCANCEL Esc).
void PressJobButton(HWND dialog, int id);

// Runs `drive` on a thread of its own with the dialog once it has appeared; the dialog must be
// closed by the time `drive` returns.
class JobDriver {
public:
    explicit JobDriver(std::function<void(HWND)> drive);
    ~JobDriver();
    JobDriver(const JobDriver&) = delete;
    JobDriver& operator=(const JobDriver&) = delete;
    // Waits for the thread; false when the dialog never appeared.
    bool Finish();

private:
    std::thread thread_;
    bool found_ = false;
};
