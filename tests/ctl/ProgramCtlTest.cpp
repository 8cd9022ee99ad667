// morvanectl.exe as its own process in a throwaway prefix, with the system's
// own reg.exe and regedit.exe: a backup taken over awkward registry data
// puts back every value after all fifty tweaks were set on and off; list
// agrees with the window; a service tweak waits for net.exe and a DLL
// registration for regsvr32.exe, and each reports its exit code. A recorder
// stands in for net.exe and regsvr32.exe.
#include "ctl/BackupFiles.h"
#include "ctl/HiveFiles.h"
#include "e2e/Driver.h"
#include "expect/Keys.h"
#include "support/Cells.h"
#include "support/RunSelected.h"
#include "support/WinePath.h"
#include "system/UserHive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace {

// One object of list --json, its fields in order.
// clang-format off
const char kListedObject[] =
    R"re(\{"name": "([^"]*)", "page": "([^"]*)", "label": "([^"]*)", "state": "(on|off)", "rights": "(administrator|user)"\})re";
// clang-format on

using namespace std::string_literals;

std::string g_ctl, g_window;

using namespace expect::keys;
const std::string SERVICES = "System\\CurrentControlSet\\Services\\";
const std::string VERB = "*\\shell\\edit";

// Values as the sandbox snapshots name them: "ROOT\key\:name".
std::string ValuePath(const std::string& root, const std::string& key, const std::string& name) {
    return root + "\\" + key + "\\:" + name;
}
std::string CU(const std::string& key, const std::string& name) {
    return ValuePath("HKCU", key, name);
}
std::string LM(const std::string& key, const std::string& name) {
    return ValuePath("HKLM", key, name);
}
std::string CR(const std::string& key, const std::string& name) {
    return ValuePath("HKCR", key, name);
}
RegValue Raw(DWORD type, const std::string& bytes) {
    return {type, bytes};
}

// Keys removed before the awkward data goes in: each tweak that writes there
// finds its key missing.
const std::vector<std::string> kMissingKeys = {
    "HKCU\\" + TABS,      "HKCU\\" + INFOBAR, "HKCU\\" + CLEANUPWIZ, "HKCU\\" + P3P,
    "HKLM\\" + WMPPOLICY, "HKCU\\" + STORE,   "HKCR\\" + VERB,
};

// For every tweak at least one value it reads or writes, of the wrong type
// or size, or not what it expects, or present where a per-user read finds
// it machine-wide.
// clang-format off
const Snapshot kAwkward = {
    // General
    {CU(STORE, "Compressed Folder"), Raw(REG_SZ, "1")}, // no terminator
    {LM(LSA, "nolmhash"), Raw(REG_BINARY, "\0\0\0\0"s)},
    {LM(WSH, "Enabled"), Sz("0")},
    {CU(EXPLORER, "InternetOpenWith"), Raw(REG_QWORD, "\0\0\0\0\0\0\0\0"s)},
    {LM(EXPLORER, "InternetOpenWith"), Dword(1)},
    {LM(LSA, "restrictanonymous"), Raw(REG_DWORD, "\1\0\0"s)},
    {CU(ADVANCED, "NoNetCrawling"), Raw(REG_MULTI_SZ, "a\0b\0\0"s)},
    {LM(TCPIP, "DisableDHCPMediaSense"), Raw(REG_EXPAND_SZ, "%SystemRoot%\\x\0"s)},
    {CU(PREFETCH, "EnablePrefetcher"), Dword(3)},
    {CU(DESKTOP, "AutoEndTasks"), Sz("say \"1\" C:\\x\\")},
    {LM(MEMORY, "ClearPageFileAtShutdown"), Raw(REG_NONE, "")},
    {LM(POLICYSYSTEM, "DontDisplayLastUserName"), Raw(REG_DWORD_BIG_ENDIAN, "\0\0\0\1"s)},
    // Services
    {LM(SERVICES + "W32Time", "Start"), Dword(2)},
    {LM(SERVICES + "WerSvc", "Start"), Sz("2")},
    {LM(SERVICES + "stisvc", "Start"), Raw(REG_BINARY, "\3\0\0\0\0"s)},
    // Internet Explorer
    {CU(MAIN, "NoUpdateCheck"), Raw(REG_BINARY, "\1\0\0\0\0\0\0\0"s)},
    {CU(INET, "EnableNegotiate"), Dword(0xFFFFFFFF)},
    {LM(INET, "EnableNegotiate"), Dword(0)},
    {CU(INET, "MaxConnectionsPerServer"), Dword(32)},
    {CU(CACHE, "Persistent"), Sz("")},
    {CU(ZONE3, "1001"), Sz("3")},
    {CU(ZONE3, "1400"), Raw(REG_NONE, "\3\0\0\0"s)},
    {CU(PHISH, "Enabled"), Dword(0)},
    {CU(MAIN, "Do404Search"), Raw(REG_BINARY, "\1\0\0\0"s)},
    {CU(MAIN, "Start Page"), Sz("http://example.invalid/a\\b\xe4")},
    {CU(MAIN, "Check_Associations"), Raw(REG_SZ, "no\0x\0"s)},
    // Media Player
    {LM(PREFS, "SilentAcquisition"), Dword(0)},
    {CU(PREFS, "CDRecordMP3"), Dword(1)},
    {CU(PREFS, "CDRecordMode"), Raw(REG_QWORD, "\1\0\0\0\0\0\0\0"s)},
    {CU(PREFS, "MP3RecordRate"), Dword(128000)},
    {CU(PREFS, "AutoAddMusicToLibrary"), Sz("0")},
    {CU(PREFS, "MetadataRetrieval"), Raw(REG_BINARY, "\0\1\2\3\4"s)},
    {CU(PREFS, "UsageTracking"), Dword(0)},
    {CU(POLICYPREFS, "UpgradeCodecPrompt"), Raw(REG_MULTI_SZ, "\0\0"s)},
    {CU(PREFS, "CDRecordDRM"), Raw(0x100, "\1\2"s)}, // a type of an application's own
    // Usability
    {CU(POLEXPLORER, "NoLowDiskSpaceChecks"), Dword(0)},
    {LM(POLEXPLORER, "NoLowDiskSpaceChecks"), Dword(1)},
    {CU(STORE, "Edit Window"), Dword(1)},
    {CR(VERB, ""), Sz("Bearbeiten")},
    {CR(VERB, "Extended"), Sz("")},
    {CR(VERB, "Icon"), Raw(REG_EXPAND_SZ, "%SystemRoot%\\x.dll,1\0"s)},
    {CR(VERB + "\\command", ""), Sz("wordpad.exe \"%1\"")},
    {CR(VERB + "\\command", "Flags"), Raw(REG_BINARY, "\xff\xfe"s)},
    {CR(VERB + "\\ddeexec\\application", ""), Sz("WordPad")},
    {CU(ADVANCED, "TaskbarGlomming"), Sz("0")},
    {CU(POLEXPLORER, "NoSimpleStartMenu"), Raw(REG_QWORD, "\1\0\0\0\0\0\0\0"s)},
    {CU(CABINET, "FullPath"), Dword(1)},
    {CU(CABINET, "FullPathAddress"), Raw(REG_BINARY, "\1"s)},
    {LM(ADVANCED, "DisableThumbnailCache"), Dword(1)},
    {LM(WINLOGON, "LogonType"), Sz("0")},
    {CU(ADVANCED, "Hidden"), Dword(2)},
    {LM(ADVANCED, "HideFileExt"), Raw(REG_BINARY, "\0\0\0\0"s)},
};
// clang-format on

// The keys the tweaks write to: a tweak may leave one of them, or a key on
// the way to it, behind empty where there was none.
const std::vector<std::string> kWrittenKeys = {
    "HKCU\\" + STORE,
    "HKLM\\" + LSA,
    "HKLM\\" + WSH,
    "HKCU\\" + EXPLORER,
    "HKCU\\" + ADVANCED,
    "HKLM\\" + TCPIP,
    "HKLM\\" + PREFETCH,
    "HKCU\\" + DESKTOP,
    "HKLM\\" + MEMORY,
    "HKLM\\" + POLICYSYSTEM,
    "HKCU\\" + MAIN,
    "HKCU\\" + INET,
    "HKCU\\" + CACHE,
    "HKCU\\" + ZONE3,
    "HKCU\\" + P3P,
    "HKCU\\" + TABS,
    "HKCU\\" + PHISH,
    "HKCU\\" + INFOBAR,
    "HKCU\\" + PREFS,
    "HKLM\\" + WMPPOLICY,
    "HKCU\\" + POLICYPREFS,
    "HKCU\\" + POLEXPLORER,
    "HKCU\\" + CLEANUPWIZ,
    "HKCU\\" + CABINET,
    "HKLM\\" + WINLOGON,
    "HKLM\\" + SERVICES + "WerSvc",
    "HKLM\\" + SERVICES + "wuauserv",
    "HKLM\\" + SERVICES + "wscsvc",
    "HKLM\\" + SERVICES + "W32Time",
    "HKLM\\" + SERVICES + "upnphost",
    "HKLM\\" + SERVICES + "SSDPSRV",
    "HKLM\\" + SERVICES + "RpcLocator",
    "HKLM\\" + SERVICES + "RemoteRegistry",
    "HKLM\\" + SERVICES + "stisvc",
};

const std::vector<std::string> kAllNames = {
    "general/compressed-folders",
    "general/store-lm-hash",
    "general/windows-script-host",
    "general/file-association-web-service",
    "general/restrict-null-sessions",
    "general/net-crawling",
    "general/media-sensing",
    "general/prefetch",
    "general/fast-shutdown",
    "general/clear-pagefile-at-shutdown",
    "general/hide-last-user",
    "services/error-reporting",
    "services/automatic-updates",
    "services/security-center",
    "services/time-synchronization",
    "services/upnp-host",
    "services/upnp-discovery",
    "services/rpc-locator",
    "services/remote-registry",
    "services/image-acquisition",
    "iexplorer/disable-automatic-updates",
    "iexplorer/disable-integrated-authentication",
    "iexplorer/increase-max-connections",
    "iexplorer/popups-in-new-tabs",
    "iexplorer/delete-temporary-files-on-exit",
    "iexplorer/disable-activex",
    "iexplorer/disable-javascript",
    "iexplorer/disable-phishing-filter",
    "iexplorer/disable-404-search",
    "iexplorer/blank-home-page",
    "iexplorer/disable-default-browser-prompt",
    "iexplorer/disable-information-bar-alert",
    "mediaplayer/disable-license-acquisition",
    "mediaplayer/import-as-mp3",
    "mediaplayer/dont-add-to-library",
    "mediaplayer/disable-metadata-retrieval",
    "mediaplayer/disable-usage-tracking",
    "mediaplayer/dont-save-recent-files",
    "mediaplayer/disable-codec-downloads",
    "mediaplayer/disable-drm-on-import",
    "usability/disable-disk-space-warning",
    "usability/notepad-in-context-menu",
    "usability/disable-desktop-cleanup",
    "usability/disable-task-grouping",
    "usability/classic-start-menu",
    "usability/full-path-in-title",
    "usability/disable-thumbnail-cache",
    "usability/classic-logon",
    "usability/show-hidden-files",
    "usability/show-file-extensions",
};

const char* const kTabs[] = {"General", "Services", "IExplorer", "Windows MediaPlayer",
                             "Usability"};

HKEY RootKey(const std::string& path) {
    return path.starts_with("HKLM")   ? HKEY_LOCAL_MACHINE
           : path.starts_with("HKCR") ? HKEY_CLASSES_ROOT
                                      : HKEY_CURRENT_USER;
}

// Names and text outside the code page: a subkey of the verb, and a value
// of it with such a name and text.
struct WideValue {
    HKEY root;
    std::wstring key, name, text;
};
const std::vector<WideValue> kOutsideCodePage = {
    {HKEY_CLASSES_ROOT, L"*\\shell\\edit\\ключ", L"", L"x"},
    {HKEY_CLASSES_ROOT, L"*\\shell\\edit\\command", L"名前", L"テキスト ключ"},
};

void PrepareAwkward() {
    for (const std::string& key : kMissingKeys)
        RegDeleteTreeA(RootKey(key), key.substr(5).c_str());
    for (const auto& [path, value] : kAwkward)
        Put(path, value);
    for (const WideValue& v : kOutsideCodePage)
        ASSERT_TRUE(PutWide(v.root, v.key, v.name, v.text));
}

// Everything a tweak could reach, and around it: all per-user software and
// desktop settings, machine-wide software (its classes only under "*"), the
// system's control settings and services. Wine's own bookkeeping is left
// out.
Snapshot Scope() {
    Snapshot all;
    SnapshotKey(HKEY_CURRENT_USER, "Software", "HKCU\\Software\\", all);
    SnapshotKey(HKEY_CURRENT_USER, "Control Panel", "HKCU\\Control Panel\\", all);
    SnapshotKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control",
                "HKLM\\System\\CurrentControlSet\\Control\\", all);
    SnapshotKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services",
                "HKLM\\System\\CurrentControlSet\\Services\\", all);
    SnapshotKey(HKEY_CLASSES_ROOT, "*", "HKCR\\*\\", all);
    for (const std::string& key : MachineSoftwareKeys())
        SnapshotKey(HKEY_LOCAL_MACHINE, key.c_str(), "HKLM\\" + key + "\\", all);
    std::erase_if(all, [](const auto& e) { return IsWinesOwn(e.first); });
    return all;
}

struct Ran {
    DWORD code = 0xFFFF;
    std::string out, err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program started with its output and errors caught in files. The
// command line is UTF-8 and goes to the new process whole, in UTF-16.
class Started {
public:
    explicit Started(const std::string& commandLine, DWORD flags = 0) : m_line(commandLine) {
        // Files of their own: a program it started may still hold those of
        // the one before.
        static int started = 0;
        const std::string stem = "C:\\morvane-ctl-" + std::to_string(++started);
        m_outPath = stem + "-out.txt";
        m_errPath = stem + "-err.txt";
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        m_out = CreateFileA(m_outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_err = CreateFileA(m_errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_out == INVALID_HANDLE_VALUE || m_err == INVALID_HANDLE_VALUE)
            ADD_FAILURE() << "cannot make " << stem << "-*.txt: " << GetLastError();
        STARTUPINFOW si{sizeof(si)};
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = INVALID_HANDLE_VALUE;
        si.hStdOutput = m_out;
        si.hStdError = m_err;
        std::wstring line = W(commandLine);
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                            &si, &m_pi))
            ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
    }
    ~Started() {
        if (m_pi.hProcess) {
            TerminateProcess(m_pi.hProcess, 0xDEAD);
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
        }
        CloseHandle(m_out);
        CloseHandle(m_err);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    DWORD Id() const { return m_pi.dwProcessId; }

    // Waits for the end, then what it wrote; ended by force after timeoutMs.
    Ran Finish(DWORD timeoutMs = 180000) {
        Ran ran;
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
                GetExitCodeProcess(m_pi.hProcess, &ran.code);
            else
                ADD_FAILURE() << m_line << " still running after " << timeoutMs << " ms";
            TerminateProcess(m_pi.hProcess, 0xDEAD);
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
            m_pi = {};
        }
        CloseHandle(m_out);
        CloseHandle(m_err);
        m_out = m_err = INVALID_HANDLE_VALUE;
        ran.out = ReadAll(m_outPath);
        ran.err = ReadAll(m_errPath);
        DeleteFileA(m_outPath.c_str());
        DeleteFileA(m_errPath.c_str());
        std::erase(ran.out, '\r');
        std::erase(ran.err, '\r');
        return ran;
    }

private:
    std::string m_line, m_outPath, m_errPath;
    HANDLE m_out, m_err;
    PROCESS_INFORMATION m_pi{};
};

// Runs a program and waits for it.
Ran Start(const std::string& commandLine) {
    return Started(commandLine).Finish();
}

Ran Ctl(const std::string& arguments) {
    return Start("\"" + g_ctl + "\" " + arguments);
}

std::string SetAll(const char* state) {
    std::string arguments = "set";
    for (const std::string& name : kAllNames)
        arguments += " " + name + " " + state;
    return arguments;
}

std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(e2e::kRecorderLog));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

// A key is on the way to, or is, a key that a tweak writes.
bool OnAWrittenPath(const std::string& path) {
    for (const std::string& key : kWrittenKeys)
        if (SameIgnoringCase(path, (key + "\\").substr(0, path.size())))
            return true;
    return false;
}

// What a restore must leave: every value as before; new keys only where a
// tweak writes, and empty (deleting a value creates its key).
Snapshot Restored(const Snapshot& before, const Snapshot& after) {
    Snapshot expected = before;
    for (const auto& [path, value] : after)
        if (!before.contains(path) && path.back() == '\\' && OnAWrittenPath(path))
            expected.emplace(path, value);
    return expected;
}

// All fifty set off over the awkward data: what then still reads on, and why.
const std::string kStillReadOn =
    "morvanectl: general/prefetch off: applied, but still reads on: HKCU\\" + PREFETCH +
    " : EnablePrefetcher = DWORD 3 decides\n"
    "morvanectl: mediaplayer/disable-license-acquisition off: applied, but still reads on: "
    "HKLM\\Software\\Microsoft\\MediaPlayer\\Preferences : SilentAcquisition = DWORD 0 decides\n"
    "morvanectl: usability/disable-disk-space-warning off: applied, but still reads on: "
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer : "
    "NoLowDiskSpaceChecks = DWORD 1 decides\n"
    "morvanectl: 3 of 50 tweaks had failures\n";

class RoundTripTest : public testing::TestWithParam<const char*> {};

TEST_P(RoundTripTest, ABackupPutsBackEveryValueAfterAllFiftyWereSetOnAndOff) {
    PrepareAwkward();
    const std::string file = "C:\\morvane-ctl-резерв-" + std::string(GetParam()) + ".reg";
    DeleteFileW(W(file).c_str());
    const Snapshot before = Scope();

    Ran ran = Ctl("backup " + file);
    ASSERT_EQ(ran.code, 0u) << ran.err;
    EXPECT_TRUE(KeepForHivex(file, "roundtrip-" + std::string(GetParam())));
    const size_t logged = LogLines().size();
    ran = Ctl(SetAll("on"));
    EXPECT_EQ(ran.code, 0u) << ran.err;
    const Snapshot on = Scope();
    ran = Ctl(SetAll("off"));
    // Three cells leave a value of the awkward data to decide: the per-user
    // one beside a machine-wide write, and machine-wide ones where a per-user
    // value was deleted.
    EXPECT_EQ(ran.code, 3u) << ran.err;
    EXPECT_EQ(ran.err, kStillReadOn);
    // Nine services started and stopped, the folder handler registered and
    // unregistered.
    EXPECT_EQ(LogLines().size(), logged + 20);
    EXPECT_FALSE(on == before);
    EXPECT_FALSE(Scope() == before);

    if (GetParam() == std::string("reg")) {
        ran = Ctl("restore " + file);
        EXPECT_EQ(ran.code, 0u) << ran.out << ran.err;
        EXPECT_NE(ran.out.find("reg.exe exit code 0"), std::string::npos) << ran.out;
    } else {
        ran = Start("regedit.exe /s " + file);
        EXPECT_EQ(ran.code, 0u) << ran.err;
    }
    // Exactly, where the snapshot's code-page names would not tell.
    for (const WideValue& v : kOutsideCodePage)
        EXPECT_EQ(GetWide(v.root, v.key, v.name), v.text) << U(v.key) << " : " << U(v.name);

    const Snapshot after = Scope();
    const Snapshot expected = Restored(before, after);
    EXPECT_TRUE(after == expected) << Differences(expected, after);
    DeleteFileW(W(file).c_str());
}

// A damaged backup, one that reaches outside what a backup covers and a file
// that is no backup: each refused with exit code 2, and the registry as it
// was, by the system's own reg.exe too.
TEST(RestoreTest, ADamagedOrReachingFileImportsNothing) {
    PrepareAwkward();
    const std::string file = "C:\\morvane-ctl-source.reg", damaged = "C:\\morvane-ctl-bad.reg";
    DeleteFileA(file.c_str());
    Ran ran = Ctl("backup " + file);
    ASSERT_EQ(ran.code, 0u) << ran.err;
    ran = Ctl("set usability/show-hidden-files on iexplorer/blank-home-page on "
              "usability/notepad-in-context-menu off");
    ASSERT_EQ(ran.code, 0u) << ran.err;
    const Snapshot before = Scope();
    const std::string text = Utf8Text(ReadAll(file)).value_or("");
    ASSERT_FALSE(text.empty());
    const size_t end = text.find("; End of the morvanectl backup.");
    const size_t hidden = text.find("\"Hidden\"=dword:00000002");
    const size_t startPage = text.find("\"Start Page\"=\"http://");
    ASSERT_NE(hidden, std::string::npos);
    ASSERT_NE(startPage, std::string::npos);
    std::string dword = text;
    dword.replace(hidden + 15, 8, "zzzz");
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"cut mid-value", Utf16File(text.substr(0, startPage + 20)), true},
        {"dword:zzzz", Utf16File(dword), true},
        {"a Run key",
         Utf16File(text.substr(0, end) +
                   "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                   "CurrentVersion\\Run]\r\n\"Updater\"=\"C:\\\\evil.exe\"\r\n\r\n" +
                   text.substr(end)),
         false},
        {"a tree deleted",
         Utf16File(text.substr(0, end) + "[-HKEY_CURRENT_USER\\Software\\Microsoft]\r\n\r\n" +
                   text.substr(end)),
         false},
        {"a value given twice",
         Utf16File(std::string(text).insert(text.find("\r\n", hidden) + 2,
                                            "\"Hidden\"=dword:00000003\r\n")),
         false},
        {"not a backup", "usability/show-hidden-files = on\r\n", false},
    };
    int kept = 0;
    for (const auto& [what, bytes, hivexRefuses] : cases) {
        std::ofstream(damaged, std::ios::binary) << bytes;
        ran = Ctl("restore " + damaged);
        EXPECT_EQ(ran.code, 2u) << what << ": " << ran.out << ran.err;
        EXPECT_NE(ran.err.find(": line "), std::string::npos) << what << ": " << ran.err;
        EXPECT_NE(ran.err.find("nothing was restored"), std::string::npos) << what;
        const Snapshot now = Scope();
        EXPECT_TRUE(now == before) << what << Differences(before, now);
        if (hivexRefuses) {
            EXPECT_TRUE(KeepForHivex(damaged, "program-refused-" + std::to_string(++kept), true));
        }
    }
    // The file itself restores.
    ran = Ctl("restore " + file);
    EXPECT_EQ(ran.code, 0u) << ran.out << ran.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(2));
    DeleteFileA(file.c_str());
    DeleteFileA(damaged.c_str());
}

INSTANTIATE_TEST_SUITE_P(SystemTools, RoundTripTest, testing::Values("reg", "regedit"));

const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kSecondSid[] = "S-1-5-21-1111111111-222222222-3333333-2101";

// The caller's scope, and the second user's settings named as the caller's.
std::pair<Snapshot, Snapshot> Everyone() {
    Snapshot second;
    for (const std::string key : {"Software", "Control Panel"})
        SnapshotKey(HKEY_USERS, (kSecondSid + "\\"s + key).c_str(), "HKCU\\" + key + "\\", second);
    return {Scope(), second};
}

// Each kind of backup names in its notes how it goes back, and goes back that
// way: the caller's, a signed-in user's, a profile file's, every profile's
// and a kept run's; and every profile's again after a user signed out, whose
// file the restore then loads. (Wine does not write a loaded file back: what
// went into one is checked by restore itself, reading it back while loaded.)
TEST(RestoreTest, EachKindOfBackupGoesBackWithTheOptionItsNotesName) {
    struct Kind {
        const char* what;
        std::string option; // before each command
        std::string named;  // in the notes, before "restore FILE"
        bool kept;          // made by a kept preset's run, which applies it too
        bool signedOut;     // the second user signs out before the restore
    };
    const std::string hive = "C:\\morvane-ctl-kinds.hive", folder = "C:\\morvane-ctl-second",
                      file = "C:\\morvane-ctl-kind.reg", user = "--user "s + kSecondSid,
                      kept = "C:\\ProgramData\\Morvane\\kept\\kinds.preset";
    const Kind kinds[] = {
        {"the caller's", "", "", false, false},
        {"a signed-in user's", user, user + " ", false, false},
        {"a profile file's", "--hive " + hive, "--hive PROFILE ", false, false},
        {"every profile's", "--all-users", "--all-users ", false, false},
        {"a kept run's", "--all-users", "--all-users ", true, false},
        {"every profile's, after a user signed out", "--all-users", "--all-users ", false, true},
    };
    MakeHiveFile(hive);
    CreateDirectoryA(folder.c_str(), nullptr);
    MakeHiveFile(folder + "\\NTUSER.DAT");
    const std::string entry = kProfileList + "\\"s + kSecondSid;
    PutString(HKEY_LOCAL_MACHINE, entry.c_str(), "ProfileImagePath", folder);
    ASSERT_EQ(RegLoadKeyA(HKEY_USERS, kSecondSid, (folder + "\\NTUSER.DAT").c_str()),
              ERROR_SUCCESS);
    CreateDirectoryA("C:\\ProgramData\\Morvane", nullptr);
    CreateDirectoryA("C:\\ProgramData\\Morvane\\kept", nullptr);
    std::ofstream(kept, std::ios::binary) << "usability/show-file-extensions = on\n"
                                             "usability/show-hidden-files = off\n"
                                             "general/store-lm-hash = off\n";
    const std::string change = " set usability/show-file-extensions on "
                               "usability/show-hidden-files off general/store-lm-hash off";
    Ran ran = Ctl("--all-users set usability/show-file-extensions off "
                  "usability/show-hidden-files on general/store-lm-hash on");
    EXPECT_EQ(ran.code, 0u) << ran.out << ran.err;

    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.what);
        const std::pair<Snapshot, Snapshot> before = Everyone();
        std::string backup = file;
        DeleteFileA(file.c_str());
        if (k.kept) {
            ran = Ctl("--all-users apply " + kept);
            const size_t at = ran.out.find("Backup written to ");
            ASSERT_NE(at, std::string::npos) << ran.out << ran.err;
            backup = ran.out.substr(at + 18, ran.out.find('\n', at) - at - 18);
        } else {
            ran = Ctl(k.option + " backup " + file);
            ASSERT_EQ(ran.code, 0u) << ran.err;
            ran = Ctl(k.option + change);
        }
        EXPECT_EQ(ran.code, 0u) << ran.out << ran.err;
        EXPECT_FALSE(Everyone() == before);
        const std::string text = Utf8Text(ReadAll(backup)).value_or("");
        EXPECT_NE(text.find("\r\n; Restore: morvanectl " + k.named + "restore FILE"),
                  std::string::npos)
            << text.substr(0, 600);
        if (k.signedOut) {
            EXPECT_EQ(RegUnLoadKeyA(HKEY_USERS, kSecondSid), ERROR_SUCCESS);
        }
        ran = Ctl(k.option + " restore " + backup);
        EXPECT_EQ(ran.code, 0u) << ran.out << ran.err;
        EXPECT_NE(ran.out.find("Restored from " + backup), std::string::npos) << ran.out;
        if (k.option == "--all-users") {
            EXPECT_NE(ran.out.find("Profile "s + kSecondSid + "\nRunning reg.exe import"),
                      std::string::npos)
                << ran.out;
        }
        const std::pair<Snapshot, Snapshot> after = Everyone();
        const Snapshot expected = Restored(before.first, after.first);
        EXPECT_TRUE(after.first == expected) << Differences(expected, after.first);
        const Snapshot second = Restored(before.second, after.second);
        EXPECT_TRUE(k.signedOut || after.second == second) << Differences(second, after.second);
        DeleteFileA(backup.c_str());
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry.c_str());
    for (const std::string& path : {hive, folder + "\\NTUSER.DAT", kept})
        DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

// The window's boxes as (page, label) -> checked, read from the real program.
std::map<std::pair<std::string, std::string>, bool> WindowStates() {
    std::map<std::pair<std::string, std::string>, bool> states;
    e2e::Process program(g_window);
    EXPECT_TRUE(program.Started()) << g_window << ": error " << program.StartError();
    HWND hMain = e2e::WaitForMainWindow(program.Id(), 20000);
    EXPECT_TRUE(hMain);
    if (!hMain)
        return states;
    const auto pages = e2e::Pages(hMain);
    for (int page = 0; page < e2e::kPageCount; ++page) {
        EXPECT_TRUE(pages[page]) << page;
        for (int id : e2e::PageBoxes(page)) {
            HWND hBox = GetDlgItem(pages[page], id);
            char text[256] = "";
            GetWindowTextA(hBox, text, sizeof(text));
            states[{kTabs[page], text}] =
                e2e::Send(hBox, BM_GETCHECK, 0, 0).value_or(-1) == BST_CHECKED;
        }
    }
    PostMessageA(GetDlgItem(hMain, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Ended(20000));
    return states;
}

std::map<std::pair<std::string, std::string>, bool> ListedStates(const std::string& json) {
    std::map<std::pair<std::string, std::string>, bool> states;
    const std::regex object(kListedObject);
    for (auto it = std::sregex_iterator(json.begin(), json.end(), object);
         it != std::sregex_iterator(); ++it)
        states[{(*it)[2], (*it)[3]}] = (*it)[4] == "on";
    return states;
}

TEST(ListTest, AgreesWithTheWindowBoxByBox) {
    PrepareAwkward();
    for (const char* preset : {"", "general/store-lm-hash on usability/show-hidden-files on "
                                   "iexplorer/disable-activex on mediaplayer/import-as-mp3 on "
                                   "usability/notepad-in-context-menu off general/prefetch off"}) {
        if (*preset) {
            // The cell writes the machine-wide value; the awkward per-user one
            // still decides.
            const Ran set = Ctl(std::string("set ") + preset);
            ASSERT_EQ(set.code, 3u);
            EXPECT_EQ(set.err, "morvanectl: general/prefetch off: applied, but still reads on: "
                               "HKCU\\" +
                                   PREFETCH +
                                   " : EnablePrefetcher = DWORD 3 decides\n"
                                   "morvanectl: 1 of 6 tweaks had failures\n");
        }
        const Ran ran = Ctl("list --json");
        ASSERT_EQ(ran.code, 0u) << ran.err;
        const auto listed = ListedStates(ran.out);
        EXPECT_EQ(listed.size(), 50u) << ran.out;
        const auto shown = WindowStates();
        EXPECT_EQ(shown.size(), 50u);
        EXPECT_EQ(listed, shown);
        int on = 0;
        for (const auto& [box, checked] : shown)
            on += checked;
        // Both states occur, so agreeing means something.
        EXPECT_GT(on, 5) << preset;
        EXPECT_LT(on, 45) << preset;
    }
}

TEST(ServiceTest, SetWaitsForNetAndReportsItsExitCode) {
    const std::string start = "HKLM\\" + SERVICES + "W32Time";
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", "0");
    size_t logged = LogLines().size();
    Ran ran = Ctl("set services/time-synchronization on");
    EXPECT_EQ(ran.code, 0u) << ran.err;
    EXPECT_NE(ran.out.find("  done: run net.exe START \"W32Time\" (hidden): exit code 0\n"),
              std::string::npos)
        << ran.out;
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), logged + 1);
    EXPECT_EQ(lines.back(), "\"C:\\windows\\system32\\net.exe\" START \"W32Time\"");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, (SERVICES + "W32Time").c_str(), "Start"), Dword(2));

    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", "2");
    ran = Ctl("set services/time-synchronization off usability/show-hidden-files on");
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", nullptr);
    EXPECT_EQ(ran.code, 3u);
    EXPECT_EQ(ran.err, "morvanectl: services/time-synchronization off: run net.exe STOP "
                       "\"W32Time\" (hidden): FAILED: exit code 2\n"
                       "morvanectl: 1 of 2 tweaks had failures\n");
    lines = LogLines();
    ASSERT_EQ(lines.size(), logged + 2);
    EXPECT_EQ(lines.back(), "\"C:\\windows\\system32\\net.exe\" STOP \"W32Time\"");
    // The write before the command was made, and so was the other tweak.
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, (SERVICES + "W32Time").c_str(), "Start"), Dword(3));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
}

// The awkward data without what keeps a tweak from coming out as asked: its
// machine-wide values beside per-user ones, and the per-user value beside
// the machine-wide one that the prefetch cells write.
void PrepareWithoutMachineValues() {
    PrepareAwkward();
    HKEY hPrefetch;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PREFETCH.c_str(), 0, KEY_SET_VALUE, &hPrefetch) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(hPrefetch, "EnablePrefetcher");
        RegCloseKey(hPrefetch);
    }
    for (const auto& [path, value] : kAwkward) {
        if (!path.starts_with("HKLM\\"))
            continue;
        const size_t split = path.rfind("\\:");
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.substr(5, split - 5).c_str(), 0, KEY_SET_VALUE,
                          &hKey) == ERROR_SUCCESS) {
            RegDeleteValueA(hKey, path.substr(split + 2).c_str());
            RegCloseKey(hKey);
        }
    }
}

// A preset of every tweak in one state.
std::string WriteAll(const char* state) {
    const std::string path = "C:\\morvane-ctl-all-"s + state + ".preset";
    std::ofstream out(path, std::ios::binary);
    for (const std::string& name : kAllNames)
        out << name << " = " << state << "\r\n";
    return path;
}

// An apply with a backup of its own, removed afterwards.
Ran Apply(const std::string& preset, const std::string& options = "") {
    const std::string backup = "C:\\morvane-ctl-apply.reg";
    DeleteFileA(backup.c_str());
    Ran ran = Ctl("apply " + preset + " --backup " + backup + options);
    DeleteFileA(backup.c_str());
    return ran;
}

// A second apply of the same preset changes nothing and starts nothing.
TEST(IdempotenceTest, ASecondApplyWritesNothingAndStartsNothing) {
    PrepareWithoutMachineValues();
    for (const char* state : {"on", "off"}) {
        const std::string preset = WriteAll(state);
        Ran ran = Apply(preset);
        EXPECT_EQ(ran.code, 0u) << state << "\n" << ran.err;
        const Snapshot before = Scope();
        const size_t logged = LogLines().size();
        ran = Apply(preset);
        EXPECT_EQ(ran.code, 0u) << state << "\n" << ran.err;
        EXPECT_NE(ran.out.find(": 0 changed, 50 unchanged, 0 failed\n"), std::string::npos)
            << ran.out;
        EXPECT_EQ(ran.out.find("done:"), std::string::npos) << ran.out;
        EXPECT_TRUE(Scope() == before) << state << Differences(before, Scope());
        EXPECT_EQ(LogLines().size(), logged) << state;

        // Forced, every line is performed again: the nine services and the
        // folder handler are started.
        ran = Apply(preset, " --force");
        EXPECT_EQ(ran.code, 0u) << ran.err;
        EXPECT_NE(ran.out.find(": 50 changed, 0 unchanged, 0 failed\n"), std::string::npos)
            << ran.out;
        EXPECT_EQ(LogLines().size(), logged + 10) << state;
        DeleteFileA(preset.c_str());
    }
}

// What a tweak's first condition reads, as show writes it: root, key, name
// and what it wants.
struct Read {
    std::string root, key, name;
    bool differs = false; // "is not"
    bool dword = false;
    DWORD number = 0;
    std::string text;
};

Read FirstCondition(const std::string& name) {
    const Ran shown = Ctl("show " + name);
    const std::regex line(
        R"re(\n  On when:\n    (HK..)\\(.*?) : (.*?) is (not )?(DWORD (\d+)|SZ "(.*)") \(read from (HKLM only|HKCU, else HKLM))re");
    std::smatch m;
    if (!std::regex_search(shown.out, m, line)) {
        ADD_FAILURE() << name << ": no condition in\n" << shown.out;
        return {};
    }
    Read r{m[1], m[2], m[3] == "(default)" ? "" : m[3].str(), m[4].matched, m[6].matched};
    if (r.dword)
        r.number = static_cast<DWORD>(std::stoul(m[6]));
    else
        r.text = m[7];
    return r;
}

// Its state is read from HKCU first, and its cells write HKLM only.
const std::string kWritesOnlyMachineWide = "general/prefetch";

// For each tweak a drift made by changing one value it reads: check names
// that tweak alone and writes nothing; apply then changes that one back.
TEST(CheckProgramTest, EachOfTheFiftyDriftsIsNamedAndNothingIsWritten) {
    PrepareWithoutMachineValues();
    const std::string preset = WriteAll("on");
    Ran ran = Apply(preset);
    ASSERT_EQ(ran.code, 0u) << ran.err;
    ran = Ctl("check " + preset);
    EXPECT_EQ(ran.code, 0u) << ran.out;
    EXPECT_EQ(ran.out, "All 50 tweaks of " + preset + " hold\n");

    for (const std::string& name : kAllNames) {
        const Read read = FirstCondition(name);
        const HKEY root = read.root == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        if (read.dword)
            PutDword(root, read.key.c_str(), read.name.c_str(),
                     read.differs ? read.number : read.number + 1);
        else
            PutString(root, read.key.c_str(), read.name.c_str(), read.text + "-drift");

        const Snapshot before = Scope();
        const size_t logged = LogLines().size();
        ran = Ctl("check " + preset);
        EXPECT_EQ(ran.code, 1u) << name << "\n" << ran.out << ran.err;
        EXPECT_EQ(ran.out.find(name + ": off, wanted on: " + read.root + "\\"), 0u) << name << "\n"
                                                                                    << ran.out;
        EXPECT_NE(ran.out.find("\n1 of 50 tweaks differ from " + preset + "\n"), std::string::npos)
            << name << "\n"
            << ran.out;
        EXPECT_TRUE(Scope() == before) << name << Differences(before, Scope());
        EXPECT_EQ(LogLines().size(), logged) << name;

        ran = Apply(preset);
        if (name == kWritesOnlyMachineWide) {
            // Its per-user drift outlasts the machine-wide write.
            EXPECT_EQ(ran.code, 3u) << ran.out;
            EXPECT_NE(ran.err.find(name + " on: applied, but still reads off: "), std::string::npos)
                << ran.err;
            HKEY hKey;
            ASSERT_EQ(RegOpenKeyExA(root, read.key.c_str(), 0, KEY_SET_VALUE, &hKey),
                      ERROR_SUCCESS);
            RegDeleteValueA(hKey, read.name.c_str());
            RegCloseKey(hKey);
            continue;
        }
        EXPECT_EQ(ran.code, 0u) << name << "\n" << ran.err;
        EXPECT_NE(ran.out.find(": 1 changed, 49 unchanged, 0 failed\n"), std::string::npos)
            << name << "\n"
            << ran.out;
    }
    EXPECT_EQ(Ctl("check " + preset).code, 0u);
    DeleteFileA(preset.c_str());
}

// What Windows reads from the file before it runs it: the manifest and the
// version, and --version agreeing with that.
TEST(ExecutableTest, CarriesItsOwnManifestAndVersion) {
    HMODULE file = LoadLibraryExA(g_ctl.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(file) << g_ctl << ": " << GetLastError();
    HRSRC found = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(file, found))),
                               SizeofResource(file, found));
    FreeLibrary(file);
    for (const char* part : {
             R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
             R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true)"
             R"(</dpiAware>)",
             R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">)"
             R"(PerMonitorV2, system</dpiAwareness>)",
             R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)", // 7
             R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)", // 8
             R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)", // 8.1
             R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)", // 10 and 11
         })
        EXPECT_NE(manifest.find(part), std::string::npos) << part << "\nin\n" << manifest;
    // A console program has no use for the window's Common Controls.
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);

    DWORD ignored = 0;
    std::string version(GetFileVersionInfoSizeA(g_ctl.c_str(), &ignored), '\0');
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoA(g_ctl.c_str(), 0, version.size(), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010005u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    auto text = [&](const char* name) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueA(version.data(), path.c_str(), reinterpret_cast<void**>(&value), &size)
                   ? std::string(value)
                   : std::string("(none)");
    };
    EXPECT_EQ(text("OriginalFilename"), "morvanectl.exe");
    EXPECT_EQ(text("ProductVersion"), "1.5");
    EXPECT_EQ(text("FileVersion"), "1.5.0.0");

    const Ran ran = Ctl("--version");
    EXPECT_EQ(ran.code, 0u);
    EXPECT_EQ(ran.out, "morvanectl " + text("ProductVersion") + "\n");
}

// Both programs carry the release's one version, as Explorer's Details and
// an installer read it.
TEST(ExecutableTest, BothProgramsCarryTheReleasesVersion) {
    struct Program {
        const std::string* path;
        const char* fileName;
        const char* description;
    };
    const Program programs[] = {
        {&g_window, "morvane.exe", "Morvane"},
        {&g_ctl, "morvanectl.exe", "Morvane from the command line"},
    };
    for (const Program& program : programs) {
        SCOPED_TRACE(program.fileName);
        DWORD ignored = 0;
        std::string data(GetFileVersionInfoSizeA(program.path->c_str(), &ignored), '\0');
        ASSERT_FALSE(data.empty());
        ASSERT_TRUE(GetFileVersionInfoA(program.path->c_str(), 0, data.size(), data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010005u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00010005u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0u);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
        const std::pair<const char*, std::string> texts[] = {
            {"CompanyName", "Morvane"},
            {"ProductName", "Morvane"},
            {"ProductVersion", "1.5"},
            {"FileVersion", "1.5.0.0"},
            {"OriginalFilename", program.fileName},
            {"InternalName", program.fileName},
            {"FileDescription", program.description},
            {"LegalCopyright", "Copyright (C) 2026 Morvane"},
        };
        for (const auto& [name, wanted] : texts) {
            char* value = nullptr;
            const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
            ASSERT_TRUE(
                VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size))
                << name;
            EXPECT_EQ(std::string(value), wanted) << name;
        }
    }
}

TEST(RegistrationTest, SetReportsTheExitCodeOfAFailedRegistration) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, STORE.c_str(), "Compressed Folder");
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", "2");
    const size_t logged = LogLines().size();
    const Ran ran = Ctl("set general/compressed-folders on");
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", nullptr);
    EXPECT_EQ(ran.code, 3u) << ran.out;
    EXPECT_EQ(ran.err, "morvanectl: general/compressed-folders on: run regsvr32.exe /s "
                       "C:\\windows\\system32\\zipfldr.dll: FAILED: exit code 2\n"
                       "morvanectl: general/compressed-folders on: not done after that failure: "
                       "set HKCU\\Software\\Quelt : Compressed Folder = SZ \"1\"\n"
                       "morvanectl: 1 of 1 tweaks had failures\n");
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), logged + 1);
    EXPECT_EQ(lines.back(), "\"C:\\windows\\system32\\regsvr32.exe\" /s "
                            "C:\\windows\\system32\\zipfldr.dll");
    // The write after the command, which records the state, was not made:
    // check still sees the difference.
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, STORE.c_str(), "Compressed Folder"));
}

BOOL WINAPI IgnoreBreak(DWORD) {
    return TRUE;
}

// A real Ctrl+C on morvanectl.exe's console while a --hive command waits for
// a program it started: the profile file is unloaded before the process
// ends, so it is free and loads again.
TEST(HiveBreakTest, CtrlCUnloadsTheProfileFile) {
    const std::string hive = "C:\\morvane-ctl-profile.hive";
    MakeHiveFile(hive);
    const char holdName[] = "MorvaneRecorderHold";
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, holdName);
    ASSERT_TRUE(hold);
    SetEnvironmentVariableA("MORVANE_RECORDER_HOLD", holdName);
    const size_t logged = LogLines().size();
    Started ctl("\"" + g_ctl + "\" --hive " + hive + " set general/compressed-folders on",
                CREATE_NEW_CONSOLE);
    SetEnvironmentVariableA("MORVANE_RECORDER_HOLD", nullptr);
    // The recorder has logged its line: morvanectl now waits for it.
    EXPECT_TRUE(e2e::WaitUntil([&] { return LogLines().size() > logged; }, 60000));
    // Each run mounts the file under a name of its own.
    const std::string mount = std::string(kHiveMount) + "." + std::to_string(ctl.Id());
    EXPECT_TRUE(Mounted(mount.c_str()));

    SetConsoleCtrlHandler(IgnoreBreak, TRUE);
    FreeConsole();
    ASSERT_TRUE(AttachConsole(ctl.Id())) << GetLastError();
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    FreeConsole();
    const Ran ran = ctl.Finish(60000);
    SetEvent(hold);
    CloseHandle(hold);
    EXPECT_TRUE(e2e::WaitUntil([] { return e2e::ProcessCount("regsvr32.exe") == 0; }, 30000));
    // Ended by the Ctrl+C while it waited, not by finishing: the write after
    // the program was never made. (Wine 8 ends it with exit code 0, Windows
    // with STATUS_CONTROL_C_EXIT.)
    EXPECT_EQ(ran.out.find("Compressed Folder"), std::string::npos) << ran.out << ran.err;
    EXPECT_FALSE(Mounted(mount.c_str()));

    const Ran again = Ctl("--hive " + hive + " show usability/show-hidden-files");
    EXPECT_EQ(again.code, 0u) << again.err;
    EXPECT_NE(again.out.find("\n  State:    on\n"), std::string::npos) << again.out;
    EXPECT_FALSE(Mounted(mount.c_str()));
    DeleteFileA(hive.c_str());
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: ctl_program_tests morvanectl.exe morvane.exe recorder.exe\n");
        return 2;
    }
    g_ctl = WindowsPath(argv[1]);
    g_window = WindowsPath(argv[2]);
    if (!e2e::InstallRecorder(WindowsPath(argv[3]))) {
        fprintf(stderr, "cannot install the recorder\n");
        return 2;
    }
    return RunSelectedTests();
}
