// One tweak from the command line: set through the one executor, as a click
// on its box does, then read back as the window reads it.
#pragma once

#include "ctl/Console.h"
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

// Performs the cell for `on` and reports every phrase. Without `always`, a
// tweak that reads as wanted is left alone. Failed when a phrase failed or
// when the tweak does not read as wanted afterwards; then the value that
// decides its reading is named.
SetResult SetTweak(Console& c, Executor& executor, const TweakRow& row, bool on, SetMode mode);

// Whether the tweak reads on, as the window checks its box.
bool ReadsOn(const TweakRow& row);

// A preset of every tweak's current state, pages as comments.
std::string CurrentPreset();

// Why the tweak reads as it does: the stored values its reading turns on,
// e.g. "HKLM\...\Explorer : InternetOpenWith = DWORD 0 decides".
std::string WhatDecides(const TweakRow& row);

// A started program's output, each line indented under the phrase.
std::string Indented(const std::string& output);
