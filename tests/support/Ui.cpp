#include "support/Ui.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace {

// One modal run; runs nest when a step opens a box of its own.
struct ModalRun {
    std::deque<Step> steps;
    CDialog* dialog;
    size_t total;
    int idleTicks = 0;
};
std::map<UINT_PTR, ModalRun*> g_runs; // by timer

// A box the dialog opened runs a modal loop of its own, inside the dialog's:
// it is cancelled, or the dialog's loop would never get back control.
void CloseOwnedBoxes(HWND hOwner) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            char cls[16] = "";
            GetClassNameA(hWnd, cls, sizeof(cls));
            if (GetWindow(hWnd, GW_OWNER) == reinterpret_cast<HWND>(lParam) &&
                lstrcmpA(cls, "#32770") == 0)
                PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(hOwner));
}

void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    const auto it = g_runs.find(timer);
    if (it == g_runs.end())
        return;
    ModalRun& run = *it->second;
    if (!run.dialog->m_hWnd)
        return;
    if (run.steps.empty()) {
        // A test whose steps did not end its dialog must not hang the run.
        if (++run.idleTicks == 250) {
            ADD_FAILURE() << "the dialog was still open after its last step";
            CloseOwnedBoxes(run.dialog->m_hWnd);
            run.dialog->EndDialog(-2);
        }
        return;
    }
    Step step = std::move(run.steps.front());
    run.steps.pop_front();
    step(run.dialog->m_hWnd);
}

} // namespace

INT_PTR RunModal(CDialog& dlg, std::vector<Step> steps) {
    ModalRun run{{steps.begin(), steps.end()}, &dlg, steps.size()};
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &RunStep);
    if (!timer) {
        ADD_FAILURE() << "no timer to run the steps";
        return -1;
    }
    g_runs[timer] = &run;
    const INT_PTR result = dlg.DoModal();
    KillTimer(nullptr, timer);
    g_runs.erase(timer);
    // Checks in a step that never ran would pass silently.
    if (!run.steps.empty())
        ADD_FAILURE() << "the dialog ended (result " << result << ") with " << run.steps.size()
                      << " of its " << run.total << " steps never run";
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
