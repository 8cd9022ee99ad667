#include "ctl/formats/Choices.h"

#include "ctl/output/Text.h"

#include <algorithm>

bool SameWord(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

bool ReadState(std::string_view word, bool* on) {
    *on = SameWord(word, "on");
    return *on || SameWord(word, "off");
}

const TweakRow* Choices::Read(std::string_view name, std::string_view state,
                              const std::string& place, bool* on, std::string* problem) {
    const TweakRow* row = ReadTweakName(name, problem);
    if (!row)
        return nullptr;
    if (!ReadState(state, on)) {
        if (problem)
            *problem = "the state of " + std::string(name) + " must be on or off, not \"" +
                       Shortened(state) + "\"";
        return nullptr;
    }
    if (const auto it = first_.find(row); it != first_.end()) {
        if (problem)
            *problem = std::string(name) + " is given twice (first " + it->second + ")";
        return nullptr;
    }
    first_.emplace(row, place);
    return row;
}
