// The one path from a tweak's cell to the registry and the shell: what
// became of each effect, and the executor that performs them.
#pragma once

#include "system/Actions.h"
#include "system/Effects.h"

#include <windows.h>

#include <string>
#include <vector>

// What became of one phrase.
struct Outcome {
    enum Status {
        Done,         // made; a program started, and ended with exit code 0 if waited for
        WasNotThere,  // a delete found nothing to remove
        Failed,       // refused or not started: error holds the system's code
        ExitCode,     // a program waited for ended with another exit code
        StillRunning, // a program waited for had not ended in time; it is left running
        // In an offline image (OfflineImage.h):
        Deferred,   // a service's start or stop, not run: kDeferredWords; no failure
        NotOffline, // a program run against the running system: kNotOfflineWords
    } status = Done;
    DWORD error = 0;
    bool ended = false; // a program waited for ended: exitCode is its exit code
    DWORD exitCode = 0;
    std::string output; // what a program waited for wrote
    bool Succeeded() const { return status == Done || status == WasNotThere || status == Deferred; }
};

// What a Deferred and a NotOffline outcome are called.
inline constexpr char kDeferredWords[] = "takes effect when the image starts";
inline constexpr char kNotOfflineWords[] = "cannot be set in an offline image";

// What a program run becomes while an image is open: a service's start or
// stop waits for the image's first start (Deferred); anything else needs the
// running system (NotOffline).
Outcome OfflineOutcome(const Effect& run);

// Which effects of a cell are performed once one of them has failed.
enum class Policy {
    // Every effect, whatever became of the ones before: a click in the
    // window, which looks at no result.
    EveryEffect,
    // Nothing after the first failure: set and apply, since a later effect
    // may record a state that then never came about.
    StopAtFailure,
};

// One effect of a cell and what became of it.
struct Step {
    Effect effect;
    bool performed = false; // false: left out after a failure
    Outcome outcome;
};
using Steps = std::vector<Step>;

// A program that a phrase starts is waited for this long, when it is waited for.
inline constexpr DWORD kProgramWaitMs = 60000;

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
    // The cell's effects in order, as the policy says after a failure. In an
    // offline image a cell that runs a program against the running system
    // is refused whole: that step NotOffline, every other one left out.
    Steps Perform(const Cell& cell, Policy policy);

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
