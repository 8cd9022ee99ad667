#include "skin/Skin.h"

#include "skin/HighContrast.h"

#include <string_view>

namespace {

struct SkinState {
    HINSTANCE hInstance = nullptr;
    std::optional<SkinColors> colors;
    HBRUSH hBackground = nullptr;
    WNDPROC pfnDialogClassProc = nullptr; // the dialog class's own procedure
    bool highContrast = false;            // the skin steps aside meanwhile
};
SkinState g_skin;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<COLORREF> ParseRgb(std::string_view hex) {
    if (hex.size() != 6)
        return std::nullopt;
    unsigned value = 0;
    for (char c : hex) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

BOOL CALLBACK RepaintTree(HWND hWnd, LPARAM) {
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

BOOL CALLBACK PassColorChange(HWND hChild, LPARAM) {
    SendMessageA(hChild, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

// High contrast switched on or off while the program runs: every window of
// this thread repaints, as each top-level window hears of it on its own.
// Common controls take new system colours only when told.
void FollowSystemColors(HWND hWnd, UINT msg) {
    if (msg == WM_SYSCOLORCHANGE && !(GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
        EnumChildWindows(hWnd, &PassColorChange, 0);
    const bool on = HighContrastOn();
    if (on == g_skin.highContrast)
        return;
    g_skin.highContrast = on;
    EnumThreadWindows(GetCurrentThreadId(), &RepaintTree, 0);
}

// The dialog class's procedure in this process: only the colour messages
// are answered, everything else goes on unchanged.
LRESULT CALLBACK SkinnedDialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        FollowSystemColors(hWnd, msg);
        break;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (g_skin.hBackground && !g_skin.highContrast) {
            HDC hdc = reinterpret_cast<HDC>(wParam);
            SetTextColor(hdc, g_skin.colors->text);
            SetBkColor(hdc, g_skin.colors->background);
            return reinterpret_cast<LRESULT>(g_skin.hBackground);
        }
        break;
    }
    return CallWindowProcA(g_skin.pfnDialogClassProc, hWnd, msg, wParam, lParam);
}

} // namespace

std::optional<SkinColors> ParseSkin(const char* data, std::size_t size) {
    std::optional<COLORREF> background, text;
    std::string_view rest(data, data ? size : 0);
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
        line = line.substr(0, line.find(';'));
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::optional<COLORREF> color = ParseRgb(Trim(line.substr(eq + 1)));
        if (key == "dialog.background")
            background = color;
        else if (key == "dialog.text")
            text = color;
    }
    if (!background || !text)
        return std::nullopt;
    return SkinColors{*background, *text};
}

BOOL SkinInitialize(HINSTANCE hInstance, const char*, void*, void*) {
    g_skin.hInstance = hInstance;
    return TRUE;
}

BOOL SkinLoadFromResource(HINSTANCE hInstance, const char* name, const char* type) {
    HINSTANCE hModule = hInstance ? hInstance : g_skin.hInstance;
    HRSRC hRes = FindResourceA(hModule, name, type);
    HGLOBAL hData = hRes ? LoadResource(hModule, hRes) : nullptr;
    const char* data = hData ? static_cast<const char*>(LockResource(hData)) : nullptr;
    std::optional<SkinColors> colors =
        data ? ParseSkin(data, SizeofResource(hModule, hRes)) : std::nullopt;
    if (!colors)
        return FALSE;
    HBRUSH hBrush = CreateSolidBrush(colors->background);
    if (!hBrush)
        return FALSE;
    if (g_skin.hBackground)
        DeleteObject(g_skin.hBackground);
    g_skin.hBackground = hBrush;
    g_skin.colors = colors;
    return TRUE;
}

BOOL SkinApplyToDialogs(const char* objectName) {
    if (!g_skin.colors || !objectName || lstrcmpA(objectName, "Dialog") != 0)
        return FALSE;
    if (g_skin.pfnDialogClassProc)
        return TRUE;
    g_skin.highContrast = HighContrastOn();
    // Replacing the dialog class's procedure through a throwaway dialog window
    // reaches every dialog created afterwards in this process, at no cost per
    // window or message (a hook or per-window subclass costs both).
    HWND hProbe = CreateWindowExA(0, WC_DIALOG, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  g_skin.hInstance, nullptr);
    if (!hProbe)
        return FALSE;
    g_skin.pfnDialogClassProc = reinterpret_cast<WNDPROC>(
        SetClassLongPtrA(hProbe, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinnedDialogProc)));
    DestroyWindow(hProbe);
    return g_skin.pfnDialogClassProc != nullptr;
}
