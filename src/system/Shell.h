// Every program start and web address goes through the shell here, so tests
// can watch what would be started.
#pragma once

#include <windows.h>

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// ShellExecuteA unless a test replaced it.
extern ShellExecuteFn g_pfnShellExecute;

// ShellExecuteA with no owner, the default verb and no working directory.
HINSTANCE ShellOpen(const char* file, const char* parameters, int show);
