// One click applied, per kind of cell. Each cell is timed through Perform()
// (what a click runs once the box has toggled) and as a real BM_CLICK on a
// page created from its template, against the same registry writes made
// with bare calls. Before every timed click the opposite one, untimed, puts
// the registry back, so each click really changes something.
#include "BenchTweaks.h"
#include "BenchUtil.h"
#include "pages/CUsabilityDlg.h"
#include "pages/ServicesSettingsDlg.h"
#include "Benches.h"
#include "RegistryTap.h"

#include "resource.h"
#include "system/Executor.h"
#include "system/Registry.h"
#include "system/Shell.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

HKEY Root(RegRoot root) {
    return root == HKLM ? HKEY_LOCAL_MACHINE : root == HKCR ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

// A phrase done with the fewest direct calls: the floor of a cell.
void BarePerform(const Phrase& p) {
    const char* key = p.key ? p.key : kStoreKey;
    HKEY hKey;
    switch (p.kind) {
    case PhraseKind::SetDword:
    case PhraseKind::SetString:
        if (RegCreateKeyExA(Root(p.root), key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                            nullptr) == ERROR_SUCCESS) {
            if (p.kind == PhraseKind::SetDword)
                RegSetValueExA(hKey, p.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&p.number),
                               sizeof(p.number));
            else
                RegSetValueExA(hKey, p.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(p.text),
                               static_cast<DWORD>(strlen(p.text) + 1));
            RegCloseKey(hKey);
        }
        break;
    case PhraseKind::DeleteValue:
        if (RegOpenKeyExA(Root(p.root), key, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
            RegDeleteValueA(hKey, p.name);
            RegCloseKey(hKey);
        }
        break;
    case PhraseKind::CreateClassKey:
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, p.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(p.text),
                           static_cast<DWORD>(strlen(p.text) + 1));
            RegCloseKey(hKey);
        }
        break;
    case PhraseKind::DeleteClassKey:
        RegDeleteTreeA(HKEY_CLASSES_ROOT, p.key);
        break;
    case PhraseKind::Run:
        break; // the floor starts nothing
    }
}

void BarePerform(const Cell& cell) {
    for (const Phrase& p : cell)
        BarePerform(p);
}

// A hidden top-level window standing in for the page container.
struct PageParent : CWnd {
    PageParent() {
        m_hWnd = CreateWindowExA(0, "STATIC", "bench host", WS_POPUP, 0, 0, 800, 600, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~PageParent() override {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
};

struct ClickCase {
    const char* label;
    const TweakRow* row;
    HWND hPage;
    bool timedChecks; // true: the timed click checks the box
};

struct ClickResult {
    Summary perform, click, floor;
    RegistryCounts counts;
    int starts = 0;
};

ClickResult MeasureCell(const ClickCase& c, int reps) {
    const Cell& timed = c.timedChecks ? c.row->onCheck : c.row->onUncheck;
    const Cell& opposite = c.timedChecks ? c.row->onUncheck : c.row->onCheck;
    ClickResult result;
    {
        Executor(Executor::StartAndLeave).Perform(opposite, Policy::EveryEffect);
        const int starts = g_shellStarts;
        RegistryTap tap;
        Executor(Executor::StartAndLeave).Perform(timed, Policy::EveryEffect);
        result.counts = tap.Counts();
        result.starts = g_shellStarts - starts;
    }
    HWND hBox = GetDlgItem(c.hPage, c.row->id);
    const UINT before = c.timedChecks ? BST_UNCHECKED : BST_CHECKED;
    std::vector<double> perform, click, floor;
    for (int rep = 0; rep < reps + 3; ++rep) {
        Executor(Executor::StartAndLeave).Perform(opposite, Policy::EveryEffect);
        double t0 = NowUs();
        Executor(Executor::StartAndLeave).Perform(timed, Policy::EveryEffect);
        const double tPerform = NowUs() - t0;

        Executor(Executor::StartAndLeave).Perform(opposite, Policy::EveryEffect);
        t0 = NowUs();
        BarePerform(timed);
        const double tFloor = NowUs() - t0;

        // The box must stand where the timed click starts from; an untimed
        // click (the opposite cell) puts it there.
        if (IsDlgButtonChecked(c.hPage, c.row->id) != before)
            SendMessageA(hBox, BM_CLICK, 0, 0);
        else
            Executor(Executor::StartAndLeave).Perform(opposite, Policy::EveryEffect);
        t0 = NowUs();
        SendMessageA(hBox, BM_CLICK, 0, 0);
        const double tClick = NowUs() - t0;
        if (rep < 3)
            continue;
        perform.push_back(tPerform);
        floor.push_back(tFloor);
        click.push_back(tClick);
    }
    result.perform = Summarize(perform);
    result.click = Summarize(click);
    result.floor = Summarize(floor);
    return result;
}

int CountProcesses(const char* exeName) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe{sizeof(pe)};
    int n = 0;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
        n += lstrcmpiA(pe.szExeFile, exeName) == 0;
    CloseHandle(snap);
    return n;
}

// net.exe runs on after the click; the next click waits until it is gone,
// so no two overlap.
void WaitForNet() {
    for (int i = 0; i < 500 && CountProcesses("net.exe") > 0; ++i)
        Sleep(10);
}

} // namespace

void ClickBench(const BenchOptions& o) {
    const ShellExecuteFn realShell = g_pfnShellExecute;
    g_pfnShellExecute = &NoShell;

    PageParent parent;
    auto usability = std::make_unique<CUsabilityDlg>(&parent);
    auto services = std::make_unique<ServicesSettingsDlg>(&parent);
    if (!usability->Create(IDD_USABILITY, &parent) || !services->Create(IDD_SERVICES, &parent)) {
        printf("\n3. One click applied: the pages could not be created\n");
        g_pfnShellExecute = realShell;
        return;
    }
    const TweakRow* service = FindTweak(kServicesTweaks, 1007);
    const ClickCase cases[] = {
        {"DWORD set (Usability: show hidden files)", FindTweak(kUsabilityTweaks, 1018),
         usability->m_hWnd, true},
        {"delete (Usability: diskspace warning off)", FindTweak(kUsabilityTweaks, 1004),
         usability->m_hWnd, false},
        {"Notepad verb (Usability: 2 HKCR keys + store)", FindTweak(kUsabilityTweaks, 1006),
         usability->m_hWnd, true},
        {"service (Time Synchronization: DWORD + net)", service, services->m_hWnd, true},
    };

    Heading("3. One click applied, per kind of cell (median of %d; net.exe replaced by a "
            "no-op)",
            o.clickReps);
    printf("   %-44s %10s %12s %10s   %s\n", "", "Perform()", "BM_CLICK", "floor", "ratio, calls");
    for (const ClickCase& c : cases) {
        if (!c.row)
            continue;
        const ClickResult r = MeasureCell(c, o.clickReps);
        std::string calls = Describe(r.counts);
        if (r.starts)
            calls += ", " + std::to_string(r.starts) + " start";
        printf("   %-44s %7.0f us %9.0f us %7.0f us   %.2fx, %s\n", c.label, r.perform.median,
               r.click.median, r.floor.median,
               r.floor.median > 0 ? r.perform.median / r.floor.median : 0, calls.c_str());
    }
    printf("   (floor: the same registry writes as bare calls; BM_CLICK adds the box's own\n"
           "    toggling, WM_COMMAND routing and the message map)\n");

    // The same service click with the real shell start, for information.
    if (service) {
        g_pfnShellExecute = realShell;
        std::vector<double> samples;
        double first = 0;
        for (int rep = 0; rep < o.shellReps + 1; ++rep) {
            WaitForNet();
            g_pfnShellExecute = &NoShell;
            Executor(Executor::StartAndLeave).Perform(service->onUncheck, Policy::EveryEffect);
            g_pfnShellExecute = realShell;
            const double t0 = NowUs();
            Executor(Executor::StartAndLeave).Perform(service->onCheck, Policy::EveryEffect);
            const double us = NowUs() - t0;
            if (rep == 0)
                first = us;
            else
                samples.push_back(us);
        }
        WaitForNet();
        Line("service cell with the real ShellExecuteA",
             "%7.0f us median of %d (the first in the process: %.0f us)", Summarize(samples).median,
             o.shellReps, first);
    }
    g_pfnShellExecute = realShell;
}
