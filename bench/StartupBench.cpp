// Start-up of the real program beside three floors: an empty dialog, the
// same with Common Controls 6, and a plain Win32 program doing the same work.
// Each round starts every program once, in a rotating order, each closed and
// waited for; morvane.exe is compared with each floor round by round, so
// load that comes and goes hits both halves of a pair alike. A batch of
// rounds starts only once the machine is quiet.
#include "BenchUtil.h"
#include "Benches.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kShowTimeoutMs = 20000;
constexpr DWORD kPaintTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 20000;
constexpr int kExitCheckTicks = 50;
constexpr DWORD kTickMs = 1;
constexpr DWORD kSettleMs = 100;

struct Times {
    double visibleMs = 0;
    double paintedMs = 0;
    double closeMs = 0;
};

struct Candidate {
    const char* label;
    std::string exe;
    bool closeWithOk; // Save && Exit; the floors take WM_CLOSE
    std::vector<Times> rounds;
    int failures = 0;
};

// The process's captioned top-level window: found through the windows of its
// first thread, so that programs sharing a caption are told apart.
BOOL CALLBACK TakeCaptioned(HWND hWnd, LPARAM lParam) {
    if (GetWindowLongA(hWnd, GWL_STYLE) & WS_CAPTION) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Starts the program and waits until its main window is visible and then
// until the process first waits for input, which is after the paint of every
// window the show invalidated. Closes it and waits for its exit.
bool RunOnce(Candidate& c, Times& t, const char* countMarker) {
    Sleep(kSettleMs); // the last process's teardown must not overlap this start
    if (countMarker) {
        // Seen in a wineserver debug log: the process started next is this one.
        const std::string name = std::string("bench-count ") + countMarker;
        if (HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, name.c_str()))
            CloseHandle(h);
    }
    STARTUPINFOA si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + c.exe + "\"";
    const double t0 = NowUs();
    if (!CreateProcessA(c.exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        fprintf(stderr, "cannot start %s (error %lu)\n", c.exe.c_str(), GetLastError());
        ++c.failures;
        return false;
    }
    // The watch must not slow what it watches: each server request it makes
    // queues with the program's own. Sleep makes none; the window list of one
    // thread is one request, a style read another, and the process is only
    // checked now and then.
    HWND hWnd = nullptr;
    bool exited = false;
    for (int polls = 1;; ++polls) {
        if (!hWnd)
            EnumThreadWindows(pi.dwThreadId, &TakeCaptioned, reinterpret_cast<LPARAM>(&hWnd));
        if (hWnd && (GetWindowLongA(hWnd, GWL_STYLE) & WS_VISIBLE))
            break;
        Sleep(kTickMs);
        if (polls % kExitCheckTicks == 0 && WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            exited = true;
            break;
        }
        if (NowUs() - t0 > kShowTimeoutMs * 1000.0)
            break;
    }
    const double t1 = NowUs();
    bool ok = hWnd && !exited && WaitForInputIdle(pi.hProcess, kPaintTimeoutMs) == 0;
    const double t2 = NowUs();
    if (hWnd && !exited) {
        if (c.closeWithOk)
            PostMessageA(GetDlgItem(hWnd, IDOK), BM_CLICK, 0, 0);
        else
            PostMessageA(hWnd, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, kExitTimeoutMs);
        ok = false;
    }
    const double t3 = NowUs();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ok) {
        fprintf(stderr, "%s: main window not shown, painted or closed\n", c.label);
        ++c.failures;
        return false;
    }
    t = {(t1 - t0) / 1000.0, (t2 - t0) / 1000.0, (t3 - t2) / 1000.0};
    return true;
}

double Visible(const Times& t) {
    return t.visibleMs;
}
double Painted(const Times& t) {
    return t.paintedMs;
}

// Median [p25-p75] of one figure over the rounds where it was measured.
std::string Spread(const std::vector<double>& v, const char* unit) {
    const Summary s = Summarize(v);
    char text[96];
    snprintf(text, sizeof(text), "%.1f [%.1f-%.1f]%s", s.median, s.p25, s.p75, unit);
    return text;
}

std::vector<double> Figures(const Candidate& c, double (*figure)(const Times&)) {
    std::vector<double> v;
    for (const Times& t : c.rounds)
        if (t.visibleMs > 0)
            v.push_back(figure(t));
    return v;
}

// morvane.exe over the floor, one ratio per round in which both ran.
std::vector<double> Ratios(const Candidate& program, const Candidate& floor,
                           double (*figure)(const Times&)) {
    std::vector<double> ratios;
    for (size_t i = 0; i < program.rounds.size() && i < floor.rounds.size(); ++i)
        if (program.rounds[i].visibleMs > 0 && floor.rounds[i].visibleMs > 0)
            ratios.push_back(figure(program.rounds[i]) / figure(floor.rounds[i]));
    return ratios;
}

std::string RatioSpread(const std::vector<double>& r) {
    const Summary s = Summarize(r);
    char text[96];
    snprintf(text, sizeof(text), "%.2fx [%.2f-%.2f]", s.median, s.p25, s.p75);
    return text;
}

} // namespace

void StartupBench(const BenchOptions& o) {
    Candidate program{"morvane.exe", o.program, true};
    Candidate empty{"floor: empty dialog from a template", o.floor, false};
    Candidate cc{"floor: the same + Common Controls 6", o.floorCc, false};
    Candidate same{"floor: same work, plain Win32", o.floorSame, false};
    std::vector<Candidate*> all{&program, &empty, &cc, &same};

    if (o.countOnly) {
        // One run each for a wineserver debug log, after one that loads the
        // executables into the page cache.
        for (Candidate* c : all) {
            Times t;
            RunOnce(*c, t, nullptr);
            RunOnce(*c, t, c->label);
        }
        return;
    }

    // One unrecorded run each loads the executables into the page cache.
    for (Candidate* c : all) {
        Times t;
        RunOnce(*c, t, nullptr);
    }
    QuietGate gate(o.quietShare, o.quietWaitS);
    for (int round = 0; round < o.startRuns; ++round) {
        if (round % o.batchRounds == 0)
            gate.Wait();
        // Rotating the order keeps none always following another.
        for (size_t k = 0; k < all.size(); ++k) {
            Candidate& c = *all[(round + k) % all.size()];
            Times t;
            RunOnce(c, t, nullptr);
            c.rounds.push_back(t); // a failed run stays as zeros, out of every figure
        }
    }

    Heading("%s. Start-up, %s: CreateProcess until the main window is visible, and until\n"
            "   its first paint is done (the process first waits for input); %d rounds in "
            "batches of %d,\n   each round every program once in a rotating order, each closed "
            "and waited for",
            o.section.c_str(), o.driverLabel.c_str(), o.startRuns, o.batchRounds);
    Line("machine quiet before each batch", "%s", gate.Describe().c_str());
    printf("   %-44s %-26s %s\n", "median [p25-p75]", "to visible", "to first paint done");
    for (const Candidate* c : all)
        printf("   %-44s %-26s %s\n", c->label, Spread(Figures(*c, &Visible), " ms").c_str(),
               Spread(Figures(*c, &Painted), " ms").c_str());
    printf("   morvane.exe / floor, median [p25-p75] of the ratios of each round's pair:\n");
    for (const Candidate* f : {&empty, &cc, &same}) {
        const std::vector<double> visible = Ratios(program, *f, &Visible);
        printf("   %-44s %-26s %s\n", (std::string("  / ") + (f->label + 7)).c_str(),
               RatioSpread(visible).c_str(), RatioSpread(Ratios(program, *f, &Painted)).c_str());
    }
    const double sameWork = Summarize(Ratios(program, same, &Visible)).median;
    Line("goal: at most 1.20x the same-work floor", "%s", Verdict(sameWork > 0 && sameWork <= 1.2));
    std::vector<double> closeProgram, closeFloor;
    for (const Times& t : program.rounds)
        if (t.visibleMs > 0)
            closeProgram.push_back(t.closeMs);
    for (const Times& t : empty.rounds)
        if (t.visibleMs > 0)
            closeFloor.push_back(t.closeMs);
    Line("closing to exit (Save && Exit / WM_CLOSE)", "%.1f ms / %.1f ms (empty dialog)",
         Summarize(closeProgram).median, Summarize(closeFloor).median);
    int failures = 0;
    for (const Candidate* c : all)
        failures += c->failures;
    if (failures)
        Line("failed runs (left out)", "%d", failures);
}
