#include "ctl/Words.h"

#include <cstdio>

std::string KeyName(RegRoot root, const char* key) {
    return std::string(RootName(root)) + "\\" + KeyPath(key);
}

namespace {

std::string Quoted(const char* text) {
    return "\"" + std::string(text) + "\"";
}

std::string ValueName(const char* name) {
    return name && *name ? name : "(default)";
}

} // namespace

std::string PhraseWords(const Phrase& p, const std::string& systemFolder) {
    switch (p.kind) {
    case PhraseKind::SetDword:
        return "set " + KeyName(p.root, p.key) + " : " + ValueName(p.name) + " = DWORD " +
               std::to_string(p.number);
    case PhraseKind::SetString:
        return "set " + KeyName(HKCU, p.key) + " : " + ValueName(p.name) + " = SZ " +
               Quoted(p.text);
    case PhraseKind::DeleteValue:
        return "delete " + KeyName(p.root, p.key) + " : " + ValueName(p.name);
    case PhraseKind::CreateClassKey:
        return "create " + KeyName(HKCR, p.key) + " : (default) = SZ " + Quoted(p.text);
    case PhraseKind::DeleteClassKey:
        return "delete key " + KeyName(HKCR, p.key) + " with its subkeys";
    case PhraseKind::Run:
        return std::string("run ") + p.program + " " + RunParameters(p, systemFolder) +
               (p.show == SW_HIDE ? " (hidden)" : "");
    }
    return "?";
}

std::string ConditionWords(const Condition& c) {
    const bool hklmOnly = c.kind != Condition::StringEquals && c.search == HklmOnly;
    std::string words = KeyName(hklmOnly ? HKLM : HKCU, c.key) + " : " + ValueName(c.name);
    switch (c.kind) {
    case Condition::DwordEquals:
    case Condition::DwordDiffers:
        words += (c.kind == Condition::DwordEquals ? " is DWORD " : " is not DWORD ") +
                 std::to_string(c.number);
        words += hklmOnly ? " (read from HKLM only" : " (read from HKCU, else HKLM";
        words += c.defaultValue == NONE
                     ? "; missing or not a DWORD never matches)"
                     : "; missing or not a DWORD reads as " + std::to_string(c.defaultValue) + ")";
        break;
    case Condition::StringEquals:
        words += " is SZ " + Quoted(c.text) + " (read from HKCU, else HKLM)";
        break;
    }
    return words;
}

bool NeedsAdmin(const TweakRow& row) {
    for (const Cell* cell : {&row.onCheck, &row.onUncheck})
        for (const Phrase& p : *cell)
            if (p.kind == PhraseKind::Run || p.root == HKLM || p.root == HKCR)
                return true;
    return false;
}

const char* PageOf(const TweakRow& row) {
    for (const TweakTable& table : TweakTables())
        if (&row >= table.rows.data() && &row < table.rows.data() + table.rows.size())
            return table.tab;
    return "";
}

std::string ErrorText(DWORD code) {
    char buffer[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    while (length &&
           (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' || buffer[length - 1] == ' '))
        --length;
    std::string text(buffer, length);
    if (text.empty())
        text = "error";
    return text + " (" + std::to_string(code) + ")";
}
