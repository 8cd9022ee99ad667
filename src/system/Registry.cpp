#include "system/Registry.h"

#include "framework/OnDemand.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <vector>

namespace {

const char* KeyOrStore(const char* key) {
    return key ? key : kStoreKey;
}

HKEY RootKey(RegRoot root) {
    switch (root) {
    case HKLM:
        return HKEY_LOCAL_MACHINE;
    case HKCR:
        return HKEY_CLASSES_ROOT;
    case HKCU:
        break;
    }
    return HKEY_CURRENT_USER;
}

DWORD TextSize(const char* text) {
    return static_cast<DWORD>(strlen(text) + 1);
}

LSTATUS QueryUnder(HKEY root, const char* key, const char* valueName, DWORD* type, void* data,
                   DWORD* size) {
    HKEY hKey;
    LSTATUS status = RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &hKey);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegQueryValueExA(hKey, valueName, nullptr, type, static_cast<BYTE*>(data), size);
    RegCloseKey(hKey);
    return status;
}

} // namespace

LSTATUS GetUserValue(const char* key, const char* valueName, DWORD* type, void* data, DWORD* size,
                     RegSearch search) {
    key = KeyOrStore(key);
    const DWORD sizeIn = size ? *size : 0;
    if (search == HkcuFirst) {
        const LSTATUS status = QueryUnder(HKEY_CURRENT_USER, key, valueName, type, data, size);
        if (status == ERROR_SUCCESS)
            return status;
        if (size)
            *size = sizeIn; // a failed attempt must not shrink the buffer for the next
    }
    return QueryUnder(HKEY_LOCAL_MACHINE, key, valueName, type, data, size);
}

LSTATUS SetUserValue(const char* key, const char* valueName, DWORD type, const void* data,
                     DWORD size, RegRoot root) {
    HKEY hKey;
    LSTATUS status =
        RegCreateKeyExA(RootKey(root), KeyOrStore(key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &hKey, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(hKey, valueName, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(hKey);
    return status;
}

std::string ReadRegString(const char* valueName, const char* key) {
    DWORD type = 0, size = 0;
    if (GetUserValue(key, valueName, &type, nullptr, &size, HkcuFirst) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return {};
    std::vector<char> buffer(size);
    if (GetUserValue(key, valueName, &type, buffer.data(), &size, HkcuFirst) != ERROR_SUCCESS ||
        size == 0)
        return {};
    // The last byte is taken as the terminating NUL.
    return std::string(buffer.data(), size - 1);
}

DWORD ReadRegDword(const char* key, const char* valueName, DWORD defaultValue, RegSearch search) {
    DWORD type = 0, data = 0, size = sizeof(data);
    if (GetUserValue(key, valueName, &type, &data, &size, search) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return defaultValue;
    return data;
}

bool WriteRegString(const char* key, const char* valueName, const char* text) {
    return SetUserValue(key, valueName, REG_SZ, text, TextSize(text), HKCU) == ERROR_SUCCESS;
}

LSTATUS DeleteRegValue(RegRoot root, const char* key, const char* valueName) {
    HKEY hKey;
    LSTATUS status = RegOpenKeyExA(RootKey(root), KeyOrStore(key), 0, KEY_ALL_ACCESS, &hKey);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegDeleteValueA(hKey, valueName);
    RegCloseKey(hKey);
    return status;
}

LSTATUS CreateRegClassKey(const char* key, const char* defaultText) {
    HKEY hKey;
    LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(hKey, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultText),
                            TextSize(defaultText));
    RegCloseKey(hKey);
    return status;
}

LSTATUS DeleteRegClassKey(const char* key) {
    static const auto deleteKey = OnDemand<decltype(&SHDeleteKeyA)>("shlwapi.dll", "SHDeleteKeyA");
    return deleteKey ? deleteKey(HKEY_CLASSES_ROOT, key) : ERROR_PROC_NOT_FOUND;
}

std::string SystemFolder() {
    static const auto getFolderPath =
        OnDemand<decltype(&SHGetFolderPathA)>("shell32.dll", "SHGetFolderPathA");
    char path[MAX_PATH];
    if (!getFolderPath ||
        FAILED(getFolderPath(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

LSTATUS ReadRegValue(RegRoot root, const char* key, const char* valueName, bool* found,
                     RegData* data) {
    *found = false;
    HKEY hKey;
    LSTATUS status = RegOpenKeyExA(RootKey(root), KeyOrStore(key), 0, KEY_QUERY_VALUE, &hKey);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    // The value may grow between the two calls.
    for (;;) {
        DWORD type = 0, size = 0;
        status = RegQueryValueExA(hKey, valueName, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        std::string bytes(size, '\0');
        status = RegQueryValueExA(hKey, valueName, nullptr, &type,
                                  reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            *data = RegData{type, std::move(bytes)};
            *found = true;
        }
        break;
    }
    RegCloseKey(hKey);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

namespace {

LSTATUS ReadKeyInto(HKEY hKey, const std::string& path, std::vector<RegKeyContents>* tree) {
    DWORD maxName = 0, maxData = 0, maxSubkey = 0;
    LSTATUS status = RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr,
                                      nullptr, &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    RegKeyContents contents{path, {}};
    std::string name(maxName + 1, '\0');
    std::string bytes(maxData, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD cchName = static_cast<DWORD>(name.size()), type = 0;
        DWORD size = static_cast<DWORD>(bytes.size());
        status = RegEnumValueA(hKey, i, name.data(), &cchName, nullptr, &type,
                               reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status; // changed while being read: the caller reports it
        contents.values.emplace_back(name.substr(0, cchName), RegData{type, bytes.substr(0, size)});
    }
    tree->push_back(std::move(contents));
    std::vector<std::string> subkeys;
    std::string subkey(maxSubkey + 1, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD cch = static_cast<DWORD>(subkey.size());
        status = RegEnumKeyExA(hKey, i, subkey.data(), &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        subkeys.push_back(subkey.substr(0, cch));
    }
    for (const std::string& sub : subkeys) {
        HKEY hSub;
        status = RegOpenKeyExA(hKey, sub.c_str(), 0, KEY_READ, &hSub);
        if (status != ERROR_SUCCESS)
            return status;
        status = ReadKeyInto(hSub, path + "\\" + sub, tree);
        RegCloseKey(hSub);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS ReadRegTree(RegRoot root, const char* key, std::vector<RegKeyContents>* tree) {
    tree->clear();
    HKEY hKey;
    LSTATUS status = RegOpenKeyExA(RootKey(root), KeyOrStore(key), 0, KEY_READ, &hKey);
    if (status != ERROR_SUCCESS)
        return status;
    status = ReadKeyInto(hKey, KeyOrStore(key), tree);
    RegCloseKey(hKey);
    return status;
}

LSTATUS ReadRegValueW(RegRoot root, const std::wstring& key, const std::wstring& valueName,
                      bool* found, RegData* data) {
    *found = false;
    HKEY hKey;
    LSTATUS status = RegOpenKeyExW(RootKey(root), key.c_str(), 0, KEY_QUERY_VALUE, &hKey);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    for (;;) {
        DWORD type = 0, size = 0;
        status = RegQueryValueExW(hKey, valueName.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        std::string bytes(size, '\0');
        status = RegQueryValueExW(hKey, valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            *data = RegData{type, std::move(bytes)};
            *found = true;
        }
        break;
    }
    RegCloseKey(hKey);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

namespace {

LSTATUS ReadKeyIntoW(HKEY hKey, const std::wstring& path, std::vector<RegKeyContentsW>* tree) {
    DWORD maxName = 0, maxData = 0, maxSubkey = 0;
    LSTATUS status = RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr,
                                      nullptr, &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    RegKeyContentsW contents{path, {}};
    std::wstring name(maxName + 1, L'\0');
    std::string bytes(maxData, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD cchName = static_cast<DWORD>(name.size()), type = 0;
        DWORD size = static_cast<DWORD>(bytes.size());
        status = RegEnumValueW(hKey, i, name.data(), &cchName, nullptr, &type,
                               reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        contents.values.emplace_back(name.substr(0, cchName), RegData{type, bytes.substr(0, size)});
    }
    tree->push_back(std::move(contents));
    std::vector<std::wstring> subkeys;
    std::wstring subkey(maxSubkey + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD cch = static_cast<DWORD>(subkey.size());
        status = RegEnumKeyExW(hKey, i, subkey.data(), &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        subkeys.push_back(subkey.substr(0, cch));
    }
    for (const std::wstring& sub : subkeys) {
        HKEY hSub;
        status = RegOpenKeyExW(hKey, sub.c_str(), 0, KEY_READ, &hSub);
        // A subkey listed but not opened is never taken for a missing tree.
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_CANTOPEN;
        if (status != ERROR_SUCCESS)
            return status;
        status = ReadKeyIntoW(hSub, path + L"\\" + sub, tree);
        RegCloseKey(hSub);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS ReadRegTreeW(RegRoot root, const std::wstring& key, std::vector<RegKeyContentsW>* tree) {
    tree->clear();
    HKEY hKey;
    LSTATUS status = RegOpenKeyExW(RootKey(root), key.c_str(), 0, KEY_READ, &hKey);
    if (status != ERROR_SUCCESS)
        return status;
    status = ReadKeyIntoW(hKey, key, tree);
    RegCloseKey(hKey);
    return status;
}

bool RegKeyExistsW(RegRoot root, const std::wstring& key) {
    HKEY hKey;
    if (RegOpenKeyExW(RootKey(root), key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}
