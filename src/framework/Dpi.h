// The display scale. Every size and offset in pixels that the program sets
// itself is written for 96 DPI and reaches the window through ScaledPx, so at
// 96 DPI it stays as written.
#pragma once

#include <windows.h>

// The DPI the system gives the window: its monitor's, or the system's where
// Windows has no DPI per window (before Windows 10).
UINT WindowDpi(HWND hWnd);

inline int ScaledPx(int px, UINT dpi) {
    return MulDiv(px, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}
