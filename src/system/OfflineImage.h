// An offline Windows installation (a folder where an image is mounted, or an
// applied image) whose registry the registry layer reads and writes instead
// of the running system's while it is open: its three hives are loaded under
// names of this run's own, HKEY_CURRENT_USER stands for its Default profile,
// and every machine-wide key is mapped into its hives (KeyMap.h). It shares
// the process's one redirection with UserHive: never both open at once.
#pragma once

#include "system/NonCopyable.h"

#include <string>

// The files an image must hold, below its folder, with the part each is
// loaded as (ImageMountName): SOFTWARE and SYSTEM below HKEY_LOCAL_MACHINE,
// Default below HKEY_USERS.
struct ImageHive {
    const char* file;
    const char* part;
    bool perUser; // loaded below HKEY_USERS
};
inline constexpr ImageHive kImageHives[] = {
    {"Windows\\System32\\config\\SOFTWARE", "SOFTWARE", false},
    {"Windows\\System32\\config\\SYSTEM", "SYSTEM", false},
    {"Users\\Default\\NTUSER.DAT", "Default", true},
};

// How the per-user root is named while an image is open (CurrentUserRootText),
// one name for every run; the key it really is holds the run's PID
// (CurrentUserKeyText): HKEY_USERS\Morvane.Image.<PID>.Default.
inline constexpr char kImageUserRoot[] = "HKEY_USERS\\Morvane.Image.Default";

class OfflineImage : NonCopyable {
public:
    ~OfflineImage();
    // Checks the folder and loads its hives with the backup and restore
    // privileges. False, with why, leaving nothing loaded or changed: a folder
    // that is the running system's, one missing any of the three files (each
    // named), a hive file that cannot be opened for writing, a SYSTEM without
    // a valid Select\Current, or while a UserHive or another image is open.
    bool Open(const std::string& dir, std::string* error);
    // Puts everything back and unloads the hives, as on Ctrl+C
    // (UnloadHiveOnBreak). False, with why, when one could not be unloaded.
    bool Close(std::string* error);

private:
    bool Load(const std::string& dir, const std::wstring& root, std::string* error);
    bool UseControlSet(const std::string& file, std::string* error);
    bool UseDefaultProfile(std::string* error);
};

// True while an OfflineImage is open.
bool OfflineImageOpen();
