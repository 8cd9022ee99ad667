// Helpers for driving real dialogs in tests.
#pragma once

#include "framework/Dialog.h"

#include <functional>
#include <string>
#include <vector>

using Step = std::function<void(HWND)>;

// Runs dlg modally; each step runs inside its modal loop on a timer tick of
// its own, so that what a step posts goes through the loop before the next.
// The last step, and only the last, must end the dialog: a step left over
// when it ends, or a dialog still open long after its last step, fails the
// test.
INT_PTR RunModal(CDialog& dlg, std::vector<Step> steps);

// Lets posted and sent messages run (inside or outside a modal loop).
void PumpMessages();

// A real click: the box toggles itself and notifies its dialog.
void Click(HWND hDlg, int id);
bool IsChecked(HWND hDlg, int id);
std::string WindowText(HWND hWnd);
// The window's rectangle relative to another window's client area.
RECT RectIn(HWND hWnd, HWND hRelativeTo);
