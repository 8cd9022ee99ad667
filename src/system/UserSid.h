// Whose SID a user's name or a SID given as text stands for.
#pragma once

#include <string>

// The string SID of an account name or of a SID given as text. False, with
// why, for an unknown account or a malformed SID.
bool ResolveUserSid(const std::string& nameOrSid, std::string* sid, std::string* error);
