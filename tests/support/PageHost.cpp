#include "support/PageHost.h"

ParentWindow::ParentWindow() {
    m_hWnd = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
}

ParentWindow::~ParentWindow() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

namespace {
struct Search {
    HWND owner;
    HWND found;
};
BOOL CALLBACK FindTooltip(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char cls[64];
    GetClassNameA(hWnd, cls, sizeof(cls));
    TTTOOLINFOA ti{};
    ti.cbSize = sizeof(ti);
    // Its tools belong to the page (a popup's owner is the top-level window).
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 &&
        SendMessageA(hWnd, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti)) &&
        ti.hwnd == search->owner) {
        search->found = hWnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND TooltipOf(HWND hPage) {
    Search search{hPage, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The wide form: the ANSI one hands back at most 80 characters.
std::string TooltipText(HWND hTooltip, HWND hControl) {
    wchar_t text[512] = L"";
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = GetParent(hControl);
    ti.uId = reinterpret_cast<UINT_PTR>(hControl);
    ti.lpszText = text;
    SendMessageW(hTooltip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
    char ansi[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof(ansi), nullptr, nullptr);
    return ansi;
}
