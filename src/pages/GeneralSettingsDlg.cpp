#include "pages/GeneralSettingsDlg.h"

#include "resource.h"

namespace {
constexpr char LSA[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
constexpr char WSH[] = "SOFTWARE\\Microsoft\\Windows Script Host\\Settings";
constexpr char EXPLORER[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr char ADVANCED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr char TCPIP[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr char MEMORY[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr char PREFETCH[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
                            "Management\\PrefetchParameters";
constexpr char DESKTOP[] = "Control Panel\\Desktop";
constexpr char POLICYSYSTEM[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* STORE = nullptr;
} // namespace

// clang-format off
const TweakRow GeneralSettingsDlg::kTweaks[11] = {
    {1003, "Compressed Folders", "Enable Explorer handling ZIP files",
     {StringIs("Compressed Folder", STORE, "1")},
     {RunWithSystemFile("regsvr32.exe", "/s ", "\\zipfldr.dll"), SetString(STORE, "Compressed Folder", "1")},
     {RunWithSystemFile("regsvr32.exe", "/u /s ", "\\zipfldr.dll"), SetString(STORE, "Compressed Folder", "0")}},
    {1006, "LMHash", "Enable Windows storing passwords in the vulnerable LAN Manager Hash",
     {DwordIs(LSA, "nolmhash", 1, HklmOnly, 0)},
     {SetDword(HKLM, LSA, "nolmhash", 0)},
     {SetDword(HKLM, LSA, "nolmhash", 1)}},
    {1007, "Windows Script Host", "Enable Windows Script Host to prevent script execution",
     {DwordIsNot(WSH, "Enabled", 1, HklmOnly, 0), DwordIsNot(WSH, "Remote", 1, HklmOnly, 0)},
     {Delete(HKLM, WSH, "Enabled"), Delete(HKLM, WSH, "Remote")},
     {SetDword(HKLM, WSH, "Enabled", 0), SetDword(HKLM, WSH, "Remote", 0)}},
    {1009, "File Association Web service", "Enable the web service to find the appropriate program for unknown file types",
     {DwordIsNot(EXPLORER, "InternetOpenWith", 1, HkcuFirst, 0)},
     {Delete(HKCU, EXPLORER, "InternetOpenWith")},
     {SetDword(HKCU, EXPLORER, "InternetOpenWith", 0)}},
    {1010, "Null Session Connections", "Restricts anonymous users from displaying lists of users and from viewing security permissions",
     {DwordIs(LSA, "restrictanonymous", 0, HklmOnly, 1)},
     {SetDword(HKLM, LSA, "restrictanonymous", 1)},
     {SetDword(HKLM, LSA, "restrictanonymous", 0)}},
    {1011, "Net Crawling", "Enable the automatic search for network folders and printers",
     {DwordIsNot(ADVANCED, "NoNetCrawling", 0xFFFFFFFF, HkcuFirst, 1)},
     {Delete(HKCU, ADVANCED, "NoNetCrawling")},
     {SetDword(HKCU, ADVANCED, "NoNetCrawling", 1)}},
    {1013, "Media Sensing for TCP/IP", "Enable Media Sensing for TCP/IP",
     {DwordIsNot(TCPIP, "DisableDHCPMediaSense", 0, HklmOnly, 1)},
     {Delete(HKLM, TCPIP, "DisableDHCPMediaSense")},
     {SetDword(HKLM, TCPIP, "DisableDHCPMediaSense", 1)}},
    {1015, "Prefetch", "Enable application launch prefetching",
     {DwordIs(PREFETCH, "EnablePrefetcher", 0, HkcuFirst, 3)},
     {SetDword(HKLM, PREFETCH, "EnablePrefetcher", 3)},
     {SetDword(HKLM, PREFETCH, "EnablePrefetcher", 2)}},
    {1016, "Fast shutdown", "Increase the shutdown speed of Windows",
     {StringIs("AutoEndTasks", DESKTOP, "1")},
     {SetString(DESKTOP, "AutoEndTasks", "1")},
     {SetString(DESKTOP, "AutoEndTasks", "0")}},
    {1017, "Pagefile at Shutdown", "Delete the Windows pagefile at shutdown",
     {DwordIs(MEMORY, "ClearPageFileAtShutdown", 0, HklmOnly, 1)},
     {SetDword(HKLM, MEMORY, "ClearPageFileAtShutdown", 1)},
     {SetDword(HKLM, MEMORY, "ClearPageFileAtShutdown", 0)}},
    {1020, "Showing last user", "Disable showing the last user on login",
     {DwordIs(POLICYSYSTEM, "DontDisplayLastUserName", 0, HklmOnly, 1)},
     {SetDword(HKLM, POLICYSYSTEM, "DontDisplayLastUserName", 1)},
     {SetDword(HKLM, POLICYSYSTEM, "DontDisplayLastUserName", 0)}},
};
// clang-format on

GeneralSettingsDlg::GeneralSettingsDlg(CWnd* pParent) : CTweakPage(IDD_GENERAL, pParent, kTweaks) {}

void GeneralSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkCompressedFolders);
    DDX_Control(pDX, 1006, m_chkLmHash);
    DDX_Control(pDX, 1007, m_chkScriptHost);
    DDX_Control(pDX, 1009, m_chkFileAssocWeb);
    DDX_Control(pDX, 1010, m_chkNullSession);
    DDX_Control(pDX, 1011, m_chkNetCrawling);
    DDX_Control(pDX, 1013, m_chkMediaSensing);
    DDX_Control(pDX, 1015, m_chkPrefetch);
    DDX_Control(pDX, 1016, m_chkFastShutdown);
    DDX_Control(pDX, 1017, m_chkPagefile);
    DDX_Control(pDX, 1020, m_chkLastUser);
}

BEGIN_MESSAGE_MAP(GeneralSettingsDlg, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1009)
ON_TWEAK_CLICKED(1010)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1013)
ON_TWEAK_CLICKED(1015)
ON_TWEAK_CLICKED(1016)
ON_TWEAK_CLICKED(1017)
ON_TWEAK_CLICKED(1020)
END_MESSAGE_MAP()
