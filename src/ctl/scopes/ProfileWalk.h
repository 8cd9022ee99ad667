// The walk over a machine's profiles that the --all-users commands share.
#pragma once

#include "ctl/output/Console.h"
#include "system/Profiles.h"
#include "system/UserHive.h"

#include <string>
#include <vector>

// Names each mount of ours whose name holds no run's process id: never
// unloaded, since it may be another's live one.
void SayMountsLeftAlone(Console& c);

// The profiles; false (and said why) when the profile list cannot be read.
// What killed runs left loaded goes before each profile file is loaded;
// what no run left is named, and so are the list's entries that are no
// profile, as skipped.
bool ReadProfiles(Console& c, std::vector<Profile>* profiles);

// Redirects HKEY_CURRENT_USER to the n-th profile of a walk: the caller's
// own as it is, a signed-in user's hive, or its file loaded for the moment.
// False for another user's profile that holds a registry link on a tweak's
// path (LinkRefusal), before anything of it is read.
bool OpenProfile(UserHive& hive, const Profile& p, int n, const std::string& own,
                 std::string* error);

// Runs `visit` for each profile with HKEY_CURRENT_USER redirected to it, and
// `refused` for one that could not be opened or closed again. A profile for
// which `skip` returns true is not opened at all. Each loaded file is
// unloaded before the next is loaded. Returns how many were refused.
inline bool OpenEvery(const Profile&) {
    return false;
}
template <class Visit, class Refused, class Skip = decltype(&OpenEvery)>
size_t Walk(const std::vector<Profile>& profiles, Visit&& visit, Refused&& refused,
            Skip&& skip = OpenEvery) {
    const std::string own = OwnSid();
    size_t failed = 0;
    int n = 0;
    for (const Profile& p : profiles) {
        ++n;
        if (skip(p))
            continue;
        UserHive hive;
        std::string error;
        if (!OpenProfile(hive, p, n, own, &error)) {
            ++failed;
            refused(p, error);
            continue;
        }
        visit(p);
        if (!hive.Close(&error)) {
            ++failed;
            refused(p, error);
        }
    }
    return failed;
}

// Signed in: the caller, or a user whose hive is loaded. Only such a
// profile's keys can be put back by reg import.
bool SignedIn(const Profile& p, const std::string& own);

// "Profile alice", "Profile S-1-5-21-...", "Profile Default".
std::string Heading(const Profile& p);

// A profile that could not be opened, named with why in both streams.
void SayRefused(Console& c, const Profile& p, const std::string& why);
