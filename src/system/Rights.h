// Whether this process may change what belongs to the whole machine, such as
// the system's scheduled tasks.
#pragma once

// True when the process runs with an administrator's full token (elevated,
// or LocalSystem). Tests replace it.
using CallerIsAdministratorFn = bool (*)();
extern CallerIsAdministratorFn g_pfnCallerIsAdministrator;
