#include "ctl/Words.h"

#include "ctl/Text.h"
#include "system/UserHive.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

std::string KeyName(RegRoot root, const char* key) {
    return std::string(RootName(root)) + "\\" + KeyPath(key);
}

std::string ShortUserRoot() {
    constexpr std::string_view kUsers = "HKEY_USERS\\";
    const std::string real = CurrentUserKeyText();
    return real.starts_with(kUsers) ? "HKU\\" + real.substr(kUsers.size()) : std::string("HKCU");
}

std::string RealKeyName(RegRoot root, const char* key) {
    return root == HKCU ? ShortUserRoot() + "\\" + KeyPath(key) : KeyName(root, key);
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

const char* Rights(const TweakRow& row) {
    return NeedsAdmin(row) ? "administrator" : "user";
}

const char* PageOf(const TweakRow& row) {
    for (const TweakTable& table : TweakTables())
        if (&row >= table.rows.data() && &row < table.rows.data() + table.rows.size())
            return table.tab;
    return "";
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

size_t Distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) != Lower(b[j - 1]))});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool Contains(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char x, char y) { return Lower(x) == Lower(y); }) != text.end();
}

// The known name a mistyped one was meant to be: one within a few edits of
// it, or the only one that holds it whole; empty when none is that close.
std::string NearestName(std::string_view name) {
    const size_t nearEnough = std::max<size_t>(2, name.size() / 4);
    constexpr size_t kShortestPart = 4;
    std::string best, holder;
    size_t bestDistance = SIZE_MAX, holders = 0;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            std::string_view candidate = row.name;
            // Never nearer than the difference in length: a long name is not
            // compared letter by letter.
            auto distance = [&](std::string_view other) {
                const size_t least = name.size() > other.size() ? name.size() - other.size()
                                                                : other.size() - name.size();
                return least > nearEnough ? least : Distance(name, other);
            };
            size_t d = distance(candidate);
            // A name given without its page is near its row too.
            if (name.find('/') == std::string_view::npos)
                d = std::min(d, distance(candidate.substr(candidate.find('/') + 1)));
            if (d < bestDistance) {
                bestDistance = d;
                best = row.name;
            }
            if (name.size() >= kShortestPart && Contains(candidate, name)) {
                ++holders;
                holder = row.name;
            }
        }
    if (bestDistance <= nearEnough)
        return best;
    return holders == 1 ? holder : std::string();
}

} // namespace

const TweakRow* ReadTweakName(std::string_view name, std::string* problem) {
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            if (SameWord(name, row.name))
                return &row;
    if (!problem)
        return nullptr;
    const std::string nearest = NearestName(name);
    *problem =
        "unknown tweak \"" + Shortened(name) + "\"" +
        (nearest.empty() ? "; morvanectl list names them all" : "; did you mean " + nearest + "?");
    return nullptr;
}
