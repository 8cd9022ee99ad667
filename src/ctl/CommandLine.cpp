#include "ctl/CommandLine.h"

#include "ctl/ExitCodes.h"

#include <algorithm>

namespace {

constexpr char kOneWhose[] = "give one --user, one --hive, one --image or --all-users";

// Wrong counts of words, said as the usage says them.
std::string CountProblem(const Command& command, size_t n) {
    const std::string name = command.name;
    switch (command.arity) {
    case Arity::None:
        return n == 0 ? "" : name + " takes no arguments";
    case Arity::One:
        return n == 1 ? "" : name + " takes one " + command.arguments;
    case Arity::Pairs:
        return n && n % 2 == 0 ? "" : name + " takes pairs of " + command.arguments;
    case Arity::TwoOrThree:
        return n == 2 || n == 3 ? "" : name + " takes " + command.arguments;
    case Arity::NoneOrOne:
        return n <= 1 ? "" : name + " takes at most one argument";
    }
    return "";
}

const Option* Known(const Command& command, const std::string& arg) {
    for (const Option* option : command.options)
        if (option && arg == option->name)
            return option;
    return nullptr;
}

} // namespace

std::string TakeWhose(const std::vector<std::string>& args, Arguments* whose,
                      std::vector<std::string>* rest) {
    struct Whose {
        const char* name;
        std::string* value;
        const char* needs;
    };
    const Whose kinds[] = {{"--user", &whose->user, " needs a user name or SID"},
                           {"--hive", &whose->hive, " needs a profile file"},
                           {"--image", &whose->image, " needs the folder of an offline Windows"}};
    std::string problem;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool given = whose->Whose();
        const auto kind = std::ranges::find_if(kinds, [&](const Whose& k) { return args[i] == k.name; });
        if (args[i] == "--all-users") {
            if (given)
                problem = kOneWhose;
            whose->allUsers = true;
        } else if (kind == std::end(kinds)) {
            rest->push_back(args[i]);
        } else if (i + 1 == args.size() || args[i + 1].empty() || args[i + 1].starts_with("--")) {
            problem = args[i] + kind->needs;
        } else if (given) {
            problem = kOneWhose;
        } else {
            *kind->value = args[++i];
        }
    }
    return problem;
}

std::string Parse(const Command& command, const std::vector<std::string>& args, Arguments* a) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty())
            return std::string(command.name) + " takes no empty argument";
        if (!arg.starts_with("--")) {
            a->words.push_back(arg);
            continue;
        }
        const Option* known = Known(command, arg);
        if (!known)
            return "unknown option " + arg + " for " + command.name;
        if (known->renamedTo) {
            a->notes.push_back(arg + " is now " + known->renamedTo->name + " for " + command.name +
                               "; " + arg + " will be removed in a later version");
            known = known->renamedTo;
        }
        // A value never starts with "--": "--backup --dry-run" is a
        // forgotten file name, not a backup named "--dry-run".
        if (known->value &&
            (i + 1 == args.size() || args[i + 1].empty() || args[i + 1].starts_with("--")))
            return arg + " needs " + known->value;
        // A second value would leave one of the two unused.
        if (known->value && a->Has(*known))
            return "give one " + std::string(known->name);
        a->options.emplace_back(known, known->value ? args[++i] : std::string());
    }
    return CountProblem(command, a->words.size());
}

int UsageError(Console& c, const std::string& problem) {
    c.Error() << problem << "\n";
    c.err << "Try \"morvanectl --help\".\n";
    return kBadInput;
}
