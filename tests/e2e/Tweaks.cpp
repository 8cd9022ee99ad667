#include "e2e/Tweaks.h"

#include <stdexcept>

namespace e2e {
namespace {

constexpr DWORD NONE = 0xFFFFFFFF; // a default that no condition accepts

const std::string STORE = "Software\\Quelt";
// General
const std::string LSA = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
const std::string WSH = "SOFTWARE\\Microsoft\\Windows Script Host\\Settings";
const std::string EXPLORER = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const std::string ADVANCED = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string TCPIP = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const std::string MEMORY = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const std::string PREFETCH = MEMORY + "\\PrefetchParameters";
const std::string DESKTOP = "Control Panel\\Desktop";
const std::string POLICYSYSTEM = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
// Internet Explorer
const std::string MAIN = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string INET = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string CACHE = INET + "\\Cache";
const std::string ZONE3 = INET + "\\Zones\\3";
const std::string P3P = INET + "\\P3P";
const std::string TABS = "Software\\Microsoft\\Internet Explorer\\TabbedBrowsing";
const std::string PHISH = "Software\\Microsoft\\Internet Explorer\\PhishingFilter";
const std::string INFOBAR = "Software\\Microsoft\\Internet Explorer\\InformationBar";
// Media Player
const std::string PREFS = "Software\\Microsoft\\MediaPlayer\\Preferences";
const std::string PREFS_CAPS = "SOFTWARE\\Microsoft\\MediaPlayer\\Preferences";
const std::string WMPPOLICY = "SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer";
const std::string POLICYPREFS = "SOFTWARE\\Policies\\Microsoft\\Preferences";
// Usability
const std::string POLEXPLORER = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string CLEANUPWIZ =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz";
const std::string WINLOGON = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string CABINET = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";

// The command lines as Wine's shell starts the programs from the system
// folder.
const std::string NET = "\"C:\\windows\\system32\\net.exe\" ";
const std::string REGSVR32 = "\"C:\\windows\\system32\\regsvr32.exe\" ";
const std::string ZIPFLDR = "C:\\windows\\system32\\zipfldr.dll";

std::string CU(const std::string& key, const std::string& name) {
    return ValuePath("HKCU", key, name);
}
std::string LM(const std::string& key, const std::string& name) {
    return ValuePath("HKLM", key, name);
}

Condition Is(const std::string& path, DWORD fallback, DWORD n) {
    return {Condition::DwordIs, path, fallback, n, {}};
}
Condition IsNot(const std::string& path, DWORD fallback, DWORD n) {
    return {Condition::DwordIsNot, path, fallback, n, {}};
}
Condition Text(const std::string& path, const std::string& text) {
    return {Condition::TextIs, path, 0, 0, text};
}

const std::optional<RegValue> GONE;

// A service is checked when it starts automatically (2); a check makes it so
// and starts it, an uncheck makes it start on demand (3) and stops it.
Box Service(int id, const std::string& label, const std::string& service) {
    const std::string start = LM("System\\CurrentControlSet\\Services\\" + service, "Start");
    return {1,
            id,
            label,
            {Is(start, 0, 2)},
            {{start, Dword(2)}},
            {{start, Dword(3)}},
            {NET + "START \"" + service + "\""},
            {NET + "STOP \"" + service + "\""}};
}

// clang-format off
std::vector<Box> MakeBoxes() {
    return {
        // General
        {0, 1003, "Compressed Folders",
         {Text(CU(STORE, "Compressed Folder"), "1")},
         {{CU(STORE, "Compressed Folder"), Sz("1")}},
         {{CU(STORE, "Compressed Folder"), Sz("0")}},
         {REGSVR32 + "/s " + ZIPFLDR},
         {REGSVR32 + "/u /s " + ZIPFLDR}},
        {0, 1006, "LMHash",
         {Is(LM(LSA, "nolmhash"), 1, 0)},
         {{LM(LSA, "nolmhash"), Dword(0)}},
         {{LM(LSA, "nolmhash"), Dword(1)}}},
        {0, 1007, "Windows Script Host",
         {IsNot(LM(WSH, "Enabled"), 1, 0), IsNot(LM(WSH, "Remote"), 1, 0)},
         {{LM(WSH, "Enabled"), GONE}, {LM(WSH, "Remote"), GONE}},
         {{LM(WSH, "Enabled"), Dword(0)}, {LM(WSH, "Remote"), Dword(0)}}},
        {0, 1009, "File Association Web service",
         {IsNot(CU(EXPLORER, "InternetOpenWith"), 1, 0)},
         {{CU(EXPLORER, "InternetOpenWith"), GONE}},
         {{CU(EXPLORER, "InternetOpenWith"), Dword(0)}}},
        {0, 1010, "Null Session Connections",
         {Is(LM(LSA, "restrictanonymous"), 0, 1)},
         {{LM(LSA, "restrictanonymous"), Dword(1)}},
         {{LM(LSA, "restrictanonymous"), Dword(0)}}},
        {0, 1011, "Net Crawling",
         {IsNot(CU(ADVANCED, "NoNetCrawling"), NONE, 1)},
         {{CU(ADVANCED, "NoNetCrawling"), GONE}},
         {{CU(ADVANCED, "NoNetCrawling"), Dword(1)}}},
        {0, 1013, "Media Sensing for TCP/IP",
         {IsNot(LM(TCPIP, "DisableDHCPMediaSense"), 0, 1)},
         {{LM(TCPIP, "DisableDHCPMediaSense"), GONE}},
         {{LM(TCPIP, "DisableDHCPMediaSense"), Dword(1)}}},
        // Read per user first, written machine-wide.
        {0, 1015, "Prefetch",
         {Is(CU(PREFETCH, "EnablePrefetcher"), 0, 3)},
         {{LM(PREFETCH, "EnablePrefetcher"), Dword(3)}},
         {{LM(PREFETCH, "EnablePrefetcher"), Dword(2)}}},
        {0, 1016, "Fast shutdown",
         {Text(CU(DESKTOP, "AutoEndTasks"), "1")},
         {{CU(DESKTOP, "AutoEndTasks"), Sz("1")}},
         {{CU(DESKTOP, "AutoEndTasks"), Sz("0")}}},
        {0, 1017, "Pagefile at Shutdown",
         {Is(LM(MEMORY, "ClearPageFileAtShutdown"), 0, 1)},
         {{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(1)}},
         {{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(0)}}},
        {0, 1020, "Showing last user",
         {Is(LM(POLICYSYSTEM, "DontDisplayLastUserName"), 0, 1)},
         {{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(1)}},
         {{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(0)}}},
        // Services
        Service(1003, "Error-Reporting", "WerSvc"),
        Service(1004, "Automatic Windows Updates", "wuauserv"),
        Service(1005, "Windows Security Center", "wscsvc"),
        Service(1007, "Time Synchronization", "W32Time"),
        Service(1012, "Universal Plug and Play", "upnphost"),
        Service(1013, "UPnP Discovery Service", "SSDPSRV"),
        Service(1016, "RPC Locator", "RpcLocator"),
        Service(1017, "Remote Registry Service", "RemoteRegistry"),
        Service(1021, "Windows Image Acquisition Service", "stisvc"),
        // Internet Explorer
        {2, 1003, "Disable Automatic Updates",
         {Is(CU(MAIN, "NoUpdateCheck"), NONE, 1)},
         {{CU(MAIN, "NoUpdateCheck"), Dword(1)}},
         {{CU(MAIN, "NoUpdateCheck"), Dword(0)}}},
        {2, 1005, "Disable Integrated Windows Authentication",
         {Is(CU(INET, "EnableNegotiate"), NONE, 0)},
         {{CU(INET, "EnableNegotiate"), Dword(0)}},
         {{CU(INET, "EnableNegotiate"), Dword(1)}}},
        {2, 1006, "Increase Maximum Connections",
         {Is(CU(INET, "MaxConnectionsPerServer"), NONE, 32), Is(CU(INET, "MaxConnectionsPer1_0Server"), NONE, 32)},
         {{CU(INET, "MaxConnectionsPerServer"), Dword(32)}, {CU(INET, "MaxConnectionsPer1_0Server"), Dword(32)}},
         {{CU(INET, "MaxConnectionsPerServer"), GONE}, {CU(INET, "MaxConnectionsPer1_0Server"), GONE}}},
        {2, 1007, "Open Pop-ups in new Tabs",
         {Is(CU(TABS, "PopupsUseNewWindow"), NONE, 2)},
         {{CU(TABS, "PopupsUseNewWindow"), Dword(2)}},
         {{CU(TABS, "PopupsUseNewWindow"), Dword(1)}}},
        {2, 1008, "Delete Temporary Files on Exit",
         {Is(CU(CACHE, "Persistent"), NONE, 0)},
         {{CU(CACHE, "Persistent"), Dword(0)}},
         {{CU(CACHE, "Persistent"), Dword(1)}}},
        // "1201" stays 3 both ways; "1004" lives under P3P.
        {2, 1012, "Disable ActiveX",
         {Is(CU(ZONE3, "1200"), NONE, 3), Is(CU(ZONE3, "1201"), NONE, 3), Is(CU(ZONE3, "1001"), NONE, 3),
          Is(CU(ZONE3, "1405"), NONE, 3), Is(CU(P3P, "1004"), NONE, 3)},
         {{CU(ZONE3, "1200"), Dword(3)}, {CU(ZONE3, "1201"), Dword(3)}, {CU(ZONE3, "1001"), Dword(3)},
          {CU(ZONE3, "1405"), Dword(3)}, {CU(P3P, "1004"), Dword(3)}},
         {{CU(ZONE3, "1200"), Dword(0)}, {CU(ZONE3, "1201"), Dword(3)}, {CU(ZONE3, "1001"), Dword(1)},
          {CU(ZONE3, "1405"), Dword(0)}, {CU(P3P, "1004"), GONE}}},
        {2, 1013, "Disable JavaScript",
         {Is(CU(ZONE3, "1400"), NONE, 3), Is(CU(ZONE3, "1402"), NONE, 3), Is(CU(ZONE3, "1407"), NONE, 3)},
         {{CU(ZONE3, "1400"), Dword(3)}, {CU(ZONE3, "1402"), Dword(3)}, {CU(ZONE3, "1407"), Dword(3)}},
         {{CU(ZONE3, "1400"), Dword(0)}, {CU(ZONE3, "1402"), Dword(0)}, {CU(ZONE3, "1407"), Dword(1)}}},
        {2, 1016, "Disable Phishing Filter",
         {Text(CU(PHISH, "Enabled"), "0")},
         {{CU(PHISH, "Enabled"), Sz("0")}},
         {{CU(PHISH, "Enabled"), GONE}}},
        {2, 1018, "Disable 404 Search",
         {Text(CU(MAIN, "Do404Search"), "01000000")},
         {{CU(MAIN, "Do404Search"), Sz("01000000")}},
         {{CU(MAIN, "Do404Search"), GONE}}},
        {2, 1019, "Disable Home Page",
         {Text(CU(MAIN, "Start Page"), "about:blank")},
         {{CU(MAIN, "Start Page"), Sz("about:blank")}},
         {{CU(MAIN, "Start Page"), GONE}}},
        {2, 1020, "Disable Prompt for Default Browser",
         {Text(CU(MAIN, "Check_Associations"), "no")},
         {{CU(MAIN, "Check_Associations"), Sz("no")}},
         {{CU(MAIN, "Check_Associations"), GONE}}},
        {2, 1021, "Disable Information Bar alert",
         {Is(CU(INFOBAR, "FirstTime"), 1, 0)},
         {{CU(INFOBAR, "FirstTime"), Dword(0)}},
         {{CU(INFOBAR, "FirstTime"), GONE}}},
        // Media Player
        {3, 1003, "Disable Automatic License Acquisition",
         {Is(CU(PREFS, "SilentAcquisition"), NONE, 0)},
         {{CU(PREFS, "SilentAcquisition"), Dword(0)}},
         {{CU(PREFS, "SilentAcquisition"), GONE}}},
        {3, 1004, "Import music as MP3",
         {Is(CU(PREFS, "CDRecordMP3"), NONE, 1), Is(CU(PREFS, "CDRecordMode"), NONE, 1), Is(CU(PREFS, "MP3RecordRate"), NONE, 128000)},
         {{CU(PREFS, "CDRecordMP3"), Dword(1)}, {CU(PREFS, "CDRecordMode"), Dword(1)}, {CU(PREFS, "MP3RecordRate"), Dword(128000)}},
         {{CU(PREFS, "CDRecordMP3"), GONE}, {CU(PREFS, "CDRecordMode"), GONE}, {CU(PREFS, "MP3RecordRate"), GONE}}},
        {3, 1006, "Don't add Media to Library",
         {Is(CU(PREFS_CAPS, "AutoAddMusicToLibrary"), NONE, 0)},
         {{CU(PREFS_CAPS, "AutoAddMusicToLibrary"), Dword(0)}},
         {{CU(PREFS_CAPS, "AutoAddMusicToLibrary"), GONE}}},
        {3, 1007, "Disable Metadata Retrieval",
         {Is(CU(PREFS_CAPS, "MetadataRetrieval"), NONE, 0)},
         {{CU(PREFS_CAPS, "MetadataRetrieval"), Dword(0)}},
         {{CU(PREFS_CAPS, "MetadataRetrieval"), GONE}}},
        {3, 1008, "Disable Usage Tracking",
         {Is(CU(PREFS_CAPS, "UsageTracking"), NONE, 0), Is(CU(PREFS_CAPS, "ForceUsageTracking"), NONE, 0)},
         {{CU(PREFS_CAPS, "UsageTracking"), Dword(0)}, {CU(PREFS_CAPS, "ForceUsageTracking"), Dword(0)}},
         {{CU(PREFS_CAPS, "UsageTracking"), GONE}, {CU(PREFS_CAPS, "ForceUsageTracking"), GONE}}},
        {3, 1011, "Don't save data in Most Recent Used",
         {Is(LM(WMPPOLICY, "disableMRU"), 0, 1)},
         {{LM(WMPPOLICY, "disableMRU"), Dword(1)}},
         {{LM(WMPPOLICY, "disableMRU"), GONE}}},
        {3, 1012, "Disable Automatic Codec Downloads",
         {Is(CU(POLICYPREFS, "UpgradeCodecPrompt"), NONE, 0)},
         {{CU(POLICYPREFS, "UpgradeCodecPrompt"), Dword(0)}},
         {{CU(POLICYPREFS, "UpgradeCodecPrompt"), GONE}}},
        {3, 1013, "Disable DRM for imported music",
         {Is(CU(PREFS, "CDRecordDRM"), NONE, 0)},
         {{CU(PREFS, "CDRecordDRM"), Dword(0)}},
         {{CU(PREFS, "CDRecordDRM"), GONE}}},
        // Usability
        {4, 1004, "Disable Diskspace Warning",
         {Is(CU(POLEXPLORER, "NoLowDiskSpaceChecks"), NONE, 1)},
         {{CU(POLEXPLORER, "NoLowDiskSpaceChecks"), Dword(1)}},
         {{CU(POLEXPLORER, "NoLowDiskSpaceChecks"), GONE}}},
        // The verb's keys are never read back: the store keeps the choice.
        {4, 1006, "Integrate Notepad into shell",
         {Is(CU(STORE, "Edit Window"), NONE, 1)},
         {{"HKCR\\*\\shell\\edit\\:", Sz("Edit")}, {"HKCR\\*\\shell\\edit\\command\\:", Sz("notepad.exe \"%1\"")},
          {CU(STORE, "Edit Window"), Dword(1)}},
         {{"HKCR\\*\\shell\\edit\\", GONE}, {CU(STORE, "Edit Window"), Dword(0)}}},
        {4, 1009, "Disable Desktop Cleanup Wizard",
         {Text(CU(CLEANUPWIZ, "NoRun"), "1")},
         {{CU(CLEANUPWIZ, "NoRun"), Sz("1")}},
         {{CU(CLEANUPWIZ, "NoRun"), GONE}}},
        {4, 1010, "Disable Task Grouping",
         {Is(CU(ADVANCED, "TaskbarGlomming"), NONE, 0)},
         {{CU(ADVANCED, "TaskbarGlomming"), Dword(0)}},
         {{CU(ADVANCED, "TaskbarGlomming"), GONE}}},
        {4, 1011, "Use Classic Start Menu",
         {Is(CU(POLEXPLORER, "NoSimpleStartMenu"), NONE, 1)},
         {{CU(POLEXPLORER, "NoSimpleStartMenu"), Dword(1)}},
         {{CU(POLEXPLORER, "NoSimpleStartMenu"), GONE}}},
        // FullPathAddress is 1 both ways.
        {4, 1014, "Display full path in title bar",
         {Is(CU(CABINET, "FullPath"), NONE, 1)},
         {{CU(CABINET, "FullPath"), Dword(1)}, {CU(CABINET, "FullPathAddress"), Dword(1)}},
         {{CU(CABINET, "FullPath"), Dword(0)}, {CU(CABINET, "FullPathAddress"), Dword(1)}}},
        {4, 1015, "Disable Thumbnail Caching",
         {Is(CU(ADVANCED, "DisableThumbnailCache"), NONE, 1)},
         {{CU(ADVANCED, "DisableThumbnailCache"), Dword(1)}},
         {{CU(ADVANCED, "DisableThumbnailCache"), Dword(0)}}},
        {4, 1012, "Use Classic Logon Window",
         {Is(LM(WINLOGON, "LogonType"), 1, 0)},
         {{LM(WINLOGON, "LogonType"), Dword(0)}},
         {{LM(WINLOGON, "LogonType"), Dword(1)}}},
        {4, 1018, "Show hidden files and folders",
         {Is(CU(ADVANCED, "Hidden"), NONE, 1)},
         {{CU(ADVANCED, "Hidden"), Dword(1)}},
         {{CU(ADVANCED, "Hidden"), Dword(2)}}},
        {4, 1019, "Show all file extensions",
         {Is(CU(ADVANCED, "HideFileExt"), NONE, 0)},
         {{CU(ADVANCED, "HideFileExt"), Dword(0)}},
         {{CU(ADVANCED, "HideFileExt"), Dword(1)}}},
    };
}
// clang-format on

// "ROOT\key\:name" split into its root, key and value name.
struct Parts {
    HKEY root;
    std::string key, name;
};

Parts Split(const std::string& path) {
    const size_t keyEnd = KeyEnd(path);
    return {RootOf(path), path.substr(5, keyEnd - 6),
            keyEnd < path.size() ? path.substr(keyEnd + 1) : std::string()};
}

std::optional<RegValue> Read(const std::string& path) {
    const Parts p = Split(path);
    if (p.root == HKEY_CURRENT_USER)
        if (auto v = GetValue(HKEY_CURRENT_USER, p.key.c_str(), p.name.c_str()))
            return v;
    return GetValue(HKEY_LOCAL_MACHINE, p.key.c_str(), p.name.c_str());
}

bool Holds(const Condition& c) {
    const std::optional<RegValue> v = Read(c.path);
    if (c.kind == Condition::TextIs) {
        const bool text = v && v->type == REG_SZ && !v->data.empty();
        // The last byte is taken as the terminating NUL.
        return (text ? v->data.substr(0, v->data.size() - 1) : std::string()) == c.text;
    }
    DWORD n = c.fallback;
    if (v && v->type == REG_DWORD && v->data.size() == 4)
        memcpy(&n, v->data.data(), 4);
    return c.kind == Condition::DwordIs ? n == c.number : n != c.number;
}

void DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY hKey;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, name.c_str());
        RegCloseKey(hKey);
    }
}

} // namespace

const std::vector<Box>& Boxes() {
    static const std::vector<Box> boxes = MakeBoxes();
    return boxes;
}

const Box& BoxAt(int page, int id) {
    for (const Box& box : Boxes())
        if (box.page == page && box.id == id)
            return box;
    throw std::out_of_range("no box " + std::to_string(id) + " on page " + std::to_string(page));
}

bool Holds(const Box& box) {
    for (const Condition& c : box.checkedWhen)
        if (!Holds(c))
            return false;
    return true;
}

std::set<BoxKey> CheckedNow() {
    std::set<BoxKey> checked;
    for (const Box& box : Boxes())
        if (Holds(box))
            checked.insert({box.page, box.id});
    return checked;
}

void PrepareRegistry(const Snapshot& values) {
    std::set<std::string> named;
    for (const Box& box : Boxes()) {
        for (const Condition& c : box.checkedWhen)
            named.insert(c.path);
        for (const Changes* cell : {&box.onCheck, &box.onUncheck})
            for (const auto& change : *cell)
                named.insert(change.first);
    }
    for (const std::string& path : named) {
        const Parts p = Split(path);
        if (p.root == HKEY_CLASSES_ROOT) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, "*\\shell\\edit");
            continue;
        }
        DeleteValue(HKEY_CURRENT_USER, p.key, p.name);
        DeleteValue(HKEY_LOCAL_MACHINE, p.key, p.name);
    }
    for (const auto& [path, value] : values)
        Put(path, value);
}

const Snapshot& PreparedValues() {
    static const Snapshot values = {
        // General: two checked through values, the Script Host, the web
        // service, net crawling and media sensing through missing ones.
        {CU(DESKTOP, "AutoEndTasks"), Sz("1")},
        {LM(LSA, "nolmhash"), Dword(0)},
        // Read per user first: this one outlives every uncheck, which writes
        // the machine-wide value.
        {CU(PREFETCH, "EnablePrefetcher"), Dword(3)},
        // Services: one automatic, the others on demand.
        {LM("System\\CurrentControlSet\\Services\\W32Time", "Start"), Dword(2)},
        {LM("System\\CurrentControlSet\\Services\\WerSvc", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\wuauserv", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\wscsvc", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\upnphost", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\SSDPSRV", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\RpcLocator", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\RemoteRegistry", "Start"), Dword(3)},
        {LM("System\\CurrentControlSet\\Services\\stisvc", "Start"), Dword(3)},
        // Internet Explorer: a machine-wide value that an uncheck hides behind
        // a per-user one, and three of a kind.
        {LM(MAIN, "NoUpdateCheck"), Dword(1)},
        {CU(MAIN, "Start Page"), Sz("about:blank")},
        {CU(ZONE3, "1400"), Dword(3)},
        {CU(ZONE3, "1402"), Dword(3)},
        {CU(ZONE3, "1407"), Dword(3)},
        // Media Player: a machine-wide value that no per-user delete removes.
        {LM(PREFS, "SilentAcquisition"), Dword(0)},
        {LM(WMPPOLICY, "disableMRU"), Dword(1)},
        // Usability: the store, a per-user and a machine-wide value.
        {CU(STORE, "Edit Window"), Dword(1)},
        {CU(ADVANCED, "HideFileExt"), Dword(0)},
        {LM(WINLOGON, "LogonType"), Dword(0)},
    };
    return values;
}

} // namespace e2e
