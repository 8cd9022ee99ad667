// Whose per-user settings a command reads and writes: the caller's, those of
// a signed-in user under HKEY_USERS\<SID>, or those in a profile file loaded
// under HKEY_USERS for the command. HKEY_CURRENT_USER is redirected for the
// whole process, so every table and phrase reads and writes as it always does.
#pragma once

#include "system/Mounts.h"
#include "system/NonCopyable.h"
#include "system/Redirection.h"
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


// Redirects HKEY_CURRENT_USER until it is closed or destroyed; the previous
// meaning of HKEY_CURRENT_USER comes back then, and a loaded file is
// unloaded, also on Ctrl+C. While one is open (or an OfflineImage), opening
// another is refused. While it redirects, no registry link below
// HKEY_CURRENT_USER is followed (RegLinks.h).
class UserHive : NonCopyable {
public:
    ~UserHive();

    // A signed-in user by name or SID: their hive must be loaded.
    bool OpenUser(const std::string& nameOrSid, std::string* error);
    // A profile file, loaded with the backup and restore privileges.
    // Loaded as `mount`, or as HiveMountName() when it is empty.
    bool OpenFile(const std::string& path, std::string* error, const std::string& mount = {});
    // The caller's own profile, which HKEY_CURRENT_USER already is: nothing
    // is redirected, but what is written names it HKEY_USERS\<SID>. False,
    // with why when asked, while another is open.
    bool OpenOwn(const std::string& sid, std::string* error = nullptr);
    // Puts HKEY_CURRENT_USER back and unloads a loaded file. False, with why,
    // when the file could not be unloaded.
    bool Close(std::string* error);

private:
    bool Redirect(const std::string& below, std::string* error);
    bool Load(const std::string& path, const std::wstring& file, const std::string& mount,
              std::string* error);
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
