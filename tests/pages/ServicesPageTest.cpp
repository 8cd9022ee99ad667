// The Services page on its real dialog, in a sandboxed registry: a box shows
// whether its service starts automatically; a click sets the start type, then
// starts or stops the service with a hidden net.exe.
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

namespace {

using expect::Services;

// What the registry held when each command was asked for: the start type
// must be written before the command runs.
std::vector<Snapshot> g_atRequest;
const RegistrySandbox* g_pWatched;
ShellExecuteFn g_pfnNext;

HINSTANCE WINAPI SnapshotThenPass(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                  LPCSTR directory, INT show) {
    g_atRequest.push_back(g_pWatched->Snapshot());
    return g_pfnNext(hwnd, verb, file, parameters, directory, show);
}

TEST(ServicesPageTest, EachBoxReadsOnlyItsServicesStartTypeTwo) {
    EXPECT_EQ(CheckedWith<ServicesSettingsDlg>(IDD_SERVICES, {}), CheckedWhenEmpty(Services));
    ExpectCheckedBy<ServicesSettingsDlg>(IDD_SERVICES, expect::BoxesOf(Services));
    ExpectReads<ServicesSettingsDlg>(IDD_SERVICES, expect::BoxesOf(Services));
}

TEST(ServicesPageTest, EveryOtherStartValueLeavesTheBoxesUnchecked) {
    const std::vector<std::pair<const char*, RegValue>> others = {
        {"boot", Dword(0)},
        {"system", Dword(1)},
        {"on demand", Dword(3)},
        {"disabled", Dword(4)},
        {"text", Sz("2")},
        {"binary", RegValue{REG_BINARY, std::string("\2\0\0\0", 4)}},
        {"eight bytes", RegValue{REG_QWORD, std::string("\2\0\0\0\0\0\0\0", 8)}},
    };
    for (const auto& [what, value] : others) {
        Snapshot stored;
        for (const expect::Box& box : expect::BoxesOf(Services))
            for (const auto& entry : box.checkedBy)
                stored[entry.first] = value;
        EXPECT_EQ(CheckedWith<ServicesSettingsDlg>(IDD_SERVICES, stored), std::set<int>{}) << what;
    }
}

TEST(ServicesPageTest, EachClickWritesTheStartTypeThenRunsNetHidden) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    HostedPage<ServicesSettingsDlg> host(IDD_SERVICES);
    ASSERT_TRUE(host.hWnd);
    g_pWatched = &sandbox;
    g_atRequest.clear();
    g_pfnNext = std::exchange(g_pfnShellExecute, &SnapshotThenPass);
    // A missing service key is created holding the lone "Start" value.
    ExpectCells(sandbox, shell, host.hWnd, expect::BoxesOf(Services), [&](int id, bool) {
        ASSERT_EQ(g_atRequest.size(), 1u) << id;
        EXPECT_TRUE(g_atRequest[0] == sandbox.Snapshot())
            << id << " the command came before the write";
        g_atRequest.clear();
    });
    g_pfnShellExecute = g_pfnNext;
}

TEST(ServicesPageTest, ADisabledServiceEndsUpOnDemand) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    const expect::Box& wia = expect::BoxAt(Services, 1021);
    Put(wia.checkedBy.begin()->first, Dword(4));
    auto host = std::make_unique<HostedPage<ServicesSettingsDlg>>(IDD_SERVICES);
    EXPECT_FALSE(IsChecked(host->hWnd, wia.id));
    Snapshot before = sandbox.Snapshot();
    Click(host->hWnd, wia.id);
    ExpectOnly(before, sandbox.Snapshot(), wia.onCheck, wia.id);
    before = sandbox.Snapshot();
    Click(host->hWnd, wia.id);
    // Two quick clicks ask for both commands, in click order.
    std::vector<ShellRequest> both = Requests(wia.startsOnCheck);
    std::ranges::copy(Requests(wia.startsOnUncheck), std::back_inserter(both));
    EXPECT_EQ(shell.Take(), both);
    ExpectOnly(before, sandbox.Snapshot(), wia.onUncheck, wia.id);
    host = std::make_unique<HostedPage<ServicesSettingsDlg>>(IDD_SERVICES);
    EXPECT_FALSE(IsChecked(host->hWnd, wia.id));
}

TEST(ServicesPageTest, WithoutRightsNothingChangesButTheCommandsAreStillAskedFor) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    HostedPage<ServicesSettingsDlg> host(IDD_SERVICES);
    ASSERT_TRUE(host.hWnd);
    // Each box keeps the state its click gave it.
    ExpectCells(sandbox, shell, host.hWnd, PerUserOnly(expect::BoxesOf(Services)));
}

TEST(ServicesPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<ServicesSettingsDlg>(IDD_SERVICES, Services);
}

} // namespace
