// Where the program's time goes: its own start-up steps, timed inside
// morvane_phases.exe (beside the bench), one fresh process per run.
#include "BenchUtil.h"
#include "Benches.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kRunTimeoutMs = 20000;
constexpr DWORD kSettleMs = 100;

struct Mark {
    std::string label;
    double us;
};

struct PhaseRow {
    std::string label;
    std::vector<double> ms;
};

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
        Sleep(kSettleMs);
        std::string cmd = "\"" + m_exe + "\" \"" + m_file + "\"";
        STARTUPINFOA si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        const double t0 = NowUs();
        if (!CreateProcessA(m_exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return;
        WaitForSingleObject(pi.hProcess, kRunTimeoutMs);
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

    void Print() const {
        if (!m_runs)
            return;
        printf("   Where the program's time goes: its own start-up steps in a fresh process, "
               "median of %d:\n",
               m_runs);
        for (const PhaseRow& r : m_rows)
            Line(("  " + r.label).c_str(), "%8.1f ms", Summarize(r.ms).median);
        Line("  = CreateProcess to visible, in-process", "%8.1f ms", Summarize(m_toVisible).median);
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

void PhasesBench(const BenchOptions& o) {
    Phases phases;
    phases.RunOnce(false);
    for (int i = 0; i < o.phaseRuns; ++i)
        phases.RunOnce(true);
    Heading("1c. The program's own start-up steps (morvane_phases.exe), null display driver");
    phases.Print();
}
