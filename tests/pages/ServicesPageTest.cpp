// The Services page on its real dialog, in a sandboxed registry: a box shows
// whether its service starts automatically; a click sets the start type, then
// starts or stops the service with a hidden net.exe.
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

namespace {

struct Service {
    int id;
    std::string name, label, tip;
};

const std::vector<Service> kServices = {
    {1003, "WerSvc", "Error-Reporting", "Windows sending error-reports to Microsoft"},
    {1004, "wuauserv", "Automatic Windows Updates",
     "Windows downloading and applying updates automatically"},
    {1005, "wscsvc", "Windows Security Center", "Windows Security Center protecting your system"},
    {1007, "W32Time", "Time Synchronization", "Windows synchronizing your computer's clock online"},
    {1012, "upnphost", "Universal Plug and Play", "Service for Universal Plug and Play (UPnP)"},
    {1013, "SSDPSRV", "UPnP Discovery Service",
     "Discovery of Universal Plug and Play (UPnP) devices on your network"},
    {1016, "RpcLocator", "RPC Locator", "Remote Procedure Call Locator"},
    {1017, "RemoteRegistry", "Remote Registry Service", "Remote users accessing your Registry"},
    {1021, "stisvc", "Windows Image Acquisition Service",
     "Windows Image Acquisition Service for importing images from scanners or cameras"},
};

std::string Start(const Service& s, const char* root = "HKLM") {
    return ValuePath(root, "System\\CurrentControlSet\\Services\\" + s.name, "Start");
}

const Service& ById(int id) {
    return *std::find_if(kServices.begin(), kServices.end(),
                         [id](const Service& s) { return s.id == id; });
}

ShellRequest Net(const Service& s, bool start) {
    return Started("net.exe", (start ? "START \"" : "STOP \"") + s.name + "\"", SW_HIDE);
}

std::vector<CellCase> Cells() {
    std::vector<CellCase> cases;
    for (const Service& s : kServices)
        cases.push_back({s.id, {{Start(s), Dword(2)}}, {{Start(s), Dword(3)}}});
    return cases;
}

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
    EXPECT_EQ(CheckedWith<ServicesSettingsDlg>(IDD_SERVICES, {}), std::set<int>{});
    for (const Service& s : kServices) {
        // Whatever else the key holds.
        const Snapshot stored = {
            {Start(s), Dword(2)},
            {ValuePath("HKLM", "System\\CurrentControlSet\\Services\\" + s.name, "Type"),
             Dword(0x20)}};
        EXPECT_EQ(CheckedWith<ServicesSettingsDlg>(IDD_SERVICES, stored), std::set<int>{s.id});
        // A per-user value is never seen.
        EXPECT_EQ(CheckedWith<ServicesSettingsDlg>(IDD_SERVICES, {{Start(s, "HKCU"), Dword(2)}}),
                  std::set<int>{})
            << s.name;
    }
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
        for (const Service& s : kServices)
            stored[Start(s)] = value;
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
    ExpectCells(sandbox, host.hWnd, Cells(), [&](int id, bool checked) {
        EXPECT_EQ(shell.Take(), std::vector<ShellRequest>{Net(ById(id), checked)});
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
    const Service& wia = ById(1021);
    Put(Start(wia), Dword(4));
    auto host = std::make_unique<HostedPage<ServicesSettingsDlg>>(IDD_SERVICES);
    EXPECT_FALSE(IsChecked(host->hWnd, wia.id));
    Click(host->hWnd, wia.id);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\stisvc", "Start"),
              Dword(2));
    Click(host->hWnd, wia.id);
    // Two quick clicks ask for both commands, in click order.
    EXPECT_EQ(shell.Take(), (std::vector<ShellRequest>{Net(wia, true), Net(wia, false)}));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\stisvc", "Start"),
              Dword(3));
    host = std::make_unique<HostedPage<ServicesSettingsDlg>>(IDD_SERVICES);
    EXPECT_FALSE(IsChecked(host->hWnd, wia.id));
}

TEST(ServicesPageTest, WithoutRightsNothingChangesButTheCommandsAreStillAskedFor) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    HostedPage<ServicesSettingsDlg> host(IDD_SERVICES);
    ASSERT_TRUE(host.hWnd);
    // Each box keeps the state its click gave it.
    ExpectCells(sandbox, host.hWnd, PerUserOnly(Cells()), [&](int id, bool checked) {
        EXPECT_EQ(shell.Take(), std::vector<ShellRequest>{Net(ById(id), checked)});
    });
}

TEST(ServicesPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<ServicesSettingsDlg>(IDD_SERVICES, kServices);
}

} // namespace
