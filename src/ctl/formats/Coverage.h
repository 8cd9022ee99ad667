// What a backup covers: the keys and values the tweaks read or write, and
// the class keys that go whole. The reader of backups checks every line
// against it, so it needs nothing of the system.
#pragma once

#include "ctl/formats/Utf16.h"
#include "system/RegValue.h"

#include <utility>
#include <vector>

inline constexpr Utf16Char kRegHeader[] = UTF16("Windows Registry Editor Version 5.00");
// How a backup of an offline image names its machine-wide keys: never a key
// of a running system, one name for every run, so that it restores into the
// same image mounted again.
inline constexpr Utf16Char kImageMachineRoot[] = UTF16("HKEY_LOCAL_MACHINE\\Morvane.Image");
inline constexpr Utf16Char kImageClassesRoot[] =
    UTF16("HKEY_LOCAL_MACHINE\\Morvane.Image\\SOFTWARE\\Classes");
// The last line of every backup: a file without it was cut short.
inline constexpr Utf16Char kEndMarker[] = UTF16("; End of the morvanectl backup.");

// One key a tweak reads or writes, with those of its values, each with
// whether a row writes it.
struct CoveredKey {
    RegRoot root;
    Utf16String key;
    std::vector<std::pair<Utf16String, bool>> names;
};

// Everything a backup holds and a restore may write: the values of the
// tweaks, and HKCR keys that go whole (a verb's key, where a tweak creates
// keys of its own).
struct Coverage {
    std::vector<CoveredKey> keys;
    std::vector<Utf16String> classTrees;
    std::vector<Utf16String> createdClassKeys; // inside a tree, each with a default value
    // The per-user root as the file names it; every per-user key of a
    // backup, written or checked, goes through this one name.
    Utf16String userRoot = UTF16("HKEY_CURRENT_USER");
    // The machine-wide roots as the file names them: a backup of an offline
    // image names them in a form of its own (kImageMachineRoot).
    Utf16String machineRoot = UTF16("HKEY_LOCAL_MACHINE");
    Utf16String classesRoot = UTF16("HKEY_CLASSES_ROOT");
    // A file of every profile's keys names them HKEY_USERS\<SID>: the roots
    // of the machine's profiles, taken in the place of userRoot when given.
    std::vector<Utf16String> profileRoots;

    Utf16String RootName(RegRoot root) const;
    const CoveredKey* Find(RegRoot root, Utf16View key) const;
    // The class tree that holds key or is key, or null.
    const Utf16String* TreeOf(Utf16View key) const;
};

// The covered names are ASCII. They match a name of a file that differs in
// the case of ASCII letters only: a name that the registry would take for a
// covered one through another letter (a dotless i) is outside, never
// imported.
bool SameCoveredName(Utf16View a, Utf16View b);
// The name as SameCoveredName compares it: equal for names it takes as one.
Utf16String CoveredFold(Utf16View name);
