// The fifty tweaks, in tab order, straight from the pages' own tables.
#pragma once

#include "pages/CIESettingsDlg.h"
#include "pages/CUsabilityDlg.h"
#include "pages/CWMediaPlayer.h"
#include "pages/GeneralSettingsDlg.h"
#include "pages/ServicesSettingsDlg.h"

#include <span>
#include <vector>

inline std::vector<const TweakRow*> AllTweaks() {
    std::vector<const TweakRow*> rows;
    for (std::span<const TweakRow> table : {std::span<const TweakRow>(GeneralSettingsDlg::kTweaks),
                                            std::span<const TweakRow>(ServicesSettingsDlg::kTweaks),
                                            std::span<const TweakRow>(CIESettingsDlg::kTweaks),
                                            std::span<const TweakRow>(CWMediaPlayer::kTweaks),
                                            std::span<const TweakRow>(CUsabilityDlg::kTweaks)})
        for (const TweakRow& row : table)
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
