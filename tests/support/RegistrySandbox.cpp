#include "support/RegistrySandbox.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr char kSandboxParent[] = "Software\\MorvaneTests";

HKEY CreateKey(HKEY parent, const std::string& path) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                        nullptr) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot create sandbox key " << path;
    return hKey;
}

// A handle to a key that no longer exists.
HKEY DeletedKey(HKEY parent) {
    HKEY hKey = CreateKey(parent, "Gone");
    RegDeleteKeyA(parent, "Gone");
    return hKey;
}

// COM finds its classes (the picture loader's decoders among them) under
// HKCR\CLSID: the sandbox links to the real ones.
void LinkClasses(HKEY hClassesRoot) {
    HKEY hLink;
    if (RegCreateKeyExW(hClassesRoot, L"CLSID", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                        nullptr, &hLink, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot link the sandbox to the COM classes";
        return;
    }
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\Classes\\CLSID";
    RegSetValueExW(hLink, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                   sizeof(target) - sizeof(wchar_t));
    RegCloseKey(hLink);
}

// The link itself goes, never what it points to.
void UnlinkClasses(HKEY hSandbox) {
    HKEY hClasses, hLink;
    if (RegOpenKeyExA(hSandbox, "HKCR", 0, KEY_ALL_ACCESS, &hClasses) != ERROR_SUCCESS)
        return;
    if (RegOpenKeyExW(hClasses, L"CLSID", REG_OPTION_OPEN_LINK, DELETE, &hLink) == ERROR_SUCCESS) {
        using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
        auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
        if (ntDeleteKey)
            ntDeleteKey(hLink);
        RegCloseKey(hLink);
    }
    RegCloseKey(hClasses);
}

void Walk(HKEY hKey, const std::string& path, std::map<std::string, RegValue>& out) {
    out[path] = RegValue{REG_NONE, {}};
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD cchName = sizeof(name), type = 0, cbData = 0;
        if (RegEnumValueA(hKey, i, name, &cchName, nullptr, &type, nullptr, &cbData) !=
            ERROR_SUCCESS)
            break;
        std::string data(cbData, '\0');
        cchName = sizeof(name);
        RegEnumValueA(hKey, i, name, &cchName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &cbData);
        data.resize(cbData);
        out[path + ":" + name] = RegValue{type, data};
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD cchName = sizeof(name);
        if (RegEnumKeyExA(hKey, i, name, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name);
    }
    for (const std::string& sub : subkeys) {
        if (path == "HKCR\\" && sub == "CLSID")
            continue; // the link to the real classes
        HKEY hSub;
        if (RegOpenKeyExA(hKey, sub.c_str(), 0, KEY_READ, &hSub) == ERROR_SUCCESS) {
            Walk(hSub, path + sub + "\\", out);
            RegCloseKey(hSub);
        }
    }
}

} // namespace

void SnapshotKey(HKEY root, const char* path, const std::string& prefix,
                 std::map<std::string, RegValue>& out) {
    HKEY hKey;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    Walk(hKey, prefix, out);
    RegCloseKey(hKey);
}

bool IsWinesOwn(const std::string& path) {
    return path.find("\\Wine\\") != std::string::npos ||
           path.starts_with("HKLM\\System\\CurrentControlSet\\Control\\Video\\");
}

RegistrySandbox::RegistrySandbox(Rights rights) {
    static int counter = 0;
    m_name = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    m_hRoot = CreateKey(HKEY_CURRENT_USER, std::string(kSandboxParent) + "\\" + m_name);
    m_hCurrentUser = CreateKey(m_hRoot, "HKCU");
    m_hLocalMachine = rights == WithRights ? CreateKey(m_hRoot, "HKLM") : DeletedKey(m_hRoot);
    if (rights == NoRights) {
        m_hClassesRoot = DeletedKey(m_hRoot);
    } else {
        m_hClassesRoot = CreateKey(m_hRoot, "HKCR");
        LinkClasses(m_hClassesRoot);
    }
    RegOverridePredefKey(HKEY_CURRENT_USER, m_hCurrentUser);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_hLocalMachine);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, m_hClassesRoot);
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    UnlinkClasses(m_hRoot);
    for (HKEY h : {m_hCurrentUser, m_hLocalMachine, m_hClassesRoot, m_hRoot})
        if (h)
            RegCloseKey(h);
    HKEY hParent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSandboxParent, 0, KEY_ALL_ACCESS, &hParent) ==
        ERROR_SUCCESS) {
        RegDeleteTreeA(hParent, m_name.c_str());
        RegCloseKey(hParent);
    }
}

std::map<std::string, RegValue> RegistrySandbox::Snapshot() const {
    std::map<std::string, RegValue> out;
    Walk(m_hCurrentUser, "HKCU\\", out);
    Walk(m_hLocalMachine, "HKLM\\", out);
    Walk(m_hClassesRoot, "HKCR\\", out);
    return out;
}

std::string RegistrySandbox::Path() const {
    return std::string(kSandboxParent) + "\\" + m_name;
}

void PutValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
              DWORD size) {
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS)
        << key;
    ASSERT_EQ(RegSetValueExA(hKey, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
}

void PutDword(HKEY root, const char* key, const char* name, DWORD value) {
    PutValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

void PutString(HKEY root, const char* key, const char* name, const std::string& text) {
    PutValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::optional<RegValue> GetValue(HKEY root, const char* key, const char* name) {
    HKEY hKey;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RegValue> result;
    if (RegQueryValueExA(hKey, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string data(size, '\0');
        if (RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS) {
            data.resize(size);
            result = RegValue{type, data};
        }
    }
    RegCloseKey(hKey);
    return result;
}

std::optional<DWORD> GetDword(HKEY root, const char* key, const char* name) {
    const std::optional<RegValue> v = GetValue(root, key, name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4)
        return std::nullopt;
    DWORD value;
    memcpy(&value, v->data.data(), 4);
    return value;
}

bool KeyExists(HKEY root, const char* key) {
    HKEY hKey;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

RegValue Dword(DWORD value) {
    return RegValue{REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4)};
}

RegValue Sz(const std::string& text) {
    return RegValue{REG_SZ, text + std::string(1, '\0')};
}

std::vector<std::string> MachineSoftwareKeys() {
    std::vector<std::string> keys;
    HKEY hSoftware;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &hSoftware) != ERROR_SUCCESS)
        return keys;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof(name);
        if (RegEnumKeyExA(hSoftware, i, name, &cch, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (lstrcmpiA(name, "Classes") != 0 && lstrcmpiA(name, "Wine") != 0 &&
            lstrcmpiA(name, "Wow6432Node") != 0)
            keys.push_back(std::string("Software\\") + name);
    }
    RegCloseKey(hSoftware);
    return keys;
}
