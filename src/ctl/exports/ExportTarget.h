// Whose per-user values an export writes: what the export command takes
// and what every format's emitter reads.
#pragma once

#include <string>

// Whose per-user values the export writes.
struct ExportTarget {
    enum Kind { ConnectingUser, User, HiveFile } kind = ConnectingUser;
    std::string sid;  // User
    std::string file; // HiveFile: the profile file as given
};
