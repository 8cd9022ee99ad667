// The General page on its real dialog, in a sandboxed registry.
#include "pages/GeneralSettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

using expect::General;

class GeneralPageTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    ShellRecorder shell;
    std::unique_ptr<HostedPage<GeneralSettingsDlg>> host;

    HWND Open() {
        host = std::make_unique<HostedPage<GeneralSettingsDlg>>(IDD_GENERAL);
        EXPECT_TRUE(host->hWnd);
        return host->hWnd;
    }
};

// Each of these makes a sandbox of its own for every registry it tries.
void ExpectStartStates(std::initializer_list<int> ids) {
    ExpectCheckedBy<GeneralSettingsDlg>(IDD_GENERAL, BoxesOf(General, ids));
    ExpectReads<GeneralSettingsDlg>(IDD_GENERAL, BoxesOf(General, ids));
}

TEST(GeneralPageStartTest, WithNothingStoredEachBoxShowsItsDefault) {
    EXPECT_EQ(CheckedWith<GeneralSettingsDlg>(IDD_GENERAL, {}), CheckedWhenEmpty(General));
}

TEST(GeneralPageStartTest, ReadingTheStatesAtStartChangesNothing) {
    Snapshot stored = expect::BoxAt(General, 1003).checkedBy;
    stored.merge(Snapshot(expect::BoxAt(General, 1006).checkedBy));
    const std::set<int> checked = CheckedWith<GeneralSettingsDlg>(IDD_GENERAL, stored);
    EXPECT_TRUE(checked.contains(1003));
    EXPECT_TRUE(checked.contains(1006));
}

TEST(GeneralPageStartTest, CompressedFoldersFollowsTheStoreOnly) {
    ExpectStartStates({1003});
}

TEST(GeneralPageStartTest, LmHashAndTheOneOnlyRows) {
    ExpectStartStates({1006, 1010, 1017, 1020});
}

TEST(GeneralPageStartTest, ScriptHostNeedsBothValuesNonZero) {
    ExpectStartStates({1007});
}

TEST(GeneralPageStartTest, OnlyOneUnchecksNetCrawlingAndMediaSensing) {
    ExpectStartStates({1009, 1011, 1013});
}

TEST(GeneralPageStartTest, PrefetchIsReadPerUserFirstButOnlyThreeChecks) {
    ExpectStartStates({1015});
}

TEST(GeneralPageStartTest, FastShutdownWantsTheText) {
    ExpectStartStates({1016});
}

TEST_F(GeneralPageTest, CompressedFoldersRegistersThenStoresTheChoice) {
    ExpectCells(sandbox, shell, Open(), BoxesOf(General, {1003}));
}

// A box checked at start unchecks first.
TEST_F(GeneralPageTest, EachClickPerformsExactlyItsCell) {
    ExpectCells(sandbox, shell, Open(), expect::BoxesOf(General));
}

TEST(GeneralPageWithoutRightsTest, MachineRowsChangeNothingAndBoxesKeepTheClick) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    HostedPage<GeneralSettingsDlg> host(IDD_GENERAL);
    ASSERT_TRUE(host.hWnd);
    // Per-user rows still work; the commands are still asked for.
    ExpectCells(sandbox, shell, host.hWnd, PerUserOnly(expect::BoxesOf(General)));
}

TEST_F(GeneralPageTest, LabelsAndTooltipsAsShown) {
    ExpectLabelsAndTips(Open(), expect::BoxesOf(General));
}

TEST_F(GeneralPageTest, TemplateIsAHiddenChildOfCheckboxesInTwoColumns) {
    HWND hPage = Open();
    EXPECT_TRUE(GetWindowLongA(hPage, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(hPage));
    RECT rc{0, 0, 330, 170};
    MapDialogRect(hPage, &rc);
    RECT client;
    GetClientRect(hPage, &client);
    EXPECT_EQ(client.right, rc.right);
    EXPECT_EQ(client.bottom, rc.bottom);
    for (int id = 1000; id < 1030; ++id) {
        HWND hBox = GetDlgItem(hPage, id);
        if (!hBox)
            continue;
        EXPECT_EQ(GetWindowLongA(hBox, GWL_STYLE) & 0xF, BS_AUTOCHECKBOX) << id;
        RECT box = RectIn(hBox, hPage), col{175, 0, 0, 0};
        MapDialogRect(hPage, &col);
        EXPECT_TRUE(box.left == 0 || box.left == col.left) << id;
    }
}

} // namespace
