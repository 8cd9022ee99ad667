// Saves what a window shows as a 24-bit BMP; under Wine's null display driver
// only the window's own device context can be read this way.
#pragma once

#include <windows.h>

#include <string>

bool SaveWindowBitmap(HWND hWnd, const std::string& path);
