#include "pages/CUsabilityDlg.h"

#include "resource.h"

namespace {
constexpr char POLEXPLORER[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr char ADVANCED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr char CLEANUPWIZ[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz";
constexpr char WINLOGON[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char CABINET[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";
constexpr const char* STORE = nullptr;
constexpr DWORD NONE = 0xFFFFFFFF; // the default that no condition of this page accepts
} // namespace

// clang-format off
const TweakRow CUsabilityDlg::kTweaks[10] = {
    {1004, "Disable Diskspace Warning", "Disable the warnings on low diskspace",
     {DwordIs(POLEXPLORER, "NoLowDiskSpaceChecks", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, POLEXPLORER, "NoLowDiskSpaceChecks", 1)},
     {Delete(HKCU, POLEXPLORER, "NoLowDiskSpaceChecks")}},
    // The verb's keys are never read back: the store keeps the last choice.
    {1006, "Integrate Notepad into shell", "Add Notepad shortcut to the context-menu",
     {DwordIs(STORE, "Edit Window", NONE, HkcuFirst, 1)},
     {CreateClassKey("*\\shell\\edit", "Edit"), CreateClassKey("*\\shell\\edit\\command", "notepad.exe \"%1\""),
      SetDword(HKCU, STORE, "Edit Window", 1)},
     {DeleteClassKey("*\\shell\\edit"), SetDword(HKCU, STORE, "Edit Window", 0)}},
    {1009, "Disable Desktop Cleanup Wizard", "Disables Windows to clean up the Desktop periodically",
     {StringIs("NoRun", CLEANUPWIZ, "1")},
     {SetString(CLEANUPWIZ, "NoRun", "1")},
     {Delete(HKCU, CLEANUPWIZ, "NoRun")}},
    {1010, "Disable Task Grouping", "Disable task-grouping in the Taskbar",
     {DwordIs(ADVANCED, "TaskbarGlomming", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, ADVANCED, "TaskbarGlomming", 0)},
     {Delete(HKCU, ADVANCED, "TaskbarGlomming")}},
    {1011, "Use Classic Start Menu", "Enable the classic Start Menu",
     {DwordIs(POLEXPLORER, "NoSimpleStartMenu", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, POLEXPLORER, "NoSimpleStartMenu", 1)},
     {Delete(HKCU, POLEXPLORER, "NoSimpleStartMenu")}},
    {1014, "Display full path in title bar", "Show the full path in title and address bar",
     {DwordIs(CABINET, "FullPath", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, CABINET, "FullPath", 1), SetDword(HKCU, CABINET, "FullPathAddress", 1)},
     {SetDword(HKCU, CABINET, "FullPath", 0), SetDword(HKCU, CABINET, "FullPathAddress", 1)}},
    {1015, "Disable Thumbnail Caching", "Disables the caching of images in the Explorer",
     {DwordIs(ADVANCED, "DisableThumbnailCache", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, ADVANCED, "DisableThumbnailCache", 1)},
     {SetDword(HKCU, ADVANCED, "DisableThumbnailCache", 0)}},
    {1012, "Use Classic Logon Window", "Use classic Logon window instead of Welcome screen",
     {DwordIs(WINLOGON, "LogonType", 1, HklmOnly, 0)},
     {SetDword(HKLM, WINLOGON, "LogonType", 0)},
     {SetDword(HKLM, WINLOGON, "LogonType", 1)}},
    {1018, "Show hidden files and folders", "Show hidden files and folders",
     {DwordIs(ADVANCED, "Hidden", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, ADVANCED, "Hidden", 1)},
     {SetDword(HKCU, ADVANCED, "Hidden", 2)}},
    {1019, "Show all file extensions", "Show extensions of known filetypes",
     {DwordIs(ADVANCED, "HideFileExt", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, ADVANCED, "HideFileExt", 0)},
     {SetDword(HKCU, ADVANCED, "HideFileExt", 1)}},
};
// clang-format on

CUsabilityDlg::CUsabilityDlg(CWnd* pParent) : CTweakPage(IDD_USABILITY, pParent, kTweaks) {}

// Bound in member order, which differs from the template's.
void CUsabilityDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1004, m_chkNoDiskSpaceWarning);
    DDX_Control(pDX, 1006, m_chkNotepadVerb);
    DDX_Control(pDX, 1009, m_chkNoCleanupWizard);
    DDX_Control(pDX, 1010, m_chkNoTaskGrouping);
    DDX_Control(pDX, 1011, m_chkClassicStartMenu);
    DDX_Control(pDX, 1012, m_chkClassicLogon);
    DDX_Control(pDX, 1018, m_chkShowHidden);
    DDX_Control(pDX, 1019, m_chkShowExtensions);
    DDX_Control(pDX, 1014, m_chkFullPath);
    DDX_Control(pDX, 1015, m_chkNoThumbnailCache);
}

BEGIN_MESSAGE_MAP(CUsabilityDlg, CTweakPage)
ON_TWEAK_CLICKED(1004)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1009)
ON_TWEAK_CLICKED(1010)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1014)
ON_TWEAK_CLICKED(1015)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1018)
ON_TWEAK_CLICKED(1019)
END_MESSAGE_MAP()
