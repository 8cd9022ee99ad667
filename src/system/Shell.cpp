#include "system/Shell.h"

#include "framework/OnDemand.h"

#include <shellapi.h>

namespace {
HINSTANCE WINAPI ShellExecuteOnDemand(HWND hWnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                      LPCSTR directory, INT show) {
    static const auto shellExecute = OnDemand<ShellExecuteFn>("shell32.dll", "ShellExecuteA");
    if (!shellExecute)
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
    return shellExecute(hWnd, verb, file, parameters, directory, show);
}

BOOL WINAPI ShellExecuteExOnDemand(SHELLEXECUTEINFOA* info) {
    static const auto shellExecuteEx = OnDemand<ShellExecuteExFn>("shell32.dll", "ShellExecuteExA");
    if (!shellExecuteEx) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return shellExecuteEx(info);
}
} // namespace

ShellExecuteFn g_pfnShellExecute = &ShellExecuteOnDemand;
ShellExecuteExFn g_pfnShellExecuteEx = &ShellExecuteExOnDemand;

HINSTANCE ShellOpen(const char* file, const char* parameters, int show) {
    return g_pfnShellExecute(nullptr, nullptr, file, parameters, nullptr, show);
}

RunResult RunAndWait(const char* file, const char* parameters, int show, DWORD timeoutMs) {
    SHELLEXECUTEINFOA info{sizeof(info)};
    info.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = show;
    RunResult result;
    if (!g_pfnShellExecuteEx(&info)) {
        result.error = GetLastError();
        return result;
    }
    if (!info.hProcess) {
        // Handed to a program that was already running: nothing to wait for.
        result.outcome = RunResult::NoProcess;
        return result;
    }
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(info.hProcess, &result.exitCode))
        result.outcome = RunResult::Ended;
    else
        result.outcome = RunResult::StillRunning;
    CloseHandle(info.hProcess);
    return result;
}

RunResult RunAndWait(const wchar_t* file, const wchar_t* parameters, int show, DWORD timeoutMs) {
    static const auto shellExecuteEx =
        OnDemand<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>("shell32.dll", "ShellExecuteExW");
    SHELLEXECUTEINFOW info{sizeof(info)};
    info.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = show;
    RunResult result;
    if (!shellExecuteEx || !shellExecuteEx(&info)) {
        result.error = shellExecuteEx ? GetLastError() : ERROR_PROC_NOT_FOUND;
        return result;
    }
    if (!info.hProcess) {
        result.outcome = RunResult::NoProcess;
        return result;
    }
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(info.hProcess, &result.exitCode))
        result.outcome = RunResult::Ended;
    else
        result.outcome = RunResult::StillRunning;
    CloseHandle(info.hProcess);
    return result;
}
