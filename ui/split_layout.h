#pragma once
#include <windows.h>

// The two panes beside a 4-pixel bar. The bar is the uncovered right edge of the "SPLITBAR"
// window; dragging it is the platform's own window sizing, started by the hit test.
constexpr int kSplitBarWidth = 4;

struct PaneWindows {
    HWND toolbar = nullptr;
    HWND statusBar = nullptr;
    HWND bar = nullptr;
    HWND leftPane = nullptr;   // holds the folder tree
    HWND rightPane = nullptr;  // holds the file list
};

PaneWindows& Panes();
// Width of the left part including the bar.
int& SplitPosition();

// The WM_CREATE work of the main window: settings, toolbar, status bar, bar and pane containers.
void CreateMainChildren(HWND mainWindow);
void LayoutPanes(HWND mainWindow);
LRESULT CALLBACK SplitBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Shows the main window where it was left, maximised again when it was closed so.
void RestoreWindowPlacement(HWND mainWindow, int showCommand);
// Writes the list layout, placement and split into AppSettings and saves the settings file.
void SaveWindowLayout(HWND mainWindow);

// Pane contents (the folder tree and the file list) are fitted to their containers here.
void FitViewToPane(HWND view, HWND pane);
