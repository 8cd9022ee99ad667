#include "ctl/output/Words.h"

#include "system/Effects.h"
#include "system/KeyMap.h"
#include "system/OfflineImage.h"
#include "system/UserHive.h"

#include <cstdio>

std::string KeyName(RegRoot root, const char* key) {
    return std::string(RootName(root)) + "\\" + KeyPath(key);
}

std::string ShortUserRoot() {
    constexpr std::string_view kUsers = "HKEY_USERS\\";
    const std::string real = CurrentUserKeyText();
    return real.starts_with(kUsers) ? "HKU\\" + real.substr(kUsers.size()) : std::string("HKCU");
}

std::string RealKeyName(RegRoot root, const char* key) {
    return root == HKCU ? ShortUserRoot() + "\\" + KeyPath(key) : MappedKeyName(root, key);
}

namespace {

std::string Quoted(const char* text) {
    return "\"" + std::string(text) + "\"";
}

// In an offline image a phrase's key is named as the mounted key it lands in.
std::string PhraseKey(RegRoot root, const char* key) {
    return OfflineImageOpen() ? RealKeyName(root, key) : KeyName(root, key);
}

const char* ValueName(const char* name) {
    return name && *name ? name : "(default)";
}

// Words of one effect, as a dry run, `show` and the reference give them.
class EffectWording : public EffectVisitor {
public:
    explicit EffectWording(const std::string& systemFolder) : m_systemFolder(systemFolder) {}
    std::string words;

    void SetValue(const Effect& e) override {
        Value("set ", e);
        if (e.type == REG_DWORD) {
            words += " = DWORD ";
            words += std::to_string(e.number);
        } else {
            Text(e.text);
        }
    }
    void DeleteValue(const Effect& e) override { Value("delete ", e); }
    void CreateClassKey(const Effect& e) override {
        Value("create ", e);
        Text(e.text);
    }
    void DeleteClassKey(const Effect& e) override {
        words = "delete key ";
        words += PhraseKey(e.root, e.key);
        words += " with its subkeys";
    }
    void Run(const Effect& e) override {
        const Phrase& p = *e.phrase;
        words = "run ";
        words += p.program;
        words += ' ';
        words += RunParameters(p, m_systemFolder);
        if (p.show == SW_HIDE)
            words += " (hidden)";
    }

private:
    void Value(const char* verb, const Effect& e) {
        words = verb;
        words += PhraseKey(e.root, e.key);
        words += " : ";
        words += ValueName(e.name);
    }
    void Text(const char* text) {
        words += " = SZ \"";
        words += text;
        words += '"';
    }
    const std::string& m_systemFolder;
};

} // namespace

std::string EffectWords(const Effect& effect, const std::string& systemFolder) {
    EffectWording w(systemFolder);
    Visit(effect, w);
    return std::move(w.words);
}

std::string ConditionWords(const Condition& c) {
    const ValueRead read = ReadOf(c);
    const std::span<const RegRoot> roots = read.Roots();
    std::string words = KeyName(roots.front(), c.key) + " : " + ValueName(c.name);
    if (read.type == ValueRead::String)
        words += " is SZ " + Quoted(c.text);
    else
        words += (c.kind == Condition::DwordEquals ? " is DWORD " : " is not DWORD ") +
                 std::to_string(c.number);
    // One root, or HKCU and then HKLM.
    words += " (read from ";
    words += RootName(roots.front());
    words += roots.size() == 1 ? " only" : ", else ";
    words += roots.size() == 1 ? "" : RootName(roots.back());
    if (read.type == ValueRead::String)
        return words + ")";
    return words + "; missing or not a DWORD " +
           (read.missing == NONE ? "never matches)"
                                 : "reads as " + std::to_string(read.missing) + ")");
}

bool NeedsAdmin(const TweakRow& row) {
    for (const Cell* cell : {&row.onCheck, &row.onUncheck})
        for (const Effect& e : EffectsOf(*cell))
            if (e.kind == Effect::Run || e.root == HKLM || e.root == HKCR)
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
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
