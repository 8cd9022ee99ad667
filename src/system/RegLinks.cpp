#include "system/RegLinks.h"

#include <algorithm>

namespace {

// A key opened as itself is a link when its target is set: Windows and Wine
// follow only a REG_LINK SymbolicLinkValue.
bool IsLink(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

} // namespace

LSTATUS OpenKeyWithoutLinks(HKEY root, const std::wstring& path, REGSAM access, bool create,
                            HKEY* key, size_t* linkEnd) {
    *key = nullptr;
    HKEY parent = root;
    for (size_t begin = 0;;) {
        const size_t end = std::min(path.find(L'\\', begin), path.size());
        const bool last = end == path.size();
        const std::wstring name = path.substr(begin, end - begin);
        const REGSAM wanted = KEY_QUERY_VALUE | (last ? access : create ? KEY_CREATE_SUB_KEY : 0);
        // A link made between a look and a create is opened as itself too.
        HKEY next = nullptr;
        const LSTATUS status =
            create ? RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_OPEN_LINK, wanted,
                                     nullptr, &next, nullptr)
                   : RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, wanted, &next);
        if (parent != root)
            RegCloseKey(parent);
        if (status != ERROR_SUCCESS)
            return status;
        if (IsLink(next)) {
            RegCloseKey(next);
            if (linkEnd)
                *linkEnd = end;
            return kLinkOnPath;
        }
        if (last) {
            *key = next;
            return ERROR_SUCCESS;
        }
        parent = next;
        begin = end + 1;
    }
}

std::wstring LinkOnPath(HKEY root, const std::wstring& path) {
    HKEY key;
    size_t end = 0;
    const LSTATUS status = OpenKeyWithoutLinks(root, path, KEY_QUERY_VALUE, false, &key, &end);
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
    return status == kLinkOnPath ? path.substr(0, end) : std::wstring();
}
