#include "support/Ui.h"

#include <gtest/gtest.h>

#include <deque>

namespace {
std::deque<Step> g_steps;
CDialog* g_pDialog;
UINT_PTR g_timer;

int g_idleTicks;

void CALLBACK RunStep(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_pDialog->m_hWnd)
        return;
    if (g_steps.empty()) {
        // A test whose steps did not end its dialog must not hang the run.
        if (++g_idleTicks == 250) {
            ADD_FAILURE() << "the dialog was still open after its last step";
            g_pDialog->EndDialog(-2);
        }
        return;
    }
    Step step = std::move(g_steps.front());
    g_steps.pop_front();
    step(g_pDialog->m_hWnd);
}
} // namespace

INT_PTR RunModal(CDialog& dlg, std::vector<Step> steps) {
    g_steps.assign(steps.begin(), steps.end());
    g_pDialog = &dlg;
    g_idleTicks = 0;
    g_timer = SetTimer(nullptr, 0, 20, &RunStep);
    const INT_PTR result = dlg.DoModal();
    KillTimer(nullptr, g_timer);
    g_steps.clear();
    return result;
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
