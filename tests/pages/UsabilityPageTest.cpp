// The Usability page on its real dialog, in a sandboxed registry. Per-user
// shell tweaks, one machine-wide logon setting, and a Notepad verb for every
// file whose state lives in the program's own store.
#include "pages/CUsabilityDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

using expect::Usability;

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CUsabilityDlg>(IDD_USABILITY, stored);
}

TEST(UsabilityPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), CheckedWhenEmpty(Usability));
}

TEST(UsabilityPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    ExpectCheckedBy<CUsabilityDlg>(IDD_USABILITY, expect::BoxesOf(Usability));
}

TEST(UsabilityPageTest, EdgeCasesAtStart) {
    ExpectReads<CUsabilityDlg>(IDD_USABILITY, expect::BoxesOf(Usability));
}

TEST(UsabilityPageTest, EachClickPerformsExactlyItsCell) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    auto host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    ASSERT_TRUE(host->hWnd);
    ExpectCells(sandbox, shell, host->hWnd, expect::BoxesOf(Usability));
    host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    for (const expect::Box& box : expect::BoxesOf(Usability))
        EXPECT_FALSE(IsChecked(host->hWnd, box.id)) << box.id;
}

// Whatever the verb's key held before, and a sibling verb.
TEST(UsabilityPageTest, NotepadVerbOverwritesTwoDefaultsThenRemovesTheWholeKey) {
    RegistrySandbox sandbox;
    const std::string edit = "HKCR\\*\\shell\\edit\\";
    Put(edit + ":", Sz("Old caption"));
    Put(edit + ":Extended", Sz(""));
    Put(edit + "command\\:", Sz("wordpad.exe"));
    Put(edit + "command\\:DelegateExecute", Sz("{guid}"));
    Put(edit + "ddeexec\\:", Sz("[open]"));
    Put("HKCR\\*\\shell\\open\\command\\:", Sz("other.exe"));
    const expect::Box& notepad = expect::BoxAt(Usability, 1006);
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    EXPECT_FALSE(IsChecked(host.hWnd, notepad.id)) << "first run";
    Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, notepad.id);
    ExpectOnly(before, sandbox.Snapshot(), notepad.onCheck, notepad.id);
    before = sandbox.Snapshot();
    Click(host.hWnd, notepad.id);
    // What the program never wrote goes too; the sibling verb stays.
    ExpectOnly(before, sandbox.Snapshot(), notepad.onUncheck, notepad.id);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\edit"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\open\\command"));
}

TEST(UsabilityPageTest, FullPathAddressIsSetToOneEitherWay) {
    RegistrySandbox sandbox;
    const expect::Box& fullPath = expect::BoxAt(Usability, 1014);
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    for (const Changes* cell : {&fullPath.onCheck, &fullPath.onUncheck}) {
        for (const auto& entry : *cell)
            if (entry.first.ends_with(":FullPathAddress"))
                Put(entry.first, Dword(0));
        const Snapshot before = sandbox.Snapshot();
        Click(host.hWnd, fullPath.id);
        ExpectOnly(before, sandbox.Snapshot(), *cell, fullPath.id);
    }
}

TEST(UsabilityPageTest, CheckingReplacesANumericNoRunWithText) {
    RegistrySandbox sandbox;
    const expect::Box& cleanup = expect::BoxAt(Usability, 1009);
    Put(cleanup.checkedBy.begin()->first, Dword(1));
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    const Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, cleanup.id);
    ExpectOnly(before, sandbox.Snapshot(), cleanup.onCheck, cleanup.id);
}

// The logon row and the verb's keys fail; the store still records the
// user's choice, so the next start shows it.
TEST(UsabilityPageTest, WithoutRightsOnlyThePerUserPartHappens) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    auto host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    ASSERT_TRUE(host->hWnd);
    ExpectCells(sandbox, shell, host->hWnd, PerUserOnly(expect::BoxesOf(Usability)));
    Click(host->hWnd, 1006);
    host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    EXPECT_TRUE(IsChecked(host->hWnd, 1006));
}

TEST(UsabilityPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CUsabilityDlg>(IDD_USABILITY, Usability);
}

} // namespace
