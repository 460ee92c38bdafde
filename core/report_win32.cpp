#include <windows.h>

#include "core/app_state_win32.h"
#include "core/report.h"

void PlatformReportError(const char* text, const char* title)
{
    MessageBoxA(g_mainWindow, text, title, MB_ICONERROR);
}
