// Whether the user has asked the system for high contrast: then the colours
// on screen are the ones the user chose, and the skin paints nothing.
#pragma once

#include <windows.h>

bool HighContrastOn();

// The one place the program asks the system. Tests put a double here, since
// not every system lets a test switch high contrast on.
using ParametersInfoFn = BOOL(WINAPI*)(UINT action, UINT param, PVOID data, UINT flags);
ParametersInfoFn& HighContrastQuery();
