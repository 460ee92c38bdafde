#include "core/app_state_win32.h"

HWND g_mainWindow;
