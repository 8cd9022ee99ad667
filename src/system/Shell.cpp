#include "system/Shell.h"

#include <shellapi.h>

ShellExecuteFn g_pfnShellExecute = &ShellExecuteA;

HINSTANCE ShellOpen(const char* file, const char* parameters, int show) {
    return g_pfnShellExecute(nullptr, nullptr, file, parameters, nullptr, show);
}
