// The action phrases in which every tweak is written, and the conditions
// that decide a checkbox's state at start. Tables of tweaks hold them as
// data; Perform and Holds carry them out.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <string>

enum RegRoot { HKCU, HKLM, HKCR };

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
    const char* key = nullptr; // key path, null for the store; the program for Run
    const char* name = nullptr;
    DWORD number = 0;
    const char* text = nullptr; // data; for Run the parameters
    int show = SW_SHOW;         // Run only
    // Run only: the parameters are text + system folder + systemFile.
    const char* systemFile = nullptr;
};

constexpr Phrase SetDword(RegRoot root, const char* key, const char* name, DWORD n) {
    return {.kind = PhraseKind::SetDword, .root = root, .key = key, .name = name, .number = n};
}
constexpr Phrase SetString(const char* key, const char* name, const char* text) {
    return {.kind = PhraseKind::SetString, .root = HKCU, .key = key, .name = name, .text = text};
}
constexpr Phrase Delete(RegRoot root, const char* key, const char* name) {
    return {.kind = PhraseKind::DeleteValue, .root = root, .key = key, .name = name};
}
constexpr Phrase CreateClassKey(const char* key, const char* text) {
    return {.kind = PhraseKind::CreateClassKey, .root = HKCR, .key = key, .text = text};
}
constexpr Phrase DeleteClassKey(const char* key) {
    return {.kind = PhraseKind::DeleteClassKey, .root = HKCR, .key = key};
}
constexpr Phrase Run(const char* program, const char* parameters) {
    return {.kind = PhraseKind::Run, .key = program, .text = parameters, .show = SW_SHOW};
}
constexpr Phrase RunHidden(const char* program, const char* parameters) {
    return {.kind = PhraseKind::Run, .key = program, .text = parameters, .show = SW_HIDE};
}
// run program option + system folder + file
constexpr Phrase RunWithSystemFile(const char* program, const char* option, const char* file) {
    return {.kind = PhraseKind::Run,
            .key = program,
            .text = option,
            .show = SW_SHOW,
            .systemFile = file};
}

enum RegSearch { HkcuFirst, HklmOnly };

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
constexpr Condition DwordIs(const char* key, const char* name, DWORD d, RegSearch s, DWORD n) {
    return {Condition::DwordEquals, key, name, d, s, n};
}
// ReadRegDword(key, name, default d, search) != n
constexpr Condition DwordIsNot(const char* key, const char* name, DWORD d, RegSearch s, DWORD n) {
    return {Condition::DwordDiffers, key, name, d, s, n};
}
// ReadRegString(name, key) = text
constexpr Condition StringIs(const char* name, const char* key, const char* text) {
    return {.kind = Condition::StringEquals, .key = key, .name = name, .text = text};
}

// A short, fixed-capacity list that a constant table can hold.
template <class T, std::size_t N = 5> struct FixedList {
    T items[N]{};
    std::size_t count = 0;
    constexpr FixedList(std::initializer_list<T> list) {
        for (const T& item : list)
            items[count++] = item;
    }
    constexpr const T* begin() const { return items; }
    constexpr const T* end() const { return items + count; }
};

using Cell = FixedList<Phrase>;
using Conditions = FixedList<Condition>;

// Performs a cell's phrases in order, each whatever became of the ones
// before it. systemFolder completes the parameters of RunWithSystemFile.
void Perform(const Cell& cell, const std::string& systemFolder);
void Perform(const Phrase& phrase, const std::string& systemFolder);

// Evaluates conditions left to right, stopping at the first that fails.
bool Holds(const Conditions& conditions);
bool Holds(const Condition& condition);

// True when a cell's parameters need the system folder.
bool NeedsSystemFolder(const Cell& cell);
