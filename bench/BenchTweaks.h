// The fifty tweaks, in tab order, straight from the program's own tables.
#pragma once

#include "system/Shell.h"
#include "tweaks/Tweaks.h"

#include <span>
#include <vector>

inline std::vector<const TweakRow*> AllTweaks() {
    std::vector<const TweakRow*> rows;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            rows.push_back(&row);
    return rows;
}

inline const TweakRow* FindTweak(std::span<const TweakRow> table, int id) {
    for (const TweakRow& row : table)
        if (row.id == id)
            return &row;
    return nullptr;
}

// Program starts recorded instead of run.
inline int g_shellStarts = 0;
inline HINSTANCE WINAPI NoShell(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    ++g_shellStarts;
    return reinterpret_cast<HINSTANCE>(33); // what a successful start returns
}
