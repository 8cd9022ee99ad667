#include "system/UserHive.h"

#include "system/ErrorText.h"
#include "system/RegLinks.h"
#include "system/WideNames.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool RunsAsLocalSystem() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    bool system = false;
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        system = IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                WinLocalSystemSid) != FALSE;
    CloseHandle(token);
    return system;
}

LSTATUS OpenUsersKey(const char* below, HKEY* key) {
    return RegOpenKeyExA(HKEY_USERS, below, 0, MAXIMUM_ALLOWED, key);
}

} // namespace

CallerIsLocalSystemFn g_pfnCallerIsLocalSystem = RunsAsLocalSystem;
OpenUsersKeyFn g_pfnOpenUsersKey = OpenUsersKey;

UserHive::~UserHive() {
    std::string ignored;
    Close(&ignored);
}

bool UserHive::Redirect(const std::string& below, std::string* error) {
    HKEY target = nullptr;
    LSTATUS status = g_pfnOpenUsersKey(below.c_str(), &target);
    if (status != ERROR_SUCCESS) {
        *error = ErrorText(static_cast<DWORD>(status));
        return false;
    }
    status = Redirection::Process().RedirectUser(this, target);
    if (status != ERROR_SUCCESS) {
        *error = "cannot redirect HKEY_CURRENT_USER: " + ErrorText(static_cast<DWORD>(status));
        return false;
    }
    Redirection::Process().NameUser(this, "HKEY_USERS\\" + below, "HKEY_USERS\\" + below);
    return true;
}

bool UserHive::OpenUser(const std::string& nameOrSid, std::string* error) {
    std::string sid;
    if (!Redirection::Process().Claim(this, error))
        return false;
    if (!ResolveUserSid(nameOrSid, &sid, error)) {
        Close(error);
        return false;
    }
    std::string why;
    if (!Redirect(sid, &why)) {
        Close(&why);
        *error = (sid == nameOrSid ? sid : nameOrSid + " (" + sid + ")") +
                 " has no loaded profile under HKEY_USERS: the user is not signed in (" + why +
                 "); give their NTUSER.DAT with --hive instead";
        return false;
    }
    return true;
}

namespace {

const char kInUse[] = "; it is in use (its user may be signed in: use --user)";

// The file's name as the wide functions take it; false, saying why, for
// one that is not UTF-8.
bool WidePath(const std::string& path, std::wstring* wide, std::string* error) {
    if (WideName(path, wide) && !wide->empty())
        return true;
    *error = "cannot find the profile file " + path + ": not a valid name (not UTF-8)";
    return false;
}

// False, saying why, for what is not a profile file that can be loaded.
bool IsHiveFile(const std::string& path, const std::wstring& wide, std::string* error) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = "cannot find the profile file " + path + ": " + ErrorText(GetLastError());
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *error = path + " is a folder, not a profile file";
        return false;
    }
    // A file held open by another program is in use.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *error = "cannot open the profile file " + path + ": " + ErrorText(code) +
                 (code == ERROR_SHARING_VIOLATION ? kInUse : "");
        return false;
    }
    const bool hive = BeginsAsHive(file);
    CloseHandle(file);
    if (!hive)
        *error = path + " is not a registry hive file";
    return hive;
}

} // namespace

bool UserHive::OpenOwn(const std::string& sid, std::string* error) {
    std::string refused;
    if (!Redirection::Process().Claim(this, error ? error : &refused))
        return false;
    Redirection::Process().NameUser(this, "HKEY_USERS\\" + sid, "HKEY_USERS\\" + sid);
    return true;
}

bool UserHive::Load(const std::string& path, const std::wstring& file, const std::string& mount,
                    std::string* error) {
    Redirection& redirection = Redirection::Process();
    if (!redirection.EnablePrivileges(this)) {
        *error =
            "loading " + path + " needs the backup and restore privileges: run as an administrator";
        return false;
    }
    UnloadStaleMounts();
    const LSTATUS status = redirection.Load(this, HKEY_USERS, mount, file);
    if (status != ERROR_SUCCESS) {
        *error = "cannot load " + path +
                 " as a profile hive: " + ErrorText(static_cast<DWORD>(status)) +
                 (status == ERROR_SHARING_VIOLATION ? kInUse : "");
        return false;
    }
    return true;
}

bool UserHive::OpenFile(const std::string& path, std::string* error, const std::string& name) {
    const std::string mount = name.empty() ? HiveMountName() : name;
    std::wstring wide;
    std::string why;
    if (!Redirection::Process().Claim(this, error))
        return false;
    const bool opened = WidePath(path, &wide, error) && IsHiveFile(path, wide, error) &&
                        Load(path, wide, mount, error);
    if (opened && !Redirect(mount, &why))
        *error = "cannot open " + path + " once loaded: " + why;
    if (!opened || !why.empty()) {
        Close(&why);
        return false;
    }
    Redirection::Process().NameUser(this, std::string("HKEY_USERS\\") + kHiveMount,
                                    "HKEY_USERS\\" + mount);
    return true;
}

bool UserHive::Close(std::string* error) {
    return Redirection::Process().Release(this, error);
}

std::string CurrentUserRootText() {
    return Redirection::Process().UserRoot();
}

std::string CurrentUserKeyText() {
    return Redirection::Process().UserKey();
}

bool CurrentUserRedirected() {
    return CurrentUserRootText() != "HKEY_CURRENT_USER";
}
