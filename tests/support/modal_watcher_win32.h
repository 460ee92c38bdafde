#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

// Gets a test past a modal message box or dialog without a person: a second thread waits (with a
// time bound) for a top-level window of the given title, in this or any other process, records
// the texts of its controls and then presses a button.
struct DialogReport {
    bool found = false;
    std::vector<std::string> texts;  // window texts of the dialog's child controls, in order
    std::string title;
    RECT rect = {};  // the dialog's window rectangle when it was found

    // True when one of the texts equals `text` byte for byte.
    bool HasText(const std::string& text) const;
};

class ModalWatcher {
public:
    // As the button id: close the window with WM_CLOSE instead of pressing a button (for the
    // main window of another process).
    static constexpr int kCloseWindow = -1;

    // `beforePress`, when given, runs on the watcher thread with the dialog before the button is
    // pressed (to type into it, for example).
    explicit ModalWatcher(std::string title, int buttonId = IDOK, DWORD timeoutMs = 20000,
                          std::function<void(HWND)> beforePress = nullptr);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    // Waits for the watcher thread and returns what it saw.
    DialogReport Wait();

private:
    void Run();

    std::string title_;
    int buttonId_;
    DWORD timeoutMs_;
    std::function<void(HWND)> beforePress_;
    DialogReport report_;
    std::thread thread_;
};
