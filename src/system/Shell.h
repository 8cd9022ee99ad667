// Every program start and web address goes through here, so tests can watch
// what would be started; the system folder that some starts name is looked
// up here too.
#pragma once

#include <windows.h>

#include <string>

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// ShellExecuteA unless a test replaced it.
extern ShellExecuteFn g_pfnShellExecute;

// ShellExecuteA with no owner, the default verb and no working directory.
HINSTANCE ShellOpen(const char* file, const char* parameters, int show);

struct RunResult {
    enum Outcome { Ended, NotStarted, StillRunning } outcome = NotStarted;
    DWORD exitCode = 0; // Ended
    DWORD error = 0;    // NotStarted: the system's error code
    // Everything the program wrote to its standard output and error, in the
    // order it wrote it.
    std::string output;
};

// Starts a program with its output caught and waits at most timeoutMs for it
// to end. A bare file name is looked for in the system folder first, as the
// shell finds net.exe and regsvr32.exe. A program still running then is
// left running.
RunResult RunAndWait(const char* file, const char* parameters, int show, DWORD timeoutMs);

using RunAndWaitFn = RunResult (*)(const char*, const char*, int, DWORD);

// RunAndWait unless a test replaced it: what a tweak's phrase starts goes
// through here.
extern RunAndWaitFn g_pfnRunAndWait;

// The system folder, or the empty text when it cannot be determined.
std::string SystemFolder();

// The same with parameters in UTF-16, for paths outside the code page.
RunResult RunAndWait(const char* file, const std::wstring& parameters, int show, DWORD timeoutMs);

using RunAndWaitWideFn = RunResult (*)(const char*, const std::wstring&, int, DWORD);

// The wide RunAndWait unless a test replaced it: what restore imports with.
extern RunAndWaitWideFn g_pfnRunAndWaitWide;
