// One tweak from the command line: set through the one executor, as a click
// on its box does, then read back as the window reads it.
#pragma once

#include "ctl/output/Console.h"
#include "system/Executor.h"
#include "tweaks/Tweaks.h"

#include <string>

// How setting a tweak came out.
enum class SetResult { Changed, Unchanged, Failed };

struct SetMode {
    bool dryRun = false;
    // Performs the cell even when the tweak reads as wanted already.
    bool always = true;
};

// What became of setting one tweak: everything the console's words, the
// JSON and the kept log are made from.
struct TweakOutcome {
    const TweakRow* row = nullptr;
    bool on = false;     // as wanted
    bool before = false; // as it read before anything was done
    bool dryRun = false;
    SetResult result = SetResult::Unchanged;
    // Each effect of the cell; in a dry run none is performed.
    Steps steps;
    // In an offline image the cell needs the running system: nothing done.
    bool offlineRefused = false;
    // Every step done, and yet it reads the other way; what decides that.
    bool readsOther = false;
    std::string decides;
};

// Performs the cell for `on`. Without `always`, a tweak that reads as wanted
// is left alone. Failed when a step failed or when the tweak does not read
// as wanted afterwards.
TweakOutcome SetTweak(Executor& executor, const TweakRow& row, bool on, SetMode mode);

// The outcome as the console shows it: each step on standard output, each
// failure and each step left out after it on standard error.
void SayOutcome(Console& c, Executor& executor, const TweakOutcome& o);

// Why a failed outcome failed, in one line: its first failure.
std::string FailureWords(Executor& executor, const TweakOutcome& o);

// Whether the tweak reads on, as the window checks its box.
bool ReadsOn(const TweakRow& row);

// A preset of every tweak's current state, pages as comments.
std::string CurrentPreset();

// Why the tweak reads as it does: the stored values its reading turns on,
// e.g. "HKLM\...\Explorer : InternetOpenWith = DWORD 0 decides".
std::string WhatDecides(const TweakRow& row);

// A started program's output, each line indented under the phrase.
std::string Indented(const std::string& output);
