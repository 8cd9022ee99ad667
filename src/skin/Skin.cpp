#include "skin/Skin.h"

#include <commctrl.h>

#include <string_view>

namespace {

struct SkinState {
    HINSTANCE hInstance = nullptr;
    std::optional<SkinColors> colors;
    HBRUSH hBackground = nullptr;
    HHOOK hHook = nullptr;
};
SkinState g_skin;

constexpr UINT_PTR kSubclassId = 0x534B; // "SK"

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

LRESULT CALLBACK SkinnedDialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR) {
    switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (g_skin.hBackground) {
            HDC hdc = reinterpret_cast<HDC>(wParam);
            SetTextColor(hdc, g_skin.colors->text);
            SetBkColor(hdc, g_skin.colors->background);
            return reinterpret_cast<LRESULT>(g_skin.hBackground);
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hWnd, &SkinnedDialogProc, kSubclassId);
        break;
    }
    return DefSubclassProc(hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* cbt = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        // The dialog class is the atom 32770.
        if (cbt->lpcs->lpszClass == MAKEINTATOM(32770) ||
            (HIWORD(reinterpret_cast<ULONG_PTR>(cbt->lpcs->lpszClass)) &&
             lstrcmpiA(cbt->lpcs->lpszClass, "#32770") == 0))
            SetWindowSubclass(reinterpret_cast<HWND>(wParam), &SkinnedDialogProc, kSubclassId, 0);
    }
    return CallNextHookEx(g_skin.hHook, code, wParam, lParam);
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
    if (!g_skin.hHook)
        g_skin.hHook = SetWindowsHookExA(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
    return g_skin.hHook != nullptr;
}
