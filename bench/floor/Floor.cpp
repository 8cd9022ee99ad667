// The least a Win32 program built like Morvane can do to show a window: an
// empty dialog from its own template, closed by WM_CLOSE. Start-up times of
// the real program are measured against it.
//
// Built a second time with FLOOR_WITH_PROGRAM_DLLS: the same dialog, but the
// executable imports the DLLs the program imports and initialises Common
// Controls 6 as it does, which tells the cost of those DLLs from the cost of
// the program's own work.
#include <windows.h>

#ifdef FLOOR_WITH_PROGRAM_DLLS
#include <commctrl.h>
#include <olectl.h>
#include <shlobj.h>
#include <shlwapi.h>
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

#ifdef FLOOR_WITH_PROGRAM_DLLS
// Referenced, never called: each one keeps its DLL among the imports.
void* volatile g_imports[] = {
    reinterpret_cast<void*>(&OleLoadPicture),        // oleaut32
    reinterpret_cast<void*>(&CreateStreamOnHGlobal), // ole32
    reinterpret_cast<void*>(&SHGetFolderPathA),      // shell32
    reinterpret_cast<void*>(&SHDeleteKeyA),          // shlwapi
};
#endif

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
#ifdef FLOOR_WITH_PROGRAM_DLLS
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
#endif
    return static_cast<int>(
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(kFloorDialog), nullptr, &FloorProc, 0));
}
