// What a control tells a screen reader. The system's own accessible object
// knows a control's role, state and place; a picture has no words of its
// own, and a checkbox's explanation lives only in its tooltip.
#pragma once

#include <windows.h>

#include <string>

// Empty means: what the system's object says.
struct AccessibleText {
    std::string name;
    std::string description;
};

// The answer to WM_GETOBJECT for a control's client area: the system's object
// with the text given; 0 when there is none to give.
LRESULT AnswerGetObject(HWND hWnd, WPARAM wParam, const AccessibleText& text);

// From now on the control asks its dialog (CWnd::DescribeControl) when a
// screen reader asks for it.
bool DescribeToScreenReaders(HWND hControl);

// Every control of this thread's windows that its dialog describes is
// described as above: at once while a screen reader runs (the system's
// screen-reader flag), else the first time one asks any window of ours, so
// that no control carries the cost before. A reader that starts later asks
// the window before its controls; a plain control asked before any window
// of ours gives the system's answer that once.
void DescribeToScreenReadersWhenAsked();
