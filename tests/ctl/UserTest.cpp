// Another user's settings through --user and --hive: the commands change
// that hive and nothing of the caller's, a loaded file is always unloaded,
// and LocalSystem does not write per-user values into its own profile.
#include "ctl/BackupFiles.h"
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/HiveFiles.h"
#include "ctl/scopes/Whose.h"
#include "support/RegistrySandbox.h"
#include "system/RegLinks.h"
#include "system/Registry.h"
#include "system/Shell.h"
#include "system/UserHive.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstring>
#include <map>
#include <memory>

namespace {

const char kOtherSid[] = "S-1-5-21-3623811015-3361044348-30300820-1013";
const char kAdvanced[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const char kLsa[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";

using Snapshot = std::map<std::string, RegValue>;

// Any key below HKEY_USERS that a profile file is loaded as.
bool AnyHiveMounted() {
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(HKEY_USERS, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return false;
        if (_strnicmp(name, kHiveMount, strlen(kHiveMount)) == 0)
            return true;
    }
}

Snapshot UsersKey(const char* below) {
    Snapshot out;
    SnapshotKey(HKEY_USERS, below, "HKU\\", out);
    return out;
}

// A second signed-in user: a hive of its own loaded under HKEY_USERS\<SID>.
class OtherUserTest : public testing::Test {
protected:
    TempFile file{"other-user.hive"};
    RegistrySandbox sandbox;
    HKEY hOther = nullptr;

    void SetUp() override {
        MakeHiveFile(file.path);
        ASSERT_EQ(RegLoadKeyA(HKEY_USERS, kOtherSid, file.path.c_str()), ERROR_SUCCESS);
        ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, kOtherSid, 0, KEY_ALL_ACCESS, &hOther), ERROR_SUCCESS);
    }
    void TearDown() override {
        if (hOther)
            RegCloseKey(hOther);
        RegUnLoadKeyA(HKEY_USERS, kOtherSid);
    }
};

TEST_F(OtherUserTest, SetListBackupAndRestoreWorkOnThatHiveOnly) {
    PutDword(HKEY_CURRENT_USER, kAdvanced, "HideFileExt", 0);
    const Snapshot mine = sandbox.Snapshot();

    // The hive holds Hidden = 1: on for that user, off for the caller.
    Result r = Ctl({"--user", kOtherSid, "show", "usability/show-hidden-files"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("  State:    on\n"), std::string::npos) << r.out;
    r = Ctl({"show", "usability/show-hidden-files"});
    EXPECT_NE(r.out.find("  State:    off\n"), std::string::npos) << r.out;
    r = Ctl({"list", "--json", "--user", kOtherSid});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("{\"name\": \"usability/show-file-extensions\", \"page\": \"Usability\", "
                         "\"label\": \"Show all file extensions\", \"state\": \"off\""),
              std::string::npos)
        << r.out;

    r = Ctl({"--user", kOtherSid, "set", "usability/show-file-extensions", "on",
             "usability/disable-task-grouping", "on"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(hOther, kAdvanced, "HideFileExt"), Dword(0));
    EXPECT_EQ(GetValue(hOther, kAdvanced, "TaskbarGlomming"), Dword(0));
    EXPECT_TRUE(sandbox.Snapshot() == mine);
    // The caller's own HKEY_CURRENT_USER is back once the command ends.
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "HideFileExt"), Dword(0));
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, kAdvanced, "TaskbarGlomming"));

    TempFile backup("other-user.reg");
    r = Ctl({"--user", kOtherSid, "backup", backup.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    const std::string text = Utf8Text(backup.Read()).value_or("");
    const std::string root = std::string("[HKEY_USERS\\") + kOtherSid + "\\";
    EXPECT_NE(text.find(root + kAdvanced +
                        "]\r\n\"NoNetCrawling\"=-\r\n\"TaskbarGlomming\"="
                        "dword:00000000\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(root + "Software\\Quelt]\r\n"), std::string::npos);
    EXPECT_EQ(text.find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_TRUE(sandbox.Snapshot() == mine);

    // The system's reg.exe puts that user's values back, in that hive. Only
    // the per-user sections go: the machine-wide ones would reach the real
    // prefix's HKLM, which this process does not see.
    std::string perUser = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at + 1))
        perUser += text.substr(at, text.find("\r\n\r\n", at) + 4 - at);
    perUser += "; End of the morvanectl backup.\r\n";
    TempFile restore("other-user-only.reg");
    restore.Write(Utf16File(perUser));
    r = Ctl({"--user", kOtherSid, "set", "usability/disable-task-grouping", "off",
             "usability/show-hidden-files", "off"});
    ASSERT_EQ(r.code, kDone) << r.err;
    EXPECT_FALSE(GetValue(hOther, kAdvanced, "TaskbarGlomming"));
    r = Ctl({"--user", kOtherSid, "restore", restore.path});
    EXPECT_EQ(r.code, kDone) << r.out << r.err;
    EXPECT_EQ(GetValue(hOther, kAdvanced, "TaskbarGlomming"), Dword(0));
    EXPECT_EQ(GetValue(hOther, kAdvanced, "Hidden"), Dword(1));
    EXPECT_TRUE(sandbox.Snapshot() == mine);

    // The caller's backup names the caller's keys: not for another user.
    TempFile own("own.reg");
    ASSERT_EQ(Ctl({"backup", own.path}).code, kDone);
    const Snapshot theirs = UsersKey(kOtherSid);
    r = Ctl({"--user", kOtherSid, "restore", own.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("HKEY_CURRENT_USER"), std::string::npos) << r.err;
    EXPECT_TRUE(UsersKey(kOtherSid) == theirs);
}

// A backup's per-user sections alone: the machine-wide ones would reach the
// real prefix's HKLM, which this process does not see.
std::string PerUserPart(const std::string& text, const std::string& root) {
    std::string perUser = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at + 1))
        perUser += text.substr(at, text.find("\r\n\r\n", at) + 4 - at);
    return perUser + "; End of the morvanectl backup.\r\n";
}

RunResult WritesNothing(const char*, const std::wstring&, int, DWORD) {
    return {.outcome = RunResult::Ended};
}
RunResult FailsWritingNothing(const char*, const std::wstring&, int, DWORD) {
    return {.outcome = RunResult::Ended, .exitCode = 1};
}

// reg.exe's exit code alone is not trusted: what the backup holds is read
// back after the import, and every value still different is named with the
// key it really is in, that user's hive, as check and the dry run name it.
TEST_F(OtherUserTest, RestoreReadsBackWhatTheImportLeftNamingTheUsersKeys) {
    const std::string key = std::string("HKU\\") + kOtherSid + "\\" + kAdvanced;
    ASSERT_EQ(Ctl({"--user", kOtherSid, "set", "usability/show-file-extensions", "on"}).code,
              kDone);
    TempFile backup("readback.reg"), file("readback-user.reg"), preset("readback.preset");
    ASSERT_EQ(Ctl({"--user", kOtherSid, "backup", backup.path}).code, kDone);
    file.Write(Utf16File(PerUserPart(Utf8Text(backup.Read()).value_or(""),
                                     std::string("[HKEY_USERS\\") + kOtherSid + "\\")));
    preset.Write("usability/show-file-extensions = on\n");
    const std::string left = "morvanectl: after reg.exe import (exit code %), 1 values still "
                             "differ from " +
                             file.path + ":\nmorvanectl:   not restored: set " + key +
                             " : HideFileExt = DWORD 0 (now DWORD 1)\n";
    auto exitCode = [&](char code) {
        std::string text = left;
        text[text.find('%')] = code;
        return text;
    };
    struct Case {
        const char* what;
        RunAndWaitWideFn regExe;
        int code;
        std::string err;
    };
    const Case cases[] = {
        {"reg.exe writes nothing and ends with 0", WritesNothing, kSomeFailed, exitCode('0')},
        {"reg.exe fails", FailsWritingNothing, kSomeFailed,
         "morvanectl: reg.exe import failed with exit code 1\n" + exitCode('1')},
        {"the system's reg.exe", g_pfnRunAndWaitWide, kDone, ""},
    };
    const RunAndWaitWideFn previous = g_pfnRunAndWaitWide;
    for (const Case& c : cases) {
        ASSERT_EQ(Ctl({"--user", kOtherSid, "set", "usability/show-file-extensions", "off"}).code,
                  kDone);
        Result r = Ctl({"--user", kOtherSid, "restore", "--dry-run", file.path});
        EXPECT_NE(r.out.find("\n  set " + key + " : HideFileExt = DWORD 0 (now DWORD 1)\n"),
                  std::string::npos)
            << c.what << "\n"
            << r.out;
        r = Ctl({"--user", kOtherSid, "check", preset.path});
        EXPECT_EQ(r.out, "usability/show-file-extensions: off, wanted on: " + key +
                             " : HideFileExt = DWORD 1 decides\n1 of 1 tweaks differ from " +
                             preset.path + "\n")
            << c.what;
        g_pfnRunAndWaitWide = c.regExe;
        r = Ctl({"--user", kOtherSid, "restore", file.path});
        g_pfnRunAndWaitWide = previous;
        EXPECT_EQ(r.code, c.code) << c.what << "\n" << r.out << r.err;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(GetValue(hOther, kAdvanced, "HideFileExt"), Dword(c.code == kDone ? 0 : 1))
            << c.what;
    }
    EXPECT_EQ(Ctl({"--user", kOtherSid, "check", preset.path}).code, kDone);
}

TEST_F(OtherUserTest, AnAccountNameMeansItsSidAndBadUsersChangeNothing) {
    char name[256];
    DWORD size = sizeof(name);
    ASSERT_TRUE(GetUserNameA(name, &size));
    std::string sid, error;
    ASSERT_TRUE(ResolveUserSid(name, &sid, &error)) << error;
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[256];
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length));
    CloseHandle(token);
    char* own = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &own));
    EXPECT_EQ(sid, own);
    LocalFree(own);
    EXPECT_TRUE(ResolveUserSid(kOtherSid, &sid, &error));
    EXPECT_EQ(sid, kOtherSid);

    const Snapshot mine = sandbox.Snapshot(), theirs = UsersKey(kOtherSid);
    const std::vector<std::vector<std::string>> bad = {
        {"--user", "no-such-user-anywhere", "set", "usability/show-hidden-files", "on"},
        {"--user", "S-1-5-21-1-2-3-4242", "set", "usability/show-hidden-files", "on"},
        {"--user", "S-1-x", "set", "usability/show-hidden-files", "on"},
        {"set", "usability/show-hidden-files", "on", "--user"},
        {"--user", kOtherSid, "--user", kOtherSid, "list"},
        {"--user", kOtherSid, "--hive", file.path, "list"},
        {"--user", kOtherSid, "set", "usability/show-hidden-files", "maybe"},
    };
    for (const auto& args : bad) {
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_TRUE(sandbox.Snapshot() == mine) << testing::PrintToString(args);
        EXPECT_TRUE(UsersKey(kOtherSid) == theirs) << testing::PrintToString(args);
    }
    Result r = Ctl(bad[0]);
    EXPECT_EQ(r.err.find("morvanectl: unknown user \"no-such-user-anywhere\""), 0u) << r.err;
    r = Ctl(bad[1]);
    EXPECT_NE(r.err.find("S-1-5-21-1-2-3-4242 has no loaded profile under HKEY_USERS"),
              std::string::npos)
        << r.err;
}

// A link made after the profile was looked at (while its user is signed in)
// is not followed either: each key below HKEY_CURRENT_USER is opened one name
// at a time, as itself.
TEST_F(OtherUserTest, ALinkMadeOnceTheHiveIsOpenIsNotFollowed) {
    const char victim[] = "Software\\MorvaneVictim";
    const char cabinet[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";
    PutDword(HKEY_LOCAL_MACHINE, victim, "FullPath", 1);
    UserHive hive;
    std::string error;
    ASSERT_TRUE(hive.OpenUser(kOtherSid, &error)) << error;
    EXPECT_EQ(LinkRefusal(), "");
    MakeLink(hOther, cabinet, SandboxMachineTarget(sandbox, victim));
    const Snapshot before = sandbox.Snapshot();
    const DWORD one = 1;
    EXPECT_EQ(SetUserValue(HKCU, Key(cabinet), "FullPathAddress", REG_DWORD, &one, 4), kLinkOnPath);
    EXPECT_EQ(DeleteRegValue(HKCU, Key(cabinet), "FullPath"), kLinkOnPath);
    bool found = true;
    RegData data;
    EXPECT_EQ(ReadRegValue(HKCU, cabinet, "FullPath", &found, &data), kLinkOnPath);
    EXPECT_FALSE(found);
    EXPECT_TRUE(sandbox.Snapshot() == before);
    EXPECT_TRUE(hive.Close(&error)) << error;
}

// A profile file is loaded for one command and unloaded on every path.
class HiveFileTest : public testing::Test {
protected:
    TempFile file{"profile.hive"};
    RegistrySandbox sandbox;
    void SetUp() override { MakeHiveFile(file.path); }
    void TearDown() override { EXPECT_FALSE(AnyHiveMounted()) << "left loaded"; }
};

TEST_F(HiveFileTest, ReadsListsAndBacksUpTheFileAndUnloadsIt) {
    const Snapshot mine = sandbox.Snapshot();
    Result r = Ctl({"--hive", file.path, "show", "usability/show-hidden-files"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("  State:    on\n"), std::string::npos) << r.out;
    EXPECT_FALSE(AnyHiveMounted());

    r = Ctl({"--hive", file.path, "list", "--json"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("\"name\": \"usability/show-hidden-files\", \"page\": \"Usability\", "
                         "\"label\": \"Show hidden files and folders\", \"state\": \"on\""),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(AnyHiveMounted());

    TempFile backup("profile.reg");
    r = Ctl({"--hive", file.path, "backup", backup.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    const std::string profile = Utf8Text(backup.Read()).value_or("");
    EXPECT_NE(profile.find(std::string("[HKEY_USERS\\") + kHiveMount + "\\" + kAdvanced +
                           "]\r\n\"NoNetCrawling\"=-\r\n\"TaskbarGlomming\"=-\r\n"
                           "\"DisableThumbnailCache\"=-\r\n\"Hidden\"=dword:00000001\r\n"),
              std::string::npos)
        << profile;
    EXPECT_EQ(profile.find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_TRUE(sandbox.Snapshot() == mine);

    // An input error after the load still unloads it.
    r = Ctl({"--hive", file.path, "set", "usability/show-hiden-files", "on"});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_FALSE(AnyHiveMounted());
    EXPECT_TRUE(sandbox.Snapshot() == mine);
}

// Paths outside the code page, for the profile file and for the files the
// commands read and write with it, one command after the other.
struct WidePathCase {
    std::vector<std::string> args; // "H", "P", "B", "A" stand for the files below
    const char* out;               // found in what the command writes
};

TEST_F(HiveFileTest, ProfileFilePresetAndBackupNamedOutsideTheCodePage) {
    const std::string folder = file.path.substr(0, file.path.rfind('\\') + 1);
    const std::string stem = folder + "morvanectl-" + std::to_string(GetCurrentProcessId());
    const std::string hive = stem + "-hive-é.dat", preset = stem + "-пресет-名前.preset",
                      backup = stem + "-résumé-バックアップ.reg", second = stem + "-ø.reg";
    ASSERT_TRUE(MoveFileExW(W(file.path).c_str(), W(hive).c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::map<std::string, std::string> named = {
        {"H", hive}, {"P", preset}, {"B", backup}, {"A", second}};
    // clang-format off
    const WidePathCase cases[] = {
        {{"--hive", "H", "show", "usability/show-hidden-files"}, "  State:    on\n"},
        {{"--hive", "H", "save", "P"}, "Preset written to "},
        {{"--hive", "H", "check", "P"}, "All 50 tweaks of "},
        {{"--hive", "H", "backup", "B"}, "Backup written to "},
        {{"--hive", "H", "restore", "--dry-run", "B"}, " would change nothing\n"},
        {{"--hive", "H", "apply", "P", "--backup", "A"}, ": 0 changed, 50 unchanged, 0 failed\n"},
        {{"--hive", "H", "set", "usability/show-hidden-files", "off"}, "  done: "},
    };
    // clang-format on
    // Wine does not write a loaded profile file back: the set comes last.
    for (const WidePathCase& c : cases) {
        const std::vector<std::string> args = Substituted(c.args, named);
        SCOPED_TRACE(testing::PrintToString(args));
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, kDone) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_FALSE(AnyHiveMounted());
    }
    for (const std::string& path : {hive, preset, backup, second})
        EXPECT_TRUE(DeleteFileW(W(path).c_str())) << path;
}

// A run killed while it had a profile file loaded leaves it loaded. The
// next run unloads every mount of ours whose process has ended, keeps those
// of running processes and names that are not ours, and works. A mount whose
// name holds no process id may be anyone's live one: it stays, named.
TEST_F(HiveFileTest, MountsLeftByRunsThatEndedAreUnloadedAndTheNextRunWorks) {
    const std::string ended = std::to_string(EndedProcessId());
    const std::string running = std::to_string(GetCurrentProcessId());
    const std::pair<std::string, bool> mounts[] = {
        {"Morvane.Hive", false},
        {"Morvane.Hive." + ended, true},
        {"Morvane.Hive." + ended + ".2", true},
        {"Morvane.Hive." + running + ".3", false},
        {"Morvane.Hive." + ended + ".x", false},
        {"Morvane.Hive.x", false},
        {"Morvane.HiveX", false},
    };
    std::vector<std::unique_ptr<TempFile>> files;
    for (const auto& [name, stale] : mounts) {
        files.push_back(std::make_unique<TempFile>("stale-" + std::to_string(files.size())));
        MakeHiveFile(files.back()->path);
        ASSERT_EQ(RegLoadKeyA(HKEY_USERS, name.c_str(), files.back()->path.c_str()), ERROR_SUCCESS)
            << name;
    }
    const Result r = Ctl({"--hive", file.path, "show", "usability/show-hidden-files"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("  State:    on\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "morvanectl: HKEY_USERS\\Morvane.Hive is loaded, and its name tells no run "
                     "of morvanectl: left alone\n");
    EnableHivePrivileges(); // the run gave them up
    for (const auto& [name, stale] : mounts) {
        EXPECT_EQ(Mounted(name.c_str()), !stale) << name;
        RegUnLoadKeyA(HKEY_USERS, name.c_str());
    }
}

TEST_F(HiveFileTest, CtrlCUnloadsTheFileAndGivesTheCallerBackHisKeys) {
    PutDword(HKEY_CURRENT_USER, kAdvanced, "Hidden", 7);
    UserHive whose;
    std::string error;
    ASSERT_TRUE(whose.OpenFile(file.path, &error)) << error;
    EXPECT_TRUE(Mounted(HiveMountName().c_str()));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "Hidden"), Dword(1));
    EXPECT_EQ(CurrentUserRootText(), std::string("HKEY_USERS\\") + kHiveMount);

    EXPECT_FALSE(UnloadHiveOnBreak(CTRL_C_EVENT)); // the process then ends as usual
    EXPECT_FALSE(AnyHiveMounted());
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "Hidden"), Dword(7));
    EXPECT_TRUE(whose.Close(&error)) << error;
    EXPECT_EQ(CurrentUserRootText(), "HKEY_CURRENT_USER");
}

// HKEY_CURRENT_USER stands for one hive at a time: a second open, of any
// kind, is refused and leaves the first as it was.
TEST_F(HiveFileTest, ASecondOpenIsRefusedAndTheFirstStaysAsItWas) {
    TempFile other("second-profile.hive");
    MakeHiveFile(other.path);
    struct SecondOpen {
        const char* what;
        bool (*open)(UserHive& second, const std::string& file, std::string* error);
    };
    const SecondOpen cases[] = {
        {"a file", [](UserHive& h, const std::string& f,
                      std::string* e) { return h.OpenFile(f, e, ProfileMount(9)); }},
        {"a user", [](UserHive& h, const std::string&,
                      std::string* e) { return h.OpenUser(CallerSid(), e); }},
        {"the caller's own",
         [](UserHive& h, const std::string&, std::string* e) { return h.OpenOwn(CallerSid(), e); }},
    };
    PutDword(HKEY_CURRENT_USER, kAdvanced, "Hidden", 7);
    UserHive first;
    std::string error;
    ASSERT_TRUE(first.OpenFile(file.path, &error)) << error;
    const std::string key = "HKEY_USERS\\" + HiveMountName();
    const std::set<std::string> users = UsersKeys();
    for (const SecondOpen& c : cases) {
        SCOPED_TRACE(c.what);
        UserHive second;
        std::string why;
        EXPECT_FALSE(c.open(second, other.path, &why));
        EXPECT_EQ(why, "cannot open a second user hive or image: " + key +
                           " is open, and only one can be at a time");
        EXPECT_TRUE(second.Close(&why)) << why;
        EXPECT_EQ(CurrentUserKeyText(), key);
        EXPECT_EQ(CurrentUserRootText(), std::string("HKEY_USERS\\") + kHiveMount);
        EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "Hidden"), Dword(1));
        EXPECT_EQ(UsersKeys(), users);
    }
    EXPECT_TRUE(first.Close(&error)) << error;
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "Hidden"), Dword(7));
    // Once the first is closed, the next opens.
    UserHive next;
    EXPECT_TRUE(next.OpenFile(other.path, &error)) << error;
    EXPECT_TRUE(next.Close(&error)) << error;
}

TEST_F(HiveFileTest, MissingLockedAndForeignFilesAreRefused) {
    TempFile missing("no-such.hive"), text("not-a.hive");
    text.Write("this is no registry hive\r\n");
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    const HANDLE locked = CreateFileA(file.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    const Snapshot mine = sandbox.Snapshot();
    for (const std::string& path : {missing.path, text.path, std::string(folder), file.path}) {
        const Result r = Ctl({"--hive", path, "set", "usability/show-hidden-files", "on"});
        EXPECT_EQ(r.code, kBadInput) << path;
        EXPECT_EQ(r.out, "") << path;
        EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
        EXPECT_FALSE(AnyHiveMounted()) << path;
        EXPECT_TRUE(sandbox.Snapshot() == mine) << path;
    }
    CloseHandle(locked);
    const Result r = Ctl({"--hive", text.path, "list"});
    EXPECT_EQ(r.err,
              "morvanectl: " + text.path + " is not a registry hive file; nothing was done\n");
}

// LocalSystem without --user or --hive: per-user writes would land in its
// own profile.
class LocalSystemTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    CallerIsLocalSystemFn previous = g_pfnCallerIsLocalSystem;
    void SetUp() override {
        g_pfnCallerIsLocalSystem = [] { return true; };
    }
    void TearDown() override { g_pfnCallerIsLocalSystem = previous; }
};

TEST(CallerTest, WineRunsNothingAsLocalSystem) {
    EXPECT_FALSE(g_pfnCallerIsLocalSystem());
}

TEST_F(LocalSystemTest, PerUserWritesAreRefusedAndMachineWideOnesGoAhead) {
    const Snapshot before = sandbox.Snapshot();
    Result r = Ctl({"set", "general/store-lm-hash", "on", "usability/show-hidden-files", "on"});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("LocalSystem"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usability/show-hidden-files"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("general/store-lm-hash"), std::string::npos) << r.err;
    EXPECT_TRUE(sandbox.Snapshot() == before);

    // The store is per-user too: the compressed folders' choice lives there.
    TempFile preset("system.preset"), backup("system.reg");
    preset.Write("general/store-lm-hash = on\ngeneral/compressed-folders = off\n");
    r = Ctl({"apply", preset.path, "--backup", backup.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("general/compressed-folders"), std::string::npos) << r.err;
    EXPECT_FALSE(backup.Exists());
    EXPECT_TRUE(sandbox.Snapshot() == before);

    r = Ctl({"set", "general/store-lm-hash", "on", "mediaplayer/dont-save-recent-files", "on"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kLsa, "nolmhash"), Dword(0));

    // Reading goes ahead; a backup's per-user part is refused on restore.
    EXPECT_EQ(Ctl({"list"}).code, kDone);
    ASSERT_EQ(Ctl({"backup", backup.path}).code, kDone);
    const Snapshot now = sandbox.Snapshot();
    r = Ctl({"restore", backup.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("LocalSystem"), std::string::npos) << r.err;
    EXPECT_TRUE(sandbox.Snapshot() == now);
}

TEST_F(LocalSystemTest, WithAHiveTheSameWritesGoThere) {
    TempFile file("system-profile.hive");
    MakeHiveFile(file.path);
    const Snapshot before = sandbox.Snapshot();
    const Result r = Ctl({"--hive", file.path, "set", "usability/show-file-extensions", "on"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_TRUE(sandbox.Snapshot() == before);
    EXPECT_FALSE(AnyHiveMounted());
}

} // namespace
