#include "expect/Boxes.h"

#include "expect/Keys.h"

#include <stdexcept>

namespace expect {
namespace {

using namespace keys;

const std::string EDIT = "HKCR\\*\\shell\\edit\\";

const std::optional<RegValue> GONE;
const std::string ZIPFLDR = "C:\\windows\\system32\\zipfldr.dll";

std::string CU(const std::string& key, const std::string& name) {
    return "HKCU\\" + key + "\\:" + name;
}
std::string LM(const std::string& key, const std::string& name) {
    return "HKLM\\" + key + "\\:" + name;
}

// A service is checked when it starts automatically (2); a check makes it so
// and starts it, an uncheck makes it start on demand (3) and stops it.
Box Service(int id, const std::string& label, const std::string& tip, const std::string& name) {
    const std::string key = "System\\CurrentControlSet\\Services\\" + name;
    const std::string start = LM(key, "Start");
    return {.page = Services,
            .id = id,
            .label = label,
            .tip = tip,
            .checkedBy = {{start, Dword(2)}},
            // Whatever else the key holds.
            .reads = {{{{start, Dword(2)}, {LM(key, "Type"), Dword(0x20)}}, true}},
            .onCheck = {{start, Dword(2)}},
            .onUncheck = {{start, Dword(3)}},
            .startsOnCheck = {{"net.exe", "START \"" + name + "\"", SW_HIDE}},
            .startsOnUncheck = {{"net.exe", "STOP \"" + name + "\"", SW_HIDE}}};
}

// A per-user box that reads back exactly the values its check writes.
Box ReadsBack(Box box) {
    for (const auto& [path, value] : box.onCheck)
        box.checkedBy[path] = *value;
    return box;
}

// A per-user preference: its values set on check, deleted on uncheck and
// read back at start.
Box Preference(int id, const std::string& label, const std::string& tip, const Snapshot& values,
               std::vector<Reading> reads = {}) {
    Box box{.page = MediaPlayer, .id = id, .label = label, .tip = tip, .checkedBy = values};
    box.reads = std::move(reads);
    for (const auto& [path, value] : values) {
        box.onCheck[path] = value;
        box.onUncheck[path] = GONE;
    }
    return box;
}

// clang-format off
std::vector<Box> MakeBoxes() {
    return {
        {.page = General, .id = 1003, .label = "Compressed Folders",
         .tip = "Enable Explorer handling ZIP files",
         .checkedBy = {{CU(STORE, "Compressed Folder"), Sz("1")}},
         .reads = {{{{CU(STORE, "Compressed Folder"), Sz("0")}}, false}},
         .onCheck = {{CU(STORE, "Compressed Folder"), Sz("1")}},
         .onUncheck = {{CU(STORE, "Compressed Folder"), Sz("0")}},
         .startsOnCheck = {{"regsvr32.exe", "/s " + ZIPFLDR, SW_SHOW}},
         .startsOnUncheck = {{"regsvr32.exe", "/u /s " + ZIPFLDR, SW_SHOW}}},
        {.page = General, .id = 1006, .label = "LMHash",
         .tip = "Enable Windows storing passwords in the vulnerable LAN Manager Hash",
         .checkedBy = {{LM(LSA, "nolmhash"), Dword(0)}},
         .reads = {{{{LM(LSA, "nolmhash"), Dword(1)}}, false}},
         .onCheck = {{LM(LSA, "nolmhash"), Dword(0)}},
         .onUncheck = {{LM(LSA, "nolmhash"), Dword(1)}}},
        // Checked unless one of the two values is 0.
        {.page = General, .id = 1007, .label = "Windows Script Host",
         .tip = "Enable Windows Script Host to prevent script execution",
         .checkedWhenEmpty = true,
         .reads = {{{{LM(WSH, "Enabled"), Dword(2)}}, true},
                   {{{LM(WSH, "Enabled"), Dword(2)}, {LM(WSH, "Remote"), Dword(0)}}, false},
                   {{{LM(WSH, "Enabled"), Dword(0)}, {LM(WSH, "Remote"), Dword(1)}}, false}},
         .onCheck = {{LM(WSH, "Enabled"), GONE}, {LM(WSH, "Remote"), GONE}},
         .onUncheck = {{LM(WSH, "Enabled"), Dword(0)}, {LM(WSH, "Remote"), Dword(0)}}},
        // Read per user first, then machine-wide.
        {.page = General, .id = 1009, .label = "File Association Web service",
         .tip = "Enable the web service to find the appropriate program for unknown file types",
         .checkedWhenEmpty = true,
         .reads = {{{{CU(EXPLORER, "InternetOpenWith"), Dword(0)}}, false},
                   {{{LM(EXPLORER, "InternetOpenWith"), Dword(0)}}, false},
                   {{{CU(EXPLORER, "InternetOpenWith"), Dword(1)}}, true}},
         .onCheck = {{CU(EXPLORER, "InternetOpenWith"), GONE}},
         .onUncheck = {{CU(EXPLORER, "InternetOpenWith"), Dword(0)}}},
        {.page = General, .id = 1010, .label = "Null Session Connections",
         .tip = "Restricts anonymous users from displaying lists of users and from viewing security permissions",
         .checkedBy = {{LM(LSA, "restrictanonymous"), Dword(1)}},
         .reads = {{{{CU(LSA, "restrictanonymous"), Dword(1)}}, false},
                   {{{LM(LSA, "restrictanonymous"), Dword(2)}}, false}},
         .onCheck = {{LM(LSA, "restrictanonymous"), Dword(1)}},
         .onUncheck = {{LM(LSA, "restrictanonymous"), Dword(0)}}},
        // Only 1 unchecks it.
        {.page = General, .id = 1011, .label = "Net Crawling",
         .tip = "Enable the automatic search for network folders and printers",
         .checkedWhenEmpty = true,
         .reads = {{{{CU(ADVANCED, "NoNetCrawling"), Dword(0)}}, true},
                   {{{CU(ADVANCED, "NoNetCrawling"), Dword(1)}}, false}},
         .onCheck = {{CU(ADVANCED, "NoNetCrawling"), GONE}},
         .onUncheck = {{CU(ADVANCED, "NoNetCrawling"), Dword(1)}}},
        {.page = General, .id = 1013, .label = "Media Sensing for TCP/IP",
         .tip = "Enable Media Sensing for TCP/IP",
         .checkedWhenEmpty = true,
         .reads = {{{{LM(TCPIP, "DisableDHCPMediaSense"), Dword(0)}}, true},
                   {{{LM(TCPIP, "DisableDHCPMediaSense"), Dword(1)}}, false},
                   {{{CU(TCPIP, "DisableDHCPMediaSense"), Dword(1)}}, true}},
         .onCheck = {{LM(TCPIP, "DisableDHCPMediaSense"), GONE}},
         .onUncheck = {{LM(TCPIP, "DisableDHCPMediaSense"), Dword(1)}}},
        // Read per user first, written machine-wide; only 3 checks it.
        {.page = General, .id = 1015, .label = "Prefetch",
         .tip = "Enable application launch prefetching",
         .checkedBy = {{CU(PREFETCH, "EnablePrefetcher"), Dword(3)}},
         .reads = {{{{LM(PREFETCH, "EnablePrefetcher"), Dword(1)}}, false},
                   {{{LM(PREFETCH, "EnablePrefetcher"), Dword(3)}, {CU(PREFETCH, "EnablePrefetcher"), Dword(2)}}, false}},
         .onCheck = {{LM(PREFETCH, "EnablePrefetcher"), Dword(3)}},
         .onUncheck = {{LM(PREFETCH, "EnablePrefetcher"), Dword(2)}}},
        // A text, not a number.
        {.page = General, .id = 1016, .label = "Fast shutdown",
         .tip = "Increase the shutdown speed of Windows",
         .checkedBy = {{CU(DESKTOP, "AutoEndTasks"), Sz("1")}},
         .reads = {{{{CU(DESKTOP, "AutoEndTasks"), Dword(1)}}, false},
                   {{{CU(DESKTOP, "AutoEndTasks"), Sz("0")}}, false}},
         .onCheck = {{CU(DESKTOP, "AutoEndTasks"), Sz("1")}},
         .onUncheck = {{CU(DESKTOP, "AutoEndTasks"), Sz("0")}}},
        {.page = General, .id = 1017, .label = "Pagefile at Shutdown",
         .tip = "Delete the Windows pagefile at shutdown",
         .checkedBy = {{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(1)}},
         .reads = {{{{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(2)}}, false}},
         .onCheck = {{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(1)}},
         .onUncheck = {{LM(MEMORY, "ClearPageFileAtShutdown"), Dword(0)}}},
        {.page = General, .id = 1020, .label = "Showing last user",
         .tip = "Disable showing the last user on login",
         .checkedBy = {{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(1)}},
         .reads = {{{{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(2)}}, false}},
         .onCheck = {{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(1)}},
         .onUncheck = {{LM(POLICYSYSTEM, "DontDisplayLastUserName"), Dword(0)}}},

        Service(1003, "Error-Reporting", "Windows sending error-reports to Microsoft", "WerSvc"),
        Service(1004, "Automatic Windows Updates", "Windows downloading and applying updates automatically", "wuauserv"),
        Service(1005, "Windows Security Center", "Windows Security Center protecting your system", "wscsvc"),
        Service(1007, "Time Synchronization", "Windows synchronizing your computer's clock online", "W32Time"),
        Service(1012, "Universal Plug and Play", "Service for Universal Plug and Play (UPnP)", "upnphost"),
        Service(1013, "UPnP Discovery Service", "Discovery of Universal Plug and Play (UPnP) devices on your network", "SSDPSRV"),
        Service(1016, "RPC Locator", "Remote Procedure Call Locator", "RpcLocator"),
        Service(1017, "Remote Registry Service", "Remote users accessing your Registry", "RemoteRegistry"),
        Service(1021, "Windows Image Acquisition Service", "Windows Image Acquisition Service for importing images from scanners or cameras", "stisvc"),

        ReadsBack({.page = IExplorer, .id = 1003, .label = "Disable Automatic Updates",
         .tip = "Disable Internet Explorer downloading and applying updates automatically",
         .onCheck = {{CU(MAIN, "NoUpdateCheck"), Dword(1)}},
         .onUncheck = {{CU(MAIN, "NoUpdateCheck"), Dword(0)}}}),
        ReadsBack({.page = IExplorer, .id = 1005, .label = "Disable Integrated Windows Authentication",
         .tip = "Disable Internet Explorer users getting identified, while browsing",
         .onCheck = {{CU(INET, "EnableNegotiate"), Dword(0)}},
         .onUncheck = {{CU(INET, "EnableNegotiate"), Dword(1)}}}),
        ReadsBack({.page = IExplorer, .id = 1006, .label = "Increase Maximum Connections",
         .tip = "Increase the maximum possible connections to 32",
         .reads = {{{{CU(INET, "MaxConnectionsPerServer"), Dword(32)}}, false}},
         .onCheck = {{CU(INET, "MaxConnectionsPerServer"), Dword(32)}, {CU(INET, "MaxConnectionsPer1_0Server"), Dword(32)}},
         .onUncheck = {{CU(INET, "MaxConnectionsPerServer"), GONE}, {CU(INET, "MaxConnectionsPer1_0Server"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1007, .label = "Open Pop-ups in new Tabs",
         .tip = "Enables Internet Explorer to open pop-up in new tabs instead of new windows (Internet Explorer 7)",
         .onCheck = {{CU(TABS, "PopupsUseNewWindow"), Dword(2)}},
         .onUncheck = {{CU(TABS, "PopupsUseNewWindow"), Dword(1)}}}),
        ReadsBack({.page = IExplorer, .id = 1008, .label = "Delete Temporary Files on Exit",
         .tip = "Delete Temporary Internet Files when Internet Explorer exits",
         .onCheck = {{CU(CACHE, "Persistent"), Dword(0)}},
         .onUncheck = {{CU(CACHE, "Persistent"), Dword(1)}}}),
        // "1201" stays 3 both ways; "1004" lives under P3P.
        ReadsBack({.page = IExplorer, .id = 1012, .label = "Disable ActiveX",
         .tip = "Disable Internet Explorer executing ActiveX controls",
         .onCheck = {{CU(ZONE3, "1200"), Dword(3)}, {CU(ZONE3, "1201"), Dword(3)}, {CU(ZONE3, "1001"), Dword(3)},
                     {CU(ZONE3, "1405"), Dword(3)}, {CU(P3P, "1004"), Dword(3)}},
         .onUncheck = {{CU(ZONE3, "1200"), Dword(0)}, {CU(ZONE3, "1201"), Dword(3)}, {CU(ZONE3, "1001"), Dword(1)},
                       {CU(ZONE3, "1405"), Dword(0)}, {CU(P3P, "1004"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1013, .label = "Disable JavaScript",
         .tip = "Disable Internet Explorer executing Java Script",
         .onCheck = {{CU(ZONE3, "1400"), Dword(3)}, {CU(ZONE3, "1402"), Dword(3)}, {CU(ZONE3, "1407"), Dword(3)}},
         .onUncheck = {{CU(ZONE3, "1400"), Dword(0)}, {CU(ZONE3, "1402"), Dword(0)}, {CU(ZONE3, "1407"), Dword(1)}}}),
        ReadsBack({.page = IExplorer, .id = 1016, .label = "Disable Phishing Filter",
         .tip = "Disables the Phishing Filter which sends information to Microsoft (Internet Explorer 7)",
         .reads = {{{{CU(PHISH, "Enabled"), Dword(0)}}, false}},
         .onCheck = {{CU(PHISH, "Enabled"), Sz("0")}},
         .onUncheck = {{CU(PHISH, "Enabled"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1018, .label = "Disable 404 Search",
         .tip = "Disable Internet Explorer searching unavailable webpages",
         .reads = {{{{CU(MAIN, "Do404Search"), RegValue{REG_BINARY, std::string("\1\0\0\0", 4)}}}, false}},
         .onCheck = {{CU(MAIN, "Do404Search"), Sz("01000000")}},
         .onUncheck = {{CU(MAIN, "Do404Search"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1019, .label = "Disable Home Page",
         .tip = "Use blank page as default Home Page",
         .reads = {{{{CU(MAIN, "Start Page"), Sz("About:Blank")}}, false}},
         .onCheck = {{CU(MAIN, "Start Page"), Sz("about:blank")}},
         .onUncheck = {{CU(MAIN, "Start Page"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1020, .label = "Disable Prompt for Default Browser",
         .tip = "Disables Internet Explorer prompting for default browser settings",
         .onCheck = {{CU(MAIN, "Check_Associations"), Sz("no")}},
         .onUncheck = {{CU(MAIN, "Check_Associations"), GONE}}}),
        ReadsBack({.page = IExplorer, .id = 1021, .label = "Disable Information Bar alert",
         .tip = "Disables the alert about the Information Bar on first start (Internet Explorer 7)",
         .reads = {{{{CU(INFOBAR, "FirstTime"), Sz("0")}}, false}},
         .onCheck = {{CU(INFOBAR, "FirstTime"), Dword(0)}},
         .onUncheck = {{CU(INFOBAR, "FirstTime"), GONE}}}),

        Preference(1003, "Disable Automatic License Acquisition",
                   "Disable Media Player to acquire content-licenses automatically",
                   {{CU(PREFS, "SilentAcquisition"), Dword(0)}}),
        Preference(1004, "Import music as MP3", "Import Audio CDs as MP3 instead of WMA",
                   {{CU(PREFS, "CDRecordMP3"), Dword(1)}, {CU(PREFS, "CDRecordMode"), Dword(1)},
                    {CU(PREFS, "MP3RecordRate"), Dword(128000)}},
                   {{{{CU(PREFS, "CDRecordMP3"), Dword(1)}, {CU(PREFS, "CDRecordMode"), Dword(1)},
                      {CU(PREFS, "MP3RecordRate"), Dword(192000)}}, false}}),
        Preference(1006, "Don't add Media to Library", "Don't add played media to the Media Library",
                   {{CU(PREFS_CAPS, "AutoAddMusicToLibrary"), Dword(0)}}),
        // The tip has no closing parenthesis.
        Preference(1007, "Disable Metadata Retrieval", "Disable online metadata retrieval (i.e. for Audio-CDs",
                   {{CU(PREFS_CAPS, "MetadataRetrieval"), Dword(0)}}),
        Preference(1008, "Disable Usage Tracking", "Disable usage-statistics being sent to Microsoft",
                   {{CU(PREFS_CAPS, "UsageTracking"), Dword(0)}, {CU(PREFS_CAPS, "ForceUsageTracking"), Dword(0)}},
                   {{{{CU(PREFS, "UsageTracking"), Dword(0)}}, false}}),
        // A machine-wide policy.
        Preference(1011, "Don't save data in Most Recent Used",
                   "Disables media getting added to the Most Recent Used filelist",
                   {{LM(WMPPOLICY, "disableMRU"), Dword(1)}},
                   {{{{CU(WMPPOLICY, "disableMRU"), Dword(1)}}, false}}),
        Preference(1012, "Disable Automatic Codec Downloads", "Disable automatic codec downloads",
                   {{CU(POLICYPREFS, "UpgradeCodecPrompt"), Dword(0)}}),
        Preference(1013, "Disable DRM for imported music", "Disable copy protection for imported WMA files",
                   {{CU(PREFS, "CDRecordDRM"), Dword(0)}}),

        {.page = Usability, .id = 1004, .label = "Disable Diskspace Warning",
         .tip = "Disable the warnings on low diskspace",
         .checkedBy = {{CU(POLEXPLORER, "NoLowDiskSpaceChecks"), Dword(1)}},
         .onCheck = {{CU(POLEXPLORER, "NoLowDiskSpaceChecks"), Dword(1)}},
         .onUncheck = {{CU(POLEXPLORER, "NoLowDiskSpaceChecks"), GONE}}},
        // The verb's keys are never read back: only the store tells.
        {.page = Usability, .id = 1006, .label = "Integrate Notepad into shell",
         .tip = "Add Notepad shortcut to the context-menu",
         .checkedBy = {{CU(STORE, "Edit Window"), Dword(1)}},
         .reads = {{{{EDIT + ":", Sz("Edit")}, {EDIT + "command\\:", Sz("notepad.exe \"%1\"")}}, false}},
         .onCheck = {{EDIT + ":", Sz("Edit")}, {EDIT + "command\\:", Sz("notepad.exe \"%1\"")},
                     {CU(STORE, "Edit Window"), Dword(1)}},
         .onUncheck = {{EDIT, GONE}, {CU(STORE, "Edit Window"), Dword(0)}}},
        {.page = Usability, .id = 1009, .label = "Disable Desktop Cleanup Wizard",
         .tip = "Disables Windows to clean up the Desktop periodically",
         .checkedBy = {{CU(CLEANUPWIZ, "NoRun"), Sz("1")}},
         .reads = {{{{CU(CLEANUPWIZ, "NoRun"), Dword(1)}}, false}},
         .onCheck = {{CU(CLEANUPWIZ, "NoRun"), Sz("1")}},
         .onUncheck = {{CU(CLEANUPWIZ, "NoRun"), GONE}}},
        {.page = Usability, .id = 1010, .label = "Disable Task Grouping",
         .tip = "Disable task-grouping in the Taskbar",
         .checkedBy = {{CU(ADVANCED, "TaskbarGlomming"), Dword(0)}},
         .onCheck = {{CU(ADVANCED, "TaskbarGlomming"), Dword(0)}},
         .onUncheck = {{CU(ADVANCED, "TaskbarGlomming"), GONE}}},
        {.page = Usability, .id = 1011, .label = "Use Classic Start Menu",
         .tip = "Enable the classic Start Menu",
         .checkedBy = {{CU(POLEXPLORER, "NoSimpleStartMenu"), Dword(1)}},
         .onCheck = {{CU(POLEXPLORER, "NoSimpleStartMenu"), Dword(1)}},
         .onUncheck = {{CU(POLEXPLORER, "NoSimpleStartMenu"), GONE}}},
        // FullPathAddress is 1 both ways and never read.
        {.page = Usability, .id = 1014, .label = "Display full path in title bar",
         .tip = "Show the full path in title and address bar",
         .checkedBy = {{CU(CABINET, "FullPath"), Dword(1)}},
         .reads = {{{{CU(CABINET, "FullPath"), Dword(0)}, {CU(CABINET, "FullPathAddress"), Dword(1)}}, false},
                   {{{CU(CABINET, "FullPathAddress"), Dword(1)}}, false}},
         .onCheck = {{CU(CABINET, "FullPath"), Dword(1)}, {CU(CABINET, "FullPathAddress"), Dword(1)}},
         .onUncheck = {{CU(CABINET, "FullPath"), Dword(0)}, {CU(CABINET, "FullPathAddress"), Dword(1)}}},
        {.page = Usability, .id = 1015, .label = "Disable Thumbnail Caching",
         .tip = "Disables the caching of images in the Explorer",
         .checkedBy = {{CU(ADVANCED, "DisableThumbnailCache"), Dword(1)}},
         .onCheck = {{CU(ADVANCED, "DisableThumbnailCache"), Dword(1)}},
         .onUncheck = {{CU(ADVANCED, "DisableThumbnailCache"), Dword(0)}}},
        {.page = Usability, .id = 1012, .label = "Use Classic Logon Window",
         .tip = "Use classic Logon window instead of Welcome screen",
         .checkedBy = {{LM(WINLOGON, "LogonType"), Dword(0)}},
         .onCheck = {{LM(WINLOGON, "LogonType"), Dword(0)}},
         .onUncheck = {{LM(WINLOGON, "LogonType"), Dword(1)}}},
        {.page = Usability, .id = 1018, .label = "Show hidden files and folders",
         .tip = "Show hidden files and folders",
         .checkedBy = {{CU(ADVANCED, "Hidden"), Dword(1)}},
         .reads = {{{{CU(ADVANCED, "Hidden"), Dword(2)}}, false}},
         .onCheck = {{CU(ADVANCED, "Hidden"), Dword(1)}},
         .onUncheck = {{CU(ADVANCED, "Hidden"), Dword(2)}}},
        {.page = Usability, .id = 1019, .label = "Show all file extensions",
         .tip = "Show extensions of known filetypes",
         .checkedBy = {{CU(ADVANCED, "HideFileExt"), Dword(0)}},
         .onCheck = {{CU(ADVANCED, "HideFileExt"), Dword(0)}},
         .onUncheck = {{CU(ADVANCED, "HideFileExt"), Dword(1)}}},
    };
}
// clang-format on

} // namespace

const std::vector<Box>& Boxes() {
    static const std::vector<Box> boxes = MakeBoxes();
    return boxes;
}

std::vector<Box> BoxesOf(int page) {
    std::vector<Box> boxes;
    for (const Box& box : Boxes())
        if (box.page == page)
            boxes.push_back(box);
    return boxes;
}

const Box& BoxAt(int page, int id) {
    for (const Box& box : Boxes())
        if (box.page == page && box.id == id)
            return box;
    throw std::out_of_range("no box " + std::to_string(id) + " on page " + std::to_string(page));
}

std::string CommandLine(const Command& command) {
    return "\"C:\\windows\\system32\\" + command.file + "\" " + command.parameters;
}

} // namespace expect
