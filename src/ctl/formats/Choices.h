// The words that choose tweaks: names and states, the same for `set` and
// presets. Only the names need the tables; the rest needs nothing of the
// system, so the preset reader builds on the build machine too.
#pragma once

#include <map>
#include <string>
#include <string_view>

struct TweakRow;

// Equal but for the case of ASCII letters.
bool SameWord(std::string_view a, std::string_view b);

// "on" or "off", in any case.
bool ReadState(std::string_view word, bool* on);

// The row a name stands for, in any case; null, with the reason in `problem`
// unless that is null, for a name of no tweak. It lives beside the tables.
const TweakRow* ReadTweakName(std::string_view name, std::string* problem);

// Tweaks chosen by name and state, each at most once.
class Choices {
public:
    // The row of one choice and its state in `on`; null, with the reason in
    // `problem`, for an unknown name, a state other than on or off, or a tweak
    // chosen before. `place` says where it stands, as "on line 4". With a
    // null `problem` nothing is put in words.
    const TweakRow* Read(std::string_view name, std::string_view state, const std::string& place,
                         bool* on, std::string* problem);

private:
    std::map<const TweakRow*, std::string> first_;
};
