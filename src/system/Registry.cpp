#include "system/Registry.h"

#include "framework/OnDemand.h"
#include "system/KeyMap.h"
#include "system/Redirection.h"
#include "system/RegLinks.h"

#include <shlwapi.h>

#include <cstring>
#include <vector>

namespace {

struct RootEntry {
    const char* name;
    const char* fullName;
};

// In the order of RegRoot.
const RootEntry kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKCR", "HKEY_CLASSES_ROOT"},
};

DWORD TextSize(const char* text) {
    return static_cast<DWORD>(strlen(text) + 1);
}

// As the "A" functions read a name: in the code page.
std::wstring Widened(const std::string& path) {
    std::wstring wide(path.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

LSTATUS OpenPlain(HKEY parent, const std::string& path, REGSAM access, bool create, HKEY* key) {
    if (create)
        return RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                               nullptr, key, nullptr);
    return RegOpenKeyExA(parent, path.c_str(), 0, access, key);
}

LSTATUS OpenPlain(HKEY parent, const std::wstring& path, REGSAM access, bool create, HKEY* key) {
    if (create)
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                               nullptr, key, nullptr);
    return RegOpenKeyExW(parent, path.c_str(), 0, access, key);
}

LSTATUS OpenUnlinked(HKEY parent, const std::string& path, REGSAM access, bool create, HKEY* key) {
    return OpenKeyWithoutLinks(parent, Widened(path), access, create, key);
}

LSTATUS OpenUnlinked(HKEY parent, const std::wstring& path, REGSAM access, bool create, HKEY* key) {
    return OpenKeyWithoutLinks(parent, path, access, create, key);
}

// An open key, closed when it goes out of scope. Every key is opened where
// the key map (KeyMap.h) says it is now.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (m_hKey)
            RegCloseKey(m_hKey);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    LSTATUS Open(RegRoot root, const std::string& path, REGSAM access) {
        return At(root, path, access, false);
    }
    LSTATUS Open(RegRoot root, const std::wstring& path, REGSAM access) {
        return At(root, path, access, false);
    }
    // Opens the key, creating it and the keys above it when missing.
    LSTATUS Create(RegRoot root, const std::string& path, REGSAM access) {
        return At(root, path, access, true);
    }
    // A subkey of an open key, opened as its parent was: without following a
    // link when the parent was.
    LSTATUS OpenBelow(const RegKey& parent, const std::wstring& name, REGSAM access) {
        m_noLinks = parent.m_noLinks;
        return Kept(m_noLinks ? OpenUnlinked(parent.m_hKey, name, access, false, &m_hKey)
                              : OpenPlain(parent.m_hKey, name, access, false, &m_hKey));
    }
    HKEY Handle() const { return m_hKey; }

private:
    template <class Text> LSTATUS At(RegRoot root, const Text& path, REGSAM access, bool create) {
        KeyPlace<Text> place;
        const LSTATUS status = MapKey(root, path, &place);
        // The image holds nothing outside its hives: a read finds nothing there.
        if (status == kOutsideImage && !create && !(access & ~KEY_READ))
            return Kept(ERROR_FILE_NOT_FOUND);
        if (status != ERROR_SUCCESS)
            return Kept(status);
        // Neither another user's hive nor an image is read or written through a link.
        m_noLinks =
            !place.path.empty() && (place.inImage || (place.root == HKEY_CURRENT_USER &&
                                                      Redirection::Process().UserLinksRefused()));
        return Kept(m_noLinks ? OpenUnlinked(place.root, place.path, access, create, &m_hKey)
                              : OpenPlain(place.root, place.path, access, create, &m_hKey));
    }
    // A failed open leaves nothing to close, whatever the call left behind.
    LSTATUS Kept(LSTATUS status) {
        if (status != ERROR_SUCCESS)
            m_hKey = nullptr;
        return status;
    }
    HKEY m_hKey = nullptr;
    bool m_noLinks = false;
};

LSTATUS QueryUnder(RegRoot root, const char* key, const char* valueName, DWORD* type, void* data,
                   DWORD* size) {
    RegKey k;
    const LSTATUS status = k.Open(root, key, KEY_QUERY_VALUE);
    if (status != ERROR_SUCCESS)
        return status;
    return RegQueryValueExA(k.Handle(), valueName, nullptr, type, static_cast<BYTE*>(data), size);
}

} // namespace

const char* RootName(RegRoot root) {
    return kRoots[root].name;
}

const char* RootFullName(RegRoot root) {
    return kRoots[root].fullName;
}

LSTATUS GetUserValue(RegSearch search, Key key, const char* valueName, DWORD* type, void* data,
                     DWORD* size) {
    const DWORD sizeIn = size ? *size : 0;
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    for (const RegRoot root : RootsOf(search)) {
        if (size)
            *size = sizeIn; // a failed attempt must not shrink the buffer for the next
        status = QueryUnder(root, key.Path(), valueName, type, data, size);
        if (status == ERROR_SUCCESS)
            break;
    }
    return status;
}

LSTATUS SetUserValue(RegRoot root, Key key, const char* valueName, DWORD type, const void* data,
                     DWORD size) {
    RegKey k;
    const LSTATUS status = k.Create(root, key.Path(), KEY_SET_VALUE);
    if (status != ERROR_SUCCESS)
        return status;
    return RegSetValueExA(k.Handle(), valueName, 0, type, static_cast<const BYTE*>(data), size);
}

std::string ReadRegString(const char* valueName, const char* key) {
    DWORD type = 0, size = 0;
    if (GetUserValue(kStringSearch, Key(key), valueName, &type, nullptr, &size) != ERROR_SUCCESS ||
        !HoldsText(type, size))
        return {};
    std::vector<char> buffer(size);
    if (GetUserValue(kStringSearch, Key(key), valueName, &type, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    return StringOf(type, buffer.data(), size);
}

DWORD ReadRegDword(const char* key, const char* valueName, DWORD defaultValue, RegSearch search) {
    DWORD type = 0, data = 0, size = kDwordReadBytes;
    if (GetUserValue(search, Key(key), valueName, &type, &data, &size) != ERROR_SUCCESS)
        return defaultValue;
    return DwordOf(type, data, size, defaultValue);
}

bool WriteRegString(const char* key, const char* valueName, const char* text) {
    return SetUserValue(HKCU, Key(key), valueName, REG_SZ, text, TextSize(text)) == ERROR_SUCCESS;
}

LSTATUS DeleteRegValue(RegRoot root, Key key, const char* valueName) {
    RegKey k;
    const LSTATUS status = k.Open(root, key.Path(), KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS)
        return status;
    return RegDeleteValueA(k.Handle(), valueName);
}

LSTATUS CreateRegClassKey(Key key, const char* defaultText) {
    RegKey k;
    const LSTATUS status = k.Create(HKCR, key.Path(), KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS)
        return status;
    return RegSetValueExA(k.Handle(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultText),
                          TextSize(defaultText));
}

LSTATUS DeleteRegClassKey(Key key) {
    static const auto deleteKey = OnDemand<decltype(&SHDeleteKeyA)>("shlwapi.dll", "SHDeleteKeyA");
    KeyPlace<std::string> place;
    LSTATUS status = MapKey(HKCR, key.Path(), &place);
    // In an image, the key itself is reached without a link, as every key there.
    if (status == ERROR_SUCCESS && place.inImage) {
        RegKey k;
        status = k.Open(HKCR, key.Path(), KEY_QUERY_VALUE);
    }
    if (status != ERROR_SUCCESS)
        return status;
    return deleteKey ? deleteKey(place.root, place.path.c_str()) : ERROR_PROC_NOT_FOUND;
}

namespace {

// Reads the value of a key opened with status `opened` through `query`,
// RegQueryValueExA or W on that key. As ReadRegValue.
template <typename Query>
LSTATUS ReadOpenedValue(LSTATUS opened, Query query, bool* found, RegData* data) {
    *found = false;
    if (opened == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS)
        return opened;
    LSTATUS status;
    // The value may grow between the two calls.
    for (;;) {
        DWORD type = 0, size = 0;
        status = query(&type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        std::string bytes(size, '\0');
        status = query(&type, reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            *data = RegData{type, std::move(bytes)};
            *found = true;
        }
        break;
    }
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

} // namespace

LSTATUS ReadRegValue(RegRoot root, const char* key, const char* valueName, bool* found,
                     RegData* data) {
    RegKey k;
    const LSTATUS opened = k.Open(root, KeyPath(key), KEY_QUERY_VALUE);
    return ReadOpenedValue(
        opened,
        [&](DWORD* type, BYTE* bytes, DWORD* size) {
            return RegQueryValueExA(k.Handle(), valueName, nullptr, type, bytes, size);
        },
        found, data);
}

LSTATUS ReadRegValueW(RegRoot root, const std::wstring& key, const std::wstring& valueName,
                      bool* found, RegData* data) {
    RegKey k;
    const LSTATUS opened = k.Open(root, key, KEY_QUERY_VALUE);
    return ReadOpenedValue(
        opened,
        [&](DWORD* type, BYTE* bytes, DWORD* size) {
            return RegQueryValueExW(k.Handle(), valueName.c_str(), nullptr, type, bytes, size);
        },
        found, data);
}

namespace {

LSTATUS ReadKeyIntoW(const RegKey& key, const std::wstring& path,
                     std::vector<RegKeyContentsW>* tree) {
    const HKEY hKey = key.Handle();
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
        RegKey k;
        status = k.OpenBelow(key, sub, KEY_READ);
        // A subkey listed but not opened is never taken for a missing tree.
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_CANTOPEN;
        if (status == ERROR_SUCCESS)
            status = ReadKeyIntoW(k, path + L"\\" + sub, tree);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS ReadRegTreeW(RegRoot root, const std::wstring& key, std::vector<RegKeyContentsW>* tree) {
    tree->clear();
    RegKey k;
    const LSTATUS status = k.Open(root, key, KEY_READ);
    return status == ERROR_SUCCESS ? ReadKeyIntoW(k, key, tree) : status;
}

bool RegKeyExistsW(RegRoot root, const std::wstring& key) {
    RegKey k;
    return k.Open(root, key, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

std::string MappedKeyName(RegRoot root, const char* key) {
    KeyPlace<std::string> place;
    const std::string path = KeyPath(key);
    if (MapKey(root, path, &place) != ERROR_SUCCESS || !place.inImage)
        return std::string(RootName(root)) + "\\" + path;
    return "HKLM\\" + place.path;
}
