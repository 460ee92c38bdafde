#pragma once
// Gets a test past a modal dialog: a second thread waits for a top-level window of a title (in any
// process), reads it and presses a button. The constructor connects to Wine's desktop first: made
// on the thread while the test's thread starts a process, that connection deadlocks.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The compression job's dialog.
constexpr char kJobTitle[] = "圧縮処理";

struct DialogReport {
    bool found = false;
    std::vector<std::string> texts;  // window texts of the dialog's child controls, in order
    RECT rect = {};                  // the dialog's window rectangle when it was found
    bool HasText(const std::string& text) const
    {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

class ModalWatcher {
public:
    // As the button id: close the window with WM_CLOSE (the main window of another process).
    static constexpr int kCloseWindow = -1;
    // `beforePress` runs on the watcher's thread first; a dialog it closed is left alone.
    explicit ModalWatcher(std::string title, int buttonId = IDOK, DWORD timeoutMs = 20000,
                          std::function<void(HWND)> beforePress = nullptr);
    ~ModalWatcher() { Wait(); }
    DialogReport Wait();

private:
    DialogReport report_;
    std::thread thread_;
};

// Polls until `done` holds; false when the time is up first.
bool WaitFor(DWORD timeoutMs, const std::function<bool()>& done);
// True once the job's worker has ended (the close button is enabled again) and the dialog is open.
bool WaitForJobEnd(HWND dialog, DWORD timeoutMs = 60000);
std::string JobLogText(HWND dialog);
// Sends a command as the dialog's buttons and keys do (IDOK close, abort, IDCANCEL Esc).
void PressButton(HWND dialog, int id);
