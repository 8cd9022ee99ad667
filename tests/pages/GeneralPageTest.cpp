// The General page on its real dialog, in a sandboxed registry.
#include "pages/GeneralSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"
#include "system/Registry.h"

#include <gtest/gtest.h>

namespace {

constexpr char LSA[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
constexpr char WSH[] = "SOFTWARE\\Microsoft\\Windows Script Host\\Settings";
constexpr char EXPLORER[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr char ADVANCED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr char TCPIP[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr char MEMORY[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr char PREFETCH[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters";
constexpr char DESKTOP[] = "Control Panel\\Desktop";
constexpr char POLICYSYSTEM[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr char STORE[] = "Software\\Quelt";

class GeneralPageTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    ShellRecorder shell;
    std::unique_ptr<HostedPage<GeneralSettingsDlg>> host;

    HWND Open() {
        host = std::make_unique<HostedPage<GeneralSettingsDlg>>(IDD_GENERAL);
        EXPECT_TRUE(host->hWnd);
        return host->hWnd;
    }
    bool CheckedAtStart(int id) {
        const bool checked = IsChecked(Open(), id);
        host.reset();
        return checked;
    }
};

TEST_F(GeneralPageTest, WithNothingStoredEachBoxShowsItsDefault) {
    HWND hPage = Open();
    for (int id : {1003, 1006, 1010, 1015, 1016, 1017, 1020})
        EXPECT_FALSE(IsChecked(hPage, id)) << id;
    for (int id : {1007, 1009, 1011, 1013})
        EXPECT_TRUE(IsChecked(hPage, id)) << id;
    EXPECT_TRUE(shell.Take().empty());
}

TEST_F(GeneralPageTest, ReadingTheStatesAtStartChangesNothing) {
    PutString(HKEY_CURRENT_USER, STORE, "Compressed Folder", "1");
    PutDword(HKEY_LOCAL_MACHINE, LSA, "nolmhash", 0);
    const auto before = sandbox.Snapshot();
    HWND hPage = Open();
    EXPECT_TRUE(IsChecked(hPage, 1003));
    EXPECT_TRUE(IsChecked(hPage, 1006));
    EXPECT_EQ(sandbox.Snapshot(), before);
    EXPECT_TRUE(shell.Take().empty());
}

TEST_F(GeneralPageTest, CompressedFoldersFollowsTheStoreOnly) {
    PutString(HKEY_CURRENT_USER, STORE, "Compressed Folder", "0");
    EXPECT_FALSE(CheckedAtStart(1003));
    PutString(HKEY_CURRENT_USER, STORE, "Compressed Folder", "1");
    EXPECT_TRUE(CheckedAtStart(1003));
}

TEST_F(GeneralPageTest, LmHashAndTheOneOnlyRows) {
    PutDword(HKEY_LOCAL_MACHINE, LSA, "nolmhash", 1);
    EXPECT_FALSE(CheckedAtStart(1006));
    PutDword(HKEY_LOCAL_MACHINE, LSA, "nolmhash", 0);
    EXPECT_TRUE(CheckedAtStart(1006));
    // A per-user value is never seen by an HKLM-only read.
    PutDword(HKEY_CURRENT_USER, LSA, "restrictanonymous", 1);
    EXPECT_FALSE(CheckedAtStart(1010));
    for (DWORD value : {2u, 1u}) {
        PutDword(HKEY_LOCAL_MACHINE, LSA, "restrictanonymous", value);
        PutDword(HKEY_LOCAL_MACHINE, MEMORY, "ClearPageFileAtShutdown", value);
        PutDword(HKEY_LOCAL_MACHINE, POLICYSYSTEM, "DontDisplayLastUserName", value);
        HWND hPage = Open();
        EXPECT_EQ(IsChecked(hPage, 1010), value == 1);
        EXPECT_EQ(IsChecked(hPage, 1017), value == 1);
        EXPECT_EQ(IsChecked(hPage, 1020), value == 1);
    }
}

TEST_F(GeneralPageTest, ScriptHostNeedsBothValuesNonZero) {
    PutDword(HKEY_LOCAL_MACHINE, WSH, "Enabled", 2);
    EXPECT_TRUE(CheckedAtStart(1007));
    PutDword(HKEY_LOCAL_MACHINE, WSH, "Remote", 0);
    EXPECT_FALSE(CheckedAtStart(1007));
    PutDword(HKEY_LOCAL_MACHINE, WSH, "Remote", 1);
    PutDword(HKEY_LOCAL_MACHINE, WSH, "Enabled", 0);
    EXPECT_FALSE(CheckedAtStart(1007));
}

TEST_F(GeneralPageTest, OnlyOneUnchecksNetCrawlingAndMediaSensing) {
    PutDword(HKEY_CURRENT_USER, ADVANCED, "NoNetCrawling", 0);
    PutDword(HKEY_LOCAL_MACHINE, TCPIP, "DisableDHCPMediaSense", 0);
    HWND hPage = Open();
    EXPECT_TRUE(IsChecked(hPage, 1011));
    EXPECT_TRUE(IsChecked(hPage, 1013));
    PutDword(HKEY_CURRENT_USER, ADVANCED, "NoNetCrawling", 1);
    PutDword(HKEY_LOCAL_MACHINE, TCPIP, "DisableDHCPMediaSense", 1);
    hPage = Open();
    EXPECT_FALSE(IsChecked(hPage, 1011));
    EXPECT_FALSE(IsChecked(hPage, 1013));
    // The file-association row reads HKCU first, then HKLM.
    PutDword(HKEY_LOCAL_MACHINE, EXPLORER, "InternetOpenWith", 0);
    EXPECT_FALSE(CheckedAtStart(1009));
}

TEST_F(GeneralPageTest, PrefetchIsReadPerUserFirstButOnlyThreeChecks) {
    PutDword(HKEY_LOCAL_MACHINE, PREFETCH, "EnablePrefetcher", 1);
    EXPECT_FALSE(CheckedAtStart(1015));
    PutDword(HKEY_LOCAL_MACHINE, PREFETCH, "EnablePrefetcher", 3);
    EXPECT_TRUE(CheckedAtStart(1015));
    PutDword(HKEY_CURRENT_USER, PREFETCH, "EnablePrefetcher", 2);
    EXPECT_FALSE(CheckedAtStart(1015));
}

TEST_F(GeneralPageTest, FastShutdownWantsTheText) {
    PutDword(HKEY_CURRENT_USER, DESKTOP, "AutoEndTasks", 1);
    EXPECT_FALSE(CheckedAtStart(1016));
    PutString(HKEY_CURRENT_USER, DESKTOP, "AutoEndTasks", "0");
    EXPECT_FALSE(CheckedAtStart(1016));
    PutString(HKEY_CURRENT_USER, DESKTOP, "AutoEndTasks", "1");
    EXPECT_TRUE(CheckedAtStart(1016));
}

TEST_F(GeneralPageTest, CompressedFoldersRegistersThenStoresTheChoice) {
    HWND hPage = Open();
    const std::string dll = SystemFolder() + "\\zipfldr.dll";
    Click(hPage, 1003);
    EXPECT_EQ(shell.Take(),
              std::vector<ShellRequest>{Started("regsvr32.exe", "/s " + dll, SW_SHOW)});
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, STORE, "Compressed Folder"), Sz("1"));
    Click(hPage, 1003);
    EXPECT_EQ(shell.Take(),
              std::vector<ShellRequest>{Started("regsvr32.exe", "/u /s " + dll, SW_SHOW)});
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, STORE, "Compressed Folder"), Sz("0"));
}

TEST_F(GeneralPageTest, EachClickPerformsExactlyItsCell) {
    const std::string lsa = std::string("HKLM\\") + LSA + "\\:";
    const std::string wsh = std::string("HKLM\\") + WSH + "\\:";
    const std::vector<CellCase> cases = {
        {1006, {{lsa + "nolmhash", Dword(0)}}, {{lsa + "nolmhash", Dword(1)}}},
        {1010, {{lsa + "restrictanonymous", Dword(1)}}, {{lsa + "restrictanonymous", Dword(0)}}},
        {1016,
         {{std::string("HKCU\\") + DESKTOP + "\\:AutoEndTasks", Sz("1")}},
         {{std::string("HKCU\\") + DESKTOP + "\\:AutoEndTasks", Sz("0")}}},
        {1015,
         {{std::string("HKLM\\") + PREFETCH + "\\:EnablePrefetcher", Dword(3)}},
         {{std::string("HKLM\\") + PREFETCH + "\\:EnablePrefetcher", Dword(2)}}},
        {1017,
         {{std::string("HKLM\\") + MEMORY + "\\:ClearPageFileAtShutdown", Dword(1)}},
         {{std::string("HKLM\\") + MEMORY + "\\:ClearPageFileAtShutdown", Dword(0)}}},
        {1020,
         {{std::string("HKLM\\") + POLICYSYSTEM + "\\:DontDisplayLastUserName", Dword(1)}},
         {{std::string("HKLM\\") + POLICYSYSTEM + "\\:DontDisplayLastUserName", Dword(0)}}},
    };
    HWND hPage = Open();
    ExpectCells(sandbox, hPage, cases);
    // Rows checked at start: the first click unchecks.
    auto before = sandbox.Snapshot();
    Click(hPage, 1007);
    ExpectOnly(before, sandbox.Snapshot(),
               {{wsh + "Enabled", Dword(0)}, {wsh + "Remote", Dword(0)}}, 1007);
    Click(hPage, 1007);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, WSH, "Enabled"));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, WSH, "Remote"));
    for (auto [id, root, key, name] :
         {std::tuple{1009, HKEY_CURRENT_USER, EXPLORER, "InternetOpenWith"},
          std::tuple{1011, HKEY_CURRENT_USER, ADVANCED, "NoNetCrawling"},
          std::tuple{1013, HKEY_LOCAL_MACHINE, TCPIP, "DisableDHCPMediaSense"}}) {
        Click(hPage, id);
        EXPECT_EQ(GetValue(root, key, name), id == 1009 ? Dword(0) : Dword(1)) << id;
        Click(hPage, id);
        EXPECT_FALSE(GetValue(root, key, name)) << id;
    }
    EXPECT_TRUE(shell.Take().empty());
}

TEST(GeneralPageWithoutRightsTest, MachineRowsChangeNothingAndBoxesKeepTheClick) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    HostedPage<GeneralSettingsDlg> host(IDD_GENERAL);
    ASSERT_TRUE(host.hWnd);
    Click(host.hWnd, 1006);
    Click(host.hWnd, 1007);
    EXPECT_TRUE(IsChecked(host.hWnd, 1006));
    EXPECT_FALSE(IsChecked(host.hWnd, 1007));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, LSA, "nolmhash"));
    // Per-user rows still work.
    Click(host.hWnd, 1016);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, DESKTOP, "AutoEndTasks"), Sz("1"));
    Click(host.hWnd, 1003);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, STORE, "Compressed Folder"), Sz("1"));
}

TEST_F(GeneralPageTest, LabelsAndTooltipsAsShown) {
    const std::vector<std::tuple<int, std::string, std::string>> rows = {
        {1003, "Compressed Folders", "Enable Explorer handling ZIP files"},
        {1006, "LMHash", "Enable Windows storing passwords in the vulnerable LAN Manager Hash"},
        {1007, "Windows Script Host", "Enable Windows Script Host to prevent script execution"},
        {1009, "File Association Web service",
         "Enable the web service to find the appropriate program for unknown file types"},
        {1010, "Null Session Connections",
         "Restricts anonymous users from displaying lists of users and from viewing security "
         "permissions"},
        {1011, "Net Crawling", "Enable the automatic search for network folders and printers"},
        {1013, "Media Sensing for TCP/IP", "Enable Media Sensing for TCP/IP"},
        {1015, "Prefetch", "Enable application launch prefetching"},
        {1016, "Fast shutdown", "Increase the shutdown speed of Windows"},
        {1017, "Pagefile at Shutdown", "Delete the Windows pagefile at shutdown"},
        {1020, "Showing last user", "Disable showing the last user on login"},
    };
    ExpectLabelsAndTips(Open(), rows);
}

TEST_F(GeneralPageTest, TemplateIsAHiddenChildOfCheckboxesInTwoColumns) {
    HWND hPage = Open();
    EXPECT_TRUE(GetWindowLongA(hPage, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(hPage));
    RECT rc{0, 0, 330, 170};
    MapDialogRect(hPage, &rc);
    RECT client;
    GetClientRect(hPage, &client);
    EXPECT_EQ(client.right, rc.right);
    EXPECT_EQ(client.bottom, rc.bottom);
    for (int id = 1000; id < 1030; ++id) {
        HWND hBox = GetDlgItem(hPage, id);
        if (!hBox)
            continue;
        EXPECT_EQ(GetWindowLongA(hBox, GWL_STYLE) & 0xF, BS_AUTOCHECKBOX) << id;
        RECT box = RectIn(hBox, hPage), col{175, 0, 0, 0};
        MapDialogRect(hPage, &col);
        EXPECT_TRUE(box.left == 0 || box.left == col.left) << id;
    }
}

} // namespace
