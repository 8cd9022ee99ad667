#include "system/Profiles.h"

#include "system/ErrorText.h"
#include "system/WideNames.h"

#include <windows.h>

#include <sddl.h>

namespace {

constexpr char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A REG_SZ or REG_EXPAND_SZ value with its variables expanded, in UTF-8;
// empty when missing or of another type.
std::string ExpandedValue(HKEY hKey, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t))
        return {};
    std::wstring raw(size / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(raw.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    raw.resize(wcsnlen(raw.c_str(), raw.size()));
    if (type == REG_SZ)
        return Utf8Name(raw);
    const DWORD needed = ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0);
    std::wstring expanded(needed ? needed : 1, L'\0');
    if (!needed || !ExpandEnvironmentStringsW(raw.c_str(), expanded.data(), needed))
        return Utf8Name(raw);
    expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
    return Utf8Name(expanded);
}

std::string AccountName(const std::string& sid) {
    PSID binary = nullptr;
    if (!ConvertStringSidToSidA(sid.c_str(), &binary))
        return sid;
    wchar_t name[256], domain[256];
    DWORD nameSize = ARRAYSIZE(name), domainSize = ARRAYSIZE(domain);
    SID_NAME_USE use;
    const bool found =
        LookupAccountSidW(nullptr, binary, name, &nameSize, domain, &domainSize, &use) != FALSE;
    LocalFree(binary);
    return found ? Utf8Name(name) : sid;
}

std::string InFolder(const std::string& folder) {
    if (folder.empty())
        return {};
    return folder + (folder.back() == '\\' ? "" : "\\") + "NTUSER.DAT";
}

} // namespace

bool MachineProfiles(std::vector<Profile>* profiles, std::string* error) {
    HKEY hList;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ, &hList);
    if (status != ERROR_SUCCESS) {
        *error = "cannot read HKLM\\" + std::string(kProfileList) + ": " +
                 ErrorText(static_cast<DWORD>(status));
        return false;
    }
    profiles->clear();
    char sid[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(sid);
        status = RegEnumKeyExA(hList, i, sid, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue; // no SID is that long
        if (status != ERROR_SUCCESS)
            break;
        // Ordinary accounts only: LocalSystem, LocalService and NetworkService
        // (S-1-5-18, -19, -20) and anything else of the system's stay alone.
        if (_strnicmp(sid, "S-1-5-21-", 9) != 0)
            continue;
        HKEY hProfile;
        if (RegOpenKeyExA(hList, sid, 0, KEY_READ, &hProfile) != ERROR_SUCCESS)
            continue;
        profiles->push_back(
            {AccountName(sid), sid, InFolder(ExpandedValue(hProfile, L"ProfileImagePath"))});
        RegCloseKey(hProfile);
    }
    if (const std::string folder = ExpandedValue(hList, L"Default"); !folder.empty())
        profiles->push_back({"Default", "", InFolder(folder)});
    RegCloseKey(hList);
    return true;
}

bool ProfileLoaded(const std::string& sid) {
    HKEY hKey;
    if (sid.empty() || RegOpenKeyExA(HKEY_USERS, sid.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

std::string OwnSid() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    BYTE buffer[256];
    DWORD size = 0;
    std::string sid;
    char* text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}
