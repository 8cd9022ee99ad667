// Profile files for the --hive tests: one made from a scratch key with the
// backup and restore privileges, and whether a hive is loaded.
#pragma once

#include "support/RegistrySandbox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

// The names of the keys loaded under HKEY_USERS.
inline std::set<std::string> UsersKeys() {
    std::set<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(HKEY_USERS, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.insert(name);
    }
    return names;
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

// A profile file holding Hidden = 1 under Advanced, made from a scratch key.
inline void MakeHiveFile(const std::string& path) {
    EnableHivePrivileges();
    DeleteFileA(path.c_str());
    const std::string scratch =
        "Software\\MorvaneHiveSource" + std::to_string(GetCurrentProcessId());
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    PutDword(hKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden", 1);
    ASSERT_EQ(RegSaveKeyA(hKey, path.c_str(), nullptr), ERROR_SUCCESS);
    RegCloseKey(hKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
}

inline bool Mounted(const char* below) {
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_USERS, below, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}
