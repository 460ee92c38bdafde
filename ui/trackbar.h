#pragma once
#include <windows.h>

#include <commctrl.h>

// The trackbar messages the program sends, with names and types.

inline void SetTrackbarRange(HWND trackbar, int low, int high, bool redraw)
{
    SendMessageA(trackbar, TBM_SETRANGE, redraw, MAKELPARAM(low, high));
}

inline void SetTrackbarSteps(HWND trackbar, int line, int page)
{
    SendMessageA(trackbar, TBM_SETLINESIZE, 0, line);
    SendMessageA(trackbar, TBM_SETPAGESIZE, 0, page);
}

inline void SetTrackbarTick(HWND trackbar, int position)
{
    SendMessageA(trackbar, TBM_SETTIC, 0, position);
}

// A position outside the range leaves the thumb at the nearer end.
inline void SetTrackbarPosition(HWND trackbar, int position)
{
    SendMessageA(trackbar, TBM_SETPOS, TRUE, position);
}

inline int TrackbarPosition(HWND trackbar)
{
    return static_cast<int>(SendMessageA(trackbar, TBM_GETPOS, 0, 0));
}
