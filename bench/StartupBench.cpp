// Start-up to the main window shown: from CreateProcess until the window of
// the caption is found and visible, for the real program and the floor,
// interleaved, each closed and waited for after every run.
#include "BenchUtil.h"
#include "Benches.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kShowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr int kExitCheckTicks = 50;
constexpr DWORD kTickMs = 1;
constexpr DWORD kSettleMs = 100;

struct Candidate {
    const char* name;
    std::string exe;
    const char* caption;
    bool closeWithOk; // Save && Exit; the floor takes WM_CLOSE
    std::vector<double> showMs;
    std::vector<double> closeMs;
    int failures = 0;
};

// The last process's teardown must not overlap the next start.
void Settle() {
    Sleep(kSettleMs);
}

bool RunOnce(Candidate& c, bool record) {
    Settle();
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
    // The watch itself must not slow what it watches: every server request
    // it makes waits with the program's own. Sleep does not go through the
    // server under Wine, a wait on the process does, so the process is only
    // checked now and then. FindWindow asks for every top-level window's
    // text; once the window exists, one style read per tick is enough (it is
    // found while still in WM_INITDIALOG, and only a visible window counts).
    HWND hWnd = nullptr;
    bool exited = false;
    int polls = 0;
    for (;;) {
        ++polls;
        if (!hWnd)
            hWnd = FindWindowA(nullptr, c.caption);
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
    bool ok = hWnd && !exited;
    if (ok) {
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
    const double t2 = NowUs();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ok) {
        fprintf(stderr, "%s: window \"%s\" not shown or not closed\n", c.name, c.caption);
        ++c.failures;
        return false;
    }
    if (record) {
        c.showMs.push_back((t1 - t0) / 1000.0);
        c.closeMs.push_back((t2 - t1) / 1000.0);
    }
    return true;
}

void PrintCandidate(const Candidate& c) {
    const Summary s = Summarize(c.showMs);
    char label[128];
    snprintf(label, sizeof(label), "%s (\"%s\")", c.name, c.caption);
    Line(label, "%8.1f ms  min %7.1f  p90 %7.1f", s.median, s.min, s.p90);
}

struct Mark {
    std::string label;
    double us;
};

struct PhaseRow {
    std::string label;
    std::vector<double> ms;
};

// The program's start-up steps, timed inside morvane_phases.exe (beside the
// bench), one fresh process per run.
class Phases {
public:
    Phases() {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof(path));
        m_exe = path;
        m_exe = m_exe.substr(0, m_exe.find_last_of('\\') + 1) + "morvane_phases.exe";
        GetTempPathA(sizeof(path), path);
        m_file = std::string(path) + "morvane_phases.txt";
    }

    void RunOnce(bool record) {
        DeleteFileA(m_file.c_str());
        Settle();
        std::string cmd = "\"" + m_exe + "\" \"" + m_file + "\"";
        STARTUPINFOA si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        const double t0 = NowUs();
        if (!CreateProcessA(m_exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return;
        WaitForSingleObject(pi.hProcess, kShowTimeoutMs);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        const std::vector<Mark> marks = ReadMarks();
        if (!record || marks.size() < 2)
            return;
        std::vector<PhaseRow> runRows{
            {"process start to WinMain()", {(marks[0].us - t0) / 1000.0}}};
        for (size_t i = 0; i + 1 < marks.size(); ++i) {
            // Each mark names the step that starts there.
            if (marks[i].label == "visible") {
                m_toVisible.push_back((marks[i].us - t0) / 1000.0);
                runRows.push_back({"then, once visible: the first paint", {}});
            } else {
                runRows.push_back({marks[i].label, {}});
            }
            runRows.back().ms.push_back((marks[i + 1].us - marks[i].us) / 1000.0);
        }
        if (m_rows.empty()) {
            m_rows = runRows;
        } else if (m_rows.size() == runRows.size()) {
            for (size_t i = 0; i < m_rows.size(); ++i)
                m_rows[i].ms.push_back(runRows[i].ms[0]);
        } else {
            return;
        }
        ++m_runs;
    }

    void Print(double programMedianMs) const {
        if (!m_runs)
            return;
        printf("   Where the program's time goes: its own start-up steps in a fresh process, "
               "median of %d:\n",
               m_runs);
        for (const PhaseRow& r : m_rows)
            Line(("  " + r.label).c_str(), "%8.1f ms", Summarize(r.ms).median);
        Line("  = CreateProcess to visible, in-process",
             "%8.1f ms   (morvane.exe seen from outside: %.1f ms)", Summarize(m_toVisible).median,
             programMedianMs);
    }

private:
    std::vector<Mark> ReadMarks() const {
        std::vector<Mark> marks;
        FILE* f = fopen(m_file.c_str(), "r");
        if (!f)
            return marks;
        char line[256];
        while (fgets(line, sizeof(line), f)) {
            char* tab = strchr(line, '\t');
            if (!tab)
                continue;
            std::string label(tab + 1);
            while (!label.empty() && (label.back() == '\n' || label.back() == '\r'))
                label.pop_back();
            marks.push_back({label, atof(line)});
        }
        fclose(f);
        return marks;
    }

    std::string m_exe;
    std::string m_file;
    std::vector<PhaseRow> m_rows;
    std::vector<double> m_toVisible;
    int m_runs = 0;
};

} // namespace

void StartupBench(const BenchOptions& o) {
    Candidate program{"morvane.exe", o.program, "Morvane", true};
    Candidate floor{"floor", o.floor, "Morvane floor", false};
    Candidate floorDlls{"floor + program's DLLs", o.floorDlls, "Morvane floor+dlls", false};
    std::vector<Candidate*> all{&program, &floor};
    if (!o.floorDlls.empty())
        all.push_back(&floorDlls);

    Phases phases;

    // One unrecorded run each loads the executables into the page cache.
    for (Candidate* c : all)
        RunOnce(*c, false);
    phases.RunOnce(false);
    for (int i = 0; i < o.startRuns; ++i) {
        // Rotating the order keeps none always following another.
        for (size_t k = 0; k < all.size(); ++k)
            RunOnce(*all[(i + k) % all.size()], true);
        phases.RunOnce(true);
    }

    Heading("1. Start-up to the main window shown: CreateProcess until FindWindow finds it "
            "visible\n   (median of %d runs each, interleaved, each closed and waited for)",
            o.startRuns);
    PrintCandidate(program);
    PrintCandidate(floor);
    const Summary p = Summarize(program.showMs), f = Summarize(floor.showMs);
    const double ratio = f.median > 0 ? p.median / f.median : 0;
    Line("ratio morvane.exe / floor", "%8.2fx     goal <= 1.20x: %s", ratio,
         Verdict(ratio > 0 && ratio <= 1.2));
    // Other load on the machine only ever adds time: the fastest runs show
    // the ratio with the least of it.
    Line("ratio of the fastest runs", "%8.2fx", f.min > 0 ? p.min / f.min : 0);
    Line("extra time over the floor", "%8.1f ms", p.median - f.median);
    Line("closing to exit (Save && Exit / WM_CLOSE)", "%8.1f ms / %.1f ms",
         Summarize(program.closeMs).median, Summarize(floor.closeMs).median);
    if (program.failures || floor.failures)
        Line("failed runs (not counted)", "%d / %d", program.failures, floor.failures);
    if (!o.floorDlls.empty()) {
        printf("   What the DLLs the program uses would cost if all were loaded at start\n"
               "   (comctl32 6 is; ole32, oleaut32, shell32 and shlwapi load on first use):\n");
        const Summary d = Summarize(floorDlls.showMs);
        Line("  floor importing all of them", "%8.1f ms  (+%.1f ms over the floor)", d.median,
             d.median - f.median);
    }
    phases.Print(p.median);
}
