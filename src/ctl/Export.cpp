#include "ctl/Export.h"

#include "ctl/Files.h"
#include "ctl/Preset.h"
#include "ctl/Text.h"
#include "ctl/Words.h"
#include "tweaks/Tweaks.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services\\";

// One thing that apply of a preset line makes, in the order apply makes it.
struct Step {
    enum Kind { SetValue, DeleteValue, SetDefault, DeleteKey, Service, Command } kind = SetValue;
    const PresetLine* line = nullptr;
    RegRoot root = HKCU;
    std::string key, name;
    DWORD type = REG_NONE; // SetValue
    DWORD number = 0;      // SetValue REG_DWORD; Service: its start type
    std::string text;      // SetValue REG_SZ, SetDefault
    std::string service;   // Service
    bool start = false;    // Service: started, else stopped
    const Phrase* run = nullptr;
    std::string words; // morvanectl's own words for it
};

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    return _strnicmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

// A service's start type written just before net.exe starts or stops that
// service: the two are one service setting.
bool ServicePair(const Phrase& write, const Phrase* next, Step* step) {
    if (write.kind != PhraseKind::SetDword || write.root != HKLM || !write.key ||
        !StartsWithNoCase(write.key, kServicesKey) || _stricmp(write.name, "Start") != 0 || !next ||
        next->kind != PhraseKind::Run || _stricmp(next->program, "net.exe") != 0)
        return false;
    const std::string service = write.key + strlen(kServicesKey);
    const std::string parameters = next->text;
    for (const bool start : {true, false})
        if (parameters == std::string(start ? "START" : "STOP") + " \"" + service + "\"") {
            step->kind = Step::Service;
            step->root = HKLM;
            step->key = write.key;
            step->service = service;
            step->number = write.number;
            step->start = start;
            return true;
        }
    return false;
}

std::vector<Step> Steps(const std::vector<PresetLine>& lines) {
    std::vector<Step> steps;
    for (const PresetLine& line : lines) {
        const Cell& cell = line.on ? line.row->onCheck : line.row->onUncheck;
        for (auto p = cell.begin(); p != cell.end(); ++p) {
            const Phrase* next = p + 1 != cell.end() ? p + 1 : nullptr;
            Step s;
            s.line = &line;
            s.words = PhraseWords(*p, kSystemFolderWords);
            if (ServicePair(*p, next, &s)) {
                s.words += ", then " + PhraseWords(*next, kSystemFolderWords);
                steps.push_back(s);
                ++p;
                continue;
            }
            s.root = p->root;
            s.key = p->key ? p->key : kStoreKey;
            s.name = p->name ? p->name : "";
            switch (p->kind) {
            case PhraseKind::SetDword:
                s.type = REG_DWORD;
                s.number = p->number;
                break;
            case PhraseKind::SetString:
                s.type = REG_SZ;
                s.text = p->text;
                break;
            case PhraseKind::DeleteValue:
                s.kind = Step::DeleteValue;
                break;
            case PhraseKind::CreateClassKey:
                s.kind = Step::SetDefault;
                s.text = p->text;
                break;
            case PhraseKind::DeleteClassKey:
                s.kind = Step::DeleteKey;
                break;
            case PhraseKind::Run:
                s.kind = Step::Command;
                s.run = &*p;
                break;
            }
            steps.push_back(s);
        }
    }
    return steps;
}

std::string Title(const Step& s) {
    return std::string(s.line->row->name) + (s.line->on ? " on" : " off");
}

std::string Hex8(DWORD n) {
    char digits[16];
    snprintf(digits, sizeof(digits), "%08lX", static_cast<unsigned long>(n));
    return digits;
}

// The parameters as separate arguments; the system file's path is one.
std::vector<std::string> Arguments(const Phrase& run, const std::string& systemFolder) {
    std::vector<std::string> args;
    std::string word;
    for (const char* c = run.text; *c; ++c) {
        if (*c != ' ') {
            word += *c;
        } else if (!word.empty()) {
            args.push_back(word);
            word.clear();
        }
    }
    if (run.systemFile)
        word += systemFolder + run.systemFile;
    if (!word.empty())
        args.push_back(word);
    return args;
}

// --- Ansible ---

std::string Yaml(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Text from outside the program, marked so that Ansible never reads it as a
// template: a path holding "{{ ... }}" stays that path.
std::string YamlData(const std::string& text) {
    return "!unsafe " + Yaml(text);
}

const char* StartMode(DWORD start) {
    switch (start) {
    case 2:
        return "auto";
    case 3:
        return "manual";
    case 4:
        return "disabled";
    }
    return nullptr;
}

// A task's name: what it does in short, its arguments saying where.
std::string ShortWords(const Step& s) {
    const std::string leaf = s.key.substr(s.key.rfind('\\') + 1);
    switch (s.kind) {
    case Step::SetValue:
        return "set " + s.name;
    case Step::DeleteValue:
        return "delete " + s.name;
    case Step::SetDefault:
        return "set the default of " + leaf;
    case Step::DeleteKey:
        return "delete the key " + leaf;
    case Step::Service:
        return (s.start ? "start " : "stop ") + s.service;
    case Step::Command:
        return std::string("run ") + s.run->program;
    }
    return {};
}

constexpr char kSystemFolderVar[] = "{{ morvane_system_folder }}";

std::string Playbook(const std::string& presetPath, const std::vector<Step>& steps,
                     const ExportTarget& target, std::string* err) {
    bool systemFolder = false;
    for (const Step& s : steps)
        systemFolder = systemFolder || (s.kind == Step::Command && s.run->systemFile);
    std::string y = "---\n";
    y += "# morvanectl export ansible " + presetPath + "\n";
    y += "# What \"morvanectl apply\" of the preset makes, step by step.\n";
    if (target.kind == ExportTarget::ConnectingUser)
        y += "# Per-user values go to the connecting user (HKCU).\n";
    else if (target.kind == ExportTarget::User)
        y += "# Per-user values go to the user " + target.sid + " (HKU).\n";
    else
        y += "# Per-user values go to the profile file " + target.file + ".\n";
    y += "- name: Apply the Morvane preset\n  hosts: all\n";
    y += systemFolder ? "  gather_facts: true\n  vars:\n    morvane_system_folder: "
                        "\"{{ ansible_facts['env']['SystemRoot'] }}\\\\System32\"\n"
                      : "  gather_facts: false\n";
    y += "  tasks:\n";
    for (const Step& s : steps) {
        y += "    - name: " + Yaml("Tweak " + Title(s) + ": " + ShortWords(s)) + "\n";
        if (s.kind == Step::Service) {
            const char* mode = StartMode(s.number);
            y += "      ansible.windows.win_service:\n";
            y += "        name: " + Yaml(s.service) + "\n";
            if (mode)
                y += std::string("        start_mode: ") + mode + "\n";
            else
                *err += "morvanectl: ansible: " + Title(s) + ": start type " +
                        std::to_string(s.number) + " has no start_mode; only the state is set\n";
            y += std::string("        state: ") + (s.start ? "started" : "stopped") + "\n";
            continue;
        }
        if (s.kind == Step::Command) {
            y += "      ansible.windows.win_command:\n        argv:\n";
            const std::string program = systemFolder
                                            ? std::string(kSystemFolderVar) + "\\" + s.run->program
                                            : std::string(s.run->program);
            y += "          - " + Yaml(program) + "\n";
            for (const std::string& a : Arguments(*s.run, kSystemFolderVar))
                y += "          - " + Yaml(a) + "\n";
            y += "      changed_when: true\n";
            continue;
        }
        std::string path;
        bool hive = false;
        if (s.root == HKLM)
            path = "HKLM:\\" + s.key;
        else if (s.root == HKCR)
            path = "HKCR:\\" + s.key;
        else if (target.kind == ExportTarget::User)
            path = "HKU:\\" + target.sid + "\\" + s.key;
        else if (target.kind == ExportTarget::HiveFile) {
            path = "HKLM:\\ANSIBLE\\" + s.key;
            hive = true;
        } else
            path = "HKCU:\\" + s.key;
        y += "      ansible.windows.win_regedit:\n";
        y += "        path: " + Yaml(path) + "\n";
        if (hive)
            y += "        hive: " + YamlData(target.file) + "\n";
        switch (s.kind) {
        case Step::SetValue:
            y += "        name: " + Yaml(s.name) + "\n";
            if (s.type == REG_DWORD)
                y += "        data: " + std::to_string(s.number) + "\n        type: dword\n";
            else
                y += "        data: " + Yaml(s.text) + "\n        type: string\n";
            break;
        case Step::SetDefault:
            y += "        data: " + Yaml(s.text) + "\n        type: string\n";
            break;
        case Step::DeleteValue:
            y += "        name: " + Yaml(s.name) + "\n        state: absent\n";
            break;
        case Step::DeleteKey:
            y += "        state: absent\n        delete_key: true\n";
            break;
        case Step::Service:
        case Step::Command:
            break;
        }
    }
    return y;
}

// --- Group Policy Preferences ---

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
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
// a new export keeps its items.
std::string Uid(const std::string& seed) {
    unsigned long long a = 14695981039346656037ull, b = 1099511628211ull * 31;
    for (unsigned char c : seed) {
        a = (a ^ c) * 1099511628211ull;
        b = (b ^ c) * 6364136223846793005ull + 1442695040888963407ull;
    }
    char text[48];
    snprintf(text, sizeof(text), "{%08lX-%04X-4%03X-%04X-%012llX}",
             static_cast<unsigned long>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
             static_cast<unsigned>(a & 0xFFF), static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
             b & 0xFFFFFFFFFFFFull);
    return text;
}

constexpr char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

struct GppFiles {
    std::string machineRegistry, userRegistry, services, machineNotes;
};

std::string RegistryItem(const Step& s, const char* hive, const std::string& key,
                         const std::string& changed) {
    const bool isDelete = s.kind == Step::DeleteValue || s.kind == Step::DeleteKey;
    const bool isDefault = s.kind == Step::SetDefault;
    std::string leaf = s.name;
    if (s.kind == Step::DeleteKey || isDefault)
        leaf = key.substr(key.rfind('\\') + 1);
    std::string item = "\t<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"" +
                       Xml(leaf) + "\" status=\"" + Xml(leaf) + "\" image=\"" +
                       (isDelete ? "3" : "2") + "\" changed=\"" + changed + "\" uid=\"" +
                       Uid(std::string(hive) + key + "|" + s.name + "|" + s.words) + "\" desc=\"" +
                       Xml(Title(s) + ": " + s.words) + "\">";
    item += std::string("<Properties action=\"") + (isDelete ? "D" : "U") +
            "\" displayDecimal=\"1\" default=\"" + (isDefault ? "1" : "0") + "\" hive=\"" + hive +
            "\" key=\"" + Xml(key) + "\" name=\"" +
            Xml(s.kind == Step::DeleteKey || isDefault ? std::string() : s.name) + "\"";
    if (s.kind == Step::SetValue && s.type == REG_DWORD)
        item += " type=\"REG_DWORD\" value=\"" + Hex8(s.number) + "\"";
    else if (s.kind == Step::SetValue || isDefault)
        item += " type=\"REG_SZ\" value=\"" + Xml(s.text) + "\"";
    return item + "/></Registry>\r\n";
}

const char* StartupType(DWORD start) {
    switch (start) {
    case 2:
        return "AUTOMATIC";
    case 3:
        return "MANUAL";
    case 4:
        return "DISABLED";
    }
    return "NOCHANGE";
}

GppFiles Gpp(const std::vector<Step>& steps, const ExportTarget& target, std::string* err) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char changed[32];
    snprintf(changed, sizeof(changed), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond);
    GppFiles f;
    auto cannot = [&](const std::string& what) {
        f.machineNotes +=
            Comment("morvanectl: not expressible in Group Policy Preferences: " + what);
        *err += "morvanectl: gpp cannot express " + what + "\n";
    };
    if (target.kind == ExportTarget::HiveFile)
        cannot("a profile file (" + target.file +
               "): the per-user values are in User\\Preferences\\Registry\\Registry.xml and reach "
               "each user who signs in");
    for (const Step& s : steps) {
        if (s.kind == Step::Service) {
            f.services += "\t<NTService clsid=\"{AB6F0B67-341F-4e51-92F9-005FBFBA1A43}\" name=\"" +
                          Xml(s.service) + "\" image=\"2\" changed=\"" + changed + "\" uid=\"" +
                          Uid("service|" + s.service + "|" + s.words) + "\" desc=\"" +
                          Xml(Title(s) + ": " + s.words) + "\"><Properties startupType=\"" +
                          StartupType(s.number) + "\" serviceName=\"" + Xml(s.service) +
                          "\" serviceAction=\"" + (s.start ? "START" : "STOP") +
                          "\" timeout=\"30\"/></NTService>\r\n";
            if (s.number < 2 || s.number > 4)
                cannot(Title(s) + ": start type " + std::to_string(s.number));
            continue;
        }
        if (s.kind == Step::Command) {
            cannot(Title(s) + ": " + s.words + " (a program run, such as a DLL registration)");
            continue;
        }
        if (s.root == HKLM)
            f.machineRegistry += RegistryItem(s, "HKEY_LOCAL_MACHINE", s.key, changed);
        else if (s.root == HKCR)
            f.machineRegistry += RegistryItem(s, "HKEY_CLASSES_ROOT", s.key, changed);
        else if (target.kind == ExportTarget::User)
            f.machineRegistry += RegistryItem(s, "HKEY_USERS", target.sid + "\\" + s.key, changed);
        else
            f.userRegistry += RegistryItem(s, "HKEY_CURRENT_USER", s.key, changed);
    }
    return f;
}

std::string RegistryFile(const std::string& notes, const std::string& items) {
    return kXmlHead +
           std::string("<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n") +
           notes + items + "</RegistrySettings>\r\n";
}

// Writes the three files below `folder`, making the folders that are
// missing; on any failure removes what it made.
DWORD WriteGpp(const std::string& folder, const GppFiles& f, std::string* failed) {
    const std::string files[][2] = {
        {"Machine\\Preferences\\Registry\\Registry.xml",
         RegistryFile(f.machineNotes, f.machineRegistry)},
        {"Machine\\Preferences\\Services\\Services.xml",
         kXmlHead +
             std::string("<NTServices clsid=\"{2CFB484A-4E96-4b5d-A0B6-093D2F91E6AE}\">\r\n") +
             f.services + "</NTServices>\r\n"},
        {"User\\Preferences\\Registry\\Registry.xml", RegistryFile("", f.userRegistry)},
    };
    std::vector<std::string> madeFolders, madeFiles;
    DWORD status = ERROR_SUCCESS;
    for (const auto& [relative, text] : files) {
        std::string path = folder;
        if (CreateDirectoryA(path.c_str(), nullptr))
            madeFolders.push_back(path);
        for (size_t at = 0; status == ERROR_SUCCESS;) {
            const size_t slash = relative.find('\\', at);
            if (slash == std::string::npos)
                break;
            path = folder + "\\" + relative.substr(0, slash);
            if (CreateDirectoryA(path.c_str(), nullptr))
                madeFolders.push_back(path);
            else if (GetLastError() != ERROR_ALREADY_EXISTS)
                status = GetLastError();
            at = slash + 1;
        }
        const std::string file = folder + "\\" + relative;
        if (status == ERROR_SUCCESS) {
            const bool existed = GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
            status = SaveFile(file, text);
            if (status == ERROR_SUCCESS && !existed)
                madeFiles.push_back(file);
        }
        if (status != ERROR_SUCCESS) {
            *failed = file;
            break;
        }
    }
    if (status != ERROR_SUCCESS) {
        for (const std::string& file : madeFiles)
            DeleteFileA(file.c_str());
        for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }
    return status;
}

// The first character that no export can hold as it is: a line break of
// YAML or a character that XML does not allow would change the file's
// meaning or break it.
std::string Unwritable(const std::string& text) {
    if (std::wstring wide; !WideFromUtf8(text, &wide))
        return "a byte that is not UTF-8";
    for (size_t at = 0; at < text.size();) {
        char32_t c;
        at += NextCodePoint(text, at, &c);
        if (IsControl(c) || c == 0xFEFF || c == 0xFFFE || c == 0xFFFF) {
            char name[16];
            snprintf(name, sizeof(name), "U+%04X", static_cast<unsigned>(c));
            return name;
        }
    }
    return {};
}

} // namespace

std::string ExportTextProblem(const std::vector<std::string>& words, const ExportTarget& target) {
    const bool ansible = words[0] == "ansible";
    const std::pair<const char*, std::string> written[] = {
        {"the preset's path", ansible ? words[1] : std::string()},
        {"the profile file's path", target.file},
        {"the SID", target.sid},
    };
    for (const auto& [what, text] : written)
        if (const std::string c = Unwritable(text); !c.empty())
            return std::string(what) + " \"" + text + "\" holds " + c +
                   ", which cannot be written safely into " +
                   (ansible ? "a playbook" : "Group Policy files") + "; nothing was exported";
    return {};
}

std::string ExportProblem(const std::vector<std::string>& words) {
    const std::string& format = words[0];
    if (format != "gpp" && format != "ansible")
        return "unknown export format \"" + format + "\": ansible or gpp";
    if (format == "gpp" && words.size() != 3)
        return "export gpp needs the folder to write the Group Policy files in";
    return {};
}

int ExportCommand(const std::vector<std::string>& words, const std::vector<PresetLine>& lines,
                  const ExportTarget& target, std::string* out, std::string* err) {
    const bool gpp = words[0] == "gpp";
    const std::string& presetPath = words[1];
    const std::vector<Step> steps = Steps(lines);
    std::string notes;
    if (!gpp) {
        const std::string playbook = Playbook(presetPath, steps, target, &notes);
        if (words.size() == 2) {
            *out += playbook;
            *err += notes;
            return 0;
        }
        if (const DWORD status = SaveFile(words[2], playbook); status != ERROR_SUCCESS) {
            *err += "morvanectl: cannot write " + words[2] + ": " + ErrorText(status) +
                    "; nothing was exported\n";
            return 2;
        }
        *err += notes;
        *out += "Playbook written to " + words[2] + "\n";
        return 0;
    }
    const GppFiles files = Gpp(steps, target, &notes);
    std::string failed;
    if (const DWORD status = WriteGpp(words[2], files, &failed); status != ERROR_SUCCESS) {
        *err += "morvanectl: cannot write " + failed + ": " + ErrorText(status) +
                "; nothing was exported\n";
        return 2;
    }
    *err += notes;
    *out += "Group Policy preferences written below " + words[2] + "\n";
    return 0;
}
