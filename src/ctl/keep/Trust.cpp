#include "ctl/keep/Trust.h"

#include "ctl/output/Text.h"
#include "system/ErrorText.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace {

// What lets an account change a file or a folder, or who may.
constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD |
                                 WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

constexpr const wchar_t* kTrusted[] = {
    L"S-1-5-18",                                                       // LocalSystem
    L"S-1-5-32-544",                                                   // Administrators
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", // TrustedInstaller
};

struct LocalDeleter {
    void operator()(void* p) const { LocalFree(p); }
};
template <class T> using LocalPtr = std::unique_ptr<T, LocalDeleter>;

bool Trusted(PSID sid, PSID caller) {
    if (caller && EqualSid(sid, caller))
        return true;
    for (const wchar_t* text : kTrusted) {
        PSID trusted = nullptr;
        if (!ConvertStringSidToSidW(text, &trusted))
            continue;
        const bool same = EqualSid(sid, trusted);
        LocalFree(trusted);
        if (same)
            return true;
    }
    return false;
}

std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return Utf8(*domain ? std::wstring(domain) + L"\\" + name : std::wstring(name));
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return "an unknown account";
    const std::string sidText = Utf8(text);
    LocalFree(text);
    return sidText;
}

// The account an allowing entry names, or null for any other entry.
PSID AllowedSid(ACE_HEADER* ace) {
    switch (ace->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        return &reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
        auto* object = reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(ace);
        BYTE* sid = reinterpret_cast<BYTE*>(&object->ObjectType);
        sid += object->Flags & ACE_OBJECT_TYPE_PRESENT ? sizeof(GUID) : 0;
        sid += object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT ? sizeof(GUID) : 0;
        return sid;
    }
    }
    return nullptr;
}

std::wstring Unprefixed(std::wstring path) {
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\" + path.substr(7);
    if (path.starts_with(L"\\\\?\\"))
        return path.substr(4);
    return path;
}

bool IsBelow(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::string OtherChanger(PSECURITY_DESCRIPTOR sd, PSID caller) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !owner ||
        !GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted))
        return "an unknown owner";
    if (!Trusted(owner, caller))
        return AccountName(owner);
    if (!present || !dacl)
        return "Everyone"; // no DACL: everyone may do everything
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)))
            return "an unreadable entry";
        // An inherit-only entry is for what gets made inside, not for this.
        if (ace->AceFlags & INHERIT_ONLY_ACE)
            continue;
        const PSID sid = AllowedSid(ace);
        const ACCESS_MASK mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
        if (sid && (mask & kChanges) && !Trusted(sid, caller))
            return AccountName(sid);
    }
    return {};
}

namespace {

std::vector<BYTE> CallerSid() {
    std::vector<BYTE> user(256);
    HANDLE token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    if (!GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size))
        user.clear();
    CloseHandle(token);
    return user;
}

} // namespace

std::string Distrust(const std::wstring& path, bool refuseLinks) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "cannot be checked: " + ErrorText(GetLastError());
    if (refuseLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return "is a link (a reparse point)";
    PSECURITY_DESCRIPTOR sd = nullptr;
    const DWORD status = GetNamedSecurityInfoW(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        nullptr, nullptr, nullptr, nullptr, &sd);
    if (status != ERROR_SUCCESS)
        return "cannot be checked: " + ErrorText(status);
    const LocalPtr<void> held(sd);
    std::vector<BYTE> caller = CallerSid();
    const std::string other = OtherChanger(
        sd, caller.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(caller.data())->User.Sid);
    return other.empty() ? other : "can be changed by " + other;
}

std::wstring ResolvedPath(const std::wstring& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file, resolved.data(), MAX_PATH, VOLUME_NAME_DOS);
    if (n >= MAX_PATH) {
        resolved.resize(n);
        n = GetFinalPathNameByHandleW(file, resolved.data(), n, VOLUME_NAME_DOS);
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    resolved.resize(n < resolved.size() ? n : 0);
    SetLastError(error);
    return Unprefixed(resolved);
}

std::string ProgramDistrust(const std::wstring& program) {
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &known) != S_OK)
        return "Program Files cannot be found";
    const std::wstring folder = ResolvedPath(known);
    CoTaskMemFree(known);
    std::wstring path = ResolvedPath(program);
    if (path.empty() || folder.empty())
        return Utf8(program) + " cannot be checked: " + ErrorText(GetLastError());
    if (!IsBelow(path, folder))
        return Utf8(path) + " is not below " + Utf8(folder) +
               ", and a task would run whatever lies there as LocalSystem";
    for (; path.size() >= folder.size(); path.resize(path.find_last_of(L'\\')))
        if (const std::string why = Distrust(path, false); !why.empty())
            return Utf8(path) + " " + why;
    return {};
}
