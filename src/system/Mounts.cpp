#include "system/Mounts.h"

#include <cstring>

namespace {

constexpr const char* kImageParts[] = {"SOFTWARE", "SYSTEM", "Default"};

// The name's part after `prefix`, when it begins with it.
bool After(const std::string& name, const char* prefix, std::string* rest) {
    const size_t length = strlen(prefix);
    if (name.size() < length || _strnicmp(name.c_str(), prefix, length) != 0)
        return false;
    *rest = name.substr(length);
    return true;
}

// Takes ".<digits>" off the front of rest, with its number in *number when
// given; false when rest does not begin so.
bool TakeNumber(std::string* rest, DWORD* number) {
    size_t digits = 1;
    while (digits < rest->size() && (*rest)[digits] >= '0' && (*rest)[digits] <= '9')
        ++digits;
    if (rest->empty() || (*rest)[0] != '.' || digits == 1 || digits > 11)
        return false;
    for (size_t i = 1; number && i < digits; ++i)
        *number = *number * 10 + static_cast<DWORD>((*rest)[i] - '0');
    rest->erase(0, digits);
    return true;
}

// "Morvane.Hive", or "Morvane.Hive.<PID>" or "Morvane.Hive.<PID>.<N>" with
// the PID in *pid; false for any other name.
bool HiveMountOfOurs(const std::string& name, DWORD* pid) {
    std::string rest;
    if (!After(name, kHiveMount, &rest))
        return false;
    if (rest.empty() || !TakeNumber(&rest, pid))
        return rest.empty();
    return rest.empty() || (TakeNumber(&rest, nullptr) && rest.empty());
}

// "Morvane.Image.<PID>.<part>" with the PID in *pid.
bool ImageMountOfOurs(const std::string& name, DWORD* pid) {
    std::string rest;
    if (!After(name, kImageMount, &rest) || !TakeNumber(&rest, pid) || rest.empty() ||
        rest[0] != '.')
        return false;
    for (const char* part : kImageParts)
        if (_stricmp(rest.c_str() + 1, part) == 0)
            return true;
    return false;
}

bool MountOfOurs(const std::string& name, DWORD* pid) {
    *pid = 0;
    return HiveMountOfOurs(name, pid) || (*pid = 0, ImageMountOfOurs(name, pid));
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

// The mounts of ours below `root` whose name's process id (0 for none)
// passes `take`.
std::vector<std::string> OurMounts(HKEY root, bool (*take)(DWORD pid)) {
    std::vector<std::string> mounts;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        const LSTATUS status =
            RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr);
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

bool Stale(DWORD pid) {
    return pid && !ProcessRuns(pid);
}

} // namespace

std::string HiveMountName() {
    return std::string(kHiveMount) + "." + std::to_string(GetCurrentProcessId());
}

std::string ProfileMount(int n) {
    return HiveMountName() + "." + std::to_string(n);
}

std::string ImageMountName(const char* part) {
    return std::string(kImageMount) + "." + std::to_string(GetCurrentProcessId()) + "." + part;
}

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

bool BeginsAsHive(HANDLE file) {
    char head[24] = {};
    DWORD read = 0;
    if (!ReadFile(file, head, sizeof(head), &read, nullptr))
        return false;
    constexpr char kWineHive[] = "WINE REGISTRY Version 2";
    return (read >= 4 && memcmp(head, "regf", 4) == 0) ||
           (read >= sizeof(kWineHive) - 1 && memcmp(head, kWineHive, sizeof(kWineHive) - 1) == 0);
}

std::vector<std::string> UnloadStaleMounts() {
    std::vector<std::string> unloaded;
    for (HKEY root : {HKEY_USERS, HKEY_LOCAL_MACHINE})
        for (const std::string& mount : OurMounts(root, Stale))
            if (RegUnLoadKeyA(root, mount.c_str()) == ERROR_SUCCESS)
                unloaded.push_back(mount);
    return unloaded;
}

std::vector<std::string> MountsOfNoRun() {
    return OurMounts(HKEY_USERS, [](DWORD pid) { return !pid; });
}
