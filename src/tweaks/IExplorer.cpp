#include "tweaks/Tweaks.h"

namespace {
constexpr Key MAIN{"Software\\Microsoft\\Internet Explorer\\Main"};
constexpr Key INET{"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"};
constexpr Key CACHE{"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache"};
constexpr Key ZONE3{"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3"};
constexpr Key P3P{"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P"};
constexpr Key TABS{"Software\\Microsoft\\Internet Explorer\\TabbedBrowsing"};
constexpr Key PHISH{"Software\\Microsoft\\Internet Explorer\\PhishingFilter"};
constexpr Key INFOBAR{"Software\\Microsoft\\Internet Explorer\\InformationBar"};
} // namespace

// clang-format off
const TweakRow kIExplorerTweaks[12] = {
    {1003, "iexplorer/disable-automatic-updates", "Disable Automatic Updates", "Disable Internet Explorer downloading and applying updates automatically",
     {DwordIs(MAIN, "NoUpdateCheck", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, MAIN, "NoUpdateCheck", 1)},
     {SetDword(HKCU, MAIN, "NoUpdateCheck", 0)}},
    {1005, "iexplorer/disable-integrated-authentication", "Disable Integrated Windows Authentication", "Disable Internet Explorer users getting identified, while browsing",
     {DwordIs(INET, "EnableNegotiate", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, INET, "EnableNegotiate", 0)},
     {SetDword(HKCU, INET, "EnableNegotiate", 1)}},
    {1006, "iexplorer/increase-max-connections", "Increase Maximum Connections", "Increase the maximum possible connections to 32",
     {DwordIs(INET, "MaxConnectionsPerServer", NONE, HkcuFirst, 32), DwordIs(INET, "MaxConnectionsPer1_0Server", NONE, HkcuFirst, 32)},
     {SetDword(HKCU, INET, "MaxConnectionsPerServer", 32), SetDword(HKCU, INET, "MaxConnectionsPer1_0Server", 32)},
     {Delete(HKCU, INET, "MaxConnectionsPerServer"), Delete(HKCU, INET, "MaxConnectionsPer1_0Server")}},
    {1007, "iexplorer/popups-in-new-tabs", "Open Pop-ups in new Tabs", "Enables Internet Explorer to open pop-up in new tabs instead of new windows (Internet Explorer 7)",
     {DwordIs(TABS, "PopupsUseNewWindow", NONE, HkcuFirst, 2)},
     {SetDword(HKCU, TABS, "PopupsUseNewWindow", 2)},
     {SetDword(HKCU, TABS, "PopupsUseNewWindow", 1)}},
    {1008, "iexplorer/delete-temporary-files-on-exit", "Delete Temporary Files on Exit", "Delete Temporary Internet Files when Internet Explorer exits",
     {DwordIs(CACHE, "Persistent", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, CACHE, "Persistent", 0)},
     {SetDword(HKCU, CACHE, "Persistent", 1)}},
    {1012, "iexplorer/disable-activex", "Disable ActiveX", "Disable Internet Explorer executing ActiveX controls",
     {DwordIs(ZONE3, "1200", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1201", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1001", NONE, HkcuFirst, 3),
      DwordIs(ZONE3, "1405", NONE, HkcuFirst, 3), DwordIs(P3P, "1004", NONE, HkcuFirst, 3)},
     {SetDword(HKCU, ZONE3, "1200", 3), SetDword(HKCU, ZONE3, "1201", 3), SetDword(HKCU, ZONE3, "1001", 3),
      SetDword(HKCU, ZONE3, "1405", 3), SetDword(HKCU, P3P, "1004", 3)},
     {SetDword(HKCU, ZONE3, "1200", 0), SetDword(HKCU, ZONE3, "1201", 3), SetDword(HKCU, ZONE3, "1001", 1),
      SetDword(HKCU, ZONE3, "1405", 0), Delete(HKCU, P3P, "1004")}},
    {1013, "iexplorer/disable-javascript", "Disable JavaScript", "Disable Internet Explorer executing Java Script",
     {DwordIs(ZONE3, "1400", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1402", NONE, HkcuFirst, 3), DwordIs(ZONE3, "1407", NONE, HkcuFirst, 3)},
     {SetDword(HKCU, ZONE3, "1400", 3), SetDword(HKCU, ZONE3, "1402", 3), SetDword(HKCU, ZONE3, "1407", 3)},
     {SetDword(HKCU, ZONE3, "1400", 0), SetDword(HKCU, ZONE3, "1402", 0), SetDword(HKCU, ZONE3, "1407", 1)}},
    {1016, "iexplorer/disable-phishing-filter", "Disable Phishing Filter", "Disables the Phishing Filter which sends information to Microsoft (Internet Explorer 7)",
     {StringIs(PHISH, "Enabled", "0")},
     {SetString(PHISH, "Enabled", "0")},
     {Delete(HKCU, PHISH, "Enabled")}},
    {1018, "iexplorer/disable-404-search", "Disable 404 Search", "Disable Internet Explorer searching unavailable webpages",
     {StringIs(MAIN, "Do404Search", "01000000")},
     {SetString(MAIN, "Do404Search", "01000000")},
     {Delete(HKCU, MAIN, "Do404Search")}},
    {1019, "iexplorer/blank-home-page", "Disable Home Page", "Use blank page as default Home Page",
     {StringIs(MAIN, "Start Page", "about:blank")},
     {SetString(MAIN, "Start Page", "about:blank")},
     {Delete(HKCU, MAIN, "Start Page")}},
    {1020, "iexplorer/disable-default-browser-prompt", "Disable Prompt for Default Browser", "Disables Internet Explorer prompting for default browser settings",
     {StringIs(MAIN, "Check_Associations", "no")},
     {SetString(MAIN, "Check_Associations", "no")},
     {Delete(HKCU, MAIN, "Check_Associations")}},
    {1021, "iexplorer/disable-information-bar-alert", "Disable Information Bar alert", "Disables the alert about the Information Bar on first start (Internet Explorer 7)",
     {DwordIs(INFOBAR, "FirstTime", 1, HkcuFirst, 0)},
     {SetDword(HKCU, INFOBAR, "FirstTime", 0)},
     {Delete(HKCU, INFOBAR, "FirstTime")}},
};
// clang-format on
