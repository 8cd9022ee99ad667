// The walk over a machine's profiles that the --all-users commands share.
#pragma once

#include "ctl/Console.h"
#include "system/Profiles.h"

#include <functional>
#include <string>
#include <vector>

// The profiles, once what killed runs left loaded is unloaded; false (and
// said why) when the profile list cannot be read.
bool ReadProfiles(Console& c, std::vector<Profile>* profiles);

// Runs `visit` for each profile with HKEY_CURRENT_USER redirected to it, and
// `refused` for one that could not be opened or closed again. Each loaded
// file is unloaded before the next is loaded. Returns how many were refused.
size_t Walk(const std::vector<Profile>& profiles, const std::function<void(const Profile&)>& visit,
            const std::function<void(const Profile&, const std::string&)>& refused);

// "Profile alice", "Profile S-1-5-21-...", "Profile Default".
std::string Heading(const Profile& p);

// A profile that could not be opened, named with why in both streams.
void SayRefused(Console& c, const Profile& p, const std::string& why);
