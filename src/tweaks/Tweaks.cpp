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
