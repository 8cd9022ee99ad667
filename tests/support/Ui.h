// Helpers for driving real dialogs in tests.
#pragma once

#include "framework/Dialog.h"

#include <functional>
#include <string>

// Runs dlg modally; script runs inside its modal loop once the window is up.
// The script must end the dialog (or let the test fail by timeout).
INT_PTR RunModal(CDialog& dlg, std::function<void(HWND)> script);

// Lets posted and sent messages run (inside or outside a modal loop).
void PumpMessages();

// A real click: the box toggles itself and notifies its dialog.
void Click(HWND hDlg, int id);
bool IsChecked(HWND hDlg, int id);
std::string WindowText(HWND hWnd);
// The window's rectangle relative to another window's client area.
RECT RectIn(HWND hWnd, HWND hRelativeTo);
