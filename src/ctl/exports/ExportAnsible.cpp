// export ansible: a playbook of one play whose tasks make what apply of the
// preset makes, in its order, through win_regedit, win_service and
// win_command.
#include "ctl/exports/ExportFormats.h"

namespace {

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

constexpr char kSystemFolderVar[] = "{{ morvane_system_folder }}";

// win_regedit's path for each place; a profile file's goes to a key of
// the hive that the task loads.
constexpr const char* kRoots[kHives] = {"HKLM:\\", "HKCR:\\", "HKCU:\\", "HKU:\\",
                                        "HKLM:\\ANSIBLE\\"};

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

std::string Leaf(const char* key) {
    const std::string k = key;
    return k.substr(k.rfind('\\') + 1);
}

// Whether a program that the preset runs lives in the system folder: the
// play then gathers the facts that name it.
struct SystemFolderUse : ExportVisitor {
    bool used = false;
    void SetValue(const Effect&) override {}
    void DeleteValue(const Effect&) override {}
    void CreateClassKey(const Effect&) override {}
    void DeleteClassKey(const Effect&) override {}
    void Run(const Effect& e) override { used = used || e.phrase->systemFile; }
    void Service(const Effect&, const Effect&) override {}
};

class Tasks : public ExportVisitor {
public:
    Tasks(const ExportTarget& target, bool systemFolder, std::string* notes)
        : target_(target), systemFolder_(systemFolder), notes_(notes) {}
    std::string text;

    void SetValue(const Effect& e) override {
        Regedit(e, "set " + std::string(e.name));
        text += "        name: " + Yaml(e.name) + "\n";
        if (e.type == REG_DWORD)
            text += "        data: " + std::to_string(e.number) + "\n        type: dword\n";
        else
            text += "        data: " + Yaml(e.text) + "\n        type: string\n";
    }
    void DeleteValue(const Effect& e) override {
        Regedit(e, "delete " + std::string(e.name));
        text += "        name: " + Yaml(e.name) + "\n        state: absent\n";
    }
    void CreateClassKey(const Effect& e) override {
        Regedit(e, "set the default of " + Leaf(e.key));
        text += "        data: " + Yaml(e.text) + "\n        type: string\n";
    }
    void DeleteClassKey(const Effect& e) override {
        Regedit(e, "delete the key " + Leaf(e.key));
        text += "        state: absent\n        delete_key: true\n";
    }
    void Run(const Effect& e) override {
        const Phrase& run = *e.phrase;
        Name(std::string("run ") + run.program);
        text += "      ansible.windows.win_command:\n        argv:\n";
        const std::string program = systemFolder_
                                        ? std::string(kSystemFolderVar) + "\\" + run.program
                                        : std::string(run.program);
        text += "          - " + Yaml(program) + "\n";
        for (const std::string& a : Arguments(run, kSystemFolderVar))
            text += "          - " + Yaml(a) + "\n";
        text += "      changed_when: true\n";
    }
    void Service(const Effect& write, const Effect& run) override {
        Name((run.start ? "start " : "stop ") + run.service);
        text += "      ansible.windows.win_service:\n";
        text += "        name: " + Yaml(run.service) + "\n";
        if (const StartType* type = StartTypeOf(write.number))
            text += std::string("        start_mode: ") + type->ansible + "\n";
        else
            *notes_ += "morvanectl: ansible: " + Title() + ": start type " +
                       std::to_string(write.number) + " has no start_mode; only the state is set\n";
        text += std::string("        state: ") + (run.start ? "started" : "stopped") + "\n";
    }

private:
    const ExportTarget& target_;
    bool systemFolder_;
    std::string* notes_;

    void Name(const std::string& what) {
        text += "    - name: " + Yaml("Tweak " + Title() + ": " + what) + "\n";
    }
    void Regedit(const Effect& e, const std::string& what) {
        Name(what);
        const Place place = PlaceOf(e, target_);
        text += "      ansible.windows.win_regedit:\n";
        text += "        path: " + Yaml(kRoots[place.hive] + place.key) + "\n";
        if (place.hive == Place::ProfileFile)
            text += "        hive: " + YamlData(target_.file) + "\n";
    }
};

std::string Head(const ExportInput& in, bool systemFolder) {
    std::string y = "---\n";
    y += "# morvanectl export ansible " + in.presetPath + "\n";
    y += "# What \"morvanectl apply\" of the preset makes, step by step.\n";
    if (in.target.kind == ExportTarget::ConnectingUser)
        y += "# Per-user values go to the connecting user (HKCU).\n";
    else if (in.target.kind == ExportTarget::User)
        y += "# Per-user values go to the user " + in.target.sid + " (HKU).\n";
    else
        y += "# Per-user values go to the profile file " + in.target.file + ".\n";
    y += "- name: Apply the Morvane preset\n  hosts: all\n";
    y += systemFolder ? "  gather_facts: true\n  vars:\n    morvane_system_folder: "
                        "\"{{ ansible_facts['env']['SystemRoot'] }}\\\\System32\"\n"
                      : "  gather_facts: false\n";
    return y + "  tasks:\n";
}

} // namespace

std::vector<ExportFile> AnsibleExport(const ExportInput& input, std::string* notes) {
    SystemFolderUse use;
    VisitLines(input.lines, use);
    Tasks tasks(input.target, use.used, notes);
    VisitLines(input.lines, tasks);
    return {{"", Head(input, use.used) + tasks.text}};
}
