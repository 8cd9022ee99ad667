// Reading the states of all fifty tweaks, as the five pages do when the
// window opens: every row's conditions through Holds(). Its floor is fifty
// bare reads (open a key, query a DWORD, close it); the registry calls the
// conditions really make are also replayed bare, for a like-for-like floor.
// Runs in the throwaway prefix: first as a new user finds it, then with
// every tweak switched on.
#include "BenchTweaks.h"
#include "BenchUtil.h"
#include "Benches.h"
#include "RegistryTap.h"

#include "system/Executor.h"
#include "system/Shell.h"

#include <cstdio>

namespace {

constexpr char kFloorKey[] = "Software\\Morvane bench";
constexpr int kBareReads = 50;

int ReadAllStates(const std::vector<const TweakRow*>& rows) {
    int on = 0;
    for (const TweakRow* row : rows)
        on += Holds(row->checkedWhen) ? 1 : 0;
    return on;
}

void PrepareFloorValues() {
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kFloorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < kBareReads; ++i) {
        char name[16];
        snprintf(name, sizeof(name), "v%lu", i);
        RegSetValueExA(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof(i));
    }
    RegCloseKey(hKey);
}

DWORD BareReads() {
    DWORD sum = 0;
    for (int i = 0; i < kBareReads; ++i) {
        char name[8];
        snprintf(name, sizeof(name), "v%d", i);
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kFloorKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, value = 0, size = sizeof(value);
        RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(hKey);
        sum += value;
    }
    return sum;
}

// One wineserver request and its reply: the unit every registry call and
// most window calls are made of under Wine.
double ServerRoundTripUs() {
    HWND hWnd =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetPropA(hWnd, "bench", reinterpret_cast<HANDLE>(1));
    std::vector<double> samples;
    for (int rep = 0; rep < 50; ++rep) {
        const double t0 = NowUs();
        for (int i = 0; i < 100; ++i)
            GetPropA(hWnd, "bench");
        samples.push_back((NowUs() - t0) / 100);
    }
    RemovePropA(hWnd, "bench");
    DestroyWindow(hWnd);
    return Summarize(samples).median;
}

void MeasureState(const char* title, const std::vector<const TweakRow*>& rows, int reps) {
    // One counting pass records what the conditions ask the registry.
    int on = 0;
    RegistryCounts counts;
    std::vector<RegistryRead> reads;
    {
        RegistryTap tap;
        on = ReadAllStates(rows);
        counts = tap.Counts();
        reads = tap.Reads();
        if (!tap.Installed())
            printf("   (the registry calls could not be counted)\n");
    }
    size_t conditions = 0;
    for (const TweakRow* row : rows)
        conditions += row->checkedWhen.size();

    std::vector<double> program, bare, replay;
    for (int rep = 0; rep < reps + 5; ++rep) {
        double t[3];
        // Rotating the order spreads any drift evenly.
        for (int k = 0; k < 3; ++k) {
            const int which = (rep + k) % 3;
            const double t0 = NowUs();
            if (which == 0)
                ReadAllStates(rows);
            else if (which == 1)
                BareReads();
            else
                ReplayReads(reads);
            t[which] = NowUs() - t0;
        }
        if (rep < 5)
            continue; // warm-up
        program.push_back(t[0] / 1000);
        bare.push_back(t[1] / 1000);
        replay.push_back(t[2] / 1000);
    }
    const Summary p = Summarize(program), b = Summarize(bare), r = Summarize(replay);
    printf("   %s: %d of %zu read as on\n", title, on, rows.size());
    char label[96];
    snprintf(label, sizeof(label), "  all %zu rows' conditions (%zu)", rows.size(), conditions);
    Line(label, "%8.3f ms  p90 %.3f   registry: %s", p.median, p.p90, Describe(counts).c_str());
    snprintf(label, sizeof(label), "  floor: %d bare reads (open, query, close)", kBareReads);
    Line(label, "%8.3f ms  p90 %.3f", b.median, b.p90);
    const double ratio = b.median > 0 ? p.median / b.median : 0;
    Line("  ratio", "%8.2fx     goal <= 2x: %s", ratio, Verdict(ratio > 0 && ratio <= 2.0));
    Line("  like for like: those calls replayed bare", "%8.3f ms  (conditions cost %.2fx of it)",
         r.median, r.median > 0 ? p.median / r.median : 0);
}

} // namespace

void RegistryBench(const BenchOptions& o) {
    const std::vector<const TweakRow*> rows = AllTweaks();
    PrepareFloorValues();

    Heading("2. Reading the states of all %zu tweaks: every row's conditions through "
            "Holds(),\n   as the pages do at start (median of %d)",
            rows.size(), o.registryReps);
    Line("reference: one wineserver round trip", "%8.1f us  (GetPropA)", ServerRoundTripUs());
    MeasureState("as a new user finds it (fresh prefix)", rows, o.registryReps);

    // Every tweak on; program starts are only counted.
    const ShellExecuteFn real = g_pfnShellExecute;
    g_pfnShellExecute = &NoShell;
    for (const TweakRow* row : rows)
        Executor(Executor::StartAndLeave).Perform(row->onCheck, Policy::EveryEffect);
    g_pfnShellExecute = real;
    MeasureState("with every tweak switched on", rows, o.registryReps);
}
