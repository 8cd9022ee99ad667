// The same-work floor: a plain Win32 program that does at start what
// morvane.exe does before its window shows, written without any of the
// program's code: the main dialog from the program's own templates, the page
// and banner containers, the five pages as modeless child dialogs with their
// tooltips, the same fifty state reads (each written out below), the five tab
// items, the machine-wide probe write and the centring. What morvane.exe
// takes beyond this is the cost of its framework and its own code.
#include "SameWorkReads.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

namespace {

constexpr int kPageWidthAtStart = 490;
constexpr int kPageHeight = 275;
constexpr int kBannerWidth = 1000;
constexpr int kBannerHeight = 80;
constexpr int kTipWidth = 250;
constexpr int kTipAutoPopMs = 20000;
constexpr COLORREF kBackground = RGB(0xEE, 0xF1, 0xF6);
constexpr COLORREF kText = RGB(0x1F, 0x2A, 0x37);
const char* const kTabTexts[] = {"General", "Services", "IExplorer", "Windows MediaPlayer",
                                 "Usability"};
const int kPageTemplates[] = {IDD_GENERAL, IDD_SERVICES, IDD_IEXPLORER, IDD_MEDIAPLAYER,
                              IDD_USABILITY};

HINSTANCE g_hInstance;
HBRUSH g_hBackground;
HWND g_hMain;
HWND g_hPages[5];
HWND g_hTips[5];

INT_PTR Colour(WPARAM wParam) {
    HDC hdc = reinterpret_cast<HDC>(wParam);
    SetTextColor(hdc, kText);
    SetBkColor(hdc, kBackground);
    return reinterpret_cast<INT_PTR>(g_hBackground);
}

bool IsColourMessage(UINT msg) {
    return msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN;
}

INT_PTR CALLBACK PageProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsColourMessage(msg))
        return Colour(wParam);
    if (msg != WM_INITDIALOG)
        return FALSE;
    const int page = static_cast<int>(lParam);
    const PageBoxes& boxes = kPageBoxes[page];
    HWND hTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, hWnd, nullptr, g_hInstance, nullptr);
    g_hTips[page] = hTip;
    if (hTip) {
        for (int i = 0; i < boxes.count; ++i) {
            TTTOOLINFOA ti{};
            ti.cbSize = sizeof(ti);
            ti.uFlags = TTF_IDISHWND;
            ti.hwnd = hWnd;
            ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hWnd, boxes.boxes[i].id));
            ti.hinst = g_hInstance;
            ti.lpszText = const_cast<char*>(boxes.boxes[i].tip);
            SendMessageA(hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
        SendMessageA(hTip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
        SendMessageA(hTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, kTipAutoPopMs);
        SendMessageA(hTip, TTM_ACTIVATE, TRUE, 0);
    }
    for (int i = 0; i < boxes.count; ++i) {
        const Box& box = boxes.boxes[i];
        if (Checked(box))
            CheckDlgButton(hWnd, box.id, BST_CHECKED);
    }
    return TRUE;
}

INT_PTR CALLBACK PlainProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    return IsColourMessage(msg) ? Colour(wParam) : FALSE;
}

// At the frame's offset from the dialog's outer top-left corner, moved by
// dx, dy: where the program puts its containers.
void Place(HWND hDlg, HWND hContainer, int frameId, int dx, int dy) {
    RECT rcFrame, rcDialog;
    GetWindowRect(GetDlgItem(hDlg, frameId), &rcFrame);
    GetWindowRect(hDlg, &rcDialog);
    SetWindowPos(hContainer, nullptr, rcFrame.left - rcDialog.left + dx,
                 rcFrame.top - rcDialog.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void CreateContainers(HWND hDlg) {
    HWND hPages =
        CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_PAGE_CONTAINER), hDlg, &PlainProc, 0);
    if (!hPages)
        return;
    for (int i = 0; i < 5; ++i)
        if (!(g_hPages[i] = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(kPageTemplates[i]),
                                               hPages, &PageProc, i)))
            return;
    Place(hDlg, hPages, IDC_PAGE_FRAME, 5, -15);
    for (int i = 0; i < 5; ++i) {
        SetWindowPos(g_hPages[i], nullptr, 0, 0, kPageWidthAtStart, kPageHeight, SWP_NOZORDER);
        if (i == 0)
            ShowWindow(g_hPages[i], SW_SHOW);
    }

    HWND hBanners = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_BANNER_CONTAINER), hDlg,
                                       &PlainProc, 0);
    if (!hBanners)
        return;
    HWND hBanner =
        CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_BANNER), hBanners, &PlainProc, 0);
    if (!hBanner)
        return;
    Place(hDlg, hBanners, IDC_BANNER_FRAME, -5, -40);
    SetWindowPos(hBanner, nullptr, 0, 0, kBannerWidth, kBannerHeight, SWP_NOZORDER);
    ShowWindow(hBanner, SW_SHOW);
}

void Centre(HWND hDlg) {
    RECT rc;
    GetWindowRect(hDlg, &rc);
    MONITORINFO mi{sizeof(mi)};
    GetMonitorInfoA(MonitorFromWindow(hDlg, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& area = mi.rcWork;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(hDlg, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MainProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM) {
    if (IsColourMessage(msg))
        return Colour(wParam);
    switch (msg) {
    case WM_INITDIALOG: {
        g_hMain = hDlg;
        if (HMENU hSysMenu = GetSystemMenu(hDlg, FALSE)) {
            char text[256];
            if (LoadStringA(g_hInstance, IDS_ABOUTBOX, text, sizeof(text)) > 0) {
                AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
                AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, text);
            }
        }
        HICON hIcon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
        SendMessageA(hDlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        SendMessageA(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
        CreateContainers(hDlg);
        HWND hTab = GetDlgItem(hDlg, IDC_TAB);
        for (int i = 0; i < 5; ++i) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(kTabTexts[i]);
            SendMessageA(hTab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &hKey,
                            nullptr) == ERROR_SUCCESS) {
            const DWORD zero = 0;
            RegSetValueExA(hKey, "test", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                           sizeof(zero));
            RegCloseKey(hKey);
        }
        Centre(hDlg);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(hDlg);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(hDlg);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

// Each page's tooltip sees the messages of that page and its controls.
void Relay(MSG& msg) {
    for (HWND h = msg.hwnd; h && (GetWindowLongA(h, GWL_STYLE) & WS_CHILD); h = GetParent(h))
        for (int i = 0; i < 5; ++i)
            if (h == g_hPages[i]) {
                if (g_hTips[i])
                    SendMessageA(g_hTips[i], TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
                return;
            }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    g_hInstance = hInstance;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    g_hBackground = CreateSolidBrush(kBackground);
    HWND hDlg =
        CreateDialogParamA(hInstance, MAKEINTRESOURCEA(IDD_MORVANE_DIALOG), nullptr, &MainProc, 0);
    if (!hDlg)
        return 1;
    ShowWindow(hDlg, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        Relay(msg);
        if (IsDialogMessageA(hDlg, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DeleteObject(g_hBackground);
    return 0;
}
