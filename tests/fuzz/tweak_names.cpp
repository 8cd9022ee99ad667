#include "tweak_names.h"

#include "ctl/formats/Choices.h"

#include <string>

namespace {

const TweakRow kRows[] = {
#include "tweak_names.inc"
};

} // namespace

std::span<const TweakRow> NamedRows() {
    return kRows;
}

const TweakRow* ReadTweakName(std::string_view name, std::string* problem) {
    for (const TweakRow& row : kRows)
        if (SameWord(name, row.name))
            return &row;
    if (problem)
        *problem = "unknown tweak \"" + std::string(name) + "\"";
    return nullptr;
}
