#include "ctl/Whose.h"

#include "system/UserHive.h"

#include <cstring>

bool WritesPerUser(const TweakRow& row, bool on) {
    for (const Phrase& p : on ? row.onCheck : row.onUncheck)
        if (p.kind != PhraseKind::Run && p.root == HKCU)
            return true;
    return false;
}

std::string PerUserRefusal(const std::vector<std::pair<const TweakRow*, bool>>& changes) {
    if (CurrentUserRedirected() || !g_pfnCallerIsLocalSystem())
        return {};
    std::string names;
    for (const auto& [row, on] : changes)
        if (WritesPerUser(*row, on))
            names += std::string(names.empty() ? "" : ", ") + row->name;
    if (names.empty())
        return {};
    return "running as LocalSystem, the per-user tweaks (" + names +
           ") would change LocalSystem's own profile, not a user's; give --user NAME|SID or "
           "--hive FILE. Nothing was changed";
}

std::string RestoreRefusal(const std::string& regText) {
    // A section header, or one that deletes its key: "[HKEY_..." or "[-HKEY_...".
    const char marker[] = "HKEY_CURRENT_USER\\";
    bool perUser = false;
    for (size_t at = regText.find('['); at != std::string::npos; at = regText.find('[', at + 1)) {
        const size_t name = at + 1 + (regText.compare(at + 1, 1, "-") == 0);
        if (_strnicmp(regText.c_str() + name, marker, sizeof(marker) - 1) == 0)
            perUser = true;
    }
    if (!perUser)
        return {};
    if (CurrentUserRedirected())
        return "this backup writes HKEY_CURRENT_USER, the calling user's own keys, not " +
               CurrentUserRootText() +
               "; a backup made with the same --user or --hive names that user's keys";
    if (g_pfnCallerIsLocalSystem())
        return "running as LocalSystem, this backup's HKEY_CURRENT_USER values would go to "
               "LocalSystem's own profile; restore a backup made with --user instead";
    return {};
}
