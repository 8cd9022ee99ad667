// The fifty tweaks as data, one table per page in tab order. Both the window
// and the command-line program read them; nothing here knows about dialogs.
#pragma once

#include "system/Actions.h"

#include <span>

// One row per checkbox, in template order.
struct TweakRow {
    int id;            // the checkbox's control id on its page
    const char* name;  // "page/name": stable, whatever the label says
    const char* label; // the checkbox text of the template
    const char* tooltip;
    Conditions checkedWhen;
    Cell onCheck;
    Cell onUncheck;
};

struct TweakTable {
    const char* tab; // the page's tab text
    std::span<const TweakRow> rows;
};

extern const TweakRow kGeneralTweaks[11];
extern const TweakRow kServicesTweaks[9];
extern const TweakRow kIExplorerTweaks[12];
extern const TweakRow kMediaPlayerTweaks[8];
extern const TweakRow kUsabilityTweaks[10];

// Whether the row's cell for `on` writes anything under HKEY_CURRENT_USER.
bool WritesPerUser(const TweakRow& row, bool on);

// The five pages' tables in tab order.
std::span<const TweakTable> TweakTables();
