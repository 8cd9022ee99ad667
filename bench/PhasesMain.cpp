// morvane_phases: a GUI program like morvane.exe (same code, resources and
// DLLs) that does what the program does before its window shows (common
// controls, skin, the real main dialog with its pages and banner) and writes
// the clock at each step, and at each window a CBT hook sees created, to the
// file named on its command line. The performance counter is one clock for
// all processes, so the bench adds the time from CreateProcess to WinMain.
//
// With MORVANE_BENCH_MARKERS set, each mark also opens a named event that
// does not exist: in a wineserver debug log (wineserver -d2) the marks then
// split the program's server requests by step.
#include "BenchUtil.h"

#include "app/CQueltDlg.h"
#include "resource.h"
#include "skin/Skin.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Mark {
    std::string label;
    double us;
};
std::vector<Mark> g_marks;
HHOOK g_hHook = nullptr;
int g_dialogs = 0;
bool g_serverMarkers = false;

// Each mark names the step that starts there.
void MarkNow(const char* label) {
    g_marks.push_back({label, NowUs()});
    if (g_serverMarkers) {
        const std::string name = std::string("bench-mark ") + label;
        if (HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, name.c_str()))
            CloseHandle(h);
    }
}

// The dialogs come in the order the main window creates them.
const char* const kDialogNames[] = {"main dialog and its controls",
                                    "page container",
                                    "General page (11 tweaks)",
                                    "Services page (9 tweaks)",
                                    "IExplorer page (12 tweaks)",
                                    "Media Player page (8 tweaks)",
                                    "Usability page (10 tweaks)",
                                    "banner container",
                                    "banner, tabs, rights probe, centring"};

bool IsClass(const char* cls, const char* name) {
    return HIWORD(reinterpret_cast<ULONG_PTR>(cls)) && !lstrcmpiA(cls, name);
}

LRESULT CALLBACK NoteCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const char* cls = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
        if (cls == MAKEINTATOM(32770) || IsClass(cls, "#32770")) {
            const int n = g_dialogs++;
            MarkNow(n < 9 ? kDialogNames[n] : "another dialog");
        } else if (IsClass(cls, TOOLTIPS_CLASSA)) {
            MarkNow("  its tooltips and tweak states");
        }
    }
    return CallNextHookEx(g_hHook, code, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR cmdLine, int) {
    g_serverMarkers = GetEnvironmentVariableA("MORVANE_BENCH_MARKERS", nullptr, 0) > 0;
    MarkNow("InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    MarkNow("skin");
    SkinInitialize(hInstance, "SCRIBBLE", nullptr, nullptr);
    SkinLoadFromResource(hInstance, "DEFAULT", "SKINMAGIC");
    SkinApplyToDialogs("Dialog");
    MarkNow("main window object (its icon)");
    // Installed after the skin's, so it runs first and sees every window.
    g_hHook = SetWindowsHookExA(WH_CBT, &NoteCreation, nullptr, GetCurrentThreadId());
    {
        CQueltDlg dlg;
        if (!dlg.Create(IDD_MORVANE_DIALOG, nullptr))
            return 1;
        MarkNow("ShowWindow");
        ::ShowWindow(dlg.m_hWnd, SW_SHOW);
        MarkNow("visible");
        UpdateWindow(dlg.m_hWnd);
        MarkNow("painted");
        UnhookWindowsHookEx(g_hHook);
    }
    std::string file = cmdLine;
    if (file.size() > 1 && file.front() == '"')
        file = file.substr(1, file.find('"', 1) - 1);
    FILE* f = fopen(file.c_str(), "w");
    if (!f)
        return 1;
    for (const Mark& m : g_marks)
        fprintf(f, "%.1f\t%s\n", m.us, m.label.c_str());
    fclose(f);
    return 0;
}
