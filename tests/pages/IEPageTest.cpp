// The Internet Explorer page on its real dialog, in a sandboxed registry.
// Every tweak is per-user: written under HKCU, read there first, then under
// HKLM; so the page works the same without administrator rights.
#include "pages/CIESettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

const std::string MAIN = "HKCU\\Software\\Microsoft\\Internet Explorer\\Main\\:";
const std::string INET = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\:";
const std::string CACHE =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\:";
const std::string ZONE3 =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3\\:";
const std::string P3P =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P\\:";
const std::string TABS = "HKCU\\Software\\Microsoft\\Internet Explorer\\TabbedBrowsing\\:";
const std::string PHISH = "HKCU\\Software\\Microsoft\\Internet Explorer\\PhishingFilter\\:";
const std::string INFOBAR = "HKCU\\Software\\Microsoft\\Internet Explorer\\InformationBar\\:";
constexpr std::nullopt_t DELETED = std::nullopt;

struct Row {
    int id;
    std::string label, tip;
    Changes onCheck, onUncheck;
};

const std::vector<Row> kRows = {
    {1003,
     "Disable Automatic Updates",
     "Disable Internet Explorer downloading and applying updates automatically",
     {{MAIN + "NoUpdateCheck", Dword(1)}},
     {{MAIN + "NoUpdateCheck", Dword(0)}}},
    {1005,
     "Disable Integrated Windows Authentication",
     "Disable Internet Explorer users getting identified, while browsing",
     {{INET + "EnableNegotiate", Dword(0)}},
     {{INET + "EnableNegotiate", Dword(1)}}},
    {1006,
     "Increase Maximum Connections",
     "Increase the maximum possible connections to 32",
     {{INET + "MaxConnectionsPerServer", Dword(32)},
      {INET + "MaxConnectionsPer1_0Server", Dword(32)}},
     {{INET + "MaxConnectionsPerServer", DELETED}, {INET + "MaxConnectionsPer1_0Server", DELETED}}},
    {1007,
     "Open Pop-ups in new Tabs",
     "Enables Internet Explorer to open pop-up in new tabs instead of new windows (Internet "
     "Explorer 7)",
     {{TABS + "PopupsUseNewWindow", Dword(2)}},
     {{TABS + "PopupsUseNewWindow", Dword(1)}}},
    {1008,
     "Delete Temporary Files on Exit",
     "Delete Temporary Internet Files when Internet Explorer exits",
     {{CACHE + "Persistent", Dword(0)}},
     {{CACHE + "Persistent", Dword(1)}}},
    {1012,
     "Disable ActiveX",
     "Disable Internet Explorer executing ActiveX controls",
     {{ZONE3 + "1200", Dword(3)},
      {ZONE3 + "1201", Dword(3)},
      {ZONE3 + "1001", Dword(3)},
      {ZONE3 + "1405", Dword(3)},
      {P3P + "1004", Dword(3)}},
     {{ZONE3 + "1200", Dword(0)},
      {ZONE3 + "1201", Dword(3)},
      {ZONE3 + "1001", Dword(1)},
      {ZONE3 + "1405", Dword(0)},
      {P3P + "1004", DELETED}}},
    {1013,
     "Disable JavaScript",
     "Disable Internet Explorer executing Java Script",
     {{ZONE3 + "1400", Dword(3)}, {ZONE3 + "1402", Dword(3)}, {ZONE3 + "1407", Dword(3)}},
     {{ZONE3 + "1400", Dword(0)}, {ZONE3 + "1402", Dword(0)}, {ZONE3 + "1407", Dword(1)}}},
    {1016,
     "Disable Phishing Filter",
     "Disables the Phishing Filter which sends information to Microsoft (Internet Explorer 7)",
     {{PHISH + "Enabled", Sz("0")}},
     {{PHISH + "Enabled", DELETED}}},
    {1018,
     "Disable 404 Search",
     "Disable Internet Explorer searching unavailable webpages",
     {{MAIN + "Do404Search", Sz("01000000")}},
     {{MAIN + "Do404Search", DELETED}}},
    {1019,
     "Disable Home Page",
     "Use blank page as default Home Page",
     {{MAIN + "Start Page", Sz("about:blank")}},
     {{MAIN + "Start Page", DELETED}}},
    {1020,
     "Disable Prompt for Default Browser",
     "Disables Internet Explorer prompting for default browser settings",
     {{MAIN + "Check_Associations", Sz("no")}},
     {{MAIN + "Check_Associations", DELETED}}},
    {1021,
     "Disable Information Bar alert",
     "Disables the alert about the Information Bar on first start (Internet Explorer 7)",
     {{INFOBAR + "FirstTime", Dword(0)}},
     {{INFOBAR + "FirstTime", DELETED}}},
};

std::vector<CellCase> Cells() {
    std::vector<CellCase> cases;
    for (const Row& r : kRows)
        cases.push_back({r.id, r.onCheck, r.onUncheck});
    return cases;
}

// On this page a box reads back exactly the values its check writes.
std::vector<StartCase> Conditions() {
    std::vector<StartCase> cases;
    for (const Row& r : kRows) {
        StartCase c{r.id, {}};
        for (const auto& [path, value] : r.onCheck)
            c.values[path] = *value;
        cases.push_back(c);
    }
    return cases;
}

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CIESettingsDlg>(IDD_IEXPLORER, stored);
}

TEST(IEPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), std::set<int>{});
}

TEST(IEPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    ExpectConditions<CIESettingsDlg>(IDD_IEXPLORER, Conditions());
}

TEST(IEPageTest, TextsAndTypesMustMatchExactly) {
    EXPECT_EQ(CheckedWith({{MAIN + "Start Page", Sz("About:Blank")}}), std::set<int>{});
    EXPECT_EQ(CheckedWith({{INFOBAR + "FirstTime", Sz("0")}}), std::set<int>{});
    EXPECT_EQ(CheckedWith({{PHISH + "Enabled", Dword(0)}}), std::set<int>{});
    EXPECT_EQ(
        CheckedWith({{MAIN + "Do404Search", RegValue{REG_BINARY, std::string("\1\0\0\0", 4)}}}),
        std::set<int>{});
    EXPECT_EQ(CheckedWith({{INET + "MaxConnectionsPerServer", Dword(32)}}), std::set<int>{});
}

// From an empty registry, then from one holding the user's own values: an
// uncheck leaves its cell's result, not what was there before the check.
TEST(IEPageTest, EachClickPerformsExactlyItsCell) {
    for (bool previous : {false, true}) {
        SCOPED_TRACE(previous ? "with values stored before" : "from an empty registry");
        RegistrySandbox sandbox;
        ShellRecorder shell;
        if (previous)
            for (const StartCase& c : Conditions())
                for (const auto& [path, value] : c.values)
                    Put(path, NearMiss(value));
        auto host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
        ExpectCells(sandbox, host->hWnd, Cells());
        EXPECT_TRUE(shell.Take().empty());
        // The next start shows every box unchecked again.
        host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
        for (const Row& r : kRows)
            EXPECT_FALSE(IsChecked(host->hWnd, r.id)) << r.id;
    }
}

TEST(IEPageTest, WithoutRightsEveryClickStillWorks) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    HostedPage<CIESettingsDlg> host(IDD_IEXPLORER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, host.hWnd, Cells());
}

TEST(IEPageTest, AMachineWideValueCountsUntilTheUsersOwnHidesIt) {
    RegistrySandbox sandbox;
    Put(UnderOtherRoot(MAIN + "NoUpdateCheck"), Dword(1));
    auto host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
    ASSERT_TRUE(IsChecked(host->hWnd, 1003));
    const Snapshot before = sandbox.Snapshot();
    Click(host->hWnd, 1003);
    ExpectOnly(before, sandbox.Snapshot(), {{MAIN + "NoUpdateCheck", Dword(0)}}, 1003);
    host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
    EXPECT_FALSE(IsChecked(host->hWnd, 1003));
}

TEST(IEPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CIESettingsDlg>(IDD_IEXPLORER, kRows);
}

} // namespace
