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

// An entry of the profile list that is no profile of its own: the key's
// name, and why it was left out.
struct SkippedEntry {
    std::string key, why;
};

// Every profile of an ordinary account (S-1-5-21-...) in the profile list, in
// the list's order, then the default profile when the list names one. The
// system's own accounts (S-1-5-18, -19, -20) are never among them; any other
// key that is not a user account's SID, a ".bak" copy, and an entry naming a
// file that an earlier one names, go into *skipped. False, with why, when the
// list itself cannot be read.
bool MachineProfiles(std::vector<Profile>* profiles, std::vector<SkippedEntry>* skipped,
                     std::string* error);

// A user account's SID as text: S-1-5-21- with the three parts of its
// machine or domain and its own number, and nothing the system would read
// as another SID.
bool UserAccountSid(const std::string& text);

// True while the profile's hive is loaded under HKEY_USERS\<SID>: its user
// is signed in, or something else holds it.
bool ProfileLoaded(const std::string& sid);

// The SID of the account this process runs as, or the empty text.
std::string OwnSid();
