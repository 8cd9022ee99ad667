// morvane_bench: the measurements behind `make bench`, run under Wine in a
// throwaway prefix by tools/bench.sh. Each figure is printed beside its floor.
//   morvane_bench --program morvane.exe --floor morvane_floor.exe
//                 --floor-dlls morvane_floor_dlls.exe
//                 [--runs N] [--only startup,registry,clicks,notice]
#include "support/WinePath.h"
#include "Benches.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Wanted(const char* only, const char* name) {
    return !only || strstr(only, name) != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    const char* only = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--program"))
            options.program = WindowsPath(argv[i + 1]);
        else if (!strcmp(argv[i], "--floor"))
            options.floor = WindowsPath(argv[i + 1]);
        else if (!strcmp(argv[i], "--floor-dlls"))
            options.floorDlls = WindowsPath(argv[i + 1]);
        else if (!strcmp(argv[i], "--runs"))
            options.startRuns = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--only"))
            only = argv[i + 1];
        else {
            fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (Wanted(only, "startup") && (options.program.empty() || options.floor.empty())) {
        fprintf(stderr, "usage: morvane_bench --program EXE --floor EXE [--runs N] [--only ...]\n");
        return 2;
    }

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    // Start-up first, while the prefix is as fresh as a new user's.
    if (Wanted(only, "startup"))
        StartupBench(options);
    if (Wanted(only, "registry"))
        RegistryBench(options);
    if (Wanted(only, "clicks"))
        ClickBench(options);
    if (Wanted(only, "notice"))
        NoticeBench(options);
    return 0;
}
