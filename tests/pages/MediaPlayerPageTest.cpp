// The Media Player page on its real dialog, in a sandboxed registry. Its
// tweaks are per-user preferences set on check and deleted on uncheck, but
// for the recently-used list, a machine-wide policy.
#include "pages/CWMediaPlayer.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

// The same key spelled two ways, as the rows spell it.
const std::string PREFS = "HKCU\\Software\\Microsoft\\MediaPlayer\\Preferences\\:";
const std::string PREFS_CAPS = "HKCU\\SOFTWARE\\Microsoft\\MediaPlayer\\Preferences\\:";
const std::string WMPPOLICY = "HKLM\\SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer\\:";
const std::string POLICYPREFS = "HKCU\\SOFTWARE\\Policies\\Microsoft\\Preferences\\:";

struct Row {
    int id;
    std::string label, tip;
    Snapshot values; // set on check, deleted on uncheck, read back at start
};

const std::vector<Row> kRows = {
    {1003,
     "Disable Automatic License Acquisition",
     "Disable Media Player to acquire content-licenses automatically",
     {{PREFS + "SilentAcquisition", Dword(0)}}},
    {1004,
     "Import music as MP3",
     "Import Audio CDs as MP3 instead of WMA",
     {{PREFS + "CDRecordMP3", Dword(1)},
      {PREFS + "CDRecordMode", Dword(1)},
      {PREFS + "MP3RecordRate", Dword(0x1F400)}}},
    {1006,
     "Don't add Media to Library",
     "Don't add played media to the Media Library",
     {{PREFS_CAPS + "AutoAddMusicToLibrary", Dword(0)}}},
    // The tip has no closing parenthesis.
    {1007,
     "Disable Metadata Retrieval",
     "Disable online metadata retrieval (i.e. for Audio-CDs",
     {{PREFS_CAPS + "MetadataRetrieval", Dword(0)}}},
    {1008,
     "Disable Usage Tracking",
     "Disable usage-statistics being sent to Microsoft",
     {{PREFS_CAPS + "UsageTracking", Dword(0)}, {PREFS_CAPS + "ForceUsageTracking", Dword(0)}}},
    {1011,
     "Don't save data in Most Recent Used",
     "Disables media getting added to the Most Recent Used filelist",
     {{WMPPOLICY + "disableMRU", Dword(1)}}},
    {1012,
     "Disable Automatic Codec Downloads",
     "Disable automatic codec downloads",
     {{POLICYPREFS + "UpgradeCodecPrompt", Dword(0)}}},
    {1013,
     "Disable DRM for imported music",
     "Disable copy protection for imported WMA files",
     {{PREFS + "CDRecordDRM", Dword(0)}}},
};

std::vector<CellCase> Cells() {
    std::vector<CellCase> cases;
    for (const Row& r : kRows) {
        CellCase c{r.id, {}, {}};
        for (const auto& [path, value] : r.values) {
            c.onCheck[path] = value;
            c.onUncheck[path] = std::nullopt;
        }
        cases.push_back(c);
    }
    return cases;
}

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CWMediaPlayer>(IDD_MEDIAPLAYER, stored);
}

TEST(MediaPlayerPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), std::set<int>{});
}

TEST(MediaPlayerPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    std::vector<StartCase> cases;
    for (const Row& r : kRows)
        cases.push_back({r.id, r.values});
    ExpectConditions<CWMediaPlayer>(IDD_MEDIAPLAYER, cases);
}

TEST(MediaPlayerPageTest, PartialOrOtherValuesLeaveTheBoxUnchecked) {
    EXPECT_EQ(CheckedWith({{PREFS + "CDRecordMP3", Dword(1)},
                           {PREFS + "CDRecordMode", Dword(1)},
                           {PREFS + "MP3RecordRate", Dword(192000)}}),
              std::set<int>{});
    EXPECT_EQ(CheckedWith({{PREFS + "UsageTracking", Dword(0)}}), std::set<int>{});
    EXPECT_EQ(CheckedWith({{UnderOtherRoot(WMPPOLICY + "disableMRU"), Dword(1)}}), std::set<int>{});
}

// In one page and one registry, box after box: where two spellings of a key
// meet, the key keeps the spelling it was created with.
TEST(MediaPlayerPageTest, EachClickPerformsExactlyItsCell) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, host.hWnd, Cells());
    EXPECT_TRUE(shell.Take().empty());
}

TEST(MediaPlayerPageTest, EachKeyIsCreatedAsItsRowSpellsIt) {
    for (const CellCase& c : Cells()) {
        RegistrySandbox sandbox;
        HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
        const Snapshot before = sandbox.Snapshot();
        Click(host.hWnd, c.id);
        ExpectOnly(before, sandbox.Snapshot(), c.onCheck, c.id);
    }
}

TEST(MediaPlayerPageTest, CheckingSetsTheRateWhateverItWas) {
    RegistrySandbox sandbox;
    Put(PREFS + "CDRecordMP3", Dword(1));
    Put(PREFS + "CDRecordMode", Dword(1));
    Put(PREFS + "MP3RecordRate", Dword(192000));
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    const Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, 1004);
    ExpectOnly(before, sandbox.Snapshot(), Cells()[1].onCheck, 1004);
}

// Every per-user box checked by machine-wide values alone: unchecking deletes
// only under HKCU, where nothing is, so nothing changes and the next start
// shows the boxes checked again.
TEST(MediaPlayerPageTest, UncheckingWhatWasNeverWrittenChangesNothing) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    std::set<int> perUser;
    for (const Row& r : kRows)
        if (r.values.begin()->first.starts_with("HKCU\\")) {
            perUser.insert(r.id);
            for (const auto& [path, value] : r.values)
                Put(UnderOtherRoot(path), value);
        }
    auto host = std::make_unique<HostedPage<CWMediaPlayer>>(IDD_MEDIAPLAYER);
    const Snapshot before = sandbox.Snapshot();
    for (int id : perUser) {
        ASSERT_TRUE(IsChecked(host->hWnd, id)) << id;
        Click(host->hWnd, id);
        EXPECT_FALSE(IsChecked(host->hWnd, id));
    }
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
    host = std::make_unique<HostedPage<CWMediaPlayer>>(IDD_MEDIAPLAYER);
    for (int id : perUser)
        EXPECT_TRUE(IsChecked(host->hWnd, id)) << id;
    EXPECT_TRUE(shell.Take().empty());
}

TEST(MediaPlayerPageTest, WithoutRightsOnlyThePolicyRowChangesNothing) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, host.hWnd, PerUserOnly(Cells()));
}

TEST(MediaPlayerPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CWMediaPlayer>(IDD_MEDIAPLAYER, kRows);
}

} // namespace
