// The least a Win32 program built like Morvane can do to show a window: an
// empty dialog from its own template, closed by WM_CLOSE. Start-up times of
// the real program are measured against it.
//
// Built a second time with FLOOR_COMMON_CONTROLS: the same dialog, but with
// the program's manifest asking for Common Controls 6, initialised as the
// program does, which tells that cost from the cost of the program's own work.
#include <windows.h>

#ifdef FLOOR_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {

constexpr int kFloorDialog = 100;

INT_PTR CALLBACK FloorProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(hWnd, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hWnd, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
#ifdef FLOOR_COMMON_CONTROLS
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
#endif
    return static_cast<int>(
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(kFloorDialog), nullptr, &FloorProc, 0));
}
