// morvane_bench: the measurements behind `make bench`, run under Wine in a
// throwaway prefix by tools/bench.sh. Each figure is printed beside its floor.
//   morvane_bench --program morvane.exe --floor morvane_floor.exe
//                 --floor-cc morvane_floor_cc.exe --floor-same morvane_floor_same.exe
//                 [--runs N] [--batch N] [--quiet-wait S] [--driver TEXT] [--section N]
//                 [--count]
//                 [--ctl morvanectl.exe --ctl-floor morvane_floor_list.exe
//                  --ctl-empty morvane_floor_console.exe] [--ctl-runs N]
//                 [--profiles-runs N]
//                 [--only startup,phases,registry,clicks,notice,ctl,profiles]
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
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!strcmp(arg, "--count")) {
            options.countOnly = true;
            continue;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "option %s needs a value\n", arg);
            return 2;
        }
        const char* value = argv[++i];
        if (!strcmp(arg, "--program"))
            options.program = WindowsPath(value);
        else if (!strcmp(arg, "--floor"))
            options.floor = WindowsPath(value);
        else if (!strcmp(arg, "--floor-cc"))
            options.floorCc = WindowsPath(value);
        else if (!strcmp(arg, "--floor-same"))
            options.floorSame = WindowsPath(value);
        else if (!strcmp(arg, "--ctl"))
            options.ctl = WindowsPath(value);
        else if (!strcmp(arg, "--ctl-floor"))
            options.ctlFloor = WindowsPath(value);
        else if (!strcmp(arg, "--ctl-empty"))
            options.ctlEmpty = WindowsPath(value);
        else if (!strcmp(arg, "--ctl-runs"))
            options.ctlRuns = atoi(value);
        else if (!strcmp(arg, "--profiles-runs"))
            options.allUsersRuns = atoi(value);
        else if (!strcmp(arg, "--runs"))
            options.startRuns = atoi(value);
        else if (!strcmp(arg, "--batch"))
            options.batchRounds = atoi(value);
        else if (!strcmp(arg, "--quiet-wait"))
            options.quietWaitS = atoi(value);
        else if (!strcmp(arg, "--driver"))
            options.driverLabel = value;
        else if (!strcmp(arg, "--section"))
            options.section = value;
        else if (!strcmp(arg, "--only"))
            only = value;
        else {
            fprintf(stderr, "unknown option %s\n", arg);
            return 2;
        }
    }
    if (Wanted(only, "startup") &&
        (options.program.empty() || options.floor.empty() || options.floorCc.empty() ||
         options.floorSame.empty() || options.startRuns < 1 || options.batchRounds < 1)) {
        fprintf(stderr, "usage: morvane_bench --program EXE --floor EXE --floor-cc EXE "
                        "--floor-same EXE [--runs N] [--batch N] [--only ...]\n");
        return 2;
    }

    if (Wanted(only, "ctl") &&
        (options.ctl.empty() || options.ctlFloor.empty() || options.ctlEmpty.empty() ||
         options.ctlRuns < 1 || options.batchRounds < 1)) {
        fprintf(stderr, "usage: morvane_bench --only ctl --ctl EXE --ctl-floor EXE --ctl-empty EXE "
                        "[--ctl-runs N] [--batch N]\n");
        return 2;
    }

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    // Start-up first, while the prefix is as fresh as a new user's.
    if (Wanted(only, "startup"))
        StartupBench(options);
    if (Wanted(only, "phases"))
        PhasesBench(options);
    if (Wanted(only, "registry"))
        RegistryBench(options);
    if (Wanted(only, "clicks"))
        ClickBench(options);
    if (Wanted(only, "notice"))
        NoticeBench(options);
    if (Wanted(only, "ctl"))
        CtlBench(options);
    if (Wanted(only, "profiles") && !options.ctl.empty() && options.allUsersRuns > 0)
        AllUsersBench(options);
    return 0;
}
