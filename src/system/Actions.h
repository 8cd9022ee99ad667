// The action phrases in which every tweak is written, and the conditions
// that decide a checkbox's state at start. Tables of tweaks hold them as
// data; an Executor carries phrases out and Holds reads conditions.
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

// How a condition's value is read.
ValueRead ReadOf(const Condition& condition);

// A cell's phrases and a row's conditions are lists written in place in a
// constant table; the table keeps each list's array for the program's
// lifetime, sized to what the row holds.
using Cell = std::initializer_list<Phrase>;
using Conditions = std::initializer_list<Condition>;

// What became of one phrase.
struct Outcome {
    enum Status {
        Done,         // made; a program started, and ended with exit code 0 if waited for
        WasNotThere,  // a delete found nothing to remove
        Failed,       // refused or not started: error holds the system's code
        ExitCode,     // a program waited for ended with another exit code
        StillRunning, // a program waited for had not ended in time; it is left running
    } status = Done;
    DWORD error = 0;
    bool ended = false; // a program waited for ended: exitCode is its exit code
    DWORD exitCode = 0;
    std::string output; // what a program waited for wrote
    bool Succeeded() const { return status == Done || status == WasNotThere; }
};

// A program that a phrase starts is waited for this long, when it is waited for.
inline constexpr DWORD kProgramWaitMs = 60000;

struct Effect;

// The one path from a tweak's cell to the registry and the shell: it performs
// the cell's effects (Effects.h), each as its kind says. A click
// in the window leaves the programs it starts running and looks at no
// result; the command-line program waits for them and reports each outcome.
class Executor {
public:
    using StartFn = Outcome (*)(const char* program, const char* parameters, int show);
    // Through the shell, as a click does: only whether the shell took it.
    static Outcome StartAndLeave(const char* program, const char* parameters, int show);
    // Waited for at most kProgramWaitMs, with its exit code and output.
    static Outcome StartAndWait(const char* program, const char* parameters, int show);

    explicit Executor(StartFn start) : m_start(start) {}

    Outcome Perform(const Effect& effect);
    Outcome Perform(const Phrase& phrase);
    // Each effect in order, whatever became of the ones before it.
    void Perform(const Cell& cell);

    // Starts a run phrase's program as this executor starts programs.
    Outcome Start(const Phrase& phrase);
    // The parameters a run phrase passes to its program.
    std::string Parameters(const Phrase& phrase);
    // Looked up when a phrase first needs it, then kept: one lookup for
    // everything one executor performs.
    const std::string& SystemFolder();

private:
    StartFn m_start;
    bool m_folderKnown = false;
    std::string m_systemFolder;
};

// The parameters a run phrase passes to its program: text + system folder +
// systemFile.
std::string RunParameters(const Phrase& phrase, const std::string& systemFolder);

// Evaluates conditions left to right, stopping at the first that fails.
bool Holds(const Conditions& conditions);
bool Holds(const Condition& condition);
