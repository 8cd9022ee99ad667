// The skin and high contrast, on the real main window: while the user has
// high contrast on, the window shows the system's colours, also when it is
// switched on or off while the window is open. No system this runs on lets a
// test switch high contrast on, so the test answers the program's question
// for the system.
#include "app/CQueltDlg.h"
#include "resource.h"
#include "skin/HighContrast.h"
#include "skin/Skin.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

namespace {

bool g_highContrast = false;

BOOL WINAPI AnswerHighContrast(UINT action, UINT param, PVOID data, UINT flags) {
    if (action != SPI_GETHIGHCONTRAST)
        return SystemParametersInfoA(action, param, data, flags);
    auto* hc = static_cast<HIGHCONTRASTA*>(data);
    hc->dwFlags = g_highContrast ? HCF_HIGHCONTRASTON | HCF_AVAILABLE : HCF_AVAILABLE;
    hc->lpszDefaultScheme = nullptr;
    return TRUE;
}

// Where the colour shows: a pixel inside a box beside its label, and one of
// the main window itself, once what was invalidated has painted. Nothing is
// invalidated here: what the program did not repaint keeps its old colours.
struct Sampled {
    COLORREF box, window;
};
Sampled Sample(HWND hDlg, HWND hBox) {
    RedrawWindow(hDlg, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    GetClientRect(hBox, &rc);
    HDC hdc = GetDC(hBox);
    const COLORREF box = GetPixel(hdc, rc.right - 2, rc.bottom - 2);
    ReleaseDC(hBox, hdc);
    GetClientRect(hDlg, &rc);
    hdc = GetDC(hDlg);
    const COLORREF window = GetPixel(hdc, 3, rc.bottom - 3);
    ReleaseDC(hDlg, hdc);
    return {box, window};
}

constexpr COLORREF kSkin = RGB(0xEE, 0xF1, 0xF6); // res/skin.txt

TEST(HighContrastTest, TheSkinStepsAsideWhileHighContrastIsOn) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    // The colour the system gives a dialog and its boxes.
    const COLORREF system = GetSysColor(COLOR_BTNFACE);
    ASSERT_NE(system, kSkin) << "the two would not tell apart";

    HighContrastQuery() = &AnswerHighContrast;
    g_highContrast = true; // on before the program starts
    HINSTANCE hInst = GetModuleHandleA(nullptr);
    ASSERT_TRUE(SkinInitialize(hInst, "SCRIBBLE", nullptr, nullptr));
    ASSERT_TRUE(SkinLoadFromResource(hInst, "DEFAULT", "SKINMAGIC"));
    ASSERT_TRUE(SkinApplyToDialogs("Dialog"));

    struct Case {
        const char* what;
        bool highContrast;
        UINT message; // what the system sends the window; 0 for nothing
        WPARAM wParam;
        COLORREF expected;
    };
    const Case cases[] = {
        {"on at start", true, 0, 0, system},
        {"switched off", false, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, kSkin},
        {"another setting changed", false, WM_SETTINGCHANGE, SPI_SETCLIENTAREAANIMATION, kSkin},
        {"switched on, colours changed", true, WM_SYSCOLORCHANGE, 0, system},
        {"switched off, colours changed", false, WM_SYSCOLORCHANGE, 0, kSkin},
        {"switched on", true, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, system},
    };
    CQueltDlg dlg;
    RunModal(dlg, {[&](HWND hDlg) {
                 HWND hBox = GetDlgItem(dlg.PageAt(0)->m_hWnd, 1003);
                 ASSERT_TRUE(hBox);
                 for (const Case& c : cases) {
                     SCOPED_TRACE(c.what);
                     g_highContrast = c.highContrast;
                     if (c.message)
                         SendMessageA(hDlg, c.message, c.wParam, 0);
                     const Sampled seen = Sample(hDlg, hBox);
                     EXPECT_EQ(seen.box, c.expected);
                     EXPECT_EQ(seen.window, c.expected);
                 }
                 Click(hDlg, IDOK);
             }});
    HighContrastQuery() = &SystemParametersInfoA;
}

} // namespace
