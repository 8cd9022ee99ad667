// The action phrases in which every tweak is written, and the conditions
// that decide a checkbox's state at start. Tables of tweaks hold them as
// data; Perform and Holds carry them out.
#pragma once

#include "system/Registry.h"

#include <windows.h>

#include <initializer_list>
#include <string>

// A registry key path. A type of its own, so that a key and a value name
// cannot trade places in a phrase and still compile.
struct Key {
    const char* path = nullptr; // null: the store
    constexpr Key() = default;
    constexpr explicit Key(const char* keyPath) : path(keyPath) {}
};

// The program's own key.
inline constexpr Key STORE{};

// A default that no condition accepts: a missing value reads as unchecked.
inline constexpr DWORD NONE = 0xFFFFFFFF;

enum class PhraseKind {
    SetDword,       // set ROOT key : name = DWORD n
    SetString,      // set HKCU key : name = SZ text
    DeleteValue,    // delete ROOT key : name
    CreateClassKey, // create HKCR key : default = SZ text
    DeleteClassKey, // delete key HKCR key (with its subkeys)
    Run,            // run program parameters
};

struct Phrase {
    PhraseKind kind = PhraseKind::Run;
    RegRoot root = HKCU;
    const char* key = nullptr; // null for the store
    const char* name = nullptr;
    DWORD number = 0;
    const char* text = nullptr;    // data; for Run the parameters
    const char* program = nullptr; // Run only
    int show = SW_SHOW;            // Run only
    // Run only: the parameters are text + system folder + systemFile.
    const char* systemFile = nullptr;
};

constexpr Phrase SetDword(RegRoot root, Key key, const char* name, DWORD n) {
    return {.kind = PhraseKind::SetDword, .root = root, .key = key.path, .name = name, .number = n};
}
constexpr Phrase SetString(Key key, const char* name, const char* text) {
    return {
        .kind = PhraseKind::SetString, .root = HKCU, .key = key.path, .name = name, .text = text};
}
constexpr Phrase Delete(RegRoot root, Key key, const char* name) {
    return {.kind = PhraseKind::DeleteValue, .root = root, .key = key.path, .name = name};
}
constexpr Phrase CreateClassKey(Key key, const char* text) {
    return {.kind = PhraseKind::CreateClassKey, .root = HKCR, .key = key.path, .text = text};
}
constexpr Phrase DeleteClassKey(Key key) {
    return {.kind = PhraseKind::DeleteClassKey, .root = HKCR, .key = key.path};
}
constexpr Phrase Run(const char* program, const char* parameters) {
    return {.kind = PhraseKind::Run, .text = parameters, .program = program, .show = SW_SHOW};
}
constexpr Phrase RunHidden(const char* program, const char* parameters) {
    return {.kind = PhraseKind::Run, .text = parameters, .program = program, .show = SW_HIDE};
}
// run program option + system folder + file
constexpr Phrase RunWithSystemFile(const char* program, const char* option, const char* file) {
    return {.kind = PhraseKind::Run,
            .text = option,
            .program = program,
            .show = SW_SHOW,
            .systemFile = file};
}

struct Condition {
    enum Kind { DwordEquals, DwordDiffers, StringEquals } kind = DwordEquals;
    const char* key = nullptr; // null for the store
    const char* name = nullptr;
    DWORD defaultValue = 0;
    RegSearch search = HkcuFirst;
    DWORD number = 0;
    const char* text = nullptr;
};

// ReadRegDword(key, name, default d, search) = n
constexpr Condition DwordIs(Key key, const char* name, DWORD d, RegSearch s, DWORD n) {
    return {Condition::DwordEquals, key.path, name, d, s, n};
}
// ReadRegDword(key, name, default d, search) != n
constexpr Condition DwordIsNot(Key key, const char* name, DWORD d, RegSearch s, DWORD n) {
    return {Condition::DwordDiffers, key.path, name, d, s, n};
}
// ReadRegString(name, key) = text
constexpr Condition StringIs(Key key, const char* name, const char* text) {
    return {.kind = Condition::StringEquals, .key = key.path, .name = name, .text = text};
}

// A cell's phrases and a row's conditions are lists written in place in a
// constant table; the table keeps each list's array for the program's
// lifetime, sized to what the row holds.
using Cell = std::initializer_list<Phrase>;
using Conditions = std::initializer_list<Condition>;

// Performs a cell's phrases in order, each whatever became of the ones
// before it. systemFolder completes the parameters of RunWithSystemFile.
void Perform(const Cell& cell, const std::string& systemFolder);
// One phrase; the registry call's status, or for Run whether the shell
// accepted the command (ERROR_SUCCESS) or not.
LSTATUS Perform(const Phrase& phrase, const std::string& systemFolder);

// The parameters a Run phrase passes to its program.
std::string RunParameters(const Phrase& phrase, const std::string& systemFolder);

// Evaluates conditions left to right, stopping at the first that fails.
bool Holds(const Conditions& conditions);
bool Holds(const Condition& condition);

// True when a cell's parameters need the system folder.
bool NeedsSystemFolder(const Cell& cell);
