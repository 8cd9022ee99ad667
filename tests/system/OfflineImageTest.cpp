// An offline image made by the test: its three hives loaded under names of
// the run's own, every key of the registry layer mapped into them, what the
// executor cannot do there, the refusals, and nothing left loaded after.
#include "ctl/ImageFiles.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "system/Executor.h"
#include "system/KeyMap.h"
#include "system/OfflineImage.h"
#include "system/UserHive.h"
#include "tweaks/Tweaks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

const char kLsa[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
const char kW32Time[] = "SYSTEM\\CurrentControlSet\\Services\\W32Time";
const char kWsh[] = "SOFTWARE\\Microsoft\\Windows Script Host\\Settings";
const char kAdvanced[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

using Snapshot = std::map<std::string, RegValue>;

class OfflineImageTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    ImageTree tree;
    const std::string& dir = tree.dir;
    std::string software = ImageMountName("SOFTWARE"), system = ImageMountName("SYSTEM"),
                user = ImageMountName("Default");

    void SetUp() override { tree.Make({}); }
    void TearDown() override {
        EXPECT_FALSE(OfflineImageOpen());
        tree.Remove();
        EnableHivePrivileges(); // each close gives them up
    }
    std::string File(int n) const { return tree.File(n); }
    // The sandbox, standing for the running system, without the mounts.
    Snapshot Running() const {
        Snapshot running = sandbox.Snapshot();
        std::erase_if(running, [](const auto& e) { return e.first.starts_with("HKLM\\Morvane."); });
        return running;
    }
    std::string Set(int n) const { return system + "\\ControlSet00" + std::to_string(n); }
};

TEST_F(OfflineImageTest, ReadsAndWritesLandInTheMountedHivesAndMessagesNameThem) {
    const auto listings = Listings();
    const Snapshot running = Running();
    OfflineImage image;
    std::string error;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    EXPECT_EQ(CurrentUserKeyText(), "HKEY_USERS\\" + user);
    EXPECT_EQ(CurrentUserRootText(), kImageUserRoot);
    struct NameCase {
        RegRoot root;
        const char* key;
        std::string name;
    };
    const NameCase cases[] = {
        {HKLM, kW32Time, "HKLM\\" + Set(2) + "\\Services\\W32Time"},
        {HKLM, "System\\CurrentControlSet", "HKLM\\" + Set(2)},
        {HKLM, "Software\\Microsoft\\Windows NT", "HKLM\\" + software + "\\Microsoft\\Windows NT"},
        {HKCR, "*\\shell\\edit", "HKLM\\" + software + "\\Classes\\*\\shell\\edit"},
        {HKCU, kAdvanced, std::string("HKCU\\") + kAdvanced},
        // Outside the image's hives: as given, never the running system's.
        {HKLM, "SYSTEM\\Select", "HKLM\\SYSTEM\\Select"},
        {HKLM, "SOFTWARE2\\x", "HKLM\\SOFTWARE2\\x"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(MappedKeyName(c.root, c.key), c.name);
    const DWORD one = 1;
    EXPECT_EQ(SetUserValue(HKLM, Key(kLsa), "restrictanonymous", REG_DWORD, &one, 4), 0);
    EXPECT_EQ(SetUserValue(HKCU, Key(kAdvanced), "HideFileExt", REG_DWORD, &one, 4), 0);
    EXPECT_EQ(CreateRegClassKey(Key("*\\shell\\edit"), "Edit"), 0);
    EXPECT_EQ(DeleteRegValue(HKLM, Key(kWsh), "Enabled"), 0);
    EXPECT_EQ(SetUserValue(HKLM, Key("HARDWARE\\x"), "v", REG_DWORD, &one, 4), kOutsideImage);
    EXPECT_EQ(DeleteRegValue(HKLM, Key("SYSTEM\\Select"), "Current"), kOutsideImage);
    EXPECT_EQ(
        GetDword(HKEY_LOCAL_MACHINE, (Set(2) + "\\Control\\Lsa").c_str(), "restrictanonymous"), 1u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, (Set(1) + "\\Control").c_str()));
    EXPECT_EQ(GetDword(HKEY_USERS, (user + "\\" + kAdvanced).c_str(), "HideFileExt"), 1u);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, (software + "\\Classes\\*\\shell\\edit").c_str(), ""),
              Sz("Edit"));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE,
                          (software + "\\Microsoft\\Windows Script Host\\Settings").c_str(),
                          "Enabled"));
    // Reads through the layer: per-user from the Default profile, else
    // machine-wide from the image; nothing outside its hives.
    PutDword(HKEY_LOCAL_MACHINE, (software + "\\Microsoft\\Machine").c_str(), "m", 5);
    EXPECT_EQ(ReadRegDword(kLsa, "restrictanonymous", 9, HklmOnly), 1u);
    EXPECT_EQ(ReadRegDword(kAdvanced, "Hidden", 9, HkcuFirst), 1u);
    EXPECT_EQ(ReadRegDword("Software\\Microsoft\\Machine", "m", 9, HkcuFirst), 5u);
    EXPECT_EQ(ReadRegDword("SYSTEM\\Select", "Current", 9, HklmOnly), 9u);
    std::vector<RegKeyContentsW> tree;
    EXPECT_EQ(ReadRegTreeW(HKCR, L"*\\shell", &tree), 0);
    EXPECT_EQ(tree.size(), 2u);
    EXPECT_TRUE(RegKeyExistsW(HKCR, L"*\\shell\\edit"));
    EXPECT_EQ(Running(), running);
    EXPECT_TRUE(image.Close(&error)) << error;
    EXPECT_EQ(Listings(), listings);
    EXPECT_EQ(sandbox.Snapshot(), running);
    EXPECT_EQ(CurrentUserKeyText(), "HKEY_CURRENT_USER");
}

// A service's start type is written and its start or stop left for the
// image's first start; a cell that runs a program against the running
// system is refused whole.
TEST_F(OfflineImageTest, TheExecutorDefersServicesAndRefusesProgramsAgainstTheLiveSystem) {
    struct CellCase {
        const char* row;
        bool on;
        Policy policy;
        std::vector<Outcome::Status> statuses;
        std::vector<bool> performed;
        DWORD start; // W32Time's in ControlSet002 afterwards
    };
    constexpr Outcome::Status kDone = Outcome::Done, kDeferred = Outcome::Deferred,
                              kRefused = Outcome::NotOffline;
    constexpr Policy kStop = Policy::StopAtFailure, kEvery = Policy::EveryEffect;
    // clang-format off
    const CellCase cases[] = {
        {"services/time-synchronization", true, kStop, {kDone, kDeferred}, {true, true}, 2},
        {"services/time-synchronization", false, kEvery, {kDone, kDeferred}, {true, true}, 3},
        // Whatever the policy: nothing of it is written.
        {"general/compressed-folders", true, kStop, {kRefused, kDone}, {true, false}, 3},
        {"general/compressed-folders", false, kEvery, {kRefused, kDone}, {true, false}, 3},
    };
    // clang-format on
    ShellRecorder shell;
    OfflineImage image;
    std::string error;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    for (const CellCase& c : cases) {
        SCOPED_TRACE(std::string(c.row) + (c.on ? " on" : " off"));
        const TweakRow* row = nullptr;
        for (const TweakTable& table : TweakTables())
            for (const TweakRow& r : table.rows)
                row = strcmp(r.name, c.row) == 0 ? &r : row;
        ASSERT_TRUE(row);
        const Steps steps = Executor(Executor::StartAndLeave)
                                .Perform(c.on ? row->onCheck : row->onUncheck, c.policy);
        std::vector<Outcome::Status> statuses;
        std::vector<bool> performed;
        for (const Step& s : steps) {
            statuses.push_back(s.outcome.status);
            performed.push_back(s.performed);
        }
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(performed, c.performed);
        EXPECT_EQ(steps.front().outcome.Succeeded(), c.statuses[0] != kRefused);
        EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, (Set(2) + "\\Services\\W32Time").c_str(), "Start"),
                  c.start);
        EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, (Set(1) + "\\Services\\W32Time").c_str(), "Start"),
                  3u);
        EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder"));
    }
    EXPECT_TRUE(shell.Take().empty());
    EXPECT_TRUE(image.Close(&error)) << error;
}

// Every key a cell writes outside HKEY_CURRENT_USER maps into the image;
// the only key a read looks at outside it is one no image holds.
TEST_F(OfflineImageTest, EveryMachineWideKeyOfTheTablesMapsIntoTheImage) {
    OfflineImage image;
    std::string error;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    std::set<std::string> outside;
    KeyPlace<std::string> place;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Effect& e : EffectsOf(*cell))
                    if (e.kind != Effect::Run && e.root != HKCU) {
                        EXPECT_EQ(MapKey(e.root, e.key, &place), 0) << row.name << " " << e.key;
                    }
            for (const Condition& c : row.checkedWhen)
                for (const RegRoot root : ReadOf(c).Roots())
                    if (root != HKCU && MapKey(root, KeyPath(c.key), &place) != 0)
                        outside.insert(KeyPath(c.key));
        }
    EXPECT_EQ(outside, std::set<std::string>{"Control Panel\\Desktop"});
    EXPECT_TRUE(image.Close(&error)) << error;
}

// Each refusal leaves nothing loaded, redirected or changed.
TEST_F(OfflineImageTest, WhatIsNoImageToChangeIsRefusedChangingNothing) {
    struct RefusalCase {
        const char* what;
        ImageLayout layout;
        const char* dir; // the test's own when null
        bool held;       // SOFTWARE's file held open by another
        std::string said;
    };
    const std::string config = "\\Windows\\System32\\config\\SYSTEM holds ";
    // clang-format off
    const RefusalCase cases[] = {
        {"missing files", {.complete = false}, nullptr, false,
         " is not a Windows image: it holds no Windows\\System32\\config\\SYSTEM, "
         "Users\\Default\\NTUSER.DAT"},
        {"no Select\\Current", {.current = std::nullopt}, nullptr, false, config + "no valid Select\\Current ("},
        {"Select\\Current 0", {.current = 0}, nullptr, false, config + "no valid Select\\Current ("},
        {"Select\\Current 7", {.current = 7}, nullptr, false,
         config + "no ControlSet007, which its Select\\Current names"},
        {"the running system", {}, "C:\\", false, ": that is the running system; leave out --image"},
        {"in use", {}, nullptr, true, "\\Windows\\System32\\config\\SOFTWARE for writing: "},
    };
    // clang-format on
    const auto listings = Listings();
    const Snapshot running = sandbox.Snapshot();
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        tree.Make(c.layout);
        const std::string at = c.dir ? c.dir : dir;
        HANDLE held = c.held ? CreateFileA(File(0).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                           0, nullptr)
                             : INVALID_HANDLE_VALUE;
        OfflineImage image;
        std::string error;
        EXPECT_FALSE(image.Open(at, &error));
        EXPECT_NE(error.find(at + c.said), std::string::npos) << error;
        EXPECT_FALSE(OfflineImageOpen());
        EXPECT_EQ(CurrentUserKeyText(), "HKEY_CURRENT_USER");
        EXPECT_EQ(Listings(), listings);
        EXPECT_EQ(sandbox.Snapshot(), running);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
}

// An image and a user hive are never open together, nor two images.
TEST_F(OfflineImageTest, OnlyOneImageOrUserHiveIsOpenAtATime) {
    UserHive hive;
    OfflineImage image, second;
    std::string error;
    ASSERT_TRUE(hive.OpenFile(File(2), &error)) << error;
    EXPECT_FALSE(image.Open(dir, &error));
    EXPECT_EQ(error, "cannot open a second user hive or image: HKEY_USERS\\" + HiveMountName() +
                         " is open, and only one can be at a time");
    EXPECT_TRUE(hive.Close(&error)) << error;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    const std::string refused = "cannot open a second user hive or image: HKEY_USERS\\" + user +
                                " is open, and only one can be at a time";
    EXPECT_FALSE(hive.OpenFile(File(2), &error));
    EXPECT_EQ(error, refused);
    EXPECT_FALSE(second.Open(dir, &error));
    EXPECT_EQ(error, refused);
    EXPECT_FALSE(image.Open(dir, &error));
    EXPECT_EQ(error, refused);
    EXPECT_TRUE(OfflineImageOpen());
    EXPECT_TRUE(image.Close(&error)) << error;
}

// Ctrl+C unloads at once; what a killed run left is unloaded by the next.
TEST_F(OfflineImageTest, CtrlCAndRunsThatEndedLeaveNothingLoaded) {
    const auto listings = Listings();
    OfflineImage image;
    std::string error;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    EXPECT_FALSE(UnloadHiveOnBreak(CTRL_C_EVENT));
    EXPECT_EQ(Listings(), listings);
    EXPECT_EQ(CurrentUserKeyText(), "HKEY_USERS\\" + user); // until the close
    EXPECT_TRUE(image.Close(&error)) << error;

    const std::string ended = "Morvane.Image." + std::to_string(EndedProcessId());
    const std::string mine = "Morvane.Image." + std::to_string(GetCurrentProcessId());
    const std::tuple<HKEY, std::string, bool> mounts[] = {
        {HKEY_LOCAL_MACHINE, ended + ".SOFTWARE", true},
        {HKEY_LOCAL_MACHINE, ended + ".SYSTEM", true},
        {HKEY_USERS, ended + ".Default", true},
        {HKEY_USERS, mine + ".SOFTWARE", false},
        {HKEY_LOCAL_MACHINE, ended + ".Other", false},
    };
    EnableHivePrivileges();
    for (const auto& [root, name, stale] : mounts)
        ASSERT_EQ(RegLoadKeyA(root, name.c_str(), File(2).c_str()), ERROR_SUCCESS) << name;
    ASSERT_TRUE(image.Open(dir, &error)) << error;
    EXPECT_TRUE(image.Close(&error)) << error;
    EnableHivePrivileges();
    for (const auto& [root, name, stale] : mounts) {
        EXPECT_EQ(KeysBelow(root).count(name), stale ? 0u : 1u) << name;
        RegUnLoadKeyA(root, name.c_str());
    }
    EXPECT_EQ(Listings(), listings);
}

} // namespace
