// The profiles a machine keeps: its ordinary accounts as the system's profile
// list names them, and the default profile that new accounts are made from.
#pragma once

#include <string>
#include <vector>

struct Profile {
    std::string name; // the account's name, the SID when it has none, or "Default"
    std::string sid;  // empty for the default profile
    std::string file; // the profile's NTUSER.DAT
};

// Every profile of an ordinary account (S-1-5-21-...) in the profile list, in
// the list's order, then the default profile when the list names one. The
// system's own accounts are never among them. False, with why, when the list
// itself cannot be read.
bool MachineProfiles(std::vector<Profile>* profiles, std::string* error);

// True while the profile's hive is loaded under HKEY_USERS\<SID>: its user
// is signed in, or something else holds it.
bool ProfileLoaded(const std::string& sid);

// The SID of the account this process runs as, or the empty text.
std::string OwnSid();
