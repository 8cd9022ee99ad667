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

// Enables or disables both privileges that loading and unloading a hive need.
bool HivePrivileges(bool enable) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    bool all = true;
    for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES p = {1};
        p.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        if (!LookupPrivilegeValueA(nullptr, name, &p.Privileges[0].Luid) ||
            !AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr) ||
            GetLastError() == ERROR_NOT_ALL_ASSIGNED)
            all = false;
    }
    CloseHandle(token);
    return all;
}

// What is open now; the break handler reaches it from another thread.
std::string g_root = "HKEY_CURRENT_USER";
std::string g_key = "HKEY_CURRENT_USER";
char g_mount[64] = "";
HKEY g_previous = nullptr;
HKEY g_target = nullptr;
volatile LONG g_mounted = 0;

std::wstring WideMount() {
    return std::wstring(g_mount, g_mount + strlen(g_mount)); // ASCII: a name of this program's
}

LSTATUS Unmount() {
    if (!InterlockedExchange(&g_mounted, 0))
        return ERROR_SUCCESS;
    // Not redirected yet when opening the loaded file failed: HKEY_CURRENT_USER
    // still stands for what it did.
    if (g_target) {
        RegOverridePredefKey(HKEY_CURRENT_USER, g_previous);
        RegCloseKey(g_target);
    }
    g_target = nullptr;
    const LSTATUS status = RegUnLoadKeyA(HKEY_USERS, g_mount);
    HivePrivileges(false);
    return status;
}

// "Morvane.Hive", or "Morvane.Hive.<PID>" or "Morvane.Hive.<PID>.<N>" with
// the PID in *pid; false for any other name.
bool MountOfOurs(const std::string& name, DWORD* pid) {
    *pid = 0;
    const size_t prefix = strlen(kHiveMount);
    if (name.size() < prefix || _strnicmp(name.c_str(), kHiveMount, prefix) != 0)
        return false;
    if (name.size() == prefix)
        return true;
    std::string rest = name.substr(prefix);
    for (int part = 0; part < 2 && !rest.empty(); ++part) {
        size_t digits = 1;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        if (rest[0] != '.' || digits == 1 || digits > 11)
            return false;
        for (size_t i = 1; part == 0 && i < digits; ++i)
            *pid = *pid * 10 + static_cast<DWORD>(rest[i] - '0');
        rest.erase(0, digits);
    }
    return rest.empty();
}

LSTATUS OpenUsersKey(const char* below, HKEY* key) {
    return RegOpenKeyExA(HKEY_USERS, below, 0, MAXIMUM_ALLOWED, key);
}

bool ProcessRuns(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but not ours to open
    DWORD code = 0;
    const bool runs = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}

} // namespace

CallerIsLocalSystemFn g_pfnCallerIsLocalSystem = RunsAsLocalSystem;
OpenUsersKeyFn g_pfnOpenUsersKey = OpenUsersKey;

std::string HiveMountName() {
    return std::string(kHiveMount) + "." + std::to_string(GetCurrentProcessId());
}

std::string ProfileMount(int n) {
    return HiveMountName() + "." + std::to_string(n);
}

namespace {

// The mounts of ours below HKEY_USERS whose name's process id (0 for none)
// passes `take`.
std::vector<std::string> OurMounts(bool (*take)(DWORD pid)) {
    std::vector<std::string> mounts;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        const LSTATUS status =
            RegEnumKeyExA(HKEY_USERS, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        DWORD pid;
        if (MountOfOurs(name, &pid) && take(pid))
            mounts.push_back(name);
    }
    return mounts;
}

} // namespace

std::vector<std::string> UnloadStaleMounts() {
    std::vector<std::string> unloaded;
    for (const std::string& mount : OurMounts([](DWORD pid) { return pid && !ProcessRuns(pid); }))
        if (RegUnLoadKeyA(HKEY_USERS, mount.c_str()) == ERROR_SUCCESS)
            unloaded.push_back(mount);
    return unloaded;
}

std::vector<std::string> MountsOfNoRun() {
    return OurMounts([](DWORD pid) { return !pid; });
}

UserHive::~UserHive() {
    std::string ignored;
    Close(&ignored);
}

bool UserHive::Redirect(const std::string& below, std::string* error) {
    LSTATUS status = g_pfnOpenUsersKey(below.c_str(), &m_target);
    if (status != ERROR_SUCCESS) {
        m_target = nullptr;
        *error = ErrorText(static_cast<DWORD>(status));
        return false;
    }
    // An empty subkey: RegOpenKeyEx would hand back the predefined handle
    // itself, RegCreateKeyEx gives a handle to what it stands for now.
    status = RegCreateKeyExA(HKEY_CURRENT_USER, "", 0, nullptr, 0, MAXIMUM_ALLOWED, nullptr,
                             &m_previous, nullptr);
    if (status == ERROR_SUCCESS)
        status = RegOverridePredefKey(HKEY_CURRENT_USER, m_target);
    if (status != ERROR_SUCCESS) {
        if (m_previous)
            RegCloseKey(m_previous);
        RegCloseKey(m_target);
        m_previous = m_target = nullptr;
        *error = "cannot redirect HKEY_CURRENT_USER: " + ErrorText(static_cast<DWORD>(status));
        return false;
    }
    g_root = g_key = "HKEY_USERS\\" + below;
    RefuseUserLinks(true);
    return true;
}

bool UserHive::OpenUser(const std::string& nameOrSid, std::string* error) {
    std::string sid;
    if (!ResolveUserSid(nameOrSid, &sid, error))
        return false;
    std::string why;
    if (!Redirect(sid, &why)) {
        *error = (sid == nameOrSid ? sid : nameOrSid + " (" + sid + ")") +
                 " has no loaded profile under HKEY_USERS: the user is not signed in (" + why +
                 "); give their NTUSER.DAT with --hive instead";
        return false;
    }
    return true;
}

// False, saying why, for what is not a profile file that can be loaded.
static bool IsHiveFile(const std::string& path, const std::wstring& wide, std::string* error) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = "cannot find the profile file " + path + ": " + ErrorText(GetLastError());
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *error = path + " is a folder, not a profile file";
        return false;
    }
    // Only a hive file is loaded: Windows' own begin "regf", those that Wine
    // saves with a text line. A file held open by another program is in use.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *error = "cannot open the profile file " + path + ": " + ErrorText(code) +
                 (code == ERROR_SHARING_VIOLATION
                      ? "; it is in use (its user may be signed in: use --user)"
                      : "");
        return false;
    }
    char head[24] = {};
    DWORD read = 0;
    const bool readOk = ReadFile(file, head, sizeof(head), &read, nullptr) != FALSE;
    CloseHandle(file);
    constexpr char kWineHive[] = "WINE REGISTRY Version 2";
    if (!readOk ||
        (!(read >= 4 && memcmp(head, "regf", 4) == 0) &&
         !(read >= sizeof(kWineHive) - 1 && memcmp(head, kWineHive, sizeof(kWineHive) - 1) == 0))) {
        *error = path + " is not a registry hive file";
        return false;
    }
    return true;
}

void UserHive::OpenOwn(const std::string& sid) {
    g_root = g_key = "HKEY_USERS\\" + sid;
}

bool UserHive::OpenFile(const std::string& path, std::string* error, const std::string& name) {
    std::wstring wide;
    if (!WideName(path, &wide) || wide.empty()) {
        *error = "cannot find the profile file " + path + ": not a valid name (not UTF-8)";
        return false;
    }
    if (!IsHiveFile(path, wide, error))
        return false;
    if (!HivePrivileges(true)) {
        HivePrivileges(false);
        *error =
            "loading " + path + " needs the backup and restore privileges: run as an administrator";
        return false;
    }
    UnloadStaleMounts();
    const std::string mount = name.empty() ? HiveMountName() : name;
    snprintf(g_mount, sizeof(g_mount), "%s", mount.c_str());
    const LSTATUS status = RegLoadKeyW(HKEY_USERS, WideMount().c_str(), wide.c_str());
    if (status != ERROR_SUCCESS) {
        RegUnLoadKeyA(HKEY_USERS, g_mount); // a load that failed halfway may leave its key
        HivePrivileges(false);
        *error = "cannot load " + path +
                 " as a profile hive: " + ErrorText(static_cast<DWORD>(status)) +
                 (status == ERROR_SHARING_VIOLATION
                      ? "; it is in use (its user may be signed in: use --user)"
                      : "");
        return false;
    }
    m_loaded = true;
    g_mounted = 1;
    SetConsoleCtrlHandler(UnloadHiveOnBreak, TRUE);
    std::string why;
    if (!Redirect(mount, &why)) {
        std::string ignored;
        Close(&ignored);
        *error = "cannot open " + path + " once loaded: " + why;
        return false;
    }
    g_root = std::string("HKEY_USERS\\") + kHiveMount;
    g_previous = m_previous;
    g_target = m_target;
    return true;
}

bool UserHive::Close(std::string* error) {
    bool done = true;
    if (m_loaded) {
        SetConsoleCtrlHandler(UnloadHiveOnBreak, FALSE);
        g_previous = m_previous;
        g_target = m_target;
        m_target = nullptr;
        if (const LSTATUS status = Unmount(); status != ERROR_SUCCESS) {
            *error = std::string("cannot unload HKEY_USERS\\") + g_mount + ": " +
                     ErrorText(static_cast<DWORD>(status));
            done = false;
        }
        m_loaded = false;
    } else if (m_target) {
        RegOverridePredefKey(HKEY_CURRENT_USER, m_previous);
        RegCloseKey(m_target);
        m_target = nullptr;
    }
    if (m_previous)
        RegCloseKey(m_previous);
    m_previous = nullptr;
    g_previous = nullptr;
    g_root = g_key = "HKEY_CURRENT_USER";
    RefuseUserLinks(false);
    return done;
}

std::string CurrentUserRootText() {
    return g_root;
}

std::string CurrentUserKeyText() {
    return g_key;
}

bool CurrentUserRedirected() {
    return g_root != "HKEY_CURRENT_USER";
}

BOOL WINAPI UnloadHiveOnBreak(DWORD) {
    Unmount();
    return FALSE;
}
