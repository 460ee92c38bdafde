#pragma once
#include <windows.h>

// Makes `edit` refuse what a password in the project file cannot hold: typed TABs and line
// breaks are dropped, and a pasted text loses its control bytes.
void FilterPasswordInput(HWND edit);
