#include "tweaks/Tweaks.h"

namespace {
const TweakTable kTables[] = {
    {"General", kGeneralTweaks},     {"Services", kServicesTweaks},
    {"IExplorer", kIExplorerTweaks}, {"Windows MediaPlayer", kMediaPlayerTweaks},
    {"Usability", kUsabilityTweaks},
};
} // namespace

std::span<const TweakTable> TweakTables() {
    return kTables;
}

const TweakRow* FindTweak(std::string_view name) {
    for (const TweakTable& table : kTables)
        for (const TweakRow& row : table.rows)
            if (name == row.name)
                return &row;
    return nullptr;
}
