// The program's registry access: per-user lookups (HKCU first, then HKLM, or
// HKLM alone), writes that create their key, and the store.
#pragma once

#include <windows.h>

#include <string>

// The program's own key under HKCU; a null key argument means this key.
inline constexpr char kStoreKey[] = "Software\\Quelt";

// The text of a REG_SZ value, or the empty text when it cannot be read as
// one. Looks under HKCU first, then under HKLM.
std::string ReadRegString(const char* valueName, const char* key);

// A 4-byte REG_DWORD value, or defaultValue whenever the value cannot be read
// as one.
DWORD ReadRegDword(const char* key, const char* valueName, DWORD defaultValue, bool hklmOnly);

// Writes text as REG_SZ (with its terminating NUL) under HKCU, creating the
// key when needed. True when the write succeeded.
bool WriteRegString(const char* key, const char* valueName, const char* text);

// Which root a per-user write goes to.
enum class UserValueRoot { CurrentUser, LocalMachine };

// Creates the key when it is missing and stores exactly the bytes given.
LSTATUS SetUserValue(const char* key, const char* valueName, DWORD type, const void* data,
                     DWORD size, UserValueRoot root);

// Queries a value under HKCU and, when that fails for any reason, under
// HKLM; with ignoreHkcu only under HKLM. data may be null to learn type and
// size; *size is in and out as for RegQueryValueExA.
LSTATUS GetUserValue(const char* key, const char* valueName, DWORD* type, void* data, DWORD* size,
                     bool ignoreHkcu);

// The system folder, or the empty text when it cannot be determined.
std::string SystemFolder();
