#include "system/Redirection.h"

#include "system/ErrorText.h"
#include "system/Mounts.h"

#include <cstdio>

Redirection& Redirection::Process() {
    static Redirection redirection;
    return redirection;
}

bool Redirection::Claim(const void* owner, std::string* error) {
    if (m_owner) {
        *error = "cannot open a second user hive or image: " + m_userKey +
                 " is open, and only one can be at a time";
        return false;
    }
    m_owner = owner;
    return true;
}

bool Redirection::EnablePrivileges(const void* owner) {
    if (!Owns(owner))
        return false;
    m_privileged = true; // given up at the release, also when only one was granted
    return HivePrivileges(true);
}

LSTATUS Redirection::Load(const void* owner, HKEY root, const std::string& name,
                          const std::wstring& file) {
    if (!Owns(owner) || m_mountCount == kMaxMounts || name.size() >= sizeof(Mount::name))
        return ERROR_INVALID_PARAMETER;
    Mount& mount = m_mounts[m_mountCount];
    mount.root = root;
    snprintf(mount.name, sizeof(mount.name), "%s", name.c_str());
    const std::wstring wide(name.begin(), name.end()); // ASCII: a name of this program's
    const LSTATUS status = RegLoadKeyW(root, wide.c_str(), file.c_str());
    if (status != ERROR_SUCCESS) {
        RegUnLoadKeyW(root, wide.c_str()); // a load that failed halfway may leave its key
        return status;
    }
    if (m_mountCount++ == 0)
        SetConsoleCtrlHandler(UnloadHiveOnBreak, TRUE);
    m_loaded = 1;
    return status;
}

LSTATUS Redirection::RedirectUser(const void* owner, HKEY target) {
    HKEY previous = nullptr;
    // An empty subkey: RegOpenKeyEx would hand back the predefined handle
    // itself, RegCreateKeyEx gives a handle to what it stands for now.
    LSTATUS status = Owns(owner) && !m_target ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExA(HKEY_CURRENT_USER, "", 0, nullptr, 0, MAXIMUM_ALLOWED, nullptr,
                                 &previous, nullptr);
    if (status == ERROR_SUCCESS)
        status = RegOverridePredefKey(HKEY_CURRENT_USER, target);
    if (status != ERROR_SUCCESS) {
        if (previous)
            RegCloseKey(previous);
        RegCloseKey(target);
        return status;
    }
    m_previous = previous;
    m_target = target;
    m_refuseUserLinks = true;
    return status;
}

void Redirection::NameUser(const void* owner, const std::string& root, const std::string& key) {
    if (!Owns(owner))
        return;
    m_userRoot = root;
    m_userKey = key;
}

void Redirection::MapImage(const void* owner, const ImageKeys& keys) {
    if (Owns(owner))
        m_image = keys;
}

namespace {

void PutBack(HKEY previous, HKEY* target) {
    if (!*target)
        return;
    RegOverridePredefKey(HKEY_CURRENT_USER, previous);
    RegCloseKey(*target);
    *target = nullptr;
}

} // namespace

// Whoever comes first, the owner or Ctrl+C, unloads; HKEY_CURRENT_USER is
// put back before, since a hive with a key open cannot be unloaded.
void Redirection::Unload(std::string* failures) {
    if (!InterlockedExchange(&m_loaded, 0))
        return;
    PutBack(m_previous, &m_target);
    for (int i = 0; i < m_mountCount; ++i) {
        const Mount& m = m_mounts[i];
        const LSTATUS status = RegUnLoadKeyA(m.root, m.name);
        if (status != ERROR_SUCCESS && failures)
            *failures += std::string(failures->empty() ? "" : "; ") + "cannot unload " +
                         (m.root == HKEY_USERS ? "HKEY_USERS\\" : "HKEY_LOCAL_MACHINE\\") + m.name +
                         ": " + ErrorText(static_cast<DWORD>(status));
    }
}

void Redirection::Break() {
    Unload(nullptr);
}

bool Redirection::Release(const void* owner, std::string* error) {
    if (!Owns(owner))
        return true;
    std::string failures;
    if (m_mountCount)
        SetConsoleCtrlHandler(UnloadHiveOnBreak, FALSE);
    Unload(&failures);
    PutBack(m_previous, &m_target);
    if (m_previous)
        RegCloseKey(m_previous);
    if (m_privileged)
        HivePrivileges(false);
    m_userRoot = m_userKey = kCaller;
    m_refuseUserLinks = m_privileged = false;
    m_image = {};
    m_previous = nullptr;
    m_mountCount = 0;
    m_owner = nullptr;
    if (!failures.empty())
        *error = failures;
    return failures.empty();
}

BOOL WINAPI UnloadHiveOnBreak(DWORD) {
    Redirection::Process().Break();
    return FALSE;
}
