// A morvanectl command line: the shape of a command's record, and the
// parser that reads the words of a line against it.
#pragma once

#include "ctl/output/Console.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct Option {
    const char* name;
    const char* value; // what follows the option, for one that takes a value
    const char* help;
    // For an earlier name of another option: still read, with a note on
    // standard error, and left out of the help.
    const Option* renamedTo = nullptr;
};

// The words of a command line, its options taken out wherever they stand.
struct Arguments {
    std::vector<std::string> words;
    std::vector<std::pair<const Option*, std::string>> options;
    // Given before or after the command: whose per-user settings it reads
    // and writes.
    std::string user, hive, image;
    bool allUsers = false;
    bool Whose() const { return !user.empty() || !hive.empty() || !image.empty() || allUsers; }
    // What the user should know of how the line was read.
    std::vector<std::string> notes;

    bool Has(const Option& option) const { return Find(option); }
    // Any command's --dry-run: the run changes nothing.
    bool DryRun() const {
        for (const auto& given : options)
            if (std::string_view(given.first->name) == "--dry-run")
                return true;
        return false;
    }
    std::string Value(const Option& option) const {
        const auto* given = Find(option);
        return given ? given->second : std::string();
    }

private:
    const std::pair<const Option*, std::string>* Find(const Option& option) const {
        for (const auto& given : options)
            if (given.first == &option)
                return &given;
        return nullptr;
    }
};

enum class Arity { None, One, Pairs, TwoOrThree, NoneOrOne };

// One command: how it is called, what the usage says of it, and what runs it.
struct Command {
    const char* name;
    const char* arguments; // as the usage names them
    Arity arity;
    const Option* options[4];
    const char* summary; // lines after the first are indented under it
    int (*run)(Console&, const Arguments&);
    // Reads or writes the per-user settings that --user or --hive names;
    // otherwise it only names that user or file in what it writes.
    bool opensProfile = true;
    // Changes the machine unless it is a dry run: holds the machine's lock.
    bool changesMachine = false;
    // Runs over scopes: takes --all-users (the machine and every profile)
    // and --image.
    bool overScopes = false;
};

// A usage error said, with where to look: kBadInput (ctl/ExitCodes.h).
int UsageError(Console& c, const std::string& problem);

// --user NAME, --hive FILE, --image DIR and --all-users, wherever they stand, into
// *whose; every other word into *rest. A problem, said as the usage says
// it, or empty.
std::string TakeWhose(const std::vector<std::string>& args, Arguments* whose,
                      std::vector<std::string>* rest);

// The command's words and options from args (args[0] names the command); a
// problem, said as the usage says it, otherwise.
std::string Parse(const Command& command, const std::vector<std::string>& args, Arguments* a);
