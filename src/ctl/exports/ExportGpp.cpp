// export gpp: the preference files of a Group Policy object, registry items
// for the machine and for the user, and service items; what preferences
// cannot do is named in a comment and on standard error.
#include "ctl/exports/ExportFormats.h"
#include "ctl/exports/GppFile.h"
#include "ctl/output/Words.h"

#include <windows.h>

#include <cstdio>

namespace {

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// An XML comment may not hold "--".
std::string Comment(std::string text) {
    for (size_t at; (at = text.find("--")) != std::string::npos;)
        text.replace(at, 2, "- -");
    return "\t<!-- " + text + " -->\r\n";
}

// The same item gets the same id in every export, so that a GPO updated from
// a new export keeps its items; every id starts with kOwnGppUid, so that the
// update knows its own items from the GPO's others.
std::string Uid(const std::string& seed) {
    unsigned long long a = 14695981039346656037ull, b = 1099511628211ull * 31;
    for (unsigned char c : seed) {
        a = (a ^ c) * 1099511628211ull;
        b = (b ^ c) * 6364136223846793005ull + 1442695040888963407ull;
    }
    char text[48];
    snprintf(text, sizeof(text), "%s%03X-%04X-%012llX}", kOwnGppUid, static_cast<unsigned>(a >> 52),
             static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)), (a ^ b) & 0xFFFFFFFFFFFFull);
    return text;
}

std::string Hex8(DWORD n) {
    char digits[16];
    snprintf(digits, sizeof(digits), "%08lX", static_cast<unsigned long>(n));
    return digits;
}

std::string Now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char changed[32];
    snprintf(changed, sizeof(changed), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond);
    return changed;
}

constexpr char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// Each place's hive as preferences name it, and whether its items go to the
// machine's file. Another user's values go to the machine part under
// HKEY_USERS\<SID>: the user part would reach every user who signs in. A
// profile file has no hive here (the format's row refuses that target).
struct GppHive {
    const char* name;
    bool machine;
};
constexpr GppHive kHiveOf[kHives] = {
    {"HKEY_LOCAL_MACHINE", true},
    {"HKEY_CLASSES_ROOT", true},
    {"HKEY_CURRENT_USER", false},
    {"HKEY_USERS", true},
    {nullptr, false},
};

class Items : public ExportVisitor {
public:
    Items(const ExportTarget& target, std::string* notes) : target_(target), notes_(notes) {}
    std::string machineRegistry, userRegistry, services, machineNotes;

    // A service's start and stop are items; another program run is beyond them.
    bool Makes(const Effect& run) const override { return !run.service.empty(); }
    void Cannot(const std::string& what) override {
        machineNotes += Comment("morvanectl: not expressible in Group Policy Preferences: " + what);
        *notes_ += "morvanectl: gpp cannot express " + what + "\n";
    }

    void SetValue(const Effect& e) override {
        Item(e, false, false, false,
             e.type == REG_DWORD ? " type=\"REG_DWORD\" value=\"" + Hex8(e.number) + "\""
                                 : " type=\"REG_SZ\" value=\"" + Xml(e.text) + "\"");
    }
    void DeleteValue(const Effect& e) override { Item(e, true, false, false, ""); }
    void CreateClassKey(const Effect& e) override {
        Item(e, false, true, true, " type=\"REG_SZ\" value=\"" + Xml(e.text) + "\"");
    }
    void DeleteClassKey(const Effect& e) override { Item(e, true, false, true, ""); }
    void Run(const Effect& e) override {
        Cannot(Title() + ": " + EffectWords(e) + " (a program run, such as a DLL registration)");
    }
    void Service(const Effect& write, const Effect& run) override {
        const std::string words = ServiceWords(write, run);
        const StartType* type = StartTypeOf(write.number);
        services += "\t<NTService clsid=\"{AB6F0B67-341F-4e51-92F9-005FBFBA1A43}\" name=\"" +
                    Xml(run.service) + "\" image=\"2\" changed=\"" + changed_ + "\" uid=\"" +
                    Uid("service|" + run.service + "|" + words) + "\" desc=\"" +
                    Xml(Title() + ": " + words) + "\"><Properties startupType=\"" +
                    (type ? type->gpp : "NOCHANGE") + "\" serviceName=\"" + Xml(run.service) +
                    "\" serviceAction=\"" + (run.start ? "START" : "STOP") +
                    "\" timeout=\"30\"/></NTService>\r\n";
        if (!type)
            Cannot(Title() + ": start type " + std::to_string(write.number));
    }

private:
    const ExportTarget& target_;
    std::string* notes_;
    const std::string changed_ = Now();

    // One registry item, of a value or (ofKey) of a whole key or its default
    // value; `data` is its type and value attributes.
    void Item(const Effect& e, bool isDelete, bool isDefault, bool ofKey, const std::string& data) {
        const Place place = PlaceOf(e, target_);
        const GppHive& hive = kHiveOf[place.hive];
        const std::string words = EffectWords(e);
        const std::string name = ofKey ? std::string() : std::string(e.name);
        const std::string leaf = ofKey ? place.key.substr(place.key.rfind('\\') + 1) : name;
        std::string item = "\t<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"" +
                           Xml(leaf) + "\" status=\"" + Xml(leaf) + "\" image=\"" +
                           (isDelete ? "3" : "2") + "\" changed=\"" + changed_ + "\" uid=\"" +
                           Uid(std::string(hive.name) + place.key + "|" + e.name + "|" + words) +
                           "\" desc=\"" + Xml(Title() + ": " + words) + "\">";
        item += std::string("<Properties action=\"") + (isDelete ? "D" : "U") +
                "\" displayDecimal=\"1\" default=\"" + (isDefault ? "1" : "0") + "\" hive=\"" +
                hive.name + "\" key=\"" + Xml(place.key) + "\" name=\"" + Xml(name) + "\"" + data +
                "/></Registry>\r\n";
        (hive.machine ? machineRegistry : userRegistry) += item;
    }
};

std::string RegistryFile(const std::string& notes, const std::string& items) {
    return kXmlHead +
           std::string("<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n") +
           notes + items + "</RegistrySettings>\r\n";
}

} // namespace

std::vector<ExportFile> GppExport(const ExportInput& input, std::string* notes) {
    Items items(input.target, notes);
    VisitLines(input.lines, items);
    return {
        {"Machine\\Preferences\\Registry\\Registry.xml",
         RegistryFile(items.machineNotes, items.machineRegistry)},
        {"Machine\\Preferences\\Services\\Services.xml",
         kXmlHead +
             std::string("<NTServices clsid=\"{2CFB484A-4E96-4b5d-A0B6-093D2F91E6AE}\">\r\n") +
             items.services + "</NTServices>\r\n"},
        {"User\\Preferences\\Registry\\Registry.xml", RegistryFile("", items.userRegistry)},
    };
}
