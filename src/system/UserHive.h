// Whose per-user settings a command reads and writes: the caller's, those of
// a signed-in user under HKEY_USERS\<SID>, or those in a profile file loaded
// under HKEY_USERS for the command. HKEY_CURRENT_USER is redirected for the
// whole process, so every table and phrase reads and writes as it always does.
#pragma once

#include "system/NonCopyable.h"
#include "system/UserSid.h"

#include <windows.h>

#include <string>
#include <vector>

// True when this process runs as LocalSystem. Tests replace it.
using CallerIsLocalSystemFn = bool (*)();
extern CallerIsLocalSystemFn g_pfnCallerIsLocalSystem;

// Opens HKEY_USERS\<below> for HKEY_CURRENT_USER to stand for. Tests replace
// it: Wine keeps no security in a profile file, so no file can deny it.
using OpenUsersKeyFn = LSTATUS (*)(const char* below, HKEY* key);
extern OpenUsersKeyFn g_pfnOpenUsersKey;

// How a backup names a profile file's keys, below HKEY_USERS: one name for
// every run, so that a backup taken from a file restores into that file
// loaded again. Each run loads the file as "Morvane.Hive.<PID>", a name of
// its own, so that a run that was killed cannot block the next.
inline constexpr char kHiveMount[] = "Morvane.Hive";

// The name below HKEY_USERS that this process loads a profile file as.
std::string HiveMountName();

// Where a walk over every profile loads its n-th profile file:
// "Morvane.Hive.<PID>.<n>", its process's name with the profile's number.
std::string ProfileMount(int n);

// Unloads every "Morvane.Hive.<PID>[.<N>]" key below HKEY_USERS whose
// process is not running: what a run that was killed left loaded. Needs the
// backup and restore privileges enabled. Returns the names it unloaded.
std::vector<std::string> UnloadStaleMounts();

// The keys of ours below HKEY_USERS whose name holds no process id, such as
// "Morvane.Hive" loaded by hand to import a backup: whose they are cannot be
// told, so they are never unloaded.
std::vector<std::string> MountsOfNoRun();

// Redirects HKEY_CURRENT_USER until it is closed or destroyed; the previous
// meaning of HKEY_CURRENT_USER comes back then, and a loaded file is
// unloaded, also on Ctrl+C. Only one may be open at a time. While it
// redirects, no registry link below HKEY_CURRENT_USER is followed
// (RegLinks.h).
class UserHive : NonCopyable {
public:
    ~UserHive();

    // A signed-in user by name or SID: their hive must be loaded.
    bool OpenUser(const std::string& nameOrSid, std::string* error);
    // A profile file, loaded with the backup and restore privileges.
    // Loaded as `mount`, or as HiveMountName() when it is empty.
    bool OpenFile(const std::string& path, std::string* error, const std::string& mount = {});
    // The caller's own profile, which HKEY_CURRENT_USER already is: nothing
    // is redirected, but what is written names it HKEY_USERS\<SID>.
    void OpenOwn(const std::string& sid);
    // Puts HKEY_CURRENT_USER back and unloads a loaded file. False, with why,
    // when the file could not be unloaded.
    bool Close(std::string* error);

private:
    HKEY m_previous = nullptr; // what HKEY_CURRENT_USER meant before
    HKEY m_target = nullptr;
    bool m_loaded = false;
    bool Redirect(const std::string& below, std::string* error);
};

// The per-user root as a backup names it: "HKEY_CURRENT_USER", or
// "HKEY_USERS\<SID>" (or "HKEY_USERS\Morvane.Hive" for a file) while a
// UserHive is open.
std::string CurrentUserRootText();

// The key that HKEY_CURRENT_USER really stands for now: as
// CurrentUserRootText, but a file under the name this run loaded it as.
std::string CurrentUserKeyText();

// True while a UserHive redirects HKEY_CURRENT_USER.
bool CurrentUserRedirected();

// Unloads a loaded profile file at once; what Ctrl+C and a closed console
// run. Returns FALSE so that the process then ends as it would have.
BOOL WINAPI UnloadHiveOnBreak(DWORD event);
