#include "system/UserSid.h"

#include "system/ErrorText.h"
#include "system/Profiles.h"
#include "system/WideNames.h"

#include <sddl.h>

#include <vector>

namespace {

// A SID as given: valid, as the system writes it, and a user account's.
bool GivenSid(const std::string& given, std::string* sid, std::string* error) {
    PSID binary = nullptr;
    if (!ConvertStringSidToSidA(given.c_str(), &binary)) {
        *error = "\"" + given + "\" is not a valid SID";
        return false;
    }
    char* text = nullptr;
    const bool ok = ConvertSidToStringSidA(binary, &text) != FALSE;
    LocalFree(binary);
    if (!ok) {
        *error = "\"" + given + "\" is not a valid SID";
        return false;
    }
    // The system's parser takes a part too big for its place as another
    // number: only a SID whose text comes back as given is that SID.
    const bool same = _stricmp(text, given.c_str()) == 0;
    *sid = text;
    LocalFree(text);
    if (!same) {
        *error = "\"" + given + "\" is not a valid SID (the system reads it as " + *sid + ")";
        return false;
    }
    // LocalSystem's own profile, a group's or a well-known SID's is no
    // user's: only a user account's SID, as a name must be a user's.
    if (!UserAccountSid(*sid)) {
        *error = "\"" + given + "\" is not a user account's SID";
        return false;
    }
    return true;
}

} // namespace

bool ResolveUserSid(const std::string& nameOrSid, std::string* sid, std::string* error) {
    if (nameOrSid.size() > 2 && (nameOrSid[0] == 'S' || nameOrSid[0] == 's') && nameOrSid[1] == '-')
        return GivenSid(nameOrSid, sid, error);
    std::wstring name;
    if (!WideName(nameOrSid, &name)) {
        *error = "\"" + nameOrSid + "\" is not a user name (not UTF-8)";
        return false;
    }
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    std::vector<BYTE> binary(sidSize ? sidSize : 1);
    std::vector<wchar_t> domain(domainSize ? domainSize : 1);
    if (!sidSize || !LookupAccountNameW(nullptr, name.c_str(), binary.data(), &sidSize,
                                        domain.data(), &domainSize, &use)) {
        *error = "unknown user \"" + nameOrSid + "\": " + ErrorText(GetLastError());
        return false;
    }
    if (use != SidTypeUser) {
        *error = "\"" + nameOrSid + "\" is not a user account";
        return false;
    }
    char* text = nullptr;
    if (!ConvertSidToStringSidA(binary.data(), &text)) {
        *error = "cannot write the SID of \"" + nameOrSid + "\": " + ErrorText(GetLastError());
        return false;
    }
    *sid = text;
    LocalFree(text);
    return true;
}
