#include "e2e/Tweaks.h"

namespace e2e {
namespace {

// "ROOT\key\:name" split into its root, key and value name.
struct Parts {
    HKEY root;
    std::string key, name;
};

Parts Split(const std::string& path) {
    const size_t keyEnd = KeyEnd(path);
    return {RootOf(path), path.substr(5, keyEnd - 6),
            keyEnd < path.size() ? path.substr(keyEnd + 1) : std::string()};
}

// The values the boxes read or write, each under HKCU and HKLM (under HKCR
// alone for the verb), and the verb's key.
std::set<std::string> Named() {
    std::set<std::string> named;
    for (const Box& box : expect::Boxes()) {
        for (const Changes* cell : {&box.onCheck, &box.onUncheck})
            for (const auto& change : *cell)
                named.insert(change.first);
        for (const auto& entry : box.checkedBy)
            named.insert(entry.first);
    }
    std::set<std::string> both = named;
    for (const std::string& path : named)
        if (!path.starts_with("HKCR\\"))
            both.insert(UnderOtherRoot(path));
    return both;
}

void DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY hKey;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, name.c_str());
        RegCloseKey(hKey);
    }
}

} // namespace

void PrepareRegistry(const Snapshot& values) {
    for (const std::string& path : Named()) {
        const Parts p = Split(path);
        if (p.root == HKEY_CLASSES_ROOT)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, "*\\shell\\edit");
        else
            DeleteValue(p.root, p.key, p.name);
    }
    for (const auto& [path, value] : values)
        Put(path, value);
}

Snapshot NamedValues() {
    Snapshot values;
    for (const std::string& path : Named()) {
        if (path.back() == '\\')
            continue;
        const Parts p = Split(path);
        if (const auto value = GetValue(p.root, p.key.c_str(), p.name.c_str()))
            values[path] = *value;
    }
    return values;
}

const Snapshot& PreparedValues() {
    using namespace expect;
    static const Snapshot prepared = [] {
        Snapshot values;
        const auto own = [&](int page, int id) {
            values.merge(Snapshot(BoxAt(page, id).checkedBy));
        };
        const auto machineWide = [&](int page, int id) {
            for (const auto& [path, value] : BoxAt(page, id).checkedBy)
                values[UnderOtherRoot(path)] = value;
        };
        // General: two checked through values, the Script Host, the web
        // service, net crawling and media sensing through missing ones.
        own(General, 1016);
        own(General, 1006);
        // Read per user first: this one outlives every uncheck, which writes
        // the machine-wide value.
        own(General, 1015);
        // Services: one automatic, the others one off it, on demand.
        for (const Box& box : BoxesOf(Services))
            for (const auto& [path, value] : box.checkedBy)
                values[path] = box.id == 1007 ? value : NearMiss(value);
        // Internet Explorer: a machine-wide value that an uncheck hides behind
        // a per-user one, and three of a kind.
        machineWide(IExplorer, 1003);
        own(IExplorer, 1019);
        own(IExplorer, 1013);
        // Media Player: a machine-wide value that no per-user delete removes,
        // and the machine-wide policy.
        machineWide(MediaPlayer, 1003);
        own(MediaPlayer, 1011);
        // Usability: the store, a per-user and a machine-wide value.
        own(Usability, 1006);
        own(Usability, 1019);
        own(Usability, 1012);
        return values;
    }();
    return prepared;
}

std::set<BoxKey> CheckedInAnEmptyRegistry() {
    std::set<BoxKey> checked;
    for (const Box& box : expect::Boxes())
        if (box.checkedWhenEmpty)
            checked.insert({box.page, box.id});
    return checked;
}

} // namespace e2e
