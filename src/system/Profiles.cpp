#include "system/Profiles.h"

#include "system/ErrorText.h"
#include "system/WideNames.h"

#include <windows.h>

#include <sddl.h>

#include <cstring>

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

// LocalSystem, LocalService and NetworkService keep profiles of the
// system's own, never a user's: left alone without a word.
bool SystemAccount(const std::string& key) {
    for (const char* sid : {"S-1-5-18", "S-1-5-19", "S-1-5-20"})
        if (_stricmp(key.c_str(), sid) == 0)
            return true;
    return false;
}

// Why a key of the list names no profile, or the empty text.
std::string NoProfile(const std::string& key) {
    if (key.size() > 4 && _stricmp(key.c_str() + key.size() - 4, ".bak") == 0)
        return "a copy the system keeps of a damaged profile";
    if (!UserAccountSid(key))
        return "not a user account's SID";
    return {};
}

// One file under two spellings: another case, "/" for "\\", "." or "..".
bool SameFile(const std::string& a, const std::string& b) {
    std::wstring wideA, wideB;
    wchar_t fullA[MAX_PATH * 2], fullB[MAX_PATH * 2];
    if (!WideName(a, &wideA) || !WideName(b, &wideB))
        return a == b;
    const DWORD n = GetFullPathNameW(wideA.c_str(), MAX_PATH * 2, fullA, nullptr);
    const DWORD m = GetFullPathNameW(wideB.c_str(), MAX_PATH * 2, fullB, nullptr);
    return n && m && n < MAX_PATH * 2 && m < MAX_PATH * 2 &&
           CompareStringOrdinal(fullA, static_cast<int>(n), fullB, static_cast<int>(m), TRUE) ==
               CSTR_EQUAL;
}

// The profile that names the same file earlier in the list, or null.
const Profile* EarlierWithFile(const std::vector<Profile>& profiles, const std::string& file) {
    for (const Profile& p : profiles)
        if (!file.empty() && SameFile(p.file, file))
            return &p;
    return nullptr;
}

// Adds the profile unless an earlier entry names its file already.
void AddProfile(const Profile& p, const std::string& key, std::vector<Profile>* profiles,
                std::vector<SkippedEntry>* skipped) {
    if (const Profile* earlier = EarlierWithFile(*profiles, p.file))
        skipped->push_back({key, "its file " + p.file + " is the profile of " + earlier->name});
    else
        profiles->push_back(p);
}

} // namespace

bool UserAccountSid(const std::string& text) {
    PSID binary = nullptr;
    if (!ConvertStringSidToSidA(text.c_str(), &binary))
        return false;
    static const SID_IDENTIFIER_AUTHORITY kNt = SECURITY_NT_AUTHORITY;
    bool user = memcmp(GetSidIdentifierAuthority(binary), &kNt, sizeof(kNt)) == 0 &&
                *GetSidSubAuthorityCount(binary) == 5 &&
                *GetSidSubAuthority(binary, 0) == SECURITY_NT_NON_UNIQUE;
    // The parser takes a part too big for its place as another number: only
    // a SID whose text comes back as given is that SID.
    char* back = nullptr;
    user = user && ConvertSidToStringSidA(binary, &back) && _stricmp(back, text.c_str()) == 0;
    LocalFree(back);
    LocalFree(binary);
    return user;
}

bool MachineProfiles(std::vector<Profile>* profiles, std::vector<SkippedEntry>* skipped,
                     std::string* error) {
    HKEY hList;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ, &hList);
    if (status != ERROR_SUCCESS) {
        *error = "cannot read HKLM\\" + std::string(kProfileList) + ": " +
                 ErrorText(static_cast<DWORD>(status));
        return false;
    }
    profiles->clear();
    skipped->clear();
    wchar_t key[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = ARRAYSIZE(key);
        status = RegEnumKeyExW(hList, i, key, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue; // no SID is that long
        if (status != ERROR_SUCCESS)
            break;
        const std::string sid = Utf8Name(key);
        if (SystemAccount(sid))
            continue;
        if (const std::string why = NoProfile(sid); !why.empty()) {
            skipped->push_back({sid, why});
            continue;
        }
        HKEY hProfile;
        if (RegOpenKeyExW(hList, key, 0, KEY_READ, &hProfile) != ERROR_SUCCESS)
            continue;
        AddProfile({AccountName(sid), sid, InFolder(ExpandedValue(hProfile, L"ProfileImagePath"))},
                   sid, profiles, skipped);
        RegCloseKey(hProfile);
    }
    if (const std::string folder = ExpandedValue(hList, L"Default"); !folder.empty())
        AddProfile({"Default", "", InFolder(folder)}, "Default", profiles, skipped);
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
