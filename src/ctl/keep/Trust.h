// What a task running as LocalSystem may rely on: a file or folder that
// nobody but LocalSystem, Administrators, TrustedInstaller and the caller
// can change. Anyone else who could would have the machine.
#pragma once

#include <windows.h>

#include <string>

// The first other account that owns the object or is allowed to write,
// append, delete or change its permissions or owner, by name (its SID
// when it has none); "Everyone" when it has no DACL. Empty when none can.
std::string OtherChanger(PSECURITY_DESCRIPTOR sd, PSID caller);

// Why LocalSystem must not rely on the file or folder: "is a link" (when
// links are refused), "can be changed by …", or why it cannot be checked;
// empty when only those accounts can change it.
std::string Distrust(const std::wstring& path, bool refuseLinks);

// Why a task must not run `program`: it is not below Program Files (links
// resolved), or it or a folder up to Program Files can be changed by
// another account. Empty when it may.
std::string ProgramDistrust(const std::wstring& program);

// The full path with every link resolved, or empty with GetLastError set.
std::wstring ResolvedPath(const std::wstring& path);
