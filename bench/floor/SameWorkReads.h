// The fifty checkboxes of the five pages as the floors know them, written
// out: each box's tooltip and the registry values whose reading decides
// whether it starts checked. A box is checked when every read, in order,
// matches; the first that does not ends its reads. The reads themselves are
// bare ADVAPI32 calls, below.
#pragma once

#include <windows.h>

#include <iterator>

struct StateRead {
    const char* key;
    const char* name;
    bool hklmOnly;  // else HKCU first, then HKLM
    bool differs;   // a DWORD that must differ from number, else equal it
    DWORD fallback; // the DWORD taken when the value cannot be read as one
    DWORD number;
    const char* text; // a REG_SZ that must equal this, instead of a DWORD
};

constexpr bool kMachine = true;
constexpr bool kUserFirst = false;
constexpr DWORD kNone = 0xFFFFFFFF;

constexpr StateRead Equals(const char* key, const char* name, bool hklmOnly, DWORD fallback,
                           DWORD number) {
    return {key, name, hklmOnly, false, fallback, number, nullptr};
}
constexpr StateRead Differs(const char* key, const char* name, bool hklmOnly, DWORD fallback,
                            DWORD number) {
    return {key, name, hklmOnly, true, fallback, number, nullptr};
}
constexpr StateRead Text(const char* key, const char* name, const char* text) {
    return {key, name, false, false, 0, 0, text};
}

struct Box {
    int id;
    const char* tip;
    StateRead reads[5];
    int count;
};

struct PageBoxes {
    const Box* boxes;
    int count;
};

// clang-format off
inline constexpr Box kGeneral[] = {
    {1003,
     "Enable Explorer handling ZIP files",
     {Text("Software\\Quelt", "Compressed Folder", "1")},
     1},
    {1006,
     "Enable Windows storing passwords in the vulnerable LAN Manager Hash",
     {Equals("SYSTEM\\CurrentControlSet\\Control\\Lsa", "nolmhash", kMachine, 1, 0u)},
     1},
    {1007,
     "Enable Windows Script Host to prevent script execution",
     {Differs("SOFTWARE\\Microsoft\\Windows Script Host\\Settings", "Enabled", kMachine, 1, 0u),
      Differs("SOFTWARE\\Microsoft\\Windows Script Host\\Settings", "Remote", kMachine, 1, 0u)},
     2},
    {1009,
     "Enable the web service to find the appropriate program for unknown file types",
     {Differs("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", "InternetOpenWith", kUserFirst, 1, 0u)},
     1},
    {1010,
     "Restricts anonymous users from displaying lists of users and from viewing security permissions",
     {Equals("SYSTEM\\CurrentControlSet\\Control\\Lsa", "restrictanonymous", kMachine, 0, 1u)},
     1},
    {1011,
     "Enable the automatic search for network folders and printers",
     {Differs("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "NoNetCrawling", kUserFirst, kNone, 1u)},
     1},
    {1013,
     "Enable Media Sensing for TCP/IP",
     {Differs("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "DisableDHCPMediaSense", kMachine, 0, 1u)},
     1},
    {1015,
     "Enable application launch prefetching",
     {Equals("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters", "EnablePrefetcher", kUserFirst, 0, 3u)},
     1},
    {1016,
     "Increase the shutdown speed of Windows",
     {Text("Control Panel\\Desktop", "AutoEndTasks", "1")},
     1},
    {1017,
     "Delete the Windows pagefile at shutdown",
     {Equals("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management", "ClearPageFileAtShutdown", kMachine, 0, 1u)},
     1},
    {1020,
     "Disable showing the last user on login",
     {Equals("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DontDisplayLastUserName", kMachine, 0, 1u)},
     1},
};

inline constexpr Box kServices[] = {
    {1003,
     "Windows sending error-reports to Microsoft",
     {Equals("System\\CurrentControlSet\\Services\\WerSvc", "Start", kMachine, 0, 2u)},
     1},
    {1004,
     "Windows downloading and applying updates automatically",
     {Equals("System\\CurrentControlSet\\Services\\wuauserv", "Start", kMachine, 0, 2u)},
     1},
    {1005,
     "Windows Security Center protecting your system",
     {Equals("System\\CurrentControlSet\\Services\\wscsvc", "Start", kMachine, 0, 2u)},
     1},
    {1007,
     "Windows synchronizing your computer's clock online",
     {Equals("System\\CurrentControlSet\\Services\\W32Time", "Start", kMachine, 0, 2u)},
     1},
    {1012,
     "Service for Universal Plug and Play (UPnP)",
     {Equals("System\\CurrentControlSet\\Services\\upnphost", "Start", kMachine, 0, 2u)},
     1},
    {1013,
     "Discovery of Universal Plug and Play (UPnP) devices on your network",
     {Equals("System\\CurrentControlSet\\Services\\SSDPSRV", "Start", kMachine, 0, 2u)},
     1},
    {1016,
     "Remote Procedure Call Locator",
     {Equals("System\\CurrentControlSet\\Services\\RpcLocator", "Start", kMachine, 0, 2u)},
     1},
    {1017,
     "Remote users accessing your Registry",
     {Equals("System\\CurrentControlSet\\Services\\RemoteRegistry", "Start", kMachine, 0, 2u)},
     1},
    {1021,
     "Windows Image Acquisition Service for importing images from scanners or cameras",
     {Equals("System\\CurrentControlSet\\Services\\stisvc", "Start", kMachine, 0, 2u)},
     1},
};

inline constexpr Box kIExplorer[] = {
    {1003,
     "Disable Internet Explorer downloading and applying updates automatically",
     {Equals("Software\\Microsoft\\Internet Explorer\\Main", "NoUpdateCheck", kUserFirst, kNone, 1u)},
     1},
    {1005,
     "Disable Internet Explorer users getting identified, while browsing",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "EnableNegotiate", kUserFirst, kNone, 0u)},
     1},
    {1006,
     "Increase the maximum possible connections to 32",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPerServer", kUserFirst, kNone, 32u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPer1_0Server", kUserFirst, kNone, 32u)},
     2},
    {1007,
     "Enables Internet Explorer to open pop-up in new tabs instead of new windows (Internet Explorer 7)",
     {Equals("Software\\Microsoft\\Internet Explorer\\TabbedBrowsing", "PopupsUseNewWindow", kUserFirst, kNone, 2u)},
     1},
    {1008,
     "Delete Temporary Internet Files when Internet Explorer exits",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache", "Persistent", kUserFirst, kNone, 0u)},
     1},
    {1012,
     "Disable Internet Explorer executing ActiveX controls",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1200", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1201", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1001", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1405", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P", "1004", kUserFirst, kNone, 3u)},
     5},
    {1013,
     "Disable Internet Explorer executing Java Script",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1400", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1402", kUserFirst, kNone, 3u),
      Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3", "1407", kUserFirst, kNone, 3u)},
     3},
    {1016,
     "Disables the Phishing Filter which sends information to Microsoft (Internet Explorer 7)",
     {Text("Software\\Microsoft\\Internet Explorer\\PhishingFilter", "Enabled", "0")},
     1},
    {1018,
     "Disable Internet Explorer searching unavailable webpages",
     {Text("Software\\Microsoft\\Internet Explorer\\Main", "Do404Search", "01000000")},
     1},
    {1019,
     "Use blank page as default Home Page",
     {Text("Software\\Microsoft\\Internet Explorer\\Main", "Start Page", "about:blank")},
     1},
    {1020,
     "Disables Internet Explorer prompting for default browser settings",
     {Text("Software\\Microsoft\\Internet Explorer\\Main", "Check_Associations", "no")},
     1},
    {1021,
     "Disables the alert about the Information Bar on first start (Internet Explorer 7)",
     {Equals("Software\\Microsoft\\Internet Explorer\\InformationBar", "FirstTime", kUserFirst, 1, 0u)},
     1},
};

inline constexpr Box kMediaPlayer[] = {
    {1003,
     "Disable Media Player to acquire content-licenses automatically",
     {Equals("Software\\Microsoft\\MediaPlayer\\Preferences", "SilentAcquisition", kUserFirst, kNone, 0u)},
     1},
    {1004,
     "Import Audio CDs as MP3 instead of WMA",
     {Equals("Software\\Microsoft\\MediaPlayer\\Preferences", "CDRecordMP3", kUserFirst, kNone, 1u),
      Equals("Software\\Microsoft\\MediaPlayer\\Preferences", "CDRecordMode", kUserFirst, kNone, 1u),
      Equals("Software\\Microsoft\\MediaPlayer\\Preferences", "MP3RecordRate", kUserFirst, kNone, 128000u)},
     3},
    {1006,
     "Don't add played media to the Media Library",
     {Equals("SOFTWARE\\Microsoft\\MediaPlayer\\Preferences", "AutoAddMusicToLibrary", kUserFirst, kNone, 0u)},
     1},
    {1007,
     "Disable online metadata retrieval (i.e. for Audio-CDs",
     {Equals("SOFTWARE\\Microsoft\\MediaPlayer\\Preferences", "MetadataRetrieval", kUserFirst, kNone, 0u)},
     1},
    {1008,
     "Disable usage-statistics being sent to Microsoft",
     {Equals("SOFTWARE\\Microsoft\\MediaPlayer\\Preferences", "UsageTracking", kUserFirst, kNone, 0u),
      Equals("SOFTWARE\\Microsoft\\MediaPlayer\\Preferences", "ForceUsageTracking", kUserFirst, kNone, 0u)},
     2},
    {1011,
     "Disables media getting added to the Most Recent Used filelist",
     {Equals("SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer", "disableMRU", kMachine, 0, 1u)},
     1},
    {1012,
     "Disable automatic codec downloads",
     {Equals("SOFTWARE\\Policies\\Microsoft\\Preferences", "UpgradeCodecPrompt", kUserFirst, kNone, 0u)},
     1},
    {1013,
     "Disable copy protection for imported WMA files",
     {Equals("Software\\Microsoft\\MediaPlayer\\Preferences", "CDRecordDRM", kUserFirst, kNone, 0u)},
     1},
};

inline constexpr Box kUsability[] = {
    {1004,
     "Disable the warnings on low diskspace",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoLowDiskSpaceChecks", kUserFirst, kNone, 1u)},
     1},
    {1006,
     "Add Notepad shortcut to the context-menu",
     {Equals("Software\\Quelt", "Edit Window", kUserFirst, kNone, 1u)},
     1},
    {1009,
     "Disables Windows to clean up the Desktop periodically",
     {Text("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz", "NoRun", "1")},
     1},
    {1010,
     "Disable task-grouping in the Taskbar",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "TaskbarGlomming", kUserFirst, kNone, 0u)},
     1},
    {1011,
     "Enable the classic Start Menu",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoSimpleStartMenu", kUserFirst, kNone, 1u)},
     1},
    {1014,
     "Show the full path in title and address bar",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState", "FullPath", kUserFirst, kNone, 1u)},
     1},
    {1015,
     "Disables the caching of images in the Explorer",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "DisableThumbnailCache", kUserFirst, kNone, 1u)},
     1},
    {1012,
     "Use classic Logon window instead of Welcome screen",
     {Equals("Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "LogonType", kMachine, 1, 0u)},
     1},
    {1018,
     "Show hidden files and folders",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden", kUserFirst, kNone, 1u)},
     1},
    {1019,
     "Show extensions of known filetypes",
     {Equals("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "HideFileExt", kUserFirst, kNone, 0u)},
     1},
};

// clang-format on

inline constexpr PageBoxes kPageBoxes[5] = {
    {kGeneral, static_cast<int>(std::size(kGeneral))},
    {kServices, static_cast<int>(std::size(kServices))},
    {kIExplorer, static_cast<int>(std::size(kIExplorer))},
    {kMediaPlayer, static_cast<int>(std::size(kMediaPlayer))},
    {kUsability, static_cast<int>(std::size(kUsability))},
};

// HKCU first unless the read is machine-wide only; a miss falls back to HKLM.
inline LSTATUS Query(const StateRead& r, DWORD* type, void* data, DWORD* size) {
    const DWORD sizeIn = *size;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (root == HKEY_CURRENT_USER && r.hklmOnly)
            continue;
        HKEY hKey;
        LSTATUS status = RegOpenKeyExA(root, r.key, 0, KEY_QUERY_VALUE, &hKey);
        if (status == ERROR_SUCCESS) {
            *size = sizeIn;
            status = RegQueryValueExA(hKey, r.name, nullptr, type, static_cast<BYTE*>(data), size);
            RegCloseKey(hKey);
            if (status == ERROR_SUCCESS)
                return status;
        }
        if (root == HKEY_LOCAL_MACHINE)
            return status;
    }
    return ERROR_FILE_NOT_FOUND;
}

inline bool Matches(const StateRead& r) {
    if (r.text) {
        char text[260];
        DWORD type = 0, size = sizeof(text);
        return Query(r, &type, text, &size) == ERROR_SUCCESS && type == REG_SZ && size > 0 &&
               text[size - 1] == '\0' && !lstrcmpA(text, r.text);
    }
    DWORD type = 0, value = 0, size = sizeof(value);
    if (Query(r, &type, &value, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof(value))
        value = r.fallback;
    return r.differs ? value != r.number : value == r.number;
}

// Whether a box starts checked: its reads in order, up to the first miss.
inline bool Checked(const Box& box) {
    bool on = true;
    for (int k = 0; on && k < box.count; ++k)
        on = Matches(box.reads[k]);
    return on;
}
