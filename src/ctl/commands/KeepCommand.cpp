// keep: a preset the Task Scheduler applies to every profile as LocalSystem.
#include "ctl/ExitCodes.h"
#include "ctl/keep/Keep.h"
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"

namespace {

constexpr Option kKeepList{"--list", nullptr, "each kept preset, its triggers and its last run"};
constexpr Option kKeepRemove{"--remove", "NAME", "removes the task and the kept copy of NAME"};
constexpr Option kKeepRemoveAll{"--remove-all", nullptr,
                                "removes every kept preset, as uninstalling does"};

// keep PRESET, keep --list, keep --remove NAME or keep --remove-all: one of them.
int Keep(Console& c, const Arguments& a) {
    // The task works on every profile; a profile named here would be ignored.
    if (!a.user.empty() || !a.hive.empty())
        return UsageError(c, "keep takes no --user or --hive");
    const bool list = a.Has(kKeepList), remove = a.Has(kKeepRemove);
    const bool removeAll = a.Has(kKeepRemoveAll);
    if (list + remove + removeAll + !a.words.empty() != 1)
        return UsageError(c, "keep takes one PRESET, --list, --remove NAME or --remove-all");
    if (list)
        return ListKept(c);
    if (remove)
        return RemoveKept(c, a.Value(kKeepRemove));
    if (removeAll)
        return RemoveAllKept(c);
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[0], "nothing was registered", &lines); code != kDone)
        return code;
    return KeepPreset(c, a.words[0]);
}

} // namespace

// clang-format off
const Command kKeepCommand{"keep", "[PRESET]", Arity::NoneOrOne, {&kKeepList, &kKeepRemove, &kKeepRemoveAll},
    "has the system's Task Scheduler apply the preset to\nevery profile (--all-users) as LocalSystem at\nstart-up, daily and after an installed update", Keep, false};
// clang-format on
