#include "framework/Dpi.h"

UINT WindowDpi(HWND hWnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(hWnd))
            return dpi;
    HDC hdc = GetDC(nullptr);
    const int dpi = hdc ? GetDeviceCaps(hdc, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
    ReleaseDC(nullptr, hdc);
    return static_cast<UINT>(dpi);
}
