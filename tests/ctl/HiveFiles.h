// Profile files for the --hive tests: one made from a scratch key with the
// backup and restore privileges, and whether a hive is loaded.
#pragma once

#include "support/RegistrySandbox.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

// The names of the keys directly below root.
inline std::set<std::string> KeysBelow(HKEY root) {
    std::set<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.insert(name);
    }
    return names;
}

// The names of the keys loaded under HKEY_USERS.
inline std::set<std::string> UsersKeys() {
    return KeysBelow(HKEY_USERS);
}

inline void EnableHivePrivileges() {
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES p = {1};
        p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        ASSERT_TRUE(LookupPrivilegeValueA(nullptr, name, &p.Privileges[0].Luid));
        ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr));
    }
    CloseHandle(token);
}

// One DWORD value of a hive file made for a test.
struct HiveValue {
    std::string key;
    const char* name;
    DWORD value;
};

// A hive file holding `values`, made from a scratch key.
inline void MakeHiveFile(const std::string& path, const std::vector<HiveValue>& values) {
    EnableHivePrivileges();
    DeleteFileA(path.c_str());
    const std::string scratch =
        "Software\\MorvaneHiveSource" + std::to_string(GetCurrentProcessId());
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    for (const HiveValue& v : values)
        PutDword(hKey, v.key.c_str(), v.name, v.value);
    ASSERT_EQ(RegSaveKeyA(hKey, path.c_str(), nullptr), ERROR_SUCCESS);
    RegCloseKey(hKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
}

// A profile file holding Hidden = 1 under Advanced.
inline void MakeHiveFile(const std::string& path) {
    MakeHiveFile(
        path, {{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden", 1}});
}

// The id of a process that has ended, as a killed run's is.
inline DWORD EndedProcessId() {
    STARTUPINFOA si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    char line[] = "cmd.exe /c exit";
    EXPECT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

inline bool Mounted(const char* below) {
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_USERS, below, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

// Makes root\path a registry link to target ("\Registry\..."), as any user
// may in their own hive; the keys above it are made as needed.
inline void MakeLink(HKEY root, const std::string& path, const std::wstring& target) {
    const size_t cut = path.rfind('\\');
    HKEY parent, link;
    ASSERT_EQ(RegCreateKeyExA(root, path.substr(0, cut).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(parent, path.substr(cut + 1).c_str(), 0, nullptr,
                              REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                              &link, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(target.data()),
                             static_cast<DWORD>(target.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(link);
    RegCloseKey(parent);
}

// Removes the link root\path itself: RegDeleteKey and RegDeleteTree would
// follow it and delete what it leads to.
inline void RemoveLink(HKEY root, const std::string& path) {
    HKEY link;
    const std::wstring wide(path.begin(), path.end()); // ASCII
    ASSERT_EQ(RegOpenKeyExW(root, wide.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link),
              ERROR_SUCCESS);
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    EXPECT_EQ(ntDeleteKey(link), 0);
    RegCloseKey(link);
}

// The SID of the account this process runs as.
inline std::string CallerSid() {
    HANDLE token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size);
    CloseHandle(token);
    char* text = nullptr;
    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    const std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

// Where a link leads to reach key below this process's (sandboxed) HKLM.
inline std::wstring SandboxMachineTarget(const RegistrySandbox& sandbox, const std::string& key) {
    const std::string path =
        "\\Registry\\User\\" + CallerSid() + "\\" + sandbox.Path() + "\\HKLM\\" + key;
    return std::wstring(path.begin(), path.end()); // ASCII
}
