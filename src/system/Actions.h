// The language the tweak tables are written in: the action phrases a cell
// holds and the conditions that decide a checkbox's state at start, with
// Holds to read conditions. What a cell makes is in Effects.h, and the
// Executor (Executor.h) carries it out.
#pragma once

#include "system/Registry.h"
#include "system/ValueRead.h"

#include <windows.h>

#include <initializer_list>
#include <string>

// A default that no condition accepts: a missing value reads as unchecked.
inline constexpr DWORD NONE = 0xFFFFFFFF;

enum class PhraseKind {
    SetDword,       // set ROOT key : name = DWORD n
    SetString,      // set ROOT key : name = SZ text (the tables write HKCU)
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
    bool start = false;            // a service setting's: started, else stopped
    // Run only: the parameters are text + system folder + systemFile.
    const char* systemFile = nullptr;
    // Both phrases of a service setting carry the service's name; null for
    // any other phrase.
    const char* service = nullptr;
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

// A service setting is two phrases, one directly after the other: the
// service's start type written under HKLM, then net.exe starting or stopping
// the service. Each names the service, so the table says what the pair is.
constexpr Phrase ServiceStartType(Key key, const char* service, DWORD type, bool start) {
    return {.kind = PhraseKind::SetDword,
            .root = HKLM,
            .key = key.path,
            .name = "Start",
            .number = type,
            .start = start,
            .service = service};
}
constexpr Phrase ServiceCommand(const char* parameters, const char* service, bool start) {
    return {.kind = PhraseKind::Run,
            .text = parameters,
            .program = "net.exe",
            .show = SW_HIDE,
            .start = start,
            .service = service};
}

// Whether a phrase writes a per-user value: anything but a run, under HKCU.
constexpr bool WritesPerUser(const Phrase& p) {
    return p.kind != PhraseKind::Run && p.root == HKCU;
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

// How a condition's value is read.
ValueRead ReadOf(const Condition& condition);

// A cell's phrases and a row's conditions are lists written in place in a
// constant table; the table keeps each list's array for the program's
// lifetime, sized to what the row holds.
using Cell = std::initializer_list<Phrase>;
using Conditions = std::initializer_list<Condition>;

// The parameters a run phrase passes to its program: text + system folder +
// systemFile.
std::string RunParameters(const Phrase& phrase, const std::string& systemFolder);

// Evaluates conditions left to right, stopping at the first that fails.
bool Holds(const Conditions& conditions);
bool Holds(const Condition& condition);
