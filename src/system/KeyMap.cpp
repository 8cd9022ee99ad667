#include "system/KeyMap.h"

#include "system/Redirection.h"

#include <cstdio>
#include <cstring>

namespace {

template <class Char> Char Lower(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <class Text> Text Of(const std::string& ascii) {
    return Text(ascii.begin(), ascii.end());
}

// Whether path is the key `prefix` or a key below it; *rest is what follows
// the prefix, empty or from its backslash on.
template <class Text> bool Below(const Text& path, const char* prefix, Text* rest) {
    const size_t length = strlen(prefix);
    if (path.size() < length || (path.size() > length && path[length] != '\\'))
        return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(path[i]) != Lower(static_cast<typename Text::value_type>(prefix[i])))
            return false;
    *rest = path.substr(length);
    return true;
}

// Where a machine-wide key is in the image; false when it fits no rule.
template <class Text>
bool InImage(const ImageKeys& image, RegRoot root, const Text& path, Text* at) {
    Text rest;
    if (root == HKCR) {
        *at = Of<Text>(image.software + "\\Classes") +
              (path.empty() ? Text() : Of<Text>("\\") + path);
    } else if (Below(path, "SOFTWARE", &rest)) {
        *at = Of<Text>(image.software) + rest;
    } else if (Below(path, "SYSTEM\\CurrentControlSet", &rest)) {
        char set[16];
        snprintf(set, sizeof(set), "\\ControlSet%03u", image.controlSet);
        *at = Of<Text>(image.system + set) + rest;
    } else {
        return false;
    }
    return true;
}

template <class Text> LSTATUS Map(RegRoot root, const Text& path, KeyPlace<Text>* place) {
    static const HKEY kRootKeys[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    const ImageKeys* image = Redirection::Process().Image();
    place->inImage = image && root != HKCU;
    if (!place->inImage) {
        place->root = kRootKeys[root];
        place->path = path;
        return ERROR_SUCCESS;
    }
    place->root = HKEY_LOCAL_MACHINE;
    return InImage(*image, root, path, &place->path) ? ERROR_SUCCESS : kOutsideImage;
}

} // namespace

LSTATUS MapKey(RegRoot root, const std::string& path, KeyPlace<std::string>* place) {
    return Map(root, path, place);
}

LSTATUS MapKey(RegRoot root, const std::wstring& path, KeyPlace<std::wstring>* place) {
    return Map(root, path, place);
}
