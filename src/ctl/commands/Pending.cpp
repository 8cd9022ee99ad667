#include "ctl/commands/Pending.h"

#include "ctl/formats/Backup.h"
#include "ctl/output/Text.h"
#include "system/ErrorText.h"
#include "system/KeyMap.h"

#include <cstring>
#include <tuple>

namespace {

std::string DataWords(const RegData& data) {
    if (data.type == REG_DWORD && data.bytes.size() == 4) {
        DWORD n;
        memcpy(&n, data.bytes.data(), 4);
        return "DWORD " + std::to_string(n);
    }
    if (data.type == REG_SZ && data.bytes.size() >= 2 && data.bytes.size() % 2 == 0) {
        std::wstring text(data.bytes.size() / 2, L'\0');
        memcpy(text.data(), data.bytes.data(), data.bytes.size());
        if (text.back() == L'\0' && text.find(L'\0') == text.size() - 1) {
            text.pop_back();
            return "SZ \"" + Shortened(Utf8(text), 60) + "\"";
        }
    }
    return "type " + std::to_string(data.type) + ", " + std::to_string(data.bytes.size()) +
           " bytes";
}

// The key as messages name it: in an offline image a machine-wide key is
// the mounted key it lands in.
std::pair<RegRoot, Utf16String> Named(RegRoot root, const Utf16String& key) {
    KeyPlace<std::wstring> place;
    if (root != HKCU && MapKey(root, key, &place) == ERROR_SUCCESS && place.inImage)
        return {HKLM, place.path};
    return {root, key};
}

// What importing a value's line would change: nothing, or one line.
std::string ValueChange(const RegFileEntry& e, bool keyGone) {
    bool found = false;
    RegData now;
    const LSTATUS status =
        keyGone ? ERROR_SUCCESS : ReadRegValueW(e.root, e.key, e.name, &found, &now);
    const auto [root, key] = Named(e.root, e.key);
    const std::string where = ValueWhere(root, key, e.name);
    const bool deletes = e.kind == RegFileEntry::DeleteValue;
    const std::string change =
        deletes ? "delete " + where : "set " + where + " = " + DataWords(e.data);
    if (status != ERROR_SUCCESS)
        return change + " (now unreadable: " + ErrorText(status) + ")";
    if (deletes)
        return found ? change + " (now " + DataWords(now) + ")" : "";
    if (!found)
        return change + " (now missing)";
    return now == e.data ? "" : change + " (now " + DataWords(now) + ")";
}

} // namespace

std::vector<std::string> PendingChanges(const std::vector<RegFileEntry>& entries) {
    std::vector<std::string> changes;
    std::vector<std::wstring> deleted;
    auto gone = [&deleted](const std::wstring& key) {
        for (const std::wstring& d : deleted)
            if (key.size() >= d.size() && SameKeyName(key.substr(0, d.size()), d) &&
                (key.size() == d.size() || key[d.size()] == L'\\'))
                return true;
        return false;
    };
    for (const RegFileEntry& e : entries) {
        switch (e.kind) {
        case RegFileEntry::DeleteKey:
            if (!gone(e.key) && RegKeyExistsW(e.root, e.key))
                changes.push_back("delete key " + std::apply(KeyWhere, Named(e.root, e.key)) +
                                  " with its subkeys");
            deleted.push_back(e.key);
            break;
        case RegFileEntry::Key:
            // Only a verb's key tells by being there; for every other key
            // the tweaks read values, and an empty key reads as a missing one.
            if (e.root == HKCR && (gone(e.key) || !RegKeyExistsW(e.root, e.key)))
                changes.push_back("create key " + std::apply(KeyWhere, Named(e.root, e.key)));
            break;
        case RegFileEntry::SetValue:
        case RegFileEntry::DeleteValue:
            if (std::string change = ValueChange(e, gone(e.key)); !change.empty())
                changes.push_back(std::move(change));
            break;
        }
    }
    return changes;
}
