#include "system/Actions.h"

#include "system/Registry.h"
#include "system/Shell.h"

#include <cstring>

LSTATUS Perform(const Phrase& p, const std::string& systemFolder) {
    switch (p.kind) {
    case PhraseKind::SetDword:
        return SetUserValue(p.key, p.name, REG_DWORD, &p.number, sizeof(p.number), p.root);
    case PhraseKind::SetString:
        return SetUserValue(p.key, p.name, REG_SZ, p.text, static_cast<DWORD>(strlen(p.text) + 1),
                            HKCU);
    case PhraseKind::DeleteValue:
        return DeleteRegValue(p.root, p.key, p.name);
    case PhraseKind::CreateClassKey:
        return CreateRegClassKey(p.key, p.text);
    case PhraseKind::DeleteClassKey:
        return DeleteRegClassKey(p.key);
    case PhraseKind::Run: {
        const HINSTANCE h = ShellOpen(p.program, RunParameters(p, systemFolder).c_str(), p.show);
        return reinterpret_cast<INT_PTR>(h) > 32 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    }
    return ERROR_INVALID_FUNCTION;
}

void Perform(const Cell& cell, const std::string& systemFolder) {
    for (const Phrase& phrase : cell)
        Perform(phrase, systemFolder);
}

std::string RunParameters(const Phrase& p, const std::string& systemFolder) {
    std::string parameters = p.text;
    if (p.systemFile)
        parameters += systemFolder + p.systemFile;
    return parameters;
}

bool Holds(const Condition& c) {
    switch (c.kind) {
    case Condition::DwordEquals:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search) == c.number;
    case Condition::DwordDiffers:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search) != c.number;
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
