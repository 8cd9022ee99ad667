// Presets: text files of "name = on" and "name = off" lines, with # or ; comments
// and blank lines, that choose a state for some of the tweaks. Reading one
// needs nothing of the system but the tweaks' names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TweakRow;

struct PresetLine {
    int line;
    const TweakRow* row;
    bool on;
};

// At most this many faults are told; the rest are counted.
inline constexpr size_t kShownErrors = 20;

// Checks the whole file: UTF-8 with or without a byte-order mark, or UTF-16
// (little- or big-endian) with one. The first kShownErrors faults are told
// as "line N: ..." in `errors`, the others counted in *unshown; `lines`
// holds the valid lines in file order.
void ParsePreset(std::string_view file, std::vector<PresetLine>* lines,
                 std::vector<std::string>* errors, size_t* unshown);
