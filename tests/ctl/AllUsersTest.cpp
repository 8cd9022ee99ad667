// --all-users over every kind of profile a machine keeps: the signed-in
// caller, a second signed-in user, profile files that are not loaded (one of
// them held open by another process, one damaged, one missing, one that loads
// but denies opening), the default profile, and the system's own accounts
// that are never touched. The profile list is the sandbox's HKLM; hives are
// loaded under the prefix's HKEY_USERS.
#include "ctl/BackupFiles.h"
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/HiveFiles.h"
#include "ctl/keep/Kept.h"
#include "support/RegistrySandbox.h"
#include "system/Rights.h"
#include "system/UserHive.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <map>
#include <set>

namespace {

using Snapshot = std::map<std::string, RegValue>;

const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kAdvanced[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const char kCabinet[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";

enum class Kind { Caller, SignedIn, File, HeldOpen, Damaged, Missing, Denied, Default, System };

// One profile of the test machine and what each command makes of it.
struct ProfileCase {
    Kind kind;
    const char* sid; // null: the caller's own, or none for the default profile
    const char* folder;
    bool readable;
    const char* hidden;  // show-hidden-files as list reads it: the files hold Hidden = 1
    const char* refusal; // for one that cannot be read: what the reason says
    bool inBackup;       // reg import can put it back: it is signed in
};

// clang-format off
const ProfileCase kCases[] = {
    {Kind::Caller,   nullptr,                              "caller",  true,  "off", nullptr,                  true},
    {Kind::SignedIn, "S-1-5-21-1111111111-222222222-3333333-2001", "second",  true,  "on",  nullptr,       true},
    {Kind::File,     "S-1-5-21-1111111111-222222222-3333333-2002", "away",    true,  "on",  nullptr,       false},
    {Kind::HeldOpen, "S-1-5-21-1111111111-222222222-3333333-2003", "busy",    false, nullptr, "it is in use",  false},
    {Kind::Damaged,  "S-1-5-21-1111111111-222222222-3333333-2004", "damaged", false, nullptr, "is not a registry hive file", false},
    {Kind::Missing,  "S-1-5-21-1111111111-222222222-3333333-2005", "gone",    false, nullptr, "cannot find the profile file", false},
    {Kind::Denied,   "S-1-5-21-1111111111-222222222-3333333-2006", "denied",  false, nullptr, "once loaded: ",  false},
    {Kind::Default,  nullptr,                              "Default", true,  "on",  nullptr,                  false},
    {Kind::System,   "S-1-5-18",                           "system",  false, nullptr, nullptr,                false},
};
// clang-format on

// Wine keeps no security in a profile file: one whose keys deny this
// administrator, as a file from another machine may, holds this value, and
// the opening of its keys is refused once it is loaded.
const char kDenies[] = "MorvaneTestDeniesOpening";
LSTATUS OpenUnlessDenied(const char* below, HKEY* key) {
    const LSTATUS status = RegOpenKeyExA(HKEY_USERS, below, 0, MAXIMUM_ALLOWED, key);
    if (status != ERROR_SUCCESS ||
        RegQueryValueExA(*key, kDenies, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return status;
    RegCloseKey(*key);
    return ERROR_ACCESS_DENIED;
}

// A profile file holding Hidden = 1, saved from a scratch key; with a
// target, its CabinetState key a registry link there.
void MakeHive(const std::string& path, bool denies = false, const std::wstring& link = {}) {
    const std::string scratch = "Software\\MorvaneAllUsers" + std::to_string(GetCurrentProcessId());
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    PutDword(hKey, kAdvanced, "Hidden", 1);
    if (denies)
        PutDword(hKey, "", kDenies, 1);
    if (!link.empty())
        MakeLink(hKey, kCabinet, link);
    ASSERT_EQ(RegSaveKeyA(hKey, path.c_str(), nullptr), ERROR_SUCCESS);
    if (!link.empty())
        RemoveLink(hKey, kCabinet);
    RegCloseKey(hKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
}

// The process id of a process that has ended: what a killed run leaves.
DWORD EndedProcessId() {
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi;
    char line[] = "cmd.exe /c exit 0";
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi))
        return 0;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

// Another process holding the file open, shared with nobody: a command
// prompt waiting on a pipe for its input inherits the handle, and this
// process's own copy is closed.
HANDLE HoldOpenInAnotherProcess(const std::string& path, HANDLE* input) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherit,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE readEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, input, &inherit, 0));
    SetHandleInformation(*input, HANDLE_FLAG_INHERIT, 0);
    // Nothing else of this process's: CTest waits for its output pipes to close.
    for (DWORD stream : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(stream), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readEnd;
    si.hStdOutput = si.hStdError = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION pi{};
    char line[] = "cmd.exe";
    const bool started = CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                        nullptr, nullptr, &si, &pi) != FALSE;
    EXPECT_TRUE(started) << GetLastError();
    CloseHandle(file);
    CloseHandle(readEnd);
    if (!started)
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

class AllUsersTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    std::string root, callerSid = CallerSid();
    HANDLE holder = nullptr; // the process that holds one profile file open
    HANDLE holderInput = nullptr;
    HKEY hSecond = nullptr;
    OpenUsersKeyFn previousOpen = g_pfnOpenUsersKey;

    std::string Folder(const ProfileCase& p) const { return root + "\\" + p.folder; }
    std::string Sid(const ProfileCase& p) const { return p.sid ? p.sid : callerSid; }
    // How the output names the profile: by its SID when the system knows no
    // account of it, as Wine knows none of its own user's SID.
    std::string Name(const ProfileCase& p) const {
        return p.kind == Kind::Default ? "Default" : Sid(p);
    }

    void SetUp() override {
        g_pfnOpenUsersKey = OpenUnlessDenied;
        EnableHivePrivileges();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        root = std::string(temp) + "morvane-all-users-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root.c_str(), nullptr);
        for (const ProfileCase& p : kCases)
            AddProfile(p);
    }

    void AddProfile(const ProfileCase& p) {
        const std::string folder = Folder(p), file = folder + "\\NTUSER.DAT";
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string key =
            std::string(kProfileList) + (p.kind == Kind::Default ? "" : "\\" + Sid(p));
        PutString(HKEY_LOCAL_MACHINE, key.c_str(),
                  p.kind == Kind::Default ? "Default" : "ProfileImagePath", folder);
        if (p.kind == Kind::File || p.kind == Kind::HeldOpen || p.kind == Kind::Default ||
            p.kind == Kind::SignedIn || p.kind == Kind::System || p.kind == Kind::Denied)
            MakeHive(file, p.kind == Kind::Denied);
        if (p.kind == Kind::Damaged)
            TempFileAt(file, "this is no registry hive\r\n");
        if (p.kind == Kind::HeldOpen)
            holder = HoldOpenInAnotherProcess(file, &holderInput);
        if (p.kind == Kind::SignedIn) {
            ASSERT_EQ(RegLoadKeyA(HKEY_USERS, p.sid, file.c_str()), ERROR_SUCCESS);
            ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, p.sid, 0, KEY_ALL_ACCESS, &hSecond), ERROR_SUCCESS);
        }
    }

    static void TempFileAt(const std::string& path, const std::string& text) {
        const HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }

    void TearDown() override {
        g_pfnOpenUsersKey = previousOpen;
        EnableHivePrivileges(); // each run gives them up when it ends
        if (holder) {
            TerminateProcess(holder, 0);
            WaitForSingleObject(holder, 10000);
            CloseHandle(holder);
            CloseHandle(holderInput);
        }
        if (hSecond)
            RegCloseKey(hSecond);
        for (const ProfileCase& p : kCases)
            if (p.kind == Kind::SignedIn) {
                EXPECT_EQ(RegUnLoadKeyA(HKEY_USERS, p.sid), ERROR_SUCCESS);
            }
        for (const ProfileCase& p : kCases) {
            DeleteFileA((Folder(p) + "\\NTUSER.DAT").c_str());
            RemoveDirectoryA(Folder(p).c_str());
        }
        RemoveDirectoryA(root.c_str());
    }
};

// The part of the output that a profile's heading begins, up to the next heading.
std::string Section(const std::string& out, const std::string& heading) {
    const size_t at = out.find("\n" + heading + "\n");
    if (at == std::string::npos)
        return {};
    const size_t end = out.find("\nProfile ", at + 1);
    return out.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
}

TEST_F(AllUsersTest, EachKindOfProfileIsReadCheckedAppliedAndBackedUpAsItCanBe) {
    // A mount that a killed run left behind is found and removed.
    const std::string stale =
        std::string(kHiveMount) + "." + std::to_string(EndedProcessId()) + ".1";
    const std::string staleFile = root + "\\stale.hive";
    MakeHive(staleFile);
    ASSERT_EQ(RegLoadKeyA(HKEY_USERS, stale.c_str(), staleFile.c_str()), ERROR_SUCCESS);
    std::set<std::string> users = UsersKeys();
    users.erase(stale);

    TempFile preset("all-users.preset"), backup("all-users.reg");
    preset.Write("usability/show-hidden-files = on\nusability/show-file-extensions = on\n"
                 "general/store-lm-hash = off\n");

    // HKEY_USERS as it was after every run: each loaded hive unloaded.
    auto run = [&](std::vector<std::string> args) {
        Result r = Ctl(args);
        EXPECT_EQ(UsersKeys(), users) << testing::PrintToString(args);
        return r;
    };
    const Result list = run({"--all-users", "list"});
    const Result json = run({"list", "--all-users", "--json"});
    const Result check = run({"--all-users", "check", preset.path});
    const Result apply = run({"--all-users", "apply", preset.path, "--backup", backup.path});
    const Result after = run({"--all-users", "check", preset.path});
    const Result undo = run({"--all-users", "restore", "--dry-run", backup.path});
    DeleteFileA(staleFile.c_str());

    EXPECT_EQ(list.code, kSomeFailed) << list.err;
    EXPECT_EQ(json.code, kSomeFailed);
    EXPECT_EQ(check.code, kDiffers) << check.out;
    EXPECT_EQ(apply.code, kSomeFailed) << apply.out << apply.err;
    EXPECT_EQ(UsersKeys(), users) << "a hive stayed loaded, or the stale one was not removed";
    // Machine-wide tweaks once, first, under their own heading.
    for (const Result* r : {&list, &apply}) {
        const size_t machine = r->out.find("Machine-wide\n"),
                     lm = r->out.find("general/store-lm-hash");
        EXPECT_NE(machine, std::string::npos) << r->out;
        EXPECT_LT(machine, lm) << r->out;
        EXPECT_LT(lm, r->out.find("\nProfile ")) << r->out;
        EXPECT_EQ(r->out.find("general/store-lm-hash", lm + 1), std::string::npos) << r->out;
    }
    const std::string text = Utf8Text(backup.Read()).value_or("");
    for (const ProfileCase& p : kCases) {
        const std::string name = Name(p), heading = "Profile " + name;
        SCOPED_TRACE(name);
        const std::string listed = Section(list.out, heading),
                          checked = Section(check.out, heading),
                          applied = Section(apply.out, heading);
        if (p.kind == Kind::System) {
            EXPECT_EQ(list.out.find(p.sid), std::string::npos);
            EXPECT_EQ(json.out.find(p.sid), std::string::npos);
            EXPECT_EQ(text.find(p.sid), std::string::npos);
            continue;
        }
        const size_t at = json.out.find("\"profile\": \"" + name + "\"");
        ASSERT_NE(at, std::string::npos) << json.out;
        const std::string object = json.out.substr(at);
        if (!p.readable) {
            EXPECT_NE(listed.find(std::string("cannot be read: ")), std::string::npos) << list.out;
            EXPECT_NE(listed.find(p.refusal), std::string::npos) << listed;
            EXPECT_NE(list.err.find("morvanectl: " + name + ": "), std::string::npos) << list.err;
            EXPECT_NE(checked.find(p.refusal), std::string::npos) << check.out;
            EXPECT_NE(applied.find(p.refusal), std::string::npos) << apply.out;
            EXPECT_TRUE(object.starts_with("\"profile\": \"" + name + "\"")) << json.out;
            EXPECT_NE(object.substr(0, object.find('}')).find("\"error\": "), std::string::npos);
            continue;
        }
        EXPECT_NE(listed.find(std::string("  ") + p.hidden + " "), std::string::npos) << listed;
        EXPECT_NE(listed.find("usability/show-hidden-files"), std::string::npos) << listed;
        EXPECT_EQ(listed.find("general/store-lm-hash"), std::string::npos) << listed;
        EXPECT_NE(object.find("\"lines\": [\n    {\"name\": "), std::string::npos) << json.out;
        EXPECT_NE(
            object.find(std::string("\"usability/show-hidden-files\", \"page\": \"Usability\", "
                                    "\"label\": \"Show hidden files and folders\", \"state\": \"") +
                        p.hidden + "\""),
            std::string::npos)
            << object.substr(0, 600);
        EXPECT_NE(checked.find("  usability/show-file-extensions: off, wanted on"),
                  std::string::npos)
            << check.out;
        EXPECT_NE(applied.find("usability/show-file-extensions = on\n  done: "), std::string::npos)
            << apply.out;
        const std::string section =
            "[HKEY_USERS\\" + (p.kind == Kind::Default ? kHiveMount : Sid(p));
        EXPECT_EQ(text.find(section) != std::string::npos, p.inBackup) << text.substr(0, 3000);
        // The backup goes back with --all-users, each profile under its heading.
        EXPECT_EQ(Section(undo.out, heading)
                          .find("  delete HKU\\" + Sid(p) + "\\" + kAdvanced + " : HideFileExt") !=
                      std::string::npos,
                  p.inBackup)
            << undo.out;
        if (!p.inBackup) {
            EXPECT_NE(text.find("; Not included, not signed in: " + name), std::string::npos);
        }
    }
    // The caller changes only as a profile of the machine; the second user in its own hive.
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "HideFileExt"), Dword(0));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kAdvanced, "Hidden"), Dword(1));
    EXPECT_EQ(GetValue(hSecond, kAdvanced, "HideFileExt"), Dword(0));
    // HKEY_CURRENT_USER stood for the sandbox all along, also after a refused profile.
    EXPECT_FALSE(GetValue(HKEY_USERS, (callerSid + "\\" + kAdvanced).c_str(), "HideFileExt"));
    EXPECT_EQ(text.find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_TRUE(text.ends_with("; End of the morvanectl backup.\r\n"));
    EXPECT_EQ(undo.code, kDone) << undo.err;
    EXPECT_NE(Section(after.out, "Profile " + callerSid).find("all 2 hold"), std::string::npos)
        << after.out;

    // Ctrl+C while a profile file of a run is loaded unloads it at once.
    UserHive hive;
    std::string error;
    ASSERT_TRUE(hive.OpenFile(Folder(kCases[2]) + "\\NTUSER.DAT", &error, ProfileMount(7)))
        << error;
    EXPECT_EQ(UsersKeys().count(ProfileMount(7)), 1u);
    EXPECT_FALSE(UnloadHiveOnBreak(CTRL_C_EVENT));
    EXPECT_EQ(UsersKeys(), users);
    hive.Close(&error);
}

// A user makes a key on a tweak's path in their own hive a registry link to
// a key of HKLM. No command reads or writes through it: with --all-users
// that profile is named and the others go ahead; with --user or --hive
// nothing is done.
struct LinkCase {
    std::vector<std::string> args; // "P" the preset, "B" a backup, "F" the file, "S" the user
    int code;
    std::vector<std::string> said; // in what the command writes
};

TEST_F(AllUsersTest, ARegistryLinkInAUsersHiveIsNeverReadOrWrittenThrough) {
    const std::string victim = "Software\\MorvaneVictim", file = Folder(kCases[2]) + "\\NTUSER.DAT";
    const std::string user = kCases[1].sid, away = kCases[2].sid;
    MakeLink(hSecond, kCabinet, SandboxMachineTarget(sandbox, victim));
    ASSERT_TRUE(DeleteFileA(file.c_str()));
    MakeHive(file, false, SandboxMachineTarget(sandbox, victim));
    TempFile preset("link.preset"), backup("link.reg");
    preset.Write("usability/full-path-in-title = on\n");
    const std::string at = "holds a registry link at HKEY_USERS\\",
                      why = at + user + "\\" + kCabinet +
                            ", and no link in another user's profile is followed",
                      signedIn = "Profile " + user + "\n  cannot be read: " + why + "\n",
                      inFile = "Profile " + away + "\n  cannot be read: " + at + HiveMountName(),
                      leftOut = "  not included: " + user + " " + why + "\n",
                      refused = "morvanectl: " + user + " " + why + "; nothing was done\n";
    // clang-format off
    const LinkCase cases[] = {
        {{"--all-users", "check", "P"}, kDiffers, {signedIn, inFile}},
        {{"--all-users", "apply", "P", "--backup", "B"}, kSomeFailed, {signedIn, inFile, leftOut}},
        {{"--all-users", "set", "usability/full-path-in-title", "on"}, kSomeFailed, {signedIn, inFile}},
        {{"--all-users", "backup", "B"}, kDone, {leftOut}},
        {{"--user", "S", "apply", "P", "--backup", "B"}, kBadInput, {refused}},
        {{"--user", "S", "set", "usability/full-path-in-title", "on"}, kBadInput, {refused}},
        {{"--user", "S", "check", "P"}, kBadInput, {refused}},
        {{"--hive", "F", "set", "usability/full-path-in-title", "on"}, kBadInput,
         {"morvanectl: " + file + " " + at + HiveMountName() + "\\" + kCabinet}},
    };
    // clang-format on
    const std::map<std::string, std::string> named = {
        {"P", preset.path}, {"B", backup.path}, {"F", file}, {"S", user}};
    const std::set<std::string> users = UsersKeys();
    for (const LinkCase& c : cases) {
        const std::vector<std::string> args = Substituted(c.args, named);
        SCOPED_TRACE(testing::PrintToString(args));
        DeleteFileA(backup.path.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, victim.c_str()); // as it was, whatever came before
        PutDword(HKEY_LOCAL_MACHINE, victim.c_str(), "FullPath", 0);
        Snapshot before, after;
        SnapshotKey(HKEY_LOCAL_MACHINE, victim.c_str(), "HKLM\\", before);
        CtlSaying(args, c.code, c.said);
        SnapshotKey(HKEY_LOCAL_MACHINE, victim.c_str(), "HKLM\\", after);
        EXPECT_TRUE(after == before) << "written through the link";
        EXPECT_EQ(UsersKeys(), users);
    }
    // The caller's own profile went ahead.
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kCabinet, "FullPath"), Dword(1));
}

TEST_F(AllUsersTest, TheOptionGoesWithSixCommandsAloneAndWithoutRightsKeepRegistersNothing) {
    TempFile preset("refused.preset");
    preset.Write("usability/show-hidden-files = on\n");
    // Asking for the common data folder fills in the shell folders' keys once.
    const std::string copy = KeptFolder() + "\\" + preset.path.substr(preset.path.rfind('\\') + 1);
    const Snapshot before = sandbox.Snapshot();
    CallerIsAdministratorFn previous = g_pfnCallerIsAdministrator;
    g_pfnCallerIsAdministrator = [] { return false; };
    const Result keep = Ctl({"keep", preset.path});
    g_pfnCallerIsAdministrator = previous;
    EXPECT_EQ(keep.code, kBadInput);
    EXPECT_NE(keep.err.find("needs administrator rights"), std::string::npos) << keep.err;
    EXPECT_EQ(GetFileAttributesA(copy.c_str()), INVALID_FILE_ATTRIBUTES);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--all-users", "show", "usability/show-hidden-files"},
             {"--all-users", "--user", "alice", "list"},
             {"--hive", "x.dat", "--all-users", "list"},
             {"--all-users", "save", "x.preset"},
             {"--all-users", "keep", "--list"}}) {
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(sandbox.Snapshot() == before);
    }
}

// A kept run prunes its backups' folder: only names of the form backups
// get, the oldest by the time and number in them, never the one the run has
// just written (here with its clock set back), and nothing else.
TEST(KeptBackupsTest, PruningTakesTheOldestOfOurNamesByTheirTimeAndNeverTheNewOne) {
    struct Case {
        const char* name;
        bool folder;
        bool stays;
    };
    // clang-format off
    const Case cases[] = {
        {"morvane-backup-20240102-030405-006.reg",     false, true}, // the run's
        {"morvane-backup-20250101-000000-000.reg",     false, false},
        {"morvane-backup-20250101-000000-000-2.reg",   false, false},
        {"morvane-backup-20250101-000000-000-10.reg",  false, true},
        {"morvane-backup-20260101-000000-000.reg",     false, true},
        {"morvane-backup-zz-1.reg",                    false, true},
        {"morvane-backup-0-before-rollout.reg",        false, true},
        {"Morvane-Backup-AAA.REG",                     false, true},
        {"MORVANE-BACKUP-20200101-000000-000.REG",     false, true},
        {"morvane-backup-20200101-000000-000-1.reg",   false, true},
        {"morvane-backup-20200101-000000-000-02.reg",  false, true},
        {"morvane-backup-20200101-000000-000-x.reg",   false, true},
        {"morvane-backup-2020010-000000-000.reg",      false, true},
        {"morvane-backup-20200101-000000-000.reg.txt", false, true},
        {"morvane-backup-20190101-000000-000.reg",     true,  true},
    };
    // clang-format on
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string folder =
        std::string(temp) + "morvane-prune-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const Case& c : cases) {
        const std::string path = folder + "\\" + c.name;
        if (c.folder)
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << c.name;
        else
            std::ofstream(path, std::ios::binary) << "old";
    }
    EXPECT_EQ(PruneBackups(folder, 3, folder + "\\" + cases[0].name), 2u);
    for (const Case& c : cases) {
        const std::string path = folder + "\\" + c.name;
        EXPECT_EQ(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, c.stays) << c.name;
        c.folder ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
    }
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}

// Entries of the profile list that are no profile of their own: a key that
// is no user account's SID, the copy the system keeps of a damaged profile,
// entries that name a file an earlier one names, and a folder that is not
// an absolute path. Each is named on standard error, and the one file is
// loaded and counted once.
struct ListEntry {
    const char* key;
    const char* folder; // below the test's folder, or as it stands when relative
    bool relative;
    bool walked;      // under a heading of its own, once
    const char* said; // what standard error says of it, or null for nothing
};

// clang-format off
const ListEntry kEntries[] = {
    {"S-1-5-21-1-2-3-3001",     "one",          false, true,  nullptr},
    {"S-1-5-21-garbage",        "two",          false, false, "entry S-1-5-21-garbage is skipped: not a user account's SID\n"},
    {"S-1-5-21-1-2-3",          "two",          false, false, "entry S-1-5-21-1-2-3 is skipped: not a user account's SID\n"},
    {"S-1-5-21-1-2-3-3001.bak", "one",          false, false, "entry S-1-5-21-1-2-3-3001.bak is skipped: a copy the system keeps of a damaged profile\n"},
    {"S-1-5-21-1-2-3-3002",     "ONE\\",       false, false, "\\ONE\\NTUSER.DAT is the profile of S-1-5-21-1-2-3-3001\n"},
    {"S-1-5-21-1-2-3-3003",     "two\\..\\one", false, false, "\\two\\..\\one\\NTUSER.DAT is the profile of S-1-5-21-1-2-3-3001\n"},
    {"S-1-5-21-1-2-3-3004",     "here",         true,  true,  "S-1-5-21-1-2-3-3004: its profile file here\\NTUSER.DAT is not an absolute path\n"},
    {"S-1-5-18",                "two",          false, false, nullptr},
};
// clang-format on

TEST(ProfileListTest, EntriesThatAreNoProfileAreNamedAndOneFileIsWalkedOnce) {
    RegistrySandbox sandbox;
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string root =
        std::string(temp) + "morvane-profile-list-" + std::to_string(GetCurrentProcessId());
    for (const std::string& folder : {root, root + "\\one", root + "\\two"})
        CreateDirectoryA(folder.c_str(), nullptr);
    MakeHiveFile(root + "\\one\\NTUSER.DAT");
    MakeHiveFile(root + "\\two\\NTUSER.DAT");
    for (const ListEntry& e : kEntries)
        PutString(HKEY_LOCAL_MACHINE, (std::string(kProfileList) + "\\" + e.key).c_str(),
                  "ProfileImagePath", e.relative ? e.folder : root + "\\" + e.folder);
    TempFile preset("profile-list.preset"), backup("profile-list.reg");
    preset.Write("usability/show-file-extensions = on\n");
    const std::set<std::string> users = UsersKeys();
    const Result list = Ctl({"--all-users", "list"});
    const Result apply = Ctl({"--all-users", "apply", preset.path, "--backup", backup.path});
    EXPECT_EQ(UsersKeys(), users);
    EXPECT_NE(apply.out.find(" to the machine and 1 of 2 profiles: "), std::string::npos)
        << apply.out;
    for (const Result* r : {&list, &apply}) {
        EXPECT_EQ(r->code, kSomeFailed) << r->err;
        for (const ListEntry& e : kEntries) {
            const std::string heading = "\nProfile " + std::string(e.key) + "\n";
            const size_t at = r->out.find(heading);
            EXPECT_EQ(at != std::string::npos, e.walked) << e.key << "\n" << r->out;
            EXPECT_EQ(r->out.find(heading, at + 1), std::string::npos) << e.key << "\n" << r->out;
            const std::string said = e.said ? e.said : "entry " + std::string(e.key) + " ";
            EXPECT_EQ(r->err.find(said) != std::string::npos, e.said != nullptr) << e.key << "\n"
                                                                                 << r->err;
        }
    }
    for (const char* folder : {"\\one", "\\two"}) {
        DeleteFileA((root + folder + "\\NTUSER.DAT").c_str());
        RemoveDirectoryA((root + folder).c_str());
    }
    RemoveDirectoryA(root.c_str());
}

} // namespace
