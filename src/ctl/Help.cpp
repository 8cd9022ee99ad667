#include "ctl/Help.h"

#include <algorithm>

namespace {

// "--backup FILE.reg"
std::string Flag(const Option& option) {
    return std::string(option.name) + (option.value ? " " : "") +
           (option.value ? option.value : "");
}

// The options the help names: not the earlier names of others.
bool Shown(const Option* option) {
    return option && !option->renamedTo;
}

// "set NAME on|off [...] [--dry-run]"
std::string Synopsis(const Command& command) {
    std::string text = command.name;
    if (*command.arguments)
        text = text + " " + command.arguments;
    if (command.arity == Arity::Pairs)
        text += " [...]";
    for (const Option* option : command.options)
        if (Shown(option))
            text += " [" + Flag(*option) + "]";
    return text;
}

constexpr char kUsageNotes[] =
    "Before or after the command, --user NAME|SID works on that signed-in user's\n"
    "settings (HKEY_USERS\\<SID>), --hive FILE on those of a profile file that is\n"
    "not loaded (such as the default profile's NTUSER.DAT); machine-wide tweaks\n"
    "are the same.\n"
    "--all-users (list, check, apply, set, backup, restore) works on every\n"
    "profile of the machine at once: machine-wide tweaks once, per-user tweaks\n"
    "for each account's profile, signed in or not, and for the default profile.\n"
    "--image DIR (the same commands) works on the offline Windows image mounted\n"
    "or applied at DIR: its machine-wide keys and its default profile.\n"
    "A preset has one \"name = on\" or \"name = off\" a line; # or ; starts a\n"
    "comment. \"morvanectl help COMMAND\" or \"COMMAND --help\" tells more of a\n"
    "command; --version gives the version.\n"
    "Exit codes: 0 done, 1 check found tweaks that differ from the preset,\n"
    "2 usage or input error (nothing changed),\n"
    "3 some changes failed (the others were made).\n";

constexpr char kAllUsersHelp[] =
    "\nWith --all-users: machine-wide tweaks once, per-user tweaks for every\n"
    "profile (each signed-in user's hive, each other profile's NTUSER.DAT loaded\n"
    "for the moment, the default profile's); a profile that cannot be opened is\n"
    "named with why, and the others go ahead (exit code 3).\n"
    "With --image DIR: the image's SOFTWARE, SYSTEM (its current control set)\n"
    "and Default profile, loaded for the command; a service's start type is\n"
    "written and its start or stop waits for the image to start; a tweak that\n"
    "runs a program on the running system cannot be set (exit code 3).\n";

} // namespace

std::string UsageText(std::span<const Command* const> commands) {
    constexpr size_t kColumn = 36;
    const std::string indent(kColumn, ' ');
    std::string text = "Usage: morvanectl COMMAND [ARGUMENTS]\n\n";
    for (const Command* entry : commands) {
        const Command& command = *entry;
        std::string line = "  " + Synopsis(command);
        line += line.size() < kColumn ? std::string(kColumn - line.size(), ' ') : "\n" + indent;
        for (const char* s = command.summary; *s; ++s)
            line += *s == '\n' ? "\n" + indent : std::string(1, *s);
        text += line + "\n";
    }
    return text + "\n" + kUsageNotes;
}

std::string CommandHelp(const Command& command) {
    std::string text = "Usage: morvanectl " + Synopsis(command) + "\n\n" + command.summary + "\n";
    size_t width = 0;
    for (const Option* option : command.options)
        if (Shown(option))
            width = std::max(width, Flag(*option).size());
    if (width)
        text += "\n";
    for (const Option* option : command.options)
        if (Shown(option))
            text += "  " + Flag(*option) + std::string(width + 2 - Flag(*option).size(), ' ') +
                    option->help + "\n";
    if (command.overScopes)
        text += kAllUsersHelp;
    return text;
}
