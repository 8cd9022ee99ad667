// Keys of another user's hive opened without following registry links. A
// user may make any key of their own hive a link (a symbolic-link key) to
// any key of the machine: what this process wrote through it would land
// there, with this process's rights.
#pragma once

#include <windows.h>

#include <string>

// What an open that met a link on its path ends with.
inline constexpr LSTATUS kLinkOnPath = ERROR_CANT_RESOLVE_FILENAME;

// Opens root\path one name at a time, each relative to the key before it and
// as the key it is itself (REG_OPTION_OPEN_LINK), so that no link on the way
// is ever followed. A name that is a link ends the open with kLinkOnPath,
// and *linkEnd (when given) with the length of path up to and with it. With
// create, missing keys are made as RegCreateKeyEx makes them.
LSTATUS OpenKeyWithoutLinks(HKEY root, const std::wstring& path, REGSAM access, bool create,
                            HKEY* key, size_t* linkEnd = nullptr);

// The part of root\path up to and with the first key of it that is a link,
// or the empty text when the keys of it that can be opened hold none.
std::wstring LinkOnPath(HKEY root, const std::wstring& path);
