// `morvanectl list` beside its floors: a plain console program making the
// same state reads as bare registry calls and printing as many lines, and an
// empty console program, process start alone; and `morvanectl check` of a
// fifty-line preset beside list, the same reads and a file read more. Each
// round runs the four once
// in a rotating order, standard output into a pipe read to the end as a
// script's would be; every figure is compared round by round, so load that
// comes and goes hits each pair alike. A batch of rounds starts only once the
// machine is quiet.
#include "BenchUtil.h"
#include "Benches.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kExitTimeoutMs = 20000;
constexpr DWORD kSettleMs = 100;

struct Output {
    HANDLE pipe = nullptr;
    unsigned long bytes = 0;
    unsigned long lines = 0;
};

DWORD WINAPI Drain(void* param) {
    Output& o = *static_cast<Output*>(param);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(o.pipe, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        o.bytes += got;
        for (DWORD i = 0; i < got; ++i)
            o.lines += buffer[i] == '\n';
    }
    return 0;
}

struct Candidate {
    const char* label;
    std::string exe;
    std::string arguments;
    std::vector<double> ms; // one per round, 0 when the run failed
    unsigned long bytes = 0;
    unsigned long lines = 0;
    int failures = 0;
};

// Starts the program with standard output into a pipe and the other two on
// NUL, and times it until it has exited and all it wrote has been read.
double RunOnce(Candidate& c, HANDLE nul) {
    Sleep(kSettleMs); // the last process's teardown must not overlap this start
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) {
        ++c.failures;
        return 0;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    Output out;
    out.pipe = readEnd;
    // The reader waits in ReadFile before the clock starts: no polling, and
    // no thread start inside the time.
    HANDLE reader = CreateThread(nullptr, 0, &Drain, &out, 0, nullptr);
    if (!reader) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        ++c.failures;
        return 0;
    }
    STARTUPINFOA si{sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = writeEnd;
    si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + c.exe + "\"" + c.arguments;
    const double t0 = NowUs();
    const BOOL started = CreateProcessA(c.exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd); // the reader sees the end once the child's copy closes
    bool ok = started != FALSE;
    if (started) {
        if (WaitForSingleObject(pi.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, kExitTimeoutMs);
            ok = false;
        }
    } else {
        fprintf(stderr, "cannot start %s (error %lu)\n", c.exe.c_str(), GetLastError());
    }
    WaitForSingleObject(reader, kExitTimeoutMs);
    const double t1 = NowUs();
    CloseHandle(reader);
    CloseHandle(readEnd);
    DWORD code = 1;
    if (started) {
        ok = GetExitCodeProcess(pi.hProcess, &code) && code == 0 && ok;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (!ok) {
        fprintf(stderr, "%s: did not run to a clean exit (code %lu)\n", c.label, code);
        ++c.failures;
        return 0;
    }
    c.bytes = out.bytes;
    c.lines = out.lines;
    return (t1 - t0) / 1000.0;
}

std::string Spread(const std::vector<double>& v, const char* format) {
    const Summary s = Summarize(v);
    char text[96];
    snprintf(text, sizeof(text), format, s.median, s.p25, s.p75);
    return text;
}

// One figure of the three times, for each round in which all three ran.
template <typename F>
std::vector<double> PerRound(const Candidate& ctl, const Candidate& reads, const Candidate& empty,
                             F figure) {
    std::vector<double> v;
    for (size_t i = 0; i < ctl.ms.size(); ++i)
        if (ctl.ms[i] > 0 && reads.ms[i] > 0 && empty.ms[i] > 0)
            v.push_back(figure(ctl.ms[i], reads.ms[i], empty.ms[i]));
    return v;
}

std::vector<double> Ran(const std::vector<double>& ms) {
    std::vector<double> v;
    for (double x : ms)
        if (x > 0)
            v.push_back(x);
    return v;
}

} // namespace

void CtlBench(const BenchOptions& o) {
    Candidate ctl{"morvanectl.exe list", o.ctl, " list"};
    Candidate reads{"floor: same reads bare, as many lines", o.ctlFloor, ""};
    Candidate empty{"floor: empty console program", o.ctlEmpty, ""};

    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);

    // The machine's own states as the preset: check then finds every line
    // holding and exits 0.
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    const std::string preset = std::string(folder) + "morvane-bench.preset";
    DeleteFileA(preset.c_str());
    Candidate save{"morvanectl.exe save", o.ctl, " save \"" + preset + "\""};
    RunOnce(save, nul);
    Candidate check{"morvanectl.exe check (50 lines)", o.ctl, " check \"" + preset + "\""};
    std::vector<Candidate*> all{&ctl, &reads, &empty, &check};

    // One unrecorded run each loads the executables into the page cache.
    for (Candidate* c : all) {
        RunOnce(*c, nul);
        c->failures = 0;
    }
    QuietGate gate(o.quietShare, o.quietWaitS);
    for (int round = 0; round < o.ctlRuns; ++round) {
        if (round % o.batchRounds == 0)
            gate.Wait();
        for (size_t k = 0; k < all.size(); ++k) {
            Candidate& c = *all[(round + k) % all.size()];
            c.ms.push_back(RunOnce(c, nul));
        }
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    DeleteFileA(preset.c_str());

    Heading("6. morvanectl list beside the same registry reads bare: CreateProcess until the\n"
            "   process has exited and its standard output, a pipe, is read to the end; %d rounds "
            "in\n   batches of %d, each round the four programs once in a rotating order",
            o.ctlRuns, o.batchRounds);
    Line("machine quiet before each batch", "%s", gate.Describe().c_str());
    printf("   %-44s %-26s %s\n", "median [p25-p75]", "start to exit", "output");
    for (const Candidate* c : all) {
        char output[64];
        snprintf(output, sizeof(output), "%lu lines, %lu bytes", c->lines, c->bytes);
        printf("   %-44s %-26s %s\n", c->label, Spread(Ran(c->ms), "%.1f [%.1f-%.1f] ms").c_str(),
               output);
    }
    printf("   each round's pair, median [p25-p75]:\n");
    Line("  morvanectl / reads floor", "%s",
         Spread(PerRound(ctl, reads, empty, [](double a, double b, double) { return a / b; }),
                "%.2fx [%.2f-%.2f]")
             .c_str());
    Line("  morvanectl - empty start", "%s",
         Spread(PerRound(ctl, reads, empty, [](double a, double, double e) { return a - e; }),
                "%.1f ms [%.1f to %.1f]")
             .c_str());
    Line("  reads floor - empty start", "%s",
         Spread(PerRound(ctl, reads, empty, [](double, double b, double e) { return b - e; }),
                "%.1f ms [%.1f to %.1f]")
             .c_str());
    // Within twice the floor's work plus process start: ctl - empty <= 2 (reads - empty).
    const Summary m = Summarize(PerRound(
        ctl, reads, empty, [](double a, double b, double e) { return a - e - 2 * (b - e); }));
    Line("goal: within 2x the reads plus process start", "%s",
         m.count ? Verdict(m.median <= 0) : "not measured");
    Line("  margin: ctl - empty - 2 x (reads - empty)", "%.1f ms [%.1f to %.1f], met when <= 0",
         m.median, m.p25, m.p75);
    std::vector<double> checkToList;
    for (size_t i = 0; i < ctl.ms.size(); ++i)
        if (ctl.ms[i] > 0 && check.ms[i] > 0)
            checkToList.push_back(check.ms[i] / ctl.ms[i]);
    const Summary ratio = Summarize(checkToList);
    Line("  check of 50 lines / list", "%s", Spread(checkToList, "%.2fx [%.2f-%.2f]").c_str());
    Line("goal: check within 1.2x of list", "%s",
         ratio.count ? Verdict(ratio.median <= 1.2) : "not measured");
    int failures = 0;
    for (const Candidate* c : all)
        failures += c->failures;
    if (failures)
        Line("failed runs (left out)", "%d", failures);
}
