// The rule for what LocalSystem may rely on, over security descriptors as
// Windows ships them and as users and careless installs leave them.
#include "ctl/keep/Trust.h"

#include <gtest/gtest.h>

#include <sddl.h>

namespace {

#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
#define CALLER L"S-1-5-21-1-2-3-500"
#define ALICE L"S-1-5-21-1-2-3-1001"

struct Descriptor {
    const char* what;
    const wchar_t* sddl;
    const char* other; // who else can change it, or "" for nobody
};

// clang-format off
const Descriptor kDescriptors[] = {
    {"Program Files as Windows ships it",
     L"O:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
     L"(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
     L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)", ""},
    {"a folder made under C:\\",
     L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
     L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)", "NT AUTHORITY\\Authenticated Users"},
    {"a user's Downloads", L"O:" ALICE L"D:(A;OICI;FA;;;" ALICE L")(A;OICI;FA;;;SY)",
     "S-1-5-21-1-2-3-1001"},
    {"Everyone may write", L"O:BAD:(A;;FA;;;BA)(A;;FW;;;WD)", "Everyone"},
    {"Users may append to a folder", L"O:BAD:(A;;FA;;;BA)(A;;0x4;;;BU)", "BUILTIN\\Users"},
    {"Users may delete", L"O:BAD:(A;;FA;;;BA)(A;;SD;;;BU)", "BUILTIN\\Users"},
    {"Users may change its permissions", L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", "BUILTIN\\Users"},
    {"a deny before an allow", L"O:BAD:(D;;FA;;;WD)(A;;FA;;;WD)", "Everyone"},
    {"no DACL", L"O:BA", "Everyone"},
    {"an owner outside the set", L"O:BUD:(A;;FA;;;BA)", "BUILTIN\\Users"},
    {"the caller's own", L"O:" CALLER L"D:(A;;FA;;;" CALLER L")(A;;FA;;;SY)", ""},
    {"Users reading only", L"O:SYD:P(A;;FA;;;SY)(A;;0x1200a9;;;BU)", ""},
};
// clang-format on

TEST(TrustTest, OnlyLocalSystemAdministratorsTrustedInstallerAndTheCallerMayChangeIt) {
    PSID caller = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(CALLER, &caller));
    for (const Descriptor& row : kDescriptors) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(row.sddl, SDDL_REVISION_1,
                                                                         &sd, nullptr))
            << row.what;
        EXPECT_EQ(OtherChanger(sd, caller), row.other) << row.what;
        LocalFree(sd);
    }
    LocalFree(caller);
}

} // namespace
