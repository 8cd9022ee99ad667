#include "ctl/exports/ExportFormats.h"

#include "ctl/output/Words.h"
#include "tweaks/Tweaks.h"

std::string ExportVisitor::Title() const {
    return std::string(line->row->name) + (line->on ? " on" : " off");
}

void VisitLines(const std::vector<PresetLine>& lines, ExportVisitor& visitor) {
    for (const PresetLine& line : lines) {
        visitor.line = &line;
        const Effects effects = EffectsOf(line.on ? line.row->onCheck : line.row->onUncheck);
        // Up to and with the first program run that the format cannot make.
        size_t made = 0;
        for (bool cut = false; made < effects.size() && !cut; ++made)
            cut = effects[made].kind == Effect::Run && !visitor.Makes(effects[made]);
        VisitAll(std::span(effects).first(made), visitor);
        for (size_t i = made; i < effects.size(); ++i)
            visitor.Cannot(visitor.Title() + ": " + EffectWords(effects[i]) +
                           " (left out: apply makes it only once the program run before it "
                           "succeeded)");
    }
}

std::string ServiceWords(const Effect& write, const Effect& run) {
    return EffectWords(write) + ", then " + EffectWords(run);
}

Place PlaceOf(const Effect& e, const ExportTarget& target) {
    if (e.root == HKLM)
        return {Place::LocalMachine, e.key};
    if (e.root == HKCR)
        return {Place::ClassesRoot, e.key};
    if (target.kind == ExportTarget::User)
        return {Place::Users, target.sid + "\\" + e.key};
    if (target.kind == ExportTarget::HiveFile)
        return {Place::ProfileFile, e.key};
    return {Place::CurrentUser, e.key};
}

const StartType* StartTypeOf(unsigned long number) {
    static constexpr StartType kStartTypes[] = {
        {2, "auto", "AUTOMATIC"},
        {3, "manual", "MANUAL"},
        {4, "disabled", "DISABLED"},
    };
    for (const StartType& type : kStartTypes)
        if (type.number == number)
            return &type;
    return nullptr;
}
