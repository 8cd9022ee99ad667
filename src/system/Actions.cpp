#include "system/Actions.h"

#include "system/OnDemand.h"
#include "system/Registry.h"
#include "system/Shell.h"

#include <shlwapi.h>

#include <cstring>

namespace {

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

const char* KeyOrStore(const char* key) {
    return key ? key : kStoreKey;
}

DWORD TextSize(const char* text) {
    return static_cast<DWORD>(strlen(text) + 1);
}

} // namespace

void Perform(const Phrase& p, const std::string& systemFolder) {
    switch (p.kind) {
    case PhraseKind::SetDword:
        SetUserValue(KeyOrStore(p.key), p.name, REG_DWORD, &p.number, sizeof(p.number),
                     p.root == HKLM ? UserValueRoot::LocalMachine : UserValueRoot::CurrentUser);
        break;
    case PhraseKind::SetString:
        WriteRegString(p.key, p.name, p.text);
        break;
    case PhraseKind::DeleteValue: {
        HKEY hKey;
        if (RegOpenKeyExA(RootKey(p.root), KeyOrStore(p.key), 0, KEY_ALL_ACCESS, &hKey) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(hKey, p.name);
            RegCloseKey(hKey);
        }
        break;
    }
    case PhraseKind::CreateClassKey: {
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, p.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &hKey, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(hKey, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(p.text),
                           TextSize(p.text));
            RegCloseKey(hKey);
        }
        break;
    }
    case PhraseKind::DeleteClassKey: {
        static const auto deleteKey =
            OnDemand<decltype(&SHDeleteKeyA)>("shlwapi.dll", "SHDeleteKeyA");
        if (deleteKey)
            deleteKey(HKEY_CLASSES_ROOT, p.key);
        break;
    }
    case PhraseKind::Run:
        if (p.systemFile) {
            const std::string parameters = p.text + systemFolder + p.systemFile;
            ShellOpen(p.key, parameters.c_str(), p.show);
        } else {
            ShellOpen(p.key, p.text, p.show);
        }
        break;
    }
}

void Perform(const Cell& cell, const std::string& systemFolder) {
    for (const Phrase& phrase : cell)
        Perform(phrase, systemFolder);
}

bool Holds(const Condition& c) {
    switch (c.kind) {
    case Condition::DwordEquals:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search == HklmOnly) == c.number;
    case Condition::DwordDiffers:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search == HklmOnly) != c.number;
    case Condition::StringEquals:
        return ReadRegString(c.name, c.key) == c.text;
    }
    return false;
}

bool Holds(const Conditions& conditions) {
    for (const Condition& c : conditions)
        if (!Holds(c))
            return false;
    return true;
}

bool NeedsSystemFolder(const Cell& cell) {
    for (const Phrase& phrase : cell)
        if (phrase.systemFile)
            return true;
    return false;
}
