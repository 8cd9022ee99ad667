#include "system/Rights.h"

#include <windows.h>

namespace {

// A filtered token of an administrator holds the group for denying only:
// the membership check then says no, as it should.
bool RunsAsAdministrator() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size))
        return false;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, sid, &member) && member;
}

} // namespace

CallerIsAdministratorFn g_pfnCallerIsAdministrator = RunsAsAdministrator;
