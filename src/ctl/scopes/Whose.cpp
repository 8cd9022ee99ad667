#include "ctl/scopes/Whose.h"

#include "ctl/formats/BackupCoverage.h"
#include "ctl/output/Text.h"
#include "system/RegLinks.h"
#include "system/UserHive.h"

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

std::string RestoreRefusal(const std::vector<RegFileEntry>& entries) {
    if (CurrentUserRedirected() || !g_pfnCallerIsLocalSystem())
        return {};
    for (const RegFileEntry& e : entries)
        if (e.root == HKCU)
            return "running as LocalSystem, this backup's HKEY_CURRENT_USER values would go to "
                   "LocalSystem's own profile; restore a backup made with --user instead";
    return {};
}

std::string LinkRefusal() {
    for (const CoveredKey& k : BackupCoverage().keys)
        if (k.root == HKCU)
            if (const std::wstring link = LinkOnPath(HKEY_CURRENT_USER, k.key); !link.empty())
                return "holds a registry link at " + CurrentUserKeyText() + "\\" + Utf8(link) +
                       ", and no link in another user's profile is followed";
    return {};
}
