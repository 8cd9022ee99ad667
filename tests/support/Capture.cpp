#include "support/Capture.h"

#include <cstdio>
#include <vector>

bool SaveWindowBitmap(HWND hWnd, const std::string& path) {
    RedrawWindow(hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC hWindowDC = GetWindowDC(hWnd);
    HDC hMem = CreateCompatibleDC(hWindowDC);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP hBmp = CreateDIBSection(hWindowDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(hMem, hBmp);
    BitBlt(hMem, 0, 0, w, h, hWindowDC, 0, 0, SRCCOPY);
    const DWORD stride = (w * 3 + 3) & ~3u, size = stride * h;
    BITMAPFILEHEADER fh{0x4D42, DWORD(sizeof(fh) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        DWORD(sizeof(fh) + sizeof(BITMAPINFOHEADER))};
    bool ok = false;
    if (FILE* f = fopen(path.c_str(), "wb")) {
        ok = fwrite(&fh, sizeof(fh), 1, f) == 1 &&
             fwrite(&bi.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f) == 1 &&
             fwrite(bits, size, 1, f) == 1;
        fclose(f);
    }
    SelectObject(hMem, old);
    DeleteObject(hBmp);
    DeleteDC(hMem);
    ReleaseDC(hWnd, hWindowDC);
    return ok;
}
