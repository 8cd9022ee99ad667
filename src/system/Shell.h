// Every program start and web address goes through the shell here, so tests
// can watch what would be started.
#pragma once

#include <windows.h>
#include <shellapi.h>

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// ShellExecuteA unless a test replaced it.
extern ShellExecuteFn g_pfnShellExecute;

// ShellExecuteA with no owner, the default verb and no working directory.
HINSTANCE ShellOpen(const char* file, const char* parameters, int show);

using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

// ShellExecuteExA unless a test replaced it.
extern ShellExecuteExFn g_pfnShellExecuteEx;

struct RunResult {
    enum Outcome { Ended, NotStarted, StillRunning, NoProcess } outcome = NotStarted;
    DWORD exitCode = 0; // Ended
    DWORD error = 0;    // NotStarted: the system's error code
};

// Starts a program as ShellOpen does, found the same way, sharing this
// process's console, and waits at most timeoutMs for it to end. A program
// still running then is left running.
RunResult RunAndWait(const char* file, const char* parameters, int show, DWORD timeoutMs);

// The same with a file and parameters in UTF-16, for paths outside the code
// page; not replaced by tests.
RunResult RunAndWait(const wchar_t* file, const wchar_t* parameters, int show, DWORD timeoutMs);
