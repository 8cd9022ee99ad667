#include "pages/CIESettingsDlg.h"

#include "resource.h"

namespace {
constexpr char MAIN[] = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr char INET[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char CACHE[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache";
constexpr char ZONE3[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr char P3P[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P";
constexpr char TABS[] = "Software\\Microsoft\\Internet Explorer\\TabbedBrowsing";
constexpr char PHISH[] = "Software\\Microsoft\\Internet Explorer\\PhishingFilter";
constexpr char INFOBAR[] = "Software\\Microsoft\\Internet Explorer\\InformationBar";
constexpr DWORD NONE = 0xFFFFFFFF; // the default that no condition of this page accepts
} // namespace

// clang-format off
const TweakRow CIESettingsDlg::kTweaks[12] = {
    {1003, "Disable Automatic Updates", "Disable Internet Explorer downloading and applying updates automatically",
     {DwordIs(MAIN, "NoUpdateCheck", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, MAIN, "NoUpdateCheck", 1)},
     {SetDword(HKCU, MAIN, "NoUpdateCheck", 0)}},
    {1005, "Disable Integrated Windows Authentication", "Disable Internet Explorer users getting identified, while browsing",
     {DwordIs(INET, "EnableNegotiate", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, INET, "EnableNegotiate", 0)},
     {SetDword(HKCU, INET, "EnableNegotiate", 1)}},
    {1006, "Increase Maximum Connections", "Increase the maximum possible connections to 32",
     {DwordIs(INET, "MaxConnectionsPerServer", NONE, HkcuFirst, 32), DwordIs(INET, "MaxConnectionsPer1_0Server", NONE, HkcuFirst, 32)},
     {SetDword(HKCU, INET, "MaxConnectionsPerServer", 32), SetDword(HKCU, INET, "MaxConnectionsPer1_0Server", 32)},
     {Delete(HKCU, INET, "MaxConnectionsPerServer"), Delete(HKCU, INET, "MaxConnectionsPer1_0Server")}},
    {1007, "Open Pop-ups in new Tabs", "Enables Internet Explorer to open pop-up in new tabs instead of new windows (Internet Explorer 7)",
     {DwordIs(TABS, "PopupsUseNewWindow", NONE, HkcuFirst, 2)},
     {SetDword(HKCU, TABS, "PopupsUseNewWindow", 2)},
     {SetDword(HKCU, TABS, "PopupsUseNewWindow", 1)}},
    {1008, "Delete Temporary Files on Exit", "Delete Temporary Internet Files when Internet Explorer exits",
     {DwordIs(CACHE, "Persistent", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, CACHE, "Persistent", 0)},
     {SetDword(HKCU, CACHE, "Persistent", 1)}},
    {1012, "Disable ActiveX", "Disable Internet Explorer executing ActiveX controls",
     {DwordIs(ZONE3, "1200", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1201", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1001", NONE, HkcuFirst, 3),
      DwordIs(ZONE3, "1405", NONE, HkcuFirst, 3), DwordIs(P3P, "1004", NONE, HkcuFirst, 3)},
     {SetDword(HKCU, ZONE3, "1200", 3), SetDword(HKCU, ZONE3, "1201", 3), SetDword(HKCU, ZONE3, "1001", 3),
      SetDword(HKCU, ZONE3, "1405", 3), SetDword(HKCU, P3P, "1004", 3)},
     {SetDword(HKCU, ZONE3, "1200", 0), SetDword(HKCU, ZONE3, "1201", 3), SetDword(HKCU, ZONE3, "1001", 1),
      SetDword(HKCU, ZONE3, "1405", 0), Delete(HKCU, P3P, "1004")}},
    {1013, "Disable JavaScript", "Disable Internet Explorer executing Java Script",
     {DwordIs(ZONE3, "1400", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1402", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1407", NONE, HkcuFirst, 3)},
     {SetDword(HKCU, ZONE3, "1400", 3), SetDword(HKCU, ZONE3, "1402", 3), SetDword(HKCU, ZONE3, "1407", 3)},
     {SetDword(HKCU, ZONE3, "1400", 0), SetDword(HKCU, ZONE3, "1402", 0), SetDword(HKCU, ZONE3, "1407", 1)}},
    {1016, "Disable Phishing Filter", "Disables the Phishing Filter which sends information to Microsoft (Internet Explorer 7)",
     {StringIs("Enabled", PHISH, "0")},
     {SetString(PHISH, "Enabled", "0")},
     {Delete(HKCU, PHISH, "Enabled")}},
    {1018, "Disable 404 Search", "Disable Internet Explorer searching unavailable webpages",
     {StringIs("Do404Search", MAIN, "01000000")},
     {SetString(MAIN, "Do404Search", "01000000")},
     {Delete(HKCU, MAIN, "Do404Search")}},
    {1019, "Disable Home Page", "Use blank page as default Home Page",
     {StringIs("Start Page", MAIN, "about:blank")},
     {SetString(MAIN, "Start Page", "about:blank")},
     {Delete(HKCU, MAIN, "Start Page")}},
    {1020, "Disable Prompt for Default Browser", "Disables Internet Explorer prompting for default browser settings",
     {StringIs("Check_Associations", MAIN, "no")},
     {SetString(MAIN, "Check_Associations", "no")},
     {Delete(HKCU, MAIN, "Check_Associations")}},
    {1021, "Disable Information Bar alert", "Disables the alert about the Information Bar on first start (Internet Explorer 7)",
     {DwordIs(INFOBAR, "FirstTime", 1, HkcuFirst, 0)},
     {SetDword(HKCU, INFOBAR, "FirstTime", 0)},
     {Delete(HKCU, INFOBAR, "FirstTime")}},
};
// clang-format on

CIESettingsDlg::CIESettingsDlg(CWnd* pParent) : CTweakPage(IDD_IEXPLORER, pParent, kTweaks) {}

void CIESettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkNoUpdates);
    DDX_Control(pDX, 1005, m_chkNoNegotiate);
    DDX_Control(pDX, 1006, m_chkMaxConnections);
    DDX_Control(pDX, 1007, m_chkPopupsInTabs);
    DDX_Control(pDX, 1008, m_chkClearCache);
    DDX_Control(pDX, 1012, m_chkNoActiveX);
    DDX_Control(pDX, 1013, m_chkNoJavaScript);
    DDX_Control(pDX, 1016, m_chkNoPhishingFilter);
    DDX_Control(pDX, 1018, m_chkNo404Search);
    DDX_Control(pDX, 1019, m_chkBlankHomePage);
    DDX_Control(pDX, 1020, m_chkNoDefaultPrompt);
    DDX_Control(pDX, 1021, m_chkNoInfoBarAlert);
}

BEGIN_MESSAGE_MAP(CIESettingsDlg, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1005)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1008)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1013)
ON_TWEAK_CLICKED(1016)
ON_TWEAK_CLICKED(1018)
ON_TWEAK_CLICKED(1019)
ON_TWEAK_CLICKED(1020)
ON_TWEAK_CLICKED(1021)
END_MESSAGE_MAP()
