#include "support/Ui.h"

namespace {
std::function<void(HWND)> g_script;
HWND g_hDialog;

void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto script = std::move(g_script);
    g_script = nullptr;
    script(g_hDialog);
}
} // namespace

INT_PTR RunModal(CDialog& dlg, std::function<void(HWND)> script) {
    g_script = [&dlg, script = std::move(script)](HWND) { script(dlg.m_hWnd); };
    g_hDialog = nullptr;
    SetTimer(nullptr, 0, 10, &RunScript);
    return dlg.DoModal();
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Click(HWND hDlg, int id) {
    SendMessageA(GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND hDlg, int id) {
    return IsDlgButtonChecked(hDlg, id) == BST_CHECKED;
}

std::string WindowText(HWND hWnd) {
    char text[1024] = "";
    GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

RECT RectIn(HWND hWnd, HWND hRelativeTo) {
    RECT rc;
    GetWindowRect(hWnd, &rc);
    MapWindowPoints(nullptr, hRelativeTo, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}
