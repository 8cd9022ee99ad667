#include "system/Registry.h"

#include "system/OnDemand.h"

#include <shlobj.h>

#include <vector>

namespace {

const char* KeyOrStore(const char* key) {
    return key ? key : kStoreKey;
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
                     bool ignoreHkcu) {
    const DWORD sizeIn = size ? *size : 0;
    if (!ignoreHkcu) {
        const LSTATUS status = QueryUnder(HKEY_CURRENT_USER, key, valueName, type, data, size);
        if (status == ERROR_SUCCESS)
            return status;
        if (size)
            *size = sizeIn; // a failed attempt must not shrink the buffer for the next
    }
    return QueryUnder(HKEY_LOCAL_MACHINE, key, valueName, type, data, size);
}

LSTATUS SetUserValue(const char* key, const char* valueName, DWORD type, const void* data,
                     DWORD size, UserValueRoot root) {
    HKEY hKey;
    LSTATUS status = RegCreateKeyExA(
        root == UserValueRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, 0,
        nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &hKey, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(hKey, valueName, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(hKey);
    return status;
}

std::string ReadRegString(const char* valueName, const char* key) {
    key = KeyOrStore(key);
    DWORD type = 0, size = 0;
    if (GetUserValue(key, valueName, &type, nullptr, &size, false) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return {};
    std::vector<char> buffer(size);
    if (GetUserValue(key, valueName, &type, buffer.data(), &size, false) != ERROR_SUCCESS ||
        size == 0)
        return {};
    // The last byte is taken as the terminating NUL.
    return std::string(buffer.data(), size - 1);
}

DWORD ReadRegDword(const char* key, const char* valueName, DWORD defaultValue, bool hklmOnly) {
    DWORD type = 0, data = 0, size = sizeof(data);
    if (GetUserValue(KeyOrStore(key), valueName, &type, &data, &size, hklmOnly) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return defaultValue;
    return data;
}

bool WriteRegString(const char* key, const char* valueName, const char* text) {
    return SetUserValue(KeyOrStore(key), valueName, REG_SZ, text,
                        static_cast<DWORD>(strlen(text) + 1),
                        UserValueRoot::CurrentUser) == ERROR_SUCCESS;
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
