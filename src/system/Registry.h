// The program's registry access: per-user lookups (HKCU first, then HKLM, or
// HKLM alone), writes that create their key, deletes, and the store. Nothing
// else in the program calls the registry.
#pragma once

#include "system/RegValue.h"
#include "system/ValueRead.h"

#include <windows.h>

#include <string>
#include <vector>

// The program's own key under HKCU; a null key argument means this key.
inline constexpr char kStoreKey[] = "Software\\Quelt";

// The key path a key argument names: the store when it is null.
constexpr const char* KeyPath(const char* key) {
    return key ? key : kStoreKey;
}

// A registry key path. A type of its own, so that a key and a value name
// cannot trade places in a call and still compile.
struct Key {
    const char* path = nullptr; // null: the store
    constexpr Key() = default;
    constexpr explicit Key(const char* keyPath) : path(keyPath) {}
    constexpr const char* Path() const { return KeyPath(path); }
};

// The program's own key.
inline constexpr Key STORE{};

// "HKCU", "HKLM", "HKCR": as the tweaks' phrases name their roots.
const char* RootName(RegRoot root);
// "HKEY_CURRENT_USER" and so on: as .reg files name them.
const char* RootFullName(RegRoot root);

// The text of a REG_SZ value, or the empty text when it cannot be read as
// one. Looks under HKCU first, then under HKLM.
std::string ReadRegString(const char* valueName, const char* key);

// A 4-byte REG_DWORD value, or defaultValue whenever the value cannot be read
// as one.
DWORD ReadRegDword(const char* key, const char* valueName, DWORD defaultValue, RegSearch search);

// Writes text as REG_SZ (with its terminating NUL) under HKCU, creating the
// key when needed. True when the write succeeded.
bool WriteRegString(const char* key, const char* valueName, const char* text);

// Creates the key under HKCU or HKLM when it is missing and stores exactly the
// bytes given.
LSTATUS SetUserValue(RegRoot root, Key key, const char* valueName, DWORD type, const void* data,
                     DWORD size);

// Queries a value under each root of the search in turn (ValueRead.h),
// until a query succeeds: HKCU and, when that fails for any reason, HKLM;
// with HklmOnly only HKLM. data may be null to learn type and
// size; *size is in and out as for RegQueryValueExA.
LSTATUS GetUserValue(RegSearch search, Key key, const char* valueName, DWORD* type, void* data,
                     DWORD* size);

// Removes one value; a key that cannot be opened is reported as such.
LSTATUS DeleteRegValue(RegRoot root, Key key, const char* valueName);

// Creates an HKCR key (and the keys above it) and sets its default value.
LSTATUS CreateRegClassKey(Key key, const char* defaultText);

// Removes an HKCR key with everything under it.
LSTATUS DeleteRegClassKey(Key key);

// Reads one value under one root. ERROR_SUCCESS with *found false when the
// key or the value does not exist; any other status when it cannot be told.
LSTATUS ReadRegValue(RegRoot root, const char* key, const char* valueName, bool* found,
                     RegData* data);

// Wide-character reads, so that names and text outside the code page come
// back exactly. Value data is as stored: strings are UTF-16.
LSTATUS ReadRegValueW(RegRoot root, const std::wstring& key, const std::wstring& valueName,
                      bool* found, RegData* data);

// One key of a subtree: its path below the root and its values in order.
struct RegKeyContentsW {
    std::wstring path;
    std::vector<std::pair<std::wstring, RegData>> values;
};

// A key with all its subkeys, the key itself first, each key before the keys
// below it. Only a missing top key is ERROR_FILE_NOT_FOUND: a subkey that
// cannot be opened is an error of its own.
LSTATUS ReadRegTreeW(RegRoot root, const std::wstring& key, std::vector<RegKeyContentsW>* tree);

// Whether the key exists; false too when it cannot be opened for reading.
bool RegKeyExistsW(RegRoot root, const std::wstring& key);

// The key as messages name it: "HKLM\SOFTWARE\..." or, while an image is
// open, "HKLM\Morvane.Image.<PID>.SOFTWARE\..."; a key outside the image as
// given. HKCU keys as given: the per-user root is named by its owner
// (CurrentUserKeyText).
std::string MappedKeyName(RegRoot root, const char* key);
