#include "tweaks/Tweaks.h"

namespace {
constexpr Key LSA{"SYSTEM\\CurrentControlSet\\Control\\Lsa"};
constexpr Key WSH{"SOFTWARE\\Microsoft\\Windows Script Host\\Settings"};
constexpr Key EXPLORER{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer"};
constexpr Key ADVANCED{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"};
constexpr Key TCPIP{"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"};
constexpr Key MEMORY{"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management"};
constexpr Key PREFETCH{"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
                            "Management\\PrefetchParameters"};
constexpr Key DESKTOP{"Control Panel\\Desktop"};
constexpr Key POLICYSYSTEM{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"};
} // namespace

// clang-format off
const TweakRow kGeneralTweaks[11] = {
    {1003, "general/compressed-folders", "Compressed Folders", "Enable Explorer handling ZIP files",
     {StringIs(STORE, "Compressed Folder", "1")},
     {RunWithSystemFile("regsvr32.exe", "/s ", "\\zipfldr.dll"), SetString(STORE, "Compressed Folder", "1")},
     {RunWithSystemFile("regsvr32.exe", "/u /s ", "\\zipfldr.dll"), SetString(STORE, "Compressed Folder", "0")}},
    {1006, "general/store-lm-hash", "LMHash", "Enable Windows storing passwords in the vulnerable LAN Manager Hash",
     {DwordIs(LSA, "nolmhash", 1, HklmOnly, 0)},
     {SetDword(HKLM, LSA, "nolmhash", 0)},
     {SetDword(HKLM, LSA, "nolmhash", 1)}},
    {1007, "general/windows-script-host", "Windows Script Host", "Enable Windows Script Host to prevent script execution",
     {DwordIsNot(WSH, "Enabled", 1, HklmOnly, 0), DwordIsNot(WSH, "Remote", 1, HklmOnly, 0)},
     {Delete(HKLM, WSH, "Enabled"), Delete(HKLM, WSH, "Remote")},
     {SetDword(HKLM, WSH, "Enabled", 0), SetDword(HKLM, WSH, "Remote", 0)}},
    {1009, "general/file-association-web-service", "File Association Web service", "Enable the web service to find the appropriate program for unknown file types",
     {DwordIsNot(EXPLORER, "InternetOpenWith", 1, HkcuFirst, 0)},
     {Delete(HKCU, EXPLORER, "InternetOpenWith")},
     {SetDword(HKCU, EXPLORER, "InternetOpenWith", 0)}},
    {1010, "general/restrict-null-sessions", "Null Session Connections", "Restricts anonymous users from displaying lists of users and from viewing security permissions",
     {DwordIs(LSA, "restrictanonymous", 0, HklmOnly, 1)},
     {SetDword(HKLM, LSA, "restrictanonymous", 1)},
     {SetDword(HKLM, LSA, "restrictanonymous", 0)}},
    {1011, "general/net-crawling", "Net Crawling", "Enable the automatic search for network folders and printers",
     {DwordIsNot(ADVANCED, "NoNetCrawling", 0xFFFFFFFF, HkcuFirst, 1)},
     {Delete(HKCU, ADVANCED, "NoNetCrawling")},
     {SetDword(HKCU, ADVANCED, "NoNetCrawling", 1)}},
    {1013, "general/media-sensing", "Media Sensing for TCP/IP", "Enable Media Sensing for TCP/IP",
     {DwordIsNot(TCPIP, "DisableDHCPMediaSense", 0, HklmOnly, 1)},
     {Delete(HKLM, TCPIP, "DisableDHCPMediaSense")},
     {SetDword(HKLM, TCPIP, "DisableDHCPMediaSense", 1)}},
    {1015, "general/prefetch", "Prefetch", "Enable application launch prefetching",
     {DwordIs(PREFETCH, "EnablePrefetcher", 0, HkcuFirst, 3)},
     {SetDword(HKLM, PREFETCH, "EnablePrefetcher", 3)},
     {SetDword(HKLM, PREFETCH, "EnablePrefetcher", 2)}},
    {1016, "general/fast-shutdown", "Fast shutdown", "Increase the shutdown speed of Windows",
     {StringIs(DESKTOP, "AutoEndTasks", "1")},
     {SetString(DESKTOP, "AutoEndTasks", "1")},
     {SetString(DESKTOP, "AutoEndTasks", "0")}},
    {1017, "general/clear-pagefile-at-shutdown", "Pagefile at Shutdown", "Delete the Windows pagefile at shutdown",
     {DwordIs(MEMORY, "ClearPageFileAtShutdown", 0, HklmOnly, 1)},
     {SetDword(HKLM, MEMORY, "ClearPageFileAtShutdown", 1)},
     {SetDword(HKLM, MEMORY, "ClearPageFileAtShutdown", 0)}},
    {1020, "general/hide-last-user", "Showing last user", "Disable showing the last user on login",
     {DwordIs(POLICYSYSTEM, "DontDisplayLastUserName", 0, HklmOnly, 1)},
     {SetDword(HKLM, POLICYSYSTEM, "DontDisplayLastUserName", 1)},
     {SetDword(HKLM, POLICYSYSTEM, "DontDisplayLastUserName", 0)}},
};
// clang-format on
