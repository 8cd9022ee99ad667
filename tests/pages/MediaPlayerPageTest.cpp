// The Media Player page on its real dialog, in a sandboxed registry. Its
// tweaks are per-user preferences set on check and deleted on uncheck, but
// for the recently-used list, a machine-wide policy.
#include "pages/CWMediaPlayer.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

using expect::MediaPlayer;

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CWMediaPlayer>(IDD_MEDIAPLAYER, stored);
}

TEST(MediaPlayerPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), CheckedWhenEmpty(MediaPlayer));
}

TEST(MediaPlayerPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    ExpectCheckedBy<CWMediaPlayer>(IDD_MEDIAPLAYER, expect::BoxesOf(MediaPlayer));
}

TEST(MediaPlayerPageTest, PartialOrOtherValuesLeaveTheBoxUnchecked) {
    ExpectReads<CWMediaPlayer>(IDD_MEDIAPLAYER, expect::BoxesOf(MediaPlayer));
}

// In one page and one registry, box after box: where two spellings of a key
// meet, the key keeps the spelling it was created with.
TEST(MediaPlayerPageTest, EachClickPerformsExactlyItsCell) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, shell, host.hWnd, expect::BoxesOf(MediaPlayer));
}

TEST(MediaPlayerPageTest, EachKeyIsCreatedAsItsRowSpellsIt) {
    for (const expect::Box& box : expect::BoxesOf(MediaPlayer)) {
        RegistrySandbox sandbox;
        HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
        const Snapshot before = sandbox.Snapshot();
        Click(host.hWnd, box.id);
        ExpectOnly(before, sandbox.Snapshot(), box.onCheck, box.id);
    }
}

TEST(MediaPlayerPageTest, CheckingSetsTheRateWhateverItWas) {
    RegistrySandbox sandbox;
    const expect::Box& mp3 = expect::BoxAt(MediaPlayer, 1004);
    for (const auto& [path, value] : mp3.checkedBy)
        Put(path, path.ends_with(":MP3RecordRate") ? Dword(192000) : value);
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    const Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, mp3.id);
    ExpectOnly(before, sandbox.Snapshot(), mp3.onCheck, mp3.id);
}

// Every per-user box checked by machine-wide values alone: unchecking deletes
// only under HKCU, where nothing is, so nothing changes and the next start
// shows the boxes checked again.
TEST(MediaPlayerPageTest, UncheckingWhatWasNeverWrittenChangesNothing) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    std::set<int> perUser;
    for (const expect::Box& box : expect::BoxesOf(MediaPlayer))
        if (box.checkedBy.begin()->first.starts_with("HKCU\\")) {
            perUser.insert(box.id);
            for (const auto& [path, value] : box.checkedBy)
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
    ShellRecorder shell;
    HostedPage<CWMediaPlayer> host(IDD_MEDIAPLAYER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, shell, host.hWnd, PerUserOnly(expect::BoxesOf(MediaPlayer)));
}

TEST(MediaPlayerPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CWMediaPlayer>(IDD_MEDIAPLAYER, MediaPlayer);
}

} // namespace
