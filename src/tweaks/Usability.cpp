#include "tweaks/Tweaks.h"

namespace {
constexpr Key POLEXPLORER{"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"};
constexpr Key ADVANCED{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"};
constexpr Key CLEANUPWIZ{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz"};
constexpr Key WINLOGON{"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"};
constexpr Key EDIT_VERB{"*\\shell\\edit"};
constexpr Key EDIT_COMMAND{"*\\shell\\edit\\command"};
constexpr Key CABINET{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState"};
} // namespace

// clang-format off
const TweakRow kUsabilityTweaks[10] = {
    {1004, "usability/disable-disk-space-warning", "Disable Diskspace Warning", "Disable the warnings on low diskspace",
     {DwordIs(POLEXPLORER, "NoLowDiskSpaceChecks", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, POLEXPLORER, "NoLowDiskSpaceChecks", 1)},
     {Delete(HKCU, POLEXPLORER, "NoLowDiskSpaceChecks")}},
    // The verb's keys are never read back: the store keeps the last choice.
    {1006, "usability/notepad-in-context-menu", "Integrate Notepad into shell", "Add Notepad shortcut to the context-menu",
     {DwordIs(STORE, "Edit Window", NONE, HkcuFirst, 1)},
     {CreateClassKey(EDIT_VERB, "Edit"), CreateClassKey(EDIT_COMMAND, "notepad.exe \"%1\""),
      SetDword(HKCU, STORE, "Edit Window", 1)},
     {DeleteClassKey(EDIT_VERB), SetDword(HKCU, STORE, "Edit Window", 0)}},
    {1009, "usability/disable-desktop-cleanup", "Disable Desktop Cleanup Wizard", "Disables Windows to clean up the Desktop periodically",
     {StringIs(CLEANUPWIZ, "NoRun", "1")},
     {SetString(CLEANUPWIZ, "NoRun", "1")},
     {Delete(HKCU, CLEANUPWIZ, "NoRun")}},
    {1010, "usability/disable-task-grouping", "Disable Task Grouping", "Disable task-grouping in the Taskbar",
     {DwordIs(ADVANCED, "TaskbarGlomming", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, ADVANCED, "TaskbarGlomming", 0)},
     {Delete(HKCU, ADVANCED, "TaskbarGlomming")}},
    {1011, "usability/classic-start-menu", "Use Classic Start Menu", "Enable the classic Start Menu",
     {DwordIs(POLEXPLORER, "NoSimpleStartMenu", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, POLEXPLORER, "NoSimpleStartMenu", 1)},
     {Delete(HKCU, POLEXPLORER, "NoSimpleStartMenu")}},
    {1014, "usability/full-path-in-title", "Display full path in title bar", "Show the full path in title and address bar",
     {DwordIs(CABINET, "FullPath", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, CABINET, "FullPath", 1), SetDword(HKCU, CABINET, "FullPathAddress", 1)},
     {SetDword(HKCU, CABINET, "FullPath", 0), SetDword(HKCU, CABINET, "FullPathAddress", 1)}},
    {1015, "usability/disable-thumbnail-cache", "Disable Thumbnail Caching", "Disables the caching of images in the Explorer",
     {DwordIs(ADVANCED, "DisableThumbnailCache", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, ADVANCED, "DisableThumbnailCache", 1)},
     {SetDword(HKCU, ADVANCED, "DisableThumbnailCache", 0)}},
    {1012, "usability/classic-logon", "Use Classic Logon Window", "Use classic Logon window instead of Welcome screen",
     {DwordIs(WINLOGON, "LogonType", 1, HklmOnly, 0)},
     {SetDword(HKLM, WINLOGON, "LogonType", 0)},
     {SetDword(HKLM, WINLOGON, "LogonType", 1)}},
    {1018, "usability/show-hidden-files", "Show hidden files and folders", "Show hidden files and folders",
     {DwordIs(ADVANCED, "Hidden", NONE, HkcuFirst, 1)},
     {SetDword(HKCU, ADVANCED, "Hidden", 1)},
     {SetDword(HKCU, ADVANCED, "Hidden", 2)}},
    {1019, "usability/show-file-extensions", "Show all file extensions", "Show extensions of known filetypes",
     {DwordIs(ADVANCED, "HideFileExt", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, ADVANCED, "HideFileExt", 0)},
     {SetDword(HKCU, ADVANCED, "HideFileExt", 1)}},
};
// clang-format on
