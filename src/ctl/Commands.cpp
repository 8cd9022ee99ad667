#include "ctl/Commands.h"

#include "ctl/CommandLine.h"
#include "ctl/output/Console.h"
#include "ctl/ExitCodes.h"
#include "ctl/Help.h"
#include "ctl/MachineLock.h"
#include "ctl/scopes/ProfileWalk.h"
#include "ctl/scopes/Whose.h"
#include "ctl/commands/CommandFamilies.h"
#include "system/ErrorText.h"
#include "system/OfflineImage.h"
#include "system/UserHive.h"
#include "version.h"

#include <algorithm>
#include <cstdio>

namespace {

const Command* const kCommands[] = {
    &kListCommand,      &kShowCommand,   &kSetCommand,   &kBackupCommand,
    &kRestoreCommand,   &kSaveCommand,   &kCheckCommand, &kApplyCommand,
    &kReferenceCommand, &kExportCommand, &kKeepCommand,
};

const Command* FindCommand(const std::string& name) {
    for (const Command* command : kCommands)
        if (name == command->name)
            return command;
    return nullptr;
}

// Opens the profile or image the command names, if any. False, with why,
// when it cannot be opened or holds a registry link on a tweak's path.
bool OpenWhose(const Arguments& a, UserHive* hive, OfflineImage* image, std::string* error) {
    const bool opened = (a.user.empty() || hive->OpenUser(a.user, error)) &&
                        (a.hive.empty() || hive->OpenFile(a.hive, error)) &&
                        (a.image.empty() || image->Open(a.image, error));
    if (opened && CurrentUserRedirected() && !(*error = LinkRefusal()).empty())
        *error = a.user + a.hive + a.image + " " + *error;
    return opened && error->empty();
}

// A command that changes the machine waits for the runs that change it
// now, then runs with whose profile it names opened.
int RunHoldingLock(const Command& command, const std::vector<std::string>& args, const Arguments& a,
                   Console& c) {
    MachineLock lock;
    if (command.changesMachine && !a.DryRun()) {
        std::string what, holder;
        for (const std::string& arg : args)
            what += (what.empty() ? "" : " ") + arg;
        if (!lock.Acquire(what, &holder)) {
            c.Error() << holder << " is changing the machine; gave up after waiting "
                      << (g_machineLockWaitMs + 999) / 1000 << " s, nothing was done\n";
            return kBadInput;
        }
    }
    if (!a.hive.empty())
        SayMountsLeftAlone(c);
    UserHive hive;
    OfflineImage image;
    std::string error;
    if (!OpenWhose(a, &hive, &image, &error)) {
        c.Error() << error << "; nothing was done\n";
        return kBadInput;
    }
    // Under --all-users no profile is open here: the command walks them all.
    int code = command.run(c, a);
    if (!hive.Close(&error) || !image.Close(&error)) {
        c.Error() << error << "\n";
        code = code == kDone ? kSomeFailed : code;
    }
    return code;
}

// The command itself, once --user, --hive, --image and --all-users are taken out.
int RunCommand(const std::vector<std::string>& args, const Arguments& whose, Console& c) {
    Writer& out = c.out;
    Writer& err = c.err;
    if (args.empty()) {
        err.Lines(UsageText(kCommands));
        return kBadInput;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "/?" || (name == "help" && args.size() == 1)) {
        out.Lines(UsageText(kCommands));
        return kDone;
    }
    if (name == "--version") {
        out << "morvanectl " << MORVANE_VERSION_TEXT << "\n";
        return kDone;
    }
    if (name == "help") {
        const Command* command = args.size() == 2 ? FindCommand(args[1]) : nullptr;
        if (!command)
            return UsageError(c, args.size() == 2 ? "unknown command \"" + args[1] + "\""
                                                  : std::string("help takes one COMMAND"));
        out.Lines(CommandHelp(*command));
        return kDone;
    }
    const Command* command = FindCommand(name);
    if (!command)
        return UsageError(c, "unknown command \"" + name + "\"");
    if (std::find(args.begin() + 1, args.end(), "--help") != args.end()) {
        out.Lines(CommandHelp(*command));
        return kDone;
    }
    Arguments a;
    a.user = whose.user;
    a.hive = whose.hive;
    a.image = whose.image;
    a.allUsers = whose.allUsers;
    const std::string problem = Parse(*command, args, &a);
    if (!problem.empty())
        return UsageError(c, problem);
    for (const std::string& note : a.notes)
        c.Error() << note << "\n";
    // The commands that read or set tweaks over scopes; the others name no
    // profile or image of their own.
    if ((a.allUsers || !a.image.empty()) && !command->overScopes)
        return UsageError(c, std::string(a.allUsers ? "--all-users" : "--image") +
                                 " is for list, check, apply, set, backup and restore");
    if (!command->opensProfile)
        return command->run(c, a);
    return RunHoldingLock(*command, args, a, c);
}

} // namespace

// --user and --hive may stand anywhere; they redirect HKEY_CURRENT_USER for
// the whole command, which runs as it always does.
int RunCtl(const std::vector<std::string>& args, Writer& out, Writer& err) {
    Console c{out, err};
    std::vector<std::string> rest;
    Arguments whose;
    const std::string problem = TakeWhose(args, &whose, &rest);
    if (!problem.empty())
        return UsageError(c, problem);
    int code = RunCommand(rest, whose, c);
    // Output that never arrived is no success, whatever the command did.
    out.Flush();
    if (const DWORD error = out.WriteError()) {
        c.err << "morvanectl: cannot write to standard output: " << ErrorText(error) << "\n";
        code = code == kDone || code == kDiffers ? kSomeFailed : code;
    }
    return code;
}
