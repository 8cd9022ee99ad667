// morvanectl's commands run in-process against a sandboxed registry: what
// they print, what they change, and what they refuse to change.
#include "ctl/formats/Backup.h"
#include "ctl/BackupFiles.h"
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/MachineLock.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

// One object of list --json, its fields in order.
// clang-format off
const char kListedObject[] =
    R"re(\{"name": "([^"]*)", "page": "([^"]*)", "label": "([^"]*)", "state": "(on|off)", "rights": "(administrator|user)"\})re";
// clang-format on

const std::string ADVANCED = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string LSA = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
const std::string STORE = "Software\\Quelt";

// The stable names with their page and whether they need rights, in tab
// and template order: scripts and presets depend on them.
struct Listed {
    const char* name;
    const char* page;
    bool admin;
};
// clang-format off
const Listed kListed[] = {
    {"general/compressed-folders", "General", true},
    {"general/store-lm-hash", "General", true},
    {"general/windows-script-host", "General", true},
    {"general/file-association-web-service", "General", false},
    {"general/restrict-null-sessions", "General", true},
    {"general/net-crawling", "General", false},
    {"general/media-sensing", "General", true},
    {"general/prefetch", "General", true},
    {"general/fast-shutdown", "General", false},
    {"general/clear-pagefile-at-shutdown", "General", true},
    {"general/hide-last-user", "General", true},
    {"services/error-reporting", "Services", true},
    {"services/automatic-updates", "Services", true},
    {"services/security-center", "Services", true},
    {"services/time-synchronization", "Services", true},
    {"services/upnp-host", "Services", true},
    {"services/upnp-discovery", "Services", true},
    {"services/rpc-locator", "Services", true},
    {"services/remote-registry", "Services", true},
    {"services/image-acquisition", "Services", true},
    {"iexplorer/disable-automatic-updates", "IExplorer", false},
    {"iexplorer/disable-integrated-authentication", "IExplorer", false},
    {"iexplorer/increase-max-connections", "IExplorer", false},
    {"iexplorer/popups-in-new-tabs", "IExplorer", false},
    {"iexplorer/delete-temporary-files-on-exit", "IExplorer", false},
    {"iexplorer/disable-activex", "IExplorer", false},
    {"iexplorer/disable-javascript", "IExplorer", false},
    {"iexplorer/disable-phishing-filter", "IExplorer", false},
    {"iexplorer/disable-404-search", "IExplorer", false},
    {"iexplorer/blank-home-page", "IExplorer", false},
    {"iexplorer/disable-default-browser-prompt", "IExplorer", false},
    {"iexplorer/disable-information-bar-alert", "IExplorer", false},
    {"mediaplayer/disable-license-acquisition", "Windows MediaPlayer", false},
    {"mediaplayer/import-as-mp3", "Windows MediaPlayer", false},
    {"mediaplayer/dont-add-to-library", "Windows MediaPlayer", false},
    {"mediaplayer/disable-metadata-retrieval", "Windows MediaPlayer", false},
    {"mediaplayer/disable-usage-tracking", "Windows MediaPlayer", false},
    {"mediaplayer/dont-save-recent-files", "Windows MediaPlayer", true},
    {"mediaplayer/disable-codec-downloads", "Windows MediaPlayer", false},
    {"mediaplayer/disable-drm-on-import", "Windows MediaPlayer", false},
    {"usability/disable-disk-space-warning", "Usability", false},
    {"usability/notepad-in-context-menu", "Usability", true},
    {"usability/disable-desktop-cleanup", "Usability", false},
    {"usability/disable-task-grouping", "Usability", false},
    {"usability/classic-start-menu", "Usability", false},
    {"usability/full-path-in-title", "Usability", false},
    {"usability/disable-thumbnail-cache", "Usability", false},
    {"usability/classic-logon", "Usability", true},
    {"usability/show-hidden-files", "Usability", false},
    {"usability/show-file-extensions", "Usability", false},
};
// clang-format on

class CtlTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
};

TEST_F(CtlTest, ListJsonGivesEveryTweakWithExactlyItsFiveFields) {
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 1);
    PutDword(HKEY_LOCAL_MACHINE, LSA.c_str(), "nolmhash", 0);
    // Per-user reads find a machine-wide value too.
    PutDword(HKEY_LOCAL_MACHINE, ADVANCED.c_str(), "HideFileExt", 0);
    // On with nothing stored: the four that test for a value's absence.
    const std::set<std::string> on = {"usability/show-hidden-files",
                                      "general/store-lm-hash",
                                      "usability/show-file-extensions",
                                      "general/windows-script-host",
                                      "general/file-association-web-service",
                                      "general/net-crawling",
                                      "general/media-sensing"};

    const Result r = Ctl({"list", "--json"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_EQ(r.err, "");
    const std::regex object(kListedObject);
    std::vector<std::smatch> objects;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), object);
         it != std::sregex_iterator(); ++it)
        objects.push_back(*it);
    ASSERT_EQ(objects.size(), std::size(kListed)) << r.out;
    for (size_t i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i][1], kListed[i].name);
        EXPECT_EQ(objects[i][2], kListed[i].page) << kListed[i].name;
        EXPECT_EQ(objects[i][4], on.contains(kListed[i].name) ? "on" : "off") << kListed[i].name;
        EXPECT_EQ(objects[i][5], kListed[i].admin ? "administrator" : "user") << kListed[i].name;
    }
    EXPECT_NE(
        r.out.find(R"({"name": "general/store-lm-hash", "page": "General", "label": "LMHash", )"
                   R"("state": "on", "rights": "administrator"})"),
        std::string::npos);
    // One array and nothing else around it.
    EXPECT_TRUE(r.out.starts_with("[\n  {")) << r.out.substr(0, 20);
    EXPECT_TRUE(r.out.ends_with("}\n]\n"));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '{'), 50);

    const Result text = Ctl({"list"});
    EXPECT_EQ(text.code, kDone);
    EXPECT_NE(text.out.find("\n  on  administrator general/store-lm-hash                         "
                            "LMHash\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("  off user          iexplorer/blank-home-page"), std::string::npos);
}

TEST_F(CtlTest, ShowWritesOutWhatATweakReadsAndDoes) {
    const Result r = Ctl({"show", "services/time-synchronization"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_EQ(r.out,
              "services/time-synchronization\n"
              "  Page:     Services\n"
              "  Label:    Time Synchronization\n"
              "  Tooltip:  Windows synchronizing your computer's clock online\n"
              "  State:    off\n"
              "  Rights:   administrator\n"
              "  On when:\n"
              "    HKLM\\System\\CurrentControlSet\\Services\\W32Time : Start is DWORD 2 (read "
              "from HKLM only; missing or not a DWORD reads as 0)\n"
              "  On:\n"
              "    set HKLM\\System\\CurrentControlSet\\Services\\W32Time : Start = DWORD 2\n"
              "    run net.exe START \"W32Time\" (hidden)\n"
              "  Off:\n"
              "    set HKLM\\System\\CurrentControlSet\\Services\\W32Time : Start = DWORD 3\n"
              "    run net.exe STOP \"W32Time\" (hidden)\n");

    const Result verb = Ctl({"show", "usability/notepad-in-context-menu"});
    EXPECT_NE(verb.out.find("    create HKCR\\*\\shell\\edit\\command : (default) = SZ "
                            "\"notepad.exe \"%1\"\"\n"),
              std::string::npos)
        << verb.out;
    EXPECT_NE(verb.out.find("    delete key HKCR\\*\\shell\\edit with its subkeys\n"
                            "    set HKCU\\Software\\Quelt : Edit Window = DWORD 0\n"),
              std::string::npos);

    const Result unknown = Ctl({"show", "usability/show-hiden-files"});
    EXPECT_EQ(unknown.code, kBadInput);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "morvanectl: unknown tweak \"usability/show-hiden-files\"; did you "
                           "mean usability/show-hidden-files?\n");
}

TEST_F(CtlTest, ReferenceIsTheCommittedDocument) {
    std::ifstream in(MORVANE_TWEAKS_DOC, std::ios::binary);
    ASSERT_TRUE(in) << "cannot read " << MORVANE_TWEAKS_DOC;
    std::string committed(std::istreambuf_iterator<char>(in), {});
    std::erase(committed, '\r');
    const Result r = Ctl({"reference"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_TRUE(r.out == committed)
        << "docs/tweaks.md is out of date: regenerate it with `morvanectl reference`";
    EXPECT_NE(committed.find("### `general/compressed-folders`\n\n- Label: Compressed Folders\n"),
              std::string::npos);
    EXPECT_NE(committed.find("  - `run regsvr32.exe /s <system folder>\\zipfldr.dll`\n"),
              std::string::npos);
}

TEST_F(CtlTest, SetPerformsTheCellAndReportsEachPhrase) {
    PutDword(HKEY_CURRENT_USER, STORE.c_str(), "Edit Window", 7);
    Result r = Ctl({"set", "usability/show-hidden-files", "on", "usability/full-path-in-title",
                    "off", "iexplorer/blank-home-page", "off"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    const char* cabinet = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, cabinet, "FullPath"), Dword(0));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, cabinet, "FullPathAddress"), Dword(1));
    EXPECT_EQ(r.out,
              "usability/show-hidden-files = on\n"
              "  done: set HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced "
              ": Hidden = DWORD 1\n"
              "usability/full-path-in-title = off\n"
              "  done: set HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
              "CabinetState : FullPath = DWORD 0\n"
              "  done: set HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
              "CabinetState : FullPathAddress = DWORD 1\n"
              "iexplorer/blank-home-page = off\n"
              "  done: delete HKCU\\Software\\Microsoft\\Internet Explorer\\Main : Start Page "
              "(was not there)\n");

    // The verb: created, then removed with what else was put under it.
    r = Ctl({"set", "usability/notepad-in-context-menu", "on"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CLASSES_ROOT, "*\\shell\\edit\\command", ""), Sz("notepad.exe \"%1\""));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, STORE.c_str(), "Edit Window"), Dword(1));
    PutString(HKEY_CLASSES_ROOT, "*\\shell\\edit\\ddeexec", "", "x");
    r = Ctl({"set", "usability/notepad-in-context-menu", "off"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\edit"));
    r = Ctl({"set", "usability/notepad-in-context-menu", "off"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("  done: delete key HKCR\\*\\shell\\edit with its subkeys (was not "
                         "there)\n"),
              std::string::npos)
        << r.out;
}

TEST_F(CtlTest, SetDryRunAndBadArgumentsChangeNothing) {
    const Snapshot before = sandbox.Snapshot();
    Result r = Ctl(
        {"set", "--dry-run", "general/compressed-folders", "on", "general/store-lm-hash", "off"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_NE(r.out.find("general/compressed-folders = on (dry run)\n  run regsvr32.exe /s "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\\zipfldr.dll\n  set HKCU\\Software\\Quelt : Compressed Folder = SZ "
                         "\"1\"\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("general/store-lm-hash = off (dry run)\n  set "
                         "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa : nolmhash = DWORD 1\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("done"), std::string::npos);

    const std::vector<std::vector<std::string>> bad = {
        {"set"},
        {"set", "usability/show-hidden-files"},
        {"set", "usability/show-hidden-files", "yes"},
        {"set", "usability/show-hidden-files", "on", "show-hiden-files", "on"},
        {"set", "usability/show-hidden-files", "on", "usability/show-hidden-files", "off"},
        {"set", "usability/show-hidden-files", "on", "--force"},
        {"list", "extra"},
        {"frobnicate"},
        {},
    };
    for (const auto& args : bad) {
        r = Ctl(args);
        EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(args);
        EXPECT_NE(r.err, "") << testing::PrintToString(args);
        EXPECT_EQ(r.out.find("done"), std::string::npos);
    }
    r = Ctl({"set", "usability/show-hidden-files", "on", "show-hiden-files", "on"});
    EXPECT_EQ(r.err, "morvanectl: unknown tweak \"show-hiden-files\"; did you mean "
                     "usability/show-hidden-files?\n");
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());

    r = Ctl({"--help"});
    EXPECT_EQ(r.code, kDone);
    for (const char* command : {"list [--json]", "show NAME", "set NAME on|off", "backup FILE",
                                "restore FILE", "save PRESET", "apply PRESET", "reference"})
        EXPECT_NE(r.out.find("  " + std::string(command)), std::string::npos) << command;
}

TEST(CtlWithoutRightsTest, MachineWritesFailByNameAndPerUserWritesAreMade) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    const Result r = Ctl({"set", "general/store-lm-hash", "on", "usability/show-hidden-files", "on",
                          "usability/notepad-in-context-menu", "on",
                          "mediaplayer/"
                          "dont-save-recent-files",
                          "off"});
    EXPECT_EQ(r.code, kSomeFailed);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    // Unlike a click, the store does not record a choice whose verb could
    // not be written: nothing after a failed step of a tweak is made.
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, STORE.c_str(), "Edit Window"));
    std::vector<std::string> failures;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);)
        failures.push_back(line.substr(0, line.find(": FAILED: ")));
    EXPECT_EQ(failures,
              (std::vector<std::string>{
                  "morvanectl: general/store-lm-hash on: set "
                  "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa : nolmhash = DWORD 0",
                  "morvanectl: usability/notepad-in-context-menu on: create HKCR\\*\\shell\\edit : "
                  "(default) = SZ \"Edit\"",
                  "morvanectl: usability/notepad-in-context-menu on: not done after that failure: "
                  "create HKCR\\*\\shell\\edit\\command : (default) = SZ \"notepad.exe \"%1\"\"",
                  "morvanectl: usability/notepad-in-context-menu on: not done after that failure: "
                  "set HKCU\\Software\\Quelt : Edit Window = DWORD 1",
                  "morvanectl: mediaplayer/dont-save-recent-files off: delete "
                  "HKLM\\SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer : disableMRU",
                  "morvanectl: 3 of 4 tweaks had failures"}))
        << r.err;
    // Each failure with the system's reason.
    EXPECT_NE(r.err.find("nolmhash = DWORD 0: FAILED: "), std::string::npos);
    EXPECT_NE(r.err.find("(1018)\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Edit Window"), std::string::npos) << r.out;
}

// Every kind of bad preset line: refused with its line number, and nothing
// changed, no backup written either.
TEST_F(CtlTest, ApplyRefusesABadPresetWhole) {
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 2);
    const Snapshot before = sandbox.Snapshot();
    TempFile preset("bad.preset"), backup("bad.reg");
    const std::string good = "# a preset\nusability/show-hidden-files = on\n\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {good + "usability/show-hiden-files = on\n",
         "line 4: unknown tweak \"usability/show-hiden-files\"; did you mean "
         "usability/show-hidden-files?"},
        {good + "general/store-lm-hash = yes\n",
         "line 4: the state of general/store-lm-hash must be on or off, not \"yes\""},
        {good + "general/store-lm-hash =\n",
         "line 4: the state of general/store-lm-hash must be on or off"},
        {good + "usability/show-hidden-files = off # again\n",
         "line 4: usability/show-hidden-files is given twice (first on line 2)"},
        {good + "general/store-lm-hash on\n", "line 4: expected \"name = on\" or \"name = off\""},
        {good + "general/store-lm-hash = on please\n",
         "line 4: the state of general/store-lm-hash must be on or off, not \"on please\""},
        {good + "general/store-lm-hash = on\x01\n", "line 4: not text"},
        {"usability/show-hidden-files = on\r\nlm-hash = off\r\n",
         "line 2: unknown tweak \"lm-hash\"; did you mean general/store-lm-hash?"},
    };
    for (const auto& [text, message] : cases) {
        preset.Write(text);
        const Result r = Ctl({"apply", preset.path, "--backup", backup.path});
        EXPECT_EQ(r.code, kBadInput) << text;
        EXPECT_NE(r.err.find(preset.path + ": " + message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was applied"), std::string::npos);
        EXPECT_FALSE(backup.Exists());
        EXPECT_TRUE(sandbox.Snapshot() == before)
            << text << Differences(before, sandbox.Snapshot());
    }
    // All faults at once, each with its line.
    preset.Write("a = on\nusability/show-hidden-files = maybe\n#\nb\n");
    Result r = Ctl({"apply", preset.path});
    for (const char* line : {": line 1: ", ": line 2: ", ": line 4: "})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;

    TempFile missing("missing.preset");
    r = Ctl({"apply", missing.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("cannot read " + missing.path), std::string::npos) << r.err;
    EXPECT_FALSE(backup.Exists());
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
}

TEST_F(CtlTest, ApplyBacksUpFirstThenSetsInFileOrder) {
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 2);
    TempFile preset("good.preset"), backup("good.reg");
    preset.Write("\xEF\xBB\xBF# two\r\nusability/show-hidden-files = on\r\n"
                 "  iexplorer/blank-home-page=ON   # comment\r\n");
    Result r = Ctl({"apply", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    EXPECT_EQ(
        GetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
        Sz("about:blank"));
    EXPECT_NE(r.out.find("Backup written to " + backup.path +
                         "\nusability/show-hidden-files = "
                         "on\n"),
              std::string::npos)
        << r.out;
    EXPECT_LT(r.out.find("usability/show-hidden-files = on"),
              r.out.find("iexplorer/blank-home-page = on"));
    EXPECT_NE(
        r.out.find("Applied 2 tweaks from " + preset.path + ": 2 changed, 0 unchanged, 0 failed\n"),
        std::string::npos);
    // The backup holds the state before.
    const std::string backupText = Utf8Text(backup.Read()).value_or("");
    EXPECT_NE(
        backupText.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
                        "\\Explorer\\Advanced]\r\n\"NoNetCrawling\"=-\r\n\"TaskbarGlomming\"=-\r\n"
                        "\"DisableThumbnailCache\"=-\r\n\"Hidden\"=dword:00000002\r\n"),
        std::string::npos)
        << backupText;
    EXPECT_TRUE(KeepForHivex(backup.path, "apply-first"));

    // A backup never replaces a file: then nothing is applied.
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 2);
    const std::string earlier = backup.Read();
    r = Ctl({"apply", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("exists already"), std::string::npos) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(2));
    EXPECT_EQ(backup.Read(), earlier);

    // Save writes what list shows, and applies back to the same.
    TempFile saved("saved.preset");
    r = Ctl({"save", saved.path});
    EXPECT_EQ(r.code, kDone);
    const std::string text = saved.Read();
    EXPECT_NE(text.find("\r\n# Usability\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\niexplorer/blank-home-page = on\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nusability/show-hidden-files = off\r\n"), std::string::npos);
    const std::regex setting("\n[a-z0-9/-]+ = (on|off)\r");
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), setting),
                            std::sregex_iterator()),
              50);
}

// Values as a "Windows Registry Editor Version 5.00" file spells them, type
// and bytes exactly; strings are stored as UTF-16.
TEST(RegLineTest, EveryTypeAndSizeKeepsItsBytes) {
    auto data = [](DWORD type, std::string bytes) { return RegData{type, std::move(bytes)}; };
    // UTF-16 units as bytes, with the terminating NUL.
    auto sz = [](const std::wstring& text) {
        return RegData{REG_SZ, std::string(reinterpret_cast<const char*>(text.c_str()),
                                           (text.size() + 1) * 2)};
    };
    using namespace std::string_literals;
    const std::vector<std::tuple<std::wstring, RegData, std::string>> cases = {
        {L"Hidden", data(REG_DWORD, "\x01\x00\x00\x00"s), R"("Hidden"=dword:00000001)"},
        {L"big", data(REG_DWORD, "\x00\xf4\x01\x80"s), R"("big"=dword:8001f400)"},
        {L"short", data(REG_DWORD, "\x01\x02\x03"s), R"("short"=hex(4):01,02,03)"},
        {L"text", sz(L"C:\\a \"b\""), R"("text"="C:\\a \"b\"")"},
        {L"empty", sz(L""), R"("empty"="")"},
        {L"名前", sz(L"テキスト ключ"), R"("名前"="テキスト ключ")"},
        {L"no terminator", data(REG_SZ, "a\0b\0"s), R"("no terminator"=hex(1):61,00,62,00)"},
        {L"odd", data(REG_SZ, "abc"s), R"("odd"=hex(1):61,62,63)"},
        {L"nothing", data(REG_SZ, ""s), R"("nothing"=hex(1):)"},
        {L"two lines", sz(L"a\nb"), R"("two lines"=hex(1):61,00,0a,00,62,00,00,00)"},
        {L"inner nul", data(REG_SZ, "a\0\0\0b\0\0\0"s),
         R"("inner nul"=hex(1):61,00,00,00,62,00,00,00)"},
        {L"half a pair", data(REG_SZ, "\x3d\xd8\0\0"s), R"("half a pair"=hex(1):3d,d8,00,00)"},
        {L"bin", data(REG_BINARY, "\x00\xff"s), R"("bin"=hex:00,ff)"},
        {L"q", data(REG_QWORD, "\x01\x00\x00\x00\x00\x00\x00\x00"s),
         R"("q"=hex(b):01,00,00,00,00,00,00,00)"},
        {L"multi", data(REG_MULTI_SZ, "a\0\0\0\0\0"s), R"("multi"=hex(7):61,00,00,00,00,00)"},
        {L"expand", data(REG_EXPAND_SZ, "%\0x\0%\0\0\0"s),
         R"("expand"=hex(2):25,00,78,00,25,00,00,00)"},
        {L"none", data(REG_NONE, ""s), R"("none"=hex(0):)"},
        {L"", sz(L"Edit"), R"(@="Edit")"},
        {L"q\"uote\\d", data(REG_DWORD, "\0\0\0\0"s), R"("q\"uote\\d"=dword:00000000)"},
        // Long data wraps as regedit wraps it.
        {L"long", data(REG_BINARY, std::string(30, '\x11')),
         "\"long\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\r\n"
         "  11,11,11,11,11,11,11,11"},
    };
    for (const auto& [name, value, line] : cases)
        EXPECT_EQ(U(RegLine(name, value)), line) << U(name);
}

TEST_F(CtlTest, BackupKeepsBothRootsOfAPerUserReadAndTheVerbWhole) {
    PutString(HKEY_CLASSES_ROOT, "*\\shell\\edit", "", "Bearbeiten");
    PutString(HKEY_CLASSES_ROOT, "*\\shell\\edit\\command", "", "wordpad.exe \"%1\"");
    PutDword(HKEY_CLASSES_ROOT, "*\\shell\\edit\\command", "Extra", 5);
    PutDword(HKEY_LOCAL_MACHINE, ADVANCED.c_str(), "Hidden", 1);
    TempFile file("b.reg");
    const Snapshot before = sandbox.Snapshot();
    const Result r = Ctl({"backup", file.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_TRUE(sandbox.Snapshot() == before);
    const std::string text = Utf8Text(file.Read()).value_or("");
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n\r\n;"))
        << text.substr(0, 40);
    EXPECT_TRUE(KeepForHivex(file.path, "both-roots"));
    EXPECT_NE(text.find("; A restore writes values only: it starts or stops no service"),
              std::string::npos);
    for (const char* section : {
             "\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
             "Advanced]\r\n\"NoNetCrawling\"=-\r\n\"TaskbarGlomming\"=-\r\n"
             "\"DisableThumbnailCache\"=-\r\n\"Hidden\"=-\r\n\"HideFileExt\"=-\r\n\r\n",
             // Only read there: kept because it exists.
             "\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
             "Advanced]\r\n\"Hidden\"=dword:00000001\r\n\r\n",
             "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Lsa]\r\n"
             "\"nolmhash\"=-\r\n\"restrictanonymous\"=-\r\n\r\n",
             "\r\n[HKEY_CURRENT_USER\\Software\\Quelt]\r\n\"Compressed Folder\"=-\r\n\"Edit "
             "Window\"=-\r\n\r\n",
             // The verb exists: it comes back as it was, with no deletion.
             "\r\n\r\n[HKEY_CLASSES_ROOT\\*\\shell\\edit]\r\n@=\"Bearbeiten\"\r\n\r\n"
             "[HKEY_CLASSES_ROOT\\*\\shell\\edit\\command]\r\n@=\"wordpad.exe \\\"%1\\\"\"\r\n"
             "\"Extra\"=dword:00000005\r\n\r\n",
         })
        EXPECT_NE(text.find(section), std::string::npos) << section << "\nin\n" << text;
    // A service start type, read from HKLM alone, is not looked for per user.
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\W32Time]\r\n"
                        "\"Start\"=-\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("[HKEY_CURRENT_USER\\System\\CurrentControlSet\\Services"),
              std::string::npos);
    // A value only read, and missing, needs nothing: a restore must not
    // create its key.
    EXPECT_EQ(text.find("[HKEY_LOCAL_MACHINE\\Control Panel\\Desktop]"), std::string::npos);
    // Keys spelled two ways are one section.
    EXPECT_EQ(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\MediaPlayer\\Preferences]"),
              std::string::npos);

    // A backup never replaces a file.
    const Result again = Ctl({"backup", file.path});
    EXPECT_EQ(again.code, kBadInput);
    EXPECT_EQ(Utf8Text(file.Read()).value_or(""), text);

    PutString(HKEY_CLASSES_ROOT, "*\\shell\\edit", "", "x");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "*\\shell\\edit");
    TempFile without("c.reg");
    EXPECT_EQ(Ctl({"backup", without.path}).code, kDone);
    const std::string withoutText = Utf8Text(without.Read()).value_or("");
    EXPECT_TRUE(withoutText.ends_with("\r\n[-HKEY_CLASSES_ROOT\\*\\shell\\edit]\r\n\r\n"
                                      "; End of the morvanectl backup.\r\n"))
        << withoutText;
    EXPECT_EQ(withoutText.find("[-", withoutText.find("[-") + 1), std::string::npos);
}

// How each command is called, as its usage line, its help and its errors
// say it.
struct CommandUsage {
    const char* name;
    const char* synopsis;
    std::vector<const char*> options; // as its help lists them
    std::vector<std::string> wrongCount;
    const char* countError;
};
// clang-format off
const CommandUsage kUsages[] = {
    {"list", "list [--json]", {"--json"}, {"general/prefetch"}, "list takes no arguments"},
    {"show", "show NAME", {}, {}, "show takes one NAME"},
    {"set", "set NAME on|off [...] [--dry-run]", {"--dry-run"},
     {"general/prefetch", "on", "general/fast-shutdown"}, "set takes pairs of NAME on|off"},
    {"backup", "backup FILE.reg", {}, {"a.reg", "b.reg"}, "backup takes one FILE.reg"},
    {"restore", "restore FILE.reg [--dry-run]", {"--dry-run"}, {}, "restore takes one FILE.reg"},
    {"save", "save PRESET [--force]", {"--force"}, {}, "save takes one PRESET"},
    {"check", "check PRESET [--json]", {"--json"}, {"a.preset", "b.preset"}, "check takes one PRESET"},
    {"apply", "apply PRESET [--backup FILE.reg] [--dry-run] [--all]",
     {"--backup FILE.reg", "--dry-run", "--all"}, {"a.preset", "b.preset"}, "apply takes one PRESET"},
    {"reference", "reference", {}, {"x"}, "reference takes no arguments"},
    {"export", "export ansible|gpp|reg PRESET [OUT] [--force]", {"--force"}, {"ansible"},
     "export takes ansible|gpp|reg PRESET [OUT]"},
    {"keep", "keep [PRESET] [--list] [--remove NAME] [--remove-all]",
     {"--list", "--remove NAME", "--remove-all"},
     {"a.preset", "b.preset"}, "keep takes at most one argument"},
};
// clang-format on

const char kTryHelp[] = "Try \"morvanectl --help\".\n";

TEST_F(CtlTest, EveryCommandHasItsUsageLineHelpAndErrors) {
    const Snapshot before = sandbox.Snapshot();
    const Result usage = Ctl({"--help"});
    ASSERT_EQ(usage.code, kDone);
    // The usage names these commands and no others.
    std::vector<std::string> listed;
    const std::regex commandLine("\n  ([a-z]+)[ \n]");
    for (auto it = std::sregex_iterator(usage.out.begin(), usage.out.end(), commandLine);
         it != std::sregex_iterator(); ++it)
        listed.push_back((*it)[1]);
    std::vector<std::string> names;
    for (const CommandUsage& command : kUsages)
        names.push_back(command.name);
    EXPECT_EQ(listed, names) << usage.out;

    for (const CommandUsage& command : kUsages) {
        const std::string name = command.name;
        const size_t line = usage.out.find("\n  " + std::string(command.synopsis));
        ASSERT_NE(line, std::string::npos) << command.synopsis;
        EXPECT_TRUE(std::isspace(usage.out[line + 3 + strlen(command.synopsis)]))
            << command.synopsis;

        const Result help = Ctl({"help", name});
        EXPECT_EQ(help.code, kDone) << name;
        EXPECT_EQ(help.err, "");
        EXPECT_TRUE(
            help.out.starts_with("Usage: morvanectl " + std::string(command.synopsis) + "\n\n"))
            << help.out;
        for (const char* option : command.options)
            EXPECT_NE(help.out.find("\n  " + std::string(option) + "  "), std::string::npos)
                << name << " " << option << "\n"
                << help.out;
        // Help comes before anything else the arguments ask for.
        const Result asked = Ctl({name, "general/prefetch", "--help"});
        EXPECT_EQ(asked.code, kDone);
        EXPECT_EQ(asked.out, help.out) << name;

        const Result unknown = Ctl({name, "x", "--nope"});
        EXPECT_EQ(unknown.code, kBadInput) << name;
        EXPECT_EQ(unknown.out, "");
        EXPECT_EQ(unknown.err, "morvanectl: unknown option --nope for " + name + "\n" + kTryHelp);

        std::vector<std::string> args = {name};
        args.insert(args.end(), command.wrongCount.begin(), command.wrongCount.end());
        const Result count = Ctl(args);
        EXPECT_EQ(count.code, kBadInput) << name;
        EXPECT_EQ(count.out, "");
        EXPECT_EQ(count.err, "morvanectl: " + std::string(command.countError) + "\n" + kTryHelp);
    }

    const Result value = Ctl({"apply", "a.preset", "--backup"});
    EXPECT_EQ(value.code, kBadInput);
    EXPECT_EQ(value.err, std::string("morvanectl: --backup needs FILE.reg\n") + kTryHelp);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"help", "frobnicate"}, {"help", "set", "list"}}) {
        const Result bad = Ctl(args);
        EXPECT_EQ(bad.code, kBadInput) << testing::PrintToString(args);
        EXPECT_TRUE(bad.err.ends_with(kTryHelp)) << bad.err;
    }
    EXPECT_EQ(Ctl({"--version"}).out, "morvanectl 1.5\n");
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
}

TEST_F(CtlTest, SaveReplacesAFileOnlyWhenToldAndTouchesNoOtherFile) {
    TempFile preset("existing.preset"), beside("existing.preset.new");
    preset.Write("usability/show-hidden-files = on\n");
    beside.Write("someone's notes\n");

    Result r = Ctl({"save", preset.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "morvanectl: " + preset.path + " exists already; save --force replaces it\n");
    EXPECT_EQ(preset.Read(), "usability/show-hidden-files = on\n");

    r = Ctl({"save", "--force", preset.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(r.out, "Preset written to " + preset.path + "\n");
    EXPECT_NE(preset.Read().find("\r\nusability/show-hidden-files = off\r\n"), std::string::npos)
        << preset.Read();
    EXPECT_EQ(beside.Read(), "someone's notes\n");
    // Its own temporary file is gone again.
    EXPECT_FALSE(TempFile("existing.preset.new2").Exists());

    TempFile fresh("fresh.preset");
    r = Ctl({"save", fresh.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_TRUE(fresh.Read().starts_with("# morvanectl preset")) << fresh.Read();
}

// The same words everywhere: on and off and the names in any case, both
// comment marks, one spelling of the rights a tweak needs, and suggestions
// only for names that are close.
TEST_F(CtlTest, OneSetOfWordsForSetPresetsAndEveryListing) {
    Result r =
        Ctl({"set", "Usability/Show-Hidden-Files", "ON", "usability/full-path-in-title", "Off"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState",
                       "FullPath"),
              Dword(0));

    TempFile preset("words.preset"), backup("words.reg");
    preset.Write("; a comment\r\nUSABILITY/show-hidden-files = Off ; why\r\n"
                 "iexplorer/blank-home-page = oN # and why\r\n");
    r = Ctl({"apply", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(2));
    EXPECT_NE(r.out.find("Applied 2 tweaks from "), std::string::npos) << r.out;

    // "general/store-lm-hash" needs administrator rights, "usability/show-hidden-files" not.
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> listings = {
        {{"list"},
         {"  off administrator general/store-lm-hash ", "  off user          usability/show-"}},
        {{"list", "--json"},
         {R"("name": "general/store-lm-hash", "page": "General", "label": "LMHash", "state": )"
          R"("off", "rights": "administrator"})",
          R"("label": "Show hidden files and folders", "state": "off", "rights": "user"})"}},
        {{"show", "general/store-lm-hash"}, {"\n  Rights:   administrator\n"}},
        {{"show", "usability/show-hidden-files"}, {"\n  Rights:   user\n"}},
        {{"reference"},
         {"### `general/store-lm-hash`\n\n- Label: LMHash\n- Tooltip: ",
          "- Rights: administrator\n- On when:\n  - `HKLM\\SYSTEM\\CurrentControlSet\\Control"
          "\\Lsa : nolmhash",
          "### `usability/show-hidden-files`\n\n- Label: Show hidden files and folders\n"}},
    };
    for (const auto& [args, pieces] : listings) {
        r = Ctl(args);
        EXPECT_EQ(r.code, kDone);
        for (const std::string& piece : pieces)
            EXPECT_NE(r.out.find(piece), std::string::npos) << piece << "\nin\n" << r.out;
        for (const char* other : {"admin ", "admin\"", "rights: yes", "Needs rights"})
            EXPECT_EQ(r.out.find(other), std::string::npos) << other << " in " << args[0];
    }
    const std::string reference = Ctl({"reference"}).out;
    const size_t showHidden = reference.find("### `usability/show-hidden-files`");
    EXPECT_EQ(reference.find("- Rights: user\n", showHidden),
              reference.find("- Rights: ", showHidden));

    const std::vector<std::pair<std::string, std::string>> suggestions = {
        {"general/prefetc", "; did you mean general/prefetch?"},
        {"SHOW-HIDDEN-FILE", "; did you mean usability/show-hidden-files?"},
        {"lm-hash", "; did you mean general/store-lm-hash?"},
        {"frobnicate", "; morvanectl list names them all"},
        {"general/zzzzzz", "; morvanectl list names them all"},
        {"show", "; morvanectl list names them all"},
    };
    for (const auto& [name, suggestion] : suggestions) {
        r = Ctl({"show", name});
        EXPECT_EQ(r.code, kBadInput);
        EXPECT_EQ(r.err, "morvanectl: unknown tweak \"" + name + "\"" + suggestion + "\n");
    }
}

// Refused input changes nothing and says so by its exit code.
TEST_F(CtlTest, ADryRunNamesItsBackupAndARestoreRefusesWhatIsNoRegistryFile) {
    const Snapshot before = sandbox.Snapshot();
    TempFile preset("dry.preset"), backup("dry.reg");
    preset.Write("usability/show-hidden-files = on\n");
    Result r = Ctl({"apply", "--dry-run", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_TRUE(r.out.starts_with("Would write the backup to " + backup.path +
                                  "\nusability/show-hidden-files = on (dry run)\n"))
        << r.out;
    EXPECT_FALSE(backup.Exists());
    backup.Write("kept");
    r = Ctl({"apply", "--dry-run", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_EQ(r.err,
              "morvanectl: " + backup.path + " exists already; a backup never replaces a file\n");
    EXPECT_EQ(backup.Read(), "kept");

    TempFile notes("notes.reg");
    for (const std::string& text :
         {std::string("just some text\r\n"), std::string(""), std::string("REGEDIT45\r\n"),
          std::string("\xFF\xFEW\0i\0n\0", 8)}) {
        notes.Write(text);
        r = Ctl({"restore", notes.path});
        EXPECT_EQ(r.code, kBadInput) << text;
        EXPECT_EQ(r.out, "");
        // Refused at its first line, before reg.exe is started.
        EXPECT_TRUE(r.err.starts_with("morvanectl: " + notes.path + ": line 1: ")) << r.err;
        EXPECT_TRUE(r.err.ends_with("\nmorvanectl: nothing was restored\n")) << r.err;
    }
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
}

// Careless and hostile command lines: an option's value that is another
// option, an empty path, a SID the system would read as another one, and
// control characters that a message must not hand to the terminal. Each is
// a usage or input error that changes nothing and writes no file.
TEST_F(CtlTest, OptionValuesEmptyPathsAndBadSidsAreRefusedChangingNothing) {
    TempFile preset("parsing.preset"), percent("50%.preset");
    preset.Write("usability/show-hidden-files = on\n");
    percent.Write("usability/show-hidden-files = on\n");
    const std::string P = preset.path;
    struct Case {
        std::vector<std::string> args;
        std::string err; // the first line of standard error
    };
    // clang-format off
    const Case cases[] = {
        {{"apply", "--backup", "--dry-run", P}, "morvanectl: --backup needs FILE.reg\n"},
        {{"apply", P, "--backup", ""}, "morvanectl: --backup needs FILE.reg\n"},
        {{"apply", P, "--backup", "--force"}, "morvanectl: --backup needs FILE.reg\n"},
        {{"export", "gpp", P, ""}, "morvanectl: export takes no empty argument\n"},
        {{"export", "ansible", P, ""}, "morvanectl: export takes no empty argument\n"},
        {{"save", ""}, "morvanectl: save takes no empty argument\n"},
        {{"--hive", "--dry-run", "apply", P}, "morvanectl: --hive needs a profile file\n"},
        {{"apply", P, "--user", "--dry-run"}, "morvanectl: --user needs a user name or SID\n"},
        {{"--user", "S-1-5-21-4294967296-1", "export", "ansible", P},
         "morvanectl: \"S-1-5-21-4294967296-1\" is not a valid SID (the system reads it as "
         "S-1-5-21-4294967295-1)\n"},
        {{"--user", "S-1-5-021-7", "export", "gpp", P, "gpo"},
         "morvanectl: \"S-1-5-021-7\" is not a valid SID (the system reads it as S-1-5-21-7)\n"},
        {{"set", "\x1b[2Jusability/x\r\n", "on"},
         "morvanectl: unknown tweak \"\\x1B[2Jusability/x\\r\\n\""},
        {{"fr\x1b]0;t\x07ob"}, "morvanectl: unknown command \"fr\\x1B]0;t\\x07ob\"\n"},
        {{"export", "ansible", P, "C:\\no-such\x1b[2J\\p.yml"},
         "morvanectl: cannot write C:\\no-such\\x1B[2J\\p.yml: "},
        {{"check", P + "\xe2\x80\xa8x"}, "morvanectl: cannot read " + P + "\\u2028x: "},
        {{"--user", "S-1-5-18", "export", "ansible", P},
         "morvanectl: \"S-1-5-18\" is not a user account's SID\n"},
        {{"--user", "S-1-1-0", "export", "ansible", P},
         "morvanectl: \"S-1-1-0\" is not a user account's SID\n"},
        {{"--user", "S-1-5-32-544", "export", "gpp", P, "gpo"},
         "morvanectl: \"S-1-5-32-544\" is not a user account's SID\n"},
        {{"--user", "S-1-5-21-1-2-3-1001", "keep", P}, "morvanectl: keep takes no --user or --hive\n"},
        {{"keep", "--list", "--hive", "x.dat"}, "morvanectl: keep takes no --user or --hive\n"},
        {{"keep", "--remove", "CON"}, "morvanectl: no preset named \"CON\" is kept; see keep --list\n"},
        {{"keep", percent.path},
         "morvanectl: " + percent.path + ": its name cannot name a task; nothing was registered\n"},
        {{"apply", P, "--backup", "a.reg", "--backup", "b.reg"}, "morvanectl: give one --backup\n"},
        {{"keep", "--remove", "a", "--remove", "b"}, "morvanectl: give one --remove\n"},
        {{"export", "ansible", P, "NUL"},
         "morvanectl: NUL names a device, not a file; nothing was exported\n"},
        {{"save", "CON"}, "morvanectl: CON names a device, not a file\n"},
        {{"save", "C:\\windows"}, "morvanectl: C:\\windows is a folder\n"},
    };
    // clang-format on
    const Snapshot before = sandbox.Snapshot();
    for (const Case& c : cases) {
        const Result r = Ctl(c.args);
        EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(c.args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(c.args);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << testing::PrintToString(c.args);
        EXPECT_EQ(r.err.find_first_of("\x1b\r\x07"), std::string::npos) << r.err;
        EXPECT_TRUE(sandbox.Snapshot() == before) << testing::PrintToString(c.args);
        // Nothing written under a value taken for a name, or at the drive's root.
        for (const char* made : {"--dry-run", "--force", "\\Machine", "\\User", "gpo"}) {
            EXPECT_EQ(GetFileAttributesA(made), INVALID_FILE_ATTRIBUTES) << made;
            DeleteFileA(made);
        }
    }
}

// Text from outside, wherever morvanectl writes it, goes through one rule:
// nothing of it moves the terminal's cursor, shows text in another order or
// starts a line, of the output, the kept log or a backup's notes.
TEST_F(CtlTest, TextFromOutsideIsEscapedInEveryPlaceItIsWritten) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"a\x1b[31mb", "a\\x1B[31mb"},
        {"a\nforged\tline", "a\\nforged\\tline"},
        {"a\r\nb\x7f", "a\\r\\nb\\x7F"},
        {"a\xc2\x85" "b\xc2\x9b", "a\\u0085b\\u009B"},
        {"a\xe2\x80\xa8" "b", "a\\u2028b"},
        {"a\xe2\x80\xae" "b", "a\\u202Eb"},
        {"a\xe2\x81\xa6" "b\xe2\x81\xa9", "a\\u2066b\\u2069"},
        {"a\xe2\x80\x8f\xd8\x9c" "b", "a\\u200F\\u061Cb"},
    };
    const char* const raw[] = {"\x1b", "\x7f", "\xc2\x85", "\xc2\x9b", "\xe2\x80\xa8", "\xe2\x80\xae",
                               "\xe2\x81\xa6", "\xe2\x81\xa9", "\xe2\x80\x8f", "\xd8\x9c"};
    // clang-format on
    TempFile preset("escaped.preset");
    preset.Write("usability/show-hidden-files = on\n");
    // A kept preset's run logs why it failed: its backup cannot go below a file.
    const std::string kept = KeptPresetFile("escaped.preset", "general/store-lm-hash = on\n");
    ASSERT_NE(kept, "");
    auto log = [] {
        std::ifstream in(KeptLogPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string logBefore = log();
    for (const auto& [text, shown] : cases) {
        SCOPED_TRACE(shown);
        const std::string logged = log();
        Ctl({"--all-users", "apply", kept, "--all", "--backup",
             preset.path + "\\" + text + ".reg"});
        // Each place: what it wrote, and the line the text must stay inside.
        const std::tuple<const char*, std::string, std::string, std::string> sinks[] = {
            {"standard output",
             Ctl({"apply", "--dry-run", preset.path, "--backup", "C:\\x\\" + text + ".reg"}).out,
             "\nWould write the backup to C:\\x\\", ".reg\n"},
            {"standard error", Ctl({"show", text}).err, "\nmorvanectl: unknown tweak \"", "\""},
            {"export's messages",
             Ctl({"export", "ansible", preset.path, "C:\\no-such\\" + text + "\\p.yml"}).err,
             "\nmorvanectl: cannot write C:\\no-such\\", "\\p.yml: "},
            {"the kept log", log().substr(logged.size()),
             "\tescaped\t-\t-\t-\tfailed: no backup: cannot write " + preset.path + "\\", ".reg"},
            {"a backup's notes", U(RegComment(text)) + "\r\n", "\n; ", "\r\n"},
        };
        for (const auto& [sink, written, before, after] : sinks) {
            EXPECT_NE(("\n" + written).find(before + shown + after), std::string::npos)
                << sink << ":\n"
                << written;
            for (const char* c : raw)
                EXPECT_EQ(written.find(c), std::string::npos) << sink << ":\n" << written;
        }
        const std::string line = log().substr(logged.size());
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    }
    DeleteFileA(kept.c_str());
    std::ofstream(KeptLogPath(), std::ios::binary) << logBefore;
}

// While one command changes the machine, another that would change it waits,
// then gives up naming the holder; dry runs and reading go ahead.
TEST_F(CtlTest, CommandsThatChangeTheMachineWaitForTheLockAndNameItsHolder) {
    TempFile preset("locked.preset"), backup("locked.reg"), applied("locked-apply.reg");
    preset.Write("usability/show-hidden-files = on\n");
    ASSERT_EQ(Ctl({"backup", backup.path}).code, kDone);
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        MachineLock lock;
        std::string who;
        EXPECT_TRUE(lock.Acquire("apply other.preset", &who)) << who;
        SetEvent(held);
        WaitForSingleObject(release, INFINITE);
    });
    ASSERT_EQ(WaitForSingleObject(held, 60000), WAIT_OBJECT_0);
    const DWORD wait = g_machineLockWaitMs;
    g_machineLockWaitMs = 200;
    const std::string refusal = "morvanectl: process " + std::to_string(GetCurrentProcessId()) +
                                ": apply other.preset is changing the machine; gave up after "
                                "waiting 1 s, nothing was done\n";
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"set", "usability/show-hidden-files", "on"}, kBadInput},
        {{"apply", preset.path, "--backup", applied.path}, kBadInput},
        {{"restore", backup.path}, kBadInput},
        {{"set", "usability/show-hidden-files", "on", "--dry-run"}, kDone},
        {{"apply", preset.path, "--dry-run"}, kDone},
        {{"restore", "--dry-run", backup.path}, kDone},
        {{"check", preset.path}, kDiffers},
    };
    const Snapshot before = sandbox.Snapshot();
    for (const auto& [args, code] : cases) {
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, code) << testing::PrintToString(args) << r.err;
        EXPECT_EQ(r.err, code == kBadInput ? refusal : "") << testing::PrintToString(args);
        EXPECT_TRUE(sandbox.Snapshot() == before) << testing::PrintToString(args);
        EXPECT_FALSE(applied.Exists());
    }
    // Given up within the wait, the lock is taken by the next command.
    g_machineLockWaitMs = 60000;
    std::thread releaser([&] {
        Sleep(300);
        SetEvent(release);
    });
    const Result r = Ctl({"set", "usability/show-hidden-files", "on"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    releaser.join();
    holder.join();
    g_machineLockWaitMs = wait;
    CloseHandle(held);
    CloseHandle(release);
}

// Run only as the helper process of the test below: takes the lock, then
// ends without giving it up, as a run that was killed.
TEST(MachineLockHolder, DISABLED_TakesTheLockAndEnds) {
    MachineLock lock;
    std::string who;
    if (lock.Acquire("apply killed.preset", &who))
        TerminateProcess(GetCurrentProcess(), 3);
    FAIL() << who;
}

// A run that held the lock and was killed leaves it abandoned to the runs
// waiting for it, which keep it in being: the next command takes it over.
TEST_F(CtlTest, ALockWhoseHolderDiedIsTakenOver) {
    const HANDLE waiting = CreateMutexA(nullptr, FALSE, "Global\\Morvane.MachineLock");
    ASSERT_TRUE(waiting);
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof(exe));
    std::string line = std::string("\"") + exe +
                       "\" --gtest_filter=MachineLockHolder.* --gtest_also_run_disabled_tests";
    STARTUPINFOA si{sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES; // its output is of no use here
    si.hStdInput = si.hStdOutput = si.hStdError = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi));
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u) << "the helper did not end holding the lock";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    const DWORD wait = g_machineLockWaitMs;
    g_machineLockWaitMs = 200;
    const Result r = Ctl({"set", "usability/show-hidden-files", "on"});
    g_machineLockWaitMs = wait;
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden"), Dword(1));
    CloseHandle(waiting);
}

} // namespace
