#include "tweaks/Tweaks.h"

namespace {
const TweakTable kTables[] = {
    {"General", kGeneralTweaks},     {"Services", kServicesTweaks},
    {"IExplorer", kIExplorerTweaks}, {"Windows MediaPlayer", kMediaPlayerTweaks},
    {"Usability", kUsabilityTweaks},
};
} // namespace

bool WritesPerUser(const TweakRow& row, bool on) {
    for (const Phrase& p : on ? row.onCheck : row.onUncheck)
        if (WritesPerUser(p))
            return true;
    return false;
}

std::span<const TweakTable> TweakTables() {
    return kTables;
}
