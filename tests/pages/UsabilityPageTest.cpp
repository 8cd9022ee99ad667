// The Usability page on its real dialog, in a sandboxed registry. Per-user
// shell tweaks, one machine-wide logon setting, and a Notepad verb for every
// file whose state lives in the program's own store.
#include "pages/CUsabilityDlg.h"
#include "resource.h"
#include "support/Cells.h"

#include <gtest/gtest.h>

namespace {

const std::string POLEXPLORER =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\:";
const std::string ADVANCED =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\:";
const std::string CLEANUPWIZ =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz\\:";
const std::string WINLOGON = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\:";
const std::string CABINET =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState\\:";
const std::string STORE = "HKCU\\Software\\Quelt\\:";
const std::string EDIT = "HKCR\\*\\shell\\edit\\";
const std::string EDIT_DEFAULT = EDIT + ":";
const std::string COMMAND_DEFAULT = EDIT + "command\\:";
const RegValue kEditCaption{REG_SZ, std::string("Edit\0", 5)};
const RegValue kEditCommand{REG_SZ, std::string("notepad.exe \"%1\"\0", 17)};
constexpr std::nullopt_t DELETED = std::nullopt;

struct Row {
    int id;
    std::string label, tip;
    Snapshot checkedBy;
    Changes onCheck, onUncheck;
};

// In template order.
const std::vector<Row> kRows = {
    {1004,
     "Disable Diskspace Warning",
     "Disable the warnings on low diskspace",
     {{POLEXPLORER + "NoLowDiskSpaceChecks", Dword(1)}},
     {{POLEXPLORER + "NoLowDiskSpaceChecks", Dword(1)}},
     {{POLEXPLORER + "NoLowDiskSpaceChecks", DELETED}}},
    {1006,
     "Integrate Notepad into shell",
     "Add Notepad shortcut to the context-menu",
     {{STORE + "Edit Window", Dword(1)}},
     {{EDIT_DEFAULT, kEditCaption},
      {COMMAND_DEFAULT, kEditCommand},
      {STORE + "Edit Window", Dword(1)}},
     {{EDIT, DELETED}, {STORE + "Edit Window", Dword(0)}}},
    {1009,
     "Disable Desktop Cleanup Wizard",
     "Disables Windows to clean up the Desktop periodically",
     {{CLEANUPWIZ + "NoRun", Sz("1")}},
     {{CLEANUPWIZ + "NoRun", Sz("1")}},
     {{CLEANUPWIZ + "NoRun", DELETED}}},
    {1010,
     "Disable Task Grouping",
     "Disable task-grouping in the Taskbar",
     {{ADVANCED + "TaskbarGlomming", Dword(0)}},
     {{ADVANCED + "TaskbarGlomming", Dword(0)}},
     {{ADVANCED + "TaskbarGlomming", DELETED}}},
    {1011,
     "Use Classic Start Menu",
     "Enable the classic Start Menu",
     {{POLEXPLORER + "NoSimpleStartMenu", Dword(1)}},
     {{POLEXPLORER + "NoSimpleStartMenu", Dword(1)}},
     {{POLEXPLORER + "NoSimpleStartMenu", DELETED}}},
    {1014,
     "Display full path in title bar",
     "Show the full path in title and address bar",
     {{CABINET + "FullPath", Dword(1)}},
     {{CABINET + "FullPath", Dword(1)}, {CABINET + "FullPathAddress", Dword(1)}},
     {{CABINET + "FullPath", Dword(0)}, {CABINET + "FullPathAddress", Dword(1)}}},
    {1015,
     "Disable Thumbnail Caching",
     "Disables the caching of images in the Explorer",
     {{ADVANCED + "DisableThumbnailCache", Dword(1)}},
     {{ADVANCED + "DisableThumbnailCache", Dword(1)}},
     {{ADVANCED + "DisableThumbnailCache", Dword(0)}}},
    {1012,
     "Use Classic Logon Window",
     "Use classic Logon window instead of Welcome screen",
     {{WINLOGON + "LogonType", Dword(0)}},
     {{WINLOGON + "LogonType", Dword(0)}},
     {{WINLOGON + "LogonType", Dword(1)}}},
    {1018,
     "Show hidden files and folders",
     "Show hidden files and folders",
     {{ADVANCED + "Hidden", Dword(1)}},
     {{ADVANCED + "Hidden", Dword(1)}},
     {{ADVANCED + "Hidden", Dword(2)}}},
    {1019,
     "Show all file extensions",
     "Show extensions of known filetypes",
     {{ADVANCED + "HideFileExt", Dword(0)}},
     {{ADVANCED + "HideFileExt", Dword(0)}},
     {{ADVANCED + "HideFileExt", Dword(1)}}},
};

const Row& ById(int id) {
    return *std::find_if(kRows.begin(), kRows.end(), [id](const Row& r) { return r.id == id; });
}

std::vector<CellCase> Cells() {
    std::vector<CellCase> cases;
    for (const Row& r : kRows)
        cases.push_back({r.id, r.onCheck, r.onUncheck});
    return cases;
}

std::set<int> CheckedWith(const Snapshot& stored) {
    return ::CheckedWith<CUsabilityDlg>(IDD_USABILITY, stored);
}

TEST(UsabilityPageTest, WithNothingStoredEveryBoxIsUnchecked) {
    EXPECT_EQ(CheckedWith({}), std::set<int>{});
}

TEST(UsabilityPageTest, EachBoxIsCheckedByAllItsValuesAndOnlyThem) {
    std::vector<StartCase> cases;
    for (const Row& r : kRows)
        cases.push_back({r.id, r.checkedBy});
    ExpectConditions<CUsabilityDlg>(IDD_USABILITY, cases);
}

TEST(UsabilityPageTest, EdgeCasesAtStart) {
    // The verb's keys are never read: only the store tells.
    EXPECT_EQ(CheckedWith({{EDIT_DEFAULT, kEditCaption}, {COMMAND_DEFAULT, kEditCommand}}),
              std::set<int>{});
    EXPECT_EQ(CheckedWith({{CLEANUPWIZ + "NoRun", Dword(1)}}), std::set<int>{});
    EXPECT_EQ(CheckedWith({{ADVANCED + "Hidden", Dword(2)}}), std::set<int>{});
    EXPECT_EQ(
        CheckedWith({{CABINET + "FullPath", Dword(0)}, {CABINET + "FullPathAddress", Dword(1)}}),
        std::set<int>{});
    EXPECT_EQ(CheckedWith({{CABINET + "FullPathAddress", Dword(1)}}), std::set<int>{});
}

TEST(UsabilityPageTest, EachClickPerformsExactlyItsCell) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    auto host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    ASSERT_TRUE(host->hWnd);
    ExpectCells(sandbox, host->hWnd, Cells());
    EXPECT_TRUE(shell.Take().empty());
    host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    for (const Row& r : kRows)
        EXPECT_FALSE(IsChecked(host->hWnd, r.id)) << r.id;
}

TEST(UsabilityPageTest, NotepadVerbOverwritesTwoDefaultsThenRemovesTheWholeKey) {
    RegistrySandbox sandbox;
    Put(EDIT_DEFAULT, Sz("Old caption"));
    Put(EDIT + ":Extended", Sz(""));
    Put(COMMAND_DEFAULT, Sz("wordpad.exe"));
    Put(EDIT + "command\\:DelegateExecute", Sz("{guid}"));
    Put(EDIT + "ddeexec\\:", Sz("[open]"));
    Put("HKCR\\*\\shell\\open\\command\\:", Sz("other.exe"));
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    EXPECT_FALSE(IsChecked(host.hWnd, 1006)) << "first run";
    Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, 1006);
    ExpectOnly(before, sandbox.Snapshot(), ById(1006).onCheck, 1006);
    before = sandbox.Snapshot();
    Click(host.hWnd, 1006);
    // What the program never wrote goes too; the sibling verb stays.
    ExpectOnly(before, sandbox.Snapshot(), ById(1006).onUncheck, 1006);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\edit"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\open\\command"));
}

TEST(UsabilityPageTest, FullPathAddressIsSetToOneEitherWay) {
    RegistrySandbox sandbox;
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    for (const Changes* cell : {&ById(1014).onCheck, &ById(1014).onUncheck}) {
        Put(CABINET + "FullPathAddress", Dword(0));
        const Snapshot before = sandbox.Snapshot();
        Click(host.hWnd, 1014);
        ExpectOnly(before, sandbox.Snapshot(), *cell, 1014);
    }
}

TEST(UsabilityPageTest, CheckingReplacesANumericNoRunWithText) {
    RegistrySandbox sandbox;
    Put(CLEANUPWIZ + "NoRun", Dword(1));
    HostedPage<CUsabilityDlg> host(IDD_USABILITY);
    const Snapshot before = sandbox.Snapshot();
    Click(host.hWnd, 1009);
    ExpectOnly(before, sandbox.Snapshot(), {{CLEANUPWIZ + "NoRun", Sz("1")}}, 1009);
}

// The logon row and the verb's keys fail; the store still records the
// user's choice, so the next start shows it.
TEST(UsabilityPageTest, WithoutRightsOnlyThePerUserPartHappens) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    auto host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    ASSERT_TRUE(host->hWnd);
    ExpectCells(sandbox, host->hWnd, PerUserOnly(Cells()));
    Click(host->hWnd, 1006);
    host = std::make_unique<HostedPage<CUsabilityDlg>>(IDD_USABILITY);
    EXPECT_TRUE(IsChecked(host->hWnd, 1006));
}

TEST(UsabilityPageTest, LabelsAndTooltipsAsShown) {
    ExpectShownTexts<CUsabilityDlg>(IDD_USABILITY, kRows);
}

} // namespace
