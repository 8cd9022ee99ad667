#include "ctl/formats/Coverage.h"

#include <algorithm>

namespace {

Utf16Char AsciiUpper(Utf16Char c) {
    return c >= 'a' && c <= 'z' ? static_cast<Utf16Char>(c - 'a' + 'A') : c;
}

} // namespace

bool SameCoveredName(Utf16View a, Utf16View b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](Utf16Char x, Utf16Char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

Utf16String CoveredFold(Utf16View name) {
    Utf16String folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiUpper);
    return folded;
}

Utf16String Coverage::RootName(RegRoot root) const {
    return root == HKCU ? userRoot : root == HKLM ? machineRoot : classesRoot;
}

const CoveredKey* Coverage::Find(RegRoot root, Utf16View key) const {
    for (const CoveredKey& k : keys)
        if (k.root == root && SameCoveredName(k.key, key))
            return &k;
    return nullptr;
}

const Utf16String* Coverage::TreeOf(Utf16View key) const {
    for (const Utf16String& tree : classTrees)
        if (key.size() >= tree.size() && SameCoveredName(key.substr(0, tree.size()), tree) &&
            (key.size() == tree.size() || key[tree.size()] == '\\'))
            return &tree;
    return nullptr;
}
