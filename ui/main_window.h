#pragma once
#include <windows.h>

// The program's only top-level window in windowed mode: menu, toolbar, status bar and two panes.
constexpr char kMainWindowClass[] = "PACKWREN";
constexpr char kMainWindowTitle[] = "パックレン";
constexpr int kStatusBarId = 300;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool RegisterMainWindowClass(HINSTANCE instance);

// Stores the tree into the project document and writes it under a name the user chooses.
bool SaveProject();

HWND CreateMainToolbar(HWND mainWindow);
HWND CreateMainStatusBar(HWND mainWindow);

// Set while a pane holds the keyboard focus; the message loop offers the pane accelerators only then.
extern bool TreeHasFocus;
extern bool ListHasFocus;
// Turns Delete, F2 and F5 into the main window's commands, only while a pane has the focus.
bool TranslatePaneAccelerator(HWND mainWindow, HACCEL paneAccelerators, MSG* msg);
