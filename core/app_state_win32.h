#pragma once
#include <windows.h>

// Set when the main window is created; none in batch mode, so message boxes have no owner then.
extern HWND g_mainWindow;
