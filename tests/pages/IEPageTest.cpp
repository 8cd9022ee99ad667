// The Internet Explorer page on its real dialog, in a sandboxed registry.
// Every tweak is per-user: written under HKCU, read there first, then under
// HKLM; so the page works the same without administrator rights.
#include "pages/CIESettingsDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

using expect::IExplorer;

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CIESettingsDlg>(IDD_IEXPLORER, stored);
}

TEST(IEPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), CheckedWhenEmpty(IExplorer));
}

TEST(IEPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    ExpectCheckedBy<CIESettingsDlg>(IDD_IEXPLORER, expect::BoxesOf(IExplorer));
}

TEST(IEPageTest, TextsAndTypesMustMatchExactly) {
    ExpectReads<CIESettingsDlg>(IDD_IEXPLORER, expect::BoxesOf(IExplorer));
}

// From an empty registry, then from one holding the user's own values: an
// uncheck leaves its cell's result, not what was there before the check.
TEST(IEPageTest, EachClickPerformsExactlyItsCell) {
    for (bool previous : {false, true}) {
        SCOPED_TRACE(previous ? "with values stored before" : "from an empty registry");
        RegistrySandbox sandbox;
        ShellRecorder shell;
        if (previous)
            for (const expect::Box& box : expect::BoxesOf(IExplorer))
                for (const auto& [path, value] : box.checkedBy)
                    Put(path, NearMiss(value));
        auto host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
        ExpectCells(sandbox, shell, host->hWnd, expect::BoxesOf(IExplorer));
        // The next start shows every box unchecked again.
        host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
        for (const expect::Box& box : expect::BoxesOf(IExplorer))
            EXPECT_FALSE(IsChecked(host->hWnd, box.id)) << box.id;
    }
}

TEST(IEPageTest, WithoutRightsEveryClickStillWorks) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    HostedPage<CIESettingsDlg> host(IDD_IEXPLORER);
    ASSERT_TRUE(host.hWnd);
    ExpectCells(sandbox, shell, host.hWnd, expect::BoxesOf(IExplorer));
}

TEST(IEPageTest, AMachineWideValueCountsUntilTheUsersOwnHidesIt) {
    RegistrySandbox sandbox;
    const expect::Box& updates = expect::BoxAt(IExplorer, 1003);
    for (const auto& [path, value] : updates.checkedBy)
        Put(UnderOtherRoot(path), value);
    auto host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
    ASSERT_TRUE(IsChecked(host->hWnd, updates.id));
    const Snapshot before = sandbox.Snapshot();
    Click(host->hWnd, updates.id);
    ExpectOnly(before, sandbox.Snapshot(), updates.onUncheck, updates.id);
    host = std::make_unique<HostedPage<CIESettingsDlg>>(IDD_IEXPLORER);
    EXPECT_FALSE(IsChecked(host->hWnd, updates.id));
}

TEST(IEPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CIESettingsDlg>(IDD_IEXPLORER, IExplorer);
}

} // namespace
