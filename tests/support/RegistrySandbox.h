// Points HKCU, HKLM and HKCR of this process at fresh keys of the test's own,
// so tests can run in parallel and never touch the prefix's real settings.
// Without rights, HKLM and HKCR point at a deleted key: every machine-wide
// create, write and delete then fails for real. COM finds its classes under
// HKCR, so a test that loads pictures without rights keeps HKCR readable
// (NoMachineRights: only HKLM fails).
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

struct RegValue {
    DWORD type;
    std::string data;
    bool operator==(const RegValue&) const = default;
};

class RegistrySandbox {
public:
    enum Rights { WithRights, NoRights, NoMachineRights };
    explicit RegistrySandbox(Rights rights = WithRights);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Everything under the three sandboxed roots, as "ROOT\key\:name" -> value
    // (keys themselves as "ROOT\key\" with no value).
    std::map<std::string, RegValue> Snapshot() const;
    // The sandbox's own key below the real HKEY_CURRENT_USER, which holds
    // HKCU, HKLM and HKCR: where another process finds the sandboxed roots.
    std::string Path() const;

private:
    HKEY m_hRoot = nullptr;
    HKEY m_hCurrentUser = nullptr;
    HKEY m_hLocalMachine = nullptr;
    HKEY m_hClassesRoot = nullptr;
    std::string m_name;
};

// Everything under root\path, as "prefix<subkeys>\:name" -> value.
void SnapshotKey(HKEY root, const char* path, const std::string& prefix,
                 std::map<std::string, RegValue>& out);

// True for a snapshot path of Wine's own bookkeeping: its settings under
// ...\Wine\, and the display adapters its desktop registers as volatile keys
// under HKLM's Control\Video whenever it starts, which may be after a
// snapshot was taken.
bool IsWinesOwn(const std::string& path);

// The keys under HKLM\Software but Classes, Wine's own and Wow6432Node
// (which shows keys the 32-bit and 64-bit views share a second time), as
// "Software\<name>".
std::vector<std::string> MachineSoftwareKeys();

// Direct access for setting up and checking, through the (sandboxed) roots.
void PutValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
              DWORD size);
void PutDword(HKEY root, const char* key, const char* name, DWORD value);
void PutString(HKEY root, const char* key, const char* name, const std::string& text);
std::optional<RegValue> GetValue(HKEY root, const char* key, const char* name);
std::optional<DWORD> GetDword(HKEY root, const char* key, const char* name);
bool KeyExists(HKEY root, const char* key);

RegValue Dword(DWORD value);
RegValue Sz(const std::string& text); // with its terminating NUL
