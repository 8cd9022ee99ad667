// export: a preset as another tool's file (Ansible, Group Policy, .reg).
#include "ctl/exports/Export.h"
#include "ctl/ExitCodes.h"
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"
#include "system/UserHive.h"

namespace {

// Whose per-user keys the export names: the caller's, a user's or a file's.
bool ReadTarget(Console& c, const Arguments& a, ExportTarget* target) {
    if (!a.hive.empty()) {
        target->kind = ExportTarget::HiveFile;
        target->file = a.hive;
    } else if (!a.user.empty()) {
        target->kind = ExportTarget::User;
        if (std::string error; !ResolveUserSid(a.user, &target->sid, &error)) {
            c.Error() << error << "\n";
            return false;
        }
    }
    return true;
}

int Export(Console& c, const Arguments& a) {
    if (const std::string problem = ExportProblem(a.words); !problem.empty())
        return UsageError(c, problem);
    ExportTarget target;
    if (!ReadTarget(c, a, &target))
        return kBadInput;
    if (const std::string problem = ExportTextProblem(a.words, target); !problem.empty()) {
        c.Error() << problem << "\n";
        return kBadInput;
    }
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[1], "nothing was exported", &lines); code != kDone)
        return code;
    std::string text, messages;
    const int code = ExportCommand(a.words, lines, target, a.Has(kForce), &text, &messages);
    c.out.Lines(text);
    c.out.Flush();
    c.err.Lines(messages);
    return code;
}

} // namespace

const Command kExportCommand{
    "export", ExportArguments(), Arity::TwoOrThree, {&kForce}, ExportSummary(), Export, false};
