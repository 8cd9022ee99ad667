// All five pages at once: every box clicked on and off touches nothing in the
// registry but the values its tables name (and the keys on the way to them),
// and starts nothing but its own commands.
#include "pages/CIESettingsDlg.h"
#include "pages/CUsabilityDlg.h"
#include "pages/CWMediaPlayer.h"
#include "pages/GeneralSettingsDlg.h"
#include "pages/ServicesSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"
#include "system/Registry.h"

#include <gtest/gtest.h>

namespace {

struct Named {
    const char* root;
    std::string key;
    std::vector<std::string> names;
};

const std::string ADVANCED = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string IE = "Software\\Microsoft\\Internet Explorer\\";
const std::string INET = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string PREFS = "Software\\Microsoft\\MediaPlayer\\Preferences";
const std::string POLEXPLORER = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::vector<std::string> kServiceNames = {"WerSvc",     "wuauserv",       "wscsvc",
                                                "W32Time",    "upnphost",       "SSDPSRV",
                                                "RpcLocator", "RemoteRegistry", "stisvc"};
// The verb's key goes as a whole, with whatever it holds.
const std::string kRemovedWhole = "hkcr\\*\\shell\\edit\\";

std::vector<Named> NamedValues() {
    std::vector<Named> named = {
        {"HKCU", "Software\\Quelt", {"Compressed Folder", "Edit Window"}},
        {"HKLM", "SYSTEM\\CurrentControlSet\\Control\\Lsa", {"nolmhash", "restrictanonymous"}},
        {"HKLM", "SOFTWARE\\Microsoft\\Windows Script Host\\Settings", {"Enabled", "Remote"}},
        {"HKCU", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", {"InternetOpenWith"}},
        {"HKCU",
         ADVANCED,
         {"NoNetCrawling", "TaskbarGlomming", "DisableThumbnailCache", "Hidden", "HideFileExt"}},
        {"HKLM",
         "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
         {"DisableDHCPMediaSense"}},
        {"HKLM",
         "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
         "Management\\PrefetchParameters",
         {"EnablePrefetcher"}},
        {"HKCU", "Control Panel\\Desktop", {"AutoEndTasks"}},
        {"HKLM",
         "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
         {"ClearPageFileAtShutdown"}},
        {"HKLM",
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
         {"DontDisplayLastUserName"}},
        {"HKCU", IE + "Main", {"NoUpdateCheck", "Do404Search", "Start Page", "Check_Associations"}},
        {"HKCU",
         INET,
         {"EnableNegotiate", "MaxConnectionsPerServer", "MaxConnectionsPer1_0Server"}},
        {"HKCU", INET + "\\Cache", {"Persistent"}},
        {"HKCU", INET + "\\Zones\\3", {"1200", "1201", "1001", "1405", "1400", "1402", "1407"}},
        {"HKCU", INET + "\\P3P", {"1004"}},
        {"HKCU", IE + "TabbedBrowsing", {"PopupsUseNewWindow"}},
        {"HKCU", IE + "PhishingFilter", {"Enabled"}},
        {"HKCU", IE + "InformationBar", {"FirstTime"}},
        {"HKCU",
         PREFS,
         {"SilentAcquisition", "CDRecordMP3", "CDRecordMode", "MP3RecordRate",
          "AutoAddMusicToLibrary", "MetadataRetrieval", "UsageTracking", "ForceUsageTracking",
          "CDRecordDRM"}},
        {"HKLM", "SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer", {"disableMRU"}},
        {"HKCU", "SOFTWARE\\Policies\\Microsoft\\Preferences", {"UpgradeCodecPrompt"}},
        {"HKCU", POLEXPLORER, {"NoLowDiskSpaceChecks", "NoSimpleStartMenu"}},
        {"HKCU",
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz",
         {"NoRun"}},
        {"HKCU",
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState",
         {"FullPath", "FullPathAddress"}},
        {"HKLM", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", {"LogonType"}},
        {"HKCR", "*\\shell\\edit", {""}},
        {"HKCR", "*\\shell\\edit\\command", {""}},
    };
    for (const std::string& s : kServiceNames)
        named.push_back({"HKLM", "System\\CurrentControlSet\\Services\\" + s, {"Start"}});
    return named;
}

// Whether a changed entry of the snapshot is one the tables name: a named
// value, a key of one, or a key on the way to one.
bool Allowed(const std::string& path) {
    const std::string folded = Folded(path);
    if (folded.starts_with(kRemovedWhole))
        return true;
    for (const Named& n : NamedValues()) {
        const std::string key = Folded(std::string(n.root) + "\\" + n.key + "\\");
        if (KeyEnd(folded) == folded.size() && key.starts_with(folded))
            return true;
        for (const std::string& name : n.names)
            if (folded == Folded(ValuePath(n.root, n.key, name)))
                return true;
    }
    return false;
}

// Neighbours that must survive: another value in every named key, the named
// values under the other root, and a sibling of the Notepad verb.
void PutNeighbours() {
    for (const Named& n : NamedValues()) {
        if (std::string(n.root) == "HKCR")
            continue;
        Put(ValuePath(n.root, n.key, "Neighbour"), Sz("kept"));
        for (const std::string& name : n.names)
            Put(UnderOtherRoot(ValuePath(n.root, n.key, name)), Dword(7));
    }
    Put("HKCR\\*\\shell\\open\\command\\:", Sz("viewer.exe \"%1\""));
}

// The commands a click may ask for.
std::vector<ShellRequest> Expected(int page, int id, bool checked) {
    const int servicesPage = 1, generalPage = 0;
    const std::vector<int> serviceIds = {1003, 1004, 1005, 1007, 1012, 1013, 1016, 1017, 1021};
    if (page == generalPage && id == 1003)
        return {Started("regsvr32.exe",
                        (checked ? "/s " : "/u /s ") + SystemFolder() + "\\zipfldr.dll", SW_SHOW)};
    if (page == servicesPage) {
        const auto at = std::find(serviceIds.begin(), serviceIds.end(), id);
        if (at == serviceIds.end())
            return {};
        const std::string& s = kServiceNames[at - serviceIds.begin()];
        return {Started("net.exe", (checked ? "START \"" : "STOP \"") + s + "\"", SW_HIDE)};
    }
    return {};
}

TEST(AllTweaksTest, FiftyBoxesOnAndOffTouchOnlyWhatTheTablesName) {
    for (bool neighbours : {false, true}) {
        SCOPED_TRACE(neighbours ? "among neighbours" : "in an empty registry");
        RegistrySandbox sandbox;
        ShellRecorder shell;
        if (neighbours)
            PutNeighbours();
        const Snapshot before = sandbox.Snapshot();
        HostedPage<GeneralSettingsDlg> general(IDD_GENERAL);
        HostedPage<ServicesSettingsDlg> services(IDD_SERVICES);
        HostedPage<CIESettingsDlg> ie(IDD_IEXPLORER);
        HostedPage<CWMediaPlayer> media(IDD_MEDIAPLAYER);
        HostedPage<CUsabilityDlg> usability(IDD_USABILITY);
        const HWND pages[] = {general.hWnd, services.hWnd, ie.hWnd, media.hWnd, usability.hWnd};
        int boxes = 0;
        for (int page = 0; page < 5; ++page) {
            ASSERT_TRUE(pages[page]);
            for (HWND hBox = GetWindow(pages[page], GW_CHILD); hBox;
                 hBox = GetWindow(hBox, GW_HWNDNEXT)) {
                const int id = GetDlgCtrlID(hBox);
                ++boxes;
                for (int click = 0; click < 2; ++click) {
                    const bool was = IsChecked(pages[page], id);
                    Click(pages[page], id);
                    ASSERT_NE(IsChecked(pages[page], id), was) << page << "/" << id;
                    EXPECT_EQ(shell.Take(), Expected(page, id, !was)) << page << "/" << id;
                }
            }
        }
        EXPECT_EQ(boxes, 50);
        const Snapshot after = sandbox.Snapshot();
        EXPECT_FALSE(after == before);
        std::set<std::string> paths;
        for (const Snapshot* snapshot : {&before, &after})
            for (const auto& entry : *snapshot)
                paths.insert(entry.first);
        for (const std::string& path : paths) {
            const auto was = before.find(path), is = after.find(path);
            const bool changed = (was == before.end()) != (is == after.end()) ||
                                 (was != before.end() && !(was->second == is->second));
            EXPECT_TRUE(!changed || Allowed(path)) << path << " changed";
        }
    }
}

} // namespace
