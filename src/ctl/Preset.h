// Presets: text files of "name = on" and "name = off" lines, with # or ; comments
// and blank lines, that choose a state for some of the tweaks.
#pragma once

#include "tweaks/Tweaks.h"

#include <string>
#include <string_view>
#include <vector>

struct PresetLine {
    int line;
    const TweakRow* row;
    bool on;
};

// Checks the whole text. Every fault is told as "line N: ..." in `errors`;
// `lines` holds the valid lines in file order.
void ParsePreset(std::string_view text, std::vector<PresetLine>* lines,
                 std::vector<std::string>* errors);

// A preset of every tweak's current state, pages as comments.
std::string CurrentPreset();
