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
} // namespace

ShellExecuteFn g_pfnShellExecute = &ShellExecuteOnDemand;

HINSTANCE ShellOpen(const char* file, const char* parameters, int show) {
    return g_pfnShellExecute(nullptr, nullptr, file, parameters, nullptr, show);
}
